#include "platform/gfx/rasterizer.h"

#if !defined(__SSE2__) || !defined(__x86_64__)
#error "the span loops are written for SSE2 on x86-64"
#endif

#include <immintrin.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <limits>
#include <utility>

#include "platform/gfx/raster_precision.h"

namespace glint::gfx {
namespace {

enum class TextureKind : std::uint8_t { none, powerOfTwo, anySize };

// A horizontal edge bounds rows, not spans; in its place a bound that never binds.
constexpr EdgeBound kUnbounded{0, std::int64_t{1} << 60, 1, 1.0};

// The screen-linear attributes: depth, 1/w, u/w, v/w; set up in pairs.
enum Attribute : int { kDepth, kInverseW, kUOverW, kVOverW, kAttributeCount };
constexpr int kAttributePairs = kAttributeCount / 2;

constexpr FloatLanes kOnes{{1.0f, 1.0f, 1.0f, 1.0f}};
constexpr FloatLanes kHalves{{0.5f, 0.5f, 0.5f, 0.5f}};
constexpr FloatLanes kFours{{4.0f, 4.0f, 4.0f, 4.0f}};
constexpr FloatLanes kLaneIndex{{0.0f, 1.0f, 2.0f, 3.0f}};
constexpr IntLanes kByteMask{{0xFF, 0xFF, 0xFF, 0xFF}};
// 255, 128 and 257 in every 16-bit lane.
constexpr IntLanes kBytes16{{0x00FF00FF, 0x00FF00FF, 0x00FF00FF, 0x00FF00FF}};
constexpr IntLanes kHalfBytes16{{0x00800080, 0x00800080, 0x00800080, 0x00800080}};
constexpr IntLanes k257s16{{0x01010101, 0x01010101, 0x01010101, 0x01010101}};

inline __m128 load(const FloatLanes& lanes) {
    return _mm_load_ps(lanes.lane);
}
inline __m128i load(const IntLanes& lanes) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(lanes.lane));
}

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
inline __m128i snap(__m128 coordinates) {
    const __m128 limited = _mm_min_ps(_mm_max_ps(coordinates, _mm_set1_ps(-kMaxScreenCoordinate)),
                                      _mm_set1_ps(kMaxScreenCoordinate));
    return _mm_cvtps_epi32(_mm_mul_ps(limited, _mm_set1_ps(static_cast<float>(kSubPixelScale))));
}

template <int kLane>
inline std::int64_t lane(__m128i v) {
    return _mm_cvtsi128_si32(_mm_shuffle_epi32(v, _MM_SHUFFLE(kLane, kLane, kLane, kLane)));
}

// Attribute values along one span: at its first pixel, and their steps.
struct SpanStart {
    __m128 value[kAttributeCount];
    __m128 dx[kAttributeCount];
};

// Each lane of `v` in all four lanes of its own vector.
inline void broadcastLanes(__m128 v, __m128 (&lanes)[kAttributeCount]) {
    lanes[0] = _mm_shuffle_ps(v, v, _MM_SHUFFLE(0, 0, 0, 0));
    lanes[1] = _mm_shuffle_ps(v, v, _MM_SHUFFLE(1, 1, 1, 1));
    lanes[2] = _mm_shuffle_ps(v, v, _MM_SHUFFLE(2, 2, 2, 2));
    lanes[3] = _mm_shuffle_ps(v, v, _MM_SHUFFLE(3, 3, 3, 3));
}

inline __m128 toFloats(const __m128d (&pairs)[kAttributePairs]) {
    return _mm_movelh_ps(_mm_cvtpd_ps(pairs[0]), _mm_cvtpd_ps(pairs[1]));
}

// Exact for |x| < 2^31; anything else (huge or NaN) gives some finite value.
inline __m128i floorToInt(__m128 x) {
    const __m128i truncated = _mm_cvttps_epi32(x);
    const __m128 above = _mm_cmpgt_ps(_mm_cvtepi32_ps(truncated), x);
    return _mm_add_epi32(truncated, _mm_castps_si128(above));
}

inline __m128 floorToFloat(__m128 x) {
    return _mm_cvtepi32_ps(floorToInt(x));
}

// floor(t) mod size for one texture axis of any size, in [0, size) whatever t.
inline __m128 wrapAnySize(__m128 t, __m128 size, __m128 inverseSize, __m128 last) {
    const __m128 zero = _mm_setzero_ps();
    const __m128 whole = floorToFloat(t);
    __m128 wrapped =
        _mm_sub_ps(whole, _mm_mul_ps(floorToFloat(_mm_mul_ps(whole, inverseSize)), size));
    wrapped = _mm_add_ps(wrapped, _mm_and_ps(_mm_cmplt_ps(wrapped, zero), size));
    wrapped = _mm_sub_ps(wrapped, _mm_and_ps(_mm_cmpge_ps(wrapped, size), size));
    // NaN falls to the second operand of max, so the result is always a texel.
    return _mm_min_ps(_mm_max_ps(wrapped, zero), last);
}

// The texel indices of four pixels at texture coordinates (u, v).
template <TextureKind kTexture>
inline __m128i texelIndices(__m128 u, __m128 v, const PreparedPipeline& p) {
    const __m128 width = load(p.width);
    const __m128 height = load(p.height);
    if constexpr (kTexture == TextureKind::powerOfTwo) {
        const __m128i column = _mm_and_si128(floorToInt(_mm_mul_ps(u, width)), load(p.columnMask));
        const __m128i row = _mm_and_si128(floorToInt(_mm_mul_ps(v, height)), load(p.rowMask));
        return _mm_or_si128(_mm_sll_epi32(row, _mm_cvtsi32_si128(p.rowShift)), column);
    } else {
        const __m128 column =
            wrapAnySize(_mm_mul_ps(u, width), width, load(p.inverseWidth), load(p.lastColumn));
        const __m128 row =
            wrapAnySize(_mm_mul_ps(v, height), height, load(p.inverseHeight), load(p.lastRow));
        return _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(row, width), column));
    }
}

// The four texels, each in the low half of its lane. Indices are never negative.
inline __m128i gather(const std::uint16_t* texels, __m128i index) {
    const auto low = static_cast<std::uint64_t>(_mm_cvtsi128_si64(index));
    const auto high =
        static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(index, index)));
    __m128i result = _mm_setzero_si128();
    result = _mm_insert_epi16(result, texels[static_cast<std::uint32_t>(low)], 0);
    result = _mm_insert_epi16(result, texels[low >> 32], 2);
    result = _mm_insert_epi16(result, texels[static_cast<std::uint32_t>(high)], 4);
    result = _mm_insert_epi16(result, texels[high >> 32], 6);
    return result;
}

// Colours travel as floats in 0 … 255 per channel.
inline __m128 channel(__m128i texels, const IntLanes& mask, const FloatLanes& scale) {
    return _mm_mul_ps(_mm_cvtepi32_ps(_mm_and_si128(texels, load(mask))), load(scale));
}

// Every colour reaching here lies in 0 … 255 (lit colours are clamped, the fog
// factor is, and fog mixes within the range), so no clamp is needed.
inline __m128i packChannel(__m128 value, int shift) {
    return _mm_slli_epi32(_mm_cvttps_epi32(_mm_add_ps(value, load(kHalves))), shift);
}

// Products of two bytes, in 16-bit lanes, divided by 255 and rounded to the
// nearest: ((p + 128) · 257) >> 16 is exact over that range.
inline __m128i divideBy255(__m128i products) {
    return _mm_mulhi_epu16(_mm_add_epi16(products, load(kHalfBytes16)), load(k257s16));
}

// s·s + d·(1 − s) on 8-bit values, as a blender works: each product rounded to the
// nearest, the sum kept within 255. Both colours are whole 0x00RRGGBB pixels; the
// channels go through in 16-bit lanes, two pixels at a time.
inline __m128i blendSourceColour(__m128i source, __m128i destination) {
    const auto blend = [](__m128i s, __m128i d) {
        const __m128i kept = _mm_sub_epi16(load(kBytes16), s);
        const __m128i sum = _mm_add_epi16(divideBy255(_mm_mullo_epi16(s, s)),
                                          divideBy255(_mm_mullo_epi16(d, kept)));
        return _mm_min_epi16(sum, load(kBytes16));
    };
    const __m128i zero = _mm_setzero_si128();
    return _mm_packus_epi16(
        blend(_mm_unpacklo_epi8(source, zero), _mm_unpacklo_epi8(destination, zero)),
        blend(_mm_unpackhi_epi8(source, zero), _mm_unpackhi_epi8(destination, zero)));
}

inline __m128 attribute(const SpanStart& span, int which, __m128 offsets) {
    return _mm_add_ps(span.value[which], _mm_mul_ps(span.dx[which], offsets));
}

// The attributes of the pixels `offsets` from a span's start.
inline auto attributesAt(const SpanStart& span, __m128 offsets) {
    return [&span, offsets](int which) { return attribute(span, which, offsets); };
}

// Four neighbouring pixels of a span; `live` masks the lanes that belong to
// it. The other lanes are read and written back unchanged. at(a) gives
// attribute a at the four pixels, asked only when needed.
template <TextureKind kTexture, FogKind kFog, BlendKind kBlend, bool kDepthTest,
          typename AttributeAt>
[[gnu::always_inline]] inline void shadeQuad(std::uint32_t* pixels, float* depth, __m128 live,
                                             const AttributeAt& at, const PreparedPipeline& p) {
    __m128 pass = live;
    if constexpr (kDepthTest) {
        const __m128 z = at(kDepth);
        const __m128 stored = _mm_loadu_ps(depth);
        pass = _mm_and_ps(pass, _mm_cmple_ps(z, stored));
        if (_mm_movemask_ps(pass) == 0) return;
        _mm_storeu_ps(depth, _mm_or_ps(_mm_and_ps(pass, z), _mm_andnot_ps(pass, stored)));
    }

    __m128 w = _mm_setzero_ps();
    if constexpr (kTexture != TextureKind::none || kFog != FogKind::none) {
        w = _mm_div_ps(load(kOnes), at(kInverseW));
    }

    __m128 red, green, blue;
    if constexpr (kTexture != TextureKind::none) {
        const __m128 u = _mm_mul_ps(at(kUOverW), w);
        const __m128 v = _mm_mul_ps(at(kVOverW), w);
        const __m128i texels = gather(p.texels, texelIndices<kTexture>(u, v, p));
        red = channel(texels, p.masks[0], p.scales[0]);
        green = channel(texels, p.masks[1], p.scales[1]);
        blue = channel(texels, p.masks[2], p.scales[2]);
    } else {
        red = load(p.scales[0]);
        green = load(p.scales[1]);
        blue = load(p.scales[2]);
    }

    if constexpr (kFog != FogKind::none) {
        __m128 factor;
        if constexpr (kFog == FogKind::linear) {
            factor = _mm_mul_ps(_mm_sub_ps(load(p.fogEnd), w), load(p.fogScale));
            factor = _mm_min_ps(_mm_max_ps(factor, _mm_setzero_ps()), load(kOnes));
        } else {
            factor = _mm_and_ps(_mm_cmple_ps(w, load(p.fogStart)), load(kOnes));
        }
        const auto fog = [factor](__m128 colour, const FloatLanes& fogColour) {
            const __m128 f = load(fogColour);
            return _mm_add_ps(f, _mm_mul_ps(factor, _mm_sub_ps(colour, f)));
        };
        red = fog(red, p.fogColour[0]);
        green = fog(green, p.fogColour[1]);
        blue = fog(blue, p.fogColour[2]);
    }

    const __m128i old = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels));
    __m128i colour = _mm_or_si128(_mm_or_si128(packChannel(red, 16), packChannel(green, 8)),
                                  packChannel(blue, 0));
    if constexpr (kBlend == BlendKind::sourceColour) colour = blendSourceColour(colour, old);
    const __m128i mask = _mm_castps_si128(pass);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels),
                     _mm_or_si128(_mm_and_si128(mask, colour), _mm_andnot_si128(mask, old)));
}

// The lanes of a quad from `first` up to but not including `end`.
inline __m128 lanesBetween(std::int32_t first, std::int32_t end) {
    const __m128 index = load(kLaneIndex);
    return _mm_and_ps(_mm_cmpge_ps(index, _mm_set1_ps(static_cast<float>(first))),
                      _mm_cmplt_ps(index, _mm_set1_ps(static_cast<float>(end))));
}

// A quad of which only lanes first … end − 1 may be touched: they go through a
// local copy, so that no lane reads or writes beyond them.
template <TextureKind kTexture, FogKind kFog, BlendKind kBlend, bool kDepthTest>
[[gnu::noinline]] void shadePartOfQuad(std::uint32_t* pixels, float* depth, __m128 offsets,
                                       __m128 live, std::int32_t first, std::int32_t end,
                                       const SpanStart& span, const PreparedPipeline& p) {
    alignas(16) std::uint32_t localPixels[4] = {};
    alignas(16) float localDepth[4] = {};
    for (std::int32_t i = first; i < end; ++i) {
        localPixels[i] = pixels[i];
        if constexpr (kDepthTest) localDepth[i] = depth[i];
    }
    shadeQuad<kTexture, kFog, kBlend, kDepthTest>(localPixels, localDepth,
                                                  _mm_and_ps(live, lanesBetween(first, end)),
                                                  attributesAt(span, offsets), p);
    for (std::int32_t i = first; i < end; ++i) {
        pixels[i] = localPixels[i];
        if constexpr (kDepthTest) depth[i] = localDepth[i];
    }
}

// `count` pixels of a span from `pixels` on, whose attributes start `skipped`
// pixels further left, with room for every quad: each is read and written in place.
template <TextureKind kTexture, FogKind kFog, BlendKind kBlend, bool kDepthTest>
[[gnu::always_inline]] inline void shadeSpan(std::uint32_t* pixels, float* depth,
                                             std::int32_t count, float skipped,
                                             const SpanStart& span, const PreparedPipeline& p) {
    const __m128 end = _mm_set1_ps(skipped + static_cast<float>(count));
    __m128 offsets = _mm_add_ps(load(kLaneIndex), _mm_set1_ps(skipped));
    std::int32_t i = 0;
    do {
        shadeQuad<kTexture, kFog, kBlend, kDepthTest>(pixels + i, kDepthTest ? depth + i : nullptr,
                                                      _mm_cmplt_ps(offsets, end),
                                                      attributesAt(span, offsets), p);
        offsets = _mm_add_ps(offsets, load(kFours));
        i += 4;
    } while (i < count);
}

// A span ending within three pixels of the edge of what may be touched: its
// last pixels go through a local copy.
template <TextureKind kTexture, FogKind kFog, BlendKind kBlend, bool kDepthTest>
[[gnu::noinline]] void shadeSpanAtEdge(std::uint32_t* pixels, float* depth, std::int32_t count,
                                       float skipped, const SpanStart& span,
                                       const PreparedPipeline& p) {
    const std::int32_t whole = count & ~3;
    if (whole > 0) {
        shadeSpan<kTexture, kFog, kBlend, kDepthTest>(pixels, depth, whole, skipped, span, p);
    }
    const std::int32_t rest = count - whole;
    if (rest == 0) return;
    const __m128 offsets =
        _mm_add_ps(load(kLaneIndex), _mm_set1_ps(skipped + static_cast<float>(whole)));
    shadePartOfQuad<kTexture, kFog, kBlend, kDepthTest>(
        pixels + whole, kDepthTest ? depth + whole : nullptr, offsets,
        _mm_castsi128_ps(_mm_set1_epi32(-1)), 0, rest, span, p);
}

// A wide triangle's attributes at its first corner and their steps, as pairs.
struct Gradients {
    __m128d value[kAttributePairs], dx[kAttributePairs], dy[kAttributePairs];

    explicit Gradients(const WideSetup& s) {
        for (int i = 0; i < kAttributePairs; ++i) {
            value[i] = _mm_load_pd(&s.value[2 * i]);
            dx[i] = _mm_load_pd(&s.dx[2 * i]);
            dy[i] = _mm_load_pd(&s.dy[2 * i]);
        }
    }
};

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
    __m128 atSpanStart;  // the attributes where the row's own span starts
};

// Each span starts where the triangle's own bounds put it, whatever the tile,
// so that its attributes are the same wherever the tile edges lie. Drawn into
// the whole target at once, a span needs no cutting, and its last quad may run
// on to the buffers' end: lanes past the span are read and written back.
template <bool kWholeTarget>
[[gnu::always_inline]] inline bool rowSpan(const WideSetup& s, const EdgeWalks& walks,
                                           const Gradients& g, const RasterTarget& target,
                                           const Tile& tile, std::int32_t row, RowSpan& span) {
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
    const __m128d offsetX = _mm_set1_pd(static_cast<double>(left) - s.originX);
    const __m128d offsetY = _mm_set1_pd(static_cast<double>(row) - s.originY);
    __m128d atLeft[kAttributePairs];
    for (int i = 0; i < kAttributePairs; ++i) {
        atLeft[i] = _mm_add_pd(_mm_add_pd(g.value[i], _mm_mul_pd(g.dx[i], offsetX)),
                               _mm_mul_pd(g.dy[i], offsetY));
    }
    span.start =
        static_cast<std::ptrdiff_t>(row) * target.pitch + static_cast<std::ptrdiff_t>(from);
    span.count = static_cast<std::int32_t>(to - from + 1);
    span.room =
        kWholeTarget
            ? static_cast<std::int32_t>(std::ptrdiff_t{target.rows} * target.pitch - span.start)
            : tile.right - static_cast<std::int32_t>(from);
    span.skipped = kWholeTarget ? 0.0f : static_cast<float>(from - left);
    span.atSpanStart = toFloats(atLeft);
    return true;
}

template <TextureKind kTexture, FogKind kFog, BlendKind kBlend, bool kDepthTest, bool kWholeTarget>
[[gnu::always_inline]] inline void fillRows(const TriangleSetup& setup, const RasterTarget& target,
                                            const Tile& tile, const PreparedPipeline& p) {
    const WideSetup& s = setup.wideRows;
    const Gradients g(s);
    SpanStart span;
    broadcastLanes(toFloats(g.dx), span.dx);
    const std::int32_t top = std::max(setup.top, tile.top);
    const std::int32_t bottom = std::min(setup.bottom, tile.bottom - 1);
    EdgeWalks walks(s, top);
    for (std::int32_t row = top; row <= bottom; ++row, walks.step()) {
        RowSpan r;
        if (!rowSpan<kWholeTarget>(s, walks, g, target, tile, row, r)) continue;
        broadcastLanes(r.atSpanStart, span.value);
        std::uint32_t* const pixels = target.pixels + r.start;
        float* const depth = kDepthTest ? target.depth + r.start : nullptr;
        if (((r.count + 3) & ~3) <= r.room) {
            shadeSpan<kTexture, kFog, kBlend, kDepthTest>(pixels, depth, r.count, r.skipped, span,
                                                          p);
        } else {
            shadeSpanAtEdge<kTexture, kFog, kBlend, kDepthTest>(pixels, depth, r.count, r.skipped,
                                                                span, p);
        }
    }
}

// The same pipeline eight pixels at a time, for processors with AVX2. Each
// step is the four-pixel step on twice the lanes, and no multiply is fused
// with an add, so every pixel rounds exactly as there.
#define GLINT_EIGHT_LANES gnu::target("avx2"), gnu::always_inline

alignas(32) constexpr float kLaneIndex8[8] = {0.0f, 1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f, 7.0f};

struct SpanStart8 {
    __m256 value[kAttributeCount];
    __m256 dx[kAttributeCount];
};

[[GLINT_EIGHT_LANES]] inline __m256 load8(const FloatLanes& lanes) {
    return _mm256_broadcast_ps(reinterpret_cast<const __m128*>(lanes.lane));
}
[[GLINT_EIGHT_LANES]] inline __m256i load8(const IntLanes& lanes) {
    return _mm256_broadcastsi128_si256(load(lanes));
}

// Each lane of `v` in all eight lanes of its own vector.
[[GLINT_EIGHT_LANES]] inline void broadcastLanes8(__m128 v, __m256 (&lanes)[kAttributeCount]) {
    alignas(16) float values[kAttributeCount];
    _mm_store_ps(values, v);
    for (int i = 0; i < kAttributeCount; ++i)
        lanes[i] = _mm256_set1_ps(values[i]);
}

[[GLINT_EIGHT_LANES]] inline __m256i floorToInt8(__m256 x) {
    const __m256i truncated = _mm256_cvttps_epi32(x);
    const __m256 above = _mm256_cmp_ps(_mm256_cvtepi32_ps(truncated), x, _CMP_GT_OS);
    return _mm256_add_epi32(truncated, _mm256_castps_si256(above));
}

[[GLINT_EIGHT_LANES]] inline __m256 floorToFloat8(__m256 x) {
    return _mm256_cvtepi32_ps(floorToInt8(x));
}

[[GLINT_EIGHT_LANES]] inline __m256 wrapAnySize8(__m256 t, __m256 size, __m256 inverseSize,
                                                 __m256 last) {
    const __m256 zero = _mm256_setzero_ps();
    const __m256 whole = floorToFloat8(t);
    __m256 wrapped =
        _mm256_sub_ps(whole, _mm256_mul_ps(floorToFloat8(_mm256_mul_ps(whole, inverseSize)), size));
    wrapped = _mm256_add_ps(wrapped, _mm256_and_ps(_mm256_cmp_ps(wrapped, zero, _CMP_LT_OS), size));
    wrapped = _mm256_sub_ps(wrapped, _mm256_and_ps(_mm256_cmp_ps(wrapped, size, _CMP_GE_OS), size));
    return _mm256_min_ps(_mm256_max_ps(wrapped, zero), last);
}

template <TextureKind kTexture>
[[GLINT_EIGHT_LANES]] inline __m256i texelIndices8(__m256 u, __m256 v, const PreparedPipeline& p) {
    const __m256 width = load8(p.width);
    const __m256 height = load8(p.height);
    if constexpr (kTexture == TextureKind::powerOfTwo) {
        const __m256i column =
            _mm256_and_si256(floorToInt8(_mm256_mul_ps(u, width)), load8(p.columnMask));
        const __m256i row =
            _mm256_and_si256(floorToInt8(_mm256_mul_ps(v, height)), load8(p.rowMask));
        return _mm256_or_si256(_mm256_sll_epi32(row, _mm_cvtsi32_si128(p.rowShift)), column);
    } else {
        const __m256 column = wrapAnySize8(_mm256_mul_ps(u, width), width, load8(p.inverseWidth),
                                           load8(p.lastColumn));
        const __m256 row = wrapAnySize8(_mm256_mul_ps(v, height), height, load8(p.inverseHeight),
                                        load8(p.lastRow));
        return _mm256_cvttps_epi32(_mm256_add_ps(_mm256_mul_ps(row, width), column));
    }
}

// Loaded one by one: a hardware gather of 32 bits would read past the last texel.
[[GLINT_EIGHT_LANES]] inline __m256i gather8(const std::uint16_t* texels, __m256i index) {
    return _mm256_set_m128i(gather(texels, _mm256_extracti128_si256(index, 1)),
                            gather(texels, _mm256_castsi256_si128(index)));
}

[[GLINT_EIGHT_LANES]] inline __m256 channel8(__m256i texels, const IntLanes& mask,
                                             const FloatLanes& scale) {
    return _mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_and_si256(texels, load8(mask))), load8(scale));
}

[[GLINT_EIGHT_LANES]] inline __m256i packChannel8(__m256 value, int shift) {
    return _mm256_slli_epi32(_mm256_cvttps_epi32(_mm256_add_ps(value, load8(kHalves))), shift);
}

[[GLINT_EIGHT_LANES]] inline __m256i divideBy255x8(__m256i products) {
    return _mm256_mulhi_epu16(_mm256_add_epi16(products, load8(kHalfBytes16)), load8(k257s16));
}

[[GLINT_EIGHT_LANES]] inline __m256i blendChannels8(__m256i s, __m256i d) {
    const __m256i kept = _mm256_sub_epi16(load8(kBytes16), s);
    const __m256i sum = _mm256_add_epi16(divideBy255x8(_mm256_mullo_epi16(s, s)),
                                         divideBy255x8(_mm256_mullo_epi16(d, kept)));
    return _mm256_min_epi16(sum, load8(kBytes16));
}

// Unpacking and packing work within each half, which keeps every pixel in place.
[[GLINT_EIGHT_LANES]] inline __m256i blendSourceColour8(__m256i source, __m256i destination) {
    const __m256i zero = _mm256_setzero_si256();
    return _mm256_packus_epi16(
        blendChannels8(_mm256_unpacklo_epi8(source, zero), _mm256_unpacklo_epi8(destination, zero)),
        blendChannels8(_mm256_unpackhi_epi8(source, zero),
                       _mm256_unpackhi_epi8(destination, zero)));
}

[[GLINT_EIGHT_LANES]] inline __m256 attribute8(const SpanStart8& span, int which, __m256 offsets) {
    return _mm256_add_ps(span.value[which], _mm256_mul_ps(span.dx[which], offsets));
}

[[GLINT_EIGHT_LANES]] inline __m256 fog8(__m256 colour, __m256 factor,
                                         const FloatLanes& fogColour) {
    const __m256 f = load8(fogColour);
    return _mm256_add_ps(f, _mm256_mul_ps(factor, _mm256_sub_ps(colour, f)));
}

template <TextureKind kTexture, FogKind kFog, BlendKind kBlend, bool kDepthTest>
[[GLINT_EIGHT_LANES]] inline void shadeOctet(std::uint32_t* pixels, float* depth, __m256 offsets,
                                             __m256 live, const SpanStart8& span,
                                             const PreparedPipeline& p) {
    __m256 pass = live;
    if constexpr (kDepthTest) {
        const __m256 z = attribute8(span, kDepth, offsets);
        const __m256 stored = _mm256_loadu_ps(depth);
        pass = _mm256_and_ps(pass, _mm256_cmp_ps(z, stored, _CMP_LE_OS));
        if (_mm256_movemask_ps(pass) == 0) return;
        _mm256_storeu_ps(depth,
                         _mm256_or_ps(_mm256_and_ps(pass, z), _mm256_andnot_ps(pass, stored)));
    }

    __m256 w = _mm256_setzero_ps();
    if constexpr (kTexture != TextureKind::none || kFog != FogKind::none) {
        w = _mm256_div_ps(load8(kOnes), attribute8(span, kInverseW, offsets));
    }

    __m256 red, green, blue;
    if constexpr (kTexture != TextureKind::none) {
        const __m256 u = _mm256_mul_ps(attribute8(span, kUOverW, offsets), w);
        const __m256 v = _mm256_mul_ps(attribute8(span, kVOverW, offsets), w);
        const __m256i texels = gather8(p.texels, texelIndices8<kTexture>(u, v, p));
        red = channel8(texels, p.masks[0], p.scales[0]);
        green = channel8(texels, p.masks[1], p.scales[1]);
        blue = channel8(texels, p.masks[2], p.scales[2]);
    } else {
        red = load8(p.scales[0]);
        green = load8(p.scales[1]);
        blue = load8(p.scales[2]);
    }

    if constexpr (kFog != FogKind::none) {
        __m256 factor;
        if constexpr (kFog == FogKind::linear) {
            factor = _mm256_mul_ps(_mm256_sub_ps(load8(p.fogEnd), w), load8(p.fogScale));
            factor = _mm256_min_ps(_mm256_max_ps(factor, _mm256_setzero_ps()), load8(kOnes));
        } else {
            factor = _mm256_and_ps(_mm256_cmp_ps(w, load8(p.fogStart), _CMP_LE_OS), load8(kOnes));
        }
        red = fog8(red, factor, p.fogColour[0]);
        green = fog8(green, factor, p.fogColour[1]);
        blue = fog8(blue, factor, p.fogColour[2]);
    }

    const __m256i old = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pixels));
    __m256i colour = _mm256_or_si256(_mm256_or_si256(packChannel8(red, 16), packChannel8(green, 8)),
                                     packChannel8(blue, 0));
    if constexpr (kBlend == BlendKind::sourceColour) colour = blendSourceColour8(colour, old);
    const __m256i mask = _mm256_castps_si256(pass);
    _mm256_storeu_si256(
        reinterpret_cast<__m256i*>(pixels),
        _mm256_or_si256(_mm256_and_si256(mask, colour), _mm256_andnot_si256(mask, old)));
}

template <TextureKind kTexture, FogKind kFog, BlendKind kBlend, bool kDepthTest>
[[GLINT_EIGHT_LANES]] inline void shadeSpan8(std::uint32_t* pixels, float* depth,
                                             std::int32_t count, float skipped,
                                             const SpanStart8& span, const PreparedPipeline& p) {
    const __m256 end = _mm256_set1_ps(skipped + static_cast<float>(count));
    __m256 offsets = _mm256_add_ps(_mm256_load_ps(kLaneIndex8), _mm256_set1_ps(skipped));
    std::int32_t i = 0;
    do {
        shadeOctet<kTexture, kFog, kBlend, kDepthTest>(
            pixels + i, kDepthTest ? depth + i : nullptr, offsets,
            _mm256_cmp_ps(offsets, end, _CMP_LT_OS), span, p);
        offsets = _mm256_add_ps(offsets, _mm256_set1_ps(8.0f));
        i += 8;
    } while (i < count);
}

template <TextureKind kTexture, FogKind kFog, BlendKind kBlend, bool kDepthTest>
[[gnu::target("avx2"), gnu::noinline]] void shadeSpan8AtEdge(std::uint32_t* pixels, float* depth,
                                                             std::int32_t count, float skipped,
                                                             const SpanStart8& span,
                                                             const PreparedPipeline& p) {
    const std::int32_t whole = count & ~7;
    if (whole > 0) {
        shadeSpan8<kTexture, kFog, kBlend, kDepthTest>(pixels, depth, whole, skipped, span, p);
    }
    const std::int32_t rest = count - whole;
    if (rest == 0) return;
    alignas(32) std::uint32_t localPixels[8] = {};
    alignas(32) float localDepth[8] = {};
    for (std::int32_t i = 0; i < rest; ++i) {
        localPixels[i] = pixels[whole + i];
        if constexpr (kDepthTest) localDepth[i] = depth[whole + i];
    }
    const __m256 index = _mm256_load_ps(kLaneIndex8);
    shadeOctet<kTexture, kFog, kBlend, kDepthTest>(
        localPixels, localDepth,
        _mm256_add_ps(index, _mm256_set1_ps(skipped + static_cast<float>(whole))),
        _mm256_cmp_ps(index, _mm256_set1_ps(static_cast<float>(rest)), _CMP_LT_OS), span, p);
    for (std::int32_t i = 0; i < rest; ++i) {
        pixels[whole + i] = localPixels[i];
        if constexpr (kDepthTest) depth[whole + i] = localDepth[i];
    }
}

template <TextureKind kTexture, FogKind kFog, BlendKind kBlend, bool kDepthTest>
[[gnu::target("avx2")]] void fillRows8(const TriangleSetup& setup, const RasterTarget& target,
                                       const Tile& tile, const PreparedPipeline& p) {
    const Gradients g(setup.wideRows);
    SpanStart8 span;
    broadcastLanes8(toFloats(g.dx), span.dx);
    SpanStart quadSpan;
    broadcastLanes(toFloats(g.dx), quadSpan.dx);
    const std::int32_t top = std::max(setup.top, tile.top);
    const std::int32_t bottom = std::min(setup.bottom, tile.bottom - 1);
    EdgeWalks walks(setup.wideRows, top);
    for (std::int32_t row = top; row <= bottom; ++row, walks.step()) {
        RowSpan r;
        if (!rowSpan<false>(setup.wideRows, walks, g, target, tile, row, r)) continue;
        std::uint32_t* const pixels = target.pixels + r.start;
        float* const depth = kDepthTest ? target.depth + r.start : nullptr;
        // A span of a quad or less would waste half of every step.
        if (r.count <= 4) {
            broadcastLanes(r.atSpanStart, quadSpan.value);
            if (r.room >= 4) {
                shadeSpan<kTexture, kFog, kBlend, kDepthTest>(pixels, depth, r.count, r.skipped,
                                                              quadSpan, p);
            } else {
                shadeSpanAtEdge<kTexture, kFog, kBlend, kDepthTest>(pixels, depth, r.count,
                                                                    r.skipped, quadSpan, p);
            }
            continue;
        }
        broadcastLanes8(r.atSpanStart, span.value);
        if (((r.count + 7) & ~7) <= r.room) {
            shadeSpan8<kTexture, kFog, kBlend, kDepthTest>(pixels, depth, r.count, r.skipped, span,
                                                           p);
        } else {
            shadeSpan8AtEdge<kTexture, kFog, kBlend, kDepthTest>(pixels, depth, r.count, r.skipped,
                                                                 span, p);
        }
    }
}

#undef GLINT_EIGHT_LANES

// A narrow triangle's set-up as the fill works on it, in registers.
struct NarrowRows {
    __m128i edgeAtQuad[3], edgeRowStep[3];
    __m128 atCorner, stepX, stepY;
};

inline NarrowRows loadNarrowRows(const NarrowSetup& s) {
    NarrowRows rows;
    for (int e = 0; e < 3; ++e) {
        rows.edgeAtQuad[e] = load(s.edgeAtQuad[e]);
        rows.edgeRowStep[e] = load(s.edgeRowStep[e]);
    }
    rows.atCorner = load(s.atCorner);
    rows.stepX = load(s.stepX);
    rows.stepY = load(s.stepY);
    return rows;
}

inline void storeNarrowRows(const NarrowRows& rows, NarrowSetup& s) {
    for (int e = 0; e < 3; ++e) {
        _mm_store_si128(reinterpret_cast<__m128i*>(s.edgeAtQuad[e].lane), rows.edgeAtQuad[e]);
        _mm_store_si128(reinterpret_cast<__m128i*>(s.edgeRowStep[e].lane), rows.edgeRowStep[e]);
    }
    _mm_store_ps(s.atCorner.lane, rows.atCorner);
    _mm_store_ps(s.stepX.lane, rows.stepX);
    _mm_store_ps(s.stepY.lane, rows.stepY);
}

// A narrow triangle: columns left … left + 3 of its rows, the attributes
// stepped down from its top row whichever rows the tile holds. Drawn into the
// whole target at once, every quad lies within the buffers (the set-up made
// sure), and lanes past the row's end are masked, read and written back.
template <TextureKind kTexture, FogKind kFog, BlendKind kBlend, bool kDepthTest, bool kWholeTarget>
[[gnu::always_inline]] inline void fillNarrow(const TriangleSetup& setup, const NarrowRows& s,
                                              const RasterTarget& target, const Tile& tile,
                                              const PreparedPipeline& p) {
    const std::int32_t left = setup.left;
    // The lanes of the quad inside the tile: all four unless it crosses an edge.
    const std::int32_t firstLane = kWholeTarget ? 0 : std::max(tile.left - left, 0);
    const std::int32_t endLane = kWholeTarget ? 4 : std::min(tile.right - left, 4);
    if (firstLane >= endLane) return;
    const bool wholeQuad = firstLane == 0 && endLane == 4;
    __m128i value[3] = {s.edgeAtQuad[0], s.edgeAtQuad[1], s.edgeAtQuad[2]};
    const __m128i inColumns =
        _mm_cmplt_epi32(_mm_setr_epi32(0, 1, 2, 3), _mm_set1_epi32(setup.right - left + 1));
    const __m128i minusOne = _mm_set1_epi32(-1);
    SpanStart span;
    broadcastLanes(s.stepX, span.dx);
    __m128 acrossQuad[kAttributeCount];
    for (int a = 0; a < kAttributeCount; ++a)
        acrossQuad[a] = _mm_mul_ps(span.dx[a], load(kLaneIndex));
    const __m128 stepY = s.stepY;
    __m128 atRow = s.atCorner;
    const std::int32_t last = kWholeTarget ? setup.bottom : std::min(setup.bottom, tile.bottom - 1);
    for (std::int32_t row = setup.top; row <= last; ++row) {
        const __m128i inside = _mm_and_si128(
            _mm_and_si128(_mm_cmpgt_epi32(value[0], minusOne), _mm_cmpgt_epi32(value[1], minusOne)),
            _mm_and_si128(_mm_cmpgt_epi32(value[2], minusOne), inColumns));
        if ((kWholeTarget || row >= tile.top) && _mm_movemask_epi8(inside) != 0) {
            broadcastLanes(atRow, span.value);
            const std::ptrdiff_t start =
                static_cast<std::ptrdiff_t>(row) * target.pitch + static_cast<std::ptrdiff_t>(left);
            std::uint32_t* const pixels = target.pixels + start;
            float* const depth = kDepthTest ? target.depth + start : nullptr;
            if (wholeQuad) {
                // The steps across the quad are the same on every row: the products
                // are taken once, and each rounds as it would per row.
                shadeQuad<kTexture, kFog, kBlend, kDepthTest>(
                    pixels, depth, _mm_castsi128_ps(inside),
                    [&](int which) { return _mm_add_ps(span.value[which], acrossQuad[which]); }, p);
            } else {
                shadePartOfQuad<kTexture, kFog, kBlend, kDepthTest>(pixels, depth, load(kLaneIndex),
                                                                    _mm_castsi128_ps(inside),
                                                                    firstLane, endLane, span, p);
            }
        }
        for (int e = 0; e < 3; ++e)
            value[e] = _mm_add_epi32(value[e], s.edgeRowStep[e]);
        atRow = _mm_add_ps(atRow, stepY);
    }
}

// Columns past its first a triangle must span for eight-pixel spans.
constexpr std::int32_t kEightLaneMinColumns = 8;

// Triangles no wider than two quads take quads, filled inline: eight-pixel
// spans would not pay for their set-up, a call out of line.
inline bool takesEightLanes(const TriangleSetup& setup) {
    return setup.right - setup.left >= kEightLaneMinColumns;
}

// Narrow triangles take one quad a row whatever the span width.
template <TextureKind kTexture, FogKind kFog, BlendKind kBlend, bool kDepthTest, bool kEightLanes>
void fillTriangle(const TriangleSetup& setup, const RasterTarget& target, const Tile& tile,
                  const PreparedPipeline& p) {
    if (setup.narrow) {
        fillNarrow<kTexture, kFog, kBlend, kDepthTest, false>(
            setup, loadNarrowRows(setup.narrowRows), target, tile, p);
    } else if (kEightLanes && takesEightLanes(setup)) {
        fillRows8<kTexture, kFog, kBlend, kDepthTest>(setup, target, tile, p);
    } else {
        fillRows<kTexture, kFog, kBlend, kDepthTest, false>(setup, target, tile, p);
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

// A narrow triangle's own part goes to `narrow`, which a triangle drawn at once
// fills from while it is still in registers; a wide one's is made in the set-up.
template <typename NarrowTaker>
[[gnu::always_inline]] inline bool setUp(const ScreenTriangle& triangle, const RasterTarget& target,
                                         CullWinding cull, TriangleSetup& setup,
                                         NarrowTaker&& narrow) {
    const __m128 x = load(triangle.x);
    const __m128 y = load(triangle.y);
    const __m128 z = load(triangle.z);
    const __m128 q = load(triangle.q);
    // x − x is NaN exactly for infinities and NaN.
    const __m128 zeroIfFinite = _mm_add_ps(_mm_add_ps(_mm_sub_ps(x, x), _mm_sub_ps(y, y)),
                                           _mm_add_ps(_mm_sub_ps(z, z), _mm_sub_ps(q, q)));
    if ((_mm_movemask_ps(_mm_cmpunord_ps(zeroIfFinite, zeroIfFinite)) & 7) != 0) return false;
    const __m128i snappedX = snap(x);
    const __m128i snappedY = snap(y);
    // Kept in scalars: swapping corners through memory would stall the loads after.
    std::int64_t x0 = lane<0>(snappedX), x1 = lane<1>(snappedX), x2 = lane<2>(snappedX);
    std::int64_t y0 = lane<0>(snappedY), y1 = lane<1>(snappedY), y2 = lane<2>(snappedY);
    // Per corner its attributes: depth, 1/w, u/w, v/w.
    const __m128 depthAndQLow = _mm_unpacklo_ps(z, q);
    const __m128 depthAndQHigh = _mm_unpackhi_ps(z, q);
    const __m128 uvLow = _mm_unpacklo_ps(load(triangle.uq), load(triangle.vq));
    const __m128 uvHigh = _mm_unpackhi_ps(load(triangle.uq), load(triangle.vq));
    __m128 attributes[3] = {_mm_movelh_ps(depthAndQLow, uvLow), _mm_movehl_ps(uvLow, depthAndQLow),
                            _mm_movelh_ps(depthAndQHigh, uvHigh)};

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
            return _mm_set1_ps(static_cast<float>(snapped) * kUnit);
        };
        const __m128 dx1 = scalar(x1 - x0), dy1 = scalar(y1 - y0);
        const __m128 dx2 = scalar(x2 - x0), dy2 = scalar(y2 - y0);
        const __m128 inverseArea = _mm_set1_ps(1.0f / (static_cast<float>(area) * kUnit * kUnit));
        const __m128 a0 = attributes[0];
        const __m128 d1 = _mm_sub_ps(attributes[1], a0);
        const __m128 d2 = _mm_sub_ps(attributes[2], a0);
        const __m128 stepX =
            _mm_mul_ps(_mm_sub_ps(_mm_mul_ps(d1, dy2), _mm_mul_ps(d2, dy1)), inverseArea);
        const __m128 stepY =
            _mm_mul_ps(_mm_sub_ps(_mm_mul_ps(d2, dx1), _mm_mul_ps(d1, dx2)), inverseArea);
        const __m128 atCorner =
            _mm_add_ps(_mm_add_ps(a0, _mm_mul_ps(stepX, scalar(left * kSubPixelScale - x0))),
                       _mm_mul_ps(stepY, scalar(top * kSubPixelScale - y0)));
        setup.bottom = static_cast<std::int32_t>(last);
        setup.narrow = true;
        NarrowRows s;
        for (int e = 0; e < 3; ++e) {
            const auto atLeft =
                static_cast<std::int32_t>(edges[e].a * left + edges[e].b * top + edges[e].c);
            const auto a = static_cast<std::int32_t>(edges[e].a);
            s.edgeAtQuad[e] = _mm_setr_epi32(atLeft, atLeft + a, atLeft + 2 * a, atLeft + 3 * a);
            s.edgeRowStep[e] = _mm_set1_epi32(static_cast<std::int32_t>(edges[e].b));
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
    const auto pairs = [](__m128 v) {
        return std::array{_mm_cvtps_pd(v), _mm_cvtps_pd(_mm_movehl_ps(v, v))};
    };
    const auto a0 = pairs(attributes[0]);
    const auto a1 = pairs(attributes[1]);
    const auto a2 = pairs(attributes[2]);
    for (int i = 0; i < kAttributePairs; ++i) {
        const __m128d d1 = _mm_sub_pd(a1[i], a0[i]);
        const __m128d d2 = _mm_sub_pd(a2[i], a0[i]);
        _mm_store_pd(&s.value[2 * i], a0[i]);
        _mm_store_pd(&s.dx[2 * i], _mm_mul_pd(_mm_sub_pd(_mm_mul_pd(d1, _mm_set1_pd(dy2)),
                                                         _mm_mul_pd(d2, _mm_set1_pd(dy1))),
                                              _mm_set1_pd(inverseArea)));
        _mm_store_pd(&s.dy[2 * i], _mm_mul_pd(_mm_sub_pd(_mm_mul_pd(d2, _mm_set1_pd(dx1)),
                                                         _mm_mul_pd(d1, _mm_set1_pd(dx2))),
                                              _mm_set1_pd(inverseArea)));
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
template <TextureKind kTexture, FogKind kFog, BlendKind kBlend, bool kDepthTest, bool kEightLanes>
void drawTriangle(const ScreenTriangle& triangle, const RasterTarget& target,
                  const PreparedPipeline& p, CullWinding cull) {
    TriangleSetup setup;
    const Tile whole = wholeTarget(target);
    const auto fillNarrowNow = [&](const NarrowRows& narrow) {
        fillNarrow<kTexture, kFog, kBlend, kDepthTest, true>(setup, narrow, target, whole, p);
    };
    if (!setUp(triangle, target, cull, setup, fillNarrowNow) || setup.narrow) return;
    if (kEightLanes && takesEightLanes(setup)) {
        fillRows8<kTexture, kFog, kBlend, kDepthTest>(setup, target, whole, p);
    } else {
        fillRows<kTexture, kFog, kBlend, kDepthTest, true>(setup, target, whole, p);
    }
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

template <std::size_t kIndex, bool kEightLanes>
constexpr Variant variant() {
    constexpr auto texture =
        static_cast<TextureKind>(kIndex / (kFogKinds * kBlendKinds * kDepthModes));
    constexpr auto fog = static_cast<FogKind>(kIndex / (kBlendKinds * kDepthModes) % kFogKinds);
    constexpr auto blend = static_cast<BlendKind>(kIndex / kDepthModes % kBlendKinds);
    constexpr bool depth = kIndex % kDepthModes != 0;
    static_assert(variantIndex(texture, fog, blend, depth) == kIndex);
    return {&fillTriangle<texture, fog, blend, depth, kEightLanes>,
            &drawTriangle<texture, fog, blend, depth, kEightLanes>};
}

template <bool kEightLanes, std::size_t... kIndex>
constexpr std::array<Variant, sizeof...(kIndex)> makeVariantTable(std::index_sequence<kIndex...>) {
    return {variant<kIndex, kEightLanes>()...};
}

constexpr auto kVariantTable = makeVariantTable<false>(std::make_index_sequence<kVariants>{});
constexpr auto kEightLaneVariantTable =
    makeVariantTable<true>(std::make_index_sequence<kVariants>{});

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
    return __builtin_cpu_supports("avx2");
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
        (eightPixelSpans
             ? kEightLaneVariantTable
             : kVariantTable)[variantIndex(textureKind, state.fog, state.blend, state.depthTest)];
    p.fill = chosen.fill;
    p.draw = chosen.draw;
    return p;
}

}  // namespace glint::gfx
