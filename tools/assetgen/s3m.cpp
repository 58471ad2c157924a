// Serialises a module into the Scream Tracker 3 file layout. All values are
// little-endian; parapointers are file offsets divided by 16.
#include "s3m.h"

#include <algorithm>
#include <cstring>

namespace assetgen::s3m {
namespace {

void put16(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    out[at] = static_cast<uint8_t>(v);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
}
void put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    put16(out, at, v);
    put16(out, at + 2, v >> 16);
}
void put_text(std::vector<uint8_t>& out, size_t at, const std::string& text, size_t field) {
    std::memcpy(&out[at], text.data(), std::min(text.size(), field - 1));  // keeps a NUL
}
// Grows the file to the next paragraph and returns that paragraph's number.
uint32_t start_paragraph(std::vector<uint8_t>& out) {
    out.resize((out.size() + 15) & ~size_t{15}, 0);
    return static_cast<uint32_t>(out.size() / 16);
}

constexpr size_t kHeaderSize = 0x60;
constexpr size_t kInstrumentSize = 0x50;

std::vector<uint8_t> pack_pattern(const Pattern& pattern, int channels) {
    std::vector<uint8_t> packed(2, 0);  // room for the length word
    for (int row = 0; row < kRows; ++row) {
        for (int ch = 0; ch < channels; ++ch) {
            const Cell& c = pattern.cells[static_cast<size_t>(row) * channels + ch];
            uint8_t what = static_cast<uint8_t>(ch);
            if (c.note != kNoNote || c.instrument != 0) what |= 32;
            if (c.volume >= 0) what |= 64;
            if (c.command != 0) what |= 128;
            if (what == ch) continue;
            packed.push_back(what);
            if (what & 32) packed.insert(packed.end(), {c.note, c.instrument});
            if (what & 64) packed.push_back(static_cast<uint8_t>(c.volume));
            if (what & 128) packed.insert(packed.end(), {c.command, c.info});
        }
        packed.push_back(0);  // end of row
    }
    put16(packed, 0, static_cast<uint32_t>(packed.size()));
    return packed;
}

}  // namespace

std::vector<uint8_t> serialise(const Module& module) {
    // The order list must have an even length; end markers fill it up.
    std::vector<uint8_t> orders = module.orders;
    orders.push_back(kOrderEnd);
    if (orders.size() % 2 != 0) orders.push_back(kOrderEnd);

    const size_t instruments = module.samples.size(), patterns = module.patterns.size();
    std::vector<uint8_t> out(kHeaderSize, 0);
    put_text(out, 0x00, module.title, 28);
    out[0x1C] = 0x1A;
    out[0x1D] = 16;  // module
    put16(out, 0x20, static_cast<uint32_t>(orders.size()));
    put16(out, 0x22, static_cast<uint32_t>(instruments));
    put16(out, 0x24, static_cast<uint32_t>(patterns));
    put16(out, 0x26, 0);       // no compatibility flags
    put16(out, 0x28, 0x1320);  // tracker version 3.20
    put16(out, 0x2A, 2);       // samples are unsigned
    std::memcpy(&out[0x2C], "SCRM", 4);
    out[0x30] = module.global_volume;
    out[0x31] = module.speed;
    out[0x32] = module.tempo;
    out[0x33] = static_cast<uint8_t>(0x80 | module.master_volume);  // stereo
    out[0x35] = 252;                                                // a panning table follows the parapointers
    // Channel settings: left and right channels in turn, the rest unused.
    for (int ch = 0; ch < 32; ++ch) {
        out[0x40 + static_cast<size_t>(ch)] =
            ch < module.channels ? static_cast<uint8_t>(ch % 2 == 0 ? ch / 2 : 8 + ch / 2) : 255;
    }

    out.insert(out.end(), orders.begin(), orders.end());
    const size_t instrument_pointers = out.size();
    out.resize(out.size() + 2 * instruments, 0);
    const size_t pattern_pointers = out.size();
    out.resize(out.size() + 2 * patterns, 0);
    for (int ch = 0; ch < 32; ++ch) {
        out.push_back(ch < module.channels ? static_cast<uint8_t>(0x20 | (module.panning[static_cast<size_t>(ch)] & 15))
                                           : 0);
    }

    std::vector<size_t> headers;
    for (size_t i = 0; i < instruments; ++i) {
        put16(out, instrument_pointers + 2 * i, start_paragraph(out));
        headers.push_back(out.size());
        out.resize(out.size() + kInstrumentSize, 0);
    }
    for (size_t i = 0; i < patterns; ++i) {
        put16(out, pattern_pointers + 2 * i, start_paragraph(out));
        const std::vector<uint8_t> packed = pack_pattern(module.patterns[i], module.channels);
        out.insert(out.end(), packed.begin(), packed.end());
    }
    for (size_t i = 0; i < instruments; ++i) {
        const Sample& s = module.samples[i];
        const uint32_t data = start_paragraph(out);
        for (int8_t v : s.pcm) out.push_back(static_cast<uint8_t>(v + 128));

        const size_t h = headers[i];
        out[h] = 1;  // sampled instrument
        put_text(out, h + 0x01, s.name, 12);
        out[h + 0x0D] = static_cast<uint8_t>(data >> 16);  // parapointer: high byte, then low word
        put16(out, h + 0x0E, data & 0xFFFF);
        put32(out, h + 0x10, static_cast<uint32_t>(s.pcm.size()));
        put32(out, h + 0x14, s.loop_start);
        put32(out, h + 0x18, s.loop_end);
        out[h + 0x1C] = s.volume;
        out[h + 0x1F] = s.loop_end != 0 ? 1 : 0;
        put32(out, h + 0x20, s.c2spd);
        put_text(out, h + 0x30, s.name, 28);
        std::memcpy(&out[h + 0x4C], "SCRS", 4);
    }
    return out;
}

}  // namespace assetgen::s3m
