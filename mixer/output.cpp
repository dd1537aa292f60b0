#include <algorithm>
#include <cstdint>
#include <limits>
#include <new>

#include "mixer/mixer_state.h"
#include "player/player_state.h"
#include "player/song.h"
#include "vorn3/vorn3.h"

namespace vorn3 {
namespace {

// The range of rates sound devices offer; it keeps every derived length in range.
constexpr std::int32_t kMinOutputRate = 8000;
constexpr std::int32_t kMaxOutputRate = 384000;
constexpr std::int32_t kChunkFrameMultiple = 4;
constexpr std::int32_t kRampFramesAt44100 = 128;
constexpr std::int32_t kReferenceRate = 44100;

std::int32_t chunkFramesAt(std::int32_t rate) {
    const std::int32_t frames = rate * kChunkMs / 1000;
    return (frames + kChunkFrameMultiple - 1) / kChunkFrameMultiple * kChunkFrameMultiple;
}

}  // namespace

bool setBufferLength(std::int32_t milliseconds) {
    mixerState().output.bufferLengthMs = std::max(milliseconds, kChunkMs) / kChunkMs * kChunkMs;
    return true;
}

bool openAudio(std::int32_t outputRate) {
    if (!streamCallbacksSet()) return false;
    closeAudio();
    if (outputRate < kMinOutputRate || outputRate > kMaxOutputRate) return false;
    OutputSettings& output = mixerState().output;
    const std::int32_t chunkFrames = chunkFramesAt(outputRate);
    const std::int64_t ringFrames =
        std::int64_t{output.bufferLengthMs} / kChunkMs * chunkFrames * 2;
    if (ringFrames > std::numeric_limits<std::int32_t>::max()) return false;

    output.outputRate = outputRate;
    output.chunkFrames = chunkFrames;
    output.ringFrames = static_cast<std::int32_t>(ringFrames);
    output.secondsPerFrame = 1.0f / static_cast<float>(outputRate);
    output.rampFrames = outputRate * kRampFramesAt44100 / kReferenceRate;
    output.rampScale = 1.0f / static_cast<float>(output.rampFrames);

    MixerState& mixer = mixerState();
    mixer.voicePool = new (std::nothrow) Voice[kVoiceCount]();
    if (!mixer.voicePool) return false;
    for (std::int32_t i = 0; i < kVoiceCount; ++i) {
        mixer.voicePool[i].index = i;
        listInsertBefore(mixer.voicePool[i].link, mixer.mixList);
    }

    ListLink& songs = playerState().songList;
    for (ListLink* link = songs.next; link != &songs; link = link->next) {
        Song& song = listRecord<Song>(link);
        setBpm(&song, song.bpm);
    }
    return true;
}

void closeAudio() {
    MixerState& mixer = mixerState();
    listInit(mixer.mixList);
    delete[] mixer.voicePool;
    mixer.voicePool = nullptr;
}

}  // namespace vorn3
