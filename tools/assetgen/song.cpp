// "s.s3m": an original tune in A minor at 120 beats per minute, one row per
// sixteenth note, four bars per pattern. Seven instruments are synthesised
// here (kick, snare, hi-hat, bass, lead, pad, bell) and played on ten
// channels: drums, bass, lead with its echo, bell arpeggios and a three-voice
// pad. Thirteen patterns (104 s) run from intro to outro; the last jumps
// back to the first verse.
#include <cmath>

#include "assetgen.h"
#include "s3m.h"

namespace assetgen {
namespace {

using s3m::effect;
using s3m::note;

constexpr double kPi = 3.14159265358979;

// ---- Instruments -----------------------------------------------------------

enum Instrument : uint8_t { kKick = 1, kSnare, kHat, kBass, kLead, kPad, kBell };

// Pitched samples hold middle C as 64 samples per cycle, so a loop of whole
// cycles closes without a click.
constexpr int kCycle = 64;
constexpr uint32_t kPitchedRate = 16744;  // 261.63 Hz * 64

// Deterministic white noise in -1..1.
struct Noise {
    uint32_t state;
    double next() {
        state = state * 1664525u + 1013904223u;
        return static_cast<double>(state >> 8) / 8388608.0 - 1.0;
    }
};

// Band-limited sawtooth from its first `harmonics` partials, `cycles` per
// `period` samples, partials rolled off by 1/h^tilt.
double saw(double n, double cycles, double period, int harmonics, double tilt) {
    double v = 0.0;
    for (int h = 1; h <= harmonics; ++h) v += std::sin(2.0 * kPi * h * cycles * n / period) / std::pow(h, tilt);
    return v;
}

// Scales to the 8-bit range with a little headroom.
s3m::Sample to_sample(const char* name, const std::vector<double>& wave, uint32_t rate, uint8_t volume) {
    double peak = 1e-9;
    for (double v : wave) peak = std::max(peak, std::fabs(v));
    s3m::Sample s;
    s.name = name;
    s.c2spd = rate;
    s.volume = volume;
    for (double v : wave) s.pcm.push_back(static_cast<int8_t>(std::lround(v / peak * 120.0)));
    return s;
}

s3m::Sample make_kick() {
    constexpr uint32_t rate = 22050;
    std::vector<double> w(7000);
    Noise noise{1};
    double phase = 0.0;
    for (size_t n = 0; n < w.size(); ++n) {
        const double t = static_cast<double>(n) / rate;
        phase += 2.0 * kPi * (45.0 + 120.0 * std::exp(-t * 28.0)) / rate;  // the falling pitch is the thump
        const double click = t < 0.004 ? noise.next() * (1.0 - t / 0.004) * 0.4 : 0.0;
        w[n] = std::tanh(1.8 * std::sin(phase) * std::exp(-t * 8.0)) + click;
    }
    return to_sample("kick", w, rate, 64);
}

s3m::Sample make_snare() {
    constexpr uint32_t rate = 22050;
    std::vector<double> w(5000);
    Noise noise{2};
    double previous = 0.0;
    for (size_t n = 0; n < w.size(); ++n) {
        const double t = static_cast<double>(n) / rate;
        const double white = noise.next();
        const double bright = white - 0.5 * previous;  // tilt the noise toward the top
        previous = white;
        w[n] = 0.6 * std::sin(2.0 * kPi * 185.0 * t) * std::exp(-t * 30.0) + bright * 0.8 * std::exp(-t * 16.0);
    }
    return to_sample("snare", w, rate, 56);
}

s3m::Sample make_hat() {
    constexpr uint32_t rate = 44100;
    std::vector<double> w(4000);
    Noise noise{3};
    double previous = 0.0;
    // Square waves at unrelated frequencies give the metallic ring.
    static const double kPartials[] = {2890.0, 3710.0, 4270.0, 5590.0, 6830.0, 8120.0};
    for (size_t n = 0; n < w.size(); ++n) {
        const double t = static_cast<double>(n) / rate;
        double metal = 0.0;
        for (double f : kPartials) metal += std::sin(2.0 * kPi * f * t) > 0.0 ? 1.0 : -1.0;
        const double white = noise.next();
        const double high = white - previous;
        previous = white;
        w[n] = (0.7 * high + 0.08 * metal) * std::exp(-t * 50.0);
    }
    return to_sample("hihat", w, rate, 40);
}

s3m::Sample make_bass() {
    std::vector<double> w(16000);
    for (size_t n = 0; n < w.size(); ++n) {
        const double t = static_cast<double>(n) / kPitchedRate;
        double v = 0.0;
        // Upper partials die away faster than the fundamental: a plucked tone.
        for (int h = 1; h <= 24; ++h) v += std::sin(2.0 * kPi * h * n / kCycle) / h * std::exp(-t * (1.0 + 1.6 * h));
        v += 0.6 * std::sin(2.0 * kPi * n / kCycle);
        w[n] = v * std::min(1.0, t / 0.002) * std::exp(-t * 1.2);
    }
    return to_sample("bass", w, kPitchedRate, 52);
}

// A swell of `attack` samples, then a loop of `loop` samples that repeats
// without a seam: every partial has whole cycles in it.
template <typename Voice>
s3m::Sample make_looped(const char* name, uint32_t attack, uint32_t loop, double swell, uint8_t volume, Voice voice) {
    std::vector<double> w(attack + loop);
    for (size_t n = 0; n < w.size(); ++n)
        w[n] = voice(static_cast<double>(n)) * std::min(1.0, static_cast<double>(n) / swell);
    s3m::Sample s = to_sample(name, w, kPitchedRate, volume);
    s.loop_start = attack;
    s.loop_end = attack + loop;
    return s;
}

s3m::Sample make_lead() {
    constexpr double loop = kCycle * 100;
    // A hollow square (odd partials) with a saw one hundredth sharp beside it.
    return make_looped("lead", kCycle * 8, kCycle * 100, 300.0, 44, [](double n) {
        double square = 0.0;
        for (int h = 1; h <= 13; h += 2) square += std::sin(2.0 * kPi * h * 100.0 * n / loop) / h;
        return square + 0.45 * saw(n, 101.0, loop, 12, 1.0);
    });
}

s3m::Sample make_pad() {
    constexpr double loop = kCycle * 200;
    // Three softened saws spread by half a percent, and one octave below.
    return make_looped("pad", kCycle * 40, kCycle * 200, 2400.0, 40, [](double n) {
        return saw(n, 200.0, loop, 10, 1.4) + saw(n, 201.0, loop, 10, 1.4) + saw(n, 199.0, loop, 10, 1.4) +
               0.8 * std::sin(2.0 * kPi * 100.0 * n / loop);
    });
}

s3m::Sample make_bell() {
    std::vector<double> w(13000);
    for (size_t n = 0; n < w.size(); ++n) {
        const double t = static_cast<double>(n) / kPitchedRate;
        const double phase = 2.0 * kPi * n / kCycle;
        // Two-operator FM whose brightness fades faster than its loudness.
        const double index = 0.3 + 2.2 * std::exp(-t * 9.0);
        w[n] = std::sin(phase + index * std::sin(phase)) * std::min(1.0, t / 0.001) * std::exp(-t * 3.5);
    }
    return to_sample("bell", w, kPitchedRate, 40);
}

// ---- Harmony and melody ----------------------------------------------------

struct Chord {
    int bass;    // root in the bass octave
    int pad[3];  // close voicing around middle C
    int arp[4];  // broken chord an octave and more above
};
const Chord kAm{45, {57, 60, 64}, {69, 72, 76, 81}};
const Chord kF{41, {57, 60, 65}, {65, 69, 72, 77}};
const Chord kC{48, {55, 60, 64}, {67, 72, 76, 79}};
const Chord kG{43, {55, 59, 62}, {67, 71, 74, 79}};
const Chord kEm{40, {55, 59, 64}, {64, 67, 71, 76}};
const Chord kDm{38, {57, 62, 65}, {62, 65, 69, 74}};
const Chord kE{40, {56, 59, 64}, {64, 68, 71, 76}};

const Chord* const kVerse[4] = {&kAm, &kF, &kC, &kG};
const Chord* const kChorus[4] = {&kF, &kG, &kEm, &kAm};
const Chord* const kBridge[4] = {&kDm, &kAm, &kF, &kE};

struct Note {
    int row, midi, length;
};
using Phrase = std::vector<Note>;

const Phrase kMelodyA = {{0, 69, 3},  {3, 72, 3},  {6, 76, 4},  {10, 74, 2}, {12, 72, 4}, {16, 69, 6}, {22, 72, 2},
                         {24, 77, 6}, {30, 76, 2}, {32, 76, 4}, {36, 79, 4}, {40, 76, 2}, {42, 74, 2}, {44, 72, 4},
                         {48, 74, 6}, {54, 71, 2}, {56, 67, 4}, {60, 71, 2}, {62, 74, 2}};
const Phrase kMelodyB = {{0, 76, 3},  {3, 81, 3},  {6, 79, 2},  {8, 76, 4},  {12, 72, 2}, {14, 74, 2}, {16, 72, 4},
                         {20, 69, 4}, {24, 72, 2}, {26, 77, 2}, {28, 81, 4}, {32, 79, 6}, {38, 76, 2}, {40, 72, 4},
                         {44, 76, 2}, {46, 79, 2}, {48, 71, 4}, {52, 74, 4}, {56, 79, 8}};
const Phrase kChorusTune = {{0, 81, 4},  {4, 79, 2},  {6, 77, 2},   {8, 76, 4},  {12, 77, 4}, {16, 79, 6},
                            {22, 74, 2}, {24, 71, 4}, {28, 74, 4},  {32, 76, 4}, {36, 79, 4}, {40, 83, 4},
                            {44, 81, 2}, {46, 79, 2}, {48, 81, 12}, {60, 76, 2}, {62, 79, 2}};
const Phrase kChorusAnswer = {{0, 81, 3},  {3, 84, 3},  {6, 81, 2},  {8, 79, 4},  {12, 77, 4},
                              {16, 79, 4}, {20, 83, 4}, {24, 86, 4}, {28, 83, 4}, {32, 83, 6},
                              {38, 79, 2}, {40, 76, 4}, {44, 79, 2}, {46, 83, 2}, {48, 81, 16}};
const Phrase kBridgeTune = {{0, 77, 8},  {8, 74, 8},  {16, 76, 12}, {28, 72, 4},
                            {32, 72, 8}, {40, 69, 8}, {48, 71, 8},  {56, 68, 8}};

// ---- Arrangement -----------------------------------------------------------

enum Channel {
    kKickChannel,
    kSnareChannel,
    kHatChannel,
    kBassChannel,
    kLeadChannel,
    kEchoChannel,
    kBellChannel,
    kPadChannel,
    kChannels = kPadChannel + 3
};
const uint8_t kPanning[kChannels] = {7, 8, 10, 7, 6, 12, 3, 2, 8, 13};

enum class Drums { None, Hats, Pulse, Groove, Drive };
enum class Bass { None, Long, Groove };

struct Section {
    const Chord* const* chords;
    Drums drums;
    Bass bass;
    const Phrase* lead;  // null: no lead
    bool echo;           // lead repeated softly three rows later
    bool fade_in;        // pad swells in over the pattern
    bool fill;           // snare fill in the last bar
    bool roll;           // retriggered snare roll building over the last bar
};

using Grid = s3m::Pattern;

s3m::Cell& cell(Grid& grid, int row, int channel) { return grid.cells[static_cast<size_t>(row) * kChannels + channel]; }

void play(Grid& grid, int row, int channel, int midi, uint8_t instrument, int volume) {
    s3m::Cell& c = cell(grid, row, channel);
    c.note = note(midi);
    c.instrument = instrument;
    c.volume = static_cast<int8_t>(volume);
}
void command(Grid& grid, int row, int channel, char letter, uint8_t info) {
    s3m::Cell& c = cell(grid, row, channel);
    c.command = effect(letter);
    c.info = info;
}

void write_drums(Grid& grid, const Section& s) {
    for (int row = 0; row < s3m::kRows; ++row) {
        const int step = row % 16, bar = row / 16;
        const bool last_bar = bar == 3;
        // Hats: eighths, sixteenths when driving, pushed late on the off
        // sixteenths (note delay) for a little swing.
        if (s.drums == Drums::Hats && step % 4 == 2) play(grid, row, kHatChannel, 60, kHat, 30);
        if (s.drums == Drums::Pulse || s.drums == Drums::Groove) {
            if (step % 2 == 0) play(grid, row, kHatChannel, 60, kHat, step % 4 == 2 ? 40 : 22);
        }
        if (s.drums == Drums::Drive) {
            play(grid, row, kHatChannel, 60, kHat, step % 4 == 2 ? 42 : step % 2 == 0 ? 26 : 18);
            if (step % 2 == 1) command(grid, row, kHatChannel, 'S', 0xD2);
        }
        // Kick and snare.
        const bool kick = (s.drums == Drums::Pulse && step % 8 == 0) ||
                          (s.drums == Drums::Groove && (step == 0 || step == 8 || (step == 10 && bar % 2 == 1))) ||
                          (s.drums == Drums::Drive && step % 4 == 0);
        if (kick) play(grid, row, kKickChannel, 60, kKick, 64);
        const bool backbeat = s.drums == Drums::Groove || s.drums == Drums::Drive;
        if (backbeat && (step == 4 || step == 12) && !(s.fill && last_bar && step == 12)) {
            play(grid, row, kSnareChannel, 60, kSnare, 54);
        }
        if (s.fill && last_bar && step >= 10) play(grid, row, kSnareChannel, 60 + step % 3, kSnare, 28 + 3 * step);
        if (s.roll && last_bar) {
            // One hit every three ticks, louder each row.
            play(grid, row, kSnareChannel, 60, kSnare, 16 + 3 * step);
            command(grid, row, kSnareChannel, 'Q', 0x03);
        }
        if (s.roll && !last_bar && step % 4 == 0) play(grid, row, kKickChannel, 60, kKick, 48 + 4 * bar);
    }
}

void write_bass(Grid& grid, const Section& s) {
    for (int bar = 0; bar < 4; ++bar) {
        const int root = s.chords[bar]->bass, base = bar * 16;
        if (s.bass == Bass::Long) {
            play(grid, base, kBassChannel, root, kBass, 54);
            play(grid, base + 10, kBassChannel, root, kBass, 40);
        } else if (s.bass == Bass::Groove) {
            // Root, octave and fifth; the short ones are cut after four ticks.
            static const struct {
                int step, interval, volume;
                bool cut;
            } kLine[] = {{0, 0, 56, false},  {3, 0, 40, true},  {6, 12, 44, true}, {8, 0, 52, false},
                         {10, 7, 42, false}, {12, 0, 48, true}, {14, 12, 40, true}};
            for (const auto& n : kLine) {
                play(grid, base + n.step, kBassChannel, root + n.interval, kBass, n.volume);
                if (n.cut) command(grid, base + n.step, kBassChannel, 'S', 0xC4);
            }
        }
    }
}

void write_lead(Grid& grid, const Phrase& phrase, int channel, int delay, int volume) {
    for (size_t i = 0; i < phrase.size(); ++i) {
        const Note& n = phrase[i];
        const int row = n.row + delay;
        if (row >= s3m::kRows) break;
        play(grid, row, channel, n.midi, kLead, volume);
        // Long notes sing: vibrato from their third row on.
        if (n.length >= 6) {
            for (int r = row + 2; r < std::min(row + n.length, s3m::kRows); ++r) command(grid, r, channel, 'H', 0x52);
        }
        // A gap before the next note is silence.
        const int end = row + n.length;
        const bool gap = i + 1 == phrase.size() || phrase[i + 1].row + delay > end;
        if (gap && end < s3m::kRows) cell(grid, end, channel).note = s3m::kNoteCut;
    }
}

void write_harmony(Grid& grid, const Section& s, bool drums_busy) {
    static const int kArpOrder[16] = {0, 1, 2, 3, 2, 1, 2, 3, 0, 1, 2, 3, 2, 3, 1, 2};
    for (int bar = 0; bar < 4; ++bar) {
        const Chord& chord = *s.chords[bar];
        const int base = bar * 16;
        // The pad holds the chord; when fading in, each bar starts louder and
        // slides up further mid-bar.
        const int pad_volume = s.fade_in ? 12 + 7 * bar : 36;
        for (int v = 0; v < 3; ++v) {
            play(grid, base, kPadChannel + v, chord.pad[v], kPad, pad_volume);
            if (s.fade_in) command(grid, base + 8, kPadChannel + v, 'D', 0x10);
        }
        // Broken chord on the bell: sixteenths under a full band, eighths otherwise.
        for (int step = 0; step < 16; step += drums_busy ? 1 : 2) {
            const int volume = (step % 4 == 0 ? 30 : 20) - (s.lead != nullptr ? 6 : 0);
            play(grid, base + step, kBellChannel, chord.arp[kArpOrder[step]], kBell, volume);
        }
    }
}

Grid arrange(const Section& s) {
    Grid grid;
    grid.cells.resize(static_cast<size_t>(s3m::kRows) * kChannels);
    write_drums(grid, s);
    write_bass(grid, s);
    write_harmony(grid, s, s.drums == Drums::Groove || s.drums == Drums::Drive);
    // A note held over from the previous pattern ends where this one has no
    // part for its channel.
    if (s.lead != nullptr)
        write_lead(grid, *s.lead, kLeadChannel, 0, 46);
    else
        cell(grid, 0, kLeadChannel).note = s3m::kNoteCut;
    if (s.lead != nullptr && s.echo)
        write_lead(grid, *s.lead, kEchoChannel, 3, 18);
    else
        cell(grid, 0, kEchoChannel).note = s3m::kNoteCut;
    return grid;
}

}  // namespace

std::vector<uint8_t> compose_song() {
    s3m::Module module;
    module.title = "Orvo";
    module.channels = kChannels;
    module.speed = 6;
    module.tempo = 120;
    module.master_volume = 48;
    module.panning.assign(kPanning, kPanning + kChannels);
    module.samples = {make_kick(), make_snare(), make_hat(), make_bass(), make_lead(), make_pad(), make_bell()};

    const Section sections[] = {
        {kVerse, Drums::Hats, Bass::None, nullptr, false, true, false, false},       // intro
        {kVerse, Drums::Pulse, Bass::Long, nullptr, false, false, false, false},     // intro, pulse
        {kVerse, Drums::Groove, Bass::Groove, nullptr, false, false, false, false},  // verse: loop point
        {kVerse, Drums::Groove, Bass::Groove, &kMelodyA, false, false, false, false},
        {kVerse, Drums::Groove, Bass::Groove, &kMelodyB, true, false, true, false},
        {kChorus, Drums::Drive, Bass::Groove, &kChorusTune, true, false, false, false},  // chorus
        {kChorus, Drums::Drive, Bass::Groove, &kChorusAnswer, true, false, true, false},
        {kBridge, Drums::Hats, Bass::Long, nullptr, false, false, false, false},  // bridge
        {kBridge, Drums::Hats, Bass::Long, &kBridgeTune, true, false, false, true},
        {kVerse, Drums::Groove, Bass::Groove, &kMelodyA, true, false, false, false},  // verse again
        {kChorus, Drums::Drive, Bass::Groove, &kChorusTune, true, false, false, false},
        {kChorus, Drums::Drive, Bass::Groove, &kChorusAnswer, true, false, true, false},
        {kVerse, Drums::Groove, Bass::Groove, &kMelodyB, true, false, true, false},  // outro
    };
    for (const Section& s : sections) {
        module.orders.push_back(static_cast<uint8_t>(module.patterns.size()));
        module.patterns.push_back(arrange(s));
    }
    // Speed and tempo set again at the very start, so a player that jumps
    // into the song mid-way still starts right; the last row jumps back to
    // the first verse.
    command(module.patterns.front(), 0, kKickChannel, 'A', module.speed);
    command(module.patterns.front(), 0, kSnareChannel, 'T', module.tempo);
    command(module.patterns.back(), s3m::kRows - 1, kKickChannel, 'B', 2);
    return s3m::serialise(module);
}

}  // namespace assetgen
