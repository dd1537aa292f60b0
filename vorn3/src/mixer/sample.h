// A sample as voices play it: 16-bit frames with a loop, and the defaults a note of it
// starts with.
#pragma once

#include <climits>
#include <cstdint>

namespace vorn3 {

inline constexpr std::int32_t kNoGuard = INT32_MIN;
inline constexpr std::int32_t kNoPanning = -1;
// Zero frames allocated after a sample's last frame; the guard frame is the first.
inline constexpr std::uint32_t kSpareFrames = 8;

enum class LoopType : std::uint8_t { none = 1, forward = 2, pingPong = 4 };

struct Sample {
    // Frames, with one zero frame before data[0] and kSpareFrames after the last;
    // null when length is 0.
    std::int16_t* data;
    std::uint32_t length;      // frames
    std::uint32_t loopStart;   // frames
    std::uint32_t loopLength;  // frames; loopStart + loopLength ends the played part, <= length
    std::uint8_t volume;       // 0..64
    std::int8_t finetune;      // 1/128 semitone
    std::int32_t guardValue;   // the frame the guard frame replaced, or kNoGuard
    std::int32_t panning;      // 0 left .. 255 right; kNoPanning: the channel's stays
    std::uint8_t bits;         // 8 or 16; 16 once its data is loaded
    LoopType loopType;
    std::int8_t relativeNote;   // semitones
    std::uint8_t globalVolume;  // 0..kFullSampleGlobalVolume, of every note of it
};

inline constexpr std::uint8_t kFullSampleGlobalVolume = 64;

}  // namespace vorn3
