// Textures made from the show's bitmap resources: a 16-bit surface without alpha,
// sized for the device, with the image copied into its top-left corner.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/bitmap.h"
#include "platform/gfx/device.h"

namespace glint {

// Null when the bitmap resource is missing or bad, or the device cannot hold it.
std::unique_ptr<gfx::Texture> loadBitmapTexture(gfx::Device& device, std::int32_t bitmapId);

std::unique_ptr<gfx::Texture> createTextureFromBitmap(gfx::Device& device, const Bitmap& bitmap);

enum class Enumeration : std::uint8_t { stop, carryOn };

// Takes the first 16-bit RGB format without alpha, luminance, bump or four-cc.
Enumeration pickTextureFormat(const gfx::PixelFormat& format, gfx::PixelFormat& destination);

// Smallest power of two not below `size`; 1 for sizes up to 1.
std::int32_t nextPowerOfTwo(std::int32_t size);

}  // namespace glint
