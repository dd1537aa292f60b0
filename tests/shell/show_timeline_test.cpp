// The whole show with its own song, run deterministically at 60 frames per second: it
// hands over, flashes and quits in the first frame at or after the moment the song's
// rows put each event, given the output's latency.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/content.h"
#include "platform/resources.h"
#include "scenes/timeline.h"
#include "shell/deterministic_show.h"

namespace glint {
namespace {

constexpr std::int32_t kFps = 60;
constexpr std::int64_t kSoundFramesPerFrame = 44100 / kFps;
constexpr std::int64_t kChunkFrames = 884;
constexpr std::int64_t kFramesPerRow = 5712;
constexpr std::int64_t kHeardLag = 16;  // rows

// A position (order, row) is seen when the player processes row N = 64·order + row + 16,
// which it does when the device enters the chunk after the one holding song frame
// N × 5712; the event shows in the first frame whose sound has reached that point.
float expectedSceneTime(std::int64_t order, std::int64_t row) {
    const std::int64_t processedRow = 64 * order + row + kHeardLag;
    const std::int64_t filledWhen =
        (processedRow * kFramesPerRow / kChunkFrames + 1) * kChunkFrames;
    const std::int64_t frame = (filledWhen + kSoundFramesPerFrame - 1) / kSoundFramesPerFrame;
    return sceneTimeAt(static_cast<std::uint32_t>(frame * 1000 / kFps), 0);
}

TEST(ShowTimeline, EventsFallOnTheSongsRows) {
    resetSceneContent();
    resetTimeline();
    useResources(embeddedResources());
    DeterministicShow show(kFps);
    show.graphics.drawsPictures = false;
    ASSERT_EQ(startDeterministicShow(show), 0);
    std::vector<ShowEvent> events;
    while (advanceFrame(show, events))
        ASSERT_LT(show.nextFrame, 200000) << "the show must end";

    using Kind = ShowEvent::Kind;
    const struct {
        Kind kind;
        std::int64_t order, row;
    } expected[] = {
        {Kind::flash, 3, 61},       {Kind::sceneChange, 3, 62}, {Kind::flash, 5, 63},
        {Kind::sceneChange, 6, 0},  {Kind::flash, 7, 63},       {Kind::sceneChange, 8, 0},
        {Kind::sceneChange, 10, 0}, {Kind::flash, 11, 63},      {Kind::sceneChange, 12, 0},
        {Kind::sceneChange, 14, 0}, {Kind::sceneChange, 16, 0}, {Kind::sceneChange, 19, 20},
        {Kind::quit, 19, 20},
    };
    ASSERT_EQ(events.size(), std::size(expected));
    for (std::size_t i = 0; i < events.size(); ++i) {
        EXPECT_EQ(events[i].kind, expected[i].kind) << "event " << i;
        EXPECT_EQ(events[i].sceneTime, expectedSceneTime(expected[i].order, expected[i].row))
            << "event " << i;
    }
    EXPECT_NEAR(events.back().sceneTime, 1621.83f, 0.005f);
    EXPECT_EQ(timeline().sceneIndex, kSceneCount);
    useResources({});
}

}  // namespace
}  // namespace glint
