// The engine's one pseudo-random generator, shared by the tunnel and the deformers.
#pragma once

#include <cstdint>

namespace glint {

// 0 .. 32767; the show never reseeds, so its sequence is the same on every run.
std::int32_t randomInt();

// Back to the state at process start; for tests.
void resetRandom();

}  // namespace glint
