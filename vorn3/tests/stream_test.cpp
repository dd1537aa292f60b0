// The stream layer between the loader and the host's callbacks.
#include <gtest/gtest.h>

#include "formats/stream.h"
#include "support/player_fixture.h"

namespace vorn3 {
namespace {

class StreamTest : public PlayerTest {
protected:
    void SetUp() override {
        PlayerTest::SetUp();
        serve({10, 11, 12, 13, 14, 15, 16, 17, 18, 19});
    }
};

TEST_F(StreamTest, TheStreamLayerForwardsToTheCallbacks) {
    SongStream* stream = streamOpen(defaultPlayer().callbacks, "any name");
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

TEST_F(StreamTest, ANullCallbackClearsAllFive) {
    setStreamCallbacks(memoryOpen, memoryClose, nullptr, seekMemory, tellMemory);
    EXPECT_EQ(streamOpen(defaultPlayer().callbacks, "intro.xm"), nullptr);
    EXPECT_FALSE(openAudio(44100));
}

}  // namespace
}  // namespace vorn3
