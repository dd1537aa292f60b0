// Scenes 0 and 1: the wave sheets rising out of the fog, then floor, ceiling and title.
#include <algorithm>
#include <cmath>

#include "engine/content.h"
#include "engine/deformers.h"
#include "scenes/scene_steps.h"
#include "scenes/scenes.h"
#include "scenes/timeline.h"

namespace glint {
namespace {

constexpr SongPosition kOpeningFlash{3, 61};
constexpr SongPosition kOpeningExit{3, 62};
constexpr SongPosition kTitleFlash{5, 63};
constexpr SongPosition kTitleExit{6, 0};

constexpr double kFadeInEnd = 200;  // clock units
constexpr double kRiseEnd = 400;    // clock units
constexpr double kFogGrowth = 1.8;  // fog end per clock unit while fading in
constexpr double kSheetHeight = 200;
constexpr double kSheetRise = 140;  // how much closer the sheets come
constexpr double kSheetSwing = 20;
constexpr double kLogoStart = 250;
constexpr double kLogoSpeed = 4;  // per clock unit
constexpr float kLogoX = 5.5f;
constexpr float kTitleFogEnd = 70;
constexpr float kBannerDistance = 10;
// Only the depth is cleared with it, so this colour never shows.
constexpr std::uint32_t kTitleDepthClearColour = 0x000A281E;

void rippleSheets(double u) {
    SceneContent& content = sceneContent();
    waveDeform(content.waveA(), u, 40.0, 30.5);
    waveDeform(content.waveB(), 2 * u, 30.5, 40.0);
}

void placeSheets(double u, double base, double rise) {
    SceneContent& content = sceneContent();
    const auto z = static_cast<float>(base + kSheetSwing * std::sin(2 * u) - rise);
    content.waveA().posZ = z;
    content.waveB().posZ = z;
}

}  // namespace

void scene0(gfx::Device& device, float sceneTime) {
    SceneContent& content = sceneContent();
    const double tau = sceneTime;
    const double u = sceneSeconds(sceneTime);
    Mesh& logo = content.logoPlate();
    if (tau < kFadeInEnd) {
        content.fog.fogEnd = static_cast<float>(kFogGrowth * tau);
        content.fog.enable(device);
        rippleSheets(u);
        placeSheets(u, kSheetHeight, 0);
        logo.posZ = static_cast<float>(kLogoStart);
        animateBackdrop(u, BackdropTurn::turn);
    } else if (tau < kRiseEnd) {
        const double rise = std::min(tau - kFadeInEnd, kSheetRise);
        placeSheets(u, kSheetHeight, rise);
        animateBackdrop(u, BackdropTurn::turn);
        rippleSheets(u);
        logo.posZ = static_cast<float>(kLogoStart - kLogoSpeed * (tau - kFadeInEnd));
    }
    logo.posX = kLogoX;

    clearAndBegin(device, kClearColour);
    drawBackdrop(device);
    content.waveGroup.drawAll(device);
    device.endScene();

    if (atSongPosition(kOpeningFlash)) {
        whiteFlash(device);
        content.waveA().setOpacity(kHalfOpaque);
        content.waveB().setOpacity(kHalfOpaque);
    } else if (reachedSongPosition(kOpeningExit)) {
        timeline().sceneIndex += 1;
        content.fog.fogEnd = kTitleFogEnd;
        content.fog.enable(device);
    }
}

void scene1(gfx::Device& device, float sceneTime) {
    SceneContent& content = sceneContent();
    const double u = sceneSeconds(sceneTime);
    rippleSheets(u);
    placeSheets(u, kSheetHeight - kSheetRise, 0);
    animateBackdrop(u, BackdropTurn::turn);
    swayFloorCamera(u);

    clearAndBegin(device, kClearColour);
    drawBackdropAndFloor(device);
    clearDepth(device);
    setView(device, content.mainCamera);
    content.waveGroup.drawAll(device);
    clearDepth(device, kTitleDepthClearColour);
    content.bannerCamera.posZ = kBannerDistance;
    setView(device, content.bannerCamera);
    waveDeform(content.titlePlate, -u, 5.5, 4.0);
    content.titlePlate.draw(device);
    device.endScene();

    if (reachedSongPosition(kTitleExit)) {
        timeline().sceneIndex += 1;
    } else if (atSongPosition(kTitleFlash)) {
        whiteFlash(device);
    }
}

}  // namespace glint
