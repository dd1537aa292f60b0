// The recorded show: frame times, sound played and the song position the timeline sees
// follow from the frame index alone, with the output's latency as the mixing thread
// gives it.
#include "shell/deterministic_show.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/content.h"
#include "platform/resources.h"
#include "scenes/timeline.h"
#include "shell/music.h"
#include "tools/xm_writer/xm_writer.h"

namespace glint {
namespace {

constexpr std::int32_t kSongId = 112;
constexpr std::int64_t kChunkFrames = 884;
constexpr std::int64_t kFramesPerRow = 5712;  // speed 7 at 135 BPM: 7 × 816

std::vector<std::uint8_t> showPacedSong() {
    xm::Module module;
    module.channels = 2;
    module.tempo = 7;
    module.bpm = 135;
    module.orders = {0, 0, 0, 0};
    module.patterns = {xm::Pattern{}};
    return xm::writeModule(module);
}

class DeterministicShowTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetSceneContent();
        resetTimeline();
        song = showPacedSong();
        resources[0] = {ResourceType::rcData, kSongId, song.data(),
                        static_cast<std::uint32_t>(song.size())};
        useResources(resources);
    }
    void TearDown() override { useResources({}); }

    std::vector<std::uint8_t> song;
    ResourceEntry resources[1];
    std::vector<ShowEvent> events;
};

TEST_F(DeterministicShowTest, FramesComeAtFixedTimesWithTheSoundPlayedToThem) {
    DeterministicShow show(60);
    ASSERT_EQ(startDeterministicShow(show), 0);
    std::vector<std::int16_t> heard;
    show.heard = &heard;
    for (int frame = 0; frame <= 90; ++frame) {
        ASSERT_TRUE(advanceFrame(show, events));
        EXPECT_EQ(show.framesHeard, static_cast<std::uint64_t>(frame) * 735u);
        EXPECT_EQ(show.shell.sceneTime,
                  sceneTimeAt(static_cast<std::uint32_t>(frame * 1000 / 60), 0));
    }
    EXPECT_EQ(heard.size(), 90u * 735u * 2u);
    EXPECT_NE(lastFrame(show), nullptr);
}

TEST_F(DeterministicShowTest, TheFirstFrameShowsOnlyTheClearColour) {
    DeterministicShow show(60);
    ASSERT_EQ(startDeterministicShow(show), 0);
    ASSERT_TRUE(advanceFrame(show, events));
    const gfx::Surface* frame = lastFrame(show);
    ASSERT_NE(frame, nullptr);
    for (std::uint32_t pixel : frame->pixels) ASSERT_EQ(pixel & 0xFFFFFF, 0x0A1428u);
}

TEST_F(DeterministicShowTest, TheSongRunsAheadByTheFilledPartOfTheRing) {
    DeterministicShow show(50);
    ASSERT_EQ(startDeterministicShow(show), 0);
    for (int frame = 0; frame < 500; ++frame) {
        ASSERT_TRUE(advanceFrame(show, events));
        // Every chunk the device has left is filled; the song has mixed that much.
        const std::int64_t mixed =
            static_cast<std::int64_t>(show.framesHeard) / kChunkFrames * kChunkFrames;
        const std::int64_t row = mixed == 0 ? 0 : (mixed - 1) / kFramesPerRow;
        ASSERT_EQ(timeline().songPosition().row, row % 64) << "frame " << frame;
        ASSERT_EQ(timeline().songPosition().order, row / 64) << "frame " << frame;
    }
}

TEST_F(DeterministicShowTest, EventsAreReportedOncePerChangeAndFlashRun) {
    DeterministicShow show(60);
    ASSERT_EQ(startDeterministicShow(show), 0);
    ASSERT_TRUE(advanceFrame(show, events));
    EXPECT_TRUE(events.empty());

    timeline().songPosition = [] { return SongPosition{4, 13}; };  // heard: (3, 61)
    ASSERT_TRUE(advanceFrame(show, events));
    ASSERT_TRUE(advanceFrame(show, events));
    ASSERT_EQ(events.size(), 1u) << "a flash lasting two frames is one event";
    EXPECT_EQ(events[0].kind, ShowEvent::Kind::flash);

    events.clear();
    timeline().songPosition = [] { return SongPosition{4, 14}; };  // heard: (3, 62)
    ASSERT_TRUE(advanceFrame(show, events));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, ShowEvent::Kind::sceneChange);
    EXPECT_EQ(events[0].fromScene, 0);
    EXPECT_EQ(events[0].toScene, 1);
    EXPECT_EQ(events[0].sceneTime, show.shell.sceneTime);

    events.clear();
    timeline().sceneIndex = 7;
    timeline().songPosition = [] { return SongPosition{19, 37}; };  // heard: (19, 21)
    ASSERT_TRUE(advanceFrame(show, events));
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].kind, ShowEvent::Kind::quit);
    EXPECT_FALSE(advanceFrame(show, events)) << "the loop ends after the quit frame";
}

}  // namespace
}  // namespace glint
