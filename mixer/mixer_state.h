// The mixer's process-wide state: the output settings, the voice pool and mixList.
#pragma once

#include <cstdint>

#include "mixer/list.h"
#include "mixer/voice.h"

namespace vorn3 {

inline constexpr std::int32_t kDefaultBufferLengthMs = 200;
inline constexpr std::int32_t kChunkMs = 20;

struct OutputSettings {
    std::int32_t bufferLengthMs = kDefaultBufferLengthMs;  // a multiple of kChunkMs
    std::int32_t outputRate = 0;                           // Hz; 0 until the first openAudio
    std::int32_t chunkFrames = 0;  // output frames per chunk, a multiple of 4
    std::int32_t ringFrames = 0;   // output frames, twice bufferLengthMs
    float secondsPerFrame = 0;
    std::int32_t rampFrames = 0;  // output frames of a volume ramp
    float rampScale = 0;          // 1 / rampFrames
};

struct MixerState {
    OutputSettings output;
    Voice* voicePool = nullptr;            // kVoiceCount voices while the output is open, else null
    ListLink mixList{&mixList, &mixList};  // sentinel; every pool voice in index order
};

MixerState& mixerState();

// Closes the output and returns to the settings at program start.
void resetMixerState();

}  // namespace vorn3
