// A device that takes every call and draws nothing: for runs of the show that need its
// events but not its pictures. Textures are made as any device makes them.
#pragma once

#include <memory>

#include "platform/gfx/device.h"

namespace glint::gfx {

std::unique_ptr<Device> createNullDevice();

}  // namespace glint::gfx
