#include "platform/gfx/rasterizer.h"

#if !defined(__SSE2__)
#error "the span loops are written for SSE2"
#endif

#include <emmintrin.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <type_traits>
#include <utility>

#include "platform/gfx/raster_precision.h"

namespace glint::gfx {

namespace {

enum class TextureKind : std::uint8_t { none, powerOfTwo, anySize };

// One inclusive span bound per row: floor((b·row + c) / d) with d > 0. A left
// edge bounds the span by the negated value, a right edge by the value itself.
struct EdgeBound {
    std::int64_t b, c, d;
    double inverseD;
};

// A horizontal edge bounds rows, not spans; in its place a bound that never binds.
constexpr EdgeBound kUnbounded{0, std::int64_t{1} << 60, 1, 1.0};

// The screen-linear attributes: depth, 1/w, u/w, v/w.
enum Attribute : int { kDepth, kInverseW, kUOverW, kVOverW, kAttributeCount };

// A triangle ready for its rows. Corners sorted by y: the long edge joins the
// top and bottom corners and bounds one side of every row; the upper and
// lower edges meet at the middle corner and bound the other side.
struct TriangleSetup {
    EdgeBound longEdge, upperEdge, lowerEdge;
    bool longEdgeIsLeft;
    std::int32_t top, bottom;                  // rows, inclusive
    std::int32_t lastUpperRow, firstLowerRow;  // rows strictly above / below the middle corner
    double originX, originY;
    double value[kAttributeCount], dx[kAttributeCount], dy[kAttributeCount];
};

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

inline std::int64_t snap(float coordinate) {
    const float limited = std::clamp(coordinate, -kMaxScreenCoordinate, kMaxScreenCoordinate);
    return _mm_cvtss_si32(_mm_set_ss(limited * static_cast<float>(kSubPixelScale)));
}

// Attribute values along one span: at its first pixel, and their steps.
struct SpanStart {
    __m128 value[kAttributeCount];
    __m128 dx[kAttributeCount];
};

inline __m128 load(const FloatLanes& lanes) {
    return _mm_load_ps(lanes.lane);
}
inline __m128i load(const IntLanes& lanes) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(lanes.lane));
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

inline __m128 channel(__m128i texels, const IntLanes& mask, const FloatLanes& scale) {
    return _mm_mul_ps(_mm_cvtepi32_ps(_mm_and_si128(texels, load(mask))), load(scale));
}

inline __m128 unpackChannel(__m128i pixels, int shift) {
    const __m128i bits = _mm_and_si128(_mm_srli_epi32(pixels, shift), _mm_set1_epi32(0xFF));
    return _mm_mul_ps(_mm_cvtepi32_ps(bits), _mm_set1_ps(1.0f / 255.0f));
}

inline __m128i packChannel(__m128 value, int shift) {
    const __m128 clamped = _mm_min_ps(_mm_max_ps(value, _mm_setzero_ps()), _mm_set1_ps(1.0f));
    const __m128 scaled = _mm_add_ps(_mm_mul_ps(clamped, _mm_set1_ps(255.0f)), _mm_set1_ps(0.5f));
    return _mm_slli_epi32(_mm_cvttps_epi32(scaled), shift);
}

inline __m128 attribute(const SpanStart& span, int which, __m128 offsets) {
    return _mm_add_ps(span.value[which], _mm_mul_ps(span.dx[which], offsets));
}

// Four neighbouring pixels of a span; `live` masks the lanes that belong to
// it. The other lanes are read and written back unchanged.
template <TextureKind kTexture, FogKind kFog, BlendKind kBlend, bool kDepthTest>
[[gnu::always_inline]] inline void shadeQuad(std::uint32_t* pixels, float* depth, __m128 offsets,
                                             __m128 live, const SpanStart& span,
                                             const PreparedPipeline& p) {
    __m128 pass = live;
    if constexpr (kDepthTest) {
        const __m128 z = attribute(span, kDepth, offsets);
        const __m128 stored = _mm_loadu_ps(depth);
        pass = _mm_and_ps(pass, _mm_cmple_ps(z, stored));
        if (_mm_movemask_ps(pass) == 0) return;
        _mm_storeu_ps(depth, _mm_or_ps(_mm_and_ps(pass, z), _mm_andnot_ps(pass, stored)));
    }

    __m128 w = _mm_setzero_ps();
    if constexpr (kTexture != TextureKind::none || kFog != FogKind::none) {
        w = _mm_div_ps(_mm_set1_ps(1.0f), attribute(span, kInverseW, offsets));
    }

    __m128 red, green, blue;
    if constexpr (kTexture != TextureKind::none) {
        const __m128 u = _mm_mul_ps(attribute(span, kUOverW, offsets), w);
        const __m128 v = _mm_mul_ps(attribute(span, kVOverW, offsets), w);
        alignas(16) std::int32_t index[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(index), texelIndices<kTexture>(u, v, p));
        const __m128i texels = _mm_setr_epi32(p.texels[index[0]], p.texels[index[1]],
                                              p.texels[index[2]], p.texels[index[3]]);
        red = channel(texels, p.masks[0], p.scales[0]);
        green = channel(texels, p.masks[1], p.scales[1]);
        blue = channel(texels, p.masks[2], p.scales[2]);
    } else {
        red = load(p.scales[0]);
        green = load(p.scales[1]);
        blue = load(p.scales[2]);
    }

    if constexpr (kFog != FogKind::none) {
        const __m128 one = _mm_set1_ps(1.0f);
        __m128 factor;
        if constexpr (kFog == FogKind::linear) {
            factor = _mm_mul_ps(_mm_sub_ps(load(p.fogEnd), w), load(p.fogScale));
            factor = _mm_min_ps(_mm_max_ps(factor, _mm_setzero_ps()), one);
        } else {
            factor = _mm_and_ps(_mm_cmple_ps(w, load(p.fogStart)), one);
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
    if constexpr (kBlend == BlendKind::sourceColour) {
        const __m128 one = _mm_set1_ps(1.0f);
        const auto blend = [one](__m128 source, __m128 destination) {
            return _mm_add_ps(_mm_mul_ps(source, source),
                              _mm_mul_ps(destination, _mm_sub_ps(one, source)));
        };
        red = blend(red, unpackChannel(old, 16));
        green = blend(green, unpackChannel(old, 8));
        blue = blend(blue, unpackChannel(old, 0));
    }

    const __m128i colour = _mm_or_si128(_mm_or_si128(packChannel(red, 16), packChannel(green, 8)),
                                        packChannel(blue, 0));
    const __m128i mask = _mm_castps_si128(pass);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels),
                     _mm_or_si128(_mm_and_si128(mask, colour), _mm_andnot_si128(mask, old)));
}

// Shades the last one to three pixels of a span that ends within three
// pixels of the buffers' end through a local copy.
template <TextureKind kTexture, FogKind kFog, BlendKind kBlend, bool kDepthTest>
[[gnu::noinline]] void shadeLastPixels(std::uint32_t* pixels, float* depth, std::int32_t count,
                                       __m128 offsets, const SpanStart& span,
                                       const PreparedPipeline& p) {
    alignas(16) std::uint32_t localPixels[4] = {};
    alignas(16) float localDepth[4] = {};
    for (std::int32_t i = 0; i < count; ++i) {
        localPixels[i] = pixels[i];
        if constexpr (kDepthTest) localDepth[i] = depth[i];
    }
    const __m128 live =
        _mm_cmplt_ps(_mm_setr_ps(0.0f, 1.0f, 2.0f, 3.0f), _mm_set1_ps(static_cast<float>(count)));
    shadeQuad<kTexture, kFog, kBlend, kDepthTest>(localPixels, localDepth, offsets, live, span, p);
    for (std::int32_t i = 0; i < count; ++i) {
        pixels[i] = localPixels[i];
        if constexpr (kDepthTest) depth[i] = localDepth[i];
    }
}

// `room` is the number of pixels from the span's start to the buffers' end.
template <TextureKind kTexture, FogKind kFog, BlendKind kBlend, bool kDepthTest>
[[gnu::always_inline]] inline void shadeSpan(std::uint32_t* pixels, float* depth,
                                             std::int32_t count, std::ptrdiff_t room,
                                             const SpanStart& span, const PreparedPipeline& p) {
    const __m128 four = _mm_set1_ps(4.0f);
    const __m128 laneIndex = _mm_setr_ps(0.0f, 1.0f, 2.0f, 3.0f);
    const __m128 allLanes = _mm_castsi128_ps(_mm_set1_epi32(-1));
    __m128 offsets = laneIndex;
    std::int32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        shadeQuad<kTexture, kFog, kBlend, kDepthTest>(pixels + i, kDepthTest ? depth + i : nullptr,
                                                      offsets, allLanes, span, p);
        offsets = _mm_add_ps(offsets, four);
    }
    const std::int32_t rest = count - i;
    if (rest == 0) return;
    if (i + 4 <= room) {
        const __m128 live = _mm_cmplt_ps(laneIndex, _mm_set1_ps(static_cast<float>(rest)));
        shadeQuad<kTexture, kFog, kBlend, kDepthTest>(pixels + i, kDepthTest ? depth + i : nullptr,
                                                      offsets, live, span, p);
    } else {
        shadeLastPixels<kTexture, kFog, kBlend, kDepthTest>(
            pixels + i, kDepthTest ? depth + i : nullptr, rest, offsets, span, p);
    }
}

// Calls `f` with each attribute the pipeline reads, as a compile-time index.
template <TextureKind kTexture, FogKind kFog, bool kDepthTest, typename F>
inline void forUsedAttributes(F&& f) {
    if constexpr (kDepthTest) f(std::integral_constant<int, kDepth>{});
    if constexpr (kTexture != TextureKind::none || kFog != FogKind::none) {
        f(std::integral_constant<int, kInverseW>{});
    }
    if constexpr (kTexture != TextureKind::none) {
        f(std::integral_constant<int, kUOverW>{});
        f(std::integral_constant<int, kVOverW>{});
    }
}

template <TextureKind kTexture, FogKind kFog, BlendKind kBlend, bool kDepthTest>
void fillRows(const TriangleSetup& s, const RasterTarget& target, const PreparedPipeline& p) {
    const std::ptrdiff_t bufferSize = static_cast<std::ptrdiff_t>(target.rows) * target.pitch;
    for (std::int32_t row = s.top; row <= s.bottom; ++row) {
        const std::int64_t longBound = rowBound(s.longEdge, row);
        // On the middle corner's own row both short edges may bind; the
        // tighter is the smaller raw bound on either side.
        std::int64_t shortBound;
        if (row <= s.lastUpperRow) {
            shortBound = rowBound(s.upperEdge, row);
        } else if (row >= s.firstLowerRow) {
            shortBound = rowBound(s.lowerEdge, row);
        } else {
            shortBound = std::min(rowBound(s.upperEdge, row), rowBound(s.lowerEdge, row));
        }
        const std::int64_t left = std::max(s.longEdgeIsLeft ? -longBound : -shortBound,
                                           static_cast<std::int64_t>(target.left));
        const std::int64_t right = std::min(s.longEdgeIsLeft ? shortBound : longBound,
                                            static_cast<std::int64_t>(target.right) - 1);
        if (left > right) continue;
        const std::int32_t first = static_cast<std::int32_t>(left);
        SpanStart span;
        const double offsetX = static_cast<double>(first) - s.originX;
        const double offsetY = static_cast<double>(row) - s.originY;
        forUsedAttributes<kTexture, kFog, kDepthTest>([&](auto a) {
            span.value[a] =
                _mm_set1_ps(static_cast<float>(s.value[a] + s.dx[a] * offsetX + s.dy[a] * offsetY));
            span.dx[a] = _mm_set1_ps(static_cast<float>(s.dx[a]));
        });
        const std::ptrdiff_t start =
            static_cast<std::ptrdiff_t>(row) * target.pitch + static_cast<std::ptrdiff_t>(first);
        shadeSpan<kTexture, kFog, kBlend, kDepthTest>(
            target.pixels + start, kDepthTest ? target.depth + start : nullptr,
            static_cast<std::int32_t>(right - left + 1), bufferSize - start, span, p);
    }
}

// The bound of the edge from corner i to corner j, whose inside lies where
// a·column + b·row + c >= 0 in whole pixels.
inline EdgeBound edgeBound(std::int64_t xi, std::int64_t yi, std::int64_t xj, std::int64_t yj) {
    const std::int64_t a = -(yj - yi) * kSubPixelScale;
    const std::int64_t b = (xj - xi) * kSubPixelScale;
    std::int64_t c = (yj - yi) * xi - (xj - xi) * yi;
    // Top-left rule: pixel centres exactly on any other edge are outside.
    const bool topLeft = a > 0 || (a == 0 && b > 0);
    if (!topLeft) c -= 1;
    if (a == 0) return kUnbounded;
    const std::int64_t d = a > 0 ? a : -a;
    return {b, c, d, 1.0 / static_cast<double>(d)};
}

template <TextureKind kTexture, FogKind kFog, BlendKind kBlend, bool kDepthTest>
void drawTriangle(const ScreenVertex (&corners)[3], const RasterTarget& target,
                  const PreparedPipeline& p, CullWinding cull) {
    for (const ScreenVertex& corner : corners) {
        if (!std::isfinite(corner.x) || !std::isfinite(corner.y) || !std::isfinite(corner.z) ||
            !std::isfinite(corner.q)) {
            return;
        }
    }
    const ScreenVertex* v[3] = {&corners[0], &corners[1], &corners[2]};
    std::int64_t x[3], y[3];
    for (int i = 0; i < 3; ++i) {
        x[i] = snap(v[i]->x);
        y[i] = snap(v[i]->y);
    }
    std::int64_t area = (x[1] - x[0]) * (y[2] - y[0]) - (x[2] - x[0]) * (y[1] - y[0]);
    if (area == 0) return;
    // With y pointing down, a positive area runs clockwise on the screen.
    if (cull == (area > 0 ? CullWinding::clockwise : CullWinding::counterClockwise)) return;
    if (area < 0) {
        std::swap(v[1], v[2]);
        std::swap(x[1], x[2]);
        std::swap(y[1], y[2]);
        area = -area;
    }

    // Corner indices by y; the edge between corners i and j is edge min
    // unless they are 0 and 2, which is edge 2 (from corner 2 to corner 0).
    int order[3] = {0, 1, 2};
    if (y[order[1]] < y[order[0]]) std::swap(order[0], order[1]);
    if (y[order[2]] < y[order[1]]) std::swap(order[1], order[2]);
    if (y[order[1]] < y[order[0]]) std::swap(order[0], order[1]);
    const auto edgeBetween = [&](int i, int j) {
        const int from = (j == (i + 1) % 3) ? i : j;
        const int to = (from + 1) % 3;
        return edgeBound(x[from], y[from], x[to], y[to]);
    };
    TriangleSetup s;
    s.longEdge = edgeBetween(order[0], order[2]);
    s.upperEdge = edgeBetween(order[0], order[1]);
    s.lowerEdge = edgeBetween(order[1], order[2]);
    // Corners run clockwise: the long edge bounds the left side when it is
    // walked upwards, from the bottom corner to the top one.
    s.longEdgeIsLeft = order[0] == (order[2] + 1) % 3;

    const std::int64_t topY = y[order[0]], middleY = y[order[1]], bottomY = y[order[2]];
    std::int64_t top = ceilToPixel(topY);
    std::int64_t bottom = bottomY >> kSubPixelBits;
    // A horizontal bottom edge keeps only the rows strictly above it; a top
    // edge keeps its own row, as the ceiling above already does.
    if (middleY == bottomY) bottom = std::min(bottom, ceilToPixel(bottomY) - 1);
    top = std::max<std::int64_t>(top, target.top);
    bottom = std::min<std::int64_t>(bottom, static_cast<std::int64_t>(target.bottom) - 1);
    if (top > bottom) return;
    s.top = static_cast<std::int32_t>(top);
    s.bottom = static_cast<std::int32_t>(bottom);
    s.lastUpperRow = static_cast<std::int32_t>(
        std::clamp<std::int64_t>(ceilToPixel(middleY) - 1, top - 1, bottom));
    s.firstLowerRow = static_cast<std::int32_t>(
        std::clamp<std::int64_t>((middleY >> kSubPixelBits) + 1, top, bottom + 1));

    constexpr double kUnit = 1.0 / static_cast<double>(kSubPixelScale);
    s.originX = static_cast<double>(x[0]) * kUnit;
    s.originY = static_cast<double>(y[0]) * kUnit;
    const double dx1 = static_cast<double>(x[1] - x[0]) * kUnit;
    const double dy1 = static_cast<double>(y[1] - y[0]) * kUnit;
    const double dx2 = static_cast<double>(x[2] - x[0]) * kUnit;
    const double dy2 = static_cast<double>(y[2] - y[0]) * kUnit;
    const double inverseArea = 1.0 / (static_cast<double>(area) * kUnit * kUnit);
    const float ScreenVertex::*const members[kAttributeCount] = {
        &ScreenVertex::z, &ScreenVertex::q, &ScreenVertex::uq, &ScreenVertex::vq};
    forUsedAttributes<kTexture, kFog, kDepthTest>([&](auto a) {
        const double a0 = v[0]->*members[a];
        const double d1 = v[1]->*members[a] - a0;
        const double d2 = v[2]->*members[a] - a0;
        s.value[a] = a0;
        s.dx[a] = (d1 * dy2 - d2 * dy1) * inverseArea;
        s.dy[a] = (d2 * dx1 - d1 * dx2) * inverseArea;
    });
    fillRows<kTexture, kFog, kBlend, kDepthTest>(s, target, p);
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

template <std::size_t kIndex>
constexpr DrawFunction drawVariant() {
    constexpr auto texture =
        static_cast<TextureKind>(kIndex / (kFogKinds * kBlendKinds * kDepthModes));
    constexpr auto fog = static_cast<FogKind>(kIndex / (kBlendKinds * kDepthModes) % kFogKinds);
    constexpr auto blend = static_cast<BlendKind>(kIndex / kDepthModes % kBlendKinds);
    constexpr bool depth = kIndex % kDepthModes != 0;
    static_assert(variantIndex(texture, fog, blend, depth) == kIndex);
    return &drawTriangle<texture, fog, blend, depth>;
}

template <std::size_t... kIndex>
constexpr std::array<DrawFunction, sizeof...(kIndex)> makeDrawTable(
    std::index_sequence<kIndex...>) {
    return {drawVariant<kIndex>()...};
}

constexpr auto kDrawTable = makeDrawTable(std::make_index_sequence<kVariants>{});

bool isPowerOfTwo(std::int32_t n) {
    return n > 0 && (n & (n - 1)) == 0;
}

float channelOf(std::uint32_t colour, int shift) {
    return static_cast<float>((colour >> shift) & 0xFF) / 255.0f;
}

}  // namespace

PreparedPipeline preparePipeline(const PixelState& state, const TextureView* texture) {
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
            p.scales[c] =
                lanes(masks[c] == 0 ? 0.0f : state.colour[c] / static_cast<float>(masks[c]));
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
            p.scales[c] = lanes(state.colour[c]);
    }
    p.fogStart = lanes(state.fogStart);
    p.fogEnd = lanes(state.fogEnd);
    p.fogScale =
        lanes(state.fog == FogKind::linear ? 1.0f / (state.fogEnd - state.fogStart) : 0.0f);
    p.fogColour[0] = lanes(channelOf(state.fogColour, 16));
    p.fogColour[1] = lanes(channelOf(state.fogColour, 8));
    p.fogColour[2] = lanes(channelOf(state.fogColour, 0));
    p.draw = kDrawTable[variantIndex(textureKind, state.fog, state.blend, state.depthTest)];
    return p;
}

}  // namespace glint::gfx
