// The fixed-function state as both devices keep it, and the one reading of it
// they both draw by: which fog, blend, depth test, lit colour and culling the
// render states and the material make.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/gfx/device.h"
#include "platform/gfx/pixel_format.h"
#include "platform/gfx/surface.h"

namespace glint::gfx {

inline constexpr std::size_t kRenderStateCount =
    static_cast<std::size_t>(RenderState::lighting) + 1;

using RenderStates = std::array<std::uint32_t, kRenderStateCount>;

inline constexpr TransformMatrix kIdentity{
    {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};

// a · b, each entry summed in double.
TransformMatrix multiply(const TransformMatrix& a, const TransformMatrix& b);

// Each kind's matrix at its transformSlot.
using Transforms = std::array<TransformMatrix, kTransformKinds>;
inline constexpr Transforms kIdentityTransforms{kIdentity, kIdentity, kIdentity};

// world · view · projection: where a vertex's position lands.
TransformMatrix combinedTransform(const Transforms& transforms);

inline std::size_t stateIndex(RenderState state) {
    return static_cast<std::size_t>(state);
}

// The render states of a new device; `depthTest` sets zEnable.
RenderStates defaultRenderStates(bool depthTest);

// The whole target, depths 0 to 1.
Viewport defaultViewport(const Surface& target);

enum class FogKind : std::uint8_t {
    none,
    linear,  // factor (end - d) / (end - start), clamped
    step,    // unfogged up to start, fully fogged beyond (end <= start)
};

enum class BlendKind : std::uint8_t {
    replace,       // ONE / ZERO
    sourceColour,  // SRCCOLOR / INVSRCCOLOR: s·s + d·(1 − s) per channel
};

// The face orientation on screen that is not drawn.
enum class CullWinding : std::uint8_t { none, clockwise, counterClockwise };

struct PixelState {
    bool depthTest = false;  // less-or-equal test and write
    FogKind fog = FogKind::none;
    BlendKind blend = BlendKind::replace;
    float colour[3] = {1.0f, 1.0f, 1.0f};  // lit vertex colour r, g, b in 0..1
    float fogStart = 0.0f, fogEnd = 0.0f;
    std::uint32_t fogColour = 0;  // 0x00RRGGBB
};

// Linear table fog alone is drawn; any pair of blend factors but SRCCOLOR /
// INVSRCCOLOR draws as ONE / ZERO; lighting gives the material's ambient under
// the ambient light plus its emissive colour.
PixelState decodePixelState(const RenderStates& states, const MaterialColours& material);

CullWinding decodeCulling(const RenderStates& states);

// One channel of a 0x00RRGGBB colour in 0 … 1.
inline float colourChannel(std::uint32_t colour, int shift) {
    return static_cast<float>((colour >> shift) & 0xFF) / 255.0f;
}

// The texture formats both devices offer, in their order of preference.
inline constexpr std::array<PixelFormat, 2> kOfferedTextureFormats{kFormatRgb565, kFormatRgb555};
std::vector<PixelFormat> offeredTextureFormats();
bool isOfferedTextureFormat(const PixelFormat& format);

}  // namespace glint::gfx
