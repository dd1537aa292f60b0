// The software 3-D device: draws into a Surface with its attached depth buffer.
#pragma once

#include <memory>

#include "platform/gfx/device.h"

namespace glint::gfx {

// What the device demands of texture sizes; settable so that callers' sizing
// logic can be exercised against a strict device.
struct TextureRequirements {
    bool powerOfTwo = false;
    bool square = false;
};

// A device drawing into `target`, which must outlive it. Without a depth buffer
// on the target, depth testing is off whatever the render state says.
std::unique_ptr<Device> createSoftwareDevice(Surface& target,
                                             TextureRequirements requirements = {});

}  // namespace glint::gfx
