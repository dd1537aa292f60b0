// The mixer of one player: the output settings, the voice pool and the voices playing in it, the
// ring with the device that plays it, the mixing thread, and the clients that tick between the
// pieces it mixes.
//
// The one boundary between the control thread and the mixing side is passLock. Every
// mixing pass holds it while it fills a chunk (ticks, mixing, conversion); whoever
// starts, stops or frees a client, closes the output or renders takes it before touching
// the clients, the voices, sample memory or the buffers. Besides it only atomics cross:
// the three flags below and what clients publish of their own.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>

#include "mixer/list.h"
#include "mixer/voice.h"
#include "vorn3/player.h"

namespace vorn3 {

inline constexpr std::int32_t kDefaultBufferLengthMs = 200;
inline constexpr std::int32_t kChunkMs = 20;

struct OutputSettings {
    std::int32_t bufferLengthMs = kDefaultBufferLengthMs;  // a multiple of kChunkMs
    std::int32_t outputRate = 0;                           // Hz; 0 until the first open
    std::int32_t chunkFrames = 0;  // output frames per chunk, a multiple of 4
    std::int32_t ringFrames = 0;   // output frames, twice bufferLengthMs
    float secondsPerFrame = 0;
    std::int32_t rampFrames = 0;  // output frames of a volume ramp
};

// Something that drives voices tick by tick: between two ticks the mixer mixes
// samplesPerTick frames of every voice.
struct MixClient {
    ListLink link;  // Mixer::clients; linked to itself while not playing
    // One tick; false when the client has finished: it runs no further.
    bool (*tick)(MixClient& client);
    // Sets samplesPerTick afresh when the output opens at a new rate.
    void (*rateChanged)(MixClient& client);
    std::int32_t samplesLeftInTick;  // output frames before the next tick
    std::int32_t samplesPerTick;     // output frames, at least 1 once set
    float elapsedSeconds;            // seconds of mixed output
    bool playing;                    // the mixer skips clients that are not
};
static_assert(std::is_standard_layout_v<MixClient>, "listRecord needs the link first");

struct FreeDeleter {
    void operator()(void* block) const { std::free(block); }
};

struct Mixer {
    OutputSettings output;
    // What the next open opens.
    WaveDevice* nextDevice = nullptr;
    MixingDriver nextDriver = MixingDriver::thread;

    bool open = false;
    WaveDevice* device = nullptr;  // of the open output; null: the host renders the sound
    MixingDriver driver = MixingDriver::thread;
    Voice* voicePool = nullptr;            // kVoiceCount voices while the output is open, else null
    PlayingVoices playing{};               // the pool's voices with a sample
    ListLink clients{&clients, &clients};  // sentinel; the playing clients in start order
    std::unique_ptr<std::int16_t[], FreeDeleter> ring;  // ringFrames stereo frames
    // ringFrames stereo frames of floats, 16-byte aligned; chunk w of the ring is mixed
    // at frame w × chunkFrames.
    std::unique_ptr<float[], FreeDeleter> accumulator;
    // Chunks filled since the output opened: the next to fill is chunk chunksFilled % the
    // ring's chunks, heard when the device has played chunksFilled + that many.
    std::uint64_t chunksFilled = 0;
    std::int32_t renderedFrames = 0;  // of the last chunk rendered, handed out
    std::int32_t chunkFramesMixed =
        0;  // of the last chunk rendered; fewer when the clients finished
    // Scales the mix before it is converted; 1 leaves every value as mixed.
    float gain = 1.0f;
    // Set from any thread; each mixing piece reads it once.
    std::atomic<Interpolation> interpolation{Interpolation::linear};
    // Each voice keeps the peak of what it added to the last chunk mixed, for a host's
    // level meters.
    bool measurePeaks = false;

    std::mutex passLock;
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> mixBusy{false};      // a pass is filling a chunk
    std::atomic<bool> threadExited{true};  // the mixing thread has left its loop
    std::thread thread;
};
static_assert(std::atomic<bool>::is_always_lock_free);
static_assert(std::atomic<Interpolation>::is_always_lock_free);

// Closes the output and returns to the settings of a new mixer.
void resetMixer(Mixer& mixer);

}  // namespace vorn3
