#include <gtest/gtest.h>

#include "mixer/mixer.h"
#include "mixer/voice.h"
#include "player/player.h"
#include "support/player_fixture.h"

namespace vorn3 {
namespace {

using SongTest = PlayerTest;

std::vector<Song*> startedSongs() {
    std::vector<Song*> songs;
    ListLink& head = defaultMixer().clients;
    for (ListLink* link = head.next; link != &head; link = link->next) {
        songs.push_back(&listRecord<Song>(link));
    }
    return songs;
}

TEST_F(SongTest, BufferLengthIsAMultipleOf20AndAtLeast20) {
    const std::pair<std::int32_t, std::int32_t> cases[] = {
        {5, 20}, {-40, 20}, {1000, 1000}, {1019, 1000}, {1020, 1020}};
    for (auto [asked, stored] : cases) {
        EXPECT_TRUE(setBufferLength(asked));
        EXPECT_EQ(defaultMixer().output.bufferLengthMs, stored) << asked;
    }
}

TEST_F(SongTest, NullSongs) {
    EXPECT_EQ(songGetOrder(nullptr), 0);
    EXPECT_EQ(songGetRow(nullptr), 0);
    EXPECT_FALSE(songStart(nullptr));
    EXPECT_FALSE(songStop(nullptr));
    EXPECT_FALSE(songFree(nullptr));
    setBpm(nullptr, 125);
}

TEST_F(SongTest, OpenAudioNeedsTheStreamCallbacks) {
    setStreamCallbacks(nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_FALSE(openAudio(44100));
    EXPECT_EQ(defaultMixer().voicePool, nullptr);
}

TEST_F(SongTest, OpenAudioDerivesTheOutputSettings) {
    ASSERT_TRUE(openAudio(44100));
    const OutputSettings& output = defaultMixer().output;
    EXPECT_EQ(output.outputRate, 44100);
    EXPECT_EQ(output.chunkFrames, 884);
    EXPECT_EQ(output.ringFrames, 17680);  // the default 200 ms, doubled
    EXPECT_EQ(output.rampFrames, 128);
    EXPECT_FLOAT_EQ(output.secondsPerFrame, 1.0f / 44100);

    setBufferLength(1000);
    ASSERT_TRUE(openAudio(44100));
    EXPECT_EQ(output.ringFrames, 88400);
    ASSERT_TRUE(openAudio(48000));
    EXPECT_EQ(output.chunkFrames, 960);
    EXPECT_EQ(output.rampFrames, 139);

    EXPECT_FALSE(openAudio(0));
    EXPECT_EQ(defaultMixer().voicePool, nullptr);  // the open output was closed first
}

TEST_F(SongTest, ThePoolHoldsEveryVoiceInIndexOrderAndNonePlays) {
    ASSERT_TRUE(openAudio(44100));
    for (std::int32_t i = 0; i < kVoiceCount; ++i) {
        const Voice& voice = *voiceAt(defaultMixer(), i);
        EXPECT_EQ(voice.index, i);
        EXPECT_EQ(voice.sample, nullptr);
        EXPECT_EQ(voice.panning, 0);
    }
    for (const std::uint64_t word : defaultMixer().playing.words)
        EXPECT_EQ(word, 0u);
    closeAudio();
    EXPECT_EQ(voiceAt(defaultMixer(), 0), nullptr);
}

TEST_F(SongTest, FramesPerTickFollowTheBpmAndTheRate) {
    ASSERT_TRUE(openAudio(44100));
    SongPtr song = load(smallModule());
    ASSERT_TRUE(song);
    setBpm(song.get(), 135);
    EXPECT_EQ(song->bpm, 135);
    EXPECT_EQ(song->client.samplesPerTick, 816);
    setBpm(song.get(), 125);
    EXPECT_EQ(song->client.samplesPerTick, 882);
    setBpm(song.get(), 0);
    EXPECT_EQ(song->bpm, 125);

    ASSERT_TRUE(songStart(song.get()));
    ASSERT_TRUE(openAudio(22050));
    EXPECT_EQ(song->client.samplesPerTick, 441);  // started songs follow a new rate
}

TEST_F(SongTest, StartingNeedsAnOpenOutput) {
    SongPtr song = load(smallModule());
    ASSERT_TRUE(song);
    EXPECT_FALSE(songStart(song.get()));
    EXPECT_TRUE(startedSongs().empty());
}

TEST_F(SongTest, StartSetsThePlaybackStateAndBindsChannelsToVoices) {
    ASSERT_TRUE(openAudio(44100));
    xm::Module module = smallModule();
    module.channels = 6;
    module.tempo = 7;
    module.bpm = 135;
    SongPtr song = load(module);
    ASSERT_TRUE(song);
    song->globalVolume = 3;
    song->ended = true;
    song->currentRow = 9;
    song->nextOrder = 4;
    ASSERT_TRUE(songStart(song.get()));
    EXPECT_TRUE(song->client.playing);
    EXPECT_FALSE(song->ended);
    EXPECT_EQ(song->globalVolume, 64);
    EXPECT_EQ(song->speed, 7);
    EXPECT_EQ(song->client.samplesPerTick, 816);
    EXPECT_EQ(song->client.samplesLeftInTick, 0);
    EXPECT_EQ(song->nextOrder, -1);
    EXPECT_EQ(song->nextRow, -1);
    EXPECT_EQ(songGetRow(song.get()), 0);
    EXPECT_EQ(songGetOrder(song.get()), 0);
    ASSERT_NE(song->channels, nullptr);
    for (std::int32_t i = 0; i < 6; ++i)
        EXPECT_EQ(song->channels[i].playing.voiceIndex, i);
    EXPECT_EQ(startedSongs(), std::vector<Song*>{song.get()});
}

TEST_F(SongTest, RestartingKeepsOneEntryAndSongsListInStartOrder) {
    ASSERT_TRUE(openAudio(44100));
    SongPtr first = load(smallModule());
    SongPtr second = load(smallModule());
    ASSERT_TRUE(songStart(first.get()));
    ASSERT_TRUE(songStart(second.get()));
    ASSERT_TRUE(songStart(first.get()));
    EXPECT_EQ(startedSongs(), (std::vector<Song*>{second.get(), first.get()}));
    first.reset();
    EXPECT_EQ(startedSongs(), std::vector<Song*>{second.get()});
}

TEST_F(SongTest, StopUnlinksAndSilencesTheSongsVoices) {
    ASSERT_TRUE(openAudio(44100));
    SongPtr song = load(smallModule());
    ASSERT_TRUE(songStart(song.get()));
    const Sample* sample = &instrumentSample(*song, 0, 0);
    for (std::int32_t i = 0; i < 5; ++i)
        ASSERT_EQ(triggerVoice(defaultMixer(), i, sample), i);
    voiceAt(defaultMixer(), 1)->position = std::uint64_t{7} << 32;
    ASSERT_TRUE(songStop(song.get()));
    EXPECT_FALSE(song->client.playing);
    EXPECT_EQ(song->channels, nullptr);
    EXPECT_TRUE(startedSongs().empty());
    EXPECT_EQ(song->client.link.next, &song->client.link);
    for (std::int32_t i = 0; i < 4; ++i)
        EXPECT_EQ(voiceAt(defaultMixer(), i)->sample, nullptr);
    EXPECT_EQ(voiceAt(defaultMixer(), 1)->position, 0u);
    EXPECT_EQ(voiceAt(defaultMixer(), 4)->sample, sample);  // not one of the song's four channels
    EXPECT_TRUE(songStop(song.get()));
}

TEST_F(SongTest, PositionsStayOnARowThroughAllItsTicks) {
    ASSERT_TRUE(openAudio(44100));
    xm::Module module = smallModule();
    module.tempo = 3;
    module.orders = {0, 1};
    module.patterns = {{.rows = 2}, {.rows = 1}};
    module.restartPosition = 1;
    SongPtr song = load(module);
    ASSERT_TRUE(songStart(song.get()));
    auto position = [&] { return std::pair{songGetOrder(song.get()), songGetRow(song.get())}; };
    const std::pair<std::int32_t, std::int32_t> rowOfTick[] = {
        {0, 0}, {0, 0}, {0, 0}, {0, 1}, {0, 1}, {0, 1}, {1, 0}, {1, 0}, {1, 0}, {1, 0}};
    for (std::size_t tick = 0; tick < std::size(rowOfTick); ++tick) {
        song->tickHook(*song);
        EXPECT_EQ(position(), rowOfTick[tick]) << tick;
        EXPECT_EQ(song->ended, tick >= 6) << tick;
    }
}

TEST_F(SongTest, CreatingFailsWithoutAStream) {
    serve(xm::writeModule(smallModule()));
    setStreamCallbacks(nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(songCreate("test.xm", nullptr), nullptr);
}

}  // namespace
}  // namespace vorn3
