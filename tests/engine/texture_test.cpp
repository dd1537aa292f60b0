#include <gtest/gtest.h>

#include "engine/bitmap.h"
#include "engine/texture_loader.h"
#include "tests/engine/bitmap_files.h"
#include "tests/engine/recording_device.h"

namespace glint {
namespace {

using test::Call;
using test::makeBmp;
using test::RecordingDevice;

// Palette entry i is (i, 255 − i, i / 2); pixel (x, y) has index (x + 3y) mod 256.
std::uint8_t diagonal(std::int32_t x, std::int32_t y) {
    return static_cast<std::uint8_t>(x + 3 * y);
}
std::uint32_t ramp(std::uint32_t i) {
    return i << 16 | (255 - i) << 8 | i / 2;
}

std::uint16_t rgb565(std::uint32_t rgb) {
    return static_cast<std::uint16_t>((rgb >> 19 & 0x1F) << 11 | (rgb >> 10 & 0x3F) << 5 |
                                      (rgb >> 3 & 0x1F));
}

std::vector<std::uint8_t> bytesOf(std::int32_t width, std::int32_t height) {
    return makeBmp(width, height, diagonal, ramp);
}

TEST(Bitmap, DecodesPaletteRowsAndPaddingInEitherRowOrder) {
    for (bool topDown : {false, true}) {
        const auto file = makeBmp(3, 2, diagonal, ramp, topDown);
        const std::optional<Bitmap> bitmap = decodeBitmap(file);
        ASSERT_TRUE(bitmap);
        EXPECT_EQ(bitmap->width, 3);
        EXPECT_EQ(bitmap->height, 2);
        for (std::int32_t y = 0; y < 2; ++y) {
            for (std::int32_t x = 0; x < 3; ++x) {
                EXPECT_EQ(bitmap->pixels[y * 3 + x], ramp(diagonal(x, y)));
            }
        }
    }
}

TEST(Bitmap, RejectsAnythingElseWithoutReadingPastTheEnd) {
    const auto good = bytesOf(5, 3);
    for (std::size_t length = 0; length < good.size(); ++length) {
        EXPECT_FALSE(decodeBitmap({good.data(), length})) << length;
    }
    auto patched = [&](std::size_t at, std::uint8_t value) {
        auto bytes = good;
        bytes[at] = value;
        return decodeBitmap(bytes).has_value();
    };
    EXPECT_FALSE(patched(0, 'X'));    // magic
    EXPECT_FALSE(patched(28, 24));    // bits per pixel
    EXPECT_FALSE(patched(30, 1));     // run-length compressed
    EXPECT_FALSE(patched(13, 0x7F));  // pixel data far beyond the end
    EXPECT_FALSE(patched(21, 0x7F));  // width far beyond the data
    EXPECT_FALSE(patched(47, 2));     // more than 256 colours
}

TEST(Bitmap, IndicesBeyondAShortPaletteAreBlack) {
    auto file = bytesOf(2, 1);
    file[46] = 1;  // one colour in use
    file[47] = 0;
    const std::optional<Bitmap> bitmap = decodeBitmap(file);
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->pixels[0], ramp(0));
    EXPECT_EQ(bitmap->pixels[1], 0u);
}

std::unique_ptr<gfx::Texture> textureFor(RecordingDevice& device, std::int32_t width,
                                         std::int32_t height) {
    const std::optional<Bitmap> bitmap = decodeBitmap(bytesOf(width, height));
    return createTextureFromBitmap(device, *bitmap);
}

TEST(Texture, EnlargedSurfacesHoldTheImageInTheTopLeftCorner) {
    RecordingDevice device;
    device.caps.texturesPowerOfTwo = true;
    const auto texture = textureFor(device, 216, 20);
    ASSERT_TRUE(texture);
    EXPECT_EQ(texture->width, 256);
    EXPECT_EQ(texture->height, 32);
    for (std::int32_t y = 0; y < 32; ++y) {
        for (std::int32_t x = 0; x < 256; ++x) {
            const std::uint16_t expected = x < 216 && y < 20 ? rgb565(ramp(diagonal(x, y))) : 0;
            ASSERT_EQ(texture->texels[y * 256 + x], expected) << x << "," << y;
        }
    }

    device.caps.texturesSquare = true;
    const auto square = textureFor(device, 216, 20);
    EXPECT_EQ(square->width, 256);
    EXPECT_EQ(square->height, 256);
    EXPECT_EQ(square->texels[19 * 256 + 215], rgb565(ramp(diagonal(215, 19))));
    EXPECT_EQ(square->texels[20 * 256], 0);

    device.caps.texturesPowerOfTwo = false;
    const auto squareOnly = textureFor(device, 216, 20);
    EXPECT_EQ(squareOnly->width, 216);
    EXPECT_EQ(squareOnly->height, 216);
}

TEST(Texture, ExactSizesStayOnEveryDevice) {
    for (int flags = 0; flags < 4; ++flags) {
        RecordingDevice device;
        device.caps.texturesPowerOfTwo = flags & 1;
        device.caps.texturesSquare = flags & 2;
        const auto texture = textureFor(device, 128, 128);
        EXPECT_EQ(texture->width, 128);
        EXPECT_EQ(texture->height, 128);
    }
    RecordingDevice plain;
    const auto odd = textureFor(plain, 100, 22);
    EXPECT_EQ(odd->width, 100);
    EXPECT_EQ(odd->height, 22);
    EXPECT_EQ(nextPowerOfTwo(0), 1);
    EXPECT_EQ(nextPowerOfTwo(1), 1);
    EXPECT_EQ(nextPowerOfTwo(100), 128);
}

TEST(Texture, TakesTheFirstPlainSixteenBitFormatOffered) {
    gfx::PixelFormat alpha16 = gfx::kFormatRgb555;
    alpha16.flags |= gfx::kPixelAlpha;
    alpha16.alphaMask = 0x8000;
    gfx::PixelFormat rgb32 = gfx::kFormatRgb565;
    rgb32.bitCount = 32;
    gfx::PixelFormat luminance = gfx::kFormatRgb565;
    luminance.flags |= gfx::kPixelLuminance;
    gfx::PixelFormat fourCc = gfx::kFormatRgb565;
    fourCc.fourCc = 0x31545844;

    RecordingDevice device;
    device.formats = {rgb32, alpha16, luminance, fourCc, gfx::kFormatRgb555, gfx::kFormatRgb565};
    const auto texture = textureFor(device, 2, 1);
    ASSERT_TRUE(texture);
    EXPECT_EQ(texture->format.redMask, gfx::kFormatRgb555.redMask);
    // (0, 255, 0) and (1, 254, 0) in 5-5-5.
    EXPECT_EQ(texture->texels[0], 0x03E0);
    EXPECT_EQ(texture->texels[1], 0x03E0);

    device.formats = {rgb32, alpha16, luminance, fourCc};
    device.calls.clear();
    EXPECT_FALSE(textureFor(device, 2, 1));
    EXPECT_TRUE(device.only(Call::createTexture).empty());
}

TEST(Texture, EveryFailureGivesNoTexture) {
    test::BitmapResources resources;
    resources.add(113, bytesOf(8, 8));
    RecordingDevice device;
    EXPECT_TRUE(loadBitmapTexture(device, 113));
    EXPECT_FALSE(loadBitmapTexture(device, 999));

    resources.add(114, {'B', 'M', 0, 0});
    EXPECT_FALSE(loadBitmapTexture(device, 114));

    device.capsFail = true;
    EXPECT_FALSE(loadBitmapTexture(device, 113));
    device.capsFail = false;
    device.textureFail = true;
    EXPECT_FALSE(loadBitmapTexture(device, 113));
}

}  // namespace
}  // namespace glint
