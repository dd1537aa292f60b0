#include "writers/demo_module.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace xm {
namespace {

constexpr std::uint16_t kChannels = 12;
constexpr std::uint16_t kRows = 64;
constexpr double kFullScale = 32000;
constexpr std::uint8_t kC4 = 49;  // file note of C-4

enum InstrumentNumber : std::uint8_t { kick = 1, snare, hat, bass, lead, pad, pluck };
enum ChannelIndex : std::uint8_t {
    kickChannel,
    snareChannel,
    hatChannel,
    bassChannel,
    leadChannel,
    harmonyChannel,
    padChannel,  // three: one per chord note
    arpChannel = padChannel + 3,
    echoChannel = arpChannel + 2,
};

// Deterministic variation without a library generator whose sequence could change.
struct Lcg {
    std::uint32_t state = 12345;
    std::uint32_t next(std::uint32_t range) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % range;
    }
};

std::int16_t clip(double value) {
    return static_cast<std::int16_t>(std::lround(std::clamp(value, -kFullScale, kFullScale)));
}

// `cycles` cycles of `frames` frames each, harmonics weighted 1/n (a soft saw) up to
// `harmonics`, beating against a copy one cycle faster over the whole loop, as a sampled
// chorus would; the loop joins without a seam.
std::vector<std::int16_t> tone(std::uint32_t frames, std::uint32_t cycles, int harmonics) {
    const std::uint32_t length = frames * cycles;
    std::vector<std::int16_t> out(length);
    for (std::uint32_t i = 0; i < length; ++i) {
        double value = 0;
        for (int n = 1; n <= harmonics; ++n) {
            const double phase = 2 * std::numbers::pi * n * i / length;
            value += (std::sin(phase * cycles) + 0.5 * std::sin(phase * (cycles + 1))) / n;
        }
        out[i] = clip(value * kFullScale * 0.4);
    }
    return out;
}

// A struck sound: a tone with noise dying away, its pitch falling by `pitchFall` per
// frame (a drum) or holding (a plucked string).
std::vector<std::int16_t> decaying(std::uint32_t frames, double cyclesPerFrame, double pitchFall,
                                   double noise, double decay, Lcg& random) {
    std::vector<std::int16_t> out(frames);
    double phase = 0;
    for (std::uint32_t i = 0; i < frames; ++i) {
        const double pitchDrop = 1.0 / (1.0 + i * pitchFall);
        phase += cyclesPerFrame * pitchDrop;
        const double body = std::sin(2 * std::numbers::pi * phase) * (1 - noise);
        const double hiss = (random.next(65536) / 32768.0 - 1) * noise;
        out[i] = clip((body + hiss) * kFullScale * std::exp(-decay * i));
    }
    return out;
}

Envelope sustained(std::uint16_t release) {
    return {.points = {{0, 0}, {4, 64}, {12, 48}, {static_cast<std::uint16_t>(12 + release), 0}},
            .sustainPoint = 2,
            .type = 1 | 2};
}

Instrument instrument(Sample sample, Envelope envelope = {}, std::uint16_t fadeout = 0) {
    Instrument made;
    made.samples.push_back(std::move(sample));
    made.volumeEnvelope = std::move(envelope);
    made.fadeout = fadeout;
    return made;
}

Sample looped(std::vector<std::int16_t> frames, Loop loop, std::int8_t relativeNote,
              std::uint8_t volume) {
    Sample sample;
    sample.sixteenBit = true;
    sample.loop = loop;
    sample.loopLength = static_cast<std::uint32_t>(frames.size());
    sample.frames = std::move(frames);
    sample.relativeNote = relativeNote;
    sample.volume = volume;
    return sample;
}

Sample oneShot(std::vector<std::int16_t> frames, bool sixteenBit, std::int8_t relativeNote,
               std::uint8_t volume) {
    Sample sample;
    sample.sixteenBit = sixteenBit;
    sample.frames = std::move(frames);
    sample.relativeNote = relativeNote;
    sample.volume = volume;
    return sample;
}

// Sampled at twice the rate of C-4 (relative note 12) unless said otherwise: drums of a
// fifth of a second or less, a plucked tone of a third, looped tones of many cycles.
std::vector<Instrument> instruments() {
    Lcg random;
    std::vector<Instrument> made;
    made.push_back(
        instrument(oneShot(decaying(4000, 0.004, 0.002, 0.05, 0.0011, random), false, 12, 64)));
    made.push_back(
        instrument(oneShot(decaying(3500, 0.011, 0.002, 0.7, 0.0013, random), true, 12, 50)));
    made.push_back(
        instrument(oneShot(decaying(800, 0.05, 0.002, 0.95, 0.006, random), false, 24, 30)));
    // 128 frames a cycle at the rate of C-4: about 65 Hz; the notes pick the octave.
    made.push_back(instrument(looped(tone(128, 16, 12), Loop::forward, 0, 56), sustained(6), 400));
    made.push_back(instrument(looped(tone(128, 8, 5), Loop::pingPong, 12, 40), sustained(20), 200));
    made.push_back(instrument(looped(tone(256, 16, 3), Loop::forward, 0, 30), sustained(40), 100));
    std::vector<std::int16_t> pluck = decaying(6000, 1.0 / 32, 0, 0.02, 0.0006, random);
    made.push_back(instrument(oneShot(std::move(pluck), true, 12, 40)));
    return made;
}

// Chord roots of the progression, in semitones above C, and their third and fifth.
constexpr int kRoots[] = {0, 9, 5, 7};
constexpr int kMinorRoots = 0b0010;  // bit i: chord i is minor

void put(Pattern& pattern, int row, int channel, Cell cell) {
    pattern.cells[static_cast<std::size_t>(row) * kChannels + channel] = cell;
}

std::uint8_t note(int semitonesFromC4) {
    return static_cast<std::uint8_t>(kC4 + semitonesFromC4);
}

Pattern makePattern(int variation, Lcg& random) {
    Pattern pattern;
    pattern.rows = kRows;
    pattern.cells.resize(std::size_t{kRows} * kChannels);
    const bool busy = variation % 4 != 0;
    for (int row = 0; row < kRows; ++row) {
        const int chord = row / 16;
        const int root = kRoots[chord];
        const int third = (kMinorRoots >> chord & 1) ? 3 : 4;
        const int chordNotes[] = {root, root + third, root + 7};
        if (row % 8 == 0 || (busy && row % 16 == 10))
            put(pattern, row, kickChannel, {note(0), kick});
        if (row % 8 == 4) put(pattern, row, snareChannel, {note(0), snare, 0x10 + 40});
        if (row % 2 == 0) {
            put(pattern, row, hatChannel,
                {note(12), hat, static_cast<std::uint8_t>(row % 4 ? 0x28 : 0x38)});
        }
        if (row % 4 == 0) {
            put(pattern, row, bassChannel, {note(root - 12 + (row % 8 == 4 ? 12 : 0)), bass});
        } else if (row % 4 == 3) {
            put(pattern, row, bassChannel, {kKeyOff});
        }
        if (row % 16 == 0) {
            for (int voice = 0; voice < 3; ++voice)
                put(pattern, row, padChannel + voice, {note(chordNotes[voice]), pad, 0x10 + 32});
        } else if (row % 16 == 8) {
            for (int voice = 0; voice < 3; ++voice)
                put(pattern, row, padChannel + voice, {0, 0, 0, 10, 0x01});  // slow fade
        } else if (row % 16 == 14) {
            for (int voice = 0; voice < 3; ++voice)
                put(pattern, row, padChannel + voice, {kKeyOff});
        }
        if (busy && row % 2 == 0) {
            const int step = (row / 2) % 4;
            put(pattern, row, arpChannel + (row / 2) % 2,
                {note(chordNotes[step % 3] + 12 * (step / 3)), pluck});
        }
        if (busy && row % 4 == 2) {
            const int degree = chordNotes[random.next(3)] + 12;
            const bool glide = random.next(4) == 0;
            put(pattern, row, leadChannel,
                glide ? Cell{note(degree), 0, 0, 3, 0x20} : Cell{note(degree), lead});
            put(pattern, row, harmonyChannel, {note(degree - 5), lead, 0x10 + 24});
        } else if (busy && row % 8 == 7) {
            put(pattern, row, leadChannel, {kKeyOff});
        }
        if (row % 4 == 3)
            put(pattern, row, echoChannel, {note(chordNotes[row / 4 % 3] + 24), pluck, 0x10 + 16});
    }
    return pattern;
}

}  // namespace

Module demoModule() {
    Module module;
    module.name = "vorn3 demo";
    module.channels = kChannels;
    module.tempo = 7;
    module.bpm = 135;
    Lcg random;
    for (int variation = 0; variation < 4; ++variation)
        module.patterns.push_back(makePattern(variation, random));
    module.orders = {0, 1, 2, 3, 1, 2, 3, 1, 0, 1, 2, 3, 2, 3, 1, 0};
    module.instruments = instruments();
    return module;
}

}  // namespace xm
