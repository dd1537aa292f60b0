// An off-screen colour target with its attached depth buffer, and the texture
// surfaces of 16-bit texels that materials own.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/gfx/pixel_format.h"

namespace glint::gfx {

struct Surface {
    std::int32_t width = 0;  // pixels
    std::int32_t height = 0;
    std::vector<std::uint32_t> pixels;  // 0x00RRGGBB, row-major, top row first
    std::vector<float> depth;  // 0 (near) .. 1 (far); empty until a depth buffer is attached
    PixelFormat depthFormat;
    bool lost = false;  // the display took the surface away; restore() brings it back
};

struct Texture {
    std::int32_t width = 0;  // texels
    std::int32_t height = 0;
    PixelFormat format;                 // a 16-bit RGB format without alpha
    std::vector<std::uint16_t> texels;  // row-major, top row first
};

// A texture of width × height zeroed texels; sizes are the caller's to check.
inline std::unique_ptr<Texture> makeZeroedTexture(std::int32_t width, std::int32_t height,
                                                  const PixelFormat& format) {
    auto texture = std::make_unique<Texture>();
    texture->width = width;
    texture->height = height;
    texture->format = format;
    texture->texels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
    return texture;
}

}  // namespace glint::gfx
