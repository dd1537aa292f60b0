// MOD, S3M and IT: what their loaders read, and where their trackers' rules differ from
// XM's, on modules from the writers.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "mixer/mix.h"
#include "mixer/voice.h"
#include "player/effects.h"
#include "support/player_fixture.h"
#include "writers/it_writer.h"
#include "writers/mod_writer.h"
#include "writers/s3m_writer.h"

namespace vorn3 {
namespace {

using FormatsTest = TickingTest;

constexpr std::uint16_t kModC2 = 428;  // plays as the engine's C-4, note 49
constexpr std::uint8_t kS3mC4 = 0x40;
constexpr std::int32_t kC4Period = 1712;
constexpr std::int32_t kRowTicks = 6;

mod::Sample modSample(std::uint8_t volume = 64) {
    mod::Sample sample{.name = "ramp", .volume = volume, .loopStart = 0, .loopLength = 16};
    for (std::int32_t i = 0; i < 32; ++i)
        sample.data.push_back(static_cast<std::int8_t>(i * 7 - 100));
    return sample;
}

// One pattern; channels[c] holds channel c's cells row by row.
mod::Module modRows(const std::vector<std::vector<mod::Cell>>& channels, std::string mark = "M.K.",
                    std::int32_t channelCount = 4) {
    mod::Module module{.mark = std::move(mark), .channels = channelCount};
    module.samples = {modSample(), modSample(32)};
    mod::Pattern pattern;
    pattern.cells.resize(mod::kRows * channelCount);
    for (std::size_t c = 0; c < channels.size(); ++c) {
        for (std::size_t row = 0; row < channels[c].size(); ++row)
            pattern.cells[row * channelCount + c] = channels[c][row];
    }
    module.patterns = {pattern};
    return module;
}

s3m::Module s3mRows(const std::vector<std::vector<s3m::Cell>>& channels) {
    s3m::Module module{.channels = static_cast<std::int32_t>(channels.size())};
    s3m::Instrument ramp{.loop = true, .loopStart = 0, .loopEnd = 64, .volume = 32};
    for (std::int32_t i = 0; i < 64; ++i)
        ramp.frames.push_back(static_cast<std::int16_t>(i * 900 - 28000));
    module.instruments = {ramp};
    s3m::Pattern pattern;
    pattern.cells.resize(static_cast<std::size_t>(s3m::kRows) * channels.size());
    for (std::size_t c = 0; c < channels.size(); ++c) {
        for (std::size_t row = 0; row < channels[c].size(); ++row)
            pattern.cells[row * channels.size() + c] = channels[c][row];
    }
    module.patterns = {pattern};
    return module;
}

s3m::Cell s3mCell(char letter, std::uint8_t info, std::uint8_t note = s3m::kNoNote) {
    return {.note = note,
            .instrument = static_cast<std::uint8_t>(note == s3m::kNoNote ? 0 : 1),
            .command = s3m::command(letter),
            .info = info};
}

// Two instruments over three samples (one stereo and compressed), envelopes of all three
// kinds, a message and cells of every kind on six channels.
it::Module itModule(std::uint16_t compatibleVersion) {
    it::Module module;
    module.name = "tune";
    module.compatibleVersion = compatibleVersion;
    module.flags = it::kStereo | it::kUseInstruments | it::kLinearSlides;
    module.globalVolume = 96;
    module.speed = 5;
    module.tempo = 140;
    module.panSeparation = 64;
    module.message = "first\rsecond";
    module.channelPan[0] = 0;
    module.channelPan[1] = 64;
    module.channelPan[2] = 100;       // around the listener
    module.channelPan[3] = 16 | 128;  // disabled
    module.channelVolume[1] = 40;
    module.channels = 6;
    module.orders = {254, 0, 1, it::kEndOfSong, 0};
    it::Instrument first;
    first.name = "lead";
    first.newNoteAction = 2;
    first.fadeout = 100;
    first.globalVolume = 64;
    first.keyboard = it::keyboardOf(1);
    first.keyboard[60] = {72, 2};
    first.keyboard[61] = {61, 9};  // no such sample
    first.volumeEnvelope = {.flags = 1 | 4,
                            .nodes = {{64, 0}, {32, 10}, {48, 20}, {0, 30}},
                            .sustainBegin = 1,
                            .sustainEnd = 2};
    first.panningEnvelope = {.flags = 1 | 2, .nodes = {{-32, 0}, {32, 8}}, .loopEnd = 1};
    first.pitchEnvelope = {.flags = 1 | 128, .nodes = {{0, 0}, {16, 4}}};
    module.instruments = {first, it::Instrument{.keyboard = it::keyboardOf(3)}};
    it::Sample ramp{.name = "ramp",
                    .loopFlags = it::kLoop | it::kPingPongLoop,
                    .globalVolume = 32,
                    .volume = 48,
                    .defaultPan = 16 | 128,
                    .loopBegin = 4,
                    .loopEnd = 20,
                    .c5Speed = 16726};
    for (std::int16_t i = 0; i < 32; ++i)
        ramp.frames.push_back(static_cast<std::int16_t>(i * 1000 - 16000));
    it::Sample stereo = ramp;
    stereo.name = "wide";
    stereo.sixteenBit = true;
    stereo.coding = it::Coding::it215;
    stereo.rightFrames = std::vector<std::int16_t>(ramp.frames.rbegin(), ramp.frames.rend());
    stereo.loopFlags = it::kSustainLoop;
    stereo.sustainBegin = 2;
    stereo.sustainEnd = 10;
    it::Sample unsignedBytes = ramp;
    unsignedBytes.coding = it::Coding::unsignedPlain;
    unsignedBytes.loopFlags = 0;
    module.samples = {ramp, stereo, unsignedBytes};
    it::Pattern pattern{.rows = 3};
    pattern.cells.resize(3 * 6);
    pattern.cells[0] = {.note = 60,
                        .instrument = 1,
                        .volume = 40,
                        .effect = it::Effect{3, 0x20}};  // C20: break to row 32
    pattern.cells[1] = {.note = it::kNoteOff, .volume = 130, .effect = it::Effect{2, 2}};
    pattern.cells[4] = {.note = 121, .volume = 198, .effect = it::Effect{22, 0x80}};
    pattern.cells[6] = {.note = 60,
                        .instrument = 1,
                        .volume = 40,
                        .effect = it::Effect{3, 0x20}};  // the same cell: packed from memory
    pattern.cells[7] = {.note = it::kNoteCut, .volume = 110, .effect = it::Effect{19, 0xD2}};
    module.patterns = {pattern, it::Pattern{.rows = 200}};
    return module;
}

const PatternCell& cellAt(const Song& song, std::int32_t row, std::int32_t channel) {
    return song.module->patterns[0].cells[row * song.module->channelCount + channel];
}

TEST_F(FormatsTest, FormatsAreRecognisedByContent) {
    const auto withMark = [](const char* mark, std::int32_t channels) {
        return mod::writeModule(modRows({{{kModC2, 1}}}, mark, channels));
    };
    std::vector<std::uint8_t> noise(4000);
    std::mt19937 random(19);
    for (std::uint8_t& byte : noise)
        byte = static_cast<std::uint8_t>(random());
    const std::string text(4000, 'a');
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        const char* format;  // null: not loaded
        std::int32_t channels;
    };
    const Case cases[] = {
        {"M.K.", withMark("M.K.", 4), "MOD M.K.", 4},
        {"M!K!", withMark("M!K!", 4), "MOD M!K!", 4},
        {"FLT4", withMark("FLT4", 4), "MOD FLT4", 4},
        {"4CHN", withMark("4CHN", 4), "MOD 4CHN", 4},
        {"6CHN", withMark("6CHN", 6), "MOD 6CHN", 6},
        {"8CHN", withMark("8CHN", 8), "MOD 8CHN", 8},
        {"12CH", withMark("12CH", 12), "MOD 12CH", 12},
        {"32CH", withMark("32CH", 32), "MOD 32CH", 32},
        {"unknown mark", withMark("M.X.", 4), nullptr, 0},
        {"no channels", withMark("00CH", 4), nullptr, 0},
        {"FLT8, stored in halves", withMark("FLT8", 8), nullptr, 0},
        {"15 samples", withMark("", 4), "MOD 15 samples", 4},
        {"S3M", s3m::writeModule(s3mRows({{}, {}, {}})), "S3M", 3},
        {"XM", xm::writeModule(smallModule()), "XM 1.04", 4},
        {"IT", it::writeModule(itModule(0x0214)), "IT 2.14", 5},
        {"random bytes", noise, nullptr, 0},
        {"text", {text.begin(), text.end()}, nullptr, 0},
        {"zeros", std::vector<std::uint8_t>(4000), nullptr, 0},
    };
    for (const Case& test : cases) {
        SongPtr song = load(test.bytes);
        ASSERT_EQ(song != nullptr, test.format != nullptr) << test.name;
        if (!song) continue;
        EXPECT_STREQ(song->module->format.data(), test.format) << test.name;
        EXPECT_EQ(song->module->channelCount, test.channels) << test.name;
        expectPlayable(*song);
    }
}

TEST_F(FormatsTest, ModFieldsLoadAsStored) {
    mod::Module module = modRows(
        {{{kModC2, 17, 0xC, 0x20}, {856, 0, 7, 0x48}, {113, 2, 0xF, 0}, {0, 0, 0xE, 0x5F}}});
    module.samples.resize(17);
    module.samples[1].finetune = 0xF;
    module.samples[16] = modSample();
    module.samples[16].finetune = 7;
    module.samples[16].loopStart = 4;
    module.samples[16].loopLength = 8;
    module.orders = {0, 1, 3};
    module.songLength = 2;
    module.restart = 1;
    module.patterns.resize(4);
    SongPtr song = load(mod::writeModule(module));
    ASSERT_TRUE(song);
    expectPlayable(*song);
    EXPECT_EQ(song->module->songLength, 2);
    EXPECT_EQ(song->module->restartPosition, 1);
    EXPECT_EQ(song->module->patternSlotCount, 4);  // the whole order table counts
    EXPECT_EQ(song->module->instrumentCount, 31);
    const PatternCell& first = cellAt(*song, 0, 0);
    EXPECT_EQ(first.note, 49);
    EXPECT_EQ(first.instrument, 17);
    EXPECT_EQ(first.command, Command::setVolume);
    EXPECT_EQ(first.parameter, 0x20);
    EXPECT_EQ(cellAt(*song, 1, 0).note, 37);
    EXPECT_EQ(cellAt(*song, 1, 0).command, Command::tremolo);
    EXPECT_EQ(cellAt(*song, 2, 0).note, 72);
    EXPECT_EQ(cellAt(*song, 2, 0).command, Command::none);  // F00 is no command
    const PatternCell& finetune = cellAt(*song, 3, 0);
    EXPECT_EQ(extendedCommand(song->module->rules, finetune.parameter),
              ExtendedCommand::noteTuning);
    EXPECT_EQ(song->module->rules.noteTunings[finetune.parameter & 15], -16);
    const Sample& looped = instrumentSample(*song, 16, 0);
    EXPECT_EQ(looped.finetune, 112);
    EXPECT_EQ(looped.loopType, LoopType::forward);
    EXPECT_EQ(looped.loopStart, 8u);
    EXPECT_EQ(looped.loopLength, 16u);
    EXPECT_EQ(looped.data[1], static_cast<std::int16_t>(-93 * 256));
    EXPECT_EQ(instrumentSample(*song, 1, 0).finetune, -16);
    EXPECT_EQ(instrumentSample(*song, 1, 0).volume, 32);
    EXPECT_EQ(song->module->channelPannings[0], 0);
    EXPECT_EQ(song->module->channelPannings[1], 255);
    EXPECT_EQ(song->module->channelPannings[2], 255);
    EXPECT_EQ(song->module->channelPannings[3], 0);

    module.mark.clear();  // the 15-sample form gives the loop start in bytes
    module.samples.resize(15);
    module.samples[14] = modSample();
    module.samples[14].loopStart = 4;
    song = load(mod::writeModule(module));
    ASSERT_TRUE(song);
    EXPECT_EQ(song->module->instrumentCount, 15);
    EXPECT_EQ(instrumentSample(*song, 14, 0).loopStart, 4u);
}

TEST_F(FormatsTest, S3mFieldsLoadAsStored) {
    s3m::Module module = s3mRows({{{kS3mC4, 1, 20, s3m::command('B'), 2}},
                                  {{s3m::kNoteCut, 0, 0, s3m::command('X'), 0x40}},
                                  {{kS3mC4, 1}},
                                  {{0x5B, 2, s3m::kNoVolume, s3m::command('B'), 6}}});
    module.channelSettings = {0, 9, 255, 3};
    for (std::size_t c = 4; c < s3m::kChannels; ++c)
        (*module.channelSettings)[c] = s3m::kDisabled;
    module.panningTable = {0x20, 0x0F, 0x2A};
    module.speed = 4;
    module.tempo = 150;
    module.globalVolume = 48;
    module.orders = {254, 0, 254, 1, 255, 0};
    module.patterns.push_back(module.patterns[0]);
    s3m::Instrument wide{.frames = {0x1234, -0x4321}, .sixteenBit = true, .c2Speed = 16726};
    module.instruments.push_back(wide);
    module.instruments.push_back({.type = 2, .frames = {1, 2, 3}});
    SongPtr song = load(s3m::writeModule(module));
    ASSERT_TRUE(song);
    expectPlayable(*song);
    EXPECT_EQ(song->module->defaultTempo, 4);
    EXPECT_EQ(song->module->defaultBpm, 150);
    EXPECT_EQ(song->module->defaultGlobalVolume, 48);
    EXPECT_EQ(song->module->songLength, 3);  // 254 skipped, 255 a separator
    EXPECT_EQ(song->module->orderTable[0], 0);
    EXPECT_EQ(song->module->orderTable[1], 1);
    EXPECT_TRUE(song->module->sectionEnds[1]);
    EXPECT_EQ(song->module->orderTable[2], 0);
    EXPECT_EQ(song->module->channelCount, 4);
    EXPECT_EQ(song->module->channelPannings[0], 0);    // from the table
    EXPECT_EQ(song->module->channelPannings[1], 204);  // not in the table: right
    EXPECT_EQ(song->module->channelPannings[3], 51);   // left
    const PatternCell& first = cellAt(*song, 0, 0);
    EXPECT_EQ(first.note, 49);
    EXPECT_EQ(first.volume, VolumeCommand::setVolume);
    EXPECT_EQ(first.volumeValue, 20);
    EXPECT_EQ(first.command, Command::positionJump);
    EXPECT_EQ(first.parameter, 1);  // stored order 2 is skipped: played order 1 follows
    EXPECT_EQ(cellAt(*song, 0, 1).note, kNoteCut);
    EXPECT_EQ(cellAt(*song, 0, 1).parameter, 0x80);
    EXPECT_EQ(cellAt(*song, 0, 2).note, 0);  // a disabled channel's cells are dropped
    EXPECT_EQ(cellAt(*song, 0, 3).note, 5 * 12 + 11 + 1);
    EXPECT_EQ(cellAt(*song, 0, 3).parameter, 0);  // a jump past the end restarts
    const Sample& ramp = instrumentSample(*song, 0, 0);
    EXPECT_EQ(ramp.data[0], -28000 & ~0xFF);  // unsigned 8-bit data
    EXPECT_EQ(ramp.loopLength, 64u);
    const Sample& widened = instrumentSample(*song, 1, 0);
    EXPECT_EQ(widened.data[1], -0x4321);
    EXPECT_EQ(widened.relativeNote, 12);
    EXPECT_EQ(widened.finetune, 0);
    EXPECT_EQ(instrumentSample(*song, 2, 0).length, 0u);

    module.masterVolume = 0x30;  // mono
    module.sampleFormat = 1;     // signed
    song = load(s3m::writeModule(module));
    ASSERT_TRUE(song);
    EXPECT_EQ(song->module->channelPannings[1], 128);
    EXPECT_EQ(instrumentSample(*song, 0, 0).data[0], -28000 & ~0xFF);
}

TEST_F(FormatsTest, ItFieldsLoadAsStored) {
    for (const std::uint16_t version : {0x0214, 0x0100}) {
        SCOPED_TRACE(version);
        const bool newInstruments = version >= it::kFirstNewInstrumentVersion;
        SongPtr song = load(it::writeModule(itModule(version)));
        ASSERT_TRUE(song);
        expectPlayable(*song);
        const Module& module = *song->module;
        EXPECT_STREQ(module.title.data(), "tune");
        EXPECT_STREQ(module.message, "first\nsecond");
        EXPECT_EQ(module.defaultTempo, 5);
        EXPECT_EQ(module.defaultBpm, 140);
        EXPECT_EQ(module.defaultGlobalVolume, 48);  // of 128, as the engine's of 64
        EXPECT_EQ(module.flags, kLinearFrequencies);
        EXPECT_EQ(module.songLength, 3);  // 254 skipped, 255 a separator
        EXPECT_TRUE(module.sectionEnds[1]);
        EXPECT_EQ(module.channelCount, 5);
        // Separation 64: half way to the centre.
        EXPECT_EQ(module.channelPannings[0], 64);
        EXPECT_EQ(module.channelPannings[1], 191);
        EXPECT_EQ(module.channelPannings[2], 128);
        EXPECT_EQ(module.channelVolumes[1], 40);
        EXPECT_EQ(module.channelVolumes[3], 0);  // disabled
        const Instrument& lead = module.instruments[0];
        EXPECT_STREQ(lead.name.data(), "lead");
        EXPECT_EQ(lead.newNoteAction, NewNoteAction::noteOff);
        EXPECT_EQ(lead.fadeout, newInstruments ? 100 * 64 : 100 * 128);
        EXPECT_EQ(lead.globalVolume, newInstruments ? 64 : 128);
        EXPECT_EQ(lead.noteSamples[0], 0);
        EXPECT_EQ(lead.noteSamples[60], 1);
        EXPECT_EQ(lead.noteNotes[60], 72);
        EXPECT_EQ(lead.noteSamples[61], kNoSample);
        const Envelope& volume = lead.volumeEnvelope;
        EXPECT_EQ(volume.pointCount, 4);
        EXPECT_EQ(volume.points[2].tick, 20);
        EXPECT_EQ(volume.points[2].value, 48);
        EXPECT_EQ(volume.type, kEnvelopeOn | kEnvelopeSustain);
        EXPECT_EQ(volume.sustainPoint, 1);
        EXPECT_EQ(volume.sustainEnd, 2);
        if (newInstruments) {
            EXPECT_EQ(lead.panningEnvelope.points[0].value, 0);  // -32 about the centre
            EXPECT_EQ(lead.panningEnvelope.points[1].value, 64);
            EXPECT_EQ(lead.panningEnvelope.type, kEnvelopeOn | kEnvelopeLoop);
            EXPECT_EQ(lead.pitchEnvelope.type, kEnvelopeOn | kEnvelopeFilter);
            EXPECT_EQ(lead.pitchEnvelope.points[1].value, 48);
        }
        const Sample& ramp = module.samples[0];
        EXPECT_EQ(ramp.globalVolume, 32);
        EXPECT_EQ(ramp.volume, 48);
        EXPECT_EQ(ramp.panning, 64);
        EXPECT_EQ(ramp.loopType, LoopType::pingPong);
        EXPECT_EQ(ramp.loopStart, 4u);
        EXPECT_EQ(ramp.loopLength, 16u);
        EXPECT_EQ(ramp.relativeNote, 0);  // C-5 at 16726 Hz: an octave above C-4 at 8363
        EXPECT_EQ(ramp.finetune, 0);
        EXPECT_EQ(ramp.data[1], -15000 & ~0xFF);
        const Sample& wide = module.samples[1];
        EXPECT_EQ(wide.panning, 64);
        EXPECT_EQ(wide.loopType, LoopType::none);
        const Sample* sustained = sustainLoopOf(module, wide);
        ASSERT_NE(sustained, nullptr);
        EXPECT_EQ(sustained->loopType, LoopType::forward);
        EXPECT_EQ(sustained->loopStart, 2u);
        EXPECT_EQ(sustained->loopLength, 8u);
        EXPECT_EQ(sustained->data, wide.data);
        EXPECT_EQ(sustainLoopOf(module, ramp), nullptr);
        EXPECT_EQ(wide.data[1], -15000);
        ASSERT_NE(rightChannelOf(module, wide), nullptr);
        EXPECT_EQ(rightChannelOf(module, wide)->data[1], 14000);
        EXPECT_EQ(module.samples[2].data[1], -15000 & ~0xFF);  // unsigned bytes
        EXPECT_EQ(rightChannelOf(module, module.samples[2]), nullptr);
        ASSERT_EQ(module.patternSlotCount, 2);
        EXPECT_EQ(module.patterns[0].rows, 3);
        EXPECT_EQ(module.patterns[1].rows, 200);
        const PatternCell& first = cellAt(*song, 0, 0);
        EXPECT_EQ(first.note, 61);
        EXPECT_EQ(first.instrument, 1);
        EXPECT_EQ(first.volume, VolumeCommand::setVolume);
        EXPECT_EQ(first.volumeValue, 40);
        EXPECT_EQ(first.command, Command::patternBreak);
        EXPECT_EQ(first.parameter, 0x20);
        EXPECT_EQ(cellAt(*song, 1, 0).note, first.note);
        EXPECT_EQ(cellAt(*song, 1, 0).command, Command::patternBreak);
        const PatternCell& second = cellAt(*song, 0, 1);
        EXPECT_EQ(second.note, kKeyOff);
        EXPECT_EQ(second.volume, VolumeCommand::panning);
        EXPECT_EQ(second.volumeValue, 8);
        EXPECT_EQ(second.command, Command::positionJump);
        EXPECT_EQ(second.parameter, 1);  // stored order 2 is played second
        const PatternCell& fifth = cellAt(*song, 0, 4);
        EXPECT_EQ(fifth.note, kNoteFade);
        EXPECT_EQ(fifth.volume, VolumeCommand::tonePortamentoSpeed);
        EXPECT_EQ(fifth.volumeValue, 32);
        EXPECT_EQ(fifth.command, Command::setGlobalVolume);
        EXPECT_EQ(fifth.parameter, 64);  // of 128, as the engine's of 64
        const PatternCell& cut = cellAt(*song, 1, 1);
        EXPECT_EQ(cut.note, kNoteCut);
        EXPECT_EQ(cut.volume, VolumeCommand::portamentoDown);
        EXPECT_EQ(cut.volumeValue, 5);
        EXPECT_EQ(extendedCommand(module.rules, cut.parameter), ExtendedCommand::noteDelay);
    }
}

// One note of one instrument over one sample, on channel 0 of a one-row pattern.
it::Module itNote(it::Cell cell) {
    it::Module module;
    module.flags = it::kStereo | it::kUseInstruments | it::kLinearSlides;
    module.channels = 1;
    module.speed = 2;
    it::Sample sample{.loopFlags = it::kLoop, .loopEnd = 32};
    sample.frames.assign(32, 8000);
    module.samples = {sample};
    module.instruments = {it::Instrument{.keyboard = it::keyboardOf(1)}};
    module.patterns = {it::Pattern{.rows = 1, .cells = {cell}}};
    return module;
}

// A note's volume is its own times its sample's and instrument's global volumes, its
// channel's volume, the song's and the mixing volume over its default of 48: 127.5 with
// every one at full; what a voice's byte cannot hold, its amplification does.
TEST_F(FormatsTest, ItVolumesMultiply) {
    struct Case {
        std::uint8_t note;
        std::uint8_t sample;
        std::uint8_t instrument;
        std::uint8_t channel;
        std::uint8_t global;
        std::uint8_t mixing = 48;
    };
    const Case cases[] = {{64, 64, 128, 64, 128},     {32, 64, 128, 64, 128},
                          {64, 16, 128, 64, 128},     {64, 64, 32, 64, 128},
                          {64, 64, 128, 48, 128},     {64, 64, 128, 64, 40},
                          {40, 50, 100, 30, 90},      {40, 50, 100, 30, 90, 80},
                          {64, 64, 128, 64, 128, 24}, {64, 64, 128, 64, 128, 128}};
    for (const Case& test : cases) {
        it::Module module = itNote({.note = 60, .instrument = 1, .volume = test.note});
        module.samples[0].globalVolume = test.sample;
        module.instruments[0].globalVolume = test.instrument;
        module.channelVolume[0] = test.channel;
        module.globalVolume = test.global;
        module.mixVolume = test.mixing;
        SongPtr song = start(it::writeModule(module));
        runTicks(*song, 1);
        const double expected = 127.5 * test.note / 64 * test.sample / 64 * test.instrument / 128 *
                                test.channel / 64 * (test.global / 2) / 64 * test.mixing / 48;
        const Voice& voice = *voiceAt(defaultMixer(), 0);
        EXPECT_NEAR(voice.volume * voice.amplification, expected, voice.amplification)
            << int{test.note} << " " << int{test.sample} << " " << int{test.instrument} << " "
            << int{test.channel} << " " << int{test.global};
    }
}

// Mxx sets the channel's volume (above 64 it is no command); Nxy slides it as Dxy slides
// a note's: x0 up and 0y down on the ticks after the row tick, xF up and Fy down once on it.
TEST_F(FormatsTest, ItChannelVolumeCommands) {
    struct Case {
        char letter;
        std::uint8_t parameter;
        std::vector<std::int32_t> expected;  // after each of the row's four ticks
    };
    const Case cases[] = {
        {'M', 0x20, {32, 32, 32, 32}}, {'M', 0x41, {40, 40, 40, 40}}, {'N', 0x02, {40, 38, 36, 34}},
        {'N', 0x30, {40, 43, 46, 49}}, {'N', 0xF3, {37, 37, 37, 37}}, {'N', 0x5F, {45, 45, 45, 45}},
    };
    for (const Case& test : cases) {
        const auto letter = static_cast<std::uint8_t>(test.letter - 'A' + 1);
        it::Module module =
            itNote({.note = 60, .instrument = 1, .effect = it::Effect{letter, test.parameter}});
        module.speed = 4;
        module.channelVolume[0] = 40;
        SongPtr song = start(it::writeModule(module));
        expectTicks(*song, test.expected, [&] { return song->channels[0].channelVolume; });
    }
}

// A note let go of plays on, but one its channel's next note duplicates (the same note,
// sample or instrument, as the new note's instrument checks) is cut, released or faded.
TEST_F(FormatsTest, ItDuplicateChecksActOnTheNotesLetGo) {
    struct Case {
        std::uint8_t check;   // off, note, sample, instrument
        std::uint8_t action;  // cut, note off, fade
        std::uint8_t secondNote;
        std::int32_t letGo;
        bool keyOff;
        bool fading;
    };
    const Case cases[] = {
        {0, 0, 60, 1, false, false}, {1, 0, 60, 0, false, false}, {1, 0, 62, 1, false, false},
        {2, 1, 62, 1, true, true},  // released without a volume envelope, it fades
        {3, 2, 62, 1, false, true},
    };
    for (const Case& test : cases) {
        it::Module module = itNote({.note = 60, .instrument = 1});
        module.patterns[0].rows = 2;
        module.patterns[0].cells.push_back({.note = test.secondNote, .instrument = 1});
        it::Instrument& instrument = module.instruments[0];
        instrument.newNoteAction = 1;  // continue
        instrument.duplicateCheckType = test.check;
        instrument.duplicateCheckAction = test.action;
        SongPtr song = start(it::writeModule(module));
        runTicks(*song, module.speed + 1);
        ASSERT_EQ(song->letGoCount, test.letGo) << int{test.check} << " " << int{test.action};
        if (test.letGo == 0) continue;
        EXPECT_EQ(song->letGoNotes[0].note.keyOff, test.keyOff);
        EXPECT_EQ(song->letGoNotes[0].note.fading, test.fading);
    }
}

// Wxy, Pxy and Txx slide as IT's effect list has them, over two rows of four ticks, the
// second row's 00 recalling the first's parameter: W in IT's 128 steps of global volume, P
// left by x and right by y in its 64 steps of panning, T up (1x) or down (0x) between 32
// and 255 BPM, from 20h setting it. S6x lengthens its row by x ticks. Yxy moves the panning
// by IT's 256-step sine of ±64 times y over 8, x positions a tick, the row tick too.
TEST_F(FormatsTest, ItSlidesAndPanbrelloFollowTheEffectList) {
    enum class Read : std::uint8_t { globalVolume, panning, bpm, row, panbrello };
    struct Case {
        char letter;
        std::array<std::uint8_t, 2> parameters;
        Read read;
        std::vector<std::int32_t> expected;  // after each tick
    };
    std::vector<std::int32_t> sine(8);
    for (std::size_t tick = 0; tick < sine.size(); ++tick) {
        const double wave = std::lround(64 * std::sin(2 * M_PI * 4.0 * tick / 256));
        sine[tick] = static_cast<std::int32_t>(std::floor(wave * 6 / 8));
    }
    const Case cases[] = {
        {'W', {0x03, 0x00}, Read::globalVolume, {128, 125, 122, 119, 119, 116, 113, 110}},
        {'W', {0xF5, 0x2F}, Read::globalVolume, {123, 123, 123, 123, 125, 125, 125, 125}},
        {'W', {0x50, 0x00}, Read::globalVolume, {128, 128, 128, 128, 128, 128, 128, 128}},
        {'P', {0x03, 0x00}, Read::panning, {128, 140, 152, 164, 164, 176, 188, 200}},
        {'P', {0xF2, 0x4F}, Read::panning, {136, 136, 136, 136, 120, 120, 120, 120}},
        {'P', {0x90, 0x00}, Read::panning, {128, 92, 56, 20, 20, 0, 0, 0}},
        {'T', {0x18, 0x00}, Read::bpm, {125, 133, 141, 149, 149, 157, 165, 173}},
        {'T', {0x0F, 0x40}, Read::bpm, {125, 110, 95, 80, 64, 64, 64, 64}},
        {'T', {0x40, 0x00}, Read::bpm, {64, 64, 64, 64, 64, 64, 64, 64}},
        {'S', {0x62, 0x00}, Read::row, {0, 0, 0, 0, 0, 0, 1, 1}},
        {'Y', {0x46, 0x00}, Read::panbrello, sine},
    };
    for (const Case& test : cases) {
        const auto letter = static_cast<std::uint8_t>(test.letter - 'A' + 1);
        it::Module module =
            itNote({.note = 60, .instrument = 1, .effect = it::Effect{letter, test.parameters[0]}});
        module.speed = 4;
        module.patterns[0].rows = 2;
        module.patterns[0].cells.push_back({.effect = it::Effect{letter, test.parameters[1]}});
        SongPtr song = start(it::writeModule(module));
        const Song& playing = *song;
        expectTicks(*song, test.expected, [&] {
            const Channel& channel = playing.channels[0];
            switch (test.read) {
                case Read::globalVolume:
                    return playing.globalVolume * 2 + playing.globalVolumeHalfStep;
                case Read::panning:
                    return channel.panning;
                case Read::bpm:
                    return playing.bpm;
                case Read::row:
                    return songGetRow(&playing);
                default:
                    return channel.panningDelta;
            }
        });
        if (HasFailure()) FAIL() << test.letter << std::hex << int{test.parameters[0]};
    }
}

// S70, S71 and S72 cut, release or fade the notes the channel let go of; S73 to S76 give
// the playing note the new-note action cut, continue, note off or fade in place of its
// instrument's, until the next note comes.
TEST_F(FormatsTest, ItNoteActionsActOnPastNotesAndTheNext) {
    struct Case {
        std::uint8_t newNoteAction;  // the instrument's
        std::array<it::Cell, 3> rows;
        std::int32_t letGo;
        bool keyOff;  // of the last let go
        bool fading;
    };
    constexpr std::uint8_t kS = 'S' - 'A' + 1;
    const auto note = [](std::uint8_t key, std::uint8_t parameter = 0) {
        it::Cell cell{.note = key, .instrument = 1};
        if (parameter != 0) cell.effect = it::Effect{kS, parameter};
        return cell;
    };
    const it::Cell past[] = {{.effect = it::Effect{kS, 0x70}},
                             {.effect = it::Effect{kS, 0x71}},
                             {.effect = it::Effect{kS, 0x72}}};
    const Case cases[] = {
        {1, {note(60), note(62), past[0]}, 0, false, false},
        {1, {note(60), note(62), past[1]}, 1, true, true},  // released without an envelope
        {1, {note(60), note(62), past[2]}, 1, false, true},
        {1, {note(60), note(62, 0x73), note(64)}, 1, false, false},
        {1, {note(60), note(62, 0x75), note(64)}, 2, true, true},
        {1, {note(60), note(62, 0x76), note(64)}, 2, false, true},
        {0, {note(60, 0x74), note(62), note(64)}, 1, false, false},
    };
    for (const Case& test : cases) {
        it::Module module = itNote(test.rows[0]);
        module.patterns[0].rows = 3;
        module.patterns[0].cells = {test.rows.begin(), test.rows.end()};
        module.instruments[0].newNoteAction = test.newNoteAction;
        module.instruments[0].fadeout = 1;
        SongPtr song = start(it::writeModule(module));
        runTicks(*song, 2 * module.speed + 2);
        const std::string name = "case " + std::to_string(&test - cases);
        ASSERT_EQ(song->letGoCount, test.letGo) << name;
        if (test.letGo == 0) continue;
        const Note& last = song->letGoNotes[test.letGo - 1].note;
        EXPECT_EQ(last.keyOff, test.keyOff) << name;
        EXPECT_EQ(last.fading, test.fading) << name;
    }
}

// The keyboard names the note each key plays as well as its sample: C-5 of a sample at
// 10000 Hz plays at 10000 Hz, and mapped an octave up, at twice that.
TEST_F(FormatsTest, ItKeyboardMapsKeysToNotesAndSamples) {
    struct Case {
        std::uint8_t mappedNote;
        std::uint8_t mappedSample;
        std::int32_t hz;
        std::size_t sample;
    };
    const Case cases[] = {{60, 1, 10000, 0}, {72, 1, 20000, 0}, {48, 2, 10000, 1}};
    for (const Case& test : cases) {
        it::Module module = itNote({.note = 60, .instrument = 1});
        module.samples[0].c5Speed = 10000;
        module.samples.push_back(module.samples[0]);
        module.samples[1].c5Speed = 20000;
        module.instruments[0].keyboard[60] = {test.mappedNote, test.mappedSample};
        SongPtr song = start(it::writeModule(module));
        runTicks(*song, 1);
        const Voice& voice = *voiceAt(defaultMixer(), 0);
        EXPECT_EQ(voice.sample, &song->module->samples[test.sample]);
        EXPECT_NEAR(voice.frequency, test.hz, test.hz / 1000) << int{test.mappedNote};
    }
}

// A sustain loop repeats its part of the volume envelope until the key is released; the
// envelope then runs on to its end, where the note fades out by the instrument's fadeout.
TEST_F(FormatsTest, ItSustainLoopsHoldUntilKeyOffAndTheEndFades) {
    constexpr std::int32_t kFadeout = 256;  // of 1024 a tick: gone in four
    it::Module module = itNote({.note = 60, .instrument = 1});
    module.speed = 30;
    module.patterns[0].rows = 2;
    module.patterns[0].cells.push_back({.note = it::kNoteOff});
    module.orders = {0, it::kEndOfSong};
    it::Instrument& instrument = module.instruments[0];
    instrument.fadeout = kFadeout;
    instrument.volumeEnvelope = {.flags = 1 | 4,
                                 .nodes = {{64, 0}, {32, 4}, {48, 8}, {16, 12}},
                                 .sustainBegin = 1,
                                 .sustainEnd = 2};
    SongPtr song = start(it::writeModule(module));
    // The envelope's value on the n-th tick of the note, from its nodes: the loop plays
    // both its ends.
    const auto between = [](std::int32_t from, std::int32_t to, std::int32_t step) {
        return from + (to - from) * step / 4;
    };
    const Note& note = song->channels[0].playing;
    for (std::int32_t tick = 0; tick < 30; ++tick) {
        runTicks(*song, 1);
        const std::int32_t expected =
            tick < 4 ? between(64, 32, tick) : between(32, 48, (tick - 4) % 5);
        EXPECT_EQ(note.volumeEnvelope.output, expected) << tick;
        EXPECT_EQ(note.fadeoutVolume, 65536) << tick;
    }
    // Released, it heads for its last node and holds there, fading from that tick on.
    for (std::int32_t tick = 0; tick < 12 && !note.volumeEnvelope.done; ++tick)
        runTicks(*song, 1);
    EXPECT_EQ(note.volumeEnvelope.output, 16);
    for (std::int32_t step = 1; step <= 4; ++step) {
        EXPECT_EQ(note.fadeoutVolume, 65536 - step * kFadeout * 64) << step;
        runTicks(*song, 1);
    }
    EXPECT_EQ(note.fadeoutVolume, 0);
}

// Zxx runs a macro: by default Z00..Z7F set the cutoff and Z80..Z8F the resonance in
// steps of 8; a module may carry its own, SFx choosing the one Z00..Z7F run. An
// instrument's own filter settings start each of its notes.
TEST_F(FormatsTest, ItFiltersByInstrumentAndZxxMacros) {
    struct Case {
        std::uint16_t special;
        std::uint8_t select;  // SFx before the Zxx
        std::uint8_t z;
        std::string parametered;  // SF1's text
        std::string fixed;        // Z80's text
        std::uint8_t instrumentCutoff;
        std::uint8_t cutoff;
        std::uint8_t resonance;
    };
    const std::uint16_t kOwn = it::kSpecialMidiConfiguration;
    const std::uint16_t kOwnAfterHistory = kOwn | it::kSpecialEditHistory;
    const Case cases[] = {
        {0, 0, 0x40, "", "", 0, 0x40, 0},
        {0, 0, 0x8F, "", "", 0, 127, 120},
        {0, 0, 0x90, "", "", 0, 127, 0},             // no default beyond Z8F
        {0, 1, 0x20, "", "", 0, 127, 0},             // nor beyond SF0
        {0, 0, 0x90, "", "", 0x80 | 0x33, 0x33, 0},  // the instrument's cutoff
        {0, 0, 0x10, "", "", 0x80 | 0x33, 0x10, 0},  // and Zxx after it
        {kOwn, 1, 0x30, "F0F001z", "", 0, 127, 0x30},
        {kOwn, 0, 0x80, "", "F0 F0 00 20", 0, 0x20, 0},
        {kOwnAfterHistory, 0, 0x80, "", "f0f00110", 0, 127, 0x10},
        {kOwn, 1, 0x30, "F0F002z", "F0F0", 0, 127, 0},  // not a filter message
    };
    for (const Case& test : cases) {
        it::Module module = itNote({.note = 60, .instrument = 1});
        module.special = test.special;
        module.editHistoryEntries = 3;
        module.midi.parametered[1] = test.parametered;
        module.midi.fixed[0] = test.fixed;
        module.instruments[0].filterCutoff = test.instrumentCutoff;
        module.patterns[0].rows = 3;
        module.patterns[0].cells.push_back(
            {.effect = it::Effect{'S' - 'A' + 1, static_cast<std::uint8_t>(0xF0 | test.select)}});
        module.patterns[0].cells.push_back({.effect = it::Effect{'Z' - 'A' + 1, test.z}});
        SongPtr song = start(it::writeModule(module));
        runTicks(*song, 2 * module.speed + 1);
        const Note& note = song->channels[0].playing;
        EXPECT_EQ(note.filterCutoff, test.cutoff) << int{test.z} << " " << test.fixed;
        EXPECT_EQ(note.filterResonance, test.resonance) << int{test.z} << " " << test.fixed;
        const bool filtered = test.cutoff < 127 || test.resonance > 0;
        EXPECT_EQ(voiceAt(defaultMixer(), 0)->filter.on, filtered) << int{test.z};
    }
}

// A note's panning: the channel's, else its instrument's, else its sample's; then each
// semitone from the pitch-pan centre moves it by the separation / 8 of 64 steps. A channel
// at 100 plays around the listener: at the centre, the right side in opposite phase.
TEST_F(FormatsTest, ItPansByChannelInstrumentSampleAndPitch) {
    struct Case {
        std::uint8_t channelPan;
        std::uint8_t instrumentPan;  // +128: unused
        std::uint8_t samplePan;      // +128: used
        std::int8_t separation;
        std::uint8_t centre;
        std::uint8_t note;
        std::int32_t panning;  // 0..255
        bool surround;
    };
    const Case cases[] = {
        {16, 128 | 40, 20, 0, 60, 60, 64, false},   {16, 40, 20, 0, 60, 60, 160, false},
        {16, 40, 128 | 8, 0, 60, 60, 32, false},    {32, 128, 0, 8, 60, 72, 128 + 48, false},
        {32, 128, 0, -16, 48, 44, 128 + 32, false}, {32, 128, 0, 32, 0, 119, 255, false},
        {100, 128, 0, 0, 60, 60, 128, true},
    };
    for (const Case& test : cases) {
        it::Module module = itNote({.note = test.note, .instrument = 1});
        module.channelPan[0] = test.channelPan;
        module.instruments[0].defaultPan = test.instrumentPan;
        module.instruments[0].pitchPanSeparation = test.separation;
        module.instruments[0].pitchPanCentre = test.centre;
        module.samples[0].defaultPan = test.samplePan;
        SongPtr song = start(it::writeModule(module));
        runTicks(*song, 1);
        const Voice& voice = *voiceAt(defaultMixer(), 0);
        EXPECT_EQ(voice.panning, test.panning) << int{test.separation} << " " << int{test.note};
        EXPECT_EQ(voice.surround, test.surround);
    }
}

// Oxx past the sample's end is ignored; with the old-effects flag it plays from the end:
// a loop plays on from its start, a sample without one stops.
TEST_F(FormatsTest, ItOffsetsPastTheEndAreIgnoredOrPlayFromTheEnd) {
    struct Case {
        bool oldEffects;
        bool looped;
        std::uint8_t offset;  // of 256 frames; the sample has 1024
        bool plays;
        std::uint32_t frame;  // where it starts
    };
    const Case cases[] = {{false, true, 2, true, 512}, {false, true, 9, true, 0},
                          {false, false, 9, true, 0},  {true, true, 9, true, 256},
                          {true, false, 9, false, 0},  {true, false, 3, true, 768}};
    for (const Case& test : cases) {
        it::Module module =
            itNote({.note = 60, .instrument = 1, .effect = it::Effect{15, test.offset}});
        if (test.oldEffects) module.flags |= it::kOldEffects;
        it::Sample& sample = module.samples[0];
        sample.frames.assign(1024, 8000);
        sample.loopFlags = test.looped ? it::kLoop : 0;
        sample.loopBegin = 256;
        sample.loopEnd = 1024;
        SongPtr song = start(it::writeModule(module));
        runTicks(*song, 1);
        const Voice& voice = *voiceAt(defaultMixer(), 0);
        EXPECT_EQ(voice.sample != nullptr, test.plays) << int{test.offset};
        if (test.plays) {
            EXPECT_EQ(voice.position >> 32, test.frame) << int{test.offset};
        }
    }
}

// S77, S79 and S7B hold the playing note's volume, panning and pitch envelope where it
// stands; S78, S7A and S7C let it go on from there.
TEST_F(FormatsTest, ItEnvelopeSwitchesHoldAndResumeTheNotesEnvelopes) {
    for (std::uint8_t envelope = 0; envelope < 3; ++envelope) {
        it::Module module = itNote({.note = 60, .instrument = 1});
        module.patterns[0].rows = 3;
        const auto s7 = [](std::int32_t y) {
            return it::Cell{.effect =
                                it::Effect{'S' - 'A' + 1, static_cast<std::uint8_t>(0x70 + y)}};
        };
        module.patterns[0].cells.push_back(s7(7 + 2 * envelope));
        module.patterns[0].cells.push_back(s7(8 + 2 * envelope));
        it::Instrument& instrument = module.instruments[0];
        it::Envelope* envelopes[] = {&instrument.volumeEnvelope, &instrument.panningEnvelope,
                                     &instrument.pitchEnvelope};
        *envelopes[envelope] = {.flags = 1, .nodes = {{0, 0}, {32, 32}}};
        SongPtr song = start(it::writeModule(module));
        const Note& note = song->channels[0].playing;
        const EnvelopeState* states[] = {&note.volumeEnvelope, &note.panningEnvelope,
                                         &note.pitchEnvelope};
        const EnvelopeState& state = *states[envelope];
        std::vector<std::int32_t> levels;
        for (std::int32_t tick = 0; tick < 3 * module.speed; ++tick) {
            runTicks(*song, 1);
            levels.push_back(state.level);
        }
        // Two ticks a row, a step on each; a switch acts after the step of its row tick.
        const std::int32_t step = levels[1] - levels[0];
        EXPECT_GT(step, 0) << int{envelope};
        const std::int32_t held = levels[0] + 2 * step;
        const std::vector<std::int32_t> expected{levels[0], levels[0] + step, held, held,
                                                 held,      held + step};
        EXPECT_EQ(levels, expected) << int{envelope};
    }
}

// A note without an instrument starts the envelopes and the fadeout afresh, released no
// more, and keeps the channel's volume.
TEST_F(FormatsTest, ItNotesWithoutInstrumentRestartTheEnvelopes) {
    it::Module module = itNote({.note = 60, .instrument = 1, .volume = 20});
    module.patterns[0].rows = 3;
    module.patterns[0].cells.push_back({.note = it::kNoteOff});
    module.patterns[0].cells.push_back({.note = 62});
    it::Instrument& instrument = module.instruments[0];
    instrument.fadeout = 256;
    instrument.volumeEnvelope = {
        .flags = 1 | 4, .nodes = {{64, 0}, {32, 2}, {0, 4}}, .sustainBegin = 1, .sustainEnd = 1};
    SongPtr song = start(it::writeModule(module));
    const Note& note = song->channels[0].playing;
    runTicks(*song, 2 * module.speed);
    EXPECT_TRUE(note.keyOff);
    EXPECT_LT(note.volumeEnvelope.output, 32);
    runTicks(*song, 1);
    EXPECT_FALSE(note.keyOff);
    EXPECT_EQ(note.fadeoutVolume, 65536);
    EXPECT_EQ(note.volumeEnvelope.output, 64);
    EXPECT_EQ(song->channels[0].volume, 20);
}

// A sample's sustain loop plays until the note is released; then the sample goes on to
// its own loop, or to its end.
TEST_F(FormatsTest, ItSustainLoopsOfSamplesPlayUntilKeyOff) {
    for (const bool ownLoop : {true, false}) {
        it::Module module = itNote({.note = 60, .instrument = 1});
        module.speed = 4;
        module.patterns[0].rows = 2;
        module.patterns[0].cells.push_back({.note = it::kNoteOff});
        it::Sample& sample = module.samples[0];
        sample.frames.assign(4000, 8000);
        sample.loopFlags = it::kSustainLoop | (ownLoop ? it::kLoop : 0);
        sample.sustainBegin = 100;
        sample.sustainEnd = 200;
        sample.loopBegin = 3000;
        sample.loopEnd = 3100;
        SongPtr song = start(it::writeModule(module));
        const Voice& voice = *voiceAt(defaultMixer(), 0);
        const Sample* sustained = sustainLoopOf(*song->module, song->module->samples[0]);
        std::vector<float> sound(2 * 8000);
        for (std::int32_t tick = 0; tick < 4; ++tick) {
            runTicks(*song, 1);
            mixVoices(defaultMixer(), sound.data(), 2000);
            EXPECT_EQ(voice.sample, sustained) << ownLoop;
            EXPECT_LT(voice.position >> 32, 200u) << ownLoop;
        }
        runTicks(*song, 1);
        EXPECT_EQ(voice.sample, &song->module->samples[0]) << ownLoop;
        for (std::int32_t piece = 0; piece < 4; ++piece)
            mixVoices(defaultMixer(), sound.data(), 8000);
        if (ownLoop) {
            EXPECT_GE(voice.position >> 32, 3000u);
            EXPECT_LT(voice.position >> 32, 3100u);
        } else {
            EXPECT_EQ(voice.sample, nullptr);
        }
    }
}

// An instrument's random variations move each note's volume by up to its percent and its
// panning by up to its steps of 64, differently from note to note and alike at each start.
TEST_F(FormatsTest, ItRandomVariationsStayInRangeAndRepeat) {
    constexpr std::int32_t kNotes = 16;
    it::Module module = itNote({.note = 60, .instrument = 1});
    module.patterns[0].rows = kNotes;
    for (std::int32_t row = 1; row < kNotes; ++row)
        module.patterns[0].cells.push_back({.note = 60, .instrument = 1});
    module.instruments[0].randomVolume = 50;
    module.instruments[0].randomPan = 16;
    const auto play = [&] {
        SongPtr song = start(it::writeModule(module));
        std::vector<std::pair<std::int32_t, std::int32_t>> heard;
        for (std::int32_t row = 0; row < kNotes; ++row) {
            runTicks(*song, module.speed);
            const Voice& voice = *voiceAt(defaultMixer(), 0);
            heard.emplace_back(voice.volume, voice.panning);
        }
        return heard;
    };
    const auto first = play();
    EXPECT_EQ(play(), first);
    std::set<std::int32_t> volumes;
    std::set<std::int32_t> pannings;
    for (const auto& [volume, panning] : first) {
        EXPECT_GE(volume, 127 / 2);
        EXPECT_LE(volume, 127 * 3 / 2);
        EXPECT_GE(panning, 128 - 64);
        EXPECT_LE(panning, 128 + 64);
        volumes.insert(volume);
        pannings.insert(panning);
    }
    EXPECT_GT(volumes.size(), kNotes / 2u);
    EXPECT_GT(pannings.size(), kNotes / 2u);
}

// The volume column remembers: a zero volume slide repeats its last one, and a zero pitch
// slide E and F's last parameter, a slide of x counting as E or F of 4x.
TEST_F(FormatsTest, ItVolumeColumnSlidesRemember) {
    it::Module module = itNote({.note = 60, .instrument = 1});
    module.flags &= ~it::kLinearSlides;
    module.speed = 3;
    module.patterns[0].rows = 6;
    const std::uint8_t kSlideDown = 95;  // + x
    const std::uint8_t kPitchDown = 105;
    std::vector<it::Cell>& cells = module.patterns[0].cells;
    cells.push_back({.effect = it::Effect{'E' - 'A' + 1, 0x06}});
    cells.push_back({.volume = kPitchDown});
    cells.push_back({.volume = kPitchDown + 2});
    cells.push_back({.volume = kSlideDown + 5});
    cells.push_back({.volume = kSlideDown});
    SongPtr song = start(it::writeModule(module));
    const Channel& channel = song->channels[0];
    std::vector<std::int32_t> periods;
    std::vector<std::int32_t> volumes;
    for (std::int32_t row = 0; row < 6; ++row) {
        runTicks(*song, module.speed);
        periods.push_back(channel.period);
        volumes.push_back(channel.volume);
    }
    // Two ticks after each row tick slide, by 4 period units a parameter step.
    const std::int32_t step = 2 * 4;
    EXPECT_EQ(periods[1] - periods[0], 0x06 * step);
    EXPECT_EQ(periods[2] - periods[1], 0x06 * step);
    EXPECT_EQ(periods[3] - periods[2], 2 * 4 * step);
    EXPECT_EQ(volumes[4], 64 - 2 * 5);
    EXPECT_EQ(volumes[5], 64 - 4 * 5);
}

// An instrument beside a tone portamento starts the playing note's envelopes afresh only
// under the header's compatible-G flag.
TEST_F(FormatsTest, ItPortamentoWithInstrumentRestartsEnvelopesUnderCompatibleG) {
    for (const bool compatible : {false, true}) {
        it::Module module = itNote({.note = 60, .instrument = 1});
        if (compatible) module.flags |= it::kLinkedPortamento;
        module.patterns[0].rows = 3;
        module.patterns[0].cells.push_back({});
        module.patterns[0].cells.push_back(
            {.note = 64, .instrument = 1, .effect = it::Effect{'G' - 'A' + 1, 0x10}});
        module.instruments[0].volumeEnvelope = {.flags = 1, .nodes = {{64, 0}, {0, 32}}};
        SongPtr song = start(it::writeModule(module));
        runTicks(*song, 2 * module.speed + 1);
        const std::int32_t expected = compatible ? 64 : 64 - 2 * (2 * module.speed);
        EXPECT_EQ(song->channels[0].playing.volumeEnvelope.output, expected) << compatible;
    }
}

// The master volume scales every voice by master / 48, up to the voices' 8-bit limit.
// Truncated and corrupted files of each format fail or load into songs that play.
TEST_F(FormatsTest, DamagedFilesFailOrLoadSafely) {
    s3m::Module s3m = s3mRows({{s3mCell('D', 0x0F, kS3mC4), s3mCell('S', 0xB1)}, {{kS3mC4, 1}}});
    s3m.instruments.push_back({.frames = {1, 2, 3, 4}, .sixteenBit = true});
    mod::Module mod = modRows({{{kModC2, 1, 0xE, 0x62}, {kModC2, 2, 0xE, 0xE1}}});
    mod.orders = {0, 0};
    for (const std::vector<std::uint8_t>& whole :
         {it::writeModule(itModule(0x0214)), it::writeModule(itModule(0x0100)),
          s3m::writeModule(s3m), mod::writeModule(mod), mod::writeModule([&] {
              mod::Module unmarked = mod;
              unmarked.mark.clear();
              return unmarked;
          }())}) {
        std::mt19937 random(7);
        for (std::size_t size = 0; size <= whole.size(); size += 1 + random() % 7) {
            std::vector<std::uint8_t> bytes(whole.begin(),
                                            whole.begin() + static_cast<std::ptrdiff_t>(size));
            if (size % 2 == 1 && size > 0)
                bytes[random() % size] = static_cast<std::uint8_t>(random());
            SongPtr song = load(bytes);
            if (!song) continue;
            expectPlayable(*song);
            ASSERT_TRUE(songStart(song.get()));
            runTicks(*song, 200);
            if (::testing::Test::HasFailure()) FAIL() << "at size " << size;
        }
    }
}

TEST_F(FormatsTest, ProTrackerSlidesStopAtItsPeriodLimits) {
    SongPtr song = start(mod::writeModule(modRows({{{113, 1, 1, 0x10}, {856, 1, 2, 0x10}}})));
    expectTicks(*song, {452, 452, 452, 452, 452, 452, 3424, 3424},
                [&] { return song->channels[0].period; });
}

TEST_F(FormatsTest, ProTrackerSlidesForgetTheirParameters) {
    struct Case {
        std::uint8_t effect;
        std::uint8_t parameter;  // of the first row; the second has its low nibble 0
        std::int32_t Channel::*field;
        std::vector<std::int32_t> expected;  // two rows of six ticks
    };
    const Case cases[] = {
        {0xA, 0x02, &Channel::volume, {64, 62, 60, 58, 56, 54, 54, 54, 54, 54, 54, 54}},
        {0x1,
         0x02,
         &Channel::period,
         {1712, 1704, 1696, 1688, 1680, 1672, 1672, 1672, 1672, 1672, 1672, 1672}},
        {0xE, 0xB2, &Channel::volume, {62, 62, 62, 62, 62, 62, 62, 62, 62, 62, 62, 62}},
    };
    for (const Case& test : cases) {
        const auto parameter = static_cast<std::uint8_t>(test.parameter & 0xF0);
        SongPtr song = start(mod::writeModule(
            modRows({{{kModC2, 1, test.effect, test.parameter}, {0, 0, test.effect, parameter}}})));
        expectTicks(*song, test.expected, [&] { return song->channels[0].*test.field; });
    }
}

TEST_F(FormatsTest, ModChannelsPanLeftRightRightLeftAtTheSeparationSet) {
    const std::vector<mod::Cell> notes(2, {kModC2, 1});
    SongPtr song = start(mod::writeModule(modRows({notes, notes, notes, notes})));
    runTicks(*song, kRowTicks);
    const std::int32_t full[] = {0, 255, 255, 0};
    for (std::int32_t c = 0; c < 4; ++c)
        EXPECT_EQ(voiceAt(defaultMixer(), c)->panning, full[c]);
    song->stereoSeparation = 50;
    runTicks(*song, 1);
    const std::int32_t half[] = {64, 191, 191, 64};
    for (std::int32_t c = 0; c < 4; ++c)
        EXPECT_EQ(voiceAt(defaultMixer(), c)->panning, half[c]);
}

// An instrument without a note takes over where the playing sample's loop ends, with its
// own loop; one without a loop silences the voice there.
TEST_F(FormatsTest, ProTrackerSwapsSamplesWhereTheLoopEnds) {
    mod::Module module = modRows({{{kModC2, 1}, {0, 2}, {kModC2, 1}, {0, 3}}});
    mod::Sample oneShot = modSample();
    oneShot.loopLength = 1;
    module.samples.push_back(oneShot);
    SongPtr song = start(mod::writeModule(module));
    const Voice& voice = *voiceAt(defaultMixer(), 0);
    const auto sampleOf = [&](std::int32_t instrument) {
        return &instrumentSample(*song, instrument, 0);
    };
    runTicks(*song, kRowTicks + 1);
    EXPECT_EQ(voice.sample, sampleOf(0));
    EXPECT_EQ(voice.nextSample, sampleOf(1));
    advanceVoices(defaultMixer(), 1000);
    EXPECT_EQ(voice.sample, sampleOf(1));
    EXPECT_EQ(voice.nextSample, nullptr);
    runTicks(*song, kRowTicks);
    EXPECT_EQ(voice.sample, sampleOf(0));
    runTicks(*song, kRowTicks);
    EXPECT_EQ(voice.nextSample, sampleOf(2));
    advanceVoices(defaultMixer(), 1000);
    EXPECT_EQ(voice.sample, nullptr);
}

TEST_F(FormatsTest, ProTrackerSpeedCommands) {
    struct Case {
        mod::Cell first;
        mod::Cell second;
        std::int32_t rowTicks;
        std::int32_t bpm;
    };
    const Case cases[] = {
        {{0, 0, 0xF, 0x03}, {}, 3, 125},
        {{0, 0, 0xF, 0x00}, {}, kRowTicks, 125},  // ignored
        {{0, 0, 0xF, 0x20}, {}, kRowTicks, 32},
        // A pattern delay counts rows at the speed the row ends with.
        {{0, 0, 0xE, 0xE2}, {0, 0, 0xF, 0x03}, 9, 125},
        {{0, 0, 0xF, 0x03}, {0, 0, 0xE, 0xE2}, 9, 125},
    };
    for (const Case& test : cases) {
        SongPtr song = start(mod::writeModule(modRows({{test.first}, {test.second}})));
        std::int32_t ticks = 0;
        while (songGetRow(song.get()) == 0 && ticks < 100) {
            runTicks(*song, 1);
            ++ticks;
        }
        EXPECT_EQ(ticks - 1, test.rowTicks);
        EXPECT_EQ(song->bpm, test.bpm);
    }
}

// 9xx and EDx without a note leave the playing note alone; E5x tunes the row's note and
// no other.
TEST_F(FormatsTest, ProTrackerRowCommandsActOnTheRowsNote) {
    SongPtr song = start(mod::writeModule(modRows(
        {{{kModC2, 1}, {0, 0, 9, 0xFF}, {0, 0, 0xE, 0xD1}, {kModC2, 1, 0xE, 0x5F}, {kModC2, 1}}})));
    const Voice& voice = *voiceAt(defaultMixer(), 0);
    runTicks(*song, kRowTicks);
    advanceVoices(defaultMixer(), 100);
    const std::uint64_t position = voice.position;
    runTicks(*song, 2 * kRowTicks);
    EXPECT_NE(voice.sample, nullptr);
    EXPECT_EQ(voice.position, position);
    runTicks(*song, 1);
    EXPECT_EQ(song->channels[0].period, 1724);  // 1712 an eighth of a semitone lower
    runTicks(*song, kRowTicks);
    EXPECT_EQ(song->channels[0].period, kC4Period);
}

// ProTracker's vibrato leaves the row tick alone and lowers the pitch first.
TEST_F(FormatsTest, ProTrackerVibratoStartsDownwardAfterTheRowTick) {
    SongPtr song = start(mod::writeModule(modRows({{{kModC2, 1, 4, 0x48}}})));
    expectTicks(*song, {0, 0, 24, 44, 56}, [&] { return song->channels[0].periodDelta; });
}

TEST_F(FormatsTest, ModTremoloSwingsTheVolumeOfEachTick) {
    SongPtr song = start(mod::writeModule(modRows({{{kModC2, 2, 7, 0x48}}})));
    expectTicks(*song, {0, 0, 12, 22, 29}, [&] { return song->channels[0].volumeDelta; });
    EXPECT_EQ(song->channels[0].volume, 32);
}

TEST_F(FormatsTest, S3mSlidesShareOneMemory) {
    struct Case {
        s3m::Cell first;
        char second;  // with a zero parameter
        std::int32_t Channel::*field;
        std::vector<std::int32_t> expected;  // the second row's ticks
    };
    const Case cases[] = {
        {s3mCell('D', 0x04, kS3mC4), 'E', &Channel::period, {1712, 1728, 1744, 1760, 1776, 1792}},
        {s3mCell('E', 0x04, kS3mC4), 'D', &Channel::volume, {32, 28, 24, 20, 16, 12}},
        {s3mCell('F', 0xF3, kS3mC4), 'E', &Channel::period, {1712, 1712, 1712, 1712, 1712, 1712}},
        {s3mCell('Q', 0x02, kS3mC4), 'K', &Channel::volume, {32, 30, 28, 26, 24, 22}},
    };
    for (const Case& test : cases) {
        SongPtr song = start(s3m::writeModule(s3mRows({{test.first, s3mCell(test.second, 0)}})));
        runTicks(*song, kRowTicks);
        expectTicks(*song, test.expected, [&] { return song->channels[0].*test.field; });
    }
}

TEST_F(FormatsTest, S3mFineSlidesRunOnceOnTheRowTick) {
    struct Case {
        char letter;
        std::uint8_t info;
        std::uint16_t version;
        std::int32_t Channel::*field;
        std::vector<std::int32_t> expected;
    };
    const std::uint16_t usual = 0x1320;
    const std::uint16_t fast = 0x1300;  // slid on the row tick too
    const Case cases[] = {
        {'D', 0xF2, usual, &Channel::volume, {30, 30, 30}},
        {'D', 0x2F, usual, &Channel::volume, {34, 34, 34}},
        {'D', 0x02, usual, &Channel::volume, {32, 30, 28}},
        {'D', 0x20, usual, &Channel::volume, {32, 34, 36}},
        {'D', 0x02, fast, &Channel::volume, {30, 28, 26}},
        {'E', 0xF2, usual, &Channel::period, {1720, 1720, 1720}},
        {'E', 0xE2, usual, &Channel::period, {1714, 1714, 1714}},
        {'E', 0x02, usual, &Channel::period, {1712, 1720, 1728}},
        {'F', 0xF2, usual, &Channel::period, {1704, 1704, 1704}},
        {'F', 0xE2, usual, &Channel::period, {1710, 1710, 1710}},
        {'K', 0xF2, usual, &Channel::volume, {30, 30, 30}},  // K and L slide as D does
        {'L', 0x2F, usual, &Channel::volume, {34, 34, 34}},
    };
    for (const Case& test : cases) {
        s3m::Module module = s3mRows({{s3mCell(test.letter, test.info, kS3mC4)}});
        module.version = test.version;
        SongPtr song = start(s3m::writeModule(module));
        expectTicks(*song, test.expected, [&] { return song->channels[0].*test.field; });
    }
}

// A tone portamento on a silent channel starts its note; one with an instrument takes
// that instrument's volume; a slide past the shortest period stops the note.
TEST_F(FormatsTest, S3mPortamentoRules) {
    s3m::Module module = s3mRows({{s3mCell('G', 0x10, kS3mC4),
                                   {.note = 0x50, .instrument = 2, .command = s3m::command('G')},
                                   s3mCell('F', 0xDF)}});
    module.instruments.push_back(module.instruments[0]);
    module.instruments[1].volume = 60;
    SongPtr song = start(s3m::writeModule(module));
    const Voice& voice = *voiceAt(defaultMixer(), 0);
    runTicks(*song, 1);
    EXPECT_EQ(song->channels[0].period, kC4Period);
    EXPECT_NE(voice.sample, nullptr);
    runTicks(*song, kRowTicks + 1);
    EXPECT_EQ(song->channels[0].volume, 60);
    EXPECT_EQ(song->channels[0].period, kC4Period - 0x10 * 4);
    runTicks(*song, kRowTicks - 1);
    EXPECT_NE(voice.sample, nullptr);
    runTicks(*song, 3);
    EXPECT_EQ(voice.sample, nullptr);
}

TEST_F(FormatsTest, S3mSpeedTempoGlobalVolumeAndNoteCut) {
    SongPtr song =
        start(s3m::writeModule(s3mRows({{s3mCell('A', 0x40, kS3mC4), {s3m::kNoteCut}},
                                        {s3mCell('T', 0x1F), s3mCell('T', 0x40)},
                                        {s3mCell('V', 0x20), s3mCell('S', 0xC2, kS3mC4)},
                                        {{}, s3mCell('V', 0x41)}})));  // above 64: no command
    runTicks(*song, 1);
    EXPECT_EQ(song->speed, 0x40);  // not a tempo
    EXPECT_EQ(song->bpm, 125);     // T below 0x20 is no tempo
    EXPECT_EQ(song->globalVolume, 0x20);
    ASSERT_NE(voiceAt(defaultMixer(), 0)->sample, nullptr);
    runTicks(*song, 0x40);
    EXPECT_EQ(song->bpm, 0x40);
    EXPECT_EQ(song->globalVolume, 0x20);
    EXPECT_EQ(voiceAt(defaultMixer(), 0)->sample, nullptr);
    expectTicks(*song, {32, 0, 0}, [&] { return song->channels[2].volume; });
}

// S2x plays the row's note at the C2 speed x names in place of the sample's, and no
// other note.
TEST_F(FormatsTest, S3mFinetunePlaysTheRowsNoteAtItsC2Speed) {
    constexpr double kSampleRate = 10000;  // Hz at C-4
    const struct {
        std::uint8_t info;
        double hz;
    } cases[] = {{0x20, 7895}, {0x28, 8363}, {0x2F, 8757}, {0x00, kSampleRate}};
    for (const auto& test : cases) {
        s3m::Module module = s3mRows({{s3mCell('S', test.info, kS3mC4), {kS3mC4, 1}}});
        module.instruments[0].c2Speed = static_cast<std::uint32_t>(kSampleRate);
        SongPtr song = start(s3m::writeModule(module));
        const Voice& voice = *voiceAt(defaultMixer(), 0);
        runTicks(*song, 1);
        EXPECT_NEAR(voice.frequency, test.hz, test.hz / 500) << int{test.info};
        runTicks(*song, kRowTicks);
        EXPECT_NEAR(voice.frequency, kSampleRate, kSampleRate / 500) << int{test.info};
    }
}

// With glissando on (E31, S11) a tone portamento is heard at the semitone of the sample's
// tuning nearest the slide in pitch, while the slide goes on underneath; XM ignores E3x.
TEST_F(FormatsTest, GlissandoIsHeardInSemitones) {
    const auto modSlide = [](std::uint8_t glissando, std::uint8_t speed, std::uint8_t finetune) {
        mod::Module module = modRows({{{kModC2, 1, 0xE, glissando}, {381, 0, 3, speed}}});
        module.samples[0].finetune = finetune;
        return mod::writeModule(module);
    };
    xm::Module xmSlide = rowsModule({noteCell(49, 0xE, 0x31), noteCell(51, 3, 0x08)}, kRowTicks);
    xmSlide.linearFrequencies = false;
    struct Case {
        const char* what;
        std::vector<std::uint8_t> module;
        std::vector<std::int32_t> heard;  // the second row's ticks
        std::int32_t slidTo;              // after them
    };
    const Case cases[] = {
        {"MOD, off", modSlide(0x30, 8, 0), {1712, 1680, 1648, 1616, 1584, 1552}, 1552},
        {"MOD", modSlide(0x31, 8, 0), {1712, 1712, 1616, 1616, 1616, 1524}, 1552},
        // 1664, midway between 1712 and 1616, is nearer the lower note in pitch.
        {"MOD, slow", modSlide(0x31, 3, 0), {1712, 1712, 1712, 1712, 1712, 1616}, 1652},
        {"MOD, finetune +4", modSlide(0x31, 8, 4), {1663, 1663, 1570, 1570, 1570, 1481}, 1503},
        {"S3M",
         s3m::writeModule(s3mRows({{s3mCell('S', 0x11, kS3mC4), s3mCell('G', 0x08, 0x42)}})),
         {1712, 1712, 1615, 1615, 1615, 1525},
         1552},
        {"XM", xm::writeModule(xmSlide), {1712, 1680, 1648, 1616, 1584, 1552}, 1552},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        SongPtr song = start(test.module);
        const Channel& channel = song->channels[0];
        runTicks(*song, kRowTicks);
        expectTicks(*song, test.heard, [&] { return channel.period + channel.periodDelta; });
        EXPECT_EQ(channel.period, test.slidTo);
    }
}

// I21: on for two ticks, off for one (XM's tremor would take three and two).
TEST_F(FormatsTest, S3mTremorCountsTheTicksAsGiven) {
    SongPtr song = start(s3m::writeModule(s3mRows({{s3mCell('I', 0x21, kS3mC4)}})));
    expectTicks(*song, {0, 0, -32, 0, 0, -32}, [&] { return song->channels[0].volumeDelta; });
}

TEST_F(FormatsTest, S3mLoopsReplayRowsBySb) {
    SongPtr song = start(
        s3m::writeModule(s3mRows({{s3mCell('A', 1), s3mCell('S', 0xB0), s3mCell('S', 0xB1), {}}})));
    const std::int32_t rows[] = {0, 1, 2, 1, 2, 3};
    for (std::int32_t row : rows) {
        runTicks(*song, 1);
        EXPECT_EQ(songGetRow(song.get()), row);
    }
}

}  // namespace
}  // namespace vorn3
