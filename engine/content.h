// Everything the scenes draw, built anew each time a device is created.
#pragma once

#include <cstdint>

#include "engine/camera.h"
#include "platform/gfx/device.h"

namespace glint {

struct SceneContent {
    Camera mainCamera;
    std::uint32_t buildCount = 0;  // how many times the content was built
};

// The one content record of the process.
SceneContent& sceneContent();
void resetSceneContent();

std::int32_t buildSceneContent(gfx::Device& device);

}  // namespace glint
