#include <gtest/gtest.h>

#include <cmath>

#include "scenes/scene_steps.h"
#include "scenes/scenes.h"
#include "tests/scenes/scene_fixture.h"

namespace glint::test {
namespace {

using OpeningScenes = SceneTest;

// base + 20 · sin(2u) − rise, as the scenes store it.
float sheetZ(float sceneTime, double rise, double base = 200) {
    const double u = sceneSeconds(sceneTime);
    return static_cast<float>(base + 20 * std::sin(2 * u) - rise);
}

TEST_F(OpeningScenes, SceneZeroFadesInFromTheClearColour) {
    runScene(scene0, 0);
    EXPECT_EQ(outline(), (Lines{"clear 0x000A1428", "begin", "backdrop nodepth", "waveA", "waveB",
                                "logoPlate", "end"}));
    const MeshDraw sheet = drawsOf("waveA").front();
    EXPECT_TRUE(sheet.fog.on);
    EXPECT_EQ(sheet.fog.end, 0.0f) << "everything is fog: only the clear colour shows";
    EXPECT_EQ(sheet.fog.start, 0.1f);
    EXPECT_EQ(sheet.fog.colour, kClearColour);
    EXPECT_EQ(content().waveA().posZ, 200.0f);
    EXPECT_EQ(content().logoPlate().posZ, 250.0f);
    EXPECT_EQ(content().logoPlate().posX, 5.5f);

    runScene(scene0, 100);
    EXPECT_EQ(device.fog.end, 180.0f);
    EXPECT_EQ(content().backdrop.rotZ, static_cast<float>(1.6 * std::sin(0.4 * 10.0f)));
}

TEST_F(OpeningScenes, SceneZeroRaisesTheSheetsThenHolds) {
    runScene(scene0, 199.5f);
    const float fogEnd = device.fog.end;
    runScene(scene0, 262.5f);
    EXPECT_EQ(content().logoPlate().posZ, 0.0f);
    EXPECT_EQ(content().waveB().posZ, sheetZ(262.5f, 62.5));
    EXPECT_EQ(device.fog.end, fogEnd) << "the fog is left as it was";
    runScene(scene0, 340);
    EXPECT_EQ(content().waveA().posZ, sheetZ(340, 140));
    runScene(scene0, 380);
    EXPECT_EQ(content().waveA().posZ, sheetZ(380, 140));

    const float heldZ = content().waveA().posZ;
    runScene(scene0, 450);
    EXPECT_EQ(content().waveA().posZ, heldZ) << "from 400 on nothing moves";
    EXPECT_EQ(drawsOf("waveA").size(), 1u);
}

TEST_F(OpeningScenes, SceneZeroFlashesWithoutTestingTheExit) {
    hear({3, 61});
    frame(349);
    EXPECT_EQ(outline().back(), "clear 0xFFFFFFFF");
    EXPECT_EQ(positionReads, 1);
    EXPECT_EQ(content().waveA().opacity, 0.5);
    EXPECT_EQ(content().waveB().opacity, 0.5);
    EXPECT_EQ(content().logoPlate().opacity, 0.5);
    EXPECT_EQ(timeline().sceneIndex, 0);
}

TEST_F(OpeningScenes, SceneZerosExitSetsTheTitleFogBeforeSceneOneDraws) {
    hear({3, 62});
    frame(350);
    EXPECT_EQ(timeline().sceneIndex, 1);
    for (const MeshDraw& d : drawsOf("upperPlane")) {
        EXPECT_TRUE(d.fog.on);
        EXPECT_EQ(d.fog.end, 70.0f);
        EXPECT_EQ(d.fog.start, 0.1f);
    }
}

TEST_F(OpeningScenes, SceneOneDrawsTheTitleInFrontThroughItsOwnCamera) {
    runScene(scene1, 400);
    EXPECT_EQ(outline(),
              (Lines{"clear 0x000A1428", "begin", "upperPlane", "lowerPlane", "backdrop far",
                     "depth", "waveA", "waveB", "logoPlate", "depth", "titlePlate", "end"}));
    SceneContent& c = content();
    EXPECT_EQ(c.waveA().posZ, sheetZ(400, 0, 60));
    EXPECT_EQ(c.bannerCamera.posZ, 10.0f);

    EXPECT_TRUE(sameMatrix(drawsOf("lowerPlane")[0].view, c.floorCamera.viewMatrix()));
    EXPECT_TRUE(sameMatrix(drawsOf("waveB")[0].view, c.mainCamera.viewMatrix()));
    EXPECT_TRUE(sameMatrix(drawsOf("titlePlate")[0].view, c.bannerCamera.viewMatrix()));
    EXPECT_TRUE(sameMatrix(device.view, c.bannerCamera.viewMatrix())) << "left set after the scene";
}

TEST_F(OpeningScenes, SceneOneExitsAtOrderSixAndFlashesTheRowBefore) {
    timeline().sceneIndex = 1;
    hear({5, 63});
    frame(500);
    EXPECT_EQ(outline().back(), "clear 0xFFFFFFFF");
    EXPECT_EQ(timeline().sceneIndex, 1);

    hear({6, 0});
    frame(518);
    EXPECT_EQ(timeline().sceneIndex, 2);
    EXPECT_EQ(drawsOf("blob0").size(), 1u) << "scene 2 drew in the same frame";
    EXPECT_NE(outline().back(), "clear 0xFFFFFFFF");
}

}  // namespace
}  // namespace glint::test
