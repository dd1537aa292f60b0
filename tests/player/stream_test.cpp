#include <gtest/gtest.h>

#include <cstring>

#include "mixer/mixer_state.h"
#include "player/stream.h"
#include "shell/music.h"
#include "shell/resource_stream.h"
#include "tests/player/player_fixture.h"

namespace vorn3 {
namespace {

constexpr char kMissingMessage[] = "Vorn3 : Couldn't Find resource!\n";

class ResourceStreamTest : public PlayerTest {
protected:
    void SetUp() override {
        PlayerTest::SetUp();
        serve({10, 11, 12, 13, 14, 15, 16, 17, 18, 19});
        handle_ = glint::resourceOpen("ignored");
    }
    void TearDown() override {
        glint::resourceClose(handle_);
        PlayerTest::TearDown();
    }

    void* handle_ = nullptr;
};

TEST_F(ResourceStreamTest, SeeksStayWithinTheResource) {
    EXPECT_EQ(glint::resourceSeek(handle_, 4, kSeekFromStart), handle_);
    EXPECT_EQ(glint::resourceTell(handle_), 4);
    glint::resourceSeek(handle_, 3, kSeekFromCurrent);
    EXPECT_EQ(glint::resourceTell(handle_), 7);
    glint::resourceSeek(handle_, -5, kSeekToEnd);  // the offset is ignored
    EXPECT_EQ(glint::resourceTell(handle_), 10);
    glint::resourceSeek(handle_, 2, kSeekFromStart);
    glint::resourceSeek(handle_, 2, 7);  // unknown whence
    EXPECT_EQ(glint::resourceTell(handle_), 2);
    glint::resourceSeek(handle_, 50, kSeekFromCurrent);
    EXPECT_EQ(glint::resourceTell(handle_), 10);
    glint::resourceSeek(handle_, -50, kSeekFromCurrent);
    EXPECT_EQ(glint::resourceTell(handle_), 0);
}

TEST_F(ResourceStreamTest, ReadsStopAtTheEnd) {
    std::uint8_t buffer[8];
    std::memset(buffer, 0xEE, sizeof buffer);
    glint::resourceSeek(handle_, 7, kSeekFromStart);
    EXPECT_EQ(glint::resourceRead(buffer, 8, handle_), 3);
    EXPECT_EQ(buffer[0], 17);
    EXPECT_EQ(buffer[2], 19);
    EXPECT_EQ(buffer[3], 0xEE);
    EXPECT_EQ(glint::resourceTell(handle_), 10);
    EXPECT_EQ(glint::resourceRead(buffer, 8, handle_), 0);
    EXPECT_EQ(buffer[0], 17);
    glint::resourceSeek(handle_, 0, kSeekFromStart);
    EXPECT_EQ(glint::resourceRead(buffer, -3, handle_), 0);
    EXPECT_EQ(glint::resourceTell(handle_), 0);
}

TEST_F(ResourceStreamTest, TheStreamLayerForwardsToTheCallbacks) {
    SongStream* stream = streamOpen("any name");
    ASSERT_NE(stream, nullptr);
    std::uint8_t buffer[4] = {};
    EXPECT_EQ(streamRead(buffer, 4, stream), 4);
    EXPECT_EQ(buffer[3], 13);
    EXPECT_NE(streamSeek(stream, 1, kSeekFromCurrent), nullptr);
    EXPECT_EQ(streamTell(stream), 5);
    streamClose(stream);

    EXPECT_EQ(streamRead(buffer, 4, nullptr), 0);
    EXPECT_EQ(streamSeek(nullptr, 0, kSeekFromStart), nullptr);
    EXPECT_EQ(streamTell(nullptr), 0);
    streamClose(nullptr);
}

TEST_F(ResourceStreamTest, ANullCallbackClearsAllFive) {
    setStreamCallbacks(glint::resourceOpen, glint::resourceClose, nullptr, glint::resourceSeek,
                       glint::resourceTell);
    EXPECT_EQ(streamOpen("intro.xm"), nullptr);
    EXPECT_FALSE(openAudio(44100));
}

using MusicTest = PlayerTest;

TEST_F(MusicTest, AnyNameYieldsTheSongResource) {
    serve(xm::writeModule(smallModule()));
    for (const char* name : {"intro.xm", "", "other.mod"}) {
        SongPtr song(songCreate(name, nullptr));
        EXPECT_TRUE(song) << name;
    }
}

TEST_F(MusicTest, StartMusicPlaysTheSongResource) {
    xm::Module module = smallModule();
    module.bpm = 135;
    serve(xm::writeModule(module));
    ASSERT_TRUE(glint::startMusic());
    Song* song = glint::currentSong();
    ASSERT_NE(song, nullptr);
    EXPECT_TRUE(song->playing);
    EXPECT_EQ(song->samplesPerTick, 816);
    EXPECT_EQ(mixerState().output.bufferLengthMs, 1000);
    EXPECT_EQ(mixerState().output.ringFrames, 88400);

    glint::useResources({});
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(glint::startMusic());
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), kMissingMessage);
    EXPECT_EQ(glint::currentSong(), nullptr);
    EXPECT_EQ(songGetOrder(glint::currentSong()), 0);
    EXPECT_EQ(songGetRow(glint::currentSong()), 0);
}

}  // namespace
}  // namespace vorn3
