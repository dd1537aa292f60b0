// Scene 2: the pulsing cube between floor and ceiling.
#include <cmath>

#include "engine/content.h"
#include "scenes/scene_steps.h"
#include "scenes/scenes.h"
#include "scenes/timeline.h"

namespace glint {
namespace {

constexpr SongPosition kCubeFlash{7, 63};
constexpr SongPosition kCubeExit{8, 0};

}  // namespace

BlobShape cubePulseShape(double pulse) {
    double sign = 1.0;
    if (pulse < 0) {
        pulse = 0.5 * pulse;
        sign = -1.0;
    }
    return {pulse > 0 ? pulse + 1 : pulse - 1, sign};
}

void scene2(gfx::Device& device, float sceneTime) {
    SceneContent& content = sceneContent();
    const double u = sceneSeconds(sceneTime);
    const double v = u * kTenThirteenths;
    animateBackdrop(u, BackdropTurn::turn);
    swayFloorCamera(u);

    clearAndBegin(device, kClearColour);
    drawBackdropAndFloor(device);
    setView(device, content.mainCamera);
    clearDepth(device);
    const double pulse = 6 * std::cos(0.5 * u) + std::sin(v);
    blobStep(device, cubePulseShape(pulse), u);
    device.endScene();

    if (reachedSongPosition(kCubeExit)) {
        timeline().sceneIndex += 1;
        content.fog.disable(device);
    } else if (atSongPosition(kCubeFlash)) {
        whiteFlash(device);
        for (Mesh& face : content.blobFaces)
            face.setOpacity(kHalfOpaque);
    }
}

}  // namespace glint
