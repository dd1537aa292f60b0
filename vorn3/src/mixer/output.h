// The output's mixing pass, shared by the mixing thread, pumpAudio and renderAudio.
#pragma once

#include <cstdint>

namespace vorn3 {

// Mixes `frames` frames of every playing song into destination (stereo floats), calling
// each song's tickHook whenever its frames for the current tick run out.
void mixSongs(float* destination, std::int32_t frames);

}  // namespace vorn3
