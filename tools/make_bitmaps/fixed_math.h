// Integer arithmetic for the pictures: every machine must draw the same bytes, so
// nothing here touches floating point or the C library's random numbers.
#pragma once

#include <cstdint>

namespace glint::art {

// Fractions are Q16: kOne is 1.0.
inline constexpr std::int32_t kOne = 1 << 16;
// Positions on a picture are Q8 pixels: kPixel is one pixel.
inline constexpr std::int32_t kPixel = 1 << 8;
// Angles are Q16 turns: kTurn is a full circle.
inline constexpr std::int64_t kTurn = std::int64_t{1} << 16;
inline constexpr std::int64_t kDiagonal = 46341;  // Q16 of 1/√2

std::uint32_t squareRoot(std::uint64_t value);  // floor of the root

// Q16 sine of a Q16 angle in turns; any angle, wrapped to one turn.
std::int32_t sine(std::int64_t turns);

// Well-mixed 32 bits from three inputs.
std::uint32_t hash(std::uint32_t a, std::uint32_t b, std::uint32_t c);

std::int32_t clampUnit(std::int64_t value);             // into 0..kOne
std::int32_t multiply(std::int32_t a, std::int32_t b);  // Q16 product
std::int32_t blend(std::int32_t from, std::int32_t to, std::int32_t t);
// Octaves of gradient noise over a square tile of `tileSize` pixels that repeats
// seamlessly; x and y are Q8 pixels. `turbulent` sums magnitudes, for sharper veins.
struct NoiseOctaves {
    std::int32_t tileSize = 128;
    std::int32_t period = 2;   // cells across the tile in the first octave
    std::int32_t periodY = 0;  // 0: same as period; otherwise stretched noise
    std::int32_t octaves = 5;
    std::uint32_t seed = 0;
    bool turbulent = false;
};
std::int32_t fractalNoise(std::int64_t x, std::int64_t y, const NoiseOctaves& octaves);

}  // namespace glint::art
