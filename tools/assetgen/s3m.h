// A Scream Tracker 3 module in memory and its serialiser. Only what the
// generator needs: sampled instruments (8-bit, mono), 64-row patterns and
// up to 16 channels with their own panning.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace assetgen::s3m {

inline constexpr int kRows = 64;
inline constexpr int kMaxChannels = 16;
inline constexpr uint8_t kNoNote = 255;
inline constexpr uint8_t kNoteCut = 254;
inline constexpr uint8_t kOrderEnd = 255;

// Effect letters as the format numbers them: A = 1 ... Z = 26.
constexpr uint8_t effect(char letter) { return static_cast<uint8_t>(letter - 'A' + 1); }

// MIDI note number (60 = middle C) to the format's octave/semitone byte;
// a sample plays at its c2spd rate on middle C.
constexpr uint8_t note(int midi) { return static_cast<uint8_t>(((midi / 12 - 1) << 4) | (midi % 12)); }

struct Sample {
    std::string name;
    std::vector<int8_t> pcm;
    uint32_t loop_start = 0;  // loop_end 0: the sample plays once
    uint32_t loop_end = 0;
    uint8_t volume = 64;    // 0..64
    uint32_t c2spd = 8363;  // playback rate in Hz on middle C
};

struct Cell {
    uint8_t note = kNoNote;
    uint8_t instrument = 0;  // 1-based, 0 none
    int8_t volume = -1;      // 0..64, -1 none
    uint8_t command = 0;     // effect(), 0 none
    uint8_t info = 0;
};

struct Pattern {
    std::vector<Cell> cells;  // kRows * channels, row by row
};

struct Module {
    std::string title;
    int channels = 0;     // 1..kMaxChannels
    uint8_t speed = 6;    // ticks per row
    uint8_t tempo = 125;  // beats per minute
    uint8_t global_volume = 64;
    uint8_t master_volume = 48;    // mixer amplification, 16..127
    std::vector<uint8_t> panning;  // per channel, 0 left .. 15 right
    std::vector<uint8_t> orders;   // pattern numbers
    std::vector<Sample> samples;
    std::vector<Pattern> patterns;
};

// The module as file bytes: header, order list, parapointers, panning,
// instrument headers, packed patterns, then unsigned sample data, each
// block starting on a 16-byte boundary as the parapointers require.
std::vector<uint8_t> serialise(const Module& module);

}  // namespace assetgen::s3m
