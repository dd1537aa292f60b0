#include "platform/gfx/rasterizer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <limits>
#include <utility>

#include "platform/gfx/lanes.h"
#include "platform/gfx/raster_precision.h"

// The AVX2 lanes pass through always-inlined templates that are also compiled
// without AVX2, which GCC notes as an ABI change; only AVX2 routines run them.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace glint::gfx {
namespace {

enum class TextureKind : std::uint8_t { none, powerOfTwo, anySize };

// A horizontal edge bounds rows, not spans; in its place a bound that never binds.
constexpr EdgeBound kUnbounded{0, std::int64_t{1} << 60, 1, 1.0};

// The screen-linear attributes: depth, 1/w, u/w, v/w.
enum Attribute : int { kDepth, kInverseW, kUOverW, kVOverW, kAttributeCount };

// The spans are written once over a lane type L (see lanes.h). Everything they
// call is inlined into a few routines, so that the AVX2 ones are compiled
// whole for AVX2; a lambda run by L::outOfLine must be always inlined too.
template <typename L>
using FloatsOf = typename L::Floats;
template <typename L>
using IntsOf = typename L::Ints;
template <typename L>
using MaskOf = typename L::Mask;

// The first pixel row (or column) at or after a snapped coordinate.
inline std::int64_t ceilToPixel(std::int64_t snapped) {
    return -((-snapped) >> kSubPixelBits);
}

// The estimate from the reciprocal lies within one of the true quotient, since
// |b·row + c| < 2^52 is exact in double; one integer correction makes it exact.
inline std::int64_t rowBound(const EdgeBound& edge, std::int64_t row) {
    const std::int64_t numerator = edge.b * row + edge.c;
    std::int64_t quotient =
        static_cast<std::int64_t>(static_cast<double>(numerator) * edge.inverseD);
    const std::int64_t remainder = numerator - quotient * edge.d;
    quotient -= remainder < 0;
    quotient += remainder >= edge.d;
    return quotient;
}

// An edge's bound on successive rows, stepped exactly: the quotient and the
// remainder of b·row + c by d grow by those of b by d, with a carry when the
// remainder reaches d. Cheaper than a bound made afresh on every row.
struct EdgeWalk {
    std::int64_t quotient, remainder, quotientStep, remainderStep, d;

    EdgeWalk(const EdgeBound& edge, std::int64_t row)
        : quotient(rowBound(edge, row)),
          remainder(edge.b * row + edge.c - quotient * edge.d),
          quotientStep(rowBound({0, edge.b, edge.d, edge.inverseD}, 0)),
          remainderStep(edge.b - quotientStep * edge.d),
          d(edge.d) {}

    void step() {
        quotient += quotientStep;
        remainder += remainderStep;
        const bool carry = remainder >= d;
        quotient += carry;
        remainder -= carry ? d : 0;
    }
};

// Screen coordinates to the nearest 1/256 pixel.
inline IntsOf<QuadLanes> snap(FloatsOf<QuadLanes> coordinates) {
    using L = QuadLanes;
    const FloatsOf<L> limited =
        min(max(coordinates, L::splat(-kMaxScreenCoordinate)), L::splat(kMaxScreenCoordinate));
    return roundToInt(limited * L::splat(static_cast<float>(kSubPixelScale)));
}

// Attribute values along one span: at its first pixel, and their steps.
template <typename L>
struct SpanStart {
    FloatsOf<L> value[kAttributeCount];
    FloatsOf<L> dx[kAttributeCount];
};

// Each lane of `v` in all lanes of its own vector.
inline void broadcastLanes(FloatsOf<QuadLanes> v, FloatsOf<QuadLanes> (&lanes)[kAttributeCount]) {
    lanes[0] = broadcast<0>(v);
    lanes[1] = broadcast<1>(v);
    lanes[2] = broadcast<2>(v);
    lanes[3] = broadcast<3>(v);
}

template <typename L>
[[gnu::always_inline]] inline void splatEach(const float (&values)[kAttributeCount],
                                             FloatsOf<L> (&lanes)[kAttributeCount]) {
    for (int a = 0; a < kAttributeCount; ++a)
        lanes[a] = L::splat(values[a]);
}

// Exact for |x| < 2^31; anything else (huge or NaN) gives some finite value.
template <typename L>
[[gnu::always_inline]] inline IntsOf<L> floorToInt(FloatsOf<L> x) {
    const IntsOf<L> truncated = truncateToInt(x);
    return truncated + maskBits(toFloat(truncated) > x);
}

template <typename L>
[[gnu::always_inline]] inline FloatsOf<L> floorToFloat(FloatsOf<L> x) {
    return toFloat(floorToInt<L>(x));
}

// floor(t) mod size for one texture axis of any size, in [0, size) whatever t.
template <typename L>
[[gnu::always_inline]] inline FloatsOf<L> wrapAnySize(FloatsOf<L> t, FloatsOf<L> size,
                                                      FloatsOf<L> inverseSize, FloatsOf<L> last) {
    const FloatsOf<L> zero = L::splat(0.0f);
    const FloatsOf<L> whole = floorToFloat<L>(t);
    FloatsOf<L> wrapped = whole - floorToFloat<L>(whole * inverseSize) * size;
    wrapped = wrapped + where(wrapped < zero, size);
    wrapped = wrapped - where(wrapped >= size, size);
    // NaN falls to the second operand of max, so the result is always a texel.
    return min(max(wrapped, zero), last);
}

// The texel indices of the pixels at texture coordinates (u, v).
template <typename L, TextureKind kTexture>
[[gnu::always_inline]] inline IntsOf<L> texelIndices(FloatsOf<L> u, FloatsOf<L> v,
                                                     const PreparedPipeline& p) {
    const FloatsOf<L> width = L::load(p.width.lane);
    const FloatsOf<L> height = L::load(p.height.lane);
    if constexpr (kTexture == TextureKind::powerOfTwo) {
        const IntsOf<L> column = floorToInt<L>(u * width) & L::load(p.columnMask.lane);
        const IntsOf<L> row = floorToInt<L>(v * height) & L::load(p.rowMask.lane);
        return (row << p.rowShift) | column;
    } else {
        const FloatsOf<L> column = wrapAnySize<L>(u * width, width, L::load(p.inverseWidth.lane),
                                                  L::load(p.lastColumn.lane));
        const FloatsOf<L> row = wrapAnySize<L>(v * height, height, L::load(p.inverseHeight.lane),
                                               L::load(p.lastRow.lane));
        return truncateToInt(row * width + column);
    }
}

// Colours travel as floats in 0 … 255 per channel.
template <typename L>
[[gnu::always_inline]] inline FloatsOf<L> channel(IntsOf<L> texels, const IntLanes& mask,
                                                  const FloatLanes& scale) {
    return toFloat(texels & L::load(mask.lane)) * L::load(scale.lane);
}

// Every colour reaching here lies in 0 … 255 (lit colours are clamped, the fog
// factor is, and fog mixes within the range), so no clamp is needed, nor any
// conversion of floats beyond the integers.
template <typename L, int kShift>
[[gnu::always_inline]] inline IntsOf<L> packChannel(FloatsOf<L> value) {
    return shiftLeft<kShift>(truncateSmall(value + L::splat(0.5f)));
}

template <typename L>
[[gnu::always_inline]] inline FloatsOf<L> fogged(FloatsOf<L> colour, FloatsOf<L> factor,
                                                 const FloatLanes& fogColour) {
    const FloatsOf<L> f = L::load(fogColour.lane);
    return f + factor * (colour - f);
}

// The attributes of the pixels `offsets` from a span's start.
template <typename L>
struct AlongSpan {
    const SpanStart<L>& span;
    FloatsOf<L> offsets;

    [[gnu::always_inline]] FloatsOf<L> operator()(int which) const {
        return span.value[which] + span.dx[which] * offsets;
    }
};

// The attributes across a quad whose steps from its first pixel are taken once.
struct AcrossQuad {
    const FloatsOf<QuadLanes> (&value)[kAttributeCount];
    const FloatsOf<QuadLanes> (&across)[kAttributeCount];

    [[gnu::always_inline]] FloatsOf<QuadLanes> operator()(int which) const {
        return value[which] + across[which];
    }
};

// Neighbouring pixels of a span, one to a lane; `live` masks the lanes that
// belong to it. The other lanes are read and written back unchanged. at(a)
// gives attribute a at the pixels, asked only when needed.
template <typename L, TextureKind kTexture, FogKind kFog, BlendKind kBlend, bool kDepthTest,
          typename AttributeAt>
[[gnu::always_inline]] inline void shadeLanes(std::uint32_t* pixels, float* depth, MaskOf<L> live,
                                              const AttributeAt& at, const PreparedPipeline& p) {
    using Floats = FloatsOf<L>;
    MaskOf<L> pass = live;
    if constexpr (kDepthTest) {
        const Floats z = at(kDepth);
        const Floats stored = L::loadDepth(depth);
        pass = pass & (z <= stored);
        if (!any(pass)) return;
        L::storeDepth(depth, select(pass, z, stored));
    }

    const Floats ones = L::splat(1.0f);
    Floats w = L::splat(0.0f);
    if constexpr (kTexture != TextureKind::none || kFog != FogKind::none) {
        w = ones / at(kInverseW);
    }

    Floats red, green, blue;
    if constexpr (kTexture != TextureKind::none) {
        const Floats u = at(kUOverW) * w;
        const Floats v = at(kVOverW) * w;
        const IntsOf<L> texels = gather(p.texels, texelIndices<L, kTexture>(u, v, p));
        red = channel<L>(texels, p.masks[0], p.scales[0]);
        green = channel<L>(texels, p.masks[1], p.scales[1]);
        blue = channel<L>(texels, p.masks[2], p.scales[2]);
    } else {
        red = L::load(p.scales[0].lane);
        green = L::load(p.scales[1].lane);
        blue = L::load(p.scales[2].lane);
    }

    if constexpr (kFog != FogKind::none) {
        Floats factor;
        if constexpr (kFog == FogKind::linear) {
            factor = (L::load(p.fogEnd.lane) - w) * L::load(p.fogScale.lane);
            factor = min(max(factor, L::splat(0.0f)), ones);
        } else {
            factor = where(w <= L::load(p.fogStart.lane), ones);
        }
        red = fogged<L>(red, factor, p.fogColour[0]);
        green = fogged<L>(green, factor, p.fogColour[1]);
        blue = fogged<L>(blue, factor, p.fogColour[2]);
    }

    const IntsOf<L> old = L::loadPixels(pixels);
    IntsOf<L> colour = packChannel<L, 16>(red) | packChannel<L, 8>(green) | packChannel<L, 0>(blue);
    if constexpr (kBlend == BlendKind::sourceColour) colour = blendSourceColour(colour, old);
    L::storePixels(pixels, select(pass, colour, old));
}

// The lanes from `first` up to but not including `end`.
template <typename L>
[[gnu::always_inline]] inline MaskOf<L> lanesBetween(std::int32_t first, std::int32_t end) {
    const FloatsOf<L> index = L::laneIndex();
    return (index >= L::splat(static_cast<float>(first))) &
           (index < L::splat(static_cast<float>(end)));
}

// Lanes of which only first … end − 1 may be touched, all of them in `live`:
// they go through a local copy, so that no lane reads or writes beyond them.
template <typename L, TextureKind kTexture, FogKind kFog, BlendKind kBlend, bool kDepthTest>
[[gnu::always_inline]] inline void shadePartOfLanes(std::uint32_t* pixels, float* depth,
                                                    FloatsOf<L> offsets, MaskOf<L> live,
                                                    std::int32_t first, std::int32_t end,
                                                    const SpanStart<L>& span,
                                                    const PreparedPipeline& p) {
    alignas(32) std::uint32_t localPixels[L::kWidth] = {};
    alignas(32) float localDepth[L::kWidth] = {};
    for (std::int32_t i = first; i < end; ++i) {
        localPixels[i] = pixels[i];
        if constexpr (kDepthTest) localDepth[i] = depth[i];
    }
    shadeLanes<L, kTexture, kFog, kBlend, kDepthTest>(localPixels, localDepth, live,
                                                      AlongSpan<L>{span, offsets}, p);
    for (std::int32_t i = first; i < end; ++i) {
        pixels[i] = localPixels[i];
        if constexpr (kDepthTest) depth[i] = localDepth[i];
    }
}

// `count` pixels of a span from `pixels` on, whose attributes start `skipped`
// pixels further left, with room for every step: each is read and written in place.
template <typename L, TextureKind kTexture, FogKind kFog, BlendKind kBlend, bool kDepthTest>
[[gnu::always_inline]] inline void shadeSpan(std::uint32_t* pixels, float* depth,
                                             std::int32_t count, float skipped,
                                             const SpanStart<L>& span, const PreparedPipeline& p) {
    const FloatsOf<L> end = L::splat(skipped + static_cast<float>(count));
    const FloatsOf<L> step = L::splat(static_cast<float>(L::kWidth));
    FloatsOf<L> offsets = L::laneIndex() + L::splat(skipped);
    std::int32_t i = 0;
    do {
        shadeLanes<L, kTexture, kFog, kBlend, kDepthTest>(
            pixels + i, kDepthTest ? depth + i : nullptr, offsets < end,
            AlongSpan<L>{span, offsets}, p);
        offsets = offsets + step;
        i += L::kWidth;
    } while (i < count);
}

// A span ending less than a step from the edge of what may be touched: its
// last pixels go through a local copy.
template <typename L, TextureKind kTexture, FogKind kFog, BlendKind kBlend, bool kDepthTest>
[[gnu::always_inline]] inline void shadeSpanAtEdge(std::uint32_t* pixels, float* depth,
                                                   std::int32_t count, float skipped,
                                                   const SpanStart<L>& span,
                                                   const PreparedPipeline& p) {
    const std::int32_t whole = count & ~(L::kWidth - 1);
    if (whole > 0) {
        shadeSpan<L, kTexture, kFog, kBlend, kDepthTest>(pixels, depth, whole, skipped, span, p);
    }
    const std::int32_t rest = count - whole;
    if (rest == 0) return;
    shadePartOfLanes<L, kTexture, kFog, kBlend, kDepthTest>(
        pixels + whole, kDepthTest ? depth + whole : nullptr,
        L::laneIndex() + L::splat(skipped + static_cast<float>(whole)), lanesBetween<L>(0, rest), 0,
        rest, span, p);
}

// A wide triangle's three edge bounds, row after row from `row`.
struct EdgeWalks {
    EdgeWalk longEdge, upperEdge, lowerEdge;

    EdgeWalks(const WideSetup& s, std::int64_t row)
        : longEdge(s.longEdge, row), upperEdge(s.upperEdge, row), lowerEdge(s.lowerEdge, row) {}

    void step() {
        longEdge.step();
        upperEdge.step();
        lowerEdge.step();
    }
};

// What of one row of a wide triangle lies in the tile: `count` pixels from
// `start` in the buffers, `skipped` pixels right of where the row's own span
// starts, with `room` pixels up to the tile's edge.
struct RowSpan {
    std::ptrdiff_t start;
    std::int32_t count, room;
    float skipped;
    float atSpanStart[kAttributeCount];  // the attributes where the row's own span starts
};

// Each span starts where the triangle's own bounds put it, whatever the tile,
// so that its attributes are the same wherever the tile edges lie. Drawn into
// the whole target at once, a span needs no cutting, and its last step may run
// on to the buffers' end: lanes past the span are read and written back.
template <bool kWholeTarget>
[[gnu::always_inline]] inline bool rowSpan(const WideSetup& s, const EdgeWalks& walks,
                                           const RasterTarget& target, const Tile& tile,
                                           std::int32_t row, RowSpan& span) {
    const std::int64_t longBound = walks.longEdge.quotient;
    // Each short edge binds on its own rows, both on the middle corner's
    // row; on either side the tighter bound is the smaller raw value.
    // Chosen without branches: the row where the choice changes differs
    // from one small triangle to the next.
    constexpr std::int64_t kNone = std::numeric_limits<std::int64_t>::max();
    const std::int64_t upper = walks.upperEdge.quotient;
    const std::int64_t lower = walks.lowerEdge.quotient;
    const std::int64_t shortBound =
        std::min(row < s.firstLowerRow ? upper : kNone, row > s.lastUpperRow ? lower : kNone);
    const std::int64_t left = std::max(s.longEdgeIsLeft ? -longBound : -shortBound,
                                       static_cast<std::int64_t>(target.left));
    const std::int64_t right = std::min(s.longEdgeIsLeft ? shortBound : longBound,
                                        static_cast<std::int64_t>(target.right) - 1);
    const std::int64_t from = kWholeTarget ? left : std::max(left, std::int64_t{tile.left});
    const std::int64_t to = kWholeTarget ? right : std::min(right, std::int64_t{tile.right} - 1);
    if (from > to) return false;
    const double offsetX = static_cast<double>(left) - s.originX;
    const double offsetY = static_cast<double>(row) - s.originY;
    for (int a = 0; a < kAttributeCount; ++a) {
        span.atSpanStart[a] =
            static_cast<float>(s.value[a] + s.dx[a] * offsetX + s.dy[a] * offsetY);
    }
    span.start =
        static_cast<std::ptrdiff_t>(row) * target.pitch + static_cast<std::ptrdiff_t>(from);
    span.count = static_cast<std::int32_t>(to - from + 1);
    span.room =
        kWholeTarget
            ? static_cast<std::int32_t>(std::ptrdiff_t{target.rows} * target.pitch - span.start)
            : tile.right - static_cast<std::int32_t>(from);
    span.skipped = kWholeTarget ? 0.0f : static_cast<float>(from - left);
    return true;
}

// One row's span, `span` holding the steps along it.
template <typename L, TextureKind kTexture, FogKind kFog, BlendKind kBlend, bool kDepthTest>
[[gnu::always_inline]] inline void shadeRow(const RowSpan& r, const RasterTarget& target,
                                            SpanStart<L>& span, const PreparedPipeline& p) {
    splatEach<L>(r.atSpanStart, span.value);
    std::uint32_t* const pixels = target.pixels + r.start;
    float* const depth = kDepthTest ? target.depth + r.start : nullptr;
    if (((r.count + L::kWidth - 1) & ~(L::kWidth - 1)) <= r.room) {
        shadeSpan<L, kTexture, kFog, kBlend, kDepthTest>(pixels, depth, r.count, r.skipped, span,
                                                         p);
    } else {
        // The span captured by value: a local whose address escapes to a call
        // is kept in memory, and read again after every store of pixels.
        L::outOfLine([ =, &p ]() __attribute__((always_inline)) {
            shadeSpanAtEdge<L, kTexture, kFog, kBlend, kDepthTest>(pixels, depth, r.count,
                                                                   r.skipped, span, p);
        });
    }
}

template <typename L, TextureKind kTexture, FogKind kFog, BlendKind kBlend, bool kDepthTest,
          bool kWholeTarget>
[[gnu::always_inline]] inline void fillRows(const TriangleSetup& setup, const RasterTarget& target,
                                            const Tile& tile, const PreparedPipeline& p) {
    using Quad = QuadLanes;
    const WideSetup& s = setup.wideRows;
    float steps[kAttributeCount];
    for (int a = 0; a < kAttributeCount; ++a)
        steps[a] = static_cast<float>(s.dx[a]);
    SpanStart<L> span;
    splatEach<L>(steps, span.dx);
    SpanStart<Quad> quadSpan;
    if constexpr (L::kWidth > Quad::kWidth) splatEach<Quad>(steps, quadSpan.dx);
    const std::int32_t top = std::max(setup.top, tile.top);
    const std::int32_t bottom = std::min(setup.bottom, tile.bottom - 1);
    EdgeWalks walks(s, top);
    for (std::int32_t row = top; row <= bottom; ++row, walks.step()) {
        RowSpan r;
        if (!rowSpan<kWholeTarget>(s, walks, target, tile, row, r)) continue;
        // A span of a quad or less would waste the rest of every wider step.
        if (L::kWidth > Quad::kWidth && r.count <= Quad::kWidth) {
            shadeRow<Quad, kTexture, kFog, kBlend, kDepthTest>(r, target, quadSpan, p);
        } else {
            shadeRow<L, kTexture, kFog, kBlend, kDepthTest>(r, target, span, p);
        }
    }
}

// A narrow triangle's set-up as the fill works on it, in registers.
struct NarrowRows {
    IntsOf<QuadLanes> edgeAtQuad[3], edgeRowStep[3];
    FloatsOf<QuadLanes> atCorner, stepX, stepY;
};

inline NarrowRows loadNarrowRows(const NarrowSetup& s) {
    using L = QuadLanes;
    NarrowRows rows;
    for (int e = 0; e < 3; ++e) {
        rows.edgeAtQuad[e] = L::load(s.edgeAtQuad[e].lane);
        rows.edgeRowStep[e] = L::load(s.edgeRowStep[e].lane);
    }
    rows.atCorner = L::load(s.atCorner.lane);
    rows.stepX = L::load(s.stepX.lane);
    rows.stepY = L::load(s.stepY.lane);
    return rows;
}

inline void storeNarrowRows(const NarrowRows& rows, NarrowSetup& s) {
    using L = QuadLanes;
    for (int e = 0; e < 3; ++e) {
        L::store(s.edgeAtQuad[e].lane, rows.edgeAtQuad[e]);
        L::store(s.edgeRowStep[e].lane, rows.edgeRowStep[e]);
    }
    L::store(s.atCorner.lane, rows.atCorner);
    L::store(s.stepX.lane, rows.stepX);
    L::store(s.stepY.lane, rows.stepY);
}

// A narrow triangle: columns left … left + 3 of its rows, the attributes
// stepped down from its top row whichever rows the tile holds. Drawn into the
// whole target at once, every quad lies within the buffers (the set-up made
// sure), and lanes past the row's end are masked, read and written back.
template <TextureKind kTexture, FogKind kFog, BlendKind kBlend, bool kDepthTest, bool kWholeTarget>
[[gnu::always_inline]] inline void fillNarrow(const TriangleSetup& setup, const NarrowRows& s,
                                              const RasterTarget& target, const Tile& tile,
                                              const PreparedPipeline& p) {
    using L = QuadLanes;
    const std::int32_t left = setup.left;
    // The lanes of the quad inside the tile: all four unless it crosses an edge.
    const std::int32_t firstLane = kWholeTarget ? 0 : std::max(tile.left - left, 0);
    const std::int32_t endLane = kWholeTarget ? 4 : std::min(tile.right - left, 4);
    if (firstLane >= endLane) return;
    const bool wholeQuad = firstLane == 0 && endLane == 4;
    IntsOf<L> value[3] = {s.edgeAtQuad[0], s.edgeAtQuad[1], s.edgeAtQuad[2]};
    const MaskOf<L> inColumns =
        L::laneIndex() < L::splat(static_cast<float>(setup.right - left + 1));
    const IntsOf<L> minusOne = L::splat(-1);
    SpanStart<L> span;
    broadcastLanes(s.stepX, span.dx);
    FloatsOf<L> acrossQuad[kAttributeCount];
    for (int a = 0; a < kAttributeCount; ++a)
        acrossQuad[a] = span.dx[a] * L::laneIndex();
    FloatsOf<L> atRow = s.atCorner;
    const std::int32_t last = kWholeTarget ? setup.bottom : std::min(setup.bottom, tile.bottom - 1);
    for (std::int32_t row = setup.top; row <= last; ++row) {
        const MaskOf<L> inside =
            ((value[0] > minusOne) & (value[1] > minusOne)) & ((value[2] > minusOne) & inColumns);
        if ((kWholeTarget || row >= tile.top) && any(inside)) {
            broadcastLanes(atRow, span.value);
            const std::ptrdiff_t start =
                static_cast<std::ptrdiff_t>(row) * target.pitch + static_cast<std::ptrdiff_t>(left);
            std::uint32_t* const pixels = target.pixels + start;
            float* const depth = kDepthTest ? target.depth + start : nullptr;
            if (wholeQuad) {
                // The steps across the quad are the same on every row: the products
                // are taken once, and each rounds as it would per row.
                shadeLanes<L, kTexture, kFog, kBlend, kDepthTest>(
                    pixels, depth, inside, AcrossQuad{span.value, acrossQuad}, p);
            } else {
                L::outOfLine([ =, &p ]() __attribute__((always_inline)) {
                    shadePartOfLanes<L, kTexture, kFog, kBlend, kDepthTest>(
                        pixels, depth, L::laneIndex(), inside & lanesBetween<L>(firstLane, endLane),
                        firstLane, endLane, span, p);
                });
            }
        }
        for (int e = 0; e < 3; ++e)
            value[e] = value[e] + s.edgeRowStep[e];
        atRow = atRow + s.stepY;
    }
}

// Columns past its first a triangle must span for the widest spans.
constexpr std::int32_t kWidestSpanMinColumns = 8;

// Spans wider than a quad, cut to the tile whether or not it is the whole
// target: one routine per pixel state, out of line.
template <typename L, TextureKind kTexture, FogKind kFog, BlendKind kBlend, bool kDepthTest>
[[gnu::always_inline]] inline void fillWidestRows(const TriangleSetup& setup,
                                                  const RasterTarget& target, const Tile& tile,
                                                  const PreparedPipeline& p) {
    L::outOfLine([&]() __attribute__((always_inline)) {
        fillRows<L, kTexture, kFog, kBlend, kDepthTest, false>(setup, target, tile, p);
    });
}

// A wide triangle in spans of L's width, or of quads when it is no wider than
// two of them: wider spans would not pay for their set-up, a call out of line.
template <typename L, TextureKind kTexture, FogKind kFog, BlendKind kBlend, bool kDepthTest,
          bool kWholeTarget>
[[gnu::always_inline]] inline void fillWide(const TriangleSetup& setup, const RasterTarget& target,
                                            const Tile& tile, const PreparedPipeline& p) {
    if constexpr (L::kWidth > QuadLanes::kWidth) {
        if (setup.right - setup.left >= kWidestSpanMinColumns) {
            fillWidestRows<L, kTexture, kFog, kBlend, kDepthTest>(setup, target, tile, p);
            return;
        }
    }
    fillRows<QuadLanes, kTexture, kFog, kBlend, kDepthTest, kWholeTarget>(setup, target, tile, p);
}

// Narrow triangles take one quad a row whatever the span width.
template <typename L, TextureKind kTexture, FogKind kFog, BlendKind kBlend, bool kDepthTest>
void fillTriangle(const TriangleSetup& setup, const RasterTarget& target, const Tile& tile,
                  const PreparedPipeline& p) {
    if (setup.narrow) {
        fillNarrow<kTexture, kFog, kBlend, kDepthTest, false>(
            setup, loadNarrowRows(setup.narrowRows), target, tile, p);
    } else {
        fillWide<L, kTexture, kFog, kBlend, kDepthTest, false>(setup, target, tile, p);
    }
}

// An edge function in whole pixels: inside where a·column + b·row + c >= 0,
// with the top-left rule folded into c.
struct EdgeFunction {
    std::int64_t a, b, c;
};

inline EdgeFunction edgeFunction(std::int64_t xi, std::int64_t yi, std::int64_t xj,
                                 std::int64_t yj) {
    const std::int64_t a = -(yj - yi) * kSubPixelScale;
    const std::int64_t b = (xj - xi) * kSubPixelScale;
    const std::int64_t c = (yj - yi) * xi - (xj - xi) * yi;
    // Top-left rule: pixel centres exactly on any other edge are outside.
    const bool topLeft = a > 0 || (a == 0 && b > 0);
    return {a, b, topLeft ? c : c - 1};
}

// Triangles this narrow and short are drawn one quad per row, by testing the
// three edge functions at each of its pixels; within these bounds every edge
// function value fits 32 bits.
constexpr std::int64_t kNarrowColumns = 4;
constexpr std::int64_t kNarrowRows = 16;

// The span bound of an edge function; a horizontal edge bounds rows instead.
inline EdgeBound edgeBound(const EdgeFunction& edge) {
    if (edge.a == 0) return kUnbounded;
    const std::int64_t d = edge.a > 0 ? edge.a : -edge.a;
    return {edge.b, edge.c, d, 1.0 / static_cast<double>(d)};
}

struct Corner {
    std::int64_t x, y;  // in 1/256 pixel
};

template <typename NarrowTaker>
[[gnu::always_inline]] inline bool setUp(const ScreenTriangle& triangle, const RasterTarget& target,
                                         CullWinding cull, TriangleSetup& setup,
                                         NarrowTaker&& narrow) {
    using L = QuadLanes;
    using Floats = FloatsOf<L>;
    const Floats x = L::load(triangle.x.lane);
    const Floats y = L::load(triangle.y.lane);
    const Floats z = L::load(triangle.z.lane);
    const Floats q = L::load(triangle.q.lane);
    // x − x is NaN exactly for infinities and NaN; the fourth lane is no corner.
    const Floats zeroIfFinite = ((x - x) + (y - y)) + ((z - z) + (q - q));
    if ((laneBits(isNan(zeroIfFinite)) & 7) != 0) return false;
    const IntsOf<L> snappedX = snap(x);
    const IntsOf<L> snappedY = snap(y);
    // Kept in scalars: swapping corners through memory would stall the loads after.
    std::int64_t x0 = lane<0>(snappedX), x1 = lane<1>(snappedX), x2 = lane<2>(snappedX);
    std::int64_t y0 = lane<0>(snappedY), y1 = lane<1>(snappedY), y2 = lane<2>(snappedY);
    // Per corner its attributes: depth, 1/w, u/w, v/w.
    Floats attributes[4] = {z, q, L::load(triangle.uq.lane), L::load(triangle.vq.lane)};
    transpose(attributes);

    std::int64_t area = (x1 - x0) * (y2 - y0) - (x2 - x0) * (y1 - y0);
    if (area == 0) return false;
    // With y pointing down, a positive area runs clockwise on the screen.
    if (cull == (area > 0 ? CullWinding::clockwise : CullWinding::counterClockwise)) return false;
    if (area < 0) {
        std::swap(x1, x2);
        std::swap(y1, y2);
        std::swap(attributes[1], attributes[2]);
        area = -area;
    }
    // The pixel rows and columns the triangle may cover.
    const std::int64_t minX = std::min({x0, x1, x2});
    const std::int64_t maxX = std::max({x0, x1, x2});
    const std::int64_t minY = std::min({y0, y1, y2});
    const std::int64_t maxY = std::max({y0, y1, y2});
    const std::int64_t left = std::max<std::int64_t>(ceilToPixel(minX), target.left);
    const std::int64_t right =
        std::min<std::int64_t>(maxX >> kSubPixelBits, static_cast<std::int64_t>(target.right) - 1);
    std::int64_t top = std::max<std::int64_t>(ceilToPixel(minY), target.top);
    std::int64_t last =
        std::min<std::int64_t>(maxY >> kSubPixelBits, static_cast<std::int64_t>(target.bottom) - 1);
    if (left > right || top > last) return false;
    setup.left = static_cast<std::int32_t>(left);
    setup.right = static_cast<std::int32_t>(right);
    setup.top = static_cast<std::int32_t>(top);

    const EdgeFunction edges[3] = {edgeFunction(x0, y0, x1, y1), edgeFunction(x1, y1, x2, y2),
                                   edgeFunction(x2, y2, x0, y0)};
    const std::ptrdiff_t bufferSize = static_cast<std::ptrdiff_t>(target.rows) * target.pitch;
    if (maxX - minX < kNarrowColumns * kSubPixelScale &&
        maxY - minY < kNarrowRows * kSubPixelScale &&
        last * target.pitch + left + 4 <= bufferSize) {
        // Over so few pixels single precision is ample: all four attributes at once.
        constexpr float kUnit = 1.0f / static_cast<float>(kSubPixelScale);
        const auto scalar = [](std::int64_t snapped) {
            return L::splat(static_cast<float>(snapped) * kUnit);
        };
        const Floats dx1 = scalar(x1 - x0), dy1 = scalar(y1 - y0);
        const Floats dx2 = scalar(x2 - x0), dy2 = scalar(y2 - y0);
        const Floats inverseArea = L::splat(1.0f / (static_cast<float>(area) * kUnit * kUnit));
        const Floats a0 = attributes[0];
        const Floats d1 = attributes[1] - a0;
        const Floats d2 = attributes[2] - a0;
        const Floats stepX = (d1 * dy2 - d2 * dy1) * inverseArea;
        const Floats stepY = (d2 * dx1 - d1 * dx2) * inverseArea;
        const Floats atCorner = a0 + stepX * scalar(left * kSubPixelScale - x0) +
                                stepY * scalar(top * kSubPixelScale - y0);
        setup.bottom = static_cast<std::int32_t>(last);
        setup.narrow = true;
        NarrowRows s;
        for (int e = 0; e < 3; ++e) {
            const auto atLeft =
                static_cast<std::int32_t>(edges[e].a * left + edges[e].b * top + edges[e].c);
            const auto a = static_cast<std::int32_t>(edges[e].a);
            s.edgeAtQuad[e] = L::set(atLeft, atLeft + a, atLeft + 2 * a, atLeft + 3 * a);
            s.edgeRowStep[e] = L::splat(static_cast<std::int32_t>(edges[e].b));
        }
        s.atCorner = atCorner;
        s.stepX = stepX;
        s.stepY = stepY;
        narrow(s);
        return true;
    }

    constexpr double kUnit = 1.0 / static_cast<double>(kSubPixelScale);
    const double dx1 = static_cast<double>(x1 - x0) * kUnit;
    const double dy1 = static_cast<double>(y1 - y0) * kUnit;
    const double dx2 = static_cast<double>(x2 - x0) * kUnit;
    const double dy2 = static_cast<double>(y2 - y0) * kUnit;
    const double inverseArea = 1.0 / (static_cast<double>(area) * kUnit * kUnit);
    setup.narrow = false;
    WideSetup& s = setup.wideRows;
    s.originX = static_cast<double>(x0) * kUnit;
    s.originY = static_cast<double>(y0) * kUnit;
    alignas(16) float corners[3][kAttributeCount];
    for (int c = 0; c < 3; ++c)
        L::store(corners[c], attributes[c]);
    for (int a = 0; a < kAttributeCount; ++a) {
        const double a0 = corners[0][a];
        const double d1 = corners[1][a] - a0;
        const double d2 = corners[2][a] - a0;
        s.value[a] = a0;
        s.dx[a] = (d1 * dy2 - d2 * dy1) * inverseArea;
        s.dy[a] = (d2 * dx1 - d1 * dx2) * inverseArea;
    }

    // Walking clockwise from the top corner: the long edge comes last when the
    // third corner is the lowest (then it runs up the left side), first otherwise.
    // The corners and edges are chosen in registers: picked from memory, a bound
    // made field by field would be read back whole before its stores could pass
    // it on, a stall of every wide triangle's set-up.
    const int topIndex = y1 < y0 ? (y2 < y1 ? 2 : 1) : (y2 < y0 ? 2 : 0);
    const auto corner = [&](int index) {
        return Corner{index == 0 ? x0 : (index == 1 ? x1 : x2),
                      index == 0 ? y0 : (index == 1 ? y1 : y2)};
    };
    const Corner first = corner(topIndex);
    const Corner a = corner((topIndex + 1) % 3);
    const Corner b = corner((topIndex + 2) % 3);
    s.longEdgeIsLeft = b.y >= a.y;
    const Corner middle = s.longEdgeIsLeft ? a : b;
    const auto bound = [](const Corner& from, const Corner& to) {
        return edgeBound(edgeFunction(from.x, from.y, to.x, to.y));
    };
    s.longEdge = s.longEdgeIsLeft ? bound(b, first) : bound(first, a);
    s.upperEdge = s.longEdgeIsLeft ? bound(first, a) : bound(b, first);
    s.lowerEdge = bound(a, b);

    // A horizontal bottom edge keeps only the rows strictly above it; a top
    // edge keeps its own row, as the ceiling above already does.
    if (middle.y == maxY) last = std::min(last, ceilToPixel(maxY) - 1);
    if (top > last) return false;
    setup.bottom = static_cast<std::int32_t>(last);
    s.lastUpperRow = static_cast<std::int32_t>(
        std::clamp<std::int64_t>(ceilToPixel(middle.y) - 1, top - 1, last));
    s.firstLowerRow = static_cast<std::int32_t>(
        std::clamp<std::int64_t>((middle.y >> kSubPixelBits) + 1, top, last + 1));
    return true;
}

// Set up and filled in one routine, for a triangle drawn at once: the setup
// stays in registers.
template <typename L, TextureKind kTexture, FogKind kFog, BlendKind kBlend, bool kDepthTest>
void drawTriangle(const ScreenTriangle& triangle, const RasterTarget& target,
                  const PreparedPipeline& p, CullWinding cull) {
    TriangleSetup setup;
    const Tile whole = wholeTarget(target);
    const auto fillNarrowNow = [&](const NarrowRows& narrow) {
        fillNarrow<kTexture, kFog, kBlend, kDepthTest, true>(setup, narrow, target, whole, p);
    };
    if (!setUp(triangle, target, cull, setup, fillNarrowNow) || setup.narrow) return;
    fillWide<L, kTexture, kFog, kBlend, kDepthTest, true>(setup, target, whole, p);
}

constexpr std::size_t kFogKinds = 3;
constexpr std::size_t kBlendKinds = 2;
constexpr std::size_t kDepthModes = 2;
constexpr std::size_t kVariants = 3 * kFogKinds * kBlendKinds * kDepthModes;

constexpr std::size_t variantIndex(TextureKind texture, FogKind fog, BlendKind blend, bool depth) {
    return ((static_cast<std::size_t>(texture) * kFogKinds + static_cast<std::size_t>(fog)) *
                kBlendKinds +
            static_cast<std::size_t>(blend)) *
               kDepthModes +
           (depth ? 1 : 0);
}

// The routines of one pixel state.
struct Variant {
    FillFunction fill;
    DrawFunction draw;
};

template <std::size_t kIndex, typename L>
constexpr Variant variant() {
    constexpr auto texture =
        static_cast<TextureKind>(kIndex / (kFogKinds * kBlendKinds * kDepthModes));
    constexpr auto fog = static_cast<FogKind>(kIndex / (kBlendKinds * kDepthModes) % kFogKinds);
    constexpr auto blend = static_cast<BlendKind>(kIndex / kDepthModes % kBlendKinds);
    constexpr bool depth = kIndex % kDepthModes != 0;
    static_assert(variantIndex(texture, fog, blend, depth) == kIndex);
    return {&fillTriangle<L, texture, fog, blend, depth>,
            &drawTriangle<L, texture, fog, blend, depth>};
}

template <typename L, std::size_t... kIndex>
constexpr std::array<Variant, sizeof...(kIndex)> makeVariantTable(std::index_sequence<kIndex...>) {
    return {variant<kIndex, L>()...};
}

constexpr auto kQuadVariantTable =
    makeVariantTable<QuadLanes>(std::make_index_sequence<kVariants>{});
constexpr auto kWidestVariantTable =
    makeVariantTable<WidestLanes>(std::make_index_sequence<kVariants>{});

bool isPowerOfTwo(std::int32_t n) {
    return n > 0 && (n & (n - 1)) == 0;
}

float channelOf(std::uint32_t colour, int shift) {
    return static_cast<float>((colour >> shift) & 0xFF);
}

}  // namespace

bool setUpTriangle(const ScreenTriangle& triangle, const RasterTarget& target, CullWinding cull,
                   TriangleSetup& setup) {
    return setUp(triangle, target, cull, setup,
                 [&](const NarrowRows& narrow) { storeNarrowRows(narrow, setup.narrowRows); });
}

bool eightPixelSpansAvailable() {
    return WidestLanes::kWidth == 8 && WidestLanes::available();
}

PreparedPipeline preparePipeline(const PixelState& state, const TextureView* texture,
                                 bool eightPixelSpans) {
    const auto lanes = [](float value) { return FloatLanes{{value, value, value, value}}; };
    const auto intLanes = [](std::int32_t value) { return IntLanes{{value, value, value, value}}; };
    PreparedPipeline p;
    TextureKind textureKind = TextureKind::none;
    if (texture != nullptr) {
        textureKind = isPowerOfTwo(texture->width) && isPowerOfTwo(texture->height)
                          ? TextureKind::powerOfTwo
                          : TextureKind::anySize;
        p.texels = texture->texels;
        const std::uint32_t masks[3] = {texture->redMask, texture->greenMask, texture->blueMask};
        for (int c = 0; c < 3; ++c) {
            p.masks[c] = intLanes(static_cast<std::int32_t>(masks[c]));
            p.scales[c] = lanes(
                masks[c] == 0 ? 0.0f : state.colour[c] * 255.0f / static_cast<float>(masks[c]));
        }
        const float width = static_cast<float>(texture->width);
        const float height = static_cast<float>(texture->height);
        p.width = lanes(width);
        p.height = lanes(height);
        p.inverseWidth = lanes(1.0f / width);
        p.inverseHeight = lanes(1.0f / height);
        p.lastColumn = lanes(width - 1.0f);
        p.lastRow = lanes(height - 1.0f);
        p.columnMask = intLanes(texture->width - 1);
        p.rowMask = intLanes(texture->height - 1);
        p.rowShift = std::countr_zero(static_cast<std::uint32_t>(texture->width));
    } else {
        for (int c = 0; c < 3; ++c)
            p.scales[c] = lanes(state.colour[c] * 255.0f);
    }
    p.fogStart = lanes(state.fogStart);
    p.fogEnd = lanes(state.fogEnd);
    p.fogScale =
        lanes(state.fog == FogKind::linear ? 1.0f / (state.fogEnd - state.fogStart) : 0.0f);
    p.fogColour[0] = lanes(channelOf(state.fogColour, 16));
    p.fogColour[1] = lanes(channelOf(state.fogColour, 8));
    p.fogColour[2] = lanes(channelOf(state.fogColour, 0));
    const Variant& chosen =
        (eightPixelSpans ? kWidestVariantTable : kQuadVariantTable)[variantIndex(
            textureKind, state.fog, state.blend, state.depthTest)];
    p.fill = chosen.fill;
    p.draw = chosen.draw;
    return p;
}

}  // namespace glint::gfx
