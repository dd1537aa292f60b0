// The stream layer between the loader and the host's callbacks, and the memory callbacks
// a host may hand it.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>

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
    setStreamCallbacks(memoryOpen, memoryClose, nullptr, memorySeek, memoryTell);
    EXPECT_EQ(streamOpen(defaultPlayer().callbacks, "intro.xm"), nullptr);
    EXPECT_FALSE(openAudio(44100));
}

// Positions and counts worked out by hand: each step seeks, then reads.
TEST(MemoryStreamTest, SeeksStayWithinTheBytesAndReadsStopAtTheEnd) {
    constexpr std::int32_t kMost = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t kLeast = std::numeric_limits<std::int32_t>::min();
    struct Step {
        std::int32_t offset;
        std::int32_t whence;
        std::int32_t wanted;    // bytes asked of the read
        std::int32_t seekedTo;  // the position after the seek
        std::int32_t copied;
    };
    const Step steps[] = {
        {4, kSeekFromStart, 2, 4, 2},
        {1, kSeekFromCurrent, 3, 7, 3},
        {-3, kSeekToEnd, 1, 10, 0},
        {-20, kSeekFromCurrent, 4, 0, 4},
        {12, kSeekFromStart, 1, 10, 0},
        {-1, kSeekFromStart, 2, 0, 2},
        {3, 7, 1, 2, 1},
        {kMost, kSeekFromCurrent, 1, 10, 0},
        {kLeast, kSeekFromCurrent, 8, 0, 8},
        {8, kSeekFromStart, 5, 8, 2},
        {2, kSeekFromStart, -1, 2, 0},
    };
    const std::uint8_t bytes[] = {10, 11, 12, 13, 14, 15, 16, 17, 18, 19};
    MemoryStream stream{bytes, sizeof bytes};
    for (const Step& step : steps) {
        SCOPED_TRACE(testing::Message() << "seek " << step.offset << ", whence " << step.whence);
        EXPECT_EQ(memorySeek(&stream, step.offset, step.whence), &stream);
        EXPECT_EQ(memoryTell(&stream), step.seekedTo);
        std::uint8_t buffer[10];
        std::memset(buffer, 0xEE, sizeof buffer);
        EXPECT_EQ(memoryRead(buffer, step.wanted, &stream), step.copied);
        for (std::int32_t i = 0; i < step.copied; ++i)
            EXPECT_EQ(buffer[i], 10 + step.seekedTo + i);
        EXPECT_EQ(buffer[step.copied], 0xEE);
        EXPECT_EQ(memoryTell(&stream), step.seekedTo + step.copied);
    }

    MemoryStream empty;
    std::uint8_t buffer[1] = {};
    EXPECT_EQ(memoryRead(buffer, 1, &empty), 0);
    memorySeek(&empty, 5, kSeekFromStart);
    EXPECT_EQ(memoryTell(&empty), 0);
}

}  // namespace
}  // namespace vorn3
