#include <gtest/gtest.h>

#include <cmath>

#include "scenes/scene_steps.h"
#include "scenes/scenes.h"
#include "tests/scenes/scene_fixture.h"

namespace glint::test {
namespace {

using FlightScenes = SceneTest;

void expectRgb(FogRgb rgb, std::int32_t red, std::int32_t green, std::int32_t blue) {
    EXPECT_EQ(rgb.red, red);
    EXPECT_EQ(rgb.green, green);
    EXPECT_EQ(rgb.blue, blue);
}

TEST(FlightFog, ColourSwingsFromDarkBlueAndFadesTowardBlack) {
    expectRgb(flightFogRgb(0), 128, 128, 156);
    EXPECT_EQ(packRgb(flightFogRgb(0)), 0x0080809Cu);
    expectRgb(flightFogRgb(-1), 0, 0, 56);
    expectRgb(flightFogRgb(-0.999), 0, 0, 56);
    expectRgb(fadeFogRgb({128, 128, 156}, 40), 88, 88, 116);
    expectRgb(fadeFogRgb({0, 0, 56}, 60), 0, 0, 0);
    expectRgb(fadeFogRgb({10, 10, 20}, 10.5), 0, 0, 9);
}

float flightFogEnd(double u) {
    return static_cast<float>(50 * std::cos(u + std::sin(2 * u)) + 100);
}

TEST_F(FlightScenes, SceneFiveFliesThroughFogOfTheBackgroundColour) {
    runScene(scene5, 1050);
    const double u = sceneSeconds(1050);
    const std::uint32_t colour = packRgb(flightFogRgb(std::sin(u)));
    EXPECT_EQ(outline(), (Lines{clearLine(colour), "begin", "tunnel", "end"}));
    const MeshDraw tunnel = drawsOf("tunnel")[0];
    EXPECT_TRUE(tunnel.fog.on);
    EXPECT_EQ(tunnel.fog.colour, colour);
    EXPECT_EQ(tunnel.fog.start, 0.1f);
    EXPECT_EQ(tunnel.fog.end, flightFogEnd(u));

    SceneContent& c = content();
    const PathPoint eye = tunnelPath(u - 0.275);
    EXPECT_EQ(c.mainCamera.posX, static_cast<float>(eye.x + 1.5)) << "behind the rings' path";
    EXPECT_EQ(c.mainCamera.rotX, -1.4f);
    EXPECT_EQ(c.mainCamera.rotZ, 0.0f);
}

TEST_F(FlightScenes, SceneFiveShowsTheCubeOnlyAfterElevenHundred) {
    runScene(scene5, 1100);
    EXPECT_TRUE(drawsOf("blob0").empty());
    const float later = std::nextafter(1100.0f, 2000.0f);
    runScene(scene5, later);
    const Lines lines = outline();
    EXPECT_EQ(
        Lines(lines.begin() + 2, lines.end()),
        (Lines{"tunnel", "depth", "blob0", "blob1", "blob2", "blob3", "blob4", "blob5", "end"}));
    Camera& blobCamera = content().blobCamera;
    EXPECT_EQ(blobCamera.posZ, static_cast<float>(25 * std::cos(sceneSeconds(later)) + 75));
    EXPECT_TRUE(sameMatrix(drawsOf("blob5")[0].view, blobCamera.viewMatrix()));
}

TEST_F(FlightScenes, TheCameraMoveShowsOnTheNextFrame) {
    timeline().sceneIndex = 5;
    const Matrix before = content().mainCamera.viewMatrix();
    frame(1050);
    EXPECT_TRUE(sameMatrix(drawsOf("tunnel")[0].view, before));
    const Matrix moved = content().mainCamera.viewMatrix();
    frame(1051);
    EXPECT_TRUE(sameMatrix(drawsOf("tunnel")[0].view, moved));
}

TEST_F(FlightScenes, SceneSixRollsAndFromSixteenTwentyFadesToBlack) {
    runScene(scene6, 1619.875f);
    double u = sceneSeconds(1619.875f);
    EXPECT_EQ(device.fog.end, flightFogEnd(u));
    EXPECT_EQ(device.fog.colour, packRgb(flightFogRgb(std::sin(u))));
    EXPECT_NE(content().mainCamera.rotZ, 0.0f) << "the rolling flight rolls";
    EXPECT_EQ(drawsOf("blob2").size(), 1u);

    runScene(scene6, 1620);
    u = sceneSeconds(1620);
    EXPECT_EQ(device.fog.colour, packRgb(fadeFogRgb(flightFogRgb(std::sin(u)), 10)))
        << "the fade starts with a step of 10";
    EXPECT_EQ(device.fog.end, static_cast<float>(50 * std::cos(u + std::sin(2 * u)) + 100 - 30));

    runScene(scene6, 1650);
    u = sceneSeconds(1650);
    const std::uint32_t faded = packRgb(fadeFogRgb(flightFogRgb(std::sin(u)), 40));
    EXPECT_EQ(device.fog.colour, faded);
    EXPECT_EQ(device.steps[0].clearColour, faded);
    EXPECT_EQ(device.fog.end, static_cast<float>(50 * std::cos(u + std::sin(2 * u)) + 100 - 120));
}

TEST_F(FlightScenes, ExitsMakeTheTunnelHalfTransparentThenResetCameraAndFog) {
    SceneContent& c = content();
    for (Mesh& face : c.blobFaces)
        face.setOpacity(0.5);
    timeline().sceneIndex = 5;
    hear({14, 0});
    frame(1016);
    EXPECT_EQ(timeline().sceneIndex, 6);
    EXPECT_EQ(c.tunnelCopy().opacity, 0.5);
    EXPECT_EQ(drawsOf("tunnel").back().srcBlend, gfx::kBlendSrcColor);
    for (const Mesh& face : c.blobFaces)
        EXPECT_EQ(face.opacity, 1.0);
    EXPECT_EQ(drawsOf("blob0").back().srcBlend, gfx::kBlendOne);

    hear({16, 0});
    frame(1182);
    EXPECT_EQ(timeline().sceneIndex, 7);
    const Camera& camera = c.mainCamera;
    EXPECT_EQ(camera.rotX, 0.0f);
    EXPECT_EQ(camera.rotY, 0.0f);
    EXPECT_EQ(camera.rotZ, 0.0f);
    EXPECT_EQ(camera.posX, 0.0f);
    EXPECT_EQ(camera.posY, 0.0f);
    EXPECT_EQ(camera.posZ, 40.0f);
    const MeshDraw backdrop = drawsOf("backdrop").at(0);
    EXPECT_EQ(backdrop.srcBlend, gfx::kBlendOne);
    EXPECT_TRUE(backdrop.fog.on);
    EXPECT_EQ(backdrop.fog.start, 0.1f);
    EXPECT_EQ(backdrop.fog.end, 200.0f);
    EXPECT_EQ(backdrop.fog.colour, 0u);
}

}  // namespace
}  // namespace glint::test
