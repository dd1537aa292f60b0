#include "tools/make_bitmaps/fixed_math.h"

#include <array>

namespace glint::art {
namespace {

// Taylor coefficients of sin(π/2 · u) in Q30, enough for Q16 results.
constexpr std::int64_t kSineC1 = 1686629713;
constexpr std::int64_t kSineC3 = 693598668;
constexpr std::int64_t kSineC5 = 85569306;
constexpr std::int64_t kSineC7 = 5026995;
constexpr std::int64_t kSineC9 = 172272;
constexpr int kQ30 = 30;

// Eight gradients of equal length, so that no direction dominates the noise.
constexpr std::array<std::array<std::int32_t, 2>, 8> kGradients{
    {{2, 1}, {1, 2}, {-1, 2}, {-2, 1}, {-2, -1}, {-1, -2}, {1, -2}, {2, -1}}};

std::int64_t fade(std::int64_t t) {
    const std::int64_t inner = (t * (6 * t - 15 * kOne) >> 16) + 10 * kOne;
    return (((t * t >> 16) * t >> 16) * inner) >> 16;
}

std::int32_t wrap(std::int64_t i, std::int32_t period) {
    return static_cast<std::int32_t>((i % period + period) % period);
}

std::int64_t cornerDot(std::int64_t ix, std::int64_t iy, std::int64_t dx, std::int64_t dy,
                       std::int32_t periodX, std::int32_t periodY, std::uint32_t seed) {
    const auto& g = kGradients[hash(static_cast<std::uint32_t>(wrap(ix, periodX)),
                                    static_cast<std::uint32_t>(wrap(iy, periodY)), seed) &
                               7];
    return g[0] * dx + g[1] * dy;
}

// Gradient noise on a lattice that repeats every `periodX` cells across and `periodY`
// down; x and y are Q16 cells. Result roughly −kOne..kOne.
std::int32_t latticeNoise(std::int64_t x, std::int64_t y, std::int32_t periodX,
                          std::int32_t periodY, std::uint32_t seed) {
    const std::int64_t ix = x >> 16;
    const std::int64_t iy = y >> 16;
    const std::int64_t fx = x & (kOne - 1);
    const std::int64_t fy = y & (kOne - 1);
    const auto corner = [&](std::int64_t cx, std::int64_t cy) {
        return cornerDot(ix + cx, iy + cy, fx - cx * kOne, fy - cy * kOne, periodX, periodY, seed);
    };
    const std::int64_t u = fade(fx);
    const std::int64_t top = corner(0, 0) + (u * (corner(1, 0) - corner(0, 0)) >> 16);
    const std::int64_t bottom = corner(0, 1) + (u * (corner(1, 1) - corner(0, 1)) >> 16);
    return static_cast<std::int32_t>((top + (fade(fy) * (bottom - top) >> 16)) / 2);
}

}  // namespace

std::uint32_t squareRoot(std::uint64_t value) {
    std::uint64_t root = 0;
    std::uint64_t bit = std::uint64_t{1} << 62;
    while (bit > value)
        bit >>= 2;
    while (bit != 0) {
        if (value >= root + bit) {
            value -= root + bit;
            root = (root >> 1) + bit;
        } else {
            root >>= 1;
        }
        bit >>= 2;
    }
    return static_cast<std::uint32_t>(root);
}

std::int32_t sine(std::int64_t turns) {
    const std::int64_t t = (turns % kTurn + kTurn) % kTurn;
    const std::int64_t quarter = kTurn / 4;
    const std::int64_t quadrant = t / quarter;
    const std::int64_t within = t % quarter;
    const std::int64_t u = (quadrant % 2 == 0 ? within : quarter - within) << 16;
    const std::int64_t u2 = u * u >> kQ30;
    std::int64_t p = kSineC9;
    p = kSineC7 - (p * u2 >> kQ30);
    p = kSineC5 - (p * u2 >> kQ30);
    p = kSineC3 - (p * u2 >> kQ30);
    p = kSineC1 - (p * u2 >> kQ30);
    const auto magnitude = static_cast<std::int32_t>(((p * u >> kQ30) + (1 << 13)) >> 14);
    return quadrant < 2 ? magnitude : -magnitude;
}

std::uint32_t hash(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    std::uint32_t h = a * 0x9E3779B1u ^ (b + 0x7F4A7C15u) * 0x85EBCA77u ^ (c + 1u) * 0xC2B2AE3Du;
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}

std::int32_t clampUnit(std::int64_t value) {
    return static_cast<std::int32_t>(value < 0 ? 0 : value > kOne ? kOne : value);
}

std::int32_t multiply(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(std::int64_t{a} * b >> 16);
}

std::int32_t blend(std::int32_t from, std::int32_t to, std::int32_t t) {
    return from + static_cast<std::int32_t>(std::int64_t{to - from} * t >> 16);
}

std::int32_t fractalNoise(std::int64_t x, std::int64_t y, const NoiseOctaves& octaves) {
    std::int64_t sum = 0;
    std::int64_t weight = 0;
    for (std::int32_t octave = 0; octave < octaves.octaves; ++octave) {
        const std::int32_t periodX = octaves.period << octave;
        const std::int32_t periodY = (octaves.periodY ? octaves.periodY : octaves.period) << octave;
        const std::int64_t cellX = x * periodX * kPixel / octaves.tileSize;
        const std::int64_t cellY = y * periodY * kPixel / octaves.tileSize;
        const std::uint32_t seed = octaves.seed + static_cast<std::uint32_t>(octave) * 0x632BE5ABu;
        std::int64_t n = latticeNoise(cellX, cellY, periodX, periodY, seed);
        if (octaves.turbulent && n < 0) n = -n;
        const std::int64_t amplitude = kOne >> octave;
        sum += n * amplitude >> 16;
        weight += amplitude;
    }
    return static_cast<std::int32_t>(sum * kOne / weight);
}

}  // namespace glint::art
