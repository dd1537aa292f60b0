// The committed bitmaps are exactly what the generator draws, and each has the size,
// depth and look its place in the show needs.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "engine/bitmap.h"
#include "platform/resources.h"
#include "tools/make_bitmaps/art.h"

namespace {

const std::string kResources = std::string(GLINT_SOURCE_DIR) + "/resources/";

struct Expected {
    std::int32_t id;
    std::string fileName;
    std::int32_t width;
    std::int32_t height;
};

const std::array<Expected, 7> kExpected{{
    {103, "logo.bmp", 216, 20},
    {104, "title.bmp", 100, 40},
    {105, "credit_code.bmp", 100, 22},
    {106, "credit_music.bmp", 100, 22},
    {113, "marble.bmp", 128, 128},
    {116, "greetings.bmp", 256, 256},
    {123, "tunnel.bmp", 128, 128},
}};

std::vector<std::uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint32_t u16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | static_cast<std::uint32_t>(b[at + 1]) << 8;
}
std::uint32_t u32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return u16(b, at) | u16(b, at + 2) << 16;
}

struct Colour {
    std::int32_t r, g, b;
};

struct Picture {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<Colour> pixels;  // top row first

    const Colour& at(std::int32_t x, std::int32_t y) const {
        return pixels[static_cast<std::size_t>(y * width + x)];
    }
};

// Reads the one kind of file the show carries, failing the test on anything else.
std::optional<Picture> decode(const std::vector<std::uint8_t>& file) {
    EXPECT_GE(file.size(), 54u);
    if (file.size() < 54) return std::nullopt;
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(u32(file, 2), file.size());
    EXPECT_EQ(u32(file, 14), 40u) << "BITMAPINFOHEADER";
    const auto width = static_cast<std::int32_t>(u32(file, 18));
    const auto height = static_cast<std::int32_t>(u32(file, 22));
    EXPECT_GT(height, 0) << "rows stored bottom-up";
    EXPECT_EQ(u16(file, 26), 1u) << "planes";
    EXPECT_EQ(u16(file, 28), 8u) << "bits per pixel";
    EXPECT_EQ(u32(file, 30), 0u) << "BI_RGB";
    const std::uint32_t colours = u32(file, 46);
    EXPECT_GE(colours, 2u);
    EXPECT_LE(colours, 256u);
    const std::uint32_t offset = u32(file, 10);
    EXPECT_EQ(offset, 54 + 4 * colours);
    const auto stride = static_cast<std::uint32_t>(width + 3) / 4 * 4;
    EXPECT_EQ(file.size(), offset + stride * static_cast<std::uint32_t>(height));
    if (::testing::Test::HasFailure() || width <= 0 || height <= 0) return std::nullopt;

    Picture picture{width, height, {}};
    for (std::int32_t y = 0; y < height; ++y) {
        const std::size_t row = offset + stride * static_cast<std::uint32_t>(height - 1 - y);
        for (std::int32_t x = 0; x < width; ++x) {
            const std::uint32_t index = file[row + static_cast<std::size_t>(x)];
            EXPECT_LT(index, colours);
            const std::size_t entry = 54 + 4 * std::size_t{index};
            picture.pixels.push_back({file[entry + 2], file[entry + 1], file[entry]});
        }
    }
    return picture;
}

std::optional<Picture> committed(const std::string& fileName) {
    return decode(readFile(kResources + "bitmaps/" + fileName));
}

std::int32_t luminance(const Colour& c) {
    return (299 * c.r + 587 * c.g + 114 * c.b) / 1000;
}

std::int32_t difference(const Colour& a, const Colour& b) {
    return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b);
}

TEST(Bitmaps, GeneratorReproducesTheCommittedFilesByteForByte) {
    const std::vector<glint::art::ShowBitmap> drawn = glint::art::makeShowBitmaps();
    ASSERT_EQ(drawn.size(), kExpected.size());
    for (std::size_t i = 0; i < drawn.size(); ++i) {
        const glint::art::ShowBitmap& bitmap = drawn[i];
        EXPECT_EQ(bitmap.id, kExpected[i].id);
        ASSERT_EQ(bitmap.fileName, kExpected[i].fileName);
        const std::vector<std::uint8_t> file =
            readFile(kResources + "bitmaps/" + kExpected[i].fileName);
        ASSERT_EQ(file.size(), bitmap.bytes.size()) << bitmap.fileName;
        const auto mismatch = std::mismatch(file.begin(), file.end(), bitmap.bytes.begin());
        EXPECT_TRUE(mismatch.first == file.end())
            << bitmap.fileName << " differs from byte " << (mismatch.first - file.begin())
            << "; run make_bitmaps resources/bitmaps to redraw it";
    }
}

TEST(Bitmaps, EachIsAnUncompressed8BitFileOfItsRolesSize) {
    for (const Expected& expected : kExpected) {
        SCOPED_TRACE(expected.fileName);
        const std::optional<Picture> picture = committed(expected.fileName);
        ASSERT_TRUE(picture.has_value());
        EXPECT_EQ(picture->width, expected.width);
        EXPECT_EQ(picture->height, expected.height);
    }
}

TEST(Bitmaps, TheExecutableCarriesEveryOneAndTheEngineDecodesIt) {
    glint::useResources(glint::embeddedResources());
    for (const Expected& expected : kExpected) {
        SCOPED_TRACE(expected.fileName);
        const auto resource = glint::findResource(glint::ResourceType::bitmap, expected.id);
        ASSERT_TRUE(resource.has_value());
        const std::vector<std::uint8_t> file =
            readFile(kResources + "bitmaps/" + expected.fileName);
        EXPECT_TRUE(
            std::equal(file.begin(), file.end(), resource->data, resource->data + resource->size));
        const auto bitmap = glint::decodeBitmap({resource->data, resource->size});
        ASSERT_TRUE(bitmap.has_value());
        EXPECT_EQ(bitmap->width, expected.width);
        EXPECT_EQ(bitmap->height, expected.height);
    }
    glint::useResources({});
}

// The textures repeat over the tunnel and the grids: across each edge the step from
// the last column (row) to the first must look like any step inside the picture.
TEST(Bitmaps, SurfaceTexturesTileWithoutSeams) {
    for (const std::string fileName : {"marble.bmp", "tunnel.bmp"}) {
        SCOPED_TRACE(fileName);
        const std::optional<Picture> p = committed(fileName);
        ASSERT_TRUE(p.has_value());
        std::int64_t inside = 0;
        std::int64_t seam = 0;
        for (std::int32_t i = 0; i < p->height; ++i) {
            for (std::int32_t j = 0; j + 1 < p->width; ++j) {
                inside += difference(p->at(j, i), p->at(j + 1, i));
                inside += difference(p->at(i, j), p->at(i, j + 1));
            }
            seam += difference(p->at(p->width - 1, i), p->at(0, i));
            seam += difference(p->at(i, p->height - 1), p->at(i, 0));
        }
        EXPECT_LE(seam * (p->width - 1), 2 * inside);
    }
}

TEST(Bitmaps, TheTunnelIsDarkBlue) {
    const std::optional<Picture> p = committed("tunnel.bmp");
    ASSERT_TRUE(p.has_value());
    std::int64_t sum[3] = {0, 0, 0};
    for (const Colour& c : p->pixels) {
        sum[0] += c.r;
        sum[1] += c.g;
        sum[2] += c.b;
    }
    const auto count = static_cast<std::int64_t>(p->pixels.size());
    EXPECT_GT(sum[2], 2 * sum[0]);
    EXPECT_GT(sum[2], sum[1]);
    EXPECT_LT(luminance({static_cast<std::int32_t>(sum[0] / count),
                         static_cast<std::int32_t>(sum[1] / count),
                         static_cast<std::int32_t>(sum[2] / count)}),
              64);
}

// Lettering is light on a pure black ground, and the ground reaches the borders.
TEST(Bitmaps, LetteringIsLightOnBlack) {
    for (const std::string fileName :
         {"logo.bmp", "title.bmp", "credit_code.bmp", "credit_music.bmp", "greetings.bmp"}) {
        SCOPED_TRACE(fileName);
        const std::optional<Picture> p = committed(fileName);
        ASSERT_TRUE(p.has_value());
        std::size_t black = 0;
        std::size_t light = 0;
        for (const Colour& c : p->pixels) {
            if (c.r == 0 && c.g == 0 && c.b == 0) ++black;
            if (luminance(c) >= 180) ++light;
        }
        EXPECT_GT(black, p->pixels.size() / 4);
        EXPECT_GT(light, p->pixels.size() / 50);
        for (const Colour& corner : {p->at(0, 0), p->at(p->width - 1, 0), p->at(0, p->height - 1),
                                     p->at(p->width - 1, p->height - 1)}) {
            EXPECT_EQ(luminance(corner), 0);
        }
    }
}

}  // namespace
