// The software rasterizer: one screen-space triangle at a time into a colour
// target with an optional depth buffer, through a fixed pixel pipeline
// (texture, lit colour, fog, blend) chosen once per state change.
#pragma once

#include <cstdint>

#include "platform/gfx/fixed_function.h"

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

// A 16-bit texture as the pipeline samples it; masks select each channel.
struct TextureView {
    const std::uint16_t* texels = nullptr;
    std::int32_t width = 0, height = 0;
    std::uint32_t redMask = 0, greenMask = 0, blueMask = 0;
};

// One inclusive span bound per row: floor((b·row + c) / d) with d > 0. A left
// edge bounds the span by the negated value, a right edge by the value itself.
struct EdgeBound {
    std::int64_t b, c, d;
    double inverseD;
};

// A triangle of few pixels: one quad per row from its left column, its edge
// functions tested at each pixel. Each edge function's values at the quad on
// the top row and its step to the next row; depth, 1/w, u/w and v/w at the
// quad's first pixel on the top row, and their steps per pixel.
struct NarrowSetup {
    IntLanes edgeAtQuad[3], edgeRowStep[3];
    FloatLanes atCorner, stepX, stepY;
};

// Any other triangle, row by row. The long edge joins the top and bottom
// corners and bounds one side of every row; the upper and lower edges meet at
// the middle corner and bound the other side. The attributes, at the first
// corner and per pixel in x and y, are kept in double.
struct WideSetup {
    EdgeBound longEdge, upperEdge, lowerEdge;
    double originX, originY;
    alignas(16) double value[4], dx[4], dy[4];
    std::int32_t lastUpperRow, firstLowerRow;  // rows strictly above / below the middle corner
    bool longEdgeIsLeft;
};

// A triangle set up once, ready to be filled into any part of its target.
struct TriangleSetup {
    // The pixels it may cover, inclusive, within the target's rectangle.
    std::int32_t left, right, top, bottom;
    bool narrow;
    union {
        NarrowSetup narrowRows;
        WideSetup wideRows;
    };
};

// The part of the target one fill may touch, right and bottom exclusive; its
// left side lies on a multiple of four pixels. Pixels beside it may belong to
// another thread, so nothing outside it is read or written.
struct Tile {
    std::int32_t left, top, right, bottom;
};

struct PreparedPipeline;
using FillFunction = void (*)(const TriangleSetup&, const RasterTarget&, const Tile&,
                              const PreparedPipeline&);
using DrawFunction = void (*)(const ScreenTriangle&, const RasterTarget&, const PreparedPipeline&,
                              CullWinding);

// The pixel state in the form the span loops read, with the routines compiled
// for it: one filling a triangle set up before, one setting up and filling.
struct PreparedPipeline {
    FillFunction fill = nullptr;
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

// Whether this processor runs the spans eight pixels at a time (AVX2).
bool eightPixelSpansAvailable();

// `texture` may be null for untextured drawing. Eight-pixel spans, where the
// processor has them, draw every pixel as four-pixel spans do.
PreparedPipeline preparePipeline(const PixelState& state, const TextureView* texture,
                                 bool eightPixelSpans);

// False when the triangle covers no pixel of the target's rectangle or faces
// away; every pixel it draws depends on the setup alone, never on the tile.
bool setUpTriangle(const ScreenTriangle& triangle, const RasterTarget& target, CullWinding cull,
                   TriangleSetup& setup);

// The whole target as one tile.
inline Tile wholeTarget(const RasterTarget& target) {
    return {0, 0, target.pitch, target.rows};
}

// Sets the triangle up and fills it into the whole target at once.
inline void rasterizeTriangle(const ScreenTriangle& triangle, const RasterTarget& target,
                              const PreparedPipeline& pipeline, CullWinding cull) {
    pipeline.draw(triangle, target, pipeline, cull);
}

}  // namespace glint::gfx
