// The GL device against the software device on small targets: the same calls
// must give the same pixels, and both the values the contract names.
#include <algorithm>
#include <bit>
#include <functional>

#include "platform/gl/gl_device.h"
#include "tests/gl/gl_fixture.h"

namespace glint::test {
namespace {

using gfx::Device;
using gfx::RenderState;
using gfx::TransformKind;
using gfx::Vertex;

constexpr std::int32_t kSide = 32;
constexpr std::uint32_t kBlack = 0x00000000;
constexpr std::uint32_t kWhite = 0x00FFFFFF;

// Pixel coordinates straight through: x right, y down, centres at integers, w = 1.
constexpr gfx::TransformMatrix kPixelProjection{{
    {2.0f / kSide, 0, 0, 0},
    {0, -2.0f / kSide, 0, 0},
    {0, 0, 1, 0},
    {-1, 1, 0, 1},
}};

// The show's projection: near plane at 1, w the view depth, a square field of view.
constexpr gfx::TransformMatrix kShowProjection{{
    {2, 0, 0, 0},
    {0, 2, 0, 0},
    {0, 0, 1, 1},
    {0, 0, -1, 0},
}};

Vertex corner(float x, float y, float z = 0.5f, float u = 0.0f, float v = 0.0f) {
    return {x, y, z, 0, 0, 0, u, v};
}

void triangle(Device& device, Vertex a, Vertex b, Vertex c) {
    const Vertex corners[3] = {a, b, c};
    device.drawTriangle(corners);
}

// A rectangle of two triangles, texture coordinates from (u0, v0) to (u1, v1).
void quad(Device& device, float left, float top, float right, float bottom, float z = 0.5f,
          float u0 = 0, float v0 = 0, float u1 = 1, float v1 = 1) {
    triangle(device, corner(left, top, z, u0, v0), corner(right, top, z, u1, v0),
             corner(right, bottom, z, u1, v1));
    triangle(device, corner(left, top, z, u0, v0), corner(right, bottom, z, u1, v1),
             corner(left, bottom, z, u0, v1));
}

void setColour(Device& device, float r, float g, float b) {
    gfx::MaterialColours material{};
    material.ambient = {r, g, b, 0};
    device.setMaterial(material);
}

void setFloat(Device& device, RenderState state, float value) {
    device.setRenderState(state, std::bit_cast<std::uint32_t>(value));
}

void setBlend(Device& device, bool sourceColour) {
    device.setRenderState(RenderState::alphaBlendEnable, 1);
    device.setRenderState(RenderState::srcBlend,
                          sourceColour ? gfx::kBlendSrcColor : gfx::kBlendOne);
    device.setRenderState(RenderState::destBlend,
                          sourceColour ? gfx::kBlendInvSrcColor : gfx::kBlendZero);
}

int channelOf(std::uint32_t colour, int shift) {
    return static_cast<int>((colour >> shift) & 0xFF);
}

int largestChannelDifference(std::uint32_t a, std::uint32_t b) {
    int largest = 0;
    for (int shift : {0, 8, 16})
        largest = std::max(largest, std::abs(channelOf(a, shift) - channelOf(b, shift)));
    return largest;
}

class GlDeviceTest : public DisplayTest {
protected:
    void SetUp() override {
        DisplayTest::SetUp();
        if (HasFatalFailure()) return;
        GLINT_OPEN_GL(gl, kSide, kSide);
        software = open(gfx::DeviceKind::software, kSide, kSide);
        ASSERT_NE(software.device, nullptr);
    }

    void TearDown() override {
        gl = {};
        software = {};
        DisplayTest::TearDown();
    }

    // One scene on both devices: black target, white ambient light, pixel projection.
    void render(const std::function<void(Device&)>& draw) {
        for (Target* target : {&gl, &software}) {
            Device& device = *target->device;
            device.clear(gfx::kClearTarget | gfx::kClearZBuffer, kBlack, 1.0f);
            device.beginScene();
            device.setRenderState(RenderState::cullMode, gfx::kCullNone);
            device.setRenderState(RenderState::ambient, 0xFFFFFFFF);
            device.setTransform(TransformKind::projection, kPixelProjection);
            setColour(device, 1, 1, 1);
            draw(device);
            device.endScene();
        }
    }

    // Pixels where the two devices differ by more than `tolerance` in a channel.
    int differences(int tolerance = 0) const {
        int count = 0;
        const std::vector<std::uint32_t>& drawn = gl.pixels();
        const std::vector<std::uint32_t>& expected = software.pixels();
        for (std::size_t i = 0; i < drawn.size(); ++i) {
            if (largestChannelDifference(drawn[i], expected[i]) > tolerance) {
                ++count;
            }
        }
        return count;
    }

    int pixelsOf(std::uint32_t colour) const {
        return static_cast<int>(std::count(gl.pixels().begin(), gl.pixels().end(), colour));
    }

    Target gl, software;
};

TEST_F(GlDeviceTest, CoversThePixelsOfTheTopLeftRule) {
    render([](Device& d) { triangle(d, corner(0, 0), corner(5, 0), corner(5, 5)); });
    EXPECT_EQ(pixelsOf(kWhite), 15);
    EXPECT_EQ(differences(), 0);

    render([](Device& d) { triangle(d, corner(0, 5), corner(0, 0), corner(5, 5)); });
    EXPECT_EQ(pixelsOf(kWhite), 10);
    EXPECT_EQ(differences(), 0);

    // Neighbours sharing edges, blended: a pixel drawn twice would show darker.
    render([](Device& d) {
        setBlend(d, true);
        setColour(d, 0.5f, 0.5f, 0.5f);
        triangle(d, corner(2, 2), corner(20, 2), corner(2, 20));
        triangle(d, corner(20, 2), corner(20, 20), corner(2, 20));
        triangle(d, corner(20, 2), corner(30, 11), corner(20, 20));
    });
    EXPECT_EQ(differences(), 0);
    EXPECT_GE(pixelsOf(0x00404040), 18 * 18 + 80);
    EXPECT_EQ(pixelsOf(0x00606060), 0);
}

TEST_F(GlDeviceTest, DepthTestIsLessOrEqualWhileZEnableIsOn) {
    const auto scene = [](bool depthTest) {
        return [depthTest](Device& d) {
            d.setRenderState(RenderState::zEnable, depthTest ? 1 : 0);
            setColour(d, 1, 0, 0);
            quad(d, 0, 0, 16, 16, 0.25f);
            setColour(d, 0, 1, 0);
            quad(d, 8, 8, 24, 24, 0.75f);
            setColour(d, 0, 0, 1);
            quad(d, 12, 12, 14, 14, 0.25f);  // equal depth passes
        };
    };
    render(scene(true));
    EXPECT_EQ(differences(), 0);
    EXPECT_EQ(gl.pixel(10, 10), 0x00FF0000u);
    EXPECT_EQ(gl.pixel(12, 12), 0x000000FFu);
    EXPECT_EQ(gl.pixel(20, 20), 0x0000FF00u);

    render(scene(false));
    EXPECT_EQ(differences(), 0);
    EXPECT_EQ(gl.pixel(10, 10), 0x0000FF00u);
}

TEST_F(GlDeviceTest, FogIsLinearOverViewDepthOrAStepWhenItsEndIsNotBeyondItsStart) {
    // Whole-screen layers at view depth d (they span ±d/2 at the show's projection).
    const auto layer = [](Device& d, float depth) { quad(d, -depth, depth, depth, -depth, depth); };
    const auto fogged = [&](float start, float end, float depth) {
        render([&](Device& d) {
            d.setTransform(TransformKind::projection, kShowProjection);
            d.setRenderState(RenderState::fogEnable, 1);
            d.setRenderState(RenderState::fogTableMode, gfx::kFogLinear);
            d.setRenderState(RenderState::fogColor, 0x00000000);
            setFloat(d, RenderState::fogStart, start);
            setFloat(d, RenderState::fogEnd, end);
            layer(d, depth);
        });
        EXPECT_LE(differences(1), 0) << "fog " << start << " … " << end << " at " << depth;
        return channelOf(gl.pixel(kSide / 2, kSide / 2), 8);
    };
    EXPECT_NEAR(fogged(0.1f, 100.8f, 50.45f), 128, 1);  // halfway
    EXPECT_EQ(fogged(20.0f, 80.0f, 20.0f), 255);
    EXPECT_EQ(fogged(20.0f, 80.0f, 80.0f), 0);
    EXPECT_EQ(fogged(20.0f, 80.0f, 95.0f), 0);
    EXPECT_EQ(fogged(30.0f, 10.0f, 29.0f), 255);  // a step at the start
    EXPECT_EQ(fogged(30.0f, 10.0f, 31.0f), 0);
    EXPECT_EQ(fogged(0.1f, 0.0f, 5.0f), 0);  // the show's first frame: fog colour alone
}

TEST_F(GlDeviceTest, BlendsBySourceColourOrReplaces) {
    const auto scene = [](bool sourceColour) {
        return [sourceColour](Device& d) {
            d.setRenderState(RenderState::zEnable, 0);
            setColour(d, 0.25f, 0.5f, 1.0f);
            quad(d, 0, 0, kSide, kSide);
            setBlend(d, sourceColour);
            setColour(d, 0.75f, 0.25f, 0.5f);
            quad(d, 0, 0, kSide, kSide);
        };
    };
    render(scene(true));
    EXPECT_LE(differences(1), 0);
    // Per channel s·s + d·(1 − s): 191·0.749 + 64·0.251, 64·0.251 + 128·0.749, …
    const std::uint32_t blended = gl.pixel(5, 5);
    EXPECT_NEAR(channelOf(blended, 16), 159, 1);
    EXPECT_NEAR(channelOf(blended, 8), 112, 1);
    EXPECT_NEAR(channelOf(blended, 0), 191, 1);

    render(scene(false));
    EXPECT_EQ(differences(), 0);
    EXPECT_EQ(gl.pixel(5, 5), 0x00BF4080u);
}

TEST_F(GlDeviceTest, LightsWithTheMaterialsAmbientColourAndEmissive) {
    render([](Device& d) {
        gfx::MaterialColours material{};
        material.ambient = {0.5f, 0.25f, 1.0f, 0};
        material.diffuse = {1, 1, 1, 0};  // no lights: no effect
        material.emissive = {0.25f, 0, 0, 0};
        d.setMaterial(material);
        d.setRenderState(RenderState::ambient, 0xFF80FF40);
        quad(d, 0, 0, 16, 32);
        d.setRenderState(RenderState::lighting, 0);
        quad(d, 16, 0, 32, 32);
    });
    EXPECT_EQ(differences(), 0);
    // 0.5 · 128/255 + 0.25, 0.25 · 1, 1 · 64/255.
    EXPECT_EQ(gl.pixel(4, 4), 0x00804040u);
    EXPECT_EQ(gl.pixel(20, 4), kWhite);
}

TEST_F(GlDeviceTest, CullsTheWindingTheSoftwareDeviceCulls) {
    for (std::uint32_t mode : {gfx::kCullNone, gfx::kCullClockwise, gfx::kCullCounterClockwise}) {
        render([mode](Device& d) {
            d.setRenderState(RenderState::cullMode, mode);
            setColour(d, 1, 0, 0);
            triangle(d, corner(1, 1), corner(14, 1), corner(1, 14));  // clockwise on screen
            setColour(d, 0, 1, 0);
            triangle(d, corner(17, 1), corner(17, 14), corner(30, 1));  // counter-clockwise
        });
        EXPECT_EQ(differences(), 0) << "cull mode " << mode;
        EXPECT_EQ(gl.pixel(3, 3), mode == gfx::kCullClockwise ? kBlack : 0x00FF0000u);
        EXPECT_EQ(gl.pixel(19, 3), mode == gfx::kCullCounterClockwise ? kBlack : 0x0000FF00u);
    }
}

TEST_F(GlDeviceTest, ClearsColourAndDepthApartWithinTheViewport) {
    render([](Device& d) {
        quad(d, 0, 0, kSide, kSide, 0.5f);
        d.clear(gfx::kClearZBuffer, 0x00FF0000, 1.0f);  // depth only: the colour stays
        setColour(d, 0, 0, 1);
        quad(d, 0, 0, kSide, kSide, 0.9f);  // passes against the cleared depth
        d.setViewport({8, 4, 16, 8, 0.0f, 1.0f});
        d.clear(gfx::kClearTarget, 0x00123456, 0.0f);  // colour only, the viewport only
        setColour(d, 0, 1, 0);
        d.setTransform(TransformKind::projection,
                       {{{2.0f / 16, 0, 0, 0}, {0, -2.0f / 8, 0, 0}, {0, 0, 1, 0}, {-1, 1, 0, 1}}});
        triangle(d, corner(0, 0), corner(12, 0), corner(0, 12));  // cut to the viewport
        d.setViewport({0, 0, kSide, kSide, 0.0f, 1.0f});
    });
    EXPECT_EQ(differences(), 0);
    EXPECT_EQ(gl.pixel(2, 2), 0x000000FFu);
    EXPECT_EQ(gl.pixel(9, 5), 0x0000FF00u);
    EXPECT_EQ(gl.pixel(9, 11), 0x0000FF00u);
    EXPECT_EQ(gl.pixel(9, 12), 0x000000FFu);
    EXPECT_EQ(gl.pixel(23, 11), 0x00123456u);
    EXPECT_EQ(gl.pixel(24, 11), 0x000000FFu);
    EXPECT_EQ(gl.pixel(23, 12), 0x000000FFu);

    // A clear outside a scene reaches the back buffer at once.
    gl.device->clear(gfx::kClearTarget, 0x00FFFFFF, 1.0f);
    EXPECT_EQ(pixelsOf(kWhite), kSide * kSide);
}

// 4 × 4 texels, each a colour of its own in the format's channels.
std::unique_ptr<gfx::Texture> makeTexture(Device& device, const gfx::PixelFormat& format) {
    auto texture = device.createTexture(4, 4, format);
    const bool rgb565 = format.greenMask == gfx::kFormatRgb565.greenMask;
    for (std::uint16_t i = 0; i < 16; ++i) {
        const std::uint16_t red = static_cast<std::uint16_t>(i * 2);
        const std::uint16_t green = static_cast<std::uint16_t>(rgb565 ? 63 - i * 4 : 31 - i * 2);
        const std::uint16_t blue = static_cast<std::uint16_t>((i * 7) % 32);
        texture->texels[i] = static_cast<std::uint16_t>(rgb565 ? red << 11 | green << 5 | blue
                                                               : red << 10 | green << 5 | blue);
    }
    return texture;
}

TEST_F(GlDeviceTest, SamplesTheNearestTexelAndWraps) {
    for (const gfx::PixelFormat& format : {gfx::kFormatRgb565, gfx::kFormatRgb555}) {
        auto glTexture = makeTexture(*gl.device, format);
        auto softwareTexture = makeTexture(*software.device, format);
        ASSERT_NE(glTexture, nullptr);
        render([&](Device& d) {
            d.setTexture(0, &d == gl.device.get() ? glTexture.get() : softwareTexture.get());
            // Two pixels a texel, boundaries on pixel centres; coordinates past 0 … 1.
            quad(d, 0, 0, 16, 16, 0.5f, -0.25f, -0.25f, 1.75f, 1.75f);
            quad(d, 16, 16, 32, 32, 0.5f, 1.05f, 0.05f, 2.55f, 1.55f);
        });
        EXPECT_EQ(differences(), 0) << format.greenMask;

        EXPECT_EQ(gl.pixel(0, 0), software.pixel(0, 0));
    }
}

TEST_F(GlDeviceTest, SamplesPerspectiveCorrectlyOnARecedingPlane) {
    auto glTexture = makeTexture(*gl.device, gfx::kFormatRgb565);
    auto softwareTexture = makeTexture(*software.device, gfx::kFormatRgb565);
    render([&](Device& d) {
        d.setTransform(TransformKind::projection, kShowProjection);
        d.setTexture(0, &d == gl.device.get() ? glTexture.get() : softwareTexture.get());
        // A floor from depth 1.5 to 40, tiled eight times along it, off the centre
        // so that no texel boundary runs through pixel centres.
        const float left = -1.93f, right = 2.07f, y = -0.5f;
        triangle(d, corner(left, y, 1.5f, 0, 0), corner(right, y, 1.5f, 2, 0),
                 corner(right, y, 40, 2, 8));
        triangle(d, corner(left, y, 1.5f, 0, 0), corner(right, y, 40, 2, 8),
                 corner(left, y, 40, 0, 8));
    });
    EXPECT_EQ(differences(), 0);

    EXPECT_GT(pixelsOf(kBlack), 0);
}

TEST_F(GlDeviceTest, UploadsATextureAnewWhenAnotherTakesItsPlace) {
    const auto fill = [](gfx::Texture& texture, std::uint16_t texel) {
        std::fill(texture.texels.begin(), texture.texels.end(), texel);
    };
    auto first = gl.device->createTexture(2, 2, gfx::kFormatRgb565);
    fill(*first, 0xF800);
    const auto drawWith = [this](const gfx::Texture* texture) {
        Device& d = *gl.device;
        d.clear(gfx::kClearTarget, kBlack, 1.0f);
        d.beginScene();
        d.setTransform(TransformKind::projection, kPixelProjection);
        d.setRenderState(RenderState::lighting, 0);
        d.setTexture(0, texture);
        quad(d, 0, 0, kSide, kSide);
        d.setTexture(0, nullptr);
        d.endScene();
        return gl.pixel(1, 1);
    };
    EXPECT_EQ(drawWith(first.get()), 0x00FF0000u);
    first.reset();
    // Often at the address of the first.
    auto second = gl.device->createTexture(2, 2, gfx::kFormatRgb565);
    fill(*second, 0x07E0);
    EXPECT_EQ(drawWith(second.get()), 0x0000FF00u);
    // Texels replaced by a new buffer are uploaded again.
    second->texels = std::vector<std::uint16_t>(4, 0x001F);
    EXPECT_EQ(drawWith(second.get()), 0x000000FFu);
}

TEST_F(GlDeviceTest, IsTheHardwareKindAndOffersTheSoftwareDevicesFormats) {
    gfx::DeviceCaps caps;
    ASSERT_EQ(gl.device->getCaps(caps), gfx::kOk);
    EXPECT_EQ(caps.kind, gfx::DeviceKind::hardware);
    EXPECT_FALSE(caps.texturesPowerOfTwo);
    EXPECT_FALSE(caps.texturesSquare);
    EXPECT_EQ(gl.device->textureFormats().size(), software.device->textureFormats().size());
    EXPECT_NE(gl.device->createTexture(3, 5, gfx::kFormatRgb555), nullptr);
    EXPECT_EQ(gl.device->createTexture(0, 4, gfx::kFormatRgb565), nullptr);
    EXPECT_EQ(gl.device->createTexture(4, 4, gfx::kFormatDepth32), nullptr);
    EXPECT_EQ(gl.device->setTexture(1, nullptr), gfx::kErrFail);
}

TEST(GlRenderer, DriversThatDrawOnTheProcessorAreToldFromHardware) {
    const struct {
        const char* renderer;
        bool software;
    } cases[] = {
        {"llvmpipe (LLVM 15.0.6, 256 bits)", true},
        {"softpipe", true},
        {"Google SwiftShader", true},
        {"Software Rasterizer", true},
        {"zink Vulkan 1.3(llvmpipe (LLVM 15.0.6, 256 bits) (MESA_LLVMPIPE))", true},
        {"Microsoft Basic Render Driver", true},
        {"Mesa Intel(R) UHD Graphics 620 (KBL GT2)", false},
        {"AMD Radeon RX 6600 (navi23, LLVM 15.0.7, DRM 3.49, 6.1.0-13-amd64)", false},
        {"NVIDIA GeForce GTX 1080/PCIe/SSE2", false},
        {"virgl (Intel(R) UHD Graphics 620)", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(gl::isSoftwareRenderer(c.renderer), c.software) << c.renderer;
}

}  // namespace
}  // namespace glint::test
