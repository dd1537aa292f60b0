// Effect-column and volume-column commands, tick by tick, on modules from the XM writer.
#include <gtest/gtest.h>

#include <vector>

#include "vorn3/player.h"

#include "mixer/voice.h"
#include "player/tick.h"
#include "support/player_fixture.h"

namespace vorn3 {
namespace {

constexpr std::uint8_t kC4 = 49;                          // file note; linear period 4608
constexpr std::uint8_t kB7 = 96;                          // linear period 1600
constexpr std::uint64_t kMoved = std::uint64_t{9} << 32;  // a voice position no trigger gives

enum : std::uint8_t {
    arpeggio = 0,
    portamentoUp = 1,
    vibrato = 4,
    setPanning = 8,
    sampleOffset = 9,
    positionJump = 11,
    setVolume = 12,
    patternBreak = 13,
    extended = 14,
    setSpeed = 15,
    setGlobalVolume = 16,
    globalVolumeSlide = 17,
    panningSlide = 25,
    multiRetrigger = 27,
    tremor = 29,
    extraFinePortamento = 33,
};

using Position = std::pair<std::int32_t, std::int32_t>;

Position positionOf(const Song& song) {
    return {songGetOrder(&song), songGetRow(&song)};
}

TEST_F(TickingTest, PatternBreaksNameTheirRowsInsideTheTargetPattern) {
    std::vector<xm::Cell> first(8);
    first[0] = effectCell(patternBreak, 0x64);  // row 64 is past 63: row 0
    std::vector<xm::Cell> second(64);
    second[0] = effectCell(patternBreak, 0x0F);   // digits 0 and 15: row 15
    second[15] = effectCell(patternBreak, 0x12);  // row 12, which the next pattern lacks
    std::vector<xm::Cell> last(8);
    last[0] = effectCell(patternBreak, 0x05);
    xm::Module module = patternsModule({first, second, last}, 1);
    module.orders = {0, 1, 1, 2};
    SongPtr song = start(module);
    const Position expected[] = {{0, 0}, {1, 0}, {2, 15}, {3, 0}, {0, 5}, {0, 6}};
    for (const Position& position : expected) {
        runTicks(*song, 1);
        EXPECT_EQ(positionOf(*song), position);
        EXPECT_FALSE(songEnded(song.get()));  // a break past the last order is not its end
    }
}

TEST_F(TickingTest, AJumpGivesTheOrderAndABreakAfterItTheRow) {
    const struct {
        std::vector<xm::Cell> row;
        Position next;
    } cases[] = {
        {{effectCell(positionJump, 2), effectCell(patternBreak, 0x05)}, {2, 5}},
        {{effectCell(patternBreak, 0x05), effectCell(positionJump, 2)}, {2, 0}},
        {{effectCell(positionJump, 9), {}}, {0, 0}},  // past the song: order 0
        {{effectCell(patternBreak, 0x05), effectCell(positionJump, 9)}, {0, 0}},
    };
    for (const auto& each : cases) {
        xm::Module module = patternsModule({each.row, std::vector<xm::Cell>(2 * 16)}, 1, 2);
        module.orders = {0, 1, 1};
        SongPtr song = start(module);
        runTicks(*song, 2);
        EXPECT_EQ(positionOf(*song), each.next);
    }
}

TEST_F(TickingTest, PatternLoopsRepeatTheirRowsAndNeverLeaveThePattern) {
    SongPtr song = start(rowsModule(
        {noteCell(kC4), effectCell(extended, 0x60), {}, effectCell(extended, 0x62), {}}, 1));
    for (std::int32_t row : {0, 1, 2, 3, 1, 2, 3, 1, 2, 3, 4}) {
        runTicks(*song, 1);
        EXPECT_EQ(songGetRow(song.get()), row);
    }

    // A loop back to row 0 keeps the loop row as the row being played.
    song = start(rowsModule({effectCell(extended, 0x60), effectCell(extended, 0x61), {}}, 2));
    for (std::int32_t row : {0, 0, 1, 1, 0, 0, 1, 1, 2, 2}) {
        runTicks(*song, 1);
        EXPECT_EQ(songGetRow(song.get()), row);
    }
}

TEST_F(TickingTest, PatternDelayLengthensTheRowBySpeedTicksPerStep) {
    SongPtr song = start(rowsModule({effectCell(extended, 0xE2), {}}, 7));
    runTicks(*song, 21);
    EXPECT_EQ(songGetRow(song.get()), 0);
    runTicks(*song, 1);
    EXPECT_EQ(songGetRow(song.get()), 1);
}

TEST_F(TickingTest, SpeedUpTo31AndBpmFrom32) {
    SongPtr song = start(rowsModule({effectCell(setSpeed, 0x1F), effectCell(setSpeed, 0x20)}, 1));
    runTicks(*song, 1);
    EXPECT_EQ(song->speed, 31);
    runTicks(*song, 31);
    EXPECT_EQ(songGetRow(song.get()), 1);
    EXPECT_EQ(song->speed, 31);
    EXPECT_EQ(song->bpm, 32);
    EXPECT_EQ(song->client.samplesPerTick, 3445);
}

TEST_F(TickingTest, GlobalVolumeIsSetAndSlidWithin0To64) {
    SongPtr song =
        start(rowsModule({effectCell(setGlobalVolume, 0x80), effectCell(setGlobalVolume, 0x10),
                          effectCell(globalVolumeSlide, 0x04), effectCell(globalVolumeSlide, 0),
                          effectCell(globalVolumeSlide, 0x30)},
                         3));
    runTicks(*song, 1);
    EXPECT_EQ(song->globalVolume, 64);
    runTicks(*song, 2);
    expectTicks(*song, {16, 16, 16, 16, 12, 8, 8, 4, 0, 0, 3, 6},
                [&] { return song->globalVolume; });
}

TEST_F(TickingTest, SetVolumeAbove64Gives64) {
    SongPtr song = start(rowsModule({noteCell(kC4, setVolume, 0x40), effectCell(setVolume, 0x41),
                                     effectCell(setVolume, 0xFF), effectCell(setVolume, 0x20)},
                                    1));
    expectTicks(*song, {64, 64, 64, 32}, [&] { return song->channels[0].volume; });
    runTicks(*song, 1);  // row 0 again
    runTicks(*song, 2);
    EXPECT_EQ(voiceAt(defaultMixer(), 0)->volume, 127);  // at most full
}

TEST_F(TickingTest, CutDelayAndRetriggerActOnTheirTickAndNeverAtZero) {
    SongPtr song = start(rowsModule({noteCell(kC4, extended, 0xC0), noteCell(kC4, extended, 0xC2),
                                     noteCell(kC4, extended, 0xD0), noteCell(kC4, extended, 0xD2),
                                     noteCell(kC4, extended, 0x90), noteCell(kC4, extended, 0x92)},
                                    6, 6));
    for (std::int32_t tick = 0; tick < 6; ++tick) {
        voiceAt(defaultMixer(), 4)->position = voiceAt(defaultMixer(), 5)->position = kMoved;
        runTicks(*song, 1);
        EXPECT_EQ(voiceAt(defaultMixer(), 0)->volume, 127) << tick;
        EXPECT_EQ(voiceAt(defaultMixer(), 1)->volume, tick < 2 ? 127 : 0) << tick;
        EXPECT_EQ(voiceAt(defaultMixer(), 2)->sample, nullptr) << tick;
        EXPECT_EQ(voiceAt(defaultMixer(), 3)->sample != nullptr, tick >= 2) << tick;
        EXPECT_EQ(voiceAt(defaultMixer(), 4)->position == 0, tick == 0)
            << tick;  // the note's own start
        EXPECT_EQ(voiceAt(defaultMixer(), 5)->position == 0, tick % 2 == 0) << tick;
    }
}

TEST_F(TickingTest, ADelayedNoteKeepsThePreviousStateUntilItsTick) {
    SongPtr song = start(rowsModule({{.note = kC4, .instrument = 1, .volume = 0x20},
                                     {.note = kC4 + 12,
                                      .instrument = 1,
                                      .volume = 0x40,
                                      .effect = extended,
                                      .parameter = 0xD2}},
                                    4));
    runTicks(*song, 4);
    const Channel& channel = song->channels[0];
    for (std::int32_t tick = 0; tick < 4; ++tick) {
        voiceAt(defaultMixer(), 0)->position = kMoved;
        runTicks(*song, 1);
        EXPECT_EQ(channel.volume, tick < 2 ? 16 : 48) << tick;
        EXPECT_EQ(channel.period, tick < 2 ? 4608 : 4608 - 12 * 64) << tick;
        EXPECT_EQ(voiceAt(defaultMixer(), 0)->position == 0, tick == 2) << tick;
    }
}

TEST_F(TickingTest, PortamentoUpSlidesFromItsMemoryNeverBelow56) {
    SongPtr song = start(rowsModule({noteCell(kB7, portamentoUp, 0x20), effectCell(portamentoUp, 0),
                                     effectCell(portamentoUp, 0)},
                                    6));
    std::vector<std::int32_t> expected;
    std::int32_t slides = 0;
    for (std::int32_t tick = 0; tick < 18; ++tick) {
        if (tick % 6 != 0) ++slides;
        expected.push_back(std::max(1600 - 128 * slides, 56));
    }
    ASSERT_EQ(expected.back(), 56);
    expectTicks(*song, expected, [&] { return song->channels[0].period; });
}

// Pitches at the edges of the range: each note must sound, at the pitch nearest the
// one it asks for.
TEST_F(TickingTest, PitchesAtTheEdgesStayInTheirDirection) {
    struct Case {
        const char* name;
        bool linear;
        std::int8_t relativeNote;
        std::vector<xm::Cell> rows;
        std::int32_t frequency;  // of the voice after the rows
    };
    const xm::Cell fineUp = effectCell(extended, 0x1F);
    const xm::Cell extraFineUp = effectCell(extraFinePortamento, 0x1F);
    const std::int32_t highest = 14317056 / 56;  // the shortest Amiga period
    const Case cases[] = {
        // C-0 an octave lower is below the lowest note: it stays there.
        {"relative note below", true, -12, {noteCell(1)}, 8363 / 16},
        {"relative note below, Amiga", false, -12, {noteCell(1)}, 14317056 / 27392},
        // Slides up from B-7 run past period 0 unless stopped.
        {"fine slides up, Amiga",
         false,
         0,
         {noteCell(kB7, extended, 0x1F), fineUp, fineUp, fineUp, fineUp, fineUp, fineUp, fineUp},
         highest},
        {"extra fine slides up, Amiga", false, 0, std::vector<xm::Cell>(40, extraFineUp), highest},
        // B-7 two octaves and an augmented second up is period 0 exactly: it still plays.
        {"period 0", true, 25, {noteCell(kB7)}, 8363 * 64},
    };
    for (const Case& test : cases) {
        xm::Module module = rowsModule(test.rows, 1);
        module.linearFrequencies = test.linear;
        module.instruments[0].samples[0].relativeNote = test.relativeNote;
        if (test.rows.front().note == 0) module.patterns[0].cells.front() = noteCell(kB7);
        SongPtr song = start(module);
        runTicks(*song, static_cast<std::int32_t>(test.rows.size()));
        EXPECT_EQ(voiceAt(defaultMixer(), 0)->frequency, test.frequency) << test.name;
        EXPECT_NE(voiceAt(defaultMixer(), 0)->step, 0u) << test.name;
    }
}

TEST_F(TickingTest, ArpeggioAddsItsSemitonesOnTheTicksAfterTheRowTick) {
    SongPtr song = start(rowsModule({noteCell(kC4, arpeggio, 0x37)}, 6));
    expectTicks(*song, {0, 192, 448, 0, 192, 448}, [&] { return song->channels[0].periodDelta; });
    EXPECT_EQ(voiceAt(defaultMixer(), 0)->frequency, 12530);  // 7 semitones above 8363 Hz

    xm::Module amiga = rowsModule({noteCell(kC4, arpeggio, 0x37)}, 6);
    amiga.linearFrequencies = false;
    song = start(amiga);
    const std::int32_t third = amigaPeriod(51, 0) - 1712;
    const std::int32_t fifth = amigaPeriod(55, 0) - 1712;
    expectTicks(*song, {0, third, fifth, 0, third, fifth},
                [&] { return song->channels[0].periodDelta; });
}

TEST_F(TickingTest, TremorT23IsAudibleForThreeTicksAndSilentForFour) {
    SongPtr song = start(rowsModule({noteCell(kC4, tremor, 0x23)}, 16));
    for (std::int32_t tick = 0; tick < 16; ++tick) {
        runTicks(*song, 1);
        const bool silent = tick % 7 >= 3;
        EXPECT_EQ(song->channels[0].volumeDelta, silent ? -64 : 0) << tick;
        EXPECT_EQ(voiceAt(defaultMixer(), 0)->volume == 0, silent) << tick;
    }
}

TEST_F(TickingTest, SampleOffsetStartsLaterOrStopsPastTheEnd) {
    xm::Module module = rowsModule({noteCell(kC4, sampleOffset, 2), noteCell(kC4, sampleOffset, 0),
                                    noteCell(kC4, sampleOffset, 4)},
                                   1);
    module.instruments[0].samples[0] = rampSample(1024);
    SongPtr song = start(module);
    runTicks(*song, 1);
    EXPECT_EQ(voiceAt(defaultMixer(), 0)->position, std::uint64_t{512} << 32);
    runTicks(*song, 1);
    EXPECT_EQ(voiceAt(defaultMixer(), 0)->position, std::uint64_t{512} << 32);  // from memory
    runTicks(*song, 1);
    EXPECT_EQ(voiceAt(defaultMixer(), 0)->sample, nullptr);  // 1024 is the end: stopped
}

TEST_F(TickingTest, VibratoFollowsTheChannelsOwnPositionInEachWaveform) {
    // Speed 8 and depth 15: a quarter cycle every 4 ticks.
    SongPtr song = start(rowsModule({noteCell(kC4, vibrato, 0x8F), effectCell(vibrato, 0)}, 6));
    expectTicks(*song, {0, 0, -84, -116, -84, 0, 84, 84, 116, 84, 0, -84},
                [&] { return song->channels[0].periodDelta; });

    song = start(rowsModule({noteCell(kC4, extended, 0x41), effectCell(vibrato, 0x8F)}, 6));
    runTicks(*song, 6);
    expectTicks(*song, {0, 0, -28, -60, -88, 116}, [&] { return song->channels[0].periodDelta; });

    song = start(rowsModule({noteCell(kC4, extended, 0x42), effectCell(vibrato, 0x8F)}, 6));
    runTicks(*song, 6);
    expectTicks(*song, {-116, -116, -116, -116, -116, 116},
                [&] { return song->channels[0].periodDelta; });

    // The volume column's vibrato, its speed set apart.
    song = start(rowsModule({{.note = kC4, .instrument = 1, .volume = 0xA8}, columnCell(0xBF)}, 6));
    runTicks(*song, 6);
    expectTicks(*song, {0, 0, -84, -116, -84, 0}, [&] { return song->channels[0].periodDelta; });
}

TEST_F(TickingTest, VolumeColumnCommands) {
    SongPtr song = start(rowsModule({{.note = kC4, .instrument = 1, .volume = 0x30},
                                     columnCell(0x62),
                                     columnCell(0x73),
                                     columnCell(0x85),
                                     columnCell(0x9F),
                                     columnCell(0x5F)},
                                    4));
    expectTicks(*song, {32, 32, 32, 32, 30, 28, 26, 24, 27, 30, 33, 36,
                        31, 31, 31, 31, 46, 46, 46, 46, 46, 46, 46, 46},
                [&] { return song->channels[0].volume; });

    song = start(rowsModule({{.note = kC4, .instrument = 1, .volume = 0xC4},
                             columnCell(0xDF),
                             columnCell(0xDF),
                             columnCell(0xEF, setPanning, 250),
                             columnCell(0xA5),
                             columnCell(0xB3),
                             columnCell(0xA0)},
                            4));
    expectTicks(*song, {64, 64, 64, 64, 49, 34, 19, 4, 0, 0, 0, 0, 250, 255, 255, 255},
                [&] { return song->channels[0].panning; });
    runTicks(*song, 4);
    EXPECT_EQ(song->channels[0].vibratoSpeed, 5);
    runTicks(*song, 4);
    EXPECT_EQ(song->channels[0].vibratoDepth, 3);
    runTicks(*song, 1);
    EXPECT_EQ(song->channels[0].vibratoSpeed, 0);  // even to 0
}

TEST_F(TickingTest, TheVolumeColumnsTonePortamentoSlidesWithoutRestarting) {
    SongPtr song = start(rowsModule(
        {noteCell(kC4, 2, 0x40), columnCell(0xF1), {.note = kC4 + 1, .volume = 0xF1}}, 4));
    runTicks(*song, 4);
    const Channel& channel = song->channels[0];
    expectTicks(*song, {5376, 5312, 5248, 5184}, [&] { return channel.period; });
    EXPECT_EQ(channel.portamentoSpeed, 16);
    voiceAt(defaultMixer(), 0)->position = kMoved;
    runTicks(*song, 1);
    EXPECT_EQ(channel.portamentoTarget, 4608 - 64);
    EXPECT_EQ(voiceAt(defaultMixer(), 0)->position, kMoved);
}

TEST_F(TickingTest, PanningIsSetAndSlidWithin0To255) {
    SongPtr song = start(rowsModule({noteCell(kC4, setPanning, 0x40), effectCell(extended, 0x8C),
                                     effectCell(panningSlide, 0x20), effectCell(panningSlide, 0),
                                     effectCell(panningSlide, 0xF0), effectCell(panningSlide, 0),
                                     effectCell(panningSlide, 0x0F)},
                                    4));
    expectTicks(*song, {64,  64,  64,  64,  192, 192, 192, 192, 192, 194, 196, 198, 198, 200,
                        202, 204, 204, 219, 234, 249, 249, 255, 255, 255, 255, 240, 225, 210},
                [&] { return song->channels[0].panning; });
}

TEST_F(TickingTest, FineSlidesKeepTheirOwnMemories) {
    xm::Module module = rowsModule(
        {noteCell(kC4, extended, 0xA3), effectCell(extended, 0xA0), effectCell(extended, 0xB0),
         effectCell(extended, 0xB5), effectCell(extended, 0x12), effectCell(extended, 0x23),
         effectCell(extraFinePortamento, 0x13), effectCell(extraFinePortamento, 0x10),
         effectCell(extraFinePortamento, 0x21), effectCell(extraFinePortamento, 0x20)},
        2);
    module.instruments[0].samples[0].volume = 32;
    SongPtr song = start(module);
    const std::int32_t volumes[] = {35, 38, 35, 30};
    for (std::int32_t volume : volumes) {
        runTicks(*song, 2);
        EXPECT_EQ(song->channels[0].volume, volume);
    }
    const std::int32_t periods[] = {4600, 4612, 4609, 4606, 4607, 4608};
    for (std::int32_t period : periods) {
        runTicks(*song, 2);
        EXPECT_EQ(song->channels[0].period, period);
    }
}

TEST_F(TickingTest, MultiRetriggerChangesTheVolumeOnEachInterval) {
    xm::Module module =
        rowsModule({noteCell(kC4, multiRetrigger, 0x93), effectCell(multiRetrigger, 0),
                    effectCell(multiRetrigger, 0x62), effectCell(multiRetrigger, 0xF1)},
                   6);
    module.instruments[0].samples[0].volume = 32;
    SongPtr song = start(module);
    std::vector<std::int32_t> expected = {32, 32, 32, 33, 33, 33, 33, 33, 33, 34, 34, 34,
                                          34, 34, 22, 22, 14, 14, 14, 28, 56, 64, 64, 64};
    for (std::size_t tick = 0; tick < expected.size(); ++tick) {
        voiceAt(defaultMixer(), 0)->position = kMoved;
        runTicks(*song, 1);
        EXPECT_EQ(song->channels[0].volume, expected[tick]) << tick;
        const std::size_t inRow = tick % 6;
        const std::size_t interval = tick < 12 ? 3 : tick < 18 ? 2 : 1;
        const bool retriggered = tick == 0 || (inRow != 0 && inRow % interval == 0);
        EXPECT_EQ(voiceAt(defaultMixer(), 0)->position == 0, retriggered) << tick;
    }
}

TEST_F(TickingTest, FinetuneChangesTheSampleForLaterNotesButNeverTheSharedEmptyOne) {
    SongPtr song =
        start(rowsModule({noteCell(kC4, extended, 0x58),
                          noteCell(kC4),
                          {.note = kC4, .instrument = 5, .effect = extended, .parameter = 0x5F}},
                         1));
    runTicks(*song, 1);
    EXPECT_EQ(song->channels[0].period, 4608);
    runTicks(*song, 1);
    EXPECT_EQ(song->channels[0].period, 4604);
    runTicks(*song, 1);
    EXPECT_EQ(emptySample.finetune, 0);
}

// Every effect with a few parameters on channel 0 over notes of two instruments, every
// volume-column command on channel 1, tone portamentos on channel 2 and key offs on 3;
// a jump, a break and a loop lead through three orders to the end.
xm::Module everyCommand(bool linear) {
    constexpr std::uint16_t kChannels = 4;
    std::vector<xm::Cell> cells;
    std::int32_t row = 0;
    const auto addRow = [&](xm::Cell first) {
        const auto instrument = static_cast<std::uint8_t>(1 + row % 2);
        cells.push_back(first);
        cells.push_back({.note = static_cast<std::uint8_t>(30 + row % 40),
                         .instrument = instrument,
                         .volume = static_cast<std::uint8_t>(0x10 + (row * 7) % 0xF0)});
        cells.push_back({.note = static_cast<std::uint8_t>(40 + row % 20),
                         .volume = static_cast<std::uint8_t>(row % 3 == 0 ? 0xF3 : 0),
                         .effect = static_cast<std::uint8_t>(row % 2 == 0 ? 3 : 5),
                         .parameter = 0x21});
        cells.push_back(row % 8 == 7 ? xm::Cell{.note = xm::kKeyOff}
                                     : xm::Cell{.note = kC4, .instrument = instrument});
        ++row;
    };
    for (std::uint8_t number = 0; number <= 35; ++number) {
        if (number == positionJump || number == patternBreak || number == setSpeed) continue;
        for (std::uint8_t parameter : {0x00, 0x01, 0x37, 0x9F, 0xF2}) {
            if (number == extended && (parameter >> 4) == 6) continue;  // loops come below
            const auto instrument = static_cast<std::uint8_t>(1 + row % 2);
            addRow({.note = static_cast<std::uint8_t>(1 + row % 96),
                    .instrument = instrument,
                    .effect = number,
                    .parameter = parameter});
        }
    }
    for (std::uint8_t y = 0; y < 16; ++y)
        addRow(effectCell(extended, static_cast<std::uint8_t>(0xE0 | y)));
    for (std::uint8_t parameter : {0x00, 0x03, 0x1F, 0x20, 0xFF})
        addRow(effectCell(setSpeed, parameter));
    addRow(effectCell(setSpeed, 3));
    addRow(effectCell(positionJump, 1));
    const auto firstRows = static_cast<std::uint16_t>(row);

    std::vector<xm::Cell> breaking(16 * kChannels);
    breaking[4 * kChannels] = effectCell(patternBreak, 0x08);
    std::vector<xm::Cell> looping(16 * kChannels);
    looping[2 * kChannels] = effectCell(extended, 0x60);
    looping[5 * kChannels] = effectCell(extended, 0x63);

    xm::Module module = patternsModule({cells, breaking, looping}, 3, kChannels);
    module.patterns[0].rows = firstRows;
    module.linearFrequencies = linear;
    module.bpm = 255;
    xm::Instrument& first = module.instruments[0];
    first.samples[0] = rampSample(300);
    first.samples[0].loop = xm::Loop::forward;
    first.samples[0].loopStart = 100;
    first.samples[0].loopLength = 200;
    first.volumeEnvelope = {.points = {{0, 0}, {3, 64}, {6, 40}, {12, 50}, {20, 0}},
                            .sustainPoint = 2,
                            .loopStart = 1,
                            .loopEnd = 3,
                            .type = 1 | 2 | 4};
    first.panningEnvelope = {
        .points = {{0, 0}, {5, 64}, {10, 32}}, .loopStart = 0, .loopEnd = 2, .type = 1 | 4};
    first.vibratoType = 1;
    first.vibratoSweep = 8;
    first.vibratoDepth = 8;
    first.vibratoRate = 20;
    first.fadeout = 300;
    xm::Instrument pingPong = first;
    pingPong.samples[0] = rampSample(80, false);
    pingPong.samples[0].loop = xm::Loop::pingPong;
    pingPong.samples[0].loopLength = 80;
    pingPong.samples[0].relativeNote = -24;
    pingPong.volumeEnvelope = {};
    pingPong.vibratoType = 0;
    pingPong.vibratoSweep = 0;
    module.instruments.push_back(pingPong);
    return module;
}

TEST_F(TickingTest, AModuleWithEveryCommandRendersToItsEnd) {
    for (bool linear : {true, false}) {
        SongPtr song = start(everyCommand(linear));
        std::vector<std::int16_t> frames(2 * 4096);
        bool sounded = false;
        for (std::int32_t chunk = 0; chunk < 2000 && !songEnded(song.get()); ++chunk) {
            ASSERT_EQ(renderAudio(frames.data(), 4096), 4096);
            for (std::int16_t frame : frames)
                sounded = sounded || frame != 0;
        }
        EXPECT_TRUE(songEnded(song.get())) << linear;
        EXPECT_TRUE(sounded) << linear;
        EXPECT_EQ(emptySample.finetune, 0);
    }
}

}  // namespace
}  // namespace vorn3
