#include "mixer/voice.h"

#include <algorithm>

#include "mixer/mixer.h"

namespace vorn3 {
namespace {

constexpr std::int64_t kFullPan = 255;

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
    return index;
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
