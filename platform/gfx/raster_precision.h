// The numeric limits of the software rasterizer, stated once.
#pragma once

#include <cstdint>

namespace glint::gfx {

// Vertices snap to 1/256 pixel; edge functions are exact integers at that grid.
inline constexpr int kSubPixelBits = 8;
inline constexpr std::int64_t kSubPixelScale = std::int64_t{1} << kSubPixelBits;

// Triangles reaching further than this beyond the viewport are clipped in clip
// space; inside it they are rasterized whole and the spans are cut to the target.
inline constexpr float kGuardBandPixels = 8192.0f;

// Bounds that keep every edge-function product inside 64 bits: targets larger
// than this are not drawn into, and snapped coordinates are clamped to the limit.
inline constexpr std::int32_t kMaxTargetSide = 16384;
inline constexpr float kMaxScreenCoordinate = 65536.0f;

// Texel indices are formed in single precision, exact up to 2^24 texels.
inline constexpr std::int32_t kMaxTextureSide = 4096;

}  // namespace glint::gfx
