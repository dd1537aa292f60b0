#include "tools/make_song/instruments.h"

#include <algorithm>
#include <utility>

#include "tools/make_song/synth.h"

namespace glint::song {
namespace {

constexpr std::int32_t kPeak16 = 30000;
constexpr std::int32_t kPeak8 = 32000;    // only the high byte is kept
constexpr std::int32_t kBaseRate = 8363;  // Hz of a sample played at C-4, relative note 0
// Relative notes that play a sample made at 2 or 4 times the base rate at its own speed
// when struck with C-4, or that give a loop of 32, 64 or 128 frames a period the note's
// own pitch.
constexpr std::int8_t kOctaveUp = 12;
constexpr std::int8_t kTwoOctavesUp = 24;

struct Drum {
    std::int32_t rate;  // Hz the sample is made at
    std::int32_t frames;
    std::int64_t startPitch;   // millihertz
    std::int64_t endPitch;     // millihertz
    std::int32_t sweepFrames;  // time constant of the fall from start to end pitch
    std::int32_t decayFrames;  // time constant of the tone
    std::int32_t tone;         // relative amounts, 0..1024
    std::int32_t noise;
    std::int32_t noiseDecayFrames;
    std::int32_t noiseHighPass;  // 0: unfiltered
};

// A struck sound: a sine whose pitch falls from start to end, with a burst of noise.
std::vector<std::int32_t> drum(const Drum& d, Noise& noise) {
    std::vector<std::int32_t> out(static_cast<std::size_t>(d.frames));
    std::int64_t sweep = (d.startPitch - d.endPitch) << 16;
    std::int64_t toneGain = std::int64_t{1} << 16;
    std::int64_t noiseGain = std::int64_t{1} << 16;
    const std::int32_t sweepFall = decayPerFrame(d.sweepFrames);
    const std::int32_t toneFall = decayPerFrame(d.decayFrames);
    const std::int32_t noiseFall = decayPerFrame(d.noiseDecayFrames);
    std::uint32_t phase = 0;
    std::int64_t filtered = 0;
    for (std::int32_t i = 0; i < d.frames; ++i) {
        phase += phaseStep(d.endPitch + (sweep >> 16), d.rate);
        sweep = sweep * sweepFall >> 16;
        std::int64_t hiss = noise.next();
        if (d.noiseHighPass != 0) {
            filtered += (hiss - filtered) * d.noiseHighPass >> 16;
            hiss -= filtered;
        }
        const std::int64_t attack = std::min<std::int64_t>(i + 1, 16);
        std::int64_t value =
            (sine(phase) * toneGain >> 16) * d.tone + (hiss * noiseGain >> 16) * d.noise;
        value = value * attack / 16;
        out[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(value >> 10);
        toneGain = toneGain * toneFall >> 16;
        noiseGain = noiseGain * noiseFall >> 16;
    }
    return out;
}

std::vector<std::int32_t> noiseLoop(std::uint32_t frames, std::uint32_t seed, std::int32_t highPass,
                                    std::int32_t lowPassA) {
    Noise noise{seed};
    std::vector<std::int32_t> out(frames);
    for (std::int32_t& value : out)
        value = noise.next();
    if (highPass != 0) glint::song::highPass(out, highPass);
    if (lowPassA != 0) lowPass(out, lowPassA);
    return out;
}

// The first half of a period made only of cosines: played forward and back by a
// ping-pong loop it gives the whole period again.
std::vector<std::int32_t> halfPeriod(std::uint32_t half, const std::vector<Partial>& list) {
    std::vector<Partial> even = list;
    for (Partial& partial : even)
        partial.cosine = true;
    std::vector<std::int32_t> whole = partials(2 * half, even);
    whole.resize(half);
    return whole;
}

xm::Sample sample(const std::vector<std::int32_t>& values, bool sixteenBit, xm::Loop loop,
                  std::int8_t relativeNote, std::uint8_t volume, std::uint8_t panning = 128) {
    xm::Sample made;
    made.frames = normalise(values, sixteenBit ? kPeak16 : kPeak8);
    made.sixteenBit = sixteenBit;
    made.loop = loop;
    made.loopLength = loop == xm::Loop::none ? 0 : static_cast<std::uint32_t>(made.frames.size());
    made.relativeNote = relativeNote;
    made.volume = volume;
    made.panning = panning;
    return made;
}

xm::Envelope envelope(std::vector<xm::EnvelopePoint> points, std::uint8_t type,
                      std::uint8_t sustain = 0, std::uint8_t loopStart = 0,
                      std::uint8_t loopEnd = 0) {
    return {.points = std::move(points),
            .sustainPoint = sustain,
            .loopStart = loopStart,
            .loopEnd = loopEnd,
            .type = type};
}

constexpr std::uint8_t kOn = 1;
constexpr std::uint8_t kSustain = 2;
constexpr std::uint8_t kLoop = 4;

struct Shape {
    xm::Envelope volume{};
    xm::Envelope panning{};
    std::uint16_t fadeout = 0;
    std::uint8_t vibratoType = 0;
    std::uint8_t vibratoSweep = 0;
    std::uint8_t vibratoDepth = 0;
    std::uint8_t vibratoRate = 0;
};

xm::Instrument instrument(const char* name, xm::Sample made, Shape shape = {}) {
    xm::Instrument result;
    result.name = name;
    result.samples.push_back(std::move(made));
    result.volumeEnvelope = std::move(shape.volume);
    result.panningEnvelope = std::move(shape.panning);
    result.fadeout = shape.fadeout;
    result.vibratoType = shape.vibratoType;
    result.vibratoSweep = shape.vibratoSweep;
    result.vibratoDepth = shape.vibratoDepth;
    result.vibratoRate = shape.vibratoRate;
    return result;
}

// Karplus-Strong: a burst of noise circulating through a delay line with averaging.
std::vector<std::int32_t> plucked(std::int32_t period, std::int32_t frames, Noise& noise) {
    std::vector<std::int32_t> line(static_cast<std::size_t>(period));
    for (std::int32_t& value : line)
        value = noise.next();
    std::vector<std::int32_t> out(static_cast<std::size_t>(frames));
    std::size_t at = 0;
    for (std::int32_t& value : out) {
        const std::size_t next = (at + 1) % line.size();
        value = line[at];
        line[at] = (line[at] + line[next]) * 255 / 512;
        at = next;
    }
    return out;
}

// A short chord of saws with noise on top, for the hits on the accents: A minor.
std::vector<std::int32_t> orchestraStab(std::int32_t rate, std::int32_t frames, Noise& noise) {
    constexpr std::int64_t kChord[] = {110000, 220000, 261626, 329628, 440000, 523251, 659255};
    std::vector<std::int32_t> out(static_cast<std::size_t>(frames));
    std::uint32_t phases[std::size(kChord)] = {};
    std::int64_t gain = std::int64_t{1} << 16;
    const std::int32_t fall = decayPerFrame(frames / 4);
    for (std::int32_t i = 0; i < frames; ++i) {
        std::int64_t sum = 0;
        for (std::size_t k = 0; k < std::size(kChord); ++k) {
            phases[k] += phaseStep(kChord[k], rate);
            const std::uint32_t p = phases[k];
            sum += sine(p) + sine(2 * p) / 2 + sine(3 * p) / 3 + sine(4 * p) / 5;
        }
        sum += std::int64_t{noise.next()} * std::max<std::int64_t>(0, 600 - i) / 300;
        out[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(sum * gain >> 16);
        gain = gain * fall >> 16;
    }
    lowPass(out, 40000);
    return out;
}

}  // namespace

std::vector<xm::Instrument> makeInstruments() {
    constexpr std::int32_t kDrumRate = 2 * kBaseRate;
    constexpr std::int32_t kHatRate = 4 * kBaseRate;
    Noise noise{0x9E3779B9u};
    std::vector<xm::Instrument> made;

    made.push_back(instrument(
        "kick", sample(drum({kDrumRate, 3000, 190000, 48000, 500, 2400, 1024, 120, 120, 0}, noise),
                       false, xm::Loop::none, kOctaveUp, 64)));
    made.push_back(instrument(
        "snare",
        sample(drum({kDrumRate, 2400, 260000, 180000, 300, 700, 520, 900, 1100, 14000}, noise),
               false, xm::Loop::none, kOctaveUp, 52)));
    {
        std::vector<std::int32_t> clapSound =
            drum({kDrumRate, 2000, 0, 0, 1, 1, 0, 1024, 700, 22000}, noise);
        // Three quick bursts before the tail, as hands never meet at once.
        for (std::size_t i = 0; i < 420; ++i) {
            if ((i / 70) % 2 == 1) clapSound[i] /= 6;
        }
        made.push_back(instrument("clap", sample(clapSound, false, xm::Loop::none, kOctaveUp, 48)));
    }
    made.push_back(instrument(
        "closed hat",
        sample(noiseLoop(1024, 0x1234567u, 42000, 0), false, xm::Loop::forward, kTwoOctavesUp, 40),
        {.volume = envelope({{0, 64}, {2, 24}, {6, 0}}, kOn)}));
    made.push_back(instrument(
        "open hat",
        sample(noiseLoop(1024, 0x7654321u, 36000, 0), false, xm::Loop::forward, kTwoOctavesUp, 36),
        {.volume = envelope({{0, 64}, {6, 40}, {24, 0}}, kOn)}));
    made.push_back(
        instrument("crash",
                   sample(noiseLoop(2048, 0xCAFEF00Du, 20000, 52000), false, xm::Loop::forward,
                          kTwoOctavesUp, 52),
                   {.volume = envelope({{0, 64}, {3, 50}, {16, 30}, {48, 12}, {110, 0}}, kOn),
                    .panning = envelope({{0, 32}, {20, 22}, {60, 42}, {110, 32}}, kOn)}));
    made.push_back(instrument(
        "tom", sample(drum({kDrumRate, 2000, 200000, 110000, 900, 1000, 1024, 200, 200, 0}, noise),
                      false, xm::Loop::none, kOctaveUp, 56)));
    made.push_back(instrument(
        "rim", sample(drum({kHatRate, 700, 1700000, 1600000, 100, 150, 800, 500, 60, 30000}, noise),
                      false, xm::Loop::none, kTwoOctavesUp, 40)));
    // The envelope's loop shakes once a row of seven ticks; key off lets it fade.
    made.push_back(instrument(
        "shaker",
        sample(noiseLoop(512, 0xBEEFu, 50000, 0), false, xm::Loop::forward, kTwoOctavesUp, 30),
        {.volume = envelope({{0, 48}, {3, 14}, {7, 48}}, kOn | kLoop, 0, 0, 2), .fadeout = 1500}));
    made.push_back(instrument(
        "impact",
        sample(drum({kBaseRate, 3000, 120000, 36000, 700, 1500, 1024, 700, 900, 0}, noise), false,
               xm::Loop::none, 0, 64)));
    made.push_back(instrument(
        "riser",
        sample(noiseLoop(1024, 0xD00Du, 16000, 30000), false, xm::Loop::forward, kOctaveUp, 44),
        {.volume = envelope({{0, 0}, {50, 64}}, kOn | kSustain, 1), .fadeout = 3000}));
    made.push_back(instrument(
        "zap",
        sample(partials(32, harmonics(Wave::square, 1, 15)), false, xm::Loop::forward, 0, 40),
        {.volume = envelope({{0, 64}, {12, 0}}, kOn)}));
    {
        std::vector<std::int32_t> saw = partials(256, harmonics(Wave::saw, 2, 24, true));
        lowPass(saw, 30000);
        made.push_back(
            instrument("bass", sample(saw, true, xm::Loop::forward, kTwoOctavesUp, 56),
                       {.volume = envelope({{0, 64}, {4, 52}, {20, 44}}, kOn | kSustain, 2),
                        .fadeout = 1400}));
    }
    made.push_back(
        instrument("sub bass",
                   sample(partials(64, {{1, 1024}, {2, 200}, {3, 60}}), true, xm::Loop::forward,
                          kOctaveUp, 60),
                   {.volume = envelope({{0, 64}, {8, 56}}, kOn | kSustain, 1), .fadeout = 900}));
    made.push_back(instrument("acid bass",
                              sample(halfPeriod(32, harmonics(Wave::square, 1, 15)), false,
                                     xm::Loop::pingPong, kOctaveUp, 44),
                              {.volume = envelope({{0, 64}, {5, 30}, {14, 18}, {30, 0}}, kOn)}));
    made.push_back(instrument(
        "warm pad",
        sample(partials(1024, harmonics(Wave::soft, 8, 6, true)), true, xm::Loop::forward,
               kTwoOctavesUp, 40),
        {.volume = envelope({{0, 0}, {20, 48}, {50, 64}}, kOn | kSustain, 2), .fadeout = 260}));
    // Held at its sustain; after the key off a shimmer loops while the fadeout falls.
    made.push_back(instrument(
        "string pad",
        sample(halfPeriod(512, harmonics(Wave::saw, 8, 10)), true, xm::Loop::pingPong,
               kTwoOctavesUp, 40),
        {.volume = envelope({{0, 0}, {16, 64}, {28, 44}, {40, 60}, {52, 44}},
                            kOn | kSustain | kLoop, 1, 2, 4),
         .panning = envelope({{0, 32}, {30, 20}, {60, 44}, {90, 32}}, kOn | kLoop, 0, 0, 3),
         .fadeout = 300}));
    made.push_back(instrument(
        "choir",
        sample(
            partials(1024,
                     {{8, 1024}, {16, 500}, {24, 700}, {32, 300}, {40, 200}, {9, 400}, {27, 300}}),
            true, xm::Loop::forward, kTwoOctavesUp, 38),
        {.volume = envelope({{0, 0}, {24, 64}}, kOn | kSustain, 1),
         .fadeout = 400,
         .vibratoSweep = 40,
         .vibratoDepth = 3,
         .vibratoRate = 6}));
    made.push_back(instrument("lead saw",
                              sample(partials(128, harmonics(Wave::saw, 2, 14, true)), true,
                                     xm::Loop::forward, kOctaveUp, 42),
                              {.volume = envelope({{0, 64}, {8, 50}}, kOn | kSustain, 1),
                               .fadeout = 900,
                               .vibratoSweep = 60,
                               .vibratoDepth = 8,
                               .vibratoRate = 10}));
    made.push_back(instrument(
        "lead square",
        sample(partials(32, {{1, 1024}, {3, 340}, {5, 200}, {7, 140}, {2, 300}, {4, 120}}), false,
               xm::Loop::forward, 0, 38),
        {.volume = envelope({{0, 60}, {4, 64}, {16, 46}}, kOn | kSustain, 2),
         .fadeout = 800,
         .vibratoType = 1,
         .vibratoSweep = 80,
         .vibratoDepth = 2,
         .vibratoRate = 40}));
    made.push_back(instrument(
        "arp pluck",
        sample(partials(64, harmonics(Wave::saw, 1, 20)), false, xm::Loop::forward, kOctaveUp, 34),
        {.volume = envelope({{0, 64}, {4, 34}, {14, 12}, {28, 0}}, kOn)}));
    made.push_back(instrument(
        "bell",
        sample(partials(512, {{8, 1024}, {16, 300}, {28, 500}, {44, 260}, {67, 120}}), true,
               xm::Loop::forward, kOctaveUp, 36),
        {.volume = envelope({{0, 64}, {10, 36}, {40, 14}, {100, 0}}, kOn), .fadeout = 500}));
    made.push_back(instrument(
        "piano",
        sample(partials(256, {{4, 1024}, {8, 420}, {12, 260}, {16, 100}, {20, 60}}), true,
               xm::Loop::forward, kOctaveUp, 40),
        {.volume = envelope({{0, 64}, {8, 40}, {60, 18}, {140, 0}}, kOn), .fadeout = 1500}));
    made.push_back(instrument(
        "organ",
        sample(partials(64, harmonics(Wave::organ, 1, 8)), false, xm::Loop::forward, kOctaveUp, 32),
        {.volume = envelope({{0, 64}, {3, 52}}, kOn | kSustain, 1), .fadeout = 3000}));
    {
        std::vector<std::int32_t> saw = partials(256, harmonics(Wave::saw, 4, 20, true));
        lowPass(saw, 45000);
        made.push_back(
            instrument("brass", sample(saw, true, xm::Loop::forward, kOctaveUp, 46),
                       {.volume = envelope({{0, 24}, {3, 64}, {12, 40}}, kOn | kSustain, 2),
                        .fadeout = 1600}));
    }
    made.push_back(instrument("orchestra hit", sample(orchestraStab(kDrumRate, 2600, noise), false,
                                                      xm::Loop::none, kOctaveUp, 56)));
    made.push_back(instrument(
        "wind", sample(noiseLoop(2048, 0xA5A5A5u, 0, 6000), false, xm::Loop::forward, 0, 40),
        {.volume = envelope({{0, 0}, {60, 64}}, kOn | kSustain, 1),
         .panning = envelope({{0, 32}, {40, 12}, {80, 52}, {120, 32}}, kOn | kLoop, 0, 0, 3),
         .fadeout = 200}));
    made.push_back(instrument("flute",
                              sample(partials(64, {{1, 1024}, {2, 180}, {3, 90}}), true,
                                     xm::Loop::forward, kOctaveUp, 44),
                              {.volume = envelope({{0, 0}, {4, 64}, {10, 54}}, kOn | kSustain, 2),
                               .fadeout = 700,
                               .vibratoSweep = 30,
                               .vibratoDepth = 10,
                               .vibratoRate = 8}));
    made.push_back(
        instrument("harp", sample(plucked(64, 3500, noise), false, xm::Loop::none, kOctaveUp, 44)));
    made.push_back(instrument("glass",
                              sample(halfPeriod(64, {{1, 1024}, {3, 200}, {6, 300}, {11, 160}}),
                                     false, xm::Loop::pingPong, kTwoOctavesUp, 30),
                              {.volume = envelope({{0, 64}, {20, 24}, {60, 0}}, kOn),
                               .panning = envelope({{0, 12}, {30, 52}}, kOn)}));
    made.push_back(instrument("echo lead",
                              sample(halfPeriod(32, harmonics(Wave::triangle, 1, 9)), true,
                                     xm::Loop::pingPong, kOctaveUp, 36),
                              {.volume = envelope({{0, 64}, {6, 48}}, kOn | kSustain, 1),
                               .fadeout = 1000,
                               .vibratoType = 0,
                               .vibratoSweep = 20,
                               .vibratoDepth = 6,
                               .vibratoRate = 12}));
    return made;
}

}  // namespace glint::song
