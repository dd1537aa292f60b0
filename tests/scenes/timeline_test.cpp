#include "scenes/timeline.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "engine/matrix.h"
#include "scenes/scene_steps.h"
#include "tests/scenes/scene_fixture.h"

namespace glint::test {
namespace {

using TimelineTest = SceneTest;

TEST_F(TimelineTest, HeardPositionIsSixteenRowsBehindAndWrapsBySixtyFourRows) {
    auto heardAt = [](SongPosition processed, SongPosition asked) {
        timeline().songPosition = [processed] { return processed; };
        return atSongPosition(asked);
    };
    EXPECT_TRUE(heardAt({4, 13}, {3, 61}));
    EXPECT_TRUE(heardAt({4, 14}, {3, 62}));
    EXPECT_FALSE(heardAt({4, 14}, {3, 61}));
    EXPECT_TRUE(heardAt({6, 16}, {6, 0}));
    EXPECT_TRUE(heardAt({6, 15}, {5, 63}));
    EXPECT_TRUE(heardAt({0, 0}, {-1, 48}));
    EXPECT_FALSE(heardAt({0, 0}, {0, 0}));

    timeline().songPosition = nullptr;
    EXPECT_TRUE(atSongPosition({-1, 48})) << "without a song the test sees (-1, 48)";
}

TEST(SceneSeconds, ScaleTheClockInSinglePrecision) {
    EXPECT_EQ(sceneSeconds(1.125f), 0.11250000447034836f) << "not the double 0.1125 rounded";
    EXPECT_EQ(sceneSeconds(100), 10.0f);
}

TEST_F(TimelineTest, EachTestReadsTheSongAfresh) {
    hear({3, 61});
    atSongPosition({3, 61});
    atSongPosition({3, 62});
    EXPECT_EQ(positionReads, 2);
}

TEST_F(TimelineTest, SetsTheMainViewAndIdentityWorldBeforeTheScene) {
    const Matrix mainView = content().mainCamera.viewMatrix();
    frame(0);
    ASSERT_GE(device.transforms.size(), 2u);
    EXPECT_EQ(device.transforms[0].first, gfx::TransformKind::view);
    EXPECT_TRUE(sameMatrix(device.transforms[0].second, mainView));
    EXPECT_EQ(device.transforms[1].first, gfx::TransformKind::world);
    EXPECT_TRUE(sameMatrix(device.transforms[1].second, identityMatrix()));
    EXPECT_EQ(outline().front(), "clear 0x000A1428");
}

TEST_F(TimelineTest, AnExitHandsOverWithinTheFrame) {
    hear({3, 62});
    frame(350);
    EXPECT_EQ(timeline().sceneIndex, 1);
    const Lines lines = outline();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "begin"), 2) << "scenes 0 and 1 both drew";
    EXPECT_EQ(lines.back(), "end");
    EXPECT_EQ(drawsOf("titlePlate").size(), 1u);
    EXPECT_FALSE(timeline().quitRequested);
}

TEST_F(TimelineTest, TheLastExitRequestsTheQuitInTheSameFrame) {
    timeline().sceneIndex = 7;
    hear({19, 21});
    frame(1623);
    EXPECT_EQ(timeline().sceneIndex, 8);
    EXPECT_TRUE(timeline().quitRequested);
    const Lines lines = outline();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "begin"), 1);

    timeline().quitRequested = false;
    frame(1624);
    EXPECT_TRUE(device.steps.empty()) << "after the last scene nothing draws";
    EXPECT_TRUE(timeline().quitRequested);
}

TEST_F(TimelineTest, TheTunnelGrowsAtMostOneRingPerTenthOfAClockUnit) {
    Mesh& tunnel = content().tunnelCopy();
    const std::vector<Vertex> before = tunnel.baseVertices->vertices;
    advanceTunnel(0, 0);
    EXPECT_EQ(tunnel.baseVertices->vertices[10].x, before[10].x) << "0.1 has not passed since 0";

    advanceTunnel(700, 70);
    const std::vector<Vertex> grown = tunnel.baseVertices->vertices;
    EXPECT_EQ(grown[10].x, before[0].x);
    EXPECT_EQ(grown[10].z, before[0].z);
    EXPECT_NE(grown[0].x, before[0].x);
    EXPECT_EQ(timeline().lastRingTime, 700.0);

    advanceTunnel(700, 70);
    EXPECT_EQ(tunnel.baseVertices->vertices[10].x, grown[10].x);
    advanceTunnel(700.1f, sceneSeconds(700.1f));
    EXPECT_EQ(tunnel.baseVertices->vertices[10].x, grown[10].x) << "700.1f is under 0.1 later";
    advanceTunnel(700.125f, sceneSeconds(700.125f));
    EXPECT_EQ(tunnel.baseVertices->vertices[10].x, grown[0].x);
    EXPECT_EQ(tunnel.drawnVertices, tunnel.baseVertices);

    resetTimeline();
    EXPECT_EQ(timeline().lastRingTime, 0.0);
}

}  // namespace
}  // namespace glint::test
