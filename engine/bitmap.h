// Decoding of uncompressed 8-bit palettised BMP files, the only kind the show carries.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace glint {

struct Bitmap {
    std::int32_t width = 0;  // pixels
    std::int32_t height = 0;
    std::vector<std::uint32_t> pixels;  // 0x00RRGGBB, row-major, top row first
};

// Null for anything but a well-formed file of that kind; never reads outside `bytes`.
std::optional<Bitmap> decodeBitmap(std::span<const std::uint8_t> bytes);

}  // namespace glint
