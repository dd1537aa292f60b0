// The lane types the rasterizer's spans are written over, one per instruction
// set they run on: SSE2 and AVX2 on x86-64, SIMD128 on WebAssembly, plain C++
// elsewhere. Each holds floats, 32-bit integers and lane masks, with the few
// operations the spans need; every operation gives the bits SSE2 gives, down to
// its answers for NaN and for floats beyond the integers.
#pragma once

#include <cstdint>

#if defined(__x86_64__) && defined(__SSE2__)
#include <immintrin.h>
#define GLINT_LANES_X86 1
#elif defined(__wasm_simd128__)
#include <wasm_simd128.h>
#define GLINT_LANES_SIMD128 1
#else
#include <cmath>
#include <utility>
#endif

namespace glint::gfx {

// What x86 gives for a float that is NaN or beyond the 32-bit integers.
inline constexpr std::int32_t kIntegerIndefinite = INT32_MIN;
inline constexpr float kTwoTo31 = 2147483648.0f;
// Above it a float has no fraction; below it, added to it, its integer fills the mantissa.
inline constexpr float kTwoTo23 = 8388608.0f;

#if GLINT_LANES_X86

struct Sse2Lanes {
    static constexpr int kWidth = 4;
    struct Floats {
        __m128 v;
    };
    struct Ints {
        __m128i v;
    };
    struct Mask {
        __m128 v;
    };

    static bool available() { return true; }
    // Runs `body` out of line.
    template <typename Body>
    [[gnu::noinline]] static void outOfLine(const Body& body) {
        body();
    }

    static Floats splat(float x) { return {_mm_set1_ps(x)}; }
    static Ints splat(std::int32_t x) { return {_mm_set1_epi32(x)}; }
    static Floats set(float a, float b, float c, float d) { return {_mm_setr_ps(a, b, c, d)}; }
    static Ints set(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d) {
        return {_mm_setr_epi32(a, b, c, d)};
    }
    // Four lanes held in memory, repeated across the width.
    static Floats load(const float (&lanes)[4]) { return {_mm_load_ps(lanes)}; }
    static Ints load(const std::int32_t (&lanes)[4]) {
        return {_mm_load_si128(reinterpret_cast<const __m128i*>(lanes))};
    }
    static void store(float (&lanes)[4], Floats x) { _mm_store_ps(lanes, x.v); }
    static void store(std::int32_t (&lanes)[4], Ints x) {
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes), x.v);
    }
    static Floats laneIndex() { return set(0.0f, 1.0f, 2.0f, 3.0f); }
    static Floats loadDepth(const float* depth) { return {_mm_loadu_ps(depth)}; }
    static void storeDepth(float* depth, Floats x) { _mm_storeu_ps(depth, x.v); }
    static Ints loadPixels(const std::uint32_t* pixels) {
        return {_mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels))};
    }
    static void storePixels(std::uint32_t* pixels, Ints x) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels), x.v);
    }

    friend Floats operator+(Floats a, Floats b) { return {_mm_add_ps(a.v, b.v)}; }
    friend Floats operator-(Floats a, Floats b) { return {_mm_sub_ps(a.v, b.v)}; }
    friend Floats operator*(Floats a, Floats b) { return {_mm_mul_ps(a.v, b.v)}; }
    friend Floats operator/(Floats a, Floats b) { return {_mm_div_ps(a.v, b.v)}; }
    friend Floats min(Floats a, Floats b) { return {_mm_min_ps(a.v, b.v)}; }
    friend Floats max(Floats a, Floats b) { return {_mm_max_ps(a.v, b.v)}; }
    friend Mask operator<(Floats a, Floats b) { return {_mm_cmplt_ps(a.v, b.v)}; }
    friend Mask operator<=(Floats a, Floats b) { return {_mm_cmple_ps(a.v, b.v)}; }
    friend Mask operator>(Floats a, Floats b) { return {_mm_cmpgt_ps(a.v, b.v)}; }
    friend Mask operator>=(Floats a, Floats b) { return {_mm_cmpge_ps(a.v, b.v)}; }
    friend Mask isNan(Floats a) { return {_mm_cmpunord_ps(a.v, a.v)}; }
    friend Mask operator&(Mask a, Mask b) { return {_mm_and_ps(a.v, b.v)}; }
    friend bool any(Mask m) { return _mm_movemask_ps(m.v) != 0; }
    // Bit i set for lane i in the mask.
    friend int laneBits(Mask m) { return _mm_movemask_ps(m.v); }
    friend Floats where(Mask m, Floats a) { return {_mm_and_ps(m.v, a.v)}; }
    friend Floats select(Mask m, Floats a, Floats b) {
        return {_mm_or_ps(_mm_and_ps(m.v, a.v), _mm_andnot_ps(m.v, b.v))};
    }
    friend Ints select(Mask m, Ints a, Ints b) {
        const __m128i mask = _mm_castps_si128(m.v);
        return {_mm_or_si128(_mm_and_si128(mask, a.v), _mm_andnot_si128(mask, b.v))};
    }
    friend Ints operator+(Ints a, Ints b) { return {_mm_add_epi32(a.v, b.v)}; }
    // −1 in the lanes of the mask, 0 elsewhere.
    friend Ints maskBits(Mask m) { return {_mm_castps_si128(m.v)}; }
    friend Ints operator&(Ints a, Ints b) { return {_mm_and_si128(a.v, b.v)}; }
    friend Ints operator|(Ints a, Ints b) { return {_mm_or_si128(a.v, b.v)}; }
    friend Ints operator<<(Ints a, int bits) {
        return {_mm_sll_epi32(a.v, _mm_cvtsi32_si128(bits))};
    }
    template <int kBits>
    friend Ints shiftLeft(Ints a) {
        return {_mm_slli_epi32(a.v, kBits)};
    }
    friend Mask operator>(Ints a, Ints b) { return {_mm_castsi128_ps(_mm_cmpgt_epi32(a.v, b.v))}; }
    friend Ints truncateToInt(Floats a) { return {_mm_cvttps_epi32(a.v)}; }
    // For floats in 0 … 2^23, where every lane type converts alike without fix-ups.
    friend Ints truncateSmall(Floats a) { return {_mm_cvttps_epi32(a.v)}; }
    friend Ints roundToInt(Floats a) { return {_mm_cvtps_epi32(a.v)}; }
    friend Floats toFloat(Ints a) { return {_mm_cvtepi32_ps(a.v)}; }
    template <int kLane>
    friend std::int32_t lane(Ints a) {
        return _mm_cvtsi128_si32(_mm_shuffle_epi32(a.v, _MM_SHUFFLE(kLane, kLane, kLane, kLane)));
    }
    template <int kLane>
    friend Floats broadcast(Floats a) {
        return {_mm_shuffle_ps(a.v, a.v, _MM_SHUFFLE(kLane, kLane, kLane, kLane))};
    }
    // Rows to columns.
    friend void transpose(Floats (&rows)[4]) {
        _MM_TRANSPOSE4_PS(rows[0].v, rows[1].v, rows[2].v, rows[3].v);
    }

    // The four texels, each in the low half of its lane. Indices are never negative.
    friend Ints gather(const std::uint16_t* texels, Ints index) {
        const auto low = static_cast<std::uint64_t>(_mm_cvtsi128_si64(index.v));
        const auto high =
            static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(index.v, index.v)));
        __m128i result = _mm_setzero_si128();
        result = _mm_insert_epi16(result, texels[static_cast<std::uint32_t>(low)], 0);
        result = _mm_insert_epi16(result, texels[low >> 32], 2);
        result = _mm_insert_epi16(result, texels[static_cast<std::uint32_t>(high)], 4);
        result = _mm_insert_epi16(result, texels[high >> 32], 6);
        return {result};
    }

    // Products of two bytes, in 16-bit lanes, divided by 255 and rounded to the
    // nearest: ((p + 128) · 257) >> 16 is exact over that range.
    static __m128i divideBy255(__m128i products) {
        return _mm_mulhi_epu16(_mm_add_epi16(products, _mm_set1_epi16(128)), _mm_set1_epi16(257));
    }

    // s·s + d·(1 − s) on the bytes of whole 0x00RRGGBB pixels, as a blender works:
    // each product rounded to the nearest, the sum kept within 255. The channels go
    // through in 16-bit lanes, two pixels at a time.
    friend Ints blendSourceColour(Ints source, Ints destination) {
        const __m128i bytes = _mm_set1_epi16(255);
        const auto blend = [bytes](__m128i s, __m128i d) {
            const __m128i sum =
                _mm_add_epi16(divideBy255(_mm_mullo_epi16(s, s)),
                              divideBy255(_mm_mullo_epi16(d, _mm_sub_epi16(bytes, s))));
            return _mm_min_epi16(sum, bytes);
        };
        const __m128i zero = _mm_setzero_si128();
        return {_mm_packus_epi16(
            blend(_mm_unpacklo_epi8(source.v, zero), _mm_unpacklo_epi8(destination.v, zero)),
            blend(_mm_unpackhi_epi8(source.v, zero), _mm_unpackhi_epi8(destination.v, zero)))};
    }
};

// AVX2 is chosen at run time, so nothing here is inlined into code built
// without it: every operation is compiled for AVX2 and reached only through
// outOfLine(), which inlines all it calls.
#define GLINT_AVX2 gnu::target("avx2")

struct Avx2Lanes {
    static constexpr int kWidth = 8;
    struct Floats {
        __m256 v;
    };
    struct Ints {
        __m256i v;
    };
    struct Mask {
        __m256 v;
    };

    static bool available() { return __builtin_cpu_supports("avx2"); }
    template <typename Body>
    [[GLINT_AVX2, gnu::flatten, gnu::noinline]] static void outOfLine(const Body& body) {
        body();
    }

    [[GLINT_AVX2]] static Floats splat(float x) { return {_mm256_set1_ps(x)}; }
    [[GLINT_AVX2]] static Ints splat(std::int32_t x) { return {_mm256_set1_epi32(x)}; }
    [[GLINT_AVX2]] static Floats load(const float (&lanes)[4]) {
        return {_mm256_broadcast_ps(reinterpret_cast<const __m128*>(lanes))};
    }
    [[GLINT_AVX2]] static Ints load(const std::int32_t (&lanes)[4]) {
        return {
            _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(lanes)))};
    }
    [[GLINT_AVX2]] static Floats laneIndex() {
        return {_mm256_setr_ps(0.0f, 1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f, 7.0f)};
    }
    [[GLINT_AVX2]] static Floats loadDepth(const float* depth) { return {_mm256_loadu_ps(depth)}; }
    [[GLINT_AVX2]] static void storeDepth(float* depth, Floats x) { _mm256_storeu_ps(depth, x.v); }
    [[GLINT_AVX2]] static Ints loadPixels(const std::uint32_t* pixels) {
        return {_mm256_loadu_si256(reinterpret_cast<const __m256i*>(pixels))};
    }
    [[GLINT_AVX2]] static void storePixels(std::uint32_t* pixels, Ints x) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(pixels), x.v);
    }

    [[GLINT_AVX2]] friend Floats operator+(Floats a, Floats b) { return {_mm256_add_ps(a.v, b.v)}; }
    [[GLINT_AVX2]] friend Floats operator-(Floats a, Floats b) { return {_mm256_sub_ps(a.v, b.v)}; }
    [[GLINT_AVX2]] friend Floats operator*(Floats a, Floats b) { return {_mm256_mul_ps(a.v, b.v)}; }
    [[GLINT_AVX2]] friend Floats operator/(Floats a, Floats b) { return {_mm256_div_ps(a.v, b.v)}; }
    [[GLINT_AVX2]] friend Floats min(Floats a, Floats b) { return {_mm256_min_ps(a.v, b.v)}; }
    [[GLINT_AVX2]] friend Floats max(Floats a, Floats b) { return {_mm256_max_ps(a.v, b.v)}; }
    [[GLINT_AVX2]] friend Mask operator<(Floats a, Floats b) {
        return {_mm256_cmp_ps(a.v, b.v, _CMP_LT_OS)};
    }
    [[GLINT_AVX2]] friend Mask operator<=(Floats a, Floats b) {
        return {_mm256_cmp_ps(a.v, b.v, _CMP_LE_OS)};
    }
    [[GLINT_AVX2]] friend Mask operator>(Floats a, Floats b) {
        return {_mm256_cmp_ps(a.v, b.v, _CMP_GT_OS)};
    }
    [[GLINT_AVX2]] friend Mask operator>=(Floats a, Floats b) {
        return {_mm256_cmp_ps(a.v, b.v, _CMP_GE_OS)};
    }
    [[GLINT_AVX2]] friend Mask operator&(Mask a, Mask b) { return {_mm256_and_ps(a.v, b.v)}; }
    [[GLINT_AVX2]] friend bool any(Mask m) { return _mm256_movemask_ps(m.v) != 0; }
    [[GLINT_AVX2]] friend Floats where(Mask m, Floats a) { return {_mm256_and_ps(m.v, a.v)}; }
    [[GLINT_AVX2]] friend Floats select(Mask m, Floats a, Floats b) {
        return {_mm256_or_ps(_mm256_and_ps(m.v, a.v), _mm256_andnot_ps(m.v, b.v))};
    }
    [[GLINT_AVX2]] friend Ints select(Mask m, Ints a, Ints b) {
        const __m256i mask = _mm256_castps_si256(m.v);
        return {_mm256_or_si256(_mm256_and_si256(mask, a.v), _mm256_andnot_si256(mask, b.v))};
    }
    [[GLINT_AVX2]] friend Ints operator+(Ints a, Ints b) { return {_mm256_add_epi32(a.v, b.v)}; }
    [[GLINT_AVX2]] friend Ints maskBits(Mask m) { return {_mm256_castps_si256(m.v)}; }
    [[GLINT_AVX2]] friend Ints operator&(Ints a, Ints b) { return {_mm256_and_si256(a.v, b.v)}; }
    [[GLINT_AVX2]] friend Ints operator|(Ints a, Ints b) { return {_mm256_or_si256(a.v, b.v)}; }
    [[GLINT_AVX2]] friend Ints operator<<(Ints a, int bits) {
        return {_mm256_sll_epi32(a.v, _mm_cvtsi32_si128(bits))};
    }
    template <int kBits>
    [[GLINT_AVX2]] friend Ints shiftLeft(Ints a) {
        return {_mm256_slli_epi32(a.v, kBits)};
    }
    [[GLINT_AVX2]] friend Ints truncateToInt(Floats a) { return {_mm256_cvttps_epi32(a.v)}; }
    [[GLINT_AVX2]] friend Ints truncateSmall(Floats a) { return {_mm256_cvttps_epi32(a.v)}; }
    [[GLINT_AVX2]] friend Floats toFloat(Ints a) { return {_mm256_cvtepi32_ps(a.v)}; }

    // Loaded one by one: a hardware gather of 32 bits would read past the last texel.
    [[GLINT_AVX2]] friend Ints gather(const std::uint16_t* texels, Ints index) {
        return {_mm256_set_m128i(
            gather(texels, Sse2Lanes::Ints{_mm256_extracti128_si256(index.v, 1)}).v,
            gather(texels, Sse2Lanes::Ints{_mm256_castsi256_si128(index.v)}).v)};
    }

    [[GLINT_AVX2]] static __m256i divideBy255(__m256i products) {
        return _mm256_mulhi_epu16(_mm256_add_epi16(products, _mm256_set1_epi16(128)),
                                  _mm256_set1_epi16(257));
    }

    [[GLINT_AVX2]] static __m256i blendChannels(__m256i s, __m256i d) {
        const __m256i bytes = _mm256_set1_epi16(255);
        const __m256i sum =
            _mm256_add_epi16(divideBy255(_mm256_mullo_epi16(s, s)),
                             divideBy255(_mm256_mullo_epi16(d, _mm256_sub_epi16(bytes, s))));
        return _mm256_min_epi16(sum, bytes);
    }

    // Unpacking and packing work within each half, which keeps every pixel in place.
    [[GLINT_AVX2]] friend Ints blendSourceColour(Ints source, Ints destination) {
        const __m256i zero = _mm256_setzero_si256();
        return {_mm256_packus_epi16(blendChannels(_mm256_unpacklo_epi8(source.v, zero),
                                                  _mm256_unpacklo_epi8(destination.v, zero)),
                                    blendChannels(_mm256_unpackhi_epi8(source.v, zero),
                                                  _mm256_unpackhi_epi8(destination.v, zero)))};
    }
};

#undef GLINT_AVX2

using QuadLanes = Sse2Lanes;
using WidestLanes = Avx2Lanes;

#elif GLINT_LANES_SIMD128

struct Simd128Lanes {
    static constexpr int kWidth = 4;
    struct Floats {
        v128_t v;
    };
    struct Ints {
        v128_t v;
    };
    struct Mask {
        v128_t v;
    };

    static bool available() { return true; }
    template <typename Body>
    [[gnu::noinline]] static void outOfLine(const Body& body) {
        body();
    }

    static Floats splat(float x) { return {wasm_f32x4_splat(x)}; }
    static Ints splat(std::int32_t x) { return {wasm_i32x4_splat(x)}; }
    static Floats set(float a, float b, float c, float d) { return {wasm_f32x4_make(a, b, c, d)}; }
    static Ints set(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d) {
        return {wasm_i32x4_make(a, b, c, d)};
    }
    static Floats load(const float (&lanes)[4]) { return {wasm_v128_load(lanes)}; }
    static Ints load(const std::int32_t (&lanes)[4]) { return {wasm_v128_load(lanes)}; }
    static void store(float (&lanes)[4], Floats x) { wasm_v128_store(lanes, x.v); }
    static void store(std::int32_t (&lanes)[4], Ints x) { wasm_v128_store(lanes, x.v); }
    static Floats laneIndex() { return set(0.0f, 1.0f, 2.0f, 3.0f); }
    static Floats loadDepth(const float* depth) { return {wasm_v128_load(depth)}; }
    static void storeDepth(float* depth, Floats x) { wasm_v128_store(depth, x.v); }
    static Ints loadPixels(const std::uint32_t* pixels) { return {wasm_v128_load(pixels)}; }
    static void storePixels(std::uint32_t* pixels, Ints x) { wasm_v128_store(pixels, x.v); }

    friend Floats operator+(Floats a, Floats b) { return {wasm_f32x4_add(a.v, b.v)}; }
    friend Floats operator-(Floats a, Floats b) { return {wasm_f32x4_sub(a.v, b.v)}; }
    friend Floats operator*(Floats a, Floats b) { return {wasm_f32x4_mul(a.v, b.v)}; }
    friend Floats operator/(Floats a, Floats b) { return {wasm_f32x4_div(a.v, b.v)}; }
    // pmin(b, a) is a < b ? a : b, which keeps b where either is NaN, as x86 does.
    friend Floats min(Floats a, Floats b) { return {wasm_f32x4_pmin(b.v, a.v)}; }
    friend Floats max(Floats a, Floats b) { return {wasm_f32x4_pmax(b.v, a.v)}; }
    friend Mask operator<(Floats a, Floats b) { return {wasm_f32x4_lt(a.v, b.v)}; }
    friend Mask operator<=(Floats a, Floats b) { return {wasm_f32x4_le(a.v, b.v)}; }
    friend Mask operator>(Floats a, Floats b) { return {wasm_f32x4_gt(a.v, b.v)}; }
    friend Mask operator>=(Floats a, Floats b) { return {wasm_f32x4_ge(a.v, b.v)}; }
    friend Mask isNan(Floats a) { return {wasm_f32x4_ne(a.v, a.v)}; }
    friend Mask operator&(Mask a, Mask b) { return {wasm_v128_and(a.v, b.v)}; }
    friend bool any(Mask m) { return wasm_v128_any_true(m.v); }
    friend int laneBits(Mask m) { return static_cast<int>(wasm_i32x4_bitmask(m.v)); }
    friend Floats where(Mask m, Floats a) { return {wasm_v128_and(m.v, a.v)}; }
    friend Floats select(Mask m, Floats a, Floats b) {
        return {wasm_v128_bitselect(a.v, b.v, m.v)};
    }
    friend Ints select(Mask m, Ints a, Ints b) { return {wasm_v128_bitselect(a.v, b.v, m.v)}; }
    friend Ints operator+(Ints a, Ints b) { return {wasm_i32x4_add(a.v, b.v)}; }
    friend Ints maskBits(Mask m) { return {m.v}; }
    friend Ints operator&(Ints a, Ints b) { return {wasm_v128_and(a.v, b.v)}; }
    friend Ints operator|(Ints a, Ints b) { return {wasm_v128_or(a.v, b.v)}; }
    friend Ints operator<<(Ints a, int bits) {
        return {wasm_i32x4_shl(a.v, static_cast<std::uint32_t>(bits))};
    }
    template <int kBits>
    friend Ints shiftLeft(Ints a) {
        return a << kBits;
    }
    friend Mask operator>(Ints a, Ints b) { return {wasm_i32x4_gt(a.v, b.v)}; }
    // Saturating conversion, with x86's answer put in from 2^31 up and for NaN;
    // below −2^31 it saturates to that answer already.
    friend Ints truncateToInt(Floats a) {
        const v128_t below = wasm_f32x4_lt(a.v, wasm_f32x4_splat(kTwoTo31));
        return {wasm_v128_bitselect(wasm_i32x4_trunc_sat_f32x4(a.v),
                                    wasm_i32x4_splat(kIntegerIndefinite), below)};
    }
    // The whole part plus 2^23 is exact, its integer the low bits of the float: three
    // plain operations in place of a saturating conversion.
    friend Ints truncateSmall(Floats a) {
        const v128_t magic = wasm_f32x4_splat(kTwoTo23);
        return {wasm_i32x4_sub(wasm_f32x4_add(wasm_f32x4_trunc(a.v), magic), magic)};
    }
    friend Ints roundToInt(Floats a) { return truncateToInt(Floats{wasm_f32x4_nearest(a.v)}); }
    friend Floats toFloat(Ints a) { return {wasm_f32x4_convert_i32x4(a.v)}; }
    template <int kLane>
    friend std::int32_t lane(Ints a) {
        return wasm_i32x4_extract_lane(a.v, kLane);
    }
    template <int kLane>
    friend Floats broadcast(Floats a) {
        return {wasm_i32x4_shuffle(a.v, a.v, kLane, kLane, kLane, kLane)};
    }
    friend void transpose(Floats (&rows)[4]) {
        const v128_t low01 = wasm_i32x4_shuffle(rows[0].v, rows[1].v, 0, 4, 1, 5);
        const v128_t low23 = wasm_i32x4_shuffle(rows[2].v, rows[3].v, 0, 4, 1, 5);
        const v128_t high01 = wasm_i32x4_shuffle(rows[0].v, rows[1].v, 2, 6, 3, 7);
        const v128_t high23 = wasm_i32x4_shuffle(rows[2].v, rows[3].v, 2, 6, 3, 7);
        rows[0].v = wasm_i64x2_shuffle(low01, low23, 0, 2);
        rows[1].v = wasm_i64x2_shuffle(low01, low23, 1, 3);
        rows[2].v = wasm_i64x2_shuffle(high01, high23, 0, 2);
        rows[3].v = wasm_i64x2_shuffle(high01, high23, 1, 3);
    }

    // Each texel loaded straight into the low half of its lane.
    friend Ints gather(const std::uint16_t* texels, Ints index) {
        v128_t result = wasm_i32x4_splat(0);
        result = wasm_v128_load16_lane(texels + wasm_u32x4_extract_lane(index.v, 0), result, 0);
        result = wasm_v128_load16_lane(texels + wasm_u32x4_extract_lane(index.v, 1), result, 2);
        result = wasm_v128_load16_lane(texels + wasm_u32x4_extract_lane(index.v, 2), result, 4);
        result = wasm_v128_load16_lane(texels + wasm_u32x4_extract_lane(index.v, 3), result, 6);
        return {result};
    }

    // (t + (t >> 8)) >> 8 with t = p + 128 equals x86's ((p + 128) · 257) >> 16 for
    // every product of two bytes, and stays within 16 bits: SIMD128 has no high
    // half of a 16-bit product, which would cost two widening products and a shuffle.
    static v128_t divideBy255(v128_t products) {
        const v128_t biased = wasm_i16x8_add(products, wasm_i16x8_splat(128));
        return wasm_u16x8_shr(wasm_i16x8_add(biased, wasm_u16x8_shr(biased, 8)), 8);
    }

    static v128_t blendChannels(v128_t s, v128_t d) {
        const v128_t bytes = wasm_i16x8_splat(255);
        const v128_t sum = wasm_i16x8_add(divideBy255(wasm_i16x8_mul(s, s)),
                                          divideBy255(wasm_i16x8_mul(d, wasm_i16x8_sub(bytes, s))));
        return wasm_i16x8_min(sum, bytes);
    }

    friend Ints blendSourceColour(Ints source, Ints destination) {
        return {
            wasm_u8x16_narrow_i16x8(blendChannels(wasm_u16x8_extend_low_u8x16(source.v),
                                                  wasm_u16x8_extend_low_u8x16(destination.v)),
                                    blendChannels(wasm_u16x8_extend_high_u8x16(source.v),
                                                  wasm_u16x8_extend_high_u8x16(destination.v)))};
    }
};

using QuadLanes = Simd128Lanes;
using WidestLanes = Simd128Lanes;

#else

struct ScalarLanes {
    static constexpr int kWidth = 4;
    struct Floats {
        float lane[4];
    };
    struct Ints {
        std::int32_t lane[4];
    };
    struct Mask {
        bool lane[4];
    };

    static bool available() { return true; }
    template <typename Body>
    [[gnu::noinline]] static void outOfLine(const Body& body) {
        body();
    }

    static Floats splat(float x) { return {{x, x, x, x}}; }
    static Ints splat(std::int32_t x) { return {{x, x, x, x}}; }
    static Floats set(float a, float b, float c, float d) { return {{a, b, c, d}}; }
    static Ints set(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d) {
        return {{a, b, c, d}};
    }
    static Floats load(const float (&lanes)[4]) { return loadDepth(lanes); }
    static Ints load(const std::int32_t (&lanes)[4]) {
        return {{lanes[0], lanes[1], lanes[2], lanes[3]}};
    }
    static void store(float (&lanes)[4], Floats x) { storeDepth(lanes, x); }
    static void store(std::int32_t (&lanes)[4], Ints x) {
        for (int i = 0; i < kWidth; ++i)
            lanes[i] = x.lane[i];
    }
    static Floats laneIndex() { return set(0.0f, 1.0f, 2.0f, 3.0f); }
    static Floats loadDepth(const float* depth) {
        return {{depth[0], depth[1], depth[2], depth[3]}};
    }
    static void storeDepth(float* depth, Floats x) {
        for (int i = 0; i < kWidth; ++i)
            depth[i] = x.lane[i];
    }
    static Ints loadPixels(const std::uint32_t* pixels) {
        Ints x;
        for (int i = 0; i < kWidth; ++i)
            x.lane[i] = static_cast<std::int32_t>(pixels[i]);
        return x;
    }
    static void storePixels(std::uint32_t* pixels, Ints x) {
        for (int i = 0; i < kWidth; ++i)
            pixels[i] = static_cast<std::uint32_t>(x.lane[i]);
    }

    // `op` on each lane of the arguments in turn.
    template <typename Result, typename Op, typename... Lanes>
    static Result eachLane(Op op, Lanes... lanes) {
        Result result;
        for (int i = 0; i < kWidth; ++i)
            result.lane[i] = op(lanes.lane[i]...);
        return result;
    }

    friend Floats operator+(Floats a, Floats b) {
        return eachLane<Floats>([](float x, float y) { return x + y; }, a, b);
    }
    friend Floats operator-(Floats a, Floats b) {
        return eachLane<Floats>([](float x, float y) { return x - y; }, a, b);
    }
    friend Floats operator*(Floats a, Floats b) {
        return eachLane<Floats>([](float x, float y) { return x * y; }, a, b);
    }
    friend Floats operator/(Floats a, Floats b) {
        return eachLane<Floats>([](float x, float y) { return x / y; }, a, b);
    }
    // The second operand where either is NaN, as x86 does.
    friend Floats min(Floats a, Floats b) {
        return eachLane<Floats>([](float x, float y) { return x < y ? x : y; }, a, b);
    }
    friend Floats max(Floats a, Floats b) {
        return eachLane<Floats>([](float x, float y) { return x > y ? x : y; }, a, b);
    }
    friend Mask operator<(Floats a, Floats b) {
        return eachLane<Mask>([](float x, float y) { return x < y; }, a, b);
    }
    friend Mask operator<=(Floats a, Floats b) {
        return eachLane<Mask>([](float x, float y) { return x <= y; }, a, b);
    }
    friend Mask operator>(Floats a, Floats b) {
        return eachLane<Mask>([](float x, float y) { return x > y; }, a, b);
    }
    friend Mask operator>=(Floats a, Floats b) {
        return eachLane<Mask>([](float x, float y) { return x >= y; }, a, b);
    }
    friend Mask isNan(Floats a) {
        return eachLane<Mask>([](float x) { return x != x; }, a);
    }
    friend Mask operator&(Mask a, Mask b) {
        return eachLane<Mask>([](bool x, bool y) { return x && y; }, a, b);
    }
    friend bool any(Mask m) { return m.lane[0] || m.lane[1] || m.lane[2] || m.lane[3]; }
    friend int laneBits(Mask m) {
        return m.lane[0] | m.lane[1] << 1 | m.lane[2] << 2 | m.lane[3] << 3;
    }
    friend Floats where(Mask m, Floats a) {
        return eachLane<Floats>([](bool k, float x) { return k ? x : 0.0f; }, m, a);
    }
    friend Floats select(Mask m, Floats a, Floats b) {
        return eachLane<Floats>([](bool k, float x, float y) { return k ? x : y; }, m, a, b);
    }
    friend Ints select(Mask m, Ints a, Ints b) {
        return eachLane<Ints>([](bool k, std::int32_t x, std::int32_t y) { return k ? x : y; }, m,
                              a, b);
    }
    // Integer lanes wrap as machine registers do.
    friend Ints operator+(Ints a, Ints b) {
        return eachLane<Ints>(
            [](std::int32_t x, std::int32_t y) {
                return static_cast<std::int32_t>(static_cast<std::uint32_t>(x) +
                                                 static_cast<std::uint32_t>(y));
            },
            a, b);
    }
    friend Ints maskBits(Mask m) {
        return eachLane<Ints>([](bool k) { return k ? -1 : 0; }, m);
    }
    friend Ints operator&(Ints a, Ints b) {
        return eachLane<Ints>([](std::int32_t x, std::int32_t y) { return x & y; }, a, b);
    }
    friend Ints operator|(Ints a, Ints b) {
        return eachLane<Ints>([](std::int32_t x, std::int32_t y) { return x | y; }, a, b);
    }
    friend Ints operator<<(Ints a, int bits) {
        return eachLane<Ints>(
            [bits](std::int32_t x) {
                return static_cast<std::int32_t>(static_cast<std::uint32_t>(x) << bits);
            },
            a);
    }
    template <int kBits>
    friend Ints shiftLeft(Ints a) {
        return a << kBits;
    }
    friend Mask operator>(Ints a, Ints b) {
        return eachLane<Mask>([](std::int32_t x, std::int32_t y) { return x > y; }, a, b);
    }
    static std::int32_t truncate(float x) {
        return x >= -kTwoTo31 && x < kTwoTo31 ? static_cast<std::int32_t>(x) : kIntegerIndefinite;
    }
    friend Ints truncateToInt(Floats a) {
        return eachLane<Ints>([](float x) { return truncate(x); }, a);
    }
    friend Ints truncateSmall(Floats a) {
        return eachLane<Ints>([](float x) { return static_cast<std::int32_t>(x); }, a);
    }
    friend Ints roundToInt(Floats a) {
        return eachLane<Ints>([](float x) { return truncate(std::nearbyint(x)); }, a);
    }
    friend Floats toFloat(Ints a) {
        return eachLane<Floats>([](std::int32_t x) { return static_cast<float>(x); }, a);
    }
    template <int kLane>
    friend std::int32_t lane(Ints a) {
        return a.lane[kLane];
    }
    template <int kLane>
    friend Floats broadcast(Floats a) {
        return splat(a.lane[kLane]);
    }
    friend void transpose(Floats (&rows)[4]) {
        for (int i = 0; i < kWidth; ++i) {
            for (int j = 0; j < i; ++j)
                std::swap(rows[i].lane[j], rows[j].lane[i]);
        }
    }

    friend Ints gather(const std::uint16_t* texels, Ints index) {
        return eachLane<Ints>([texels](std::int32_t i) { return std::int32_t{texels[i]}; }, index);
    }

    // Each channel as x86 blends it in 16-bit lanes, whose arithmetic never wraps here.
    friend Ints blendSourceColour(Ints source, Ints destination) {
        const auto divideBy255 = [](std::uint32_t product) {
            return ((product + 128) * 257) >> 16;
        };
        return eachLane<Ints>(
            [divideBy255](std::int32_t s, std::int32_t d) {
                std::uint32_t blended = 0;
                for (int shift = 0; shift < 32; shift += 8) {
                    const std::uint32_t sc = (static_cast<std::uint32_t>(s) >> shift) & 0xFF;
                    const std::uint32_t dc = (static_cast<std::uint32_t>(d) >> shift) & 0xFF;
                    const std::uint32_t sum = divideBy255(sc * sc) + divideBy255(dc * (255 - sc));
                    blended |= (sum < 255 ? sum : 255) << shift;
                }
                return static_cast<std::int32_t>(blended);
            },
            source, destination);
    }
};

using QuadLanes = ScalarLanes;
using WidestLanes = ScalarLanes;

#endif

}  // namespace glint::gfx
