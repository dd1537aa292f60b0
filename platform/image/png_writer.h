// Saving a finished colour target as a PNG image, for screenshots, captures and
// tests.
#pragma once

#include <cstdint>
#include <string>

namespace glint::image {

// Writes `width` × `height` pixels of 0x00RRGGBB, row-major from the top, as an
// opaque 8-bit RGB PNG. False when the file cannot be written.
bool writePng(const std::string& path, std::int32_t width, std::int32_t height,
              const std::uint32_t* pixels);

}  // namespace glint::image
