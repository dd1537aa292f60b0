#include "tests/fuzz/fuzz_seeds.h"

#include "writers/demo_module.h"
#include "writers/it_writer.h"
#include "writers/mod_writer.h"
#include "writers/s3m_writer.h"
#include "writers/xm_writer.h"

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

std::vector<std::int8_t> modWave(std::size_t length) {
    std::vector<std::int8_t> data;
    for (std::size_t i = 0; i < length; ++i)
        data.push_back(static_cast<std::int8_t>(i * 37 % 251 - 125));
    return data;
}

// Every effect and every E command with a few parameters on one channel, notes of the
// three octaves on the others; looped and one-shot samples of every finetune.
mod::Module modEffectsModule(std::string mark, std::int32_t channels) {
    mod::Module module;
    module.mark = std::move(mark);
    module.channels = channels;
    for (std::uint8_t i = 0; i < 16; ++i) {
        mod::Sample sample{.data = modWave(64 + i * 8), .finetune = i, .volume = 48};
        if (i % 2 == 1) sample.loopStart = 4, sample.loopLength = 16;
        module.samples.push_back(sample);
    }
    const std::uint16_t periods[] = {856, 428, 214, 113, 907, 808, 1712, 57};
    const std::uint8_t parameters[] = {0x00, 0x13, 0x8F, 0xE2};
    module.orders.clear();
    for (std::int32_t effect = 0; effect < 32; effect += 8) {
        mod::Pattern pattern;
        for (std::int32_t row = 0; row < mod::kRows; ++row) {
            const std::int32_t number = effect + row / 8;
            for (std::int32_t c = 0; c < channels; ++c) {
                mod::Cell cell;
                if (c == 0) {
                    cell.effect = static_cast<std::uint8_t>(number < 16 ? number : 14);
                    cell.parameter = number < 16
                                         ? parameters[row % 4]
                                         : static_cast<std::uint8_t>((number - 16) << 4 | row % 4);
                }
                if ((row + c) % 4 == 0) {
                    cell.period = periods[(row / 4 + c) % 8];
                    cell.sample = static_cast<std::uint8_t>(1 + (row + c) % 17);
                }
                pattern.cells.push_back(cell);
            }
        }
        module.orders.push_back(static_cast<std::uint8_t>(module.patterns.size()));
        module.patterns.push_back(pattern);
    }
    return module;
}

std::vector<std::int16_t> s3mWave(std::uint32_t length) {
    std::vector<std::int16_t> frames;
    for (std::uint32_t i = 0; i < length; ++i)
        frames.push_back(static_cast<std::int16_t>((i * 2731 % 509) * 128 - 32000));
    return frames;
}

// Every command letter with a few parameters on one channel, notes, note cuts and
// volumes on the others; 8- and 16-bit, looped and one-shot samples of several C2
// speeds, a disabled channel, a panning table and skipped and end orders.
s3m::Module s3mEffectsModule(std::uint16_t sampleFormat) {
    s3m::Module module;
    module.channels = 5;
    module.sampleFormat = sampleFormat;
    module.channelSettings = {0, 8, 255, 9, 1};
    for (std::size_t c = 5; c < s3m::kChannels; ++c)
        (*module.channelSettings)[c] = s3m::kDisabled;
    module.panningTable = {0x20, 0x2F, 0x00, 0x27, 0x10};
    const std::uint32_t speeds[] = {8363, 22050, 4000, 16726};
    for (std::uint32_t i = 0; i < 4; ++i) {
        module.instruments.push_back({.frames = s3mWave(48 + 16 * i),
                                      .sixteenBit = i % 2 == 1,
                                      .loop = i >= 2,
                                      .loopStart = 8,
                                      .loopEnd = 40,
                                      .volume = static_cast<std::uint8_t>(32 + 8 * i),
                                      .c2Speed = speeds[i]});
    }
    module.instruments.push_back({.type = 2});
    const std::uint8_t parameters[] = {0x00, 0x13, 0x8F, 0xE2, 0xF3, 0x3F, 0xEA, 0x00};
    module.orders = {0, 254};
    for (char letter = 'A'; letter <= 'Z'; letter += 2) {
        s3m::Pattern pattern;
        for (std::int32_t row = 0; row < s3m::kRows; ++row) {
            for (std::int32_t c = 0; c < module.channels; ++c) {
                s3m::Cell cell;
                if (c == 0) {
                    cell.command = s3m::command(static_cast<char>(letter + row / 32));
                    cell.info = row / 32 == 1 && letter + 1 == 'S'
                                    ? static_cast<std::uint8_t>(row << 4)
                                    : parameters[row % 8];
                }
                if ((row + c) % 6 == 0) {
                    cell.note =
                        static_cast<std::uint8_t>((2 + (row + c) % 6) << 4 | (row * 5 % 13));
                    cell.instrument = static_cast<std::uint8_t>(1 + (row + c) % 6);
                } else if ((row + c) % 11 == 0) {
                    cell.note = s3m::kNoteCut;
                }
                if (row % 5 == c) cell.volume = static_cast<std::uint8_t>(row);
                pattern.cells.push_back(cell);
            }
        }
        module.orders.push_back(static_cast<std::uint8_t>(module.patterns.size()));
        module.patterns.push_back(pattern);
    }
    module.orders.push_back(255);
    module.orders.push_back(1);
    return module;
}

// Every command letter with a few parameters on one channel, notes, note offs, cuts and
// fades and every volume-column range on the others; samples of each coding, looped and
// sustain-looped, mono and stereo; instruments of every new-note action and envelope kind,
// or none.
it::Module itEffectsModule(std::uint16_t version, std::uint16_t flags) {
    it::Module module;
    module.compatibleVersion = version;
    module.flags = flags;
    module.channels = 5;
    module.speed = 3;
    module.channelPan[4] = 100;
    module.special = it::kSpecialEditHistory | it::kSpecialMidiConfiguration;
    module.editHistoryEntries = 2;
    module.midi.parametered = {"F0F000z", "F0F001z", "F0F002z", "f0 f0 00 40"};
    module.midi.fixed = {"F0F00040", "F0F0017F", "F0F000", "F0F001zz", "F0F00"};
    const it::Coding codings[] = {it::Coding::signedPlain, it::Coding::unsignedPlain,
                                  it::Coding::it214, it::Coding::it215};
    for (std::uint8_t i = 0; i < 4; ++i) {
        it::Sample sample{.sixteenBit = i % 2 == 1,
                          .coding = codings[i],
                          .loopFlags = static_cast<std::uint8_t>(i * 0x30),
                          .loopBegin = 8,
                          .loopEnd = 40,
                          .c5Speed = 8363u << i,
                          .sustainBegin = 4,
                          .sustainEnd = 20,
                          .vibratoSpeed = static_cast<std::uint8_t>(i * 9),
                          .vibratoDepth = static_cast<std::uint8_t>(i * 20),
                          .vibratoRate = static_cast<std::uint8_t>(i * 60),
                          .vibratoType = i};
        sample.frames = s3mWave(48 + 16 * i);
        if (i >= 2) sample.rightFrames.assign(sample.frames.rbegin(), sample.frames.rend());
        module.samples.push_back(sample);
        // Filters, pans and random variations of every kind across the four.
        it::Instrument instrument{.newNoteAction = i,
                                  .fadeout = static_cast<std::uint16_t>(i * 40),
                                  .pitchPanSeparation = static_cast<std::int8_t>(i * 20 - 32),
                                  .defaultPan = static_cast<std::uint8_t>(i * 40),
                                  .randomVolume = static_cast<std::uint8_t>(i * 40),
                                  .randomPan = static_cast<std::uint8_t>(i * 30),
                                  .filterCutoff = static_cast<std::uint8_t>(i * 70),
                                  .filterResonance = static_cast<std::uint8_t>(i * 90),
                                  .keyboard = it::keyboardOf(static_cast<std::uint8_t>(i + 1))};
        instrument.volumeEnvelope = {.flags = 7,
                                     .nodes = {{64, 0}, {20, 3}, {50, 6}, {0, 12}},
                                     .loopEnd = 2,
                                     .sustainBegin = 1,
                                     .sustainEnd = 2};
        instrument.panningEnvelope = {.flags = 3, .nodes = {{-32, 0}, {32, 5}}, .loopEnd = 1};
        instrument.pitchEnvelope = {.flags = static_cast<std::uint8_t>(i % 2 ? 0x81 : 1),
                                    .nodes = {{0, 0}, {20, 8}}};
        module.instruments.push_back(instrument);
    }
    const std::uint8_t parameters[] = {0x00, 0x13, 0x8F, 0xE2, 0xF3, 0x3F, 0xEA, 0x00};
    module.orders = {0, 254};
    for (std::uint8_t letter = 1; letter <= 26; letter += 2) {
        it::Pattern pattern{.rows = 64};
        for (std::int32_t row = 0; row < 64; ++row) {
            for (std::int32_t c = 0; c < module.channels; ++c) {
                it::Cell cell;
                if (c == 0) {
                    cell.effect = it::Effect{static_cast<std::uint8_t>(letter + row / 32),
                                             parameters[row % 8]};
                }
                if ((row + c) % 6 == 0) {
                    cell.note = static_cast<std::uint8_t>(36 + (row * 7 + c) % 48);
                    cell.instrument = static_cast<std::uint8_t>(1 + (row + c) % 5);
                } else if ((row + c) % 11 == 0) {
                    cell.note = static_cast<std::uint8_t>(row % 3 == 0   ? it::kNoteOff
                                                          : row % 3 == 1 ? it::kNoteCut
                                                                         : 200);
                }
                if (row % 5 == c) cell.volume = static_cast<std::uint8_t>(row * 37 % 213);
                pattern.cells.push_back(cell);
            }
        }
        module.orders.push_back(static_cast<std::uint8_t>(module.patterns.size()));
        module.patterns.push_back(pattern);
    }
    module.orders.push_back(it::kEndOfSong);
    return module;
}

}  // namespace

std::vector<FuzzSeed> fuzzSeeds() {
    mod::Module soundtracker = modEffectsModule("", 4);
    soundtracker.samples.resize(15);
    return {{"effects.xm", xm::writeModule(effectsModule())},
            {"envelopes.xm", xm::writeModule(envelopesModule())},
            {"demo.xm", xm::writeModule(xm::demoModule())},
            {"effects.mod", mod::writeModule(modEffectsModule("M.K.", 4))},
            {"eight.mod", mod::writeModule(modEffectsModule("8CHN", 8))},
            {"soundtracker.mod", mod::writeModule(soundtracker)},
            {"signed.s3m", s3m::writeModule(s3mEffectsModule(1))},
            {"unsigned.s3m", s3m::writeModule(s3mEffectsModule(2))},
            {"instruments.it", it::writeModule(itEffectsModule(
                                   0x0214, it::kStereo | it::kUseInstruments | it::kLinearSlides))},
            {"old.it", it::writeModule(itEffectsModule(0x0100, it::kUseInstruments))},
            {"samples.it", it::writeModule(itEffectsModule(0x0214, it::kStereo))}};
}

}  // namespace glint
