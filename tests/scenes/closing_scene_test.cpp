#include <gtest/gtest.h>

#include "scenes/scenes.h"
#include "tests/scenes/scene_fixture.h"

namespace glint::test {
namespace {

using ClosingScene = SceneTest;

void expectAt(const Mesh& plate, float x, float y, float z) {
    EXPECT_EQ(plate.posX, x);
    EXPECT_EQ(plate.posY, y);
    EXPECT_EQ(plate.posZ, z);
}

TEST_F(ClosingScene, PlatesRecedeFortyUnitsApartTheFarthestDrawnLast) {
    runScene(scene7, 1420);
    SceneContent& c = content();
    expectAt(c.titlePlate, 1, 1, 0);
    expectAt(c.logoPlate(), 5.5f, 0, -40);
    expectAt(c.creditPlateB, 1, 0, -80);
    expectAt(c.creditPlateA, 2, 0, -120);
    EXPECT_EQ(outline(),
              (Lines{"clear 0x000A1428", "begin", "backdrop nodepth", "creditPlateA nodepth",
                     "creditPlateB nodepth", "logoPlate nodepth", "titlePlate nodepth", "end"}));
}

TEST_F(ClosingScene, BlackFogClosesInAfterFifteenSixty) {
    content().fog.fogEnd = 200;
    runScene(scene7, 1560);
    EXPECT_EQ(content().fog.fogEnd, 200.0f);
    EXPECT_FALSE(device.fog.on) << "fog is left as scene 6 set it";
    runScene(scene7, 1600);
    EXPECT_EQ(device.fog.end, 80.0f);
    EXPECT_TRUE(device.fog.on);
    runScene(scene7, 1626);
    EXPECT_EQ(device.fog.end, 2.0f);
}

TEST_F(ClosingScene, TheFirstFrameAtOrPastItsLastRowEndsTheShow) {
    for (SongPosition heard : {SongPosition{18, 63}, SongPosition{19, 19}}) {
        resetTimeline();
        timeline().sceneIndex = 7;
        hear(heard);
        frame(1620);
        EXPECT_EQ(timeline().sceneIndex, 7) << heard.order << "," << heard.row;
    }
    for (SongPosition heard : {SongPosition{19, 20}, SongPosition{19, 23}, SongPosition{20, 0}}) {
        resetTimeline();
        timeline().sceneIndex = 7;
        hear(heard);
        frame(1626);
        EXPECT_EQ(timeline().sceneIndex, 8) << heard.order << "," << heard.row;
        EXPECT_TRUE(timeline().quitRequested);
    }
}

}  // namespace
}  // namespace glint::test
