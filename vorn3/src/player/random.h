// The random sequences of songs and notes: each keeps its own state and starts it alike at
// every start, so that renders repeat.
#pragma once

#include <cstdint>

namespace vorn3 {

inline constexpr std::int32_t kRandomHalfRange = 64;

// The next value of the sequence, -64..63.
inline std::int32_t drawRandom(std::uint32_t& state) {
    constexpr std::uint32_t kMultiplier = 1664525u;
    constexpr std::uint32_t kIncrement = 1013904223u;
    constexpr std::int32_t kShift = 25;  // the top 7 bits
    state = state * kMultiplier + kIncrement;
    return static_cast<std::int32_t>(state >> kShift) - kRandomHalfRange;
}

}  // namespace vorn3
