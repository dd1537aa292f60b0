#include "engine/texture_loader.h"

#include <algorithm>
#include <bit>

#include "platform/gfx/results.h"
#include "platform/resources.h"

namespace glint {
namespace {

constexpr std::uint32_t kTextureBits = 16;
constexpr std::uint32_t kRejectedFlags =
    gfx::kPixelAlpha | gfx::kPixelLuminance | gfx::kPixelBumpLuminance | gfx::kPixelBumpDuDv;

// One 8-bit channel narrowed to the bits of `mask`, dropping the low bits.
std::uint16_t packChannel(std::uint32_t value, std::uint32_t mask) {
    if (mask == 0) return 0;
    const int shift = std::countr_zero(mask);
    const int bits = std::popcount(mask);
    const std::uint32_t narrowed = bits >= 8 ? value << (bits - 8) : value >> (8 - bits);
    return static_cast<std::uint16_t>((narrowed << shift) & mask);
}

std::uint16_t packTexel(std::uint32_t rgb, const gfx::PixelFormat& format) {
    return packChannel(rgb >> 16 & 0xFF, format.redMask) |
           packChannel(rgb >> 8 & 0xFF, format.greenMask) |
           packChannel(rgb & 0xFF, format.blueMask);
}

}  // namespace

std::int32_t nextPowerOfTwo(std::int32_t size) {
    if (size <= 1) return 1;
    return static_cast<std::int32_t>(std::bit_ceil(static_cast<std::uint32_t>(size)));
}

Enumeration pickTextureFormat(const gfx::PixelFormat& format, gfx::PixelFormat& destination) {
    if ((format.flags & kRejectedFlags) != 0 || format.fourCc != 0 ||
        format.bitCount != kTextureBits) {
        return Enumeration::carryOn;
    }
    destination = format;
    return Enumeration::stop;
}

std::unique_ptr<gfx::Texture> createTextureFromBitmap(gfx::Device& device, const Bitmap& bitmap) {
    gfx::DeviceCaps caps;
    if (gfx::failed(device.getCaps(caps))) return nullptr;
    std::int32_t width = bitmap.width;
    std::int32_t height = bitmap.height;
    if (caps.texturesPowerOfTwo) {
        width = nextPowerOfTwo(width);
        height = nextPowerOfTwo(height);
    }
    if (caps.texturesSquare) width = height = std::max(width, height);

    gfx::PixelFormat format;
    for (const gfx::PixelFormat& offered : device.textureFormats()) {
        if (pickTextureFormat(offered, format) == Enumeration::stop) break;
    }
    if (format.bitCount == 0) return nullptr;
    std::unique_ptr<gfx::Texture> texture = device.createTexture(width, height, format);
    if (!texture) return nullptr;

    // The image keeps its own size in the top-left corner; a surface of another size
    // than asked for gets the part that fits.
    const std::int32_t copyWidth = std::min(bitmap.width, texture->width);
    const std::int32_t copyHeight = std::min(bitmap.height, texture->height);
    for (std::int32_t y = 0; y < copyHeight; ++y) {
        const std::uint32_t* source = &bitmap.pixels[static_cast<std::size_t>(y) * bitmap.width];
        std::uint16_t* destination = &texture->texels[static_cast<std::size_t>(y) * texture->width];
        for (std::int32_t x = 0; x < copyWidth; ++x) {
            destination[x] = packTexel(source[x], texture->format);
        }
    }
    return texture;
}

std::unique_ptr<gfx::Texture> loadBitmapTexture(gfx::Device& device, std::int32_t bitmapId) {
    // Bitmaps are named by resource id only, and an id is no file name, so there is
    // no fallback to a file: the show reads nothing from disk.
    const std::optional<ResourceBytes> resource = findResource(ResourceType::bitmap, bitmapId);
    if (!resource) return nullptr;
    const std::optional<Bitmap> bitmap = decodeBitmap({resource->data, resource->size});
    if (!bitmap) return nullptr;
    return createTextureFromBitmap(device, *bitmap);
}

}  // namespace glint
