// The tick and row engine: tick and row timing, positions, notes, periods and what
// reaches the voices.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "mixer/mix.h"
#include "mixer/mixer.h"
#include "mixer/output.h"
#include "player/envelope.h"
#include "player/tick.h"
#include "support/player_fixture.h"

namespace vorn3 {
namespace {

constexpr std::uint8_t kC4 = 49;  // file note
constexpr std::uint8_t kE4 = 53;

// Frames at which the song's ticks and row ticks came, mixing one frame at a time.
struct TickLog {
    std::int32_t frame = 0;
    std::vector<std::int32_t> ticks;
    std::vector<std::int32_t> rowTicks;
};
TickLog tickLog;

void recordTick(Song& song) {
    tickLog.ticks.push_back(tickLog.frame);
    if (song.tick == 0) tickLog.rowTicks.push_back(tickLog.frame);
    songTick(song);
}

class TickTest : public PlayerTest {
protected:
    void SetUp() override {
        PlayerTest::SetUp();
        ASSERT_TRUE(openAudio(44100));
        tickLog = {};
    }

    SongPtr start(const xm::Module& module) {
        SongPtr song = load(module);
        EXPECT_TRUE(songStart(song.get()));
        return song;
    }

    void mixFrameByFrame(std::int32_t frames) {
        for (std::int32_t i = 0; i < frames; ++i) {
            float out[2] = {};
            mixClients(defaultMixer(), out, 1);
            ++tickLog.frame;
        }
    }

    // Runs whole ticks through the song's hook.
    static void runTicks(Song& song, std::int32_t ticks) {
        for (std::int32_t i = 0; i < ticks; ++i)
            song.tickHook(song);
    }
};

xm::Module timedModule() {
    xm::Module module = smallModule();
    module.tempo = 7;
    module.bpm = 135;
    return module;
}

xm::Cell note(std::uint8_t value, std::uint8_t instrument = 1) {
    return {.note = value, .instrument = instrument};
}

// A module of one channel whose rows are `cells`.
xm::Module oneChannel(std::vector<xm::Cell> cells) {
    xm::Module module = smallModule();
    module.channels = 1;
    module.patterns[0].rows = static_cast<std::uint16_t>(cells.size());
    module.patterns[0].cells = std::move(cells);
    return module;
}

TEST_F(TickTest, TicksCome816FramesApartAndRows5712At135BpmSpeed7) {
    SongPtr song = start(timedModule());
    song->tickHook = recordTick;
    mixFrameByFrame(3 * 5712 + 1);
    ASSERT_EQ(tickLog.ticks.size(), 22u);
    for (std::size_t i = 0; i < tickLog.ticks.size(); ++i)
        EXPECT_EQ(tickLog.ticks[i], static_cast<std::int32_t>(i) * 816) << i;
    EXPECT_EQ(tickLog.rowTicks, (std::vector<std::int32_t>{0, 5712, 11424, 17136}));
    EXPECT_EQ(songGetRow(song.get()), 3);
}

TEST_F(TickTest, ATempoChangeSetsTheLengthOfItsOwnTick) {
    xm::Module module = timedModule();
    module.patterns[0].cells.resize(2 * 4);
    module.patterns[0].cells[4] = {.effect = 15, .parameter = 125};  // row 1: 125 BPM
    SongPtr song = start(module);
    song->tickHook = recordTick;
    mixFrameByFrame(5712 + 3 * 882);
    ASSERT_GE(tickLog.ticks.size(), 10u);
    EXPECT_EQ(tickLog.ticks[6], 6 * 816);
    EXPECT_EQ(tickLog.ticks[7], 5712);
    EXPECT_EQ(tickLog.ticks[8], 5712 + 882);
    EXPECT_EQ(tickLog.ticks[9], 5712 + 2 * 882);
    EXPECT_EQ(song->client.samplesPerTick, 882);
}

TEST_F(TickTest, SpeedZeroMakesEveryTickARowTick) {
    xm::Module module = timedModule();
    module.patterns[0].cells.resize(4);
    module.patterns[0].cells[0] = {.effect = 15, .parameter = 0};
    SongPtr song = start(module);
    runTicks(*song, 1);
    EXPECT_EQ(song->speed, 0);
    for (std::int32_t row = 1; row < 6; ++row) {
        EXPECT_EQ(song->tick, 0);
        runTicks(*song, 1);
        EXPECT_EQ(songGetRow(song.get()), row);
    }
}

TEST_F(TickTest, AfterTheLastOrderPlaybackGoesOnAtTheRestartPosition) {
    xm::Module module = smallModule();
    module.tempo = 2;
    module.orders = {0, 1, 0};
    module.restartPosition = 1;
    module.patterns = {{.rows = 1}, {.rows = 2}};
    SongPtr song = start(module);
    const std::pair<std::int32_t, std::int32_t> rowOfTick[] = {{0, 0}, {1, 0}, {1, 1}, {2, 0},
                                                               {1, 0}, {1, 1}, {2, 0}};
    for (std::size_t row = 0; row < std::size(rowOfTick); ++row) {
        runTicks(*song, 1);
        EXPECT_EQ(songGetOrder(song.get()), rowOfTick[row].first) << row;
        EXPECT_EQ(songGetRow(song.get()), rowOfTick[row].second) << row;
        EXPECT_EQ(songEnded(song.get()), row >= 3) << row;  // set on the last row's row tick
        runTicks(*song, 1);
    }
}

TEST_F(TickTest, LinearC4HasPeriod4608AndPlaysAt8363Hz) {
    SongPtr song = start(oneChannel({note(kC4)}));
    runTicks(*song, 1);
    const Channel& channel = song->channels[0];
    EXPECT_EQ(channel.note, 48);
    EXPECT_EQ(channel.period, 4608);
    EXPECT_EQ(voiceAt(defaultMixer(), 0)->frequency, 8363);
    EXPECT_EQ(voiceAt(defaultMixer(), 0)->sample, &instrumentSample(*song, 0, 0));
}

TEST_F(TickTest, FinetuneAndRelativeNoteMoveTheLinearPeriod) {
    xm::Module module = oneChannel({note(kC4)});
    module.instruments[0].samples[0].finetune = -16;
    module.instruments[0].samples[0].relativeNote = 12;
    SongPtr song = start(module);
    runTicks(*song, 1);
    EXPECT_EQ(song->channels[0].baseNote, 60);
    EXPECT_EQ(song->channels[0].period, 7680 - 64 * 60 + 8);
}

TEST_F(TickTest, AmigaC4HasPeriod1712AndPlaysAt8362Hz) {
    xm::Module module = oneChannel({note(kC4)});
    module.linearFrequencies = false;
    SongPtr song = start(module);
    runTicks(*song, 1);
    EXPECT_EQ(song->channels[0].period, 1712);
    EXPECT_EQ(voiceAt(defaultMixer(), 0)->frequency, 8362);
}

TEST(AmigaPeriodTest, OctavesHalveThePeriodAndFinetuneMovesTowardTheNextNote) {
    EXPECT_EQ(amigaPeriod(0, 0), 27392);
    EXPECT_EQ(amigaPeriod(36, 0), 3424);
    EXPECT_EQ(amigaPeriod(48, 0), 1712);
    EXPECT_EQ(amigaPeriod(60, 0), 856);
    EXPECT_EQ(amigaPeriod(48, 64), 1712 - (1712 - 1615) * 64 / 128);
    EXPECT_EQ(amigaPeriod(48, -64), 1712 + (1813 - 1712) * 64 / 128);
    EXPECT_EQ(amigaPeriod(0, -64), 27392 - (27392 - 25854) * -64 / 128);
}

TEST_F(TickTest, ANoteTakesItsSamplesVolumeAndPanning) {
    xm::Module module = oneChannel({note(kC4)});
    module.instruments[0].samples[0].volume = 32;
    module.instruments[0].samples[0].panning = 200;
    SongPtr song = start(module);
    runTicks(*song, 1);
    const Voice& voice = *voiceAt(defaultMixer(), 0);
    EXPECT_EQ(voice.volume, 63);  // 32 × 64 × 65536 × 64 × 255 / 2^35 = 63.75
    EXPECT_EQ(voice.panning, 200);
    EXPECT_EQ(voice.rightVolume, 200 * 63 / 255);

    NoteOutput full{};
    full.flags = kUpdateVolume;
    full.volume = 64;
    full.channelVolume = kFullChannelVolume;
    updateVoice(*song, song->channels[0].playing, full, emptySample);
    EXPECT_EQ(voice.volume, 127);  // everything at full
}

TEST_F(TickTest, ThePanningEnvelopeMovesPanningByUpToFourPerStep) {
    SongPtr song = start(oneChannel({note(kC4)}));
    runTicks(*song, 1);
    Note& note = song->channels[0].playing;
    note.panningEnvelope.output = 40;
    NoteOutput output{};
    output.flags = kUpdatePanning;
    output.panning = 128;
    updateVoice(*song, note, output, emptySample);
    EXPECT_EQ(voiceAt(defaultMixer(), 0)->panning, 128 + 4 * 8);
    output.panning = 240;  // (128 - 112) / 32 = 0: no room
    updateVoice(*song, note, output, emptySample);
    EXPECT_EQ(voiceAt(defaultMixer(), 0)->panning, 240);
}

TEST_F(TickTest, ATonePortamentoRowKeepsNoteAndInstrumentAndAimsAtItsNote) {
    xm::Module module =
        oneChannel({note(kC4), {.note = kE4, .instrument = 2, .effect = 3, .parameter = 0x10}});
    module.instruments.push_back(module.instruments[0]);
    module.tempo = 4;
    SongPtr song = start(module);
    runTicks(*song, 4);
    Voice& voice = *voiceAt(defaultMixer(), 0);
    const std::uint64_t positionBefore = voice.position = std::uint64_t{9} << 32;

    runTicks(*song, 1);
    const Channel& channel = song->channels[0];
    EXPECT_EQ(channel.note, 48);
    EXPECT_EQ(channel.instrument, 0);
    EXPECT_EQ(channel.notePeriod, 7680 - 64 * 52);
    EXPECT_EQ(channel.portamentoTarget, channel.notePeriod);
    EXPECT_EQ(channel.period, 4608);
    EXPECT_EQ(voice.position, positionBefore);  // not restarted
    runTicks(*song, 1);
    EXPECT_EQ(channel.period, 4608 - 0x10 * 4);
    runTicks(*song, 2);
    EXPECT_EQ(channel.period, 4608 - 3 * 0x10 * 4);
}

TEST_F(TickTest, AnInstrumentBeyondTheCountPlaysSilence) {
    SongPtr song = start(oneChannel({note(kC4, 5)}));
    runTicks(*song, 1);
    Voice& voice = *voiceAt(defaultMixer(), 0);
    EXPECT_EQ(voice.sample, &emptySample);
    std::vector<float> out(64, 0.0f);
    mixVoices(defaultMixer(), out.data(), 32);
    EXPECT_EQ(voice.sample, nullptr);
    EXPECT_EQ(out, std::vector<float>(64, 0.0f));
}

TEST_F(TickTest, KeyOffWithoutAVolumeEnvelopeSilencesOnItsRowTick) {
    SongPtr song = start(oneChannel({note(kC4), {.note = xm::kKeyOff}}));
    runTicks(*song, 6);
    EXPECT_GT(voiceAt(defaultMixer(), 0)->volume, 0);
    runTicks(*song, 1);
    EXPECT_TRUE(song->channels[0].playing.keyOff);
    EXPECT_EQ(voiceAt(defaultMixer(), 0)->volume, 0);
}

TEST_F(TickTest, AVolumeEnvelopeFallsTickByTickAndEndsDone) {
    xm::Module module = oneChannel({note(kC4)});
    module.tempo = 16;
    module.instruments[0].volumeEnvelope = {.points = {{0, 64}, {10, 0}}, .type = 1};
    SongPtr song = start(module);
    // The note starts at 64; each tick's step comes before the voice is set.
    const std::int32_t expected[] = {57, 51, 44, 38, 32, 25, 19, 12, 6, 0, 0};
    for (std::int32_t output : expected) {
        EXPECT_FALSE(song->channels[0].playing.volumeEnvelope.done);
        runTicks(*song, 1);
        EXPECT_EQ(song->channels[0].playing.volumeEnvelope.output, output);
    }
    EXPECT_TRUE(song->channels[0].playing.volumeEnvelope.done);
}

TEST_F(TickTest, AKeyOffReleasesTheSustainAndStartsTheFadeout) {
    xm::Module module = oneChannel({note(kC4), {}, {.note = xm::kKeyOff}});
    module.tempo = 8;
    module.instruments[0].volumeEnvelope = {
        .points = {{0, 64}, {4, 32}, {8, 0}}, .sustainPoint = 1, .type = 1 | 2};
    module.instruments[0].fadeout = 1000;
    SongPtr song = start(module);
    runTicks(*song, 16);
    const Channel& channel = song->channels[0];
    EXPECT_EQ(channel.playing.volumeEnvelope.output, 32);  // held at the sustain point
    EXPECT_EQ(channel.playing.fadeoutVolume, 65536);
    runTicks(*song, 5);
    EXPECT_EQ(channel.playing.volumeEnvelope.output, 0);
    EXPECT_EQ(channel.playing.fadeoutVolume, 65536 - 5 * 2000);
}

TEST_F(TickTest, RowsOutsideThePatternReadAsEmpty) {
    SongPtr song = start(oneChannel({note(kC4), note(kC4)}));
    runTicks(*song, 6);
    song->nextRow = 40;  // a row the pattern lacks
    runTicks(*song, 1);
    EXPECT_EQ(songGetRow(song.get()), 40);
    EXPECT_EQ(song->nextOrder, 0);
    EXPECT_EQ(song->nextRow, 0);
    song->currentRow = -1;  // a row no pattern has
    runTicks(*song, 1);
    EXPECT_EQ(songGetRow(song.get()), -1);
}

TEST_F(TickTest, AutoVibratoSwingsThePeriodWithinItsDepth) {
    xm::Module module = oneChannel({note(kC4)});
    module.tempo = 32;
    module.instruments[0].vibratoDepth = 4;
    module.instruments[0].vibratoRate = 21;
    SongPtr song = start(module);
    std::int32_t lowest = 0;
    std::int32_t highest = 0;
    for (std::int32_t tick = 0; tick < 24; ++tick) {
        runTicks(*song, 1);
        lowest = std::min(lowest, song->channels[0].periodDelta);
        highest = std::max(highest, song->channels[0].periodDelta);
    }
    EXPECT_EQ(lowest, -4);
    EXPECT_EQ(highest, 3);
}

// Formats that let notes go do so by their instruments; none loaded here does, so the
// test sets the instrument's action itself. A note let go keeps its voice and ticks its
// own volume envelope, from 64 down to 0 over ten ticks, while the channel plays the next
// note on another voice; a note off releases it, a fade fades it.
TEST_F(TickTest, ALetGoNoteTicksItsEnvelopeOnItsVoiceWhileTheChannelPlaysOn) {
    constexpr std::int32_t kSpeed = 3;
    constexpr std::int32_t kEnvelopeTicks = 10;
    // The voice volume of a note at full volume whose envelope has taken `steps` steps.
    const auto expectedVolume = [](std::int32_t steps) {
        const std::int64_t slope = -64 * 65536 / kEnvelopeTicks;  // 16.16 per tick
        const std::int64_t envelope = std::max<std::int64_t>(64 * 65536 + steps * slope, 0) >> 16;
        return static_cast<std::int32_t>(64 * envelope * 65536 * 64 * 255 >> 35);
    };
    const struct {
        NewNoteAction action;
        std::int32_t letGo;
        bool keyOff;
        bool fading;
    } tests[] = {{NewNoteAction::cut, 0, false, false},
                 {NewNoteAction::continuePlaying, 1, false, false},
                 {NewNoteAction::noteOff, 1, true, false},
                 {NewNoteAction::fade, 1, false, true}};
    for (const auto& test : tests) {
        SCOPED_TRACE(static_cast<int>(test.action));
        xm::Module module = oneChannel({note(kC4), note(kE4), {}, {}, {}, {}, {}, {}});
        module.tempo = kSpeed;
        xm::Instrument& instrument = module.instruments[0];
        instrument.samples[0].loop = xm::Loop::forward;
        instrument.samples[0].loopLength = 64;
        instrument.volumeEnvelope = {.points = {{0, 64}, {kEnvelopeTicks, 0}}, .type = kEnvelopeOn};
        SongPtr song = start(module);
        const_cast<Instrument&>(song->module->instruments[0]).newNoteAction = test.action;
        runTicks(*song, kSpeed + 1);
        ASSERT_EQ(song->letGoCount, test.letGo);
        const Channel& channel = song->channels[0];
        if (test.letGo == 0) {
            EXPECT_EQ(channel.playing.voiceIndex, 0);
            continue;
        }
        const Note& letGo = song->letGoNotes[0].note;
        EXPECT_EQ(letGo.voiceIndex, 0);
        EXPECT_EQ(channel.playing.voiceIndex, 1);
        EXPECT_EQ(letGo.keyOff, test.keyOff);
        EXPECT_EQ(letGo.fading, test.fading);
        if (test.action != NewNoteAction::continuePlaying) continue;
        for (std::int32_t tick = kSpeed + 1; tick <= kEnvelopeTicks; ++tick) {
            EXPECT_EQ(voiceAt(defaultMixer(), 0)->volume, expectedVolume(tick)) << tick;
            EXPECT_EQ(voiceAt(defaultMixer(), 1)->volume, expectedVolume(tick - kSpeed)) << tick;
            runTicks(*song, 1);
        }
        runTicks(*song, 2);
        EXPECT_EQ(song->letGoCount, 0);  // its envelope ended at 0
        EXPECT_EQ(voiceAt(defaultMixer(), 0)->sample, nullptr);
        EXPECT_NE(voiceAt(defaultMixer(), 1)->sample, nullptr);
    }
}

// No format loaded here has stereo samples, so the test gives the loaded sample a right
// channel itself: it plays on a voice of its own, at the left's pitch and volume, the two
// either side of the note's panning, as far apart as it leaves room for.
TEST_F(TickTest, AStereoSamplePlaysItsChannelsOnTwoVoicesEitherSideOfThePanning) {
    const struct {
        std::uint8_t panning;
        std::int32_t separation;
        std::int32_t left;
        std::int32_t right;
    } tests[] = {{128, 100, 1, 255}, {64, 100, 0, 128}, {200, 100, 145, 255}, {128, 50, 65, 191}};
    for (const auto& test : tests) {
        SCOPED_TRACE(test.panning);
        xm::Module module = oneChannel({note(kC4)});
        module.instruments[0].samples[0].panning = test.panning;
        SongPtr song = load(module);
        auto& loaded = const_cast<Module&>(*song->module);
        Sample& right = loaded.rightChannels[0];
        right = loaded.samples[0];
        right.data = allocateFrames(right.length);
        setStereoSeparation(song.get(), test.separation);
        ASSERT_TRUE(songStart(song.get()));
        runTicks(*song, 1);
        const Voice& leftVoice = *voiceAt(defaultMixer(), 0);
        const Voice& rightVoice = *voiceAt(defaultMixer(), 1);
        EXPECT_EQ(leftVoice.sample, &loaded.samples[0]);
        EXPECT_EQ(rightVoice.sample, &right);
        EXPECT_EQ(rightVoice.frequency, leftVoice.frequency);
        EXPECT_EQ(rightVoice.volume, leftVoice.volume);
        EXPECT_EQ(leftVoice.panning, test.left);
        EXPECT_EQ(rightVoice.panning, test.right);
    }
}

}  // namespace
}  // namespace vorn3
