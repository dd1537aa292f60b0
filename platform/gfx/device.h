// The 3-D device: the fixed-function state the scenes set and one triangle per
// draw call. The software device implements it; tests record calls through it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/gfx/pixel_format.h"
#include "platform/gfx/results.h"
#include "platform/gfx/surface.h"

namespace glint::gfx {

// The vertex the engine hands over: position, normal, one texture pair.
struct Vertex {
    float x, y, z;
    float nx, ny, nz;
    float tu, tv;
};
static_assert(sizeof(Vertex) == 32);

// Row-vector convention: p' = p · M, m[row][column].
struct TransformMatrix {
    float m[4][4];
};

struct ColourValue {
    float r, g, b, a;
};

struct MaterialColours {
    ColourValue diffuse, ambient, specular, emissive;
    float power;
};
static_assert(sizeof(MaterialColours) == 68);

struct Viewport {
    std::uint32_t x, y, width, height;  // pixels
    float minZ, maxZ;
};

enum class TransformKind : std::uint8_t { world, view, projection };
inline constexpr std::size_t kTransformKinds = 3;

// Where a device keeps each kind's matrix among its kTransformKinds; no kind from
// kTransformKinds on.
constexpr std::size_t transformSlot(TransformKind kind) {
    return static_cast<std::size_t>(kind);
}

enum class RenderState : std::uint8_t {
    zEnable,           // bool: depth test (less-or-equal) and depth write
    srcBlend,          // BlendFactor
    destBlend,         // BlendFactor
    cullMode,          // CullMode
    ditherEnable,      // bool
    alphaBlendEnable,  // bool
    fogEnable,         // bool
    fogColor,          // 0x00RRGGBB
    fogTableMode,      // FogMode
    fogStart,          // float bit pattern
    fogEnd,            // float bit pattern
    fogDensity,        // float bit pattern
    ambient,           // 0xAARRGGBB ambient light
    lighting,          // bool
};

// The float states' bit patterns. (Some standard libraries lack std::bit_cast.)
constexpr std::uint32_t floatStateBits(float value) {
    return __builtin_bit_cast(std::uint32_t, value);
}
constexpr float floatFromStateBits(std::uint32_t bits) {
    return __builtin_bit_cast(float, bits);
}

enum BlendFactor : std::uint32_t {
    kBlendZero = 1,
    kBlendOne = 2,
    kBlendSrcColor = 3,
    kBlendInvSrcColor = 4,
};

enum CullMode : std::uint32_t { kCullNone = 1, kCullClockwise = 2, kCullCounterClockwise = 3 };

enum FogMode : std::uint32_t { kFogNone = 0, kFogExp = 1, kFogExp2 = 2, kFogLinear = 3 };

enum ClearFlag : std::uint32_t { kClearTarget = 1, kClearZBuffer = 2 };

enum class DeviceKind : std::uint8_t { hardware, software };

struct DeviceCaps {
    DeviceKind kind = DeviceKind::software;
    bool texturesPowerOfTwo = false;  // textures must have power-of-two sides
    bool texturesSquare = false;      // textures must be square
    // A hardware device whose driver draws on the processor: no graphics hardware.
    bool softwareRenderer = false;
};

class Device {
public:
    virtual ~Device() = default;

    virtual std::int32_t clear(std::uint32_t flags, std::uint32_t colour, float depth) = 0;
    virtual std::int32_t beginScene() = 0;
    virtual std::int32_t endScene() = 0;
    virtual std::int32_t setViewport(const Viewport& viewport) = 0;
    virtual std::int32_t getViewport(Viewport& viewport) const = 0;
    virtual std::int32_t setTransform(TransformKind kind, const TransformMatrix& matrix) = 0;
    virtual std::int32_t getTransform(TransformKind kind, TransformMatrix& matrix) const = 0;
    virtual std::int32_t setRenderState(RenderState state, std::uint32_t value) = 0;
    virtual std::int32_t setMaterial(const MaterialColours& colours) = 0;
    // Stage 0 only; null draws untextured. The device does not own the texture.
    virtual std::int32_t setTexture(std::uint32_t stage, const Texture* texture) = 0;
    // One triangle list of three vertices in the engine's layout.
    virtual std::int32_t drawTriangle(const Vertex (&corners)[3]) = 0;
    // Brings the back buffer's pixels up to date with everything drawn so far. A
    // device that draws elsewhere copies its picture home only here, so whoever
    // reads the back buffer (a screenshot, a recording) calls this first. A device
    // may go on drawing a scene after endScene, while the next is recorded:
    // textures it used are changed or freed only after this, the next scene's
    // end or the device's end.
    virtual std::int32_t readBack() { return kOk; }

    virtual std::int32_t getCaps(DeviceCaps& caps) const = 0;
    // The 16-bit and other texture formats, in the device's order of preference.
    virtual std::vector<PixelFormat> textureFormats() const = 0;
    // A texture of the given size and format, texels zeroed; null on failure.
    virtual std::unique_ptr<Texture> createTexture(std::int32_t width, std::int32_t height,
                                                   const PixelFormat& format) = 0;
};

}  // namespace glint::gfx
