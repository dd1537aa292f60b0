// The device's offers and refusals: texture formats, size requirements,
// invalid arguments and targets it cannot draw into.
#include <gtest/gtest.h>

#include "platform/gfx/results.h"
#include "tests/gfx/canvas.h"

namespace glint::gfx::test {
namespace {

TEST(SoftwareDevice, OffersSixFiveFiveThenFiveFiveFive) {
    Canvas canvas(4, 4);
    const std::vector<PixelFormat> formats = canvas.device->textureFormats();
    ASSERT_EQ(formats.size(), 2u);
    EXPECT_EQ(formats[0].greenMask, 0x07E0u);
    EXPECT_EQ(formats[1].greenMask, 0x03E0u);
    for (const PixelFormat& format : formats) {
        EXPECT_EQ(format.bitCount, 16u);
        EXPECT_EQ(format.flags & kPixelAlpha, 0u);
        EXPECT_EQ(format.fourCc, 0u);
    }
}

TEST(SoftwareDevice, TextureSizeRequirementsAreReportedAndEnforced) {
    const struct {
        TextureRequirements requirements;
        bool logo, powerOfTwo, square;  // 216 × 20, 256 × 32, 256 × 256
    } cases[] = {{{false, false}, true, true, true},
                 {{true, false}, false, true, true},
                 {{false, true}, false, false, true},
                 {{true, true}, false, false, true}};
    for (const auto& c : cases) {
        Canvas canvas(4, 4, c.requirements);
        DeviceCaps caps;
        EXPECT_EQ(canvas.device->getCaps(caps), kOk);
        EXPECT_EQ(caps.kind, DeviceKind::software);
        EXPECT_EQ(caps.texturesPowerOfTwo, c.requirements.powerOfTwo);
        EXPECT_EQ(caps.texturesSquare, c.requirements.square);
        EXPECT_EQ(canvas.device->createTexture(216, 20, kFormatRgb565) != nullptr, c.logo);
        EXPECT_EQ(canvas.device->createTexture(256, 32, kFormatRgb565) != nullptr, c.powerOfTwo);
        EXPECT_EQ(canvas.device->createTexture(256, 256, kFormatRgb555) != nullptr, c.square);
    }
}

TEST(SoftwareDevice, CreatesZeroedTexturesOnlyInOfferedFormats) {
    Canvas canvas(4, 4);
    const auto texture = canvas.device->createTexture(216, 20, kFormatRgb565);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->width, 216);
    EXPECT_EQ(texture->height, 20);
    EXPECT_EQ(texture->format.greenMask, kFormatRgb565.greenMask);
    EXPECT_EQ(texture->texels, std::vector<std::uint16_t>(216 * 20, 0));

    PixelFormat withAlpha = kFormatRgb555;
    withAlpha.flags |= kPixelAlpha;
    withAlpha.alphaMask = 0x8000;
    EXPECT_EQ(canvas.device->createTexture(8, 8, withAlpha), nullptr);
    EXPECT_EQ(canvas.device->createTexture(8, 8, kFormatDepth32), nullptr);
    EXPECT_EQ(canvas.device->createTexture(0, 8, kFormatRgb565), nullptr);
    EXPECT_EQ(canvas.device->createTexture(8, -1, kFormatRgb565), nullptr);
    EXPECT_EQ(canvas.device->createTexture(1 << 20, 1, kFormatRgb565), nullptr);
}

TEST(SoftwareDevice, RefusesStagesAndStatesItDoesNotHave) {
    Canvas canvas(4, 4);
    Texture texture{1, 1, kFormatRgb565, {0}};
    EXPECT_EQ(canvas.device->setTexture(0, &texture), kOk);
    EXPECT_EQ(canvas.device->setTexture(1, &texture), kErrFail);
    EXPECT_EQ(canvas.device->setRenderState(static_cast<RenderState>(200), 1), kErrFail);
}

TEST(SoftwareDevice, DrawsWithoutDepthBufferAndNotIntoMismatchedBuffers) {
    Surface noDepth;
    noDepth.width = 4;
    noDepth.height = 4;
    noDepth.pixels.assign(16, kBlack);
    auto device = createSoftwareDevice(noDepth);
    device->setRenderState(RenderState::cullMode, kCullNone);
    device->setRenderState(RenderState::zEnable, 1);
    device->setRenderState(RenderState::lighting, 0);
    device->clear(kClearTarget | kClearZBuffer, 0x101010, 1.0f);
    const Vertex corners[3] = {
        {-1, 1, 0.5f, 0, 0, 0, 0, 0}, {3, 1, 0.5f, 0, 0, 0, 0, 0}, {-1, -3, 0.5f, 0, 0, 0, 0, 0}};
    device->drawTriangle(corners);
    EXPECT_EQ(std::count(noDepth.pixels.begin(), noDepth.pixels.end(), kWhite), 16);

    Surface mismatched;
    mismatched.width = 8;
    mismatched.height = 8;
    mismatched.pixels.assign(10, kBlack);
    auto broken = createSoftwareDevice(mismatched);
    broken->setRenderState(RenderState::cullMode, kCullNone);
    broken->clear(kClearTarget, 0x101010, 1.0f);
    broken->drawTriangle(corners);
    EXPECT_EQ(std::count(mismatched.pixels.begin(), mismatched.pixels.end(), kBlack), 10);
}

}  // namespace
}  // namespace glint::gfx::test
