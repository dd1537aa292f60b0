// Scene 7: the caption plates recede one behind the other while the black fog closes in.
#include <utility>

#include "engine/content.h"
#include "scenes/scene_steps.h"
#include "scenes/scenes.h"
#include "scenes/timeline.h"

namespace glint {
namespace {

constexpr SongPosition kClosingExit{19, 20};

constexpr double kFogClosesFrom = 1560;  // clock units

struct PlatePlace {
    float x, y;
    double passesOrigin;  // the clock time at which the plate is at z = 0
};

}  // namespace

void scene7(gfx::Device& device, float sceneTime) {
    SceneContent& content = sceneContent();
    const double tau = sceneTime;
    if (tau > kFogClosesFrom) {
        content.fog.fogEnd =
            static_cast<float>(kClosingFogEnd - kFogCloseIn * (tau - kFogClosesFrom));
        content.fog.enable(device);
    }
    const std::pair<Mesh*, PlatePlace> places[] = {
        {&content.titlePlate, {1.0f, 1.0f, 1420}},
        {&content.logoPlate(), {5.5f, 0, 1460}},
        {&content.creditPlateB, {1.0f, 0, 1500}},
        {&content.creditPlateA, {2.0f, 0, 1540}},
    };
    for (const auto& [plate, place] : places) {
        plate->posX = place.x;
        plate->posY = place.y;
        plate->posZ = static_cast<float>(tau - place.passesOrigin);
    }
    const double u = sceneSeconds(sceneTime);
    animateBackdrop(u, BackdropTurn::turn);

    clearAndBegin(device, kClearColour);
    drawBackdrop(device);
    // Nearest first without depth: a farther plate covers a nearer one.
    drawCaptionPlates(device, u);
    device.endScene();

    if (reachedSongPosition(kClosingExit)) timeline().sceneIndex += 1;
}

}  // namespace glint
