// The mixer's process-wide state: the output settings, the voice pool and mixList, the
// ring with the device that plays it, and the mixing thread.
//
// The one boundary between the control thread and the mixing side is passLock. Every
// mixing pass holds it while it fills a chunk (ticks, mixing, conversion); songStart,
// songStop, songFree, closeAudio and renderAudio take it before they touch songList, a
// song, the voices, sample memory or the buffers. Besides it only atomics cross: the
// three flags below and a song's currentOrder, currentRow and ended.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>

#include "mixer/list.h"
#include "mixer/voice.h"
#include "vorn3/vorn3.h"

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
};

struct FreeDeleter {
    void operator()(void* block) const { std::free(block); }
};

struct MixerState {
    OutputSettings output;
    // What the next openAudio opens.
    WaveDevice* nextDevice = nullptr;
    MixingDriver nextDriver = MixingDriver::thread;

    bool open = false;
    WaveDevice* device = nullptr;  // of the open output; null: renderAudio takes the sound
    MixingDriver driver = MixingDriver::thread;
    Voice* voicePool = nullptr;            // kVoiceCount voices while the output is open, else null
    ListLink mixList{&mixList, &mixList};  // sentinel; every pool voice in index order
    std::unique_ptr<std::int16_t[], FreeDeleter> ring;  // ringFrames stereo frames
    // ringFrames stereo frames of floats, 16-byte aligned; chunk w of the ring is mixed
    // at frame w × chunkFrames.
    std::unique_ptr<float[], FreeDeleter> accumulator;
    std::int32_t writeChunk = 0;      // the next chunk to fill
    std::int32_t renderedFrames = 0;  // of the last chunk renderAudio made, handed out

    std::mutex passLock;
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> mixBusy{false};      // a pass is filling a chunk
    std::atomic<bool> threadExited{true};  // the mixing thread has left its loop
    std::thread thread;
};
static_assert(std::atomic<bool>::is_always_lock_free);

MixerState& mixerState();

// Closes the output and returns to the settings at program start.
void resetMixerState();

}  // namespace vorn3
