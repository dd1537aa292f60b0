// The picture as a web page's canvas takes it.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/gfx/surface.h"

namespace glint {

// `frame`'s pixels as opaque RGBA bytes in memory order, row by row, into `canvas`
// (resized to the frame).
void toCanvasPixels(const gfx::Surface& frame, std::vector<std::uint32_t>& canvas);

}  // namespace glint
