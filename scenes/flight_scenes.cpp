// Scenes 5 and 6: the flight through the growing tunnel, one procedure with two variants.
#include <algorithm>
#include <cmath>

#include "engine/content.h"
#include "scenes/scene_steps.h"
#include "scenes/scenes.h"
#include "scenes/timeline.h"

namespace glint {
namespace {

constexpr SongPosition kFlightExit{14, 0};
constexpr SongPosition kRollingExit{16, 0};

enum class Flight { level, rolling };

// The camera follows the path the rings were laid along, 0.275 seconds behind them.
constexpr double kCameraLag = 0.275;
constexpr double kCameraOffset = 1.5;
constexpr double kCameraPitch = -1.4;
constexpr double kTenElevenths = 0.9090909090909091;
constexpr double kCubeAppears = 1100;  // clock units; the level flight shows the cube after it
// Clock units: from kFadeStart the rolling flight darkens as if the fade began at kFadeOrigin.
constexpr double kFadeStart = 1620;
constexpr double kFadeOrigin = 1610;
constexpr float kFogStart = 0.1f;
constexpr float kClosingCameraZ = 40;
constexpr std::uint32_t kBlack = 0x00000000;

void placeBlobCamera(double u) {
    sceneContent().blobCamera.posZ = static_cast<float>(25 * std::cos(u) + 75);
}

void flight(gfx::Device& device, float sceneTime, Flight kind) {
    SceneContent& content = sceneContent();
    const bool rolling = kind == Flight::rolling;
    const double tau = sceneTime;
    const double u = sceneSeconds(sceneTime);
    const double s = std::sin(u);

    FogRgb rgb = flightFogRgb(s);
    double fogEnd = 50 * std::cos(u + std::sin(2 * u)) + 100;
    if (rolling && tau >= kFadeStart) {
        const double fade = tau - kFadeOrigin;
        rgb = fadeFogRgb(rgb, fade);
        fogEnd -= kFogCloseIn * fade;
    }
    const std::uint32_t colour = packRgb(rgb);
    content.fog.fogEnd = static_cast<float>(fogEnd);
    content.fog.fogStart = kFogStart;
    content.fog.fogColor = colour;
    content.fog.enable(device);

    const PathPoint eye = tunnelPath(u - kCameraLag);
    advanceTunnel(tau, u);
    Mesh& tunnel = content.tunnelCopy();
    tunnel.rotY = static_cast<float>(0.05 * std::cos(u));
    tunnel.rotX = tunnel.rotZ = 0;
    tunnel.posX = tunnel.posY = tunnel.posZ = 0;
    if (rolling) placeBlobCamera(u);

    Camera& camera = content.mainCamera;
    camera.posX = static_cast<float>(eye.x + kCameraOffset);
    camera.posY = 0;
    camera.posZ = static_cast<float>(eye.z + kCameraOffset);
    camera.rotX =
        static_cast<float>(rolling ? 0.5 * std::cos(1.2 * u) + kCameraPitch : kCameraPitch);
    camera.rotY = static_cast<float>(std::cos(u * kTenElevenths) + s);
    if (rolling) camera.rotZ = static_cast<float>(0.2 * std::sin(u * kFiveSixths));
    shadeMesh(tunnel);

    // Background and fog share the colour, so the far tunnel dissolves into it.
    clearAndBegin(device, colour);
    content.tunnelGroup.drawAll(device);
    if (rolling || tau > kCubeAppears) {
        if (!rolling) placeBlobCamera(u);
        setView(device, content.blobCamera);
        clearDepth(device);
        const double pulse = std::sin(1.3 * u) + 6 * std::cos(2 * u);
        blobStep(device, flightPulseShape(pulse), u);
    }
    device.endScene();
}

}  // namespace

FogRgb flightFogRgb(double s) {
    const auto grey = static_cast<std::int32_t>(std::trunc(128 * (s + 1)));
    return {grey, grey, static_cast<std::int32_t>(std::trunc(100 * s + 156))};
}

FogRgb fadeFogRgb(FogRgb rgb, double fade) {
    auto darken = [fade](std::int32_t channel) {
        return std::max(0, static_cast<std::int32_t>(std::trunc(channel - fade)));
    };
    return {darken(rgb.red), darken(rgb.green), darken(rgb.blue)};
}

std::uint32_t packRgb(FogRgb rgb) {
    return static_cast<std::uint32_t>(rgb.red) << 16 | static_cast<std::uint32_t>(rgb.green) << 8 |
           static_cast<std::uint32_t>(rgb.blue);
}

BlobShape flightPulseShape(double pulse) {
    double sign = 1.0;
    if (pulse < 0) {
        pulse = -0.5 * pulse;
        sign = -1.0;
    }
    return {pulse + 1.5, sign};
}

void scene5(gfx::Device& device, float sceneTime) {
    flight(device, sceneTime, Flight::level);
    if (reachedSongPosition(kFlightExit)) {
        SceneContent& content = sceneContent();
        timeline().sceneIndex += 1;
        content.tunnelCopy().setOpacity(kHalfOpaque);
        for (Mesh& face : content.blobFaces)
            face.setOpacity(kOpaque);
    }
}

void scene6(gfx::Device& device, float sceneTime) {
    flight(device, sceneTime, Flight::rolling);
    if (reachedSongPosition(kRollingExit)) {
        SceneContent& content = sceneContent();
        timeline().sceneIndex += 1;
        content.mainCamera.rotX = content.mainCamera.rotY = content.mainCamera.rotZ = 0;
        content.mainCamera.posX = content.mainCamera.posY = 0;
        content.mainCamera.posZ = kClosingCameraZ;
        content.backdrop.setOpacity(kOpaque);
        content.fog.fogStart = kFogStart;
        content.fog.fogEnd = kClosingFogEnd;
        content.fog.fogColor = kBlack;
        content.fog.enable(device);
    }
}

}  // namespace glint
