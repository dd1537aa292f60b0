// What the show and the player create over and over they release each time, and a whole
// run of the show leaves nothing behind.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/content.h"
#include "scenes/timeline.h"
#include "shell/deterministic_show.h"
#include "shell/music.h"
#include "shell/resource_stream.h"
#include "tests/hardening/show_resources.h"

#if defined(__SANITIZE_ADDRESS__)
#define GLINT_LEAK_CHECK 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define GLINT_LEAK_CHECK 1
#endif
#endif

#ifdef GLINT_LEAK_CHECK
// LeakSanitizer's check, as its header declares it; not every compiler ships the header.
extern "C" int __lsan_do_recoverable_leak_check();
#endif

namespace glint {
namespace {

constexpr std::int32_t kFramesPerSecond = 10;
constexpr std::int32_t kWarmUpRounds = 5;
constexpr std::int32_t kRounds = 100;
// Growth allowed over all the rounds: less than one surface of the window, or one
// pattern of the song, lost per round would exceed it.
constexpr std::uint64_t kSlackBytes = 64 * 1024;
constexpr std::int32_t kFramesPerSong = 4410;
// The show's last hand-over comes a little after two and a half minutes.
constexpr std::int32_t kWholeShowFrames = 200 * kFramesPerSecond;

class MemoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetSceneContent();
        resetTimeline();
    }

    ShowResources resources;
};

void minimiseAndRestore(DeterministicShow& show) {
    windowProcedure(show.shell, {.kind = MessageKind::size, .sizeKind = SizeKind::minimized});
    windowProcedure(show.shell, {.kind = MessageKind::size, .sizeKind = SizeKind::restored});
    std::vector<ShowEvent> events;
    ASSERT_TRUE(advanceFrame(show, events));
}

TEST_F(MemoryTest, RecreatingTheDeviceKeepsMemoryFlat) {
    DeterministicShow show(kFramesPerSecond);
    // A device drawing on several threads keeps its frame's records as large as
    // the busiest frame needed, and frames later in the show hold more triangles:
    // no leak, but no flat line either. LeakSanitizer watches that device.
    show.graphics.drawingThreads.count = 1;
    ASSERT_EQ(startDeterministicShow(show), 0);
    for (std::int32_t round = 0; round < kWarmUpRounds; ++round)
        minimiseAndRestore(show);
    const std::uint32_t buildsBefore = sceneContent().buildCount;
    const std::uint64_t before = allocatedBytes();
    for (std::int32_t round = 0; round < kRounds; ++round)
        minimiseAndRestore(show);
    const std::uint64_t after = allocatedBytes();
    RecordProperty("bytesBefore", std::to_string(before));
    RecordProperty("bytesAfter", std::to_string(after));
    EXPECT_LE(after, before + kSlackBytes);
    EXPECT_EQ(sceneContent().buildCount, buildsBefore + kRounds);
    EXPECT_TRUE(show.shell.deviceReady);
}

TEST_F(MemoryTest, CreatingStartingAndFreeingSongsKeepsMemoryFlat) {
    vorn3::setStreamCallbacks(resourceOpen, resourceClose, vorn3::memoryRead, vorn3::memorySeek,
                              vorn3::memoryTell);
    vorn3::setWaveDevice(nullptr, vorn3::MixingDriver::host);
    ASSERT_TRUE(vorn3::openAudio(kOutputRate));
    std::vector<std::int16_t> sound(2 * kFramesPerSong);
    const auto playOnce = [&] {
        vorn3::Song* song = vorn3::songCreate("intro.xm", nullptr);
        ASSERT_NE(song, nullptr);
        ASSERT_TRUE(vorn3::songStart(song));
        ASSERT_EQ(vorn3::renderAudio(sound.data(), kFramesPerSong), kFramesPerSong);
        ASSERT_TRUE(vorn3::songStart(song)) << "a restart";
        ASSERT_TRUE(vorn3::songFree(song));
    };
    for (std::int32_t round = 0; round < kWarmUpRounds; ++round)
        playOnce();
    const std::uint64_t before = allocatedBytes();
    for (std::int32_t round = 0; round < kRounds; ++round)
        playOnce();
    const std::uint64_t after = allocatedBytes();
    RecordProperty("bytesBefore", std::to_string(before));
    RecordProperty("bytesAfter", std::to_string(after));
    EXPECT_LE(after, before + kSlackBytes);
    vorn3::closeAudio();
}

TEST_F(MemoryTest, AWholeRunOfTheShowLeavesNoLeak) {
    {
        DeterministicShow show(kFramesPerSecond);
        show.graphics.drawsPictures = false;
        ASSERT_EQ(startDeterministicShow(show), 0);
        std::vector<ShowEvent> events;
        std::int32_t frames = 0;
        while (advanceFrame(show, events))
            ASSERT_LT(++frames, kWholeShowFrames) << "the show ends by itself";
        ASSERT_FALSE(events.empty());
        EXPECT_EQ(events.back().kind, ShowEvent::Kind::quit);
    }
#ifdef GLINT_LEAK_CHECK
    EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0);
#endif
}

}  // namespace
}  // namespace glint
