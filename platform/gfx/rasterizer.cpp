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
#include <utility>

#include "platform/gfx/raster_precision.h"

namespace glint::gfx {

// One inclusive span bound per row: floor((b·row + c) / d) with d > 0. A left
// edge bounds the span by the negated value, a right edge by the value itself.
struct EdgeBound {
    std::int64_t b = 0, c = 0, d = 1;
    double inverseD = 1.0;
};

// The screen-linear attributes: depth, 1/w, u/w, v/w.
enum Attribute : int { kDepth, kInverseW, kUOverW, kVOverW, kAttributeCount };

struct TriangleSetup {
    // Two of each, the second repeating the first when the triangle has only
    // one, so that every row does the same work.
    EdgeBound left[2], right[2];
    std::int32_t top = 0, bottom = 0;  // rows, inclusive
    double originX = 0.0, originY = 0.0;
    double value[kAttributeCount] = {}, dx[kAttributeCount] = {}, dy[kAttributeCount] = {};
};

namespace {

enum class TextureKind : std::uint8_t { none, powerOfTwo, anySize };

std::int64_t floorDiv(std::int64_t numerator, std::int64_t divisor) {
    std::int64_t quotient = numerator / divisor;
    if ((numerator % divisor != 0) && ((numerator < 0) != (divisor < 0))) --quotient;
    return quotient;
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

// Attribute values along one span, from its first pixel.
struct SpanStart {
    float value[kAttributeCount];
    float dx[kAttributeCount];
};

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
inline __m128 wrapAnySize(__m128 t, __m128 size, __m128 inverseSize, __m128 sizeMinusOne) {
    const __m128 zero = _mm_setzero_ps();
    const __m128 whole = floorToFloat(t);
    __m128 wrapped =
        _mm_sub_ps(whole, _mm_mul_ps(floorToFloat(_mm_mul_ps(whole, inverseSize)), size));
    wrapped = _mm_add_ps(wrapped, _mm_and_ps(_mm_cmplt_ps(wrapped, zero), size));
    wrapped = _mm_sub_ps(wrapped, _mm_and_ps(_mm_cmpge_ps(wrapped, size), size));
    // NaN falls to the second operand of max, so the result is always a texel.
    return _mm_min_ps(_mm_max_ps(wrapped, zero), sizeMinusOne);
}

// The texel indices of four pixels at texture coordinates (u, v).
template <TextureKind kTexture>
inline __m128i texelIndices(__m128 u, __m128 v, const PreparedPipeline& p) {
    const __m128 width = _mm_set1_ps(p.textureWidth);
    const __m128 height = _mm_set1_ps(p.textureHeight);
    if constexpr (kTexture == TextureKind::powerOfTwo) {
        const __m128i column =
            _mm_and_si128(floorToInt(_mm_mul_ps(u, width)), _mm_set1_epi32(p.widthMask));
        const __m128i row =
            _mm_and_si128(floorToInt(_mm_mul_ps(v, height)), _mm_set1_epi32(p.heightMask));
        return _mm_or_si128(_mm_sll_epi32(row, _mm_cvtsi32_si128(p.widthShift)), column);
    } else {
        const __m128 one = _mm_set1_ps(1.0f);
        const __m128 column = wrapAnySize(_mm_mul_ps(u, width), width, _mm_set1_ps(p.inverseWidth),
                                          _mm_sub_ps(width, one));
        const __m128 row = wrapAnySize(_mm_mul_ps(v, height), height, _mm_set1_ps(p.inverseHeight),
                                       _mm_sub_ps(height, one));
        return _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(row, width), column));
    }
}

inline __m128 channel(__m128i texels, std::uint32_t mask, float scale) {
    const __m128i bits = _mm_and_si128(texels, _mm_set1_epi32(static_cast<int>(mask)));
    return _mm_mul_ps(_mm_cvtepi32_ps(bits), _mm_set1_ps(scale));
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
    return _mm_add_ps(_mm_set1_ps(span.value[which]),
                      _mm_mul_ps(_mm_set1_ps(span.dx[which]), offsets));
}

// Four neighbouring pixels of a span; `live` masks the lanes that belong to it.
template <TextureKind kTexture, FogKind kFog, BlendKind kBlend, bool kDepthTest>
inline void shadeQuad(std::uint32_t* pixels, float* depth, __m128 offsets, __m128 live,
                      const SpanStart& span, const PreparedPipeline& p) {
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
        const __m128i texels = _mm_set_epi32(p.texels[index[3]], p.texels[index[2]],
                                             p.texels[index[1]], p.texels[index[0]]);
        red = channel(texels, p.masks[0], p.scales[0]);
        green = channel(texels, p.masks[1], p.scales[1]);
        blue = channel(texels, p.masks[2], p.scales[2]);
    } else {
        red = _mm_set1_ps(p.scales[0]);
        green = _mm_set1_ps(p.scales[1]);
        blue = _mm_set1_ps(p.scales[2]);
    }

    if constexpr (kFog != FogKind::none) {
        const __m128 one = _mm_set1_ps(1.0f);
        __m128 factor;
        if constexpr (kFog == FogKind::linear) {
            factor = _mm_mul_ps(_mm_sub_ps(_mm_set1_ps(p.fogEnd), w), _mm_set1_ps(p.fogScale));
            factor = _mm_min_ps(_mm_max_ps(factor, _mm_setzero_ps()), one);
        } else {
            factor = _mm_and_ps(_mm_cmple_ps(w, _mm_set1_ps(p.fogStart)), one);
        }
        const __m128 fogRed = _mm_set1_ps(p.fogColour[0]);
        const __m128 fogGreen = _mm_set1_ps(p.fogColour[1]);
        const __m128 fogBlue = _mm_set1_ps(p.fogColour[2]);
        red = _mm_add_ps(fogRed, _mm_mul_ps(factor, _mm_sub_ps(red, fogRed)));
        green = _mm_add_ps(fogGreen, _mm_mul_ps(factor, _mm_sub_ps(green, fogGreen)));
        blue = _mm_add_ps(fogBlue, _mm_mul_ps(factor, _mm_sub_ps(blue, fogBlue)));
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

template <TextureKind kTexture, FogKind kFog, BlendKind kBlend, bool kDepthTest>
inline void shadeSpan(std::uint32_t* pixels, float* depth, std::int32_t count,
                      const SpanStart& span, const PreparedPipeline& p) {
    const __m128 four = _mm_set1_ps(4.0f);
    const __m128 allLanes = _mm_castsi128_ps(_mm_set1_epi32(-1));
    __m128 offsets = _mm_setr_ps(0.0f, 1.0f, 2.0f, 3.0f);
    std::int32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        shadeQuad<kTexture, kFog, kBlend, kDepthTest>(pixels + i, kDepthTest ? depth + i : nullptr,
                                                      offsets, allLanes, span, p);
        offsets = _mm_add_ps(offsets, four);
    }
    const std::int32_t rest = count - i;
    if (rest == 0) return;
    // The last one to three pixels go through a local copy, so that no lane
    // reads or writes past the end of the row.
    alignas(16) std::uint32_t localPixels[4] = {};
    alignas(16) float localDepth[4] = {};
    std::copy_n(pixels + i, rest, localPixels);
    if constexpr (kDepthTest) std::copy_n(depth + i, rest, localDepth);
    const __m128 live =
        _mm_cmplt_ps(_mm_setr_ps(0.0f, 1.0f, 2.0f, 3.0f), _mm_set1_ps(static_cast<float>(rest)));
    shadeQuad<kTexture, kFog, kBlend, kDepthTest>(localPixels, localDepth, offsets, live, span, p);
    std::copy_n(localPixels, rest, pixels + i);
    if constexpr (kDepthTest) std::copy_n(localDepth, rest, depth + i);
}

template <TextureKind kTexture, FogKind kFog, BlendKind kBlend, bool kDepthTest>
void fillTriangle(const TriangleSetup& s, const RasterTarget& target, const PreparedPipeline& p) {
    for (std::int32_t row = s.top; row <= s.bottom; ++row) {
        const std::int64_t left = std::max({-rowBound(s.left[0], row), -rowBound(s.left[1], row),
                                            static_cast<std::int64_t>(target.left)});
        const std::int64_t right = std::min({rowBound(s.right[0], row), rowBound(s.right[1], row),
                                             static_cast<std::int64_t>(target.right) - 1});
        if (left > right) continue;
        const std::int32_t first = static_cast<std::int32_t>(left);
        SpanStart span;
        const double offsetX = static_cast<double>(first) - s.originX;
        const double offsetY = static_cast<double>(row) - s.originY;
        for (int a = 0; a < kAttributeCount; ++a) {
            span.value[a] = static_cast<float>(s.value[a] + s.dx[a] * offsetX + s.dy[a] * offsetY);
            span.dx[a] = static_cast<float>(s.dx[a]);
        }
        const std::ptrdiff_t start =
            static_cast<std::ptrdiff_t>(row) * target.pitch + static_cast<std::ptrdiff_t>(first);
        shadeSpan<kTexture, kFog, kBlend, kDepthTest>(
            target.pixels + start, kDepthTest ? target.depth + start : nullptr,
            static_cast<std::int32_t>(right - left + 1), span, p);
    }
}

constexpr std::size_t kFogKinds = 3;
constexpr std::size_t kBlendKinds = 2;
constexpr std::size_t kDepthModes = 2;
constexpr std::size_t kFillVariants = 3 * kFogKinds * kBlendKinds * kDepthModes;

constexpr std::size_t fillIndex(TextureKind texture, FogKind fog, BlendKind blend, bool depth) {
    return ((static_cast<std::size_t>(texture) * kFogKinds + static_cast<std::size_t>(fog)) *
                kBlendKinds +
            static_cast<std::size_t>(blend)) *
               kDepthModes +
           (depth ? 1 : 0);
}

template <std::size_t kIndex>
constexpr FillFunction fillVariant() {
    constexpr auto texture =
        static_cast<TextureKind>(kIndex / (kFogKinds * kBlendKinds * kDepthModes));
    constexpr auto fog = static_cast<FogKind>(kIndex / (kBlendKinds * kDepthModes) % kFogKinds);
    constexpr auto blend = static_cast<BlendKind>(kIndex / kDepthModes % kBlendKinds);
    constexpr bool depth = kIndex % kDepthModes != 0;
    static_assert(fillIndex(texture, fog, blend, depth) == kIndex);
    return &fillTriangle<texture, fog, blend, depth>;
}

template <std::size_t... kIndex>
constexpr std::array<FillFunction, sizeof...(kIndex)> makeFillTable(
    std::index_sequence<kIndex...>) {
    return {fillVariant<kIndex>()...};
}

constexpr auto kFillTable = makeFillTable(std::make_index_sequence<kFillVariants>{});

bool isPowerOfTwo(std::int32_t n) {
    return n > 0 && (n & (n - 1)) == 0;
}

float channelOf(std::uint32_t colour, int shift) {
    return static_cast<float>((colour >> shift) & 0xFF) / 255.0f;
}

}  // namespace

PreparedPipeline preparePipeline(const PixelState& state, const TextureView* texture) {
    PreparedPipeline p;
    TextureKind textureKind = TextureKind::none;
    if (texture != nullptr) {
        textureKind = isPowerOfTwo(texture->width) && isPowerOfTwo(texture->height)
                          ? TextureKind::powerOfTwo
                          : TextureKind::anySize;
        p.texels = texture->texels;
        const std::uint32_t masks[3] = {texture->redMask, texture->greenMask, texture->blueMask};
        for (int c = 0; c < 3; ++c) {
            p.masks[c] = masks[c];
            p.scales[c] = masks[c] == 0 ? 0.0f : state.colour[c] / static_cast<float>(masks[c]);
        }
        p.textureWidth = static_cast<float>(texture->width);
        p.textureHeight = static_cast<float>(texture->height);
        p.inverseWidth = 1.0f / p.textureWidth;
        p.inverseHeight = 1.0f / p.textureHeight;
        p.widthMask = texture->width - 1;
        p.heightMask = texture->height - 1;
        p.widthShift = std::countr_zero(static_cast<std::uint32_t>(texture->width));
    } else {
        for (int c = 0; c < 3; ++c)
            p.scales[c] = state.colour[c];
    }
    p.fogStart = state.fogStart;
    p.fogEnd = state.fogEnd;
    p.fogScale = state.fog == FogKind::linear ? 1.0f / (state.fogEnd - state.fogStart) : 0.0f;
    p.fogColour[0] = channelOf(state.fogColour, 16);
    p.fogColour[1] = channelOf(state.fogColour, 8);
    p.fogColour[2] = channelOf(state.fogColour, 0);
    p.fill = kFillTable[fillIndex(textureKind, state.fog, state.blend, state.depthTest)];
    return p;
}

void rasterizeTriangle(const ScreenVertex (&corners)[3], const RasterTarget& target,
                       const PreparedPipeline& pipeline, CullWinding cull) {
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

    TriangleSetup s;
    std::int64_t top =
        std::max<std::int64_t>(-((-std::min({y[0], y[1], y[2]})) >> kSubPixelBits), target.top);
    std::int64_t bottom = std::min<std::int64_t>(std::max({y[0], y[1], y[2]}) >> kSubPixelBits,
                                                 static_cast<std::int64_t>(target.bottom) - 1);
    int lefts = 0;
    int rights = 0;
    for (int i = 0; i < 3; ++i) {
        const int j = (i + 1) % 3;
        // Inside where a·column + b·row + c >= 0, in whole pixels.
        const std::int64_t a = -(y[j] - y[i]) * kSubPixelScale;
        const std::int64_t b = (x[j] - x[i]) * kSubPixelScale;
        std::int64_t c = (y[j] - y[i]) * x[i] - (x[j] - x[i]) * y[i];
        // Top-left rule: pixel centres exactly on other edges are outside.
        const bool topLeft = a > 0 || (a == 0 && b > 0);
        if (!topLeft) c -= 1;
        if (a > 0) {
            s.left[lefts++] = {b, c, a, 1.0 / static_cast<double>(a)};
        } else if (a < 0) {
            s.right[rights++] = {b, c, -a, 1.0 / static_cast<double>(-a)};
        } else if (b > 0) {
            top = std::max(top, -floorDiv(c, b));
        } else {
            bottom = std::min(bottom, floorDiv(c, -b));
        }
    }
    if (top > bottom) return;
    if (lefts == 1) s.left[1] = s.left[0];
    if (rights == 1) s.right[1] = s.right[0];
    s.top = static_cast<std::int32_t>(top);
    s.bottom = static_cast<std::int32_t>(bottom);

    constexpr double kUnit = 1.0 / static_cast<double>(kSubPixelScale);
    s.originX = static_cast<double>(x[0]) * kUnit;
    s.originY = static_cast<double>(y[0]) * kUnit;
    const double dx1 = static_cast<double>(x[1] - x[0]) * kUnit;
    const double dy1 = static_cast<double>(y[1] - y[0]) * kUnit;
    const double dx2 = static_cast<double>(x[2] - x[0]) * kUnit;
    const double dy2 = static_cast<double>(y[2] - y[0]) * kUnit;
    const double inverseArea = 1.0 / (static_cast<double>(area) * kUnit * kUnit);
    const auto values = [](const ScreenVertex& c) {
        return std::array<double, kAttributeCount>{c.z, c.q, c.uq, c.vq};
    };
    const auto a0 = values(*v[0]);
    const auto a1 = values(*v[1]);
    const auto a2 = values(*v[2]);
    for (int a = 0; a < kAttributeCount; ++a) {
        const double d1 = a1[a] - a0[a];
        const double d2 = a2[a] - a0[a];
        s.value[a] = a0[a];
        s.dx[a] = (d1 * dy2 - d2 * dy1) * inverseArea;
        s.dy[a] = (d2 * dx1 - d1 * dx2) * inverseArea;
    }
    pipeline.fill(s, target, pipeline);
}

}  // namespace glint::gfx
