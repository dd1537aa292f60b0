#include "tests/fuzz/fuzz_seeds.h"

#include "support/demo_module.h"
#include "support/xm_writer.h"

namespace glint {
namespace {

constexpr std::uint8_t kLastEffect = 35;  // Z
constexpr std::uint8_t kC4 = 49;
constexpr std::uint16_t kRows = 64;
constexpr std::uint16_t kRowsPerEffect = 8;
constexpr std::uint8_t kEffectsPerPattern = kRows / kRowsPerEffect;

xm::Sample wave(std::uint32_t length, bool sixteenBit, xm::Loop loop) {
    xm::Sample sample;
    sample.sixteenBit = sixteenBit;
    sample.loop = loop;
    sample.loopStart = length / 4;
    sample.loopLength = length / 2;
    for (std::uint32_t i = 0; i < length; ++i)
        sample.frames.push_back(static_cast<std::int16_t>((i * 2731 % 509) * 128 - 32000));
    return sample;
}

// Two samples per instrument across the keyboard: 8-bit forward, 16-bit ping-pong.
xm::Instrument enveloped(std::uint8_t vibratoType) {
    xm::Instrument instrument;
    instrument.samples = {wave(48, false, xm::Loop::forward), wave(40, true, xm::Loop::pingPong)};
    for (std::size_t note = 48; note < instrument.keymap.size(); ++note)
        instrument.keymap[note] = 1;
    instrument.volumeEnvelope = {.points = {{0, 64}, {3, 40}, {6, 60}, {12, 10}, {20, 0}},
                                 .sustainPoint = 2,
                                 .loopStart = 1,
                                 .loopEnd = 3,
                                 .type = 7};
    instrument.panningEnvelope = {
        .points = {{0, 0}, {4, 64}, {9, 32}}, .loopStart = 0, .loopEnd = 2, .type = 5};
    instrument.vibratoType = vibratoType;
    instrument.vibratoSweep = 4;
    instrument.vibratoDepth = 8;
    instrument.vibratoRate = 20;
    instrument.fadeout = 2000;
    return instrument;
}

xm::Instrument oneShot() {
    xm::Instrument instrument;
    instrument.samples = {wave(64, true, xm::Loop::none)};
    instrument.samples[0].relativeNote = -12;
    instrument.samples[0].finetune = -40;
    return instrument;
}

// Every effect number with a few parameters on one channel, notes on the other.
xm::Module effectsModule() {
    xm::Module module;
    module.channels = 2;
    module.tempo = 3;
    module.bpm = 200;
    module.instruments = {enveloped(0), oneShot()};
    const std::uint8_t parameters[] = {0x00, 0x13, 0x8F, 0xE2};
    module.orders.clear();
    for (std::uint8_t effect = 0; effect <= kLastEffect; effect += kEffectsPerPattern) {
        xm::Pattern pattern{.rows = kRows};
        for (std::uint16_t row = 0; row < kRows; ++row) {
            const auto number = static_cast<std::uint8_t>(effect + row / kRowsPerEffect);
            if (number > kLastEffect) break;
            const std::uint8_t parameter = parameters[row % 4];
            const auto note = static_cast<std::uint8_t>(row % 8 == 0 ? kC4 + row % 24 : 0);
            pattern.cells.push_back(
                {note, static_cast<std::uint8_t>(1 + row / 4 % 2), 0, number, parameter});
            pattern.cells.push_back(
                {static_cast<std::uint8_t>(row % 16 == 15 ? xm::kKeyOff : 0), 0, 0, 0, 0});
        }
        module.orders.push_back(static_cast<std::uint8_t>(module.patterns.size()));
        module.patterns.push_back(pattern);
    }
    return module;
}

// Every volume-column command with low and high values, under envelopes of each
// auto-vibrato waveform, with key offs and an unpacked and an empty pattern.
xm::Module envelopesModule() {
    xm::Module module;
    module.channels = 4;
    module.tempo = 5;
    module.instruments = {enveloped(0), enveloped(1), enveloped(2), enveloped(3)};
    xm::Pattern pattern{.rows = kRows};
    for (std::uint16_t row = 0; row < kRows; ++row) {
        for (std::uint8_t channel = 0; channel < module.channels; ++channel) {
            const auto volume = static_cast<std::uint8_t>(0x10 + (row * 4 + channel) * 3 % 0xF0);
            const bool noteRow = row % 12 == channel;
            const auto note = static_cast<std::uint8_t>(noteRow          ? kC4 + channel * 7
                                                        : row % 12 == 11 ? 97
                                                                         : 0);
            pattern.cells.push_back(
                {note, static_cast<std::uint8_t>(noteRow ? channel + 1 : 0), volume, 0, 0});
        }
    }
    module.patterns = {pattern, pattern, xm::Pattern{.rows = 16, .packing = xm::Packing::empty}};
    module.patterns[1].packing = xm::Packing::unpacked;
    module.orders = {0, 1, 2, 0};
    module.restartPosition = 1;
    module.linearFrequencies = false;
    return module;
}

}  // namespace

std::vector<FuzzSeed> fuzzSeeds() {
    return {{"effects.xm", xm::writeModule(effectsModule())},
            {"envelopes.xm", xm::writeModule(envelopesModule())},
            {"demo.xm", xm::writeModule(xm::demoModule())}};
}

}  // namespace glint
