// The show's music: the song resource read through the resource stream, played through
// the device the show gives or, without one, silently.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "mixer/mixer.h"
#include "platform/resources.h"
#include "player/song.h"
#include "shell/music.h"
#include "shell/resource_stream.h"
#include "support/player_fixture.h"

namespace vorn3 {
namespace {

constexpr char kMissingMessage[] = "Vorn3 : Couldn't Find resource!\n";
constexpr std::int32_t kChunk = 884;

// The library's set-up with the show's resources as the stream callbacks.
class ResourceTest : public PlayerTest {
protected:
    void SetUp() override {
        PlayerTest::SetUp();
        setStreamCallbacks(glint::resourceOpen, glint::resourceClose, memoryRead, memorySeek,
                           memoryTell);
    }
    void TearDown() override {
        PlayerTest::TearDown();
        glint::useResources({});
    }

    // Serves `bytes` as the song resource until the next call.
    void serveResource(std::vector<std::uint8_t> bytes) {
        served_ = std::move(bytes);
        table_[0] = {glint::ResourceType::rcData, glint::kSongResourceId, served_.data(),
                     static_cast<std::uint32_t>(served_.size())};
        glint::useResources(table_);
    }

private:
    std::vector<std::uint8_t> served_;
    std::array<glint::ResourceEntry, 1> table_{};
};

class ResourceStreamTest : public ResourceTest {
protected:
    void SetUp() override {
        ResourceTest::SetUp();
        serveResource({10, 11, 12, 13, 14, 15, 16, 17, 18, 19});
        handle_ = glint::resourceOpen("ignored");
    }
    void TearDown() override {
        glint::resourceClose(handle_);
        ResourceTest::TearDown();
    }

    void* handle_ = nullptr;
};

TEST_F(ResourceStreamTest, SeeksStayWithinTheResource) {
    EXPECT_EQ(memorySeek(handle_, 4, kSeekFromStart), handle_);
    EXPECT_EQ(memoryTell(handle_), 4);
    memorySeek(handle_, 3, kSeekFromCurrent);
    EXPECT_EQ(memoryTell(handle_), 7);
    memorySeek(handle_, -5, kSeekToEnd);  // the offset is ignored
    EXPECT_EQ(memoryTell(handle_), 10);
    memorySeek(handle_, 2, kSeekFromStart);
    memorySeek(handle_, 2, 7);  // unknown whence
    EXPECT_EQ(memoryTell(handle_), 2);
    memorySeek(handle_, 50, kSeekFromCurrent);
    EXPECT_EQ(memoryTell(handle_), 10);
    memorySeek(handle_, -50, kSeekFromCurrent);
    EXPECT_EQ(memoryTell(handle_), 0);
}

TEST_F(ResourceStreamTest, ReadsStopAtTheEnd) {
    std::uint8_t buffer[8];
    std::memset(buffer, 0xEE, sizeof buffer);
    memorySeek(handle_, 7, kSeekFromStart);
    EXPECT_EQ(memoryRead(buffer, 8, handle_), 3);
    EXPECT_EQ(buffer[0], 17);
    EXPECT_EQ(buffer[2], 19);
    EXPECT_EQ(buffer[3], 0xEE);
    EXPECT_EQ(memoryTell(handle_), 10);
    EXPECT_EQ(memoryRead(buffer, 8, handle_), 0);
    EXPECT_EQ(buffer[0], 17);
    memorySeek(handle_, 0, kSeekFromStart);
    EXPECT_EQ(memoryRead(buffer, -3, handle_), 0);
    EXPECT_EQ(memoryTell(handle_), 0);
}

using MusicTest = ResourceTest;

TEST_F(MusicTest, AnyNameYieldsTheSongResource) {
    serveResource(xm::writeModule(smallModule()));
    for (const char* name : {"intro.xm", "", "other.mod"}) {
        SongPtr song(songCreate(name, nullptr));
        EXPECT_TRUE(song) << name;
    }
}

TEST_F(MusicTest, StartMusicPlaysTheSongResource) {
    xm::Module module = smallModule();
    module.bpm = 135;
    serveResource(xm::writeModule(module));
    ASSERT_TRUE(glint::startMusic());
    Song* song = glint::currentSong();
    ASSERT_NE(song, nullptr);
    EXPECT_TRUE(song->client.playing);
    EXPECT_EQ(song->client.samplesPerTick, 816);
    EXPECT_EQ(defaultMixer().output.bufferLengthMs, 1000);
    EXPECT_EQ(defaultMixer().output.ringFrames, 88400);

    glint::useResources({});
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(glint::startMusic());
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), kMissingMessage);
    EXPECT_EQ(glint::currentSong(), nullptr);
    EXPECT_EQ(songGetOrder(glint::currentSong()), 0);
    EXPECT_EQ(songGetRow(glint::currentSong()), 0);
}

class MusicOutputTest : public ResourceTest {
protected:
    VirtualWaveDevice device_;
};

TEST_F(MusicOutputTest, TheShowsSongPlaysThroughAGivenDevice) {
    serveResource(xm::writeModule(droneModule()));
    ASSERT_TRUE(glint::startMusic(device_, MixingDriver::host));
    const std::int32_t ringFrames = defaultMixer().output.ringFrames;
    EXPECT_EQ(ringFrames, 88400);
    const std::vector<std::int16_t> heard = playAndPump(device_, ringFrames + kChunk);
    EXPECT_EQ(heard[2 * (ringFrames - 1)], 0);
    EXPECT_NE(heard[2 * (ringFrames + 200)], 0);
}

TEST_F(MusicOutputTest, WithoutASoundDeviceTheShowsSongPlaysSilentlyAndSaysSo) {
    serveResource(xm::writeModule(droneModule()));
    const char* driver = std::getenv("SDL_AUDIODRIVER");
    const std::string saved = driver ? driver : "";
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    ::testing::internal::CaptureStderr();
    const bool started = glint::startMusic();
    const std::string said = ::testing::internal::GetCapturedStderr();
    if (driver) {
        setenv("SDL_AUDIODRIVER", saved.c_str(), 1);
    } else {
        unsetenv("SDL_AUDIODRIVER");
    }
    EXPECT_TRUE(started);
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_NE(said.find("no sound device"), std::string::npos) << said;
    EXPECT_TRUE(defaultMixer().thread.joinable());
    EXPECT_TRUE(glint::currentSong()->client.playing);
}

}  // namespace
}  // namespace vorn3
