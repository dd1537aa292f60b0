#include <gtest/gtest.h>

#include <algorithm>

#include "tests/scenes/scene_fixture.h"

namespace glint::test {
namespace {

using Show = SceneTest;

// At 7 ticks a row and 135 BPM a row lasts 35/27 clock units.
constexpr std::int32_t kRowUnits = 35;
constexpr std::int32_t kRowsPerUnits = 27;

std::int32_t rowAt(std::int32_t sceneTime) {
    return sceneTime * kRowsPerUnits / kRowUnits;
}

std::int32_t rowOf(SongPosition heard) {
    return heard.order * 64 + heard.row + kRowsHeardLate;
}

// The first whole clock unit at which the player processes the row where `heard` is heard.
std::int32_t firstUnitHearing(SongPosition heard) {
    return (rowOf(heard) * kRowUnits + kRowsPerUnits - 1) / kRowsPerUnits;
}

struct Handover {
    std::int32_t sceneTime, from, to;
    bool operator==(const Handover&) const = default;
};

TEST_F(Show, FollowsTheSongThroughEightScenesAndQuitsAtTheLastExit) {
    std::int32_t sceneTime = 0;
    timeline().songPosition = [&sceneTime] {
        const std::int32_t row = rowAt(sceneTime);
        return SongPosition{row / 64, row % 64};
    };
    std::vector<Handover> handovers;
    std::vector<std::int32_t> flashes;
    std::int32_t quitAt = -1;
    for (; sceneTime < 1700 && quitAt < 0; ++sceneTime) {
        const std::int32_t from = timeline().sceneIndex;
        frame(static_cast<float>(sceneTime));
        const Lines lines = outline();
        const auto scenesDrawn = std::count(lines.begin(), lines.end(), "begin");
        if (timeline().sceneIndex != from) {
            handovers.push_back({sceneTime, from, timeline().sceneIndex});
        }
        EXPECT_EQ(scenesDrawn, timeline().sceneIndex - from + (timeline().sceneIndex < 8 ? 1 : 0))
            << "at " << sceneTime;
        if (lines.back() == "clear 0xFFFFFFFF") flashes.push_back(sceneTime);
        if (timeline().quitRequested) quitAt = sceneTime;
    }

    const SongPosition exits[] = {{3, 62}, {6, 0},  {8, 0},  {10, 0},
                                  {12, 0}, {14, 0}, {16, 0}, {19, 20}};
    std::vector<Handover> expected;
    for (std::int32_t scene = 0; scene < 8; ++scene)
        expected.push_back({firstUnitHearing(exits[scene]), scene, scene + 1});
    EXPECT_EQ(handovers, expected);
    EXPECT_EQ(quitAt, firstUnitHearing({19, 20}));
    EXPECT_EQ(quitAt, 1623);

    std::vector<std::int32_t> expectedFlashes;
    for (SongPosition flash : {SongPosition{3, 61}, {5, 63}, {7, 63}, {11, 63}}) {
        for (std::int32_t t = 0; t < 1700; ++t) {
            if (rowAt(t) == rowOf(flash)) expectedFlashes.push_back(t);
        }
    }
    EXPECT_EQ(flashes, expectedFlashes);
    EXPECT_FALSE(flashes.empty());
}

TEST_F(Show, WithoutASongSceneZeroNeverEnds) {
    for (float sceneTime : {0.0f, 349.0f, 350.0f, 1623.0f, 5000.0f}) {
        frame(sceneTime);
        EXPECT_EQ(timeline().sceneIndex, 0);
    }
    EXPECT_FALSE(timeline().quitRequested);
}

}  // namespace
}  // namespace glint::test
