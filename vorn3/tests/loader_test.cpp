#include <gtest/gtest.h>

#include "player/effects.h"
#include "player/tick.h"
#include "support/player_fixture.h"

namespace vorn3 {
namespace {

using LoaderTest = PlayerTest;

const PatternCell& cellAt(const Song& song, std::int32_t pattern, std::int32_t row,
                          std::int32_t channel) {
    return song.module->patterns[pattern].cells[row * song.module->channelCount + channel];
}

bool isEmpty(const PatternCell& cell) {
    return cell.note == 0 && cell.instrument == 0 && cell.volume == VolumeCommand::none &&
           cell.volumeValue == 0 && cell.command == Command::none && cell.parameter == 0;
}

TEST_F(LoaderTest, HeaderFieldsLoadAsStored) {
    xm::Module module = smallModule();
    module.channels = 12;
    module.restartPosition = 1;
    module.tempo = 7;
    module.bpm = 135;
    module.orders = {0, 1, 0, 2};
    module.patterns.resize(3);
    module.instruments.resize(2);
    SongPtr song = load(module);
    ASSERT_TRUE(song);
    EXPECT_EQ(song->module->songLength, 4);
    EXPECT_EQ(song->module->restartPosition, 1);
    EXPECT_EQ(song->module->channelCount, 12);
    EXPECT_EQ(song->module->instrumentCount, 2);
    EXPECT_EQ(song->module->flags, kLinearFrequencies);
    EXPECT_EQ(song->module->defaultTempo, 7);
    EXPECT_EQ(song->module->defaultBpm, 135);
    EXPECT_EQ(song->module->orderTable[3], 2);
    EXPECT_EQ(song->module->usedPatternCount, 3);
    EXPECT_EQ(song->module->patternSlotCount, 3);
    EXPECT_EQ(song->module->defaultGlobalVolume, 64);
    EXPECT_EQ(song->tickHook, songTick);
    EXPECT_FALSE(song->client.playing);
    EXPECT_EQ(song->client.link.next, &song->client.link);
    expectPlayable(*song);
}

TEST_F(LoaderTest, AmigaModulesClearTheLinearFlag) {
    xm::Module module = smallModule();
    module.linearFrequencies = false;
    SongPtr song = load(module);
    ASSERT_TRUE(song);
    EXPECT_EQ(song->module->flags, 0);
}

TEST_F(LoaderTest, OnlyTheExactMagicLoads) {
    std::vector<std::uint8_t> bytes = xm::writeModule(smallModule());
    bytes[9] = 'm';
    EXPECT_FALSE(load(bytes));
    EXPECT_FALSE(load(std::vector<std::uint8_t>{}));
}

TEST_F(LoaderTest, CellsDecodeFromPackedAndUnpackedData) {
    for (xm::Packing packing : {xm::Packing::packed, xm::Packing::unpacked}) {
        xm::Module module = smallModule();
        module.channels = 2;
        xm::Pattern& pattern = module.patterns[0];
        pattern.rows = 3;
        pattern.packing = packing;
        pattern.cells = {{49, 1, 0x40, 0x0C, 0x20}, {},
                         {0, 0, 0, 0x0F, 7},        {xm::kKeyOff, 0, 0, 0, 0},
                         {0, 3, 0, 0, 0},           {96, 2, 0x10, 0, 0}};
        SongPtr song = load(module);
        ASSERT_TRUE(song);
        const PatternCell& full = cellAt(*song, 0, 0, 0);
        EXPECT_EQ(full.note, 49);
        EXPECT_EQ(full.instrument, 1);
        EXPECT_EQ(full.volume, VolumeCommand::setVolume);
        EXPECT_EQ(full.volumeValue, 0x30);
        EXPECT_EQ(full.command, Command::setVolume);
        EXPECT_EQ(full.parameter, 0x20);
        EXPECT_TRUE(isEmpty(cellAt(*song, 0, 0, 1)));
        EXPECT_EQ(cellAt(*song, 0, 1, 0).command, Command::speedOrTempo);
        EXPECT_EQ(cellAt(*song, 0, 1, 0).parameter, 7);
        EXPECT_EQ(cellAt(*song, 0, 1, 1).note, kKeyOff);
        EXPECT_EQ(cellAt(*song, 0, 2, 0).instrument, 3);
        EXPECT_EQ(cellAt(*song, 0, 2, 1).note, 96);
        EXPECT_EQ(cellAt(*song, 0, 2, 1).volume, VolumeCommand::setVolume);
        EXPECT_EQ(cellAt(*song, 0, 2, 1).volumeValue, 0);
    }
}

// Command numbers past XM's own play nothing.
TEST_F(LoaderTest, InstrumentNumbersAbove128AndUnknownNotesAndCommandsAreDropped) {
    xm::Module module = smallModule();
    module.patterns[0].cells = {{120, 129, 0x20, 0, 0}, {98, 128, 0, 36, 0x44}};
    SongPtr song = load(module);
    ASSERT_TRUE(song);
    EXPECT_EQ(cellAt(*song, 0, 0, 0).note, 0);
    EXPECT_EQ(cellAt(*song, 0, 0, 0).instrument, 0);
    EXPECT_EQ(cellAt(*song, 0, 0, 0).volume, VolumeCommand::setVolume);
    EXPECT_EQ(cellAt(*song, 0, 0, 0).volumeValue, 0x10);
    EXPECT_EQ(cellAt(*song, 0, 0, 1).note, 0);
    EXPECT_EQ(cellAt(*song, 0, 0, 1).command, Command::none);
    EXPECT_EQ(cellAt(*song, 0, 0, 1).instrument, 128);
}

TEST_F(LoaderTest, PackedSizeZeroKeepsTheRowCountWithEmptyCells) {
    xm::Module module = smallModule();
    module.patterns[0] = {.rows = 32, .cells = {{49, 1, 0, 0, 0}}, .packing = xm::Packing::empty};
    module.patterns.push_back({.rows = 8, .cells = {{50, 1, 0, 0, 0}}});
    module.orders = {0, 1};
    SongPtr song = load(module);
    ASSERT_TRUE(song);
    EXPECT_EQ(song->module->patterns[0].rows, 32);
    for (std::int32_t i = 0; i < 32 * song->module->channelCount; ++i) {
        EXPECT_TRUE(isEmpty(song->module->patterns[0].cells[i]));
    }
    EXPECT_EQ(song->module->patterns[1].rows, 8);
    EXPECT_EQ(cellAt(*song, 1, 0, 0).note, 50);
}

TEST_F(LoaderTest, PatternsTheOrdersNameButTheFileLacksHave64EmptyRows) {
    xm::Module module = smallModule();
    module.patterns.resize(13, {.rows = 16});
    module.orders = {0, 20, 3};
    SongPtr song = load(module);
    ASSERT_TRUE(song);
    EXPECT_EQ(song->module->usedPatternCount, 21);
    EXPECT_EQ(song->module->patternSlotCount, 21);
    EXPECT_EQ(song->module->patterns[12].rows, 16);
    for (std::int32_t slot = 13; slot <= 20; ++slot) {
        EXPECT_EQ(song->module->patterns[slot].rows, 64);
        for (std::int32_t i = 0; i < 64 * song->module->channelCount; ++i) {
            EXPECT_TRUE(isEmpty(song->module->patterns[slot].cells[i]));
        }
    }
}

TEST_F(LoaderTest, OrdersAfterTheSongLengthDoNotCountTowardUsedPatterns) {
    xm::Module module = smallModule();
    module.patterns.resize(2);
    module.orders = {1, 0, 9};
    module.songLength = 2;
    SongPtr song = load(module);
    ASSERT_TRUE(song);
    EXPECT_EQ(song->module->usedPatternCount, 2);
    EXPECT_EQ(song->module->patternSlotCount, 2);
    EXPECT_EQ(song->module->orderTable[2], 9);
}

TEST_F(LoaderTest, LoopTypesLengthsAndUnits) {
    xm::Module module = smallModule();
    std::vector<xm::Sample>& samples = module.instruments[0].samples;
    samples.clear();
    xm::Sample pingPong = rampSample(100);
    pingPong.typeByte = 3 | 16;
    pingPong.loopStart = 10;
    pingPong.loopLength = 20;
    samples.push_back(pingPong);
    xm::Sample emptyLoop = rampSample(100, false);
    emptyLoop.loop = xm::Loop::forward;
    emptyLoop.loopStart = 40;
    emptyLoop.loopLength = 0;
    samples.push_back(emptyLoop);
    xm::Sample sixteen = rampSample(500);
    samples.push_back(sixteen);
    xm::Sample noLoop = rampSample(100, false);
    noLoop.loopStart = 30;
    noLoop.loopLength = 10;
    samples.push_back(noLoop);
    SongPtr song = load(module);
    ASSERT_TRUE(song);
    const Instrument& instrument = song->module->instruments[0];
    ASSERT_EQ(instrument.sampleCount, 4);

    EXPECT_EQ(instrumentSample(*song, 0, 0).loopType, LoopType::pingPong);
    EXPECT_EQ(instrumentSample(*song, 0, 0).loopStart, 10u);
    EXPECT_EQ(instrumentSample(*song, 0, 0).loopLength, 20u);

    EXPECT_EQ(instrumentSample(*song, 0, 1).loopType, LoopType::none);
    EXPECT_EQ(instrumentSample(*song, 0, 1).loopStart, 0u);
    EXPECT_EQ(instrumentSample(*song, 0, 1).loopLength, 100u);

    EXPECT_EQ(instrumentSample(*song, 0, 2).length, 500u);  // 1000 bytes stored
    EXPECT_EQ(instrumentSample(*song, 0, 2).loopLength, 500u);

    EXPECT_EQ(instrumentSample(*song, 0, 3).loopType, LoopType::none);
    EXPECT_EQ(instrumentSample(*song, 0, 3).loopStart, 0u);
    EXPECT_EQ(instrumentSample(*song, 0, 3).loopLength, 100u);
    expectPlayable(*song);
}

TEST_F(LoaderTest, GuardFrameFollowsTheLoop) {
    xm::Module module = smallModule();
    std::vector<xm::Sample>& samples = module.instruments[0].samples;
    samples.clear();
    for (xm::Loop loop : {xm::Loop::forward, xm::Loop::pingPong}) {
        xm::Sample sample = rampSample(100);
        sample.loop = loop;
        sample.loopStart = 10;
        sample.loopLength = 20;
        samples.push_back(sample);
    }
    samples.push_back(rampSample(100));
    SongPtr song = load(module);
    ASSERT_TRUE(song);
    const std::vector<std::int16_t>& frames = samples[0].frames;
    const Sample& forward = instrumentSample(*song, 0, 0);
    const Sample& pingPong = instrumentSample(*song, 0, 1);
    const Sample& noLoop = instrumentSample(*song, 0, 2);

    EXPECT_EQ(forward.data[30], frames[10]);
    EXPECT_EQ(forward.guardValue, frames[30]);
    EXPECT_EQ(forward.data[31], frames[31]);
    EXPECT_EQ(pingPong.data[30], frames[29]);
    EXPECT_EQ(pingPong.guardValue, frames[30]);
    EXPECT_EQ(noLoop.data[100], frames[0]);
    EXPECT_EQ(noLoop.guardValue, 0);
    EXPECT_EQ(noLoop.data[-1], 0);  // the zero frame before the data
    for (std::uint32_t k = 101; k < 100 + kSpareFrames; ++k)
        EXPECT_EQ(noLoop.data[k], 0);
}

TEST_F(LoaderTest, SampleDataIsDeltaDecodedAndWidened) {
    xm::Module module = smallModule();
    std::vector<xm::Sample>& samples = module.instruments[0].samples;
    samples.clear();
    xm::Sample sixteen;
    sixteen.sixteenBit = true;
    sixteen.frames = {0, 32767, -32768, 1, -1, 12345, -20000, 0};
    samples.push_back(sixteen);
    xm::Sample eight = sixteen;
    eight.sixteenBit = false;
    samples.push_back(eight);
    SongPtr song = load(module);
    ASSERT_TRUE(song);
    const Sample& wide = instrumentSample(*song, 0, 0);
    const Sample& narrow = instrumentSample(*song, 0, 1);
    EXPECT_EQ(narrow.bits, 16);
    for (std::size_t k = 0; k < sixteen.frames.size(); ++k) {
        EXPECT_EQ(wide.data[k], sixteen.frames[k]) << k;
        EXPECT_EQ(narrow.data[k], static_cast<std::int16_t>(sixteen.frames[k] & 0xFF00)) << k;
    }
}

TEST_F(LoaderTest, InstrumentWithoutSamplesUsesTheEmptySampleEverywhere) {
    xm::Module module = smallModule();
    xm::Instrument silent;
    silent.keymap.fill(3);
    silent.fadeout = 99;
    module.instruments.insert(module.instruments.begin(), silent);
    module.instruments[1].keymap[10] = 0;
    module.instruments[1].fadeout = 128;
    SongPtr song = load(module);
    ASSERT_TRUE(song);
    const Instrument& first = song->module->instruments[0];
    EXPECT_EQ(first.sampleCount, 0);
    for (const std::int16_t sample : first.noteSamples)
        EXPECT_EQ(sample, kNoSample);
    EXPECT_EQ(first.fadeout, 0);
    EXPECT_EQ(first.volumeEnvelope.pointCount, 0);

    const Instrument& second = song->module->instruments[1];
    EXPECT_EQ(second.sampleCount, 1);
    EXPECT_EQ(second.fadeout, 256);
    EXPECT_EQ(instrumentSample(*song, 1, 0).length, 64u);
    for (std::size_t note = 0; note < second.noteSamples.size(); ++note) {
        // XM's keymap has 96 notes; above them the instrument plays nothing.
        EXPECT_EQ(second.noteSamples[note], note < 96 ? second.firstSample : kNoSample) << note;
    }
}

TEST_F(LoaderTest, InstrumentFieldsAndTheFirstTwelveEnvelopePoints) {
    xm::Module module = smallModule();
    xm::Instrument& instrument = module.instruments[0];
    for (std::uint16_t i = 0; i < 12; ++i) {
        instrument.volumeEnvelope.points.push_back({static_cast<std::uint16_t>(i * 4), i});
    }
    instrument.volumeEnvelope.sustainPoint = 3;
    instrument.volumeEnvelope.loopStart = 2;
    instrument.volumeEnvelope.loopEnd = 11;
    instrument.volumeEnvelope.type = kEnvelopeOn | kEnvelopeSustain | kEnvelopeLoop;
    instrument.panningEnvelope.points = {{0, 32}};
    instrument.panningEnvelope.type = kEnvelopeOn;
    instrument.keymap[48] = 5;
    instrument.vibratoType = 1;
    instrument.vibratoSweep = 2;
    instrument.vibratoDepth = 3;
    instrument.vibratoRate = 4;
    xm::Sample& sample = instrument.samples[0];
    sample.volume = 40;
    sample.finetune = -16;
    sample.panning = 200;
    sample.relativeNote = -12;
    SongPtr song = load(module);
    ASSERT_TRUE(song);
    const Instrument& loaded = song->module->instruments[0];
    const Envelope& volume = loaded.volumeEnvelope;
    EXPECT_EQ(volume.pointCount, 12);
    EXPECT_EQ(volume.points[11].tick, 44);
    EXPECT_EQ(volume.points[11].value, 11);
    EXPECT_EQ(volume.sustainPoint, 3);
    EXPECT_EQ(volume.loopStart, 2);
    EXPECT_EQ(volume.loopEnd, 11);
    EXPECT_EQ(volume.type, kEnvelopeOn | kEnvelopeSustain | kEnvelopeLoop);
    EXPECT_EQ(loaded.panningEnvelope.pointCount, 1);
    EXPECT_EQ(loaded.panningEnvelope.type, 0);     // fewer than 2 points
    EXPECT_EQ(loaded.noteSamples[48], kNoSample);  // the instrument has one sample
    EXPECT_EQ(loaded.vibrato.type, 1);
    EXPECT_EQ(loaded.vibrato.sweep, 2);
    EXPECT_EQ(loaded.vibrato.depth, 3);
    EXPECT_EQ(loaded.vibrato.rate, 4);
    const Sample& first = instrumentSample(*song, 0, 0);
    EXPECT_EQ(first.volume, 40);
    EXPECT_EQ(first.finetune, -16);
    EXPECT_EQ(first.panning, 200);
    EXPECT_EQ(first.relativeNote, -12);
}

struct HookCall {
    std::int32_t storedBytes;
    std::int32_t bits;
    std::int32_t instrument;
    std::int32_t sample;
};
std::vector<HookCall> hookCalls;

void fillWithIndex(void* destination, std::int32_t storedBytes, std::int32_t bits,
                   std::int32_t instrument, std::int32_t sample) {
    hookCalls.push_back({storedBytes, bits, instrument, sample});
    auto* bytes = static_cast<std::uint8_t*>(destination);
    for (std::int32_t i = 0; i < storedBytes; ++i)
        bytes[i] = static_cast<std::uint8_t>(i + 1);
}

TEST_F(LoaderTest, SampleDataHookSuppliesDecodedData) {
    xm::Module module = smallModule();
    module.instruments[0].samples = {rampSample(6, false), rampSample(4, true)};
    module.instruments.push_back({});
    module.instruments.push_back(smallModule().instruments[0]);
    hookCalls.clear();
    SongPtr song = load(xm::writeModule(module), fillWithIndex);
    ASSERT_TRUE(song);
    ASSERT_EQ(hookCalls.size(), 3u);
    EXPECT_EQ(hookCalls[0].storedBytes, 6);
    EXPECT_EQ(hookCalls[0].bits, 8);
    EXPECT_EQ(hookCalls[0].instrument, 0);
    EXPECT_EQ(hookCalls[0].sample, 0);
    EXPECT_EQ(hookCalls[1].storedBytes, 8);
    EXPECT_EQ(hookCalls[1].bits, 16);
    EXPECT_EQ(hookCalls[1].sample, 1);
    EXPECT_EQ(hookCalls[2].instrument, 2);
    EXPECT_EQ(hookCalls[2].storedBytes, 128);

    const Sample& narrow = instrumentSample(*song, 0, 0);
    for (std::int32_t k = 0; k < 6; ++k)
        EXPECT_EQ(narrow.data[k], (k + 1) * 256);
    const Sample& wide = instrumentSample(*song, 0, 1);
    EXPECT_EQ(wide.data[0], 0x0201);
    EXPECT_EQ(wide.data[3], 0x0807);
    EXPECT_EQ(instrumentSample(*song, 2, 0).length, 64u);
}

TEST_F(LoaderTest, MoreThanSixteenSamplesFail) {
    xm::Module module = smallModule();
    module.instruments[0].samples.resize(16, rampSample(8));
    EXPECT_TRUE(load(module));
    module.instruments[0].storedSampleCount = 17;
    EXPECT_FALSE(load(module));
}

}  // namespace
}  // namespace vorn3
