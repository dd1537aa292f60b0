// The whole show with its own song, run deterministically at 60 frames per second: it
// hands over, flashes and quits in the first frame at or after the moment the song's
// rows put each event, given the output's latency; and every flash is seen within a
// frame of its hit being heard.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "engine/content.h"
#include "platform/resources.h"
#include "scenes/timeline.h"
#include "shell/deterministic_show.h"
#include "shell/music.h"
#include "support/player_fixture.h"

namespace glint {
namespace {

constexpr std::int32_t kFps = 60;
constexpr std::int64_t kChunkFrames = 884;
constexpr std::int64_t kFramesPerRow = 5712;
constexpr std::int64_t kHeardLag = 16;  // rows
constexpr std::int64_t kSoundRate = 44100;

// A position (order, row) is seen when the player processes row N = 64·order + row + 16,
// which it does when the device enters the chunk after the one holding song frame
// N × 5712; the event shows in the first frame whose sound has reached that point.
float expectedSceneTime(std::int64_t order, std::int64_t row, std::int64_t fps = kFps) {
    const std::int64_t processedRow = 64 * order + row + kHeardLag;
    const std::int64_t filledWhen =
        (processedRow * kFramesPerRow / kChunkFrames + 1) * kChunkFrames;
    const std::int64_t soundFramesPerFrame = kSoundRate / fps;
    const std::int64_t frame = (filledWhen + soundFramesPerFrame - 1) / soundFramesPerFrame;
    return sceneTimeAt(static_cast<std::uint32_t>(frame * 1000 / fps), 0);
}

struct ExpectedEvent {
    ShowEvent::Kind kind;
    std::int64_t order, row;
};

std::vector<ShowEvent> runShow(std::int32_t fps, std::vector<std::int16_t>* heard = nullptr) {
    resetSceneContent();
    resetTimeline();
    useResources(embeddedResources());
    DeterministicShow show(fps);
    show.graphics.drawsPictures = false;
    EXPECT_EQ(startDeterministicShow(show), 0);
    show.heard = heard;
    std::vector<ShowEvent> events;
    while (advanceFrame(show, events)) {
        if (show.nextFrame >= 200000) {
            ADD_FAILURE() << "the show must end";
            break;
        }
    }
    EXPECT_EQ(timeline().sceneIndex, kSceneCount);
    useResources({});
    return events;
}

float frameOf(const ShowEvent& event) {
    return event.sceneTime * 100 * kFps / 1000;
}

// Where a hit begins in the heard sound, near `around` (a sound frame): the block
// whose loudness rises most over the stretch just before it.
std::int64_t onsetNear(const std::vector<std::int16_t>& heard, std::int64_t around) {
    constexpr std::int64_t kBlock = 88;      // 2 ms
    constexpr std::int64_t kBefore = 15;     // blocks: 30 ms
    constexpr std::int64_t kSearch = 11025;  // a quarter of a second either side
    const auto energy = [&heard](std::int64_t from, std::int64_t to) {
        double sum = 1;
        for (std::int64_t i = from; i < to; ++i) {
            const double mono = heard[2 * i] + heard[2 * i + 1];
            sum += mono * mono;
        }
        return sum / static_cast<double>(to - from);
    };
    std::int64_t onset = around;
    double steepest = 0;
    for (std::int64_t at = around - kSearch; at < around + kSearch; at += kBlock) {
        const double rise = energy(at, at + kBlock) / energy(at - kBefore * kBlock, at);
        if (rise > steepest) {
            steepest = rise;
            onset = at;
        }
    }
    return onset;
}

TEST(ShowTimeline, EventsFallOnTheSongsRows) {
    std::vector<std::int16_t> heard;
    const std::vector<ShowEvent> events = runShow(kFps, &heard);
    using Kind = ShowEvent::Kind;
    const ExpectedEvent expected[] = {
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

    for (const ShowEvent& event : events) {
        if (event.kind != Kind::flash) continue;
        const float frame = frameOf(event);
        const std::int64_t onset = onsetNear(heard, std::lround(frame * kSoundRate / kFps));
        EXPECT_LE(std::abs(frame - static_cast<float>(onset * kFps) / kSoundRate), 1.0f)
            << "flash at " << event.sceneTime << " heard at " << onset;
    }
}

// At 4 frames a second no frame may fall inside an exit row: each scene still ends on
// the first frame past it, and the show reaches its end.
TEST(ShowTimeline, AtFourFramesASecondEveryHandOverAndTheQuitStillCome) {
    constexpr std::int64_t kSlowFps = 4;
    const std::vector<ShowEvent> events = runShow(kSlowFps);
    using Kind = ShowEvent::Kind;
    const ExpectedEvent expected[] = {
        {Kind::sceneChange, 3, 62}, {Kind::sceneChange, 6, 0},   {Kind::sceneChange, 8, 0},
        {Kind::sceneChange, 10, 0}, {Kind::sceneChange, 12, 0},  {Kind::sceneChange, 14, 0},
        {Kind::sceneChange, 16, 0}, {Kind::sceneChange, 19, 20}, {Kind::quit, 19, 20},
    };
    std::vector<ShowEvent> handOvers;
    for (const ShowEvent& event : events) {
        if (event.kind != Kind::flash) handOvers.push_back(event);
    }
    ASSERT_EQ(handOvers.size(), std::size(expected));
    for (std::size_t i = 0; i < handOvers.size(); ++i) {
        EXPECT_EQ(handOvers[i].kind, expected[i].kind) << "event " << i;
        EXPECT_EQ(handOvers[i].sceneTime,
                  expectedSceneTime(expected[i].order, expected[i].row, kSlowFps))
            << "event " << i;
    }
}

std::int64_t showNanoseconds = 0;

std::int64_t showClock() {
    return showNanoseconds;
}

// At 10 frames a second the sound device stands still at 20 s and is back at 30 s, says it
// has gone at 45 s, the process does not run for a minute at 50 s, and the device is back
// at 55 s. The show goes on silently and back on the device: its scenes and song never
// jump, stand still no longer than the device takes to be found lost (1 s), and hand over
// in order to the end.
TEST(ShowTimeline, TheShowGoesOnWhileItsSoundDeviceIsAway) {
    constexpr std::int32_t kLossFps = 10;
    constexpr std::int64_t kFrameMs = 1000 / kLossFps;
    constexpr std::int64_t kSoundPerFrame = kSoundRate / kLossFps;
    constexpr std::int64_t kPauseMs = 60000;
    const auto at = [](std::int64_t seconds) { return seconds * kLossFps; };  // a frame
    resetSceneContent();
    resetTimeline();
    useResources(embeddedResources());
    vorn3::FlakyWaveDevice flaky;
    vorn3::CarryingWaveDevice carrying(flaky, showClock);
    DeterministicShow show(kLossFps);
    show.graphics.drawsPictures = false;
    show.shell.audio = &carrying;
    const std::uint32_t start = show.clock.now;
    showNanoseconds = std::int64_t{start} * 1'000'000;
    testing::internal::CaptureStderr();
    ASSERT_EQ(startDeterministicShow(show), 0);

    std::vector<ShowEvent> events;
    std::vector<float> sceneTimes;
    std::vector<std::int64_t> rows;
    for (std::int64_t frame = 1; !show.quitSeen && frame < at(300); ++frame) {
        const bool away =
            (frame >= at(20) && frame < at(30)) || (frame >= at(45) && frame < at(55));
        flaky.available = !away;
        flaky.gone = frame == at(45);
        // Five chunks between polls: the ring is filled however far the device went.
        const std::int64_t ms = frame * kFrameMs + (frame > at(50) ? kPauseMs : 0);
        show.clock.now = start + static_cast<std::uint32_t>(ms);
        showNanoseconds = std::int64_t{show.clock.now} * 1'000'000;
        if (flaky.isOpen && !away) flaky.played += kSoundPerFrame;
        while (vorn3::pumpAudio()) {
        }
        const std::int32_t sceneBefore = timeline().sceneIndex;
        ASSERT_TRUE(stepMessageLoop(show.shell, show.message) || show.window.quitPosted());
        for (std::int32_t scene = sceneBefore; scene < timeline().sceneIndex; ++scene)
            events.push_back(
                {ShowEvent::Kind::sceneChange, show.shell.sceneTime, scene, scene + 1});
        show.quitSeen = show.window.quitPosted();
        sceneTimes.push_back(show.shell.sceneTime);
        rows.push_back(64 * std::int64_t{vorn3::songGetOrder(currentSong())} +
                       vorn3::songGetRow(currentSong()));
    }
    const std::string said = testing::internal::GetCapturedStderr();
    useResources({});

    ASSERT_TRUE(show.quitSeen);
    EXPECT_EQ(timeline().sceneIndex, kSceneCount);
    ASSERT_EQ(events.size(), static_cast<std::size_t>(kSceneCount));
    for (std::size_t i = 0; i < events.size(); ++i)
        EXPECT_EQ(events[i].toScene, static_cast<std::int32_t>(i) + 1);
    for (std::size_t i = 1; i < sceneTimes.size(); ++i) {
        const float step = sceneTimes[i] - sceneTimes[i - 1];
        EXPECT_TRUE(std::abs(step - 1.0f) < 0.01f || (i == at(50) && step < 1.01f))
            << "frame " << i << " moved the scenes by " << step;
    }
    // The song stands still only while a device is being found lost, and never catches up:
    // after the ring's first fill it plays no faster than a row every 5712 sound frames.
    std::int64_t longestStill = 0;
    for (std::size_t i = 1, still = 0; i < rows.size(); ++i) {
        EXPECT_GE(rows[i], rows[i - 1]);
        still = rows[i] == rows[i - 1] ? still + 1 : 0;
        longestStill = std::max<std::int64_t>(longestStill, still);
    }
    EXPECT_LE(longestStill, at(1) + 2);
    for (std::size_t i = at(3); i + at(1) < rows.size(); ++i) {
        EXPECT_LE(rows[i + at(1)] - rows[i], kSoundRate / kFramesPerRow + 1) << "frame " << i;
    }
    std::istringstream lines(said);
    std::vector<std::string> lineList;
    for (std::string line; std::getline(lines, line);)
        lineList.push_back(line);
    const std::string away = "glint: the sound device went away; the show goes on silently";
    const std::string back = "glint: the sound is back";
    EXPECT_EQ(lineList, (std::vector<std::string>{away, back, away, back}));
}

}  // namespace
}  // namespace glint
