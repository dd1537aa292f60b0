// A surface's pixel format, laid out like the display system's 32-byte record so
// that callers may copy it whole and test its `size`.
#pragma once

#include <cstdint>

namespace glint::gfx {

enum PixelFormatFlag : std::uint32_t {
    kPixelAlpha = 0x1,
    kPixelFourCc = 0x4,
    kPixelRgb = 0x40,
    kPixelZBuffer = 0x400,
    kPixelStencil = 0x4000,
    kPixelLuminance = 0x20000,
    kPixelBumpLuminance = 0x40000,
    kPixelBumpDuDv = 0x80000,
};

struct PixelFormat {
    std::uint32_t size = 0;  // 32 once filled in; 0 means "no format"
    std::uint32_t flags = 0;
    std::uint32_t fourCc = 0;
    std::uint32_t bitCount = 0;  // colour or depth bits per pixel
    std::uint32_t redMask = 0;   // or the depth mask for depth formats
    std::uint32_t greenMask = 0;
    std::uint32_t blueMask = 0;
    std::uint32_t alphaMask = 0;
};
static_assert(sizeof(PixelFormat) == 32);

inline constexpr std::uint32_t kPixelFormatSize = sizeof(PixelFormat);

inline constexpr PixelFormat kFormatRgb565{kPixelFormatSize, kPixelRgb, 0,      16,
                                           0xF800,           0x07E0,    0x001F, 0};
inline constexpr PixelFormat kFormatRgb555{kPixelFormatSize, kPixelRgb, 0,      16,
                                           0x7C00,           0x03E0,    0x001F, 0};
inline constexpr PixelFormat kFormatDepth32{
    kPixelFormatSize, kPixelZBuffer, 0, 32, 0xFFFFFFFF, 0, 0, 0};

}  // namespace glint::gfx
