// The voice mixer and the conversion to 16-bit PCM. Both run only on the mixing side.
#pragma once

#include <cstdint>

#include "mixer/mixer.h"

namespace vorn3 {

// 1/255 as the mixer applies it: a volume byte b is the gain b × kByteToGain.
inline constexpr float kByteToGain = 0.003921569f;

// Adds `frames` stereo frames (two floats each, left first, in 16-bit units) of every
// voice of the mixer's pool into destination, advancing positions, loops and volume ramps.
void mixVoices(Mixer& mixer, float* destination, std::int32_t frames);
// Advances every voice as mixVoices would, to the same positions, loops and ramps,
// adding nothing.
void advanceVoices(Mixer& mixer, std::int32_t frames);

// Rounds each of frames × 2 values to the nearest integer (ties to even) and clips it
// to 16 bits.
void convertToPcm16(std::int16_t* destination, const float* source, std::int32_t frames);

// The inner loops, exposed for their comparison. Each adds `frames` frames of one voice
// whose 32.32 position moves by `delta` per frame (two's complement: negative plays
// backward) and returns the position after them. mixAtGains holds the gains; mixRamp
// moves them by the increments after every frame and leaves them where they ended.
// mixWide does either, four frames at a time, on CPUs with AVX2 and FMA, where the
// mixer uses it for both.
std::uint64_t mixAtGains(float* destination, const std::int16_t* data, std::uint64_t position,
                         std::uint64_t delta, std::int32_t frames, double left, double right);
std::uint64_t mixRamp(float* destination, const std::int16_t* data, std::uint64_t position,
                      std::uint64_t delta, std::int32_t frames, double& left, double& right,
                      double leftIncrement, double rightIncrement);
std::uint64_t mixWide(float* destination, const std::int16_t* data, std::uint64_t position,
                      std::uint64_t delta, std::int32_t frames, double& left, double& right,
                      double leftIncrement, double rightIncrement);

}  // namespace vorn3
