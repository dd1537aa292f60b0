#include "engine/content.h"

namespace glint {
namespace {

SceneContent content;

}  // namespace

SceneContent& sceneContent() { return content; }

void resetSceneContent() { content = SceneContent{}; }

std::int32_t buildSceneContent(gfx::Device&) {
    ++content.buildCount;
    return 0;
}

}  // namespace glint
