// What colour a covered pixel gets: lighting, texturing, fog and blending.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <random>
#include <vector>

#include "platform/gfx/rasterizer.h"
#include "tests/gfx/canvas.h"

namespace glint::gfx::test {
namespace {

constexpr std::uint32_t kFogColour = 0x0A1428;

// Fills an 8 × 8 canvas with one untextured quad whose corners all lie at
// view depth `depth`: a projection of depth · identity keeps the pixels in
// place and makes w = depth.
void drawQuadAtDepth(Canvas& canvas, float depth) {
    const float d = depth;
    canvas.device->setTransform(TransformKind::projection,
                                {{{d, 0, 0, 0}, {0, d, 0, 0}, {0, 0, d, 0}, {0, 0, 0, d}}});
    canvas.draw(canvas.corner(0, 0), canvas.corner(8, 0), canvas.corner(8, 8));
    canvas.draw(canvas.corner(0, 0), canvas.corner(8, 8), canvas.corner(0, 8));
}

void setFog(Device& device, float start, float end) {
    device.setRenderState(RenderState::fogEnable, 1);
    device.setRenderState(RenderState::fogTableMode, kFogLinear);
    device.setRenderState(RenderState::fogStart, std::bit_cast<std::uint32_t>(start));
    device.setRenderState(RenderState::fogEnd, std::bit_cast<std::uint32_t>(end));
    device.setRenderState(RenderState::fogColor, kFogColour);
}

std::uint32_t fogged(double factor, double colour) {
    return rgb(factor * colour + (1 - factor) * 0x0A / 255.0,
               factor * colour + (1 - factor) * 0x14 / 255.0,
               factor * colour + (1 - factor) * 0x28 / 255.0);
}

TEST(Fog, LinearFactorAtStartHalfwayAndEnd) {
    constexpr float kGrey = 200.0f / 255.0f;
    const struct {
        float depth;
        double factor;
    } cases[] = {{0.05f, 1.0}, {0.1f, 1.0}, {50.45f, 0.5}, {100.8f, 0.0}, {300.0f, 0.0}};
    for (const auto& c : cases) {
        Canvas canvas(8, 8);
        canvas.setColour(kGrey, kGrey, kGrey);
        setFog(*canvas.device, 0.1f, 100.8f);
        drawQuadAtDepth(canvas, c.depth);
        EXPECT_EQ(canvas.at(3, 4), fogged(c.factor, kGrey)) << c.depth;
        EXPECT_EQ(canvas.count(canvas.at(3, 4)), 64) << c.depth;
    }
    EXPECT_EQ(fogged(0.5, kGrey), 0x696E78u) << "half fogged: (200 + fog) / 2";
}

TEST(Fog, EndNotBeyondStartIsAStepAtStart) {
    for (const float end : {0.0f, 0.1f}) {
        Canvas near(8, 8);
        setFog(*near.device, 0.1f, end);
        drawQuadAtDepth(near, 0.05f);
        EXPECT_EQ(near.at(0, 0), kWhite);

        Canvas far(8, 8);
        setFog(*far.device, 0.1f, end);
        drawQuadAtDepth(far, 1.0f);
        EXPECT_EQ(far.at(0, 0), kFogColour);
    }
}

TEST(Fog, OffWhenDisabledOrNotLinear) {
    Canvas disabled(8, 8);
    setFog(*disabled.device, 0.1f, 100.8f);
    disabled.device->setRenderState(RenderState::fogEnable, 0);
    drawQuadAtDepth(disabled, 100.0f);
    EXPECT_EQ(disabled.at(0, 0), kWhite);

    Canvas exponential(8, 8);
    setFog(*exponential.device, 0.1f, 100.8f);
    exponential.device->setRenderState(RenderState::fogTableMode, kFogExp);
    drawQuadAtDepth(exponential, 100.0f);
    EXPECT_EQ(exponential.at(0, 0), kWhite);
}

TEST(Fog, VariesPerPixelWithViewDepth) {
    // A floor receding from depth 1 at the bottom to 9 at the top of the
    // target; with fog from 1 to 9 every row is fogged by its own depth.
    Canvas canvas(8, 16);
    setFog(*canvas.device, 1.0f, 9.0f);
    canvas.device->setRenderState(RenderState::fogColor, kBlack);
    canvas.device->setTransform(TransformKind::projection,
                                {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 0, 1}, {0, 0, 0, 0}}});
    // In view space: x and y scale with depth so that the corners land on the
    // target's corners; w = z.
    const auto at = [](float x, float y, float z) {
        return Vertex{x * z, y * z, z, 0, 0, 0, 0, 0};
    };
    canvas.draw(at(-1, -1, 1), at(1, -1, 1), at(1, 1, 9));
    canvas.draw(at(-1, -1, 1), at(1, 1, 9), at(-1, 1, 9));
    for (int row = 0; row < 16; ++row) {
        // 1/w is linear in screen y: 1/9 at y = 0 and 1 at y = 16.
        const double q = 1.0 / 9.0 + (1.0 - 1.0 / 9.0) * row / 16.0;
        const double factor = (9.0 - 1.0 / q) / 8.0;
        const double grey = factor * 255.0;
        if (std::abs(grey - std::floor(grey) - 0.5) < 0.01) continue;
        EXPECT_EQ(canvas.at(4, row), rgb(factor, factor, factor)) << row;
    }
}

void setSourceColourBlend(Device& device) {
    device.setRenderState(RenderState::alphaBlendEnable, 1);
    device.setRenderState(RenderState::srcBlend, kBlendSrcColor);
    device.setRenderState(RenderState::destBlend, kBlendInvSrcColor);
}

// One channel of s·s + d·(1 − s) as the blender takes it: the source rounded to 8
// bits, each product rounded, over a destination byte.
std::uint32_t blendedByte(double source, std::uint32_t destination) {
    const std::uint32_t s = toByte(source);
    const auto rounded = [](std::uint32_t product) { return (2 * product + 255) / 510; };
    return std::min(rounded(s * s) + rounded(destination * (255 - s)), 255u);
}

TEST(Blend, ReplaceAndSourceColourOnKnownColours) {
    constexpr std::uint32_t kBackground = 0x204080;
    const auto drawOver = [](auto setUp) {
        Canvas canvas(8, 8);
        canvas.device->clear(kClearTarget, kBackground, 1.0f);
        canvas.setColour(0.6f, 0.2f, 0.8f);
        setUp(*canvas.device);
        canvas.draw(canvas.corner(0, 0), canvas.corner(8, 0), canvas.corner(0, 8));
        return canvas.at(1, 1);
    };
    const std::uint32_t replaced = rgb(0.6, 0.2, 0.8);
    EXPECT_EQ(drawOver([](Device&) {}), replaced);
    EXPECT_EQ(drawOver([](Device& d) {
                  d.setRenderState(RenderState::alphaBlendEnable, 1);
                  d.setRenderState(RenderState::srcBlend, kBlendOne);
                  d.setRenderState(RenderState::destBlend, kBlendZero);
              }),
              replaced);
    const std::uint32_t blended =
        blendedByte(0.6, 0x20) << 16 | blendedByte(0.2, 0x40) << 8 | blendedByte(0.8, 0x80);
    EXPECT_EQ(blended, 0x693DBDu);
    EXPECT_EQ(drawOver(setSourceColourBlend), blended);
    // The factors count only while blending is enabled.
    EXPECT_EQ(drawOver([](Device& d) {
                  setSourceColourBlend(d);
                  d.setRenderState(RenderState::alphaBlendEnable, 0);
              }),
              replaced);
}

TEST(Blend, TheFoggedColourIsBlended) {
    Canvas canvas(8, 8);
    canvas.device->clear(kClearTarget, 0x808080, 1.0f);
    canvas.setColour(0.9f, 0.9f, 0.9f);  // halfway to the fog: no ties to round
    setFog(*canvas.device, 0.1f, 100.8f);
    setSourceColourBlend(*canvas.device);
    drawQuadAtDepth(canvas, 50.45f);
    const auto channel = [](std::uint32_t fog) {
        return blendedByte(0.5 * 0.9 + 0.5 * fog / 255.0, 0x80);
    };
    EXPECT_EQ(canvas.at(2, 2), channel(0x0A) << 16 | channel(0x14) << 8 | channel(0x28));
}

TEST(Lighting, AmbientTimesLightPlusEmissiveClamped) {
    Canvas canvas(8, 8);
    canvas.device->setRenderState(RenderState::ambient, 0xFF80FF40);
    MaterialColours material{};
    material.ambient = {0.5f, 1.0f, 1.0f, 1.0f};
    material.emissive = {0.2f, 0.5f, 0.6f, 0.0f};
    material.diffuse = {0.3f, 0.3f, 0.3f, 1.0f};
    canvas.device->setMaterial(material);
    canvas.draw(canvas.corner(0, 0), canvas.corner(8, 0), canvas.corner(0, 8));
    EXPECT_EQ(canvas.at(1, 1), 0x73FFD9u);  // 64 + 51, clamped, 64 + 153

    canvas.device->setRenderState(RenderState::lighting, 0);
    canvas.draw(canvas.corner(0, 0), canvas.corner(8, 0), canvas.corner(0, 8));
    EXPECT_EQ(canvas.at(1, 1), kWhite) << "unlit corners are white";
}

// A texel's colour on an 8-bit target when the lit colour is white.
std::uint32_t texelColour(std::uint16_t texel, const PixelFormat& format) {
    const auto channel = [texel](std::uint32_t mask) {
        return static_cast<double>(texel & mask) / static_cast<double>(mask);
    };
    return rgb(channel(format.redMask), channel(format.greenMask), channel(format.blueMask));
}

Texture makeTexture(std::int32_t width, std::int32_t height, const PixelFormat& format) {
    Texture texture{width, height, format, {}};
    for (std::int32_t i = 0; i < width * height; ++i) {
        texture.texels.push_back(static_cast<std::uint16_t>(i * 2654435761u >> 16));
    }
    return texture;
}

std::uint16_t texelAt(const Texture& texture, std::int32_t column, std::int32_t row) {
    return texture.texels[static_cast<std::size_t>(row * texture.width + column)];
}

// Pixel centres fall exactly on texel boundaries: u = x/8 at pixel x, so
// pixels 2k and 2k + 1 both sample texel k, and u = 0.25 takes texel 1.
TEST(Texture, PointSamplingAtTexelBoundaries) {
    for (const PixelFormat& format : {kFormatRgb565, kFormatRgb555}) {
        Canvas canvas(8, 8);
        const Texture texture = makeTexture(4, 4, format);
        canvas.device->setTexture(0, &texture);
        canvas.draw(canvas.corner(0, 0, 0.5f, 0, 0), canvas.corner(8, 0, 0.5f, 1, 0),
                    canvas.corner(8, 8, 0.5f, 1, 1));
        canvas.draw(canvas.corner(0, 0, 0.5f, 0, 0), canvas.corner(8, 8, 0.5f, 1, 1),
                    canvas.corner(0, 8, 0.5f, 0, 1));
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                EXPECT_EQ(canvas.at(x, y), texelColour(texelAt(texture, x / 2, y / 2), format))
                    << x << "," << y;
            }
        }
    }
}

// One texture coordinate over the whole triangle selects one texel; sizes of
// a power of two and of any other width wrap alike.
TEST(Texture, WrapAddressingRepeatsOutsideZeroToOne) {
    const struct {
        std::int32_t width;
        float u;
        std::int32_t texel;
    } cases[] = {{128, 1.05f, 6},  {128, -0.25f, 96},  {128, 0.0f, 0},     {128, 0.999f, 127},
                 {216, 1.05f, 10}, {216, -0.25f, 162}, {216, 1000.3f, 64}, {216, -7.5f, 108},
                 {5, 1.0f, 0},     {5, -0.1f, 4},      {5, 3.7f, 3},       {1, 12.5f, 0}};
    for (const auto& c : cases) {
        Canvas canvas(4, 4);
        const Texture texture = makeTexture(c.width, 4, kFormatRgb565);
        canvas.device->setTexture(0, &texture);
        canvas.draw(canvas.corner(0, 0, 0.5f, c.u, 1.3f), canvas.corner(8, 0, 0.5f, c.u, 1.3f),
                    canvas.corner(0, 8, 0.5f, c.u, 1.3f));
        // v = 1.3 wraps to row floor(5.2) mod 4 = 1.
        EXPECT_EQ(canvas.at(1, 1), texelColour(texelAt(texture, c.texel, 1), kFormatRgb565))
            << c.width << " " << c.u;
    }
}

TEST(Texture, TexelsAreModulatedByTheLitColour) {
    Canvas canvas(4, 4);
    Texture texture{1, 1, kFormatRgb565, {31 << 11 | 32 << 5 | 8}};
    canvas.device->setTexture(0, &texture);
    canvas.setColour(0.4f, 1.0f, 0.25f);
    canvas.draw(canvas.corner(0, 0), canvas.corner(8, 0), canvas.corner(0, 8));
    EXPECT_EQ(canvas.at(0, 0), rgb(0.4, 32.0 / 63.0, 8.0 / 31.0 * 0.25));

    // A texture whose texels do not fill its size is not sampled.
    texture.texels.clear();
    canvas.draw(canvas.corner(0, 0), canvas.corner(8, 0), canvas.corner(0, 8));
    EXPECT_EQ(canvas.at(0, 0), rgb(0.4, 1.0, 0.25));
    canvas.device->setTexture(0, nullptr);
    canvas.setColour(0.0f, 0.0f, 1.0f);
    canvas.draw(canvas.corner(0, 0), canvas.corner(8, 0), canvas.corner(0, 8));
    EXPECT_EQ(canvas.at(0, 0), 0x0000FFu);
}

// A floor plane y = −1 seen through the show's projection, textured with a
// 2 × 2 checkerboard repeated every 2 units in x and z. Each pixel's ray
// meets the floor at a point whose checker square is known exactly; pixels
// whose point lies within a hair of a square's border are not judged.
TEST(Texture, PerspectiveCorrectCheckerboardOnARecedingPlane) {
    constexpr int kWidth = 64;
    constexpr int kHeight = 48;
    Canvas canvas(kWidth, kHeight);
    canvas.device->setTransform(TransformKind::projection,
                                {{{2, 0, 0, 0}, {0, 2, 0, 0}, {0, 0, 1, 1}, {0, 0, -1, 0}}});
    const Texture checker{2, 2, kFormatRgb565, {0xFFFF, 0x0000, 0x0000, 0xFFFF}};
    canvas.device->setTexture(0, &checker);
    constexpr float kNear = 2.0f, kFar = 20.0f, kSide = 30.0f;
    // u = x / 4, v = z / 4: one texture period every 4 units.
    const auto floor = [](float x, float z) { return Vertex{x, -1, z, 0, 1, 0, x / 4, z / 4}; };
    canvas.draw(floor(-kSide, kNear), floor(kSide, kNear), floor(kSide, kFar));
    canvas.draw(floor(-kSide, kNear), floor(kSide, kFar), floor(-kSide, kFar));

    int judged = 0;
    for (int py = 0; py < kHeight; ++py) {
        for (int px = 0; px < kWidth; ++px) {
            const double xOverZ = (2.0 * px / kWidth - 1.0) / 2.0;
            const double yOverZ = (1.0 - 2.0 * py / kHeight) / 2.0;
            if (yOverZ >= 0) continue;
            const double z = -1.0 / yOverZ;
            const double x = xOverZ * z;
            if (z < kNear + 0.1 || z > kFar - 0.5 || std::abs(x) > kSide - 0.5) continue;
            const double s = x / 2.0;  // texel units: 2 texels per period of 4
            const double t = z / 2.0;
            // Snapping corners to 1/256 pixel may shift the mapping by a
            // fraction of a pixel's footprint on the floor.
            const double footprint =
                z / (2.0 * kWidth) + z * z / (2.0 * kHeight) * (1.0 + std::abs(xOverZ));
            const double margin = 1e-4 + footprint / 32.0;
            if (std::abs(s - std::round(s)) < margin || std::abs(t - std::round(t)) < margin) {
                continue;
            }
            const long square = static_cast<long>(std::floor(s)) + static_cast<long>(std::floor(t));
            const bool white = (square & 1) == 0;
            EXPECT_EQ(canvas.at(px, py), white ? kWhite : kBlack) << px << "," << py;
            ++judged;
        }
    }
    EXPECT_GT(judged, kWidth * kHeight / 4);
}

}  // namespace
}  // namespace glint::gfx::test

namespace glint::gfx::test {
namespace {

// The last pixels of the buffers are shaded through a local copy; the same
// triangles drawn one row above a buffer's end go through the quads in place.
TEST(Spans, TheBuffersEndIsShadedAsAnyOtherRow) {
    const auto draw = [](int height) {
        Canvas canvas(13, height);
        canvas.device->clear(kClearTarget, 0x336699, 1.0f);
        Texture texture = makeTexture(5, 3, kFormatRgb555);
        canvas.device->setTexture(0, &texture);
        setFog(*canvas.device, 0.1f, 4.0f);
        setSourceColourBlend(*canvas.device);
        for (int pass = 0; pass < 2; ++pass) {
            canvas.draw(canvas.corner(-0.5f, 0.3f, 0.2f, 0.0f, 0.0f),
                        canvas.corner(13.0f, 2.7f, 0.9f, 2.3f, 0.4f),
                        canvas.corner(0.4f, 7.0f, 0.5f, 0.3f, 1.9f));
            canvas.draw(canvas.corner(13.0f, 2.7f, 0.9f, 2.3f, 0.4f),
                        canvas.corner(12.6f, 7.0f, 0.1f, 1.7f, 2.2f),
                        canvas.corner(0.4f, 7.0f, 0.5f, 0.3f, 1.9f));
        }
        return canvas.surface.pixels;
    };
    const std::vector<std::uint32_t> atEnd = draw(7);
    const std::vector<std::uint32_t> inside = draw(8);
    ASSERT_EQ(atEnd.size(), 13u * 7u);
    EXPECT_TRUE(std::equal(atEnd.begin(), atEnd.end(), inside.begin()));
    EXPECT_NE(atEnd.back(), 0x336699u) << "the last pixel is drawn";
}

// Triangles a few pixels across take their own path; drawn on the same
// attribute planes, they must shade exactly as a large triangle does. Texel
// centres fall on pixel centres, so rounding cannot change a texel.
TEST(Spans, NarrowTrianglesShadeAsLargeOnes) {
    const auto at = [](Canvas& canvas, float x, float y) {
        return canvas.corner(x, y, 0.5f + x / 64.0f + y / 128.0f, (x + 0.5f) / 8.0f,
                             (y + 0.5f) / 8.0f);
    };
    const auto draw = [&](auto corners) {
        Canvas canvas(16, 16);
        canvas.device->clear(kClearTarget, 0x336699, 1.0f);
        Texture texture = makeTexture(8, 8, kFormatRgb565);
        canvas.device->setTexture(0, &texture);
        setFog(*canvas.device, 0.0f, 4.0f);
        setSourceColourBlend(*canvas.device);
        corners(canvas);
        return canvas.surface.pixels;
    };
    const std::vector<std::uint32_t> large =
        draw([&](Canvas& c) { c.draw(at(c, -20, -20), at(c, 60, -10), at(c, 0, 60)); });
    const struct {
        float x0, y0, x1, y1, x2, y2;
    } narrow[] = {{2, 2, 5.5f, 2.25f, 3, 6},
                  {9.3f, 1.1f, 9.9f, 15.2f, 12.2f, 8},
                  {14.6f, 2.8f, 12.1f, 3.4f, 13.2f, 4.6f}};
    for (const auto& t : narrow) {
        const std::vector<std::uint32_t> small = draw(
            [&](Canvas& c) { c.draw(at(c, t.x0, t.y0), at(c, t.x1, t.y1), at(c, t.x2, t.y2)); });
        int drawn = 0;
        for (std::size_t i = 0; i < small.size(); ++i) {
            if (small[i] == 0x336699u) continue;
            ++drawn;
            EXPECT_EQ(small[i], large[i]) << "pixel " << i % 16 << "," << i / 16;
        }
        EXPECT_GT(drawn, 0);
    }
}

// Eight-pixel spans against four-pixel ones, on random triangles under every
// pixel state: perspective, both kinds of texture, both fogs, blending, depth.
// The odd width ends many spans within an eight-pixel step of the buffers' end.
TEST(Spans, EightPixelSpansDrawEveryPixelAsFourPixelSpans) {
    if (!eightPixelSpansAvailable()) GTEST_SKIP() << "this processor has no eight-pixel spans";
    constexpr std::int32_t kWidth = 45, kHeight = 37;
    std::mt19937 random(17);
    std::uniform_real_distribution<float> coordinate(-20.0f, 65.0f), unit(0.0f, 1.0f),
        texel(-3.0f, 3.0f);
    Texture powerOfTwo = makeTexture(16, 8, kFormatRgb565);
    Texture anySize = makeTexture(5, 3, kFormatRgb555);
    const Texture* textures[] = {nullptr, &powerOfTwo, &anySize};
    Canvas four(kWidth, kHeight, {}, SpanWidth::fourPixels);
    Canvas eight(kWidth, kHeight, {}, SpanWidth::widest);
    for (int trial = 0; trial < 600; ++trial) {
        const Texture* texture = textures[trial % 3];
        const float fogEnd = trial % 5 == 0 ? 0.5f : 3.0f;  // a step, or linear
        const bool fog = trial / 3 % 2 == 0, blend = trial / 6 % 2 == 0;
        const bool depth = trial / 12 % 2 == 0;
        const float perspective = 4.0f * unit(random);
        const float red = unit(random), green = unit(random);
        Vertex corners[3];
        for (Vertex& corner : corners) {
            corner = four.corner(coordinate(random), coordinate(random), unit(random),
                                 texel(random), texel(random));
        }
        for (Canvas* canvas : {&four, &eight}) {
            Device& d = *canvas->device;
            d.setTexture(0, texture);
            setFog(d, 0.2f, fogEnd);
            d.setRenderState(RenderState::fogEnable, fog ? 1 : 0);
            if (blend) {
                setSourceColourBlend(d);
            } else {
                d.setRenderState(RenderState::alphaBlendEnable, 0);
            }
            d.setRenderState(RenderState::zEnable, depth ? 1 : 0);
            d.setTransform(TransformKind::projection,
                           {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, perspective}, {0, 0, 0, 1}}});
            canvas->setColour(red, green, 0.9f);
            d.drawTriangle(corners);
        }
    }
    EXPECT_EQ(four.surface.pixels, eight.surface.pixels);
    EXPECT_EQ(four.surface.depth, eight.surface.depth);
    EXPECT_GT(four.count(kBlack), 0);
    EXPECT_LT(four.count(kBlack), kWidth * kHeight / 2) << "most pixels drawn";
}

}  // namespace
}  // namespace glint::gfx::test
