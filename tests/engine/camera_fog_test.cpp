#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <numbers>

#include "engine/camera.h"
#include "engine/fog.h"
#include "tests/engine/recording_device.h"

namespace glint {
namespace {

using gfx::RenderState;
using test::RecordingDevice;

TEST(Camera, FreshCameraSeesTheWorldUnmoved) {
    Camera camera;
    const Matrix view = camera.viewMatrix();
    const Matrix identity = identityMatrix();
    EXPECT_EQ(std::memcmp(&view, &identity, sizeof view), 0);
}

TEST(Camera, PositionMovesTheWorldBeforeTheRotation) {
    Camera camera;
    camera.posZ = 50;
    const Point3 origin = transformPoint({0, 0, 0}, camera.viewMatrix());
    EXPECT_EQ(origin.x, 0);
    EXPECT_EQ(origin.y, 0);
    EXPECT_EQ(origin.z, 50);

    Camera turned;
    turned.rotY = std::numbers::pi_v<float> / 2;
    turned.posX = 1;
    const Point3 p = transformPoint({1, 0, 0}, turned.viewMatrix());
    EXPECT_NEAR(p.x, 0, 1e-6);
    EXPECT_NEAR(p.z, -2, 1e-6);  // moved to x = 2, then turned onto −z
    const Matrix rotation = rotationMatrix(0, turned.rotY, 0);
    EXPECT_EQ(std::memcmp(&turned.matrix, &rotation, sizeof rotation), 0);
}

std::vector<std::pair<RenderState, std::uint32_t>> enabled(const FogBlock& fog) {
    return {{RenderState::fogEnable, 1},
            {RenderState::fogStart, std::bit_cast<std::uint32_t>(fog.fogStart)},
            {RenderState::fogEnd, std::bit_cast<std::uint32_t>(fog.fogEnd)},
            {RenderState::fogColor, fog.fogColor},
            {RenderState::fogTableMode, fog.fogTableMode},
            {RenderState::fogDensity, std::bit_cast<std::uint32_t>(fog.fogDensity)}};
}

TEST(Fog, EnableSendsAllSixStatesInOrderAndDisableOnlyOne) {
    FogBlock fog{0.1f, 100.8f, 0.1f, 0x000A1428, gfx::kFogLinear};
    RecordingDevice device;
    fog.enable(device);
    EXPECT_EQ(device.renderStates(), enabled(fog));
    EXPECT_EQ(device.renderStates()[2].second, 0x42C9999Au);

    device.calls.clear();
    fog.disable(device);
    fog.fogEnd = 70;
    fog.fogStart = 120;
    fog.fogColor = 0;
    fog.enable(device);
    auto expected = enabled(fog);
    expected.insert(expected.begin(), {RenderState::fogEnable, 0});
    EXPECT_EQ(device.renderStates(), expected);
}

}  // namespace
}  // namespace glint
