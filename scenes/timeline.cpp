#include "scenes/timeline.h"

#include "engine/content.h"
#include "engine/matrix.h"
#include "scenes/scene_steps.h"
#include "scenes/scenes.h"

namespace glint {
namespace {

Timeline state;

using Scene = void (*)(gfx::Device&, float);
constexpr Scene kScenes[kSceneCount] = {scene0, scene1, scene2, scene3,
                                        scene4, scene5, scene6, scene7};

// The player's output ring holds about 16 rows: the row heard lags the row processed.
constexpr std::int32_t kHeardLag = 16;
constexpr std::int32_t kPatternRows = 64;

}  // namespace

Timeline& timeline() {
    return state;
}

void resetTimeline() {
    state = Timeline{};
}

std::int32_t runTimeline(gfx::Device& device, float sceneTime) {
    setView(device, sceneContent().mainCamera);
    device.setTransform(gfx::TransformKind::world, identityMatrix());
    // Re-read before each test: a scene that exits hands over within the same frame.
    for (std::int32_t index = 0; index < kSceneCount; ++index) {
        if (state.sceneIndex == index) kScenes[index](device, sceneTime);
    }
    if (state.sceneIndex == kSceneCount) state.quitRequested = true;
    return 0;
}

namespace {

SongPosition heardPosition() {
    SongPosition heard = state.songPosition ? state.songPosition() : SongPosition{};
    heard.row -= kHeardLag;
    if (heard.row < 0) {
        heard.row += kPatternRows;
        heard.order -= 1;
    }
    return heard;
}

}  // namespace

bool atSongPosition(SongPosition position) {
    const SongPosition heard = heardPosition();
    return heard.order == position.order && heard.row == position.row;
}

bool reachedSongPosition(SongPosition position) {
    const SongPosition heard = heardPosition();
    return heard.order > position.order ||
           (heard.order == position.order && heard.row >= position.row);
}

}  // namespace glint
