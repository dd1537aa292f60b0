// Scenes 3 and 4: the swinging tunnel with the credit plates, then the greetings.
#include <cmath>

#include "engine/content.h"
#include "engine/deformers.h"
#include "scenes/scene_steps.h"
#include "scenes/scenes.h"
#include "scenes/timeline.h"

namespace glint {
namespace {

constexpr SongPosition kCreditsExit{10, 0};
constexpr SongPosition kGreetingsFlash{11, 63};
constexpr SongPosition kGreetingsExit{12, 0};

// Clock units; the tunnel slides in along x and stops.
constexpr double kTunnelSlideEnd = 710;
constexpr double kTunnelStopX = -40;
constexpr float kTunnelDistance = 100;

// The plates glide in from x = 50 from τ = 660 and reach the middle at τ = 740, each
// at its own rate, rest, and glide out from τ = 800.
constexpr double kPlatesStart = 660;
constexpr double kPlatesArrive = 740;
constexpr double kPlatesLeave = 800;
constexpr double kPlateStartX = 50;
constexpr double kCreditRate = 0.5;
constexpr double kCreditRestX = 10;
constexpr double kLogoRate = 0.5405405405405405;   // 20/37
constexpr double kTitleRate = 0.6211180124223602;  // 100/161
constexpr float kPlateZ = -21;
constexpr float kTitleZ = -41;
constexpr double kLogoY = 3.0;
constexpr double kTitleY = -1.0;

constexpr double kTiltStart = 845;
constexpr double kTiltEnd = 870;
constexpr double kTiltRate = 0.05;
constexpr double kGreetingsArrive = 895;
constexpr double kGreetingsLeave = 970;
constexpr double kGreetingsRestZ = -30;
constexpr double kGreetingsRecede = 6;  // per clock unit
constexpr float kGreetingsX = 2.0f;
constexpr float kGreetingsFogStart = 120;
constexpr float kGreetingsFogEnd = 200;

// Before kPlatesArrive the plate glides in, after kPlatesLeave it glides out.
enum class PlatePhase { arriving, resting, leaving };

PlatePhase platePhase(double tau) {
    if (tau < kPlatesArrive) return PlatePhase::arriving;
    return tau > kPlatesLeave ? PlatePhase::leaving : PlatePhase::resting;
}

void placeCaptionPlates(double tau) {
    SceneContent& content = sceneContent();
    const PlatePhase phase = platePhase(tau);
    const double glidden = tau - kPlatesStart;
    const double gone = tau - kPlatesLeave;
    for (Mesh* credit : {&content.creditPlateA, &content.creditPlateB}) {
        if (phase == PlatePhase::arriving) {
            credit->posX = static_cast<float>(kPlateStartX - glidden * kCreditRate);
        } else if (phase == PlatePhase::leaving) {
            credit->posX = static_cast<float>(gone * kCreditRate + kCreditRestX);
        }
        credit->posZ = kPlateZ;
    }

    Mesh& logo = content.logoPlate();
    logo.posY = static_cast<float>(kLogoY);
    if (phase == PlatePhase::arriving) {
        logo.posX = static_cast<float>(kPlateStartX - glidden * kLogoRate);
    } else if (phase == PlatePhase::leaving) {
        logo.posY = static_cast<float>(gone * kLogoRate + kLogoY);
    }
    logo.posZ = kPlateZ;

    Mesh& title = content.titlePlate;
    title.posZ = kTitleZ;
    title.posY = static_cast<float>(kTitleY);
    if (phase == PlatePhase::arriving) {
        title.posX = static_cast<float>(kPlateStartX - glidden * kTitleRate);
    } else if (phase == PlatePhase::leaving) {
        title.posY = static_cast<float>(kTitleY - gone * kTitleRate);
    }
}

void swingTunnel(double u) {
    Mesh& tunnel = sceneContent().tunnelCopy();
    tunnel.rotY = static_cast<float>(1.6 * std::cos(u));
    tunnel.posZ = kTunnelDistance;
    shadeMesh(tunnel);
}

void drawTunnel(gfx::Device& device) {
    clearAndBegin(device, kClearColour);
    drawBackdrop(device);
    sceneContent().tunnelGroup.drawAll(device);
}

}  // namespace

void scene3(gfx::Device& device, float sceneTime) {
    SceneContent& content = sceneContent();
    const double tau = sceneTime;
    const double u = sceneSeconds(sceneTime);
    animateBackdrop(u, BackdropTurn::turn);
    if (tau < kTunnelSlideEnd) {
        content.tunnelCopy().posX = static_cast<float>(tau - kTunnelSlideEnd + kTunnelStopX);
    }
    advanceTunnel(tau, u);
    placeCaptionPlates(tau);
    swingTunnel(u);

    drawTunnel(device);
    drawCaptionPlates(device, u);
    device.endScene();

    if (reachedSongPosition(kCreditsExit)) {
        timeline().sceneIndex += 1;
        content.fog.fogEnd = kGreetingsFogEnd;
        content.fog.fogStart = kGreetingsFogStart;
        content.fog.enable(device);
    }
}

void scene4(gfx::Device& device, float sceneTime) {
    SceneContent& content = sceneContent();
    const double tau = sceneTime;
    const double u = sceneSeconds(sceneTime);
    animateBackdrop(u, BackdropTurn::keep);
    advanceTunnel(tau, u);
    if (tau < kTiltEnd)
        content.tunnelCopy().rotX = static_cast<float>((tau - kTiltStart) * kTiltRate);

    Mesh& greetings = content.greetingsPlate;
    if (tau < kGreetingsArrive) {
        greetings.posZ = static_cast<float>(tau - kGreetingsArrive + kGreetingsRestZ);
    }
    if (tau > kGreetingsLeave) {
        greetings.posZ =
            static_cast<float>((tau - kGreetingsLeave) * kGreetingsRecede + kGreetingsRestZ);
    }
    greetings.posX = kGreetingsX;
    swingTunnel(u);

    drawTunnel(device);
    setDepthTest(device, false);
    waveDeform(greetings, -u, 1.0, 2.0);
    greetings.draw(device);
    setDepthTest(device, true);
    device.endScene();

    if (atSongPosition(kGreetingsFlash)) whiteFlash(device);
    if (reachedSongPosition(kGreetingsExit)) timeline().sceneIndex += 1;
}

}  // namespace glint
