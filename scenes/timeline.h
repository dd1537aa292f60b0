// The sequencer: which scene draws each frame, and when the show is over.
#pragma once

#include <cstdint>

#include "platform/gfx/device.h"

namespace glint {

struct Timeline {
    std::int32_t sceneIndex = 0;
    bool quitRequested = false;  // the last scene has ended; the shell posts the quit
};

Timeline& timeline();
void resetTimeline();

// Draws one frame of the show at `sceneTime` (tenths of a second since the music
// started). Negative on failure.
std::int32_t runTimeline(gfx::Device& device, float sceneTime);

}  // namespace glint
