// The software 3-D device: draws into a Surface with its attached depth buffer.
#pragma once

#include <memory>

#include "platform/gfx/device.h"

namespace glint::gfx {

// A device drawing into `target`, which must outlive it and have a depth buffer.
std::unique_ptr<Device> createSoftwareDevice(Surface& target);

}  // namespace glint::gfx
