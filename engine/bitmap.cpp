#include "engine/bitmap.h"

#include <array>
#include <cstdlib>

namespace glint {
namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kPaletteEntries = 256;
constexpr std::uint32_t kUncompressed = 0;

// Little-endian reads that fail instead of running past the end.
struct Reader {
    std::span<const std::uint8_t> bytes;

    bool has(std::uint64_t offset, std::uint64_t size) const {
        return offset <= bytes.size() && size <= bytes.size() - offset;
    }
    std::uint32_t u16(std::size_t offset) const {
        return bytes[offset] | static_cast<std::uint32_t>(bytes[offset + 1]) << 8;
    }
    std::uint32_t u32(std::size_t offset) const { return u16(offset) | u16(offset + 2) << 16; }
};

}  // namespace

std::optional<Bitmap> decodeBitmap(std::span<const std::uint8_t> bytes) {
    const Reader in{bytes};
    if (!in.has(0, kFileHeaderSize + kInfoHeaderSize)) return std::nullopt;
    if (bytes[0] != 'B' || bytes[1] != 'M') return std::nullopt;
    const std::uint32_t pixelOffset = in.u32(10);
    const std::uint32_t infoSize = in.u32(14);
    const auto width = static_cast<std::int32_t>(in.u32(18));
    const auto signedHeight = static_cast<std::int32_t>(in.u32(22));
    const std::uint32_t planes = in.u16(26);
    const std::uint32_t bitCount = in.u16(28);
    const std::uint32_t compression = in.u32(30);
    std::uint32_t colours = in.u32(46);
    if (infoSize < kInfoHeaderSize || planes != 1 || bitCount != 8 ||
        compression != kUncompressed) {
        return std::nullopt;
    }
    if (colours == 0) colours = kPaletteEntries;
    if (colours > kPaletteEntries || width < 1 || signedHeight == 0 || signedHeight == INT32_MIN) {
        return std::nullopt;
    }
    const std::uint64_t paletteOffset = kFileHeaderSize + std::uint64_t{infoSize};
    if (!in.has(paletteOffset, std::uint64_t{colours} * 4)) return std::nullopt;
    const std::int32_t height = std::abs(signedHeight);
    const std::uint64_t stride = (std::uint64_t{static_cast<std::uint32_t>(width)} + 3) / 4 * 4;
    if (!in.has(pixelOffset, stride * static_cast<std::uint32_t>(height))) return std::nullopt;

    // Indices beyond the palette read as black.
    std::array<std::uint32_t, kPaletteEntries> palette{};
    for (std::uint32_t i = 0; i < colours; ++i) {
        const std::size_t entry = paletteOffset + std::size_t{i} * 4;
        palette[i] = bytes[entry + 2] << 16 | bytes[entry + 1] << 8 | bytes[entry];
    }
    Bitmap bitmap{width, height, {}};
    bitmap.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    const bool bottomUp = signedHeight > 0;
    for (std::int32_t row = 0; row < height; ++row) {
        const std::int32_t fileRow = bottomUp ? height - 1 - row : row;
        const std::size_t source = pixelOffset + stride * static_cast<std::uint32_t>(fileRow);
        std::uint32_t* destination = &bitmap.pixels[static_cast<std::size_t>(row) * width];
        for (std::int32_t column = 0; column < width; ++column) {
            destination[column] = palette[bytes[source + column]];
        }
    }
    return bitmap;
}

}  // namespace glint
