#include <gtest/gtest.h>

#include <cmath>

#include "scenes/scene_steps.h"
#include "scenes/scenes.h"
#include "tests/scenes/scene_fixture.h"

namespace glint::test {
namespace {

using CubeScene = SceneTest;

void expectShape(BlobShape shape, double scale, double sign) {
    EXPECT_EQ(shape.scale, scale);
    EXPECT_EQ(shape.sign, sign);
}

TEST(CubePulse, SceneTwoKeepsTheScaleOffMinusOneToOneAndTheFlightAboveOneAndAHalf) {
    expectShape(cubePulseShape(6), 7, 1);
    expectShape(cubePulseShape(0), -1, 1);
    expectShape(cubePulseShape(-3), -2.5, -1);
    expectShape(cubePulseShape(-7), -4.5, -1);
    expectShape(flightPulseShape(2), 3.5, 1);
    expectShape(flightPulseShape(0), 1.5, 1);
    expectShape(flightPulseShape(-3), 3, -1);
}

TEST_F(CubeScene, AtTheStartThePulseIsSixAndTheCubeSwellsOutwards) {
    runScene(scene2, 0);
    EXPECT_EQ(outline(),
              (Lines{"clear 0x000A1428", "begin", "upperPlane", "lowerPlane", "backdrop far",
                     "depth", "blob0", "blob1", "blob2", "blob3", "blob4", "blob5", "end"}));
    SceneContent& c = content();
    // Scale 7 on a 16 × 16 face: (7/8)⁴ · 64 at the centre, minus 0.25, plus grain below 0.5.
    constexpr std::size_t kCentre = 60;
    const float front = c.cubeGroup.items[4].baseVertices->vertices[kCentre].z;
    const float back = c.cubeGroup.items[5].baseVertices->vertices[kCentre].z;
    EXPECT_GE(front, 37.265625f);
    EXPECT_LT(front, 37.765625f);
    EXPECT_LT(back, -37.265625f) << "the z = −8 face bulges the other way, outwards";

    for (const Mesh& face : c.blobFaces) {
        EXPECT_EQ(face.rotX, 1.2f);
        EXPECT_EQ(face.rotY, 0.0f);
        EXPECT_EQ(face.rotZ, -1.2f);
    }
    EXPECT_TRUE(sameMatrix(drawsOf("upperPlane")[0].view, c.floorCamera.viewMatrix()));
    EXPECT_TRUE(sameMatrix(drawsOf("blob3")[0].view, c.mainCamera.viewMatrix()));
}

// Handed over within a frame, scene two draws its backdrop through the camera scene
// one left set, as it would have drawn it first.
TEST_F(CubeScene, TheBackdropDrawnBehindTheFloorKeepsTheViewItWasHanded) {
    SceneContent& c = content();
    device.view = c.bannerCamera.viewMatrix();
    runScene(scene2, 0);
    EXPECT_TRUE(sameMatrix(drawsOf("backdrop").at(0).view, c.bannerCamera.viewMatrix()));
    EXPECT_TRUE(sameMatrix(drawsOf("upperPlane").at(0).view, c.floorCamera.viewMatrix()));
    EXPECT_TRUE(sameMatrix(drawsOf("blob0").at(0).view, c.mainCamera.viewMatrix()));
}

TEST_F(CubeScene, FlashHalvesTheCubeAndTheExitSwitchesFogOffBeforeSceneThree) {
    timeline().sceneIndex = 2;
    content().fog.fogEnd = 70;
    content().fog.enable(device);
    hear({7, 63});
    frame(600);
    EXPECT_EQ(outline().back(), "clear 0xFFFFFFFF");
    for (const Mesh& face : content().blobFaces)
        EXPECT_EQ(face.opacity, 0.5);

    hear({8, 0});
    frame(684);
    EXPECT_EQ(timeline().sceneIndex, 3);
    EXPECT_TRUE(drawsOf("blob0").at(0).fog.on);
    EXPECT_EQ(drawsOf("blob0").at(0).srcBlend, gfx::kBlendSrcColor);
    EXPECT_FALSE(drawsOf("tunnel").at(0).fog.on);
}

}  // namespace
}  // namespace glint::test
