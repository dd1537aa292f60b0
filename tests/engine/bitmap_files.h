// 8-bit palettised BMP files made in memory, and a resource table that serves them.
#pragma once

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "platform/resources.h"

namespace glint::test {

// Palette entry i is 0x00RRGGBB = paletteColour(i); pixel (x, y), top row 0, has
// index pixelIndex(x, y). Rows are stored bottom-up unless topDown.
inline std::vector<std::uint8_t> makeBmp(
    std::int32_t width, std::int32_t height,
    const std::function<std::uint8_t(std::int32_t, std::int32_t)>& pixelIndex,
    const std::function<std::uint32_t(std::uint32_t)>& paletteColour, bool topDown = false) {
    const std::uint32_t stride = (static_cast<std::uint32_t>(width) + 3) / 4 * 4;
    const std::uint32_t pixelOffset = 14 + 40 + 256 * 4;
    std::vector<std::uint8_t> file(pixelOffset + stride * static_cast<std::uint32_t>(height));
    auto put = [&](std::size_t at, std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            file[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    };
    file[0] = 'B';
    file[1] = 'M';
    put(2, static_cast<std::uint32_t>(file.size()), 4);
    put(10, pixelOffset, 4);
    put(14, 40, 4);
    put(18, static_cast<std::uint32_t>(width), 4);
    put(22, static_cast<std::uint32_t>(topDown ? -height : height), 4);
    put(26, 1, 2);
    put(28, 8, 2);
    put(46, 256, 4);
    for (std::uint32_t i = 0; i < 256; ++i)
        put(54 + 4 * i, paletteColour(i), 4);
    for (std::int32_t y = 0; y < height; ++y) {
        const std::int32_t fileRow = topDown ? y : height - 1 - y;
        for (std::int32_t x = 0; x < width; ++x) {
            file[pixelOffset + stride * static_cast<std::uint32_t>(fileRow) + x] = pixelIndex(x, y);
        }
    }
    return file;
}

// Installs bitmaps as resources for the lifetime of the table.
struct BitmapResources {
    std::vector<std::pair<std::int32_t, std::vector<std::uint8_t>>> files;
    std::vector<ResourceEntry> entries;

    void add(std::int32_t id, std::vector<std::uint8_t> file) {
        files.emplace_back(id, std::move(file));
        entries.clear();
        for (const auto& [fileId, bytes] : files) {
            entries.push_back({ResourceType::bitmap, fileId, bytes.data(),
                               static_cast<std::uint32_t>(bytes.size())});
        }
        useResources(entries);
    }
    ~BitmapResources() { useResources({}); }
};

}  // namespace glint::test
