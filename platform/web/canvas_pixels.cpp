#include "platform/web/canvas_pixels.h"

namespace glint {

// 0x00RRGGBB to the bytes R, G, B, 255: a little-endian 0xFFBBGGRR.
void toCanvasPixels(const gfx::Surface& frame, std::vector<std::uint32_t>& canvas) {
    canvas.resize(frame.pixels.size());
    const std::uint32_t* from = frame.pixels.data();
    std::uint32_t* to = canvas.data();
    const std::size_t count = frame.pixels.size();
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t pixel = from[i];
        to[i] = 0xFF000000u | (pixel & 0x00FF00u) | (pixel >> 16 & 0xFFu) | (pixel & 0xFFu) << 16;
    }
}

}  // namespace glint
