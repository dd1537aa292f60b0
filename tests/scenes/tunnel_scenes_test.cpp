#include <gtest/gtest.h>

#include <cmath>

#include "scenes/scene_steps.h"
#include "scenes/scenes.h"
#include "tests/scenes/scene_fixture.h"

namespace glint::test {
namespace {

using TunnelScenes = SceneTest;

TEST_F(TunnelScenes, SceneThreeSlidesTheTunnelInBehindThePlates) {
    runScene(scene3, 700);
    EXPECT_EQ(outline(), (Lines{"clear 0x000A1428", "begin", "backdrop nodepth", "tunnel",
                                "creditPlateA nodepth", "creditPlateB nodepth", "logoPlate nodepth",
                                "titlePlate nodepth", "end"}));
    const Mesh& tunnel = content().tunnelCopy();
    EXPECT_EQ(tunnel.posX, -50.0f);
    EXPECT_EQ(tunnel.posZ, 100.0f);
    EXPECT_EQ(tunnel.rotY, static_cast<float>(1.6 * std::cos(sceneSeconds(700))));
    EXPECT_EQ(drawsOf("tunnel")[0].triangles, 1580);

    runScene(scene3, 709.875f);
    EXPECT_EQ(tunnel.posX, -40.125f);
    runScene(scene3, 720);
    EXPECT_EQ(tunnel.posX, -40.125f) << "from 710 on the scene leaves it";
}

TEST_F(TunnelScenes, PlatesGlideInRestAndGlideOut) {
    SceneContent& c = content();
    runScene(scene3, 730);
    EXPECT_EQ(c.creditPlateA.posX, 15.0f);
    EXPECT_EQ(c.creditPlateB.posX, 15.0f);
    EXPECT_EQ(c.creditPlateB.posZ, -21.0f);
    EXPECT_EQ(c.logoPlate().posX, static_cast<float>(50 - 70 * 0.5405405405405405));
    EXPECT_EQ(c.logoPlate().posY, 3.0f);
    EXPECT_EQ(c.logoPlate().posZ, -21.0f);
    EXPECT_EQ(c.titlePlate.posX, static_cast<float>(50 - 70 * 0.6211180124223602));
    EXPECT_EQ(c.titlePlate.posY, -1.0f);
    EXPECT_EQ(c.titlePlate.posZ, -41.0f);

    runScene(scene3, 780);
    EXPECT_EQ(c.creditPlateA.posX, 15.0f);

    runScene(scene3, 820);
    EXPECT_EQ(c.creditPlateA.posX, 20.0f);
    EXPECT_EQ(c.logoPlate().posY, static_cast<float>(20 * 0.5405405405405405 + 3));
    EXPECT_EQ(c.logoPlate().posX, static_cast<float>(50 - 70 * 0.5405405405405405));
    EXPECT_EQ(c.titlePlate.posY, static_cast<float>(-1 - 20 * 0.6211180124223602));
}

TEST_F(TunnelScenes, SceneThreeDrawsWithoutFogAndItsExitFogsSceneFour) {
    timeline().sceneIndex = 3;
    hear({10, 0});
    frame(850);
    EXPECT_EQ(timeline().sceneIndex, 4);
    const std::vector<MeshDraw> tunnels = drawsOf("tunnel");
    ASSERT_EQ(tunnels.size(), 2u);
    EXPECT_FALSE(tunnels[0].fog.on);
    EXPECT_TRUE(tunnels[1].fog.on);
    EXPECT_EQ(tunnels[1].fog.start, 120.0f);
    EXPECT_EQ(tunnels[1].fog.end, 200.0f);
}

TEST_F(TunnelScenes, SceneFourTiltsTheTunnelAndBringsTheGreetings) {
    SceneContent& c = content();
    c.backdrop.rotZ = 0.3f;
    runScene(scene4, 850);
    EXPECT_EQ(outline(), (Lines{"clear 0x000A1428", "begin", "backdrop nodepth", "tunnel",
                                "greetingsPlate nodepth", "end"}));
    EXPECT_EQ(c.backdrop.rotZ, 0.3f) << "the backdrop keeps its angle";
    EXPECT_EQ(c.tunnelCopy().rotX, 0.25f);
    EXPECT_EQ(c.greetingsPlate.posX, 2.0f);

    runScene(scene4, 869.875f);
    const float tilt = c.tunnelCopy().rotX;
    EXPECT_EQ(tilt, static_cast<float>(24.875 * 0.05));
    runScene(scene4, 894.75f);
    EXPECT_EQ(c.greetingsPlate.posZ, -30.25f);
    runScene(scene4, 900);
    EXPECT_EQ(c.greetingsPlate.posZ, -30.25f);
    EXPECT_EQ(c.tunnelCopy().rotX, tilt);
    runScene(scene4, 980);
    EXPECT_EQ(c.greetingsPlate.posZ, 30.0f);
}

TEST_F(TunnelScenes, SceneFourFlashesThenExits) {
    timeline().sceneIndex = 4;
    hear({11, 63});
    frame(1000);
    EXPECT_EQ(outline().back(), "clear 0xFFFFFFFF");
    EXPECT_EQ(timeline().sceneIndex, 4);
    hear({12, 0});
    frame(1016);
    EXPECT_EQ(timeline().sceneIndex, 5);
}

}  // namespace
}  // namespace glint::test
