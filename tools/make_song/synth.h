// Sound synthesis in integer arithmetic only, so that the song's samples come out
// the same bytes on every machine and compiler.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace glint::song {

inline constexpr std::int32_t kUnit = 1 << 15;  // full scale of a synthesised value

// sin(2π · phase / 2^32), scaled to ±kUnit.
std::int32_t sine(std::uint32_t phase);

// The one generator of the tool's noise: xorshift, values ±kUnit.
struct Noise {
    std::uint32_t state;
    std::int32_t next();
};

// Frequency in millihertz as a phase step at a sample rate in hertz.
std::uint32_t phaseStep(std::int64_t milliHertz, std::int64_t rate);

// A multiplier in 1/65536 that shrinks a value by e over `frames` frames, near enough.
std::int32_t decayPerFrame(std::int32_t frames);

struct Partial {
    std::int32_t cycles;     // over the whole loop
    std::int32_t amplitude;  // relative
    bool cosine = false;
};

// A loop of `length` frames holding the given partials, each a whole number of cycles,
// so that it joins without a seam.
std::vector<std::int32_t> partials(std::uint32_t length, std::initializer_list<Partial> list);
std::vector<std::int32_t> partials(std::uint32_t length, const std::vector<Partial>& list);

// Harmonic series of a tone: `cycles` periods in the loop, harmonics up to `count`, with
// amplitude 1/n (saw), odd ones only (square), or 1/n² odd (triangle-like); a second copy
// one period faster beats against it when `chorus` is set.
enum class Wave : std::uint8_t { saw, square, triangle, organ, soft };
std::vector<Partial> harmonics(Wave wave, std::int32_t cycles, std::int32_t count,
                               bool chorus = false, bool cosine = false);

// One-pole low-pass with coefficient a/65536, in place.
void lowPass(std::vector<std::int32_t>& values, std::int32_t a);
void highPass(std::vector<std::int32_t>& values, std::int32_t a);

// Scales to the given peak and rounds to frames.
std::vector<std::int16_t> normalise(const std::vector<std::int32_t>& values, std::int32_t peak);

}  // namespace glint::song
