#include "engine/random.h"

namespace glint {
namespace {

constexpr std::uint32_t kInitialState = 1;
constexpr std::uint32_t kMultiplier = 214013;
constexpr std::uint32_t kIncrement = 2531011;

std::uint32_t state = kInitialState;

}  // namespace

std::int32_t randomInt() {
    state = state * kMultiplier + kIncrement;
    return static_cast<std::int32_t>(state >> 16 & 0x7FFF);
}

void resetRandom() {
    state = kInitialState;
}

}  // namespace glint
