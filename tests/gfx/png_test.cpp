// A frame drawn by the device, saved as PNG and read back.
#include <gtest/gtest.h>
#include <png.h>

#include <bit>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/image/png_writer.h"
#include "tests/gfx/canvas.h"

namespace glint::gfx::test {
namespace {

std::vector<std::uint8_t> readRgb(const std::string& path, png_uint_32& width,
                                  png_uint_32& height) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
    image.format = PNG_FORMAT_RGB;
    std::vector<std::uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return {};
    width = image.width;
    height = image.height;
    return rgb;
}

TEST(Png, AFrameOfTheDeviceReadsBackAsTheSameImage) {
    Canvas canvas(640, 480);
    Device& device = *canvas.device;
    device.clear(kClearTarget | kClearZBuffer, 0x0A1428, 1.0f);
    device.setTransform(TransformKind::projection,
                        {{{2, 0, 0, 0}, {0, 2, 0, 0}, {0, 0, 1, 1}, {0, 0, -1, 0}}});
    device.setRenderState(RenderState::fogEnable, 1);
    device.setRenderState(RenderState::fogTableMode, kFogLinear);
    device.setRenderState(RenderState::fogStart, std::bit_cast<std::uint32_t>(0.1f));
    device.setRenderState(RenderState::fogEnd, std::bit_cast<std::uint32_t>(60.0f));
    device.setRenderState(RenderState::fogColor, 0x0A1428);
    Texture texture{16, 16, kFormatRgb565, {}};
    for (int i = 0; i < 256; ++i) {
        texture.texels.push_back(static_cast<std::uint16_t>(((i / 16 + i) % 2) ? 0xF81F : 0x07E0));
    }
    device.setTexture(0, &texture);
    const auto floor = [](float x, float z) { return Vertex{x, -2, z, 0, 1, 0, x / 8, z / 8}; };
    canvas.draw(floor(-40, 1.5f), floor(40, 1.5f), floor(40, 60));
    canvas.draw(floor(-40, 1.5f), floor(40, 60), floor(-40, 60));
    device.setTexture(0, nullptr);
    device.setRenderState(RenderState::alphaBlendEnable, 1);
    device.setRenderState(RenderState::srcBlend, kBlendSrcColor);
    device.setRenderState(RenderState::destBlend, kBlendInvSrcColor);
    canvas.setColour(0.9f, 0.6f, 0.2f);
    canvas.draw({-3, -1, 6, 0, 0, 0, 0, 0}, {3, -1, 6, 0, 0, 0, 0, 0}, {0, 3, 8, 0, 0, 0, 0, 0});

    const std::string path = testing::TempDir() + "glint_device_frame.png";
    ASSERT_TRUE(image::writePng(path, 640, 480, canvas.surface.pixels.data()));
    png_uint_32 width = 0, height = 0;
    const std::vector<std::uint8_t> rgb = readRgb(path, width, height);
    std::remove(path.c_str());
    ASSERT_EQ(width, 640u);
    ASSERT_EQ(height, 480u);
    ASSERT_EQ(rgb.size(), 640u * 480u * 3u);
    int mismatches = 0;
    for (std::size_t i = 0; i < canvas.surface.pixels.size(); ++i) {
        const std::uint32_t p = canvas.surface.pixels[i];
        const std::uint32_t read =
            std::uint32_t{rgb[i * 3]} << 16 | std::uint32_t{rgb[i * 3 + 1]} << 8 | rgb[i * 3 + 2];
        mismatches += p != read ? 1 : 0;
    }
    EXPECT_EQ(mismatches, 0);
    // The scene is more than the clear colour: floor, fog and the blended shape.
    EXPECT_GT(canvas.count(0x0A1428), 0);
    EXPECT_LT(canvas.count(0x0A1428), 640 * 480 / 2);
}

TEST(Png, ReportsAFileItCannotWrite) {
    const std::uint32_t pixel = 0;
    EXPECT_FALSE(image::writePng("/nonexistent-directory/frame.png", 1, 1, &pixel));
    EXPECT_FALSE(image::writePng(testing::TempDir() + "empty.png", 0, 1, &pixel));
}

}  // namespace
}  // namespace glint::gfx::test
