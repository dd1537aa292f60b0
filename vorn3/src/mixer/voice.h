// The voice pool: 256 mixer voices, each playing at most one sample. Clients set them
// only through the operations below; the mixer reads them and moves position,
// direction and ramp state.
#pragma once

#include <cstdint>

#include "mixer/sample.h"

namespace vorn3 {

inline constexpr std::int32_t kVoiceCount = 256;
inline constexpr std::int32_t kMinVoiceFrequency = 100;     // Hz
inline constexpr std::int32_t kMaxVoiceFrequency = 705600;  // Hz: 16 frames per frame at 44.1 kHz
inline constexpr std::int32_t kForward = 1;
inline constexpr std::int32_t kBackward = 2;
// The loudest volume a voice takes: its side volumes hold it in 8 bits at any panning.
inline constexpr std::int32_t kMaxVoiceVolume = 255;
// A filter's cutoff in 1/256 of its steps: 0 lowest, kMaxFilterCutoff highest (about 5 kHz);
// each 24 steps double the frequency.
inline constexpr std::int32_t kFilterCutoffUnit = 256;
inline constexpr std::int32_t kMaxFilterCutoff = 127 * kFilterCutoffUnit;
inline constexpr std::int32_t kMaxFilterResonance = 127;

// A resonant low-pass over the frames a voice reads, before its volume: y = a·x + b·y1 + c·y2.
struct VoiceFilter {
    bool on;                  // off: the voice mixes unfiltered, at no cost
    std::int32_t cutoff;      // 0..kMaxFilterCutoff, as last set
    std::int32_t resonance;   // 0..kMaxFilterResonance, as last set
    std::int32_t outputRate;  // Hz the coefficients were made for
    double a;
    double b;
    double c;
    double y1;  // the last output, in 16-bit units
    double y2;  // the one before it
};

struct Voice {
    std::int32_t index;         // place in the pool
    std::int32_t volume;        // as last set; the replayer gives 0..kMaxVoiceVolume
    std::int32_t frequency;     // Hz as last set, before clamping
    std::int32_t panning;       // 0 left .. 255 right, as last set
    std::uint32_t startOffset;  // frame the next trigger starts at; consumed by it
    const Sample* sample;       // null: silent
    // Takes over where the sample or its loop ends, playing its own loop; null: none.
    const Sample* nextSample;
    std::uint8_t leftVolume;       // target, low 8 bits of (255 - panning) × volume / 255
    std::uint8_t rightVolume;      // target, low 8 bits of panning × volume / 255
    std::uint64_t position;        // 32.32 frames
    std::uint64_t step;            // 32.32 frames per output frame
    std::int32_t direction;        // kForward or kBackward
    std::uint8_t rampTargetLeft;   // leftVolume when the running ramp was set up
    std::uint8_t rampTargetRight;  // rightVolume when the running ramp was set up
    std::uint8_t currentLeft;      // applied left volume, 0..255
    std::uint8_t currentRight;     // applied right volume, 0..255
    float rampIncLeft;             // left gain (volume / 255) per output frame
    float rampIncRight;            // right gain per output frame
    std::int32_t rampFramesLeft;   // output frames; 0 = no ramp
    VoiceFilter filter;
    bool surround;  // the right side plays in opposite phase
    // Has come to its loop's end at least once: a kernel reading back past the loop's
    // start then reads the loop's end.
    bool looped;
    // Scales the volumes beyond their byte's reach: a module's master volume above unity.
    double amplification = 1;
    // The largest magnitude it added to the chunk being mixed, in 16-bit units, where the
    // mixer measures it.
    float peak;
};

// One bit per pool voice, voice i at bit i % 64 of word i / 64: the mixer visits the
// voices that play in index order without walking the silent ones.
struct PlayingVoices {
    static constexpr std::int32_t kWordBits = 64;
    std::uint64_t words[kVoiceCount / kWordBits];
};

inline void markPlaying(PlayingVoices& playing, std::int32_t index, bool plays) {
    const std::uint64_t bit = std::uint64_t{1} << (index % PlayingVoices::kWordBits);
    std::uint64_t& word = playing.words[index / PlayingVoices::kWordBits];
    word = plays ? word | bit : word & ~bit;
}

struct Mixer;

// Voice i of the mixer's pool; null when the pool does not exist or i is outside it.
Voice* voiceAt(Mixer& mixer, std::int32_t index);

bool setVoiceFrequency(const Mixer& mixer, Voice& voice, std::int32_t hz);
bool setVoiceVolume(Voice& voice, std::int32_t volume);
bool setVoicePanning(Voice& voice, std::int32_t panning);
// Filters the voice at a cutoff (0..kMaxFilterCutoff) and resonance (0..kMaxFilterResonance),
// values outside them clamped; `on` false mixes it unfiltered. A filter turned on starts
// from silence, as does every trigger.
void setVoiceFilter(const Mixer& mixer, Voice& voice, bool on, std::int32_t cutoff,
                    std::int32_t resonance);
// Starts sample on voice i at its startOffset; returns i, or -1 (nothing changed) when
// there is no such voice or the sample is null.
std::int32_t triggerVoice(Mixer& mixer, std::int32_t index, const Sample* sample);
// Voice i plays on in `sample` from where it stands: within its loop where it stood past
// the loop's end, stopped where it stood past the end of a sample without one. Nothing
// when there is no such voice or it plays nothing.
void changeVoiceSample(Mixer& mixer, std::int32_t index, const Sample& sample);
// Every voice of the pool as a new pool has it.
void resetVoices(Mixer& mixer);
// Silences voice i; nothing when there is no such voice.
bool stopVoice(Mixer& mixer, std::int32_t index);

}  // namespace vorn3
