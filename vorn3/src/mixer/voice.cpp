#include "mixer/voice.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "mixer/mixer.h"

namespace vorn3 {
namespace {

constexpr std::int64_t kFullPan = 255;
// The cutoff's frequency: kLowestCutoffHz × 2^(cutoff / kCutoffUnitsPerOctave).
constexpr double kLowestCutoffHz = 130.8127826502993;  // 110 Hz × 2^(1/4): C-3
constexpr double kCutoffUnitsPerOctave = 24.0 * kFilterCutoffUnit;
// Each resonance step narrows the damping by 24 dB / 128.
constexpr double kDampingDbPerStep = 24.0 / 128.0;
// Output rates under π times the cutoff would make the recursion unstable at high
// resonance; the cutoff stays below a rate / π there.
constexpr double kLeastRateToCutoff = 0.5;  // of rate / (2π × cutoff)

void setFilterCoefficients(VoiceFilter& filter) {
    const double hz = kLowestCutoffHz * std::exp2(filter.cutoff / kCutoffUnitsPerOctave);
    const double r =
        std::max(filter.outputRate / (2.0 * std::numbers::pi * hz), kLeastRateToCutoff);
    const double damping = std::pow(10.0, -filter.resonance * kDampingDbPerStep / 20.0);
    const double d = damping * (r + 1.0) - 1.0;
    const double e = r * r;
    filter.a = 1.0 / (1.0 + d + e);
    filter.b = (d + 2.0 * e) * filter.a;
    filter.c = -e * filter.a;
}

// Integer quotients kept as their low 8 bits: pannings outside 0..255 wrap.
void updateSideVolumes(Voice& voice) {
    const std::int64_t volume = voice.volume;
    const std::int64_t panning = voice.panning;
    voice.leftVolume = static_cast<std::uint8_t>((kFullPan - panning) * volume / kFullPan);
    voice.rightVolume = static_cast<std::uint8_t>(panning * volume / kFullPan);
}

}  // namespace

Voice* voiceAt(Mixer& mixer, std::int32_t index) {
    Voice* pool = mixer.voicePool;
    if (!pool || index < 0 || index >= kVoiceCount) return nullptr;
    return &pool[index];
}

bool setVoiceFrequency(const Mixer& mixer, Voice& voice, std::int32_t hz) {
    voice.frequency = hz;
    const auto clamped =
        static_cast<std::uint64_t>(std::clamp(hz, kMinVoiceFrequency, kMaxVoiceFrequency));
    voice.step = (clamped << 32) / static_cast<std::uint64_t>(mixer.output.outputRate);
    return true;
}

bool setVoiceVolume(Voice& voice, std::int32_t volume) {
    voice.volume = volume;
    updateSideVolumes(voice);
    return true;
}

bool setVoicePanning(Voice& voice, std::int32_t panning) {
    voice.panning = panning;
    updateSideVolumes(voice);
    return true;
}

void setVoiceFilter(const Mixer& mixer, Voice& voice, bool on, std::int32_t cutoff,
                    std::int32_t resonance) {
    VoiceFilter& filter = voice.filter;
    if (!on) {
        filter.on = false;
        return;
    }
    cutoff = std::clamp(cutoff, 0, kMaxFilterCutoff);
    resonance = std::clamp(resonance, 0, kMaxFilterResonance);
    const std::int32_t rate = mixer.output.outputRate;
    if (!filter.on) filter.y1 = filter.y2 = 0;
    if (filter.on && filter.cutoff == cutoff && filter.resonance == resonance &&
        filter.outputRate == rate) {
        return;
    }
    filter = {true, cutoff, resonance, rate, 0, 0, 0, filter.y1, filter.y2};
    setFilterCoefficients(filter);
}

std::int32_t triggerVoice(Mixer& mixer, std::int32_t index, const Sample* sample) {
    Voice* voice = voiceAt(mixer, index);
    if (!voice || !sample) return -1;
    voice->sample = sample;
    voice->nextSample = nullptr;
    markPlaying(mixer.playing, index, true);
    if (voice->startOffset >= sample->loopStart + sample->loopLength) voice->startOffset = 0;
    voice->position = static_cast<std::uint64_t>(voice->startOffset) << 32;
    voice->startOffset = 0;
    voice->direction = kForward;
    voice->looped = false;
    voice->filter.y1 = voice->filter.y2 = 0;
    return index;
}

void changeVoiceSample(Mixer& mixer, std::int32_t index, const Sample& sample) {
    Voice* voice = voiceAt(mixer, index);
    if (!voice || !voice->sample) return;
    voice->sample = &sample;
    const std::uint64_t end = std::uint64_t{sample.loopStart + sample.loopLength} << 32;
    // Heading back toward a loop's start it has already passed, it would run off the data.
    const bool beforeLoop = voice->position < (std::uint64_t{sample.loopStart} << 32);
    if (sample.loopType != LoopType::pingPong || beforeLoop) voice->direction = kForward;
    if (voice->position < end) return;
    if (sample.loopType == LoopType::none) {
        stopVoice(mixer, index);
        return;
    }
    const std::uint64_t start = std::uint64_t{sample.loopStart} << 32;
    voice->position = start + (voice->position - start) % (end - start);
    voice->looped = true;
}

void resetVoices(Mixer& mixer) {
    for (std::int32_t i = 0; mixer.voicePool && i < kVoiceCount; ++i) {
        mixer.voicePool[i] = Voice{};
        mixer.voicePool[i].index = i;
    }
    mixer.playing = {};
}

bool stopVoice(Mixer& mixer, std::int32_t index) {
    Voice* voice = voiceAt(mixer, index);
    if (!voice) return true;
    voice->position = 0;
    voice->sample = nullptr;
    voice->nextSample = nullptr;
    markPlaying(mixer.playing, index, false);
    return true;
}

}  // namespace vorn3
