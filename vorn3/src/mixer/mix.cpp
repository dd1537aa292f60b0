#include "mixer/mix.h"

// WebAssembly builds reach the SSE2 intrinsics through SIMD128 (-msimd128 -msse2).
#if !defined(__SSE2__)
#error "the mixing loops are written for SSE2"
#endif

#include <immintrin.h>
#if defined(__wasm_simd128__)
#include <wasm_simd128.h>
#endif

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <type_traits>

#include "mixer/kernels.h"
#include "mixer/voice.h"

namespace vorn3 {
namespace {

constexpr double kWeightScale = 1.0 / 2147483648.0;  // 2^-31: the top 31 bits of a fraction
constexpr std::uint64_t kFarFrames = std::uint64_t{1} << 24;  // boundaries beyond any call
constexpr std::int32_t kUnitShift = 8;  // distances and steps are counted in 2^-24 frame
constexpr std::uint64_t kUnitMask = 0xFFFFFFFF;
constexpr std::int32_t kFrameShift = 32;
constexpr std::uint64_t kLeastFraction = 1;  // 2^-32 frame
constexpr double kMaxByte = 255;
constexpr float kMinPcm = -32768.0f;
constexpr float kMaxPcm = 32767.0f;
constexpr double kKernelUnit = 1.0 / (1 << kKernelWeightBits);
// Frames a kernel reads around a loop's ends, stitched as playback continues there.
constexpr std::int32_t kStitchedFrames = 64;

// Interpolates at a 32.32 position. The integer part is taken as signed: a position
// just below frame 0 reads the zero frame that the sample data keeps before frame 0.
double valueAt(const std::int16_t* data, std::uint64_t position) {
    const auto index = static_cast<std::int32_t>(static_cast<std::uint32_t>(position >> 32));
    const double weight =
        static_cast<double>(static_cast<std::uint32_t>(position) >> 1) * kWeightScale;
    const double first = data[index];
    return first + weight * (data[index + 1] - first);
}

void addFrame(float* out, double value, double left, double right) {
    out[0] = static_cast<float>(out[0] + value * left);
    out[1] = static_cast<float>(out[1] + value * right);
}

// The reads a voice's frames take, each one frame at a time and, for the wide loops, four:
// fourValues gives frames 0, 2, 1 and 3 from a position, in that order, exactly in double
// precision in units of the read's kWideUnit (the gains carry the unit, which changes no
// rounding of a product).
struct NearestRead {
    [[maybe_unused]] static constexpr double kWideUnit = 1;
    double operator()(const std::int16_t* data, std::uint64_t position) const {
        return data[static_cast<std::int32_t>(static_cast<std::uint32_t>(position >> 32))];
    }
};

struct LinearRead {
    [[maybe_unused]] static constexpr double kWideUnit = kWeightScale;
    double operator()(const std::int16_t* data, std::uint64_t position) const {
        return valueAt(data, position);
    }
};

// A kernel table's taps summed in one multiply-add of 16-bit pairs.
template <std::int32_t kTaps>
struct KernelRead {
    [[maybe_unused]] static constexpr double kWideUnit = kKernelUnit;
    const std::int16_t* weights;

    __m128i products(const std::int16_t* data, std::uint64_t position) const {
        const auto index = static_cast<std::int32_t>(static_cast<std::uint32_t>(position >> 32));
        const std::uint32_t phase = static_cast<std::uint32_t>(position) >> (32 - kKernelPhaseBits);
        const std::int16_t* frames = data + index - (kTaps / 2 - 1);
        const std::int16_t* row = weights + phase * kTaps;
        if constexpr (kTaps == kSincTaps) {
            return _mm_madd_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(frames)),
                                  _mm_loadu_si128(reinterpret_cast<const __m128i*>(row)));
        } else {
            return _mm_madd_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(frames)),
                                  _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row)));
        }
    }

    double operator()(const std::int16_t* data, std::uint64_t position) const {
        __m128i sums = products(data, position);
        if constexpr (kTaps == kSincTaps) {
            sums = _mm_add_epi32(sums, _mm_shuffle_epi32(sums, _MM_SHUFFLE(1, 0, 3, 2)));
        }
        sums = _mm_add_epi32(sums, _mm_shuffle_epi32(sums, _MM_SHUFFLE(2, 3, 0, 1)));
        return _mm_cvtsi128_si32(sums) * kKernelUnit;
    }
};

#if defined(__x86_64__)
// Added to the bits of an integer below 2^51 in magnitude, gives those of 1.5 × 2^52 plus it.
constexpr std::int64_t kIntegerToDoubleBits = 0x4338000000000000;
constexpr double kIntegerToDoubleBias = 6755399441055744.0;  // 1.5 × 2^52

// The frame at a position and the one after it, the first in the low half.
std::int32_t framePair(const std::int16_t* data, std::uint64_t position) {
    std::int32_t pair;
    std::memcpy(&pair, data + static_cast<std::int32_t>(static_cast<std::uint32_t>(position >> 32)),
                sizeof pair);
    return pair;
}

#define VORN3_WIDE [[gnu::target("avx2,fma"), gnu::always_inline]] inline

// `positions` holds the four positions in the lanes' order.
VORN3_WIDE __m256d fourValues(LinearRead, const std::int16_t* data, std::uint64_t position,
                              std::uint64_t delta, __m256i positions) {
    const __m256i firstUnits = _mm256_set1_epi64x(std::int64_t{1} << 30);  // doubled below
    const __m256i toDoubleBits = _mm256_set1_epi64x(kIntegerToDoubleBits);
    const __m256d toDoubleBias = _mm256_set1_pd(kIntegerToDoubleBias);
    const std::uint64_t p1 = position + delta;
    const std::uint64_t p2 = p1 + delta;
    const std::uint64_t p3 = p2 + delta;
    // Each pair in the low half of its lane, in the lanes' order.
    const __m256i pairs = _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_unpacklo_epi64(_mm_cvtsi32_si128(framePair(data, position)),
                                                  _mm_cvtsi32_si128(framePair(data, p2)))),
        _mm_unpacklo_epi64(_mm_cvtsi32_si128(framePair(data, p1)),
                           _mm_cvtsi32_si128(framePair(data, p3))),
        1);
    const __m256i weights = _mm256_srli_epi32(positions, 1);  // low halves: 31 bits
    const __m256i firsts = _mm256_srai_epi32(_mm256_slli_epi32(pairs, 16), 16);
    const __m256i differences = _mm256_sub_epi32(_mm256_srai_epi32(pairs, 16), firsts);
    const __m256i units =
        _mm256_add_epi64(_mm256_slli_epi64(_mm256_mul_epi32(firsts, firstUnits), 1),
                         _mm256_mul_epi32(differences, weights));
    return _mm256_sub_pd(_mm256_castsi256_pd(_mm256_add_epi64(units, toDoubleBits)), toDoubleBias);
}

VORN3_WIDE __m256d fourValues(NearestRead, const std::int16_t* data, std::uint64_t position,
                              std::uint64_t delta, __m256i) {
    const auto frame = [&](std::uint64_t k) {
        return data[static_cast<std::int32_t>(
            static_cast<std::uint32_t>((position + k * delta) >> 32))];
    };
    return _mm256_cvtepi32_pd(_mm_setr_epi32(frame(0), frame(2), frame(1), frame(3)));
}

template <std::int32_t kTaps>
VORN3_WIDE __m256d fourValues(const KernelRead<kTaps>& read, const std::int16_t* data,
                              std::uint64_t position, std::uint64_t delta, __m256i) {
    const __m128i s0 = read.products(data, position);
    const __m128i s1 = read.products(data, position + delta);
    const __m128i s2 = read.products(data, position + 2 * delta);
    const __m128i s3 = read.products(data, position + 3 * delta);
    __m128i sums;
    if constexpr (kTaps == kSincTaps) {
        sums = _mm_hadd_epi32(_mm_hadd_epi32(s0, s1), _mm_hadd_epi32(s2, s3));
    } else {
        sums = _mm_hadd_epi32(_mm_unpacklo_epi64(s0, s1), _mm_unpacklo_epi64(s2, s3));
    }
    return _mm256_cvtepi32_pd(_mm_shuffle_epi32(sums, _MM_SHUFFLE(3, 1, 2, 0)));
}

#undef VORN3_WIDE
#endif

#if defined(__wasm_simd128__)
// Linear reads two frames a step, lane k of every vector holding frame k of the two: each
// frame's neighbours come in one 32-bit load and its fraction from a running vector of
// fractions, so that the conversions and shuffles, the loop's bottleneck, stay few. The
// value is worked out as valueAt does, exactly, and so are the gains' sums (see mixFours).
std::uint64_t mixLinearPairs(float*& out, const std::int16_t* data, std::uint64_t position,
                             std::uint64_t delta, std::int32_t pairs, double& left, double& right,
                             double leftIncrement, double rightIncrement) {
    const auto at = [data](std::uint64_t p) {
        return data + static_cast<std::int32_t>(static_cast<std::uint32_t>(p >> 32));
    };
    const v128_t weightScale = wasm_f64x2_splat(kWeightScale);
    // Summed over each pair of 16-bit lanes: a frame, and its next one less it.
    const v128_t firstOfPairs = wasm_i16x8_const(1, 0, 1, 0, 1, 0, 1, 0);
    const v128_t differenceOfPairs = wasm_i16x8_const(-1, 1, -1, 1, -1, 1, -1, 1);
    v128_t leftGains = wasm_f64x2_make(left, left + leftIncrement);
    v128_t rightGains = wasm_f64x2_make(right, right + rightIncrement);
    const v128_t leftSteps = wasm_f64x2_splat(2 * leftIncrement);
    const v128_t rightSteps = wasm_f64x2_splat(2 * rightIncrement);
    v128_t fractions = wasm_u32x4_make(static_cast<std::uint32_t>(position),
                                       static_cast<std::uint32_t>(position + delta), 0, 0);
    const v128_t fractionSteps = wasm_u32x4_splat(static_cast<std::uint32_t>(2 * delta));
    // Two pairs a pass halve the loop's own work: chromium's compiler runs it as written.
#pragma clang loop unroll_count(2)
    for (std::int32_t pair = 0; pair < pairs; ++pair) {
        const v128_t frames =
            wasm_v128_load32_lane(at(position + delta), wasm_v128_load32_zero(at(position)), 1);
        const v128_t firsts = wasm_i32x4_dot_i16x8(frames, firstOfPairs);
        const v128_t differences = wasm_i32x4_dot_i16x8(frames, differenceOfPairs);
        const v128_t weights = wasm_f64x2_convert_low_i32x4(wasm_u32x4_shr(fractions, 1));
        const v128_t values = wasm_f64x2_add(
            wasm_f64x2_convert_low_i32x4(firsts),
            wasm_f64x2_mul(wasm_f64x2_mul(weights, wasm_f64x2_convert_low_i32x4(differences)),
                           weightScale));
        const v128_t outs = wasm_v128_load(out);
        const v128_t lefts =
            wasm_f64x2_promote_low_f32x4(wasm_i32x4_shuffle(outs, outs, 0, 2, 0, 2));
        const v128_t rights =
            wasm_f64x2_promote_low_f32x4(wasm_i32x4_shuffle(outs, outs, 1, 3, 1, 3));
        const v128_t newLefts =
            wasm_f32x4_demote_f64x2_zero(wasm_f64x2_add(lefts, wasm_f64x2_mul(values, leftGains)));
        const v128_t newRights = wasm_f32x4_demote_f64x2_zero(
            wasm_f64x2_add(rights, wasm_f64x2_mul(values, rightGains)));
        wasm_v128_store(out, wasm_i32x4_shuffle(newLefts, newRights, 0, 4, 1, 5));
        leftGains = wasm_f64x2_add(leftGains, leftSteps);
        rightGains = wasm_f64x2_add(rightGains, rightSteps);
        fractions = wasm_i32x4_add(fractions, fractionSteps);
        position += 2 * delta;
        out += 4;
    }
    left = wasm_f64x2_extract_lane(leftGains, 0);
    right = wasm_f64x2_extract_lane(rightGains, 0);
    return position;
}

// A frame's left and right sums share one vector: the products and roundings of two
// scalar sums in half the instructions.
template <typename Read>
std::uint64_t mixEach(float* out, const std::int16_t* data, std::uint64_t position,
                      std::uint64_t delta, std::int32_t frames, double& left, double& right,
                      double leftIncrement, double rightIncrement, Read read) {
    std::int32_t done = 0;
    if constexpr (std::is_same_v<Read, LinearRead>) {
        done = frames / 2 * 2;
        position = mixLinearPairs(out, data, position, delta, frames / 2, left, right,
                                  leftIncrement, rightIncrement);
    }
    v128_t gains = wasm_f64x2_make(left, right);
    const v128_t increments = wasm_f64x2_make(leftIncrement, rightIncrement);
    for (; done < frames; ++done) {
        const v128_t products = wasm_f64x2_mul(wasm_f64x2_splat(read(data, position)), gains);
        const v128_t sums =
            wasm_f64x2_add(wasm_f64x2_promote_low_f32x4(wasm_v128_load64_zero(out)), products);
        wasm_v128_store64_lane(out, wasm_f32x4_demote_f64x2_zero(sums), 0);
        gains = wasm_f64x2_add(gains, increments);
        position += delta;
        out += 2;
    }
    left = wasm_f64x2_extract_lane(gains, 0);
    right = wasm_f64x2_extract_lane(gains, 1);
    return position;
}
#else
// One frame at a time; the gains move by their increments.
template <typename Read>
std::uint64_t mixEach(float* out, const std::int16_t* data, std::uint64_t position,
                      std::uint64_t delta, std::int32_t frames, double& left, double& right,
                      double leftIncrement, double rightIncrement, Read read) {
    // Locals: through the references every frame would store and reload the gains.
    double l = left;
    double r = right;
    for (std::int32_t done = 0; done < frames; ++done) {
        addFrame(out, read(data, position), l, r);
        l += leftIncrement;
        r += rightIncrement;
        position += delta;
        out += 2;
    }
    left = l;
    right = r;
    return position;
}
#endif

// A filtered voice's frames, one at a time: each output feeds the next.
template <typename Read>
std::uint64_t mixFiltered(float* out, const std::int16_t* data, std::uint64_t position,
                          std::uint64_t delta, std::int32_t frames, double& left, double& right,
                          double leftIncrement, double rightIncrement, VoiceFilter& filter,
                          Read read) {
    const double a = filter.a;
    const double b = filter.b;
    const double c = filter.c;
    double y1 = filter.y1;
    double y2 = filter.y2;
    for (std::int32_t done = 0; done < frames; ++done) {
        const double y = a * read(data, position) + b * y1 + c * y2;
        y2 = y1;
        y1 = y;
        addFrame(out, y, left, right);
        left += leftIncrement;
        right += rightIncrement;
        position += delta;
        out += 2;
    }
    filter.y1 = y1;
    filter.y2 = y2;
    return position;
}

#if defined(__x86_64__)
// Four frames at a time with the roundings of the loops above: each value is exact in
// double precision (so fusing its product and sum changes nothing), and each product with
// a gain is rounded before its sum. A ramp's gains are byte × kByteToGain plus multiples
// of a float increment: multiples of 2^-43 below 2, so that every sum is exact and the
// gain of frame k is the start gain plus k increments, however it is summed.
template <bool kRamp, typename Read>
__attribute__((target("avx2,fma"))) std::uint64_t mixFours(
    float* destination, const std::int16_t* data, std::uint64_t position, std::uint64_t delta,
    std::int32_t frames, double& left, double& right, double leftIncrement, double rightIncrement,
    Read read) {
    const std::int32_t wideFrames = frames / 4 * 4;
    const __m256d unit = _mm256_set1_pd(Read::kWideUnit);
    const __m256d increments = _mm256_mul_pd(
        unit, _mm256_setr_pd(leftIncrement, rightIncrement, leftIncrement, rightIncrement));
    const __m256d fourIncrements =
        _mm256_add_pd(_mm256_add_pd(increments, increments), _mm256_add_pd(increments, increments));
    const __m256d startGains = _mm256_mul_pd(
        unit, _mm256_setr_pd(left, right, left + leftIncrement, right + rightIncrement));
    __m256d firstGains = startGains;  // frames 0 and 1 of the four
    __m256d secondGains = _mm256_add_pd(startGains, _mm256_add_pd(increments, increments));
    const __m256i stride = _mm256_set1_epi64x(static_cast<std::int64_t>(4 * delta));
    // Lanes hold frames 0, 2, 1, 3, so that unpacking within lanes pairs a value with
    // itself for the left and right sums of its frame.
    __m256i positions = _mm256_setr_epi64x(static_cast<std::int64_t>(position),
                                           static_cast<std::int64_t>(position + 2 * delta),
                                           static_cast<std::int64_t>(position + delta),
                                           static_cast<std::int64_t>(position + 3 * delta));
    float* out = destination;
    for (std::int32_t done = 0; done < wideFrames; done += 4) {
        const __m256d values = fourValues(read, data, position, delta, positions);
        position += 4 * delta;
        positions = _mm256_add_epi64(positions, stride);
        const __m256d firstSums =
            _mm256_add_pd(_mm256_cvtps_pd(_mm_loadu_ps(out)),
                          _mm256_mul_pd(_mm256_unpacklo_pd(values, values), firstGains));
        const __m256d secondSums =
            _mm256_add_pd(_mm256_cvtps_pd(_mm_loadu_ps(out + 4)),
                          _mm256_mul_pd(_mm256_unpackhi_pd(values, values), secondGains));
        _mm_storeu_ps(out, _mm256_cvtpd_ps(firstSums));
        _mm_storeu_ps(out + 4, _mm256_cvtpd_ps(secondSums));
        if constexpr (kRamp) {
            firstGains = _mm256_add_pd(firstGains, fourIncrements);
            secondGains = _mm256_add_pd(secondGains, fourIncrements);
        }
        out += 8;
    }
    const __m128d ended =
        _mm_mul_pd(_mm256_castpd256_pd128(firstGains), _mm_set1_pd(1 / Read::kWideUnit));
    left = _mm_cvtsd_f64(ended);
    right = _mm_cvtsd_f64(_mm_unpackhi_pd(ended, ended));
    return mixEach(out, data, position, delta, frames - wideFrames, left, right, leftIncrement,
                   rightIncrement, read);
}

const bool wideLoops =
    (__builtin_cpu_init(), __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"));
#else
// Without AVX2 (WebAssembly) four frames at a time are one at a time.
template <bool kRamp, typename Read>
std::uint64_t mixFours(float* destination, const std::int16_t* data, std::uint64_t position,
                       std::uint64_t delta, std::int32_t frames, double& left, double& right,
                       double leftIncrement, double rightIncrement, Read read) {
    return mixEach(destination, data, position, delta, frames, left, right, leftIncrement,
                   rightIncrement, read);
}

constexpr bool wideLoops = false;
#endif

template <typename Read>
std::uint64_t mixRead(float* out, const std::int16_t* data, std::uint64_t position,
                      std::uint64_t delta, std::int32_t frames, double& left, double& right,
                      double leftIncrement, double rightIncrement, VoiceFilter& filter, Read read) {
    if (filter.on) {
        return mixFiltered(out, data, position, delta, frames, left, right, leftIncrement,
                           rightIncrement, filter, read);
    }
    if (!wideLoops) {
        return mixEach(out, data, position, delta, frames, left, right, leftIncrement,
                       rightIncrement, read);
    }
    if (leftIncrement == 0 && rightIncrement == 0) {
        return mixFours<false>(out, data, position, delta, frames, left, right, 0, 0, read);
    }
    return mixFours<true>(out, data, position, delta, frames, left, right, leftIncrement,
                          rightIncrement, read);
}

// How a voice reads its frames, chosen once per voice and piece.
struct Reading {
    Interpolation mode;
    const KernelTable* kernel;  // for cubic and sinc
    const Voice* voice;
};

std::int64_t frameIndex(std::uint64_t position) {
    return static_cast<std::int64_t>(position) >> kFrameShift;
}

// How many of `frames` frames from `position`, moving by `step` forward or back, lie in
// frames low..high: none when the first does not.
std::int32_t framesWithin(std::uint64_t position, std::uint64_t step, bool forward,
                          std::int64_t low, std::int64_t high, std::int32_t frames) {
    const std::int64_t index = frameIndex(position);
    if (index < low || index > high) return 0;
    const auto at = static_cast<std::int64_t>(position);
    const auto distance = static_cast<std::uint64_t>(
        forward ? (((high + 1) << kFrameShift) - 1 - at) : (at - (low << kFrameShift)));
    return static_cast<std::int32_t>(
        std::min(distance / step + 1, static_cast<std::uint64_t>(frames)));
}

std::int64_t floorMod(std::int64_t value, std::int64_t modulus) {
    const std::int64_t rest = value % modulus;
    return rest < 0 ? rest + modulus : rest;
}

// The `count` frames playback reads from index `first` on: the sample's own within
// the part it plays; past its end the loop once more (mirrored for ping-pong), as also
// before the loop's start once the voice has looped; silence around a sample without a loop.
void stitchFrames(std::int16_t* to, std::int32_t count, const Sample& sample, bool looped,
                  std::int64_t first) {
    const std::int64_t start = sample.loopStart;
    const std::int64_t length = sample.loopLength;
    const std::int64_t end = start + length;
    const bool repeats = sample.loopType != LoopType::none && length > 0;
    const bool mirrored = sample.loopType == LoopType::pingPong;
    const std::int64_t period = mirrored ? 2 * length : std::max<std::int64_t>(length, 1);
    std::int64_t turn = floorMod(first - start, period);  // where in the loop's period j lies
    for (std::int32_t k = 0; k < count; ++k) {
        const std::int64_t j = first + k;
        const bool own = !repeats || (j < end && (!looped || j >= start));
        if (own) {
            to[k] = j >= 0 && j < end ? sample.data[j] : std::int16_t{0};
        } else {
            to[k] = sample.data[turn < length ? start + turn : end - 1 - (turn - length)];
        }
        turn = turn + 1 == period ? 0 : turn + 1;
    }
}

// A kernel reads frames on both sides of the position. Where they all lie within what the
// sample's data holds as played, it reads the data; near the loop's ends and the sample's
// edges it reads a stitched copy of the frames playback meets there.
template <std::int32_t kTaps>
std::uint64_t mixStitched(float* out, const Reading& reading, std::uint64_t position,
                          std::uint64_t delta, std::int32_t frames, double& left, double& right,
                          double leftIncrement, double rightIncrement, VoiceFilter& filter) {
    constexpr std::int64_t kBehind = kTaps / 2 - 1;
    constexpr std::int64_t kAhead = kTaps / 2;
    const KernelRead<kTaps> read{reading.kernel->weights};
    const Sample& sample = *reading.voice->sample;
    const bool looped = reading.voice->looped && sample.loopType != LoopType::none;
    // The data's own zero frame before the first is read as played until the voice loops.
    const std::int64_t low = (looped ? std::int64_t{sample.loopStart} : -1) + kBehind;
    const std::int64_t high = std::int64_t{sample.loopStart} + sample.loopLength - 1 - kAhead;
    const bool forward = static_cast<std::int64_t>(delta) > 0;
    const std::uint64_t step = forward ? delta : 0 - delta;
    while (frames > 0) {
        std::int32_t length = framesWithin(position, step, forward, low, high, frames);
        if (length > 0) {
            position = mixRead(out, sample.data, position, delta, length, left, right,
                               leftIncrement, rightIncrement, filter, read);
        } else {
            const std::int64_t index = frameIndex(position);
            const std::int64_t first =
                forward ? index - kBehind : index + kAhead - (kStitchedFrames - 1);
            length = framesWithin(position, step, forward, first + kBehind,
                                  first + kStitchedFrames - 1 - kAhead, frames);
            // Only the frames this piece reads.
            const std::int64_t last =
                frameIndex(position + delta * static_cast<std::uint64_t>(length - 1));
            const std::int64_t lowest = std::min(index, last) - kBehind - first;
            const std::int64_t highest = std::max(index, last) + kAhead - first;
            std::int16_t stitched[kStitchedFrames];
            stitchFrames(stitched + lowest, static_cast<std::int32_t>(highest - lowest + 1), sample,
                         reading.voice->looped, first + lowest);
            const std::uint64_t origin = static_cast<std::uint64_t>(first) << kFrameShift;
            position = mixRead(out, stitched, position - origin, delta, length, left, right,
                               leftIncrement, rightIncrement, filter, read) +
                       origin;
        }
        out += 2 * length;
        frames -= length;
    }
    return position;
}

// Without `out` the position and gains move as mixing would move them: every sum of a
// gain and its increments is exact (see mixFours).
[[gnu::always_inline]] inline std::uint64_t mixSegment(float* out, const Reading& reading,
                                                       std::uint64_t position, std::uint64_t delta,
                                                       std::int32_t frames, double& left,
                                                       double& right, double leftIncrement,
                                                       double rightIncrement, VoiceFilter& filter) {
    if (!out) {
        left += leftIncrement * frames;
        right += rightIncrement * frames;
        return position + delta * static_cast<std::uint64_t>(frames);
    }
    const std::int16_t* data = reading.voice->sample->data;
    switch (reading.mode) {
        case Interpolation::nearest:
            return mixRead(out, data, position, delta, frames, left, right, leftIncrement,
                           rightIncrement, filter, NearestRead{});
        case Interpolation::cubic:
            return mixStitched<kCubicTaps>(out, reading, position, delta, frames, left, right,
                                           leftIncrement, rightIncrement, filter);
        case Interpolation::sinc:
            return mixStitched<kSincTaps>(out, reading, position, delta, frames, left, right,
                                          leftIncrement, rightIncrement, filter);
        case Interpolation::linear:
            break;
    }
    if (filter.on) {
        return mixFiltered(out, data, position, delta, frames, left, right, leftIncrement,
                           rightIncrement, filter, LinearRead{});
    }
    if (wideLoops) {
        return mixWide(out, data, position, delta, frames, left, right, leftIncrement,
                       rightIncrement);
    }
    if (leftIncrement == 0 && rightIncrement == 0) {
        return mixAtGains(out, data, position, delta, frames, left, right);
    }
    return mixRamp(out, data, position, delta, frames, left, right, leftIncrement, rightIncrement);
}

float rampIncrement(std::int32_t difference, float scale) {
    return static_cast<float>(difference * static_cast<double>(kByteToGain) * scale);
}

std::uint8_t gainToByte(double gain) {
    return static_cast<std::uint8_t>(std::clamp(std::nearbyint(gain * kMaxByte), 0.0, kMaxByte));
}

// Sets up the volume ramp for the coming segment; false when the voice plays at its
// target volumes. A ramp still running with unchanged targets goes on from the applied
// volumes over the frames it has left, so that it ends at the targets on time whatever
// cut it into segments; a side already at its target stays there.
bool prepareRamp(Voice& voice, std::int32_t rampFrames) {
    const bool targetsKept =
        voice.leftVolume == voice.rampTargetLeft && voice.rightVolume == voice.rampTargetRight;
    if (voice.rampFramesLeft == 0 || !targetsKept) {
        voice.rampTargetLeft = voice.leftVolume;
        voice.rampTargetRight = voice.rightVolume;
        const bool moving =
            voice.currentLeft != voice.leftVolume || voice.currentRight != voice.rightVolume;
        voice.rampFramesLeft = moving ? rampFrames : 0;
    }
    if (voice.rampFramesLeft == 0) return false;
    const float scale = 1.0f / static_cast<float>(voice.rampFramesLeft);
    voice.rampIncLeft = rampIncrement(voice.rampTargetLeft - voice.currentLeft, scale);
    voice.rampIncRight = rampIncrement(voice.rampTargetRight - voice.currentRight, scale);
    return true;
}

// A finished ramp leaves the applied volumes exactly at the targets.
void finishRamp(Voice& voice, std::int32_t frames, double left, double right) {
    voice.rampFramesLeft -= frames;
    if (voice.rampFramesLeft == 0) {
        voice.currentLeft = voice.rampTargetLeft;
        voice.currentRight = voice.rampTargetRight;
    } else {
        voice.currentLeft = gainToByte(left);
        voice.currentRight = gainToByte(right);
    }
}

// Integer parts compared as signed: a position just below frame 0 lies below any loop.
bool below(std::uint64_t position, std::uint64_t bound) {
    return static_cast<std::int64_t>(position) < static_cast<std::int64_t>(bound);
}

void wrapForward(Voice& voice, std::uint64_t loopLength, std::uint64_t loopEnd) {
    do {
        voice.position -= loopLength;
    } while (!below(voice.position, loopEnd));
}

// Mirrors the position at the boundary it crossed, and again at the other one while a
// loop shorter than the overshoot leaves it outside.
void reflect(Voice& voice, std::uint64_t loopStart, std::uint64_t loopEnd) {
    bool atEnd = voice.direction != kBackward;
    for (;;) {
        if (atEnd) {
            voice.position = 2 * loopEnd - kLeastFraction - voice.position;
            voice.direction = kBackward;
            if (!below(voice.position, loopStart)) return;
        } else {
            voice.position = 2 * loopStart - kLeastFraction - voice.position;
            voice.direction = kForward;
            if (below(voice.position, loopEnd)) return;
        }
        atEnd = !atEnd;
    }
}

// Frames the voice plays before it reaches the boundary ahead of it, counted in 2^-24
// frame and rounded up; more than `frames` when the boundary lies beyond them. A voice
// standing on its boundary reaches it at once even without a step: the end of a sample
// without frames has no data to read.
std::uint64_t framesToBoundary(std::uint64_t distance, std::uint64_t stepUnits,
                               std::int32_t frames) {
    if (distance == 0) return 0;
    if ((distance >> kFrameShift) >= kFarFrames || stepUnits == 0) {
        return static_cast<std::uint64_t>(frames) + 1;
    }
    return ((distance >> kUnitShift) + stepUnits - 1) / stepUnits;
}

// The sample waiting on the voice plays its loop from the start of the loop; one without
// a loop plays nothing.
void takeNextSample(Mixer& mixer, Voice& voice) {
    const Sample* next = voice.nextSample;
    voice.nextSample = nullptr;
    voice.direction = kForward;
    if (next->loopType == LoopType::none || next->length == 0) {
        voice.sample = nullptr;
        voice.position = 0;
        markPlaying(mixer.playing, voice.index, false);
        return;
    }
    voice.sample = next;
    voice.position = std::uint64_t{next->loopStart} << kFrameShift;
    voice.looped = true;
}

// Bounds what a segment from `from` to `to` added: its frames' largest magnitude at the
// larger of its gains. Outside the inner loops, for the level meters alone.
void notePeak(Voice& voice, std::uint64_t from, std::uint64_t to, double gain) {
    const Sample& sample = *voice.sample;
    if (!sample.data) return;
    const std::uint64_t first = std::min(from, to) >> kFrameShift;
    const std::uint64_t last =
        std::min((std::max(from, to) >> kFrameShift) + 1, std::uint64_t{sample.length});
    // Lowest and highest apart: each loop is then one vector instruction per 8 frames.
    std::int16_t lowest = 0;
    std::int16_t highest = 0;
    const std::int16_t* frames = sample.data;
    for (std::uint64_t i = first; i <= last; ++i) {
        lowest = std::min(lowest, frames[i]);
        highest = std::max(highest, frames[i]);
    }
    const std::int32_t most = std::max(-std::int32_t{lowest}, std::int32_t{highest});
    voice.peak = std::max(voice.peak, static_cast<float>(most * std::abs(gain)));
}

void mixVoice(Mixer& mixer, Voice& voice, float* out, std::int32_t frames, Interpolation mode) {
    const std::int32_t rampFrames = mixer.output.rampFrames;
    const Sample* sample = voice.sample;
    const bool pingPong = sample->loopType == LoopType::pingPong;
    const bool looped = pingPong || sample->loopType == LoopType::forward;
    const std::uint64_t loopStart = std::uint64_t{sample->loopStart} << kFrameShift;
    const std::uint64_t loopLength = std::uint64_t{sample->loopLength} << kFrameShift;
    const std::uint64_t loopEnd = loopStart + loopLength;
    const std::uint64_t stepUnits = (voice.step >> kUnitShift) & kUnitMask;
    const double rightPhase = voice.surround ? -1.0 : 1.0;
    const bool measure = mixer.measurePeaks && out;
    const double amplification = voice.amplification;
    const Reading reading{mode,
                          mode == Interpolation::cubic  ? &cubicKernel()
                          : mode == Interpolation::sinc ? &sincKernel(voice.step)
                                                        : nullptr,
                          &voice};
    std::int32_t remaining = frames;
    while (remaining > 0) {
        const bool forward = voice.direction != kBackward;
        const std::uint64_t distance =
            forward ? loopEnd - voice.position : voice.position - loopStart;
        const std::uint64_t toBoundary = framesToBoundary(distance, stepUnits, remaining);
        bool reachesBoundary = toBoundary <= static_cast<std::uint64_t>(remaining);
        std::int32_t length = reachesBoundary ? static_cast<std::int32_t>(toBoundary) : remaining;
        const std::uint64_t delta = forward ? voice.step : 0 - voice.step;
        if (prepareRamp(voice, rampFrames)) {
            if (voice.rampFramesLeft < length) {
                length = voice.rampFramesLeft;
                reachesBoundary = false;
            }
            const double scale = static_cast<double>(kByteToGain) * amplification;
            double left = voice.currentLeft * scale;
            double right = voice.currentRight * scale * rightPhase;
            const std::uint64_t from = voice.position;
            voice.position =
                mixSegment(out, reading, voice.position, delta, length, left, right,
                           voice.rampIncLeft * amplification,
                           voice.rampIncRight * amplification * rightPhase, voice.filter);
            finishRamp(voice, length, left / amplification, right * rightPhase / amplification);
            if (measure) {
                notePeak(voice, from, voice.position,
                         std::max({std::abs(left), std::abs(right), voice.currentLeft * scale,
                                   voice.currentRight * scale}));
            }
        } else if (voice.leftVolume == 0 && voice.rightVolume == 0 && !voice.filter.on) {
            voice.position += delta * static_cast<std::uint64_t>(length);  // adds only zeros
        } else {
            const double scale = static_cast<double>(kByteToGain) * amplification;
            double left = voice.leftVolume * scale;
            double right = voice.rightVolume * scale * rightPhase;
            const std::uint64_t from = voice.position;
            voice.position = mixSegment(out, reading, voice.position, delta, length, left, right, 0,
                                        0, voice.filter);
            if (measure) notePeak(voice, from, voice.position, std::max(left, std::abs(right)));
        }
        if (out) out += 2 * length;
        remaining -= length;
        if (!reachesBoundary) continue;
        if (voice.nextSample) {
            takeNextSample(mixer, voice);
            if (voice.sample && remaining > 0) mixVoice(mixer, voice, out, remaining, mode);
            return;
        }
        if (!looped) {
            voice.sample = nullptr;
            voice.position = 0;
            markPlaying(mixer.playing, voice.index, false);
            return;
        }
        voice.looped = true;
        if (pingPong) {
            reflect(voice, loopStart, loopEnd);
        } else {
            wrapForward(voice, loopLength, loopEnd);
        }
    }
}

}  // namespace

std::uint64_t mixAtGains(float* destination, const std::int16_t* data, std::uint64_t position,
                         std::uint64_t delta, std::int32_t frames, double left, double right) {
#if defined(__wasm_simd128__)
    // Zero increments leave the gains, which are never -0, as they are.
    return mixEach(destination, data, position, delta, frames, left, right, 0, 0, LinearRead{});
#else
    float* out = destination;
    std::int32_t done = 0;
    for (; done + 2 <= frames; done += 2) {
        const double first = valueAt(data, position);
        const double second = valueAt(data, position + delta);
        position += 2 * delta;
        addFrame(out, first, left, right);
        addFrame(out + 2, second, left, right);
        out += 4;
    }
    if (done < frames) {
        addFrame(out, valueAt(data, position), left, right);
        position += delta;
    }
    return position;
#endif
}

std::uint64_t mixRamp(float* destination, const std::int16_t* data, std::uint64_t position,
                      std::uint64_t delta, std::int32_t frames, double& left, double& right,
                      double leftIncrement, double rightIncrement) {
    return mixEach(destination, data, position, delta, frames, left, right, leftIncrement,
                   rightIncrement, LinearRead{});
}

std::uint64_t mixWide(float* destination, const std::int16_t* data, std::uint64_t position,
                      std::uint64_t delta, std::int32_t frames, double& left, double& right,
                      double leftIncrement, double rightIncrement) {
    if (leftIncrement == 0 && rightIncrement == 0) {
        return mixFours<false>(destination, data, position, delta, frames, left, right, 0, 0,
                               LinearRead{});
    }
    return mixFours<true>(destination, data, position, delta, frames, left, right, leftIncrement,
                          rightIncrement, LinearRead{});
}

void mixVoices(Mixer& mixer, float* destination, std::int32_t frames) {
    if (frames < 1 || !mixer.voicePool) return;
    const Interpolation mode = mixer.interpolation;
    for (std::int32_t word = 0; word < kVoiceCount / PlayingVoices::kWordBits; ++word) {
        for (std::uint64_t bits = mixer.playing.words[word]; bits != 0; bits &= bits - 1) {
            const std::int32_t index = word * PlayingVoices::kWordBits + std::countr_zero(bits);
            mixVoice(mixer, mixer.voicePool[index], destination, frames, mode);
        }
    }
}

void advanceVoices(Mixer& mixer, std::int32_t frames) {
    mixVoices(mixer, nullptr, frames);
}

// Clipping first keeps every value within what the conversion and the packing carry
// unchanged; the conversion rounds to nearest, ties to even.
void convertToPcm16(std::int16_t* destination, const float* source, std::int32_t frames) {
    if (frames <= 0 || !destination || !source) return;
    const __m128 low = _mm_set1_ps(kMinPcm);
    const __m128 high = _mm_set1_ps(kMaxPcm);
    const auto clipped = [&](std::int32_t at) {
        const __m128 values = _mm_min_ps(_mm_max_ps(_mm_loadu_ps(source + at), low), high);
#if defined(__wasm_simd128__)
        // Emulated, _mm_cvtps_epi32 converts one lane at a time through lrint.
        return wasm_i32x4_trunc_sat_f32x4(wasm_f32x4_nearest(values));
#else
        return _mm_cvtps_epi32(values);
#endif
    };
    const std::int32_t values = 2 * frames;
    std::int32_t done = 0;
    for (; done + 8 <= values; done += 8) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + done),
                         _mm_packs_epi32(clipped(done), clipped(done + 4)));
    }
    for (; done < values; ++done) {
        destination[done] = static_cast<std::int16_t>(
            _mm_cvtss_si32(_mm_min_ss(_mm_max_ss(_mm_set_ss(source[done]), low), high)));
    }
}

}  // namespace vorn3
