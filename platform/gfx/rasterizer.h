// The software rasterizer: one screen-space triangle at a time into a colour
// target with an optional depth buffer, through a fixed pixel pipeline
// (texture, lit colour, fog, blend) chosen once per state change.
#pragma once

#include <cstdint>

namespace glint::gfx {

// One value in each of the four lanes the span loops work in.
struct alignas(16) FloatLanes {
    float lane[4];
};
struct alignas(16) IntLanes {
    std::int32_t lane[4];
};

// A triangle after the divide by w, one corner per lane (the fourth lane
// repeats the third): pixel position (pixel centres at integers), depth, and
// 1/w with the texture coordinates divided by w, all of them linear in screen
// space.
struct ScreenTriangle {
    FloatLanes x, y, z, q, uq, vq;
};

struct RasterTarget {
    std::uint32_t* pixels = nullptr;  // 0x00RRGGBB
    float* depth = nullptr;           // null without a depth buffer
    std::int32_t pitch = 0;           // pixels per row of both buffers
    std::int32_t rows = 0;            // rows of both buffers
    // The rectangle that may be written; right and bottom exclusive.
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
};

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

// A 16-bit texture as the pipeline samples it; masks select each channel.
struct TextureView {
    const std::uint16_t* texels = nullptr;
    std::int32_t width = 0, height = 0;
    std::uint32_t redMask = 0, greenMask = 0, blueMask = 0;
};

struct PixelState {
    bool depthTest = false;  // less-or-equal test and write
    FogKind fog = FogKind::none;
    BlendKind blend = BlendKind::replace;
    float colour[3] = {1.0f, 1.0f, 1.0f};  // lit vertex colour r, g, b in 0..1
    float fogStart = 0.0f, fogEnd = 0.0f;
    std::uint32_t fogColour = 0;  // 0x00RRGGBB
};

struct PreparedPipeline;
using DrawFunction = void (*)(const ScreenTriangle&, const RasterTarget&, const PreparedPipeline&,
                              CullWinding);

// The pixel state in the form the span loops read, with the triangle routine
// compiled for it.
struct PreparedPipeline {
    DrawFunction draw = nullptr;
    const std::uint16_t* texels = nullptr;
    // Per channel r, g, b: the texel mask and the factor turning a masked texel
    // into the modulated colour, or the plain colour without a texture.
    IntLanes masks[3] = {};
    FloatLanes scales[3] = {};
    FloatLanes width = {}, height = {};
    FloatLanes inverseWidth = {}, inverseHeight = {};
    FloatLanes lastColumn = {}, lastRow = {};
    IntLanes columnMask = {}, rowMask = {};
    std::int32_t rowShift = 0;  // log2 of the width of a power-of-two texture
    FloatLanes fogStart = {}, fogEnd = {}, fogScale = {};
    FloatLanes fogColour[3] = {};  // r, g, b
};

// `texture` may be null for untextured drawing.
PreparedPipeline preparePipeline(const PixelState& state, const TextureView* texture);

inline void rasterizeTriangle(const ScreenTriangle& triangle, const RasterTarget& target,
                              const PreparedPipeline& pipeline, CullWinding cull) {
    pipeline.draw(triangle, target, pipeline, cull);
}

}  // namespace glint::gfx
