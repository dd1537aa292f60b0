#include "mixer/output.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <new>
#include <system_error>
#include <type_traits>

#include "mixer/mix.h"

namespace vorn3 {
namespace {

// The range of rates sound devices offer; it keeps every derived length in range.
constexpr std::int32_t kMinOutputRate = 8000;
constexpr std::int32_t kMaxOutputRate = 384000;
constexpr std::int32_t kChunkFrameMultiple = 4;
constexpr std::int32_t kRampFramesAt44100 = 128;
constexpr std::int32_t kReferenceRate = 44100;
constexpr std::size_t kAccumulatorAlignment = 16;  // bytes
constexpr std::chrono::milliseconds kPollInterval{2};
constexpr float kPcmToFloat = 1.0f / 32768.0f;

std::int32_t chunkFramesAt(std::int32_t rate) {
    const std::int32_t frames = rate * kChunkMs / 1000;
    return (frames + kChunkFrameMultiple - 1) / kChunkFrameMultiple * kChunkFrameMultiple;
}

std::int32_t chunkCount(const OutputSettings& output) {
    return output.ringFrames / output.chunkFrames;
}

// Whether the next chunk may be filled: once the device has played the ring's chunk it goes
// into, counting chunks since the output opened, so that a poll that comes late (a busy
// machine, a device whose count jumps) still finds every chunk the device has left. A
// device a whole ring or more ahead has played those chunks stale: filling goes on with
// the first it has still to reach. Right after opening this waits until the device has
// entered its second chunk.
bool chunkDue(Mixer& mixer, std::uint64_t framesPlayed) {
    const auto playing = framesPlayed / static_cast<std::uint64_t>(mixer.output.chunkFrames);
    const auto chunks = static_cast<std::uint64_t>(chunkCount(mixer.output));
    if (mixer.chunksFilled + chunks <= playing) mixer.chunksFilled = playing - chunks + 1;
    return mixer.chunksFilled < playing;
}

// Where a chunk starts in the ring and the accumulator, in values.
std::size_t chunkOffset(const Mixer& mixer, std::int32_t chunk) {
    return static_cast<std::size_t>(chunk) * static_cast<std::size_t>(mixer.output.chunkFrames) * 2;
}

std::int32_t nextChunk(const Mixer& mixer) {
    return static_cast<std::int32_t>(mixer.chunksFilled %
                                     static_cast<std::uint64_t>(chunkCount(mixer.output)));
}

// Mixes one chunk of the accumulator; the caller holds passLock. Returns the frames mixed:
// fewer when a client finished.
std::int32_t mixChunk(Mixer& mixer, std::int32_t chunk) {
    const std::int32_t frames = mixer.output.chunkFrames;
    float* accumulator = mixer.accumulator.get() + chunkOffset(mixer, chunk);
    mixer.mixBusy = true;
    std::fill_n(accumulator, 2 * frames, 0.0f);
    if (mixer.measurePeaks) {
        for (std::int32_t i = 0; i < kVoiceCount; ++i)
            mixer.voicePool[i].peak = 0;
    }
    const std::int32_t mixed = mixClients(mixer, accumulator, frames);
    if (mixer.gain != 1.0f) {
        for (std::int32_t i = 0; i < 2 * mixed; ++i)
            accumulator[i] *= mixer.gain;
    }
    mixer.mixBusy = false;
    return mixed;
}

// Mixes one chunk and converts it, into the ring's chunk or, with `pcm`, into a caller's
// buffer. The ring gets the whole chunk, as its device plays every frame; a buffer only the
// frames mixed.
std::int32_t fillChunk(Mixer& mixer, std::int32_t chunk, std::int16_t* pcm = nullptr) {
    const std::int32_t mixed = mixChunk(mixer, chunk);
    const float* accumulator = mixer.accumulator.get() + chunkOffset(mixer, chunk);
    if (pcm) {
        convertToPcm16(pcm, accumulator, mixed);
    } else {
        convertToPcm16(mixer.ring.get() + chunkOffset(mixer, chunk), accumulator,
                       mixer.output.chunkFrames);
    }
    return mixed;
}

void mixThread(Mixer& mixer) {
    while (!mixer.stopRequested) {
        if (chunkDue(mixer, mixer.device->framesPlayed())) {
            {
                const std::lock_guard lock(mixer.passLock);
                fillChunk(mixer, nextChunk(mixer));
            }
            ++mixer.chunksFilled;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    mixer.threadExited = true;
}

void releaseOutput(Mixer& mixer) {
    mixer.open = false;
    mixer.playing = {};
    delete[] mixer.voicePool;
    mixer.voicePool = nullptr;
    mixer.ring.reset();
    mixer.accumulator.reset();
}

bool startThread(Mixer& mixer) {
    mixer.stopRequested = false;
    mixer.threadExited = false;
    try {
        mixer.thread = std::thread(mixThread, std::ref(mixer));
    } catch (const std::system_error&) {
        mixer.threadExited = true;
        closeOutput(mixer);
        return false;
    }
    return true;
}

bool allocateBuffers(Mixer& mixer) {
    const auto values = 2 * static_cast<std::size_t>(mixer.output.ringFrames);
    mixer.ring.reset(static_cast<std::int16_t*>(std::calloc(values, sizeof(std::int16_t))));
    mixer.accumulator.reset(
        static_cast<float*>(std::aligned_alloc(kAccumulatorAlignment, values * sizeof(float))));
    mixer.voicePool = new (std::nothrow) Voice[kVoiceCount]();
    if (!mixer.ring || !mixer.accumulator || !mixer.voicePool) return false;
    std::fill_n(mixer.accumulator.get(), values, 0.0f);
    for (std::int32_t i = 0; i < kVoiceCount; ++i)
        mixer.voicePool[i].index = i;
    return true;
}

}  // namespace

namespace {

// Runs `frames` frames of every playing client, ticking each whenever its frames for the
// current tick run out and handing each piece between ticks to `piece` (its first frame
// and its length). A client that finishes runs no further. Returns the frames run: fewer
// when every client has finished, as far as the last one went.
template <typename Piece>
std::int32_t runClients(Mixer& mixer, std::int32_t frames, Piece piece) {
    const float secondsPerFrame = mixer.output.secondsPerFrame;
    bool anyPlaying = false;
    std::int32_t furthest = 0;
    for (ListLink* link = mixer.clients.next; link != &mixer.clients; link = link->next) {
        MixClient& client = listRecord<MixClient>(link);
        if (!client.playing) continue;
        anyPlaying = true;
        std::int32_t left = client.samplesLeftInTick;
        std::int32_t done = 0;
        while (done < frames) {
            if (left == 0) {
                if (!client.tick(client)) break;
                left = std::max(client.samplesPerTick, 1);
            }
            const std::int32_t length = std::min(left, frames - done);
            piece(done, length);
            client.elapsedSeconds += static_cast<float>(length) * secondsPerFrame;
            done += length;
            left -= length;
        }
        client.samplesLeftInTick = left;
        furthest = std::max(furthest, done);
    }
    return anyPlaying ? furthest : frames;
}

}  // namespace

std::int32_t mixClients(Mixer& mixer, float* destination, std::int32_t frames) {
    return runClients(mixer, frames, [&](std::int32_t first, std::int32_t length) {
        mixVoices(mixer, destination + 2 * first, length);
    });
}

std::int32_t skipClients(Mixer& mixer, std::int32_t frames) {
    return runClients(mixer, frames,
                      [&](std::int32_t, std::int32_t length) { advanceVoices(mixer, length); });
}

bool setOutputBufferLength(Mixer& mixer, std::int32_t milliseconds) {
    mixer.output.bufferLengthMs = std::max(milliseconds, kChunkMs) / kChunkMs * kChunkMs;
    return true;
}

void setOutputGain(Mixer& mixer, double decibels) {
    if (std::isnan(decibels)) return;
    const double kept = std::clamp(decibels, kMinGainDb, kMaxGainDb);
    const std::lock_guard lock(mixer.passLock);
    mixer.gain = kept == 0 ? 1.0f : static_cast<float>(std::pow(10.0, kept / 20.0));
}

bool setOutputInterpolation(Mixer& mixer, Interpolation mode) {
    switch (mode) {
        case Interpolation::nearest:
        case Interpolation::linear:
        case Interpolation::cubic:
        case Interpolation::sinc:
            mixer.interpolation = mode;
            return true;
    }
    return false;
}

// A later output starts filling at chunk 0 again: its device starts playing from the
// ring's first frame, so every output has the same latency.
bool openOutput(Mixer& mixer, std::int32_t outputRate) {
    closeOutput(mixer);
    if (outputRate < kMinOutputRate || outputRate > kMaxOutputRate) return false;
    OutputSettings& output = mixer.output;
    const std::int32_t chunkFrames = chunkFramesAt(outputRate);
    const std::int64_t ringFrames =
        std::int64_t{output.bufferLengthMs} / kChunkMs * chunkFrames * 2;
    if (ringFrames > std::numeric_limits<std::int32_t>::max() / 2) return false;

    output.outputRate = outputRate;
    output.chunkFrames = chunkFrames;
    output.ringFrames = static_cast<std::int32_t>(ringFrames);
    output.secondsPerFrame = 1.0f / static_cast<float>(outputRate);
    output.rampFrames = outputRate * kRampFramesAt44100 / kReferenceRate;
    if (!allocateBuffers(mixer)) {
        releaseOutput(mixer);
        return false;
    }
    mixer.chunksFilled = 0;
    mixer.renderedFrames = chunkFrames;
    mixer.chunkFramesMixed = chunkFrames;
    for (ListLink* link = mixer.clients.next; link != &mixer.clients; link = link->next) {
        MixClient& client = listRecord<MixClient>(link);
        client.rateChanged(client);
    }

    mixer.device = mixer.nextDevice;
    mixer.driver = mixer.nextDriver;
    if (mixer.device && !mixer.device->open(mixer.ring.get(), output.ringFrames, outputRate)) {
        mixer.device = nullptr;
        releaseOutput(mixer);
        return false;
    }
    mixer.open = true;
    if (mixer.device && mixer.driver == MixingDriver::thread) return startThread(mixer);
    return true;
}

void closeOutput(Mixer& mixer) {
    mixer.stopRequested = true;
    if (mixer.thread.joinable()) mixer.thread.join();
    const std::lock_guard lock(mixer.passLock);
    if (mixer.device) mixer.device->close();
    mixer.device = nullptr;
    releaseOutput(mixer);
}

bool pumpOutput(Mixer& mixer) {
    const std::lock_guard lock(mixer.passLock);
    if (!mixer.open || !mixer.device || mixer.driver != MixingDriver::host) return false;
    if (!chunkDue(mixer, mixer.device->framesPlayed())) return false;
    fillChunk(mixer, nextChunk(mixer));
    ++mixer.chunksFilled;
    return true;
}

namespace {

// Rendered chunks stay in the accumulator: only what a caller takes as 16-bit is converted.
void copyFrames(const Mixer& mixer, std::int16_t* destination, std::int32_t piece) {
    convertToPcm16(destination, mixer.accumulator.get() + 2 * mixer.renderedFrames, piece);
}

void copyFrames(const Mixer& mixer, float* destination, std::int32_t piece) {
    const float* from = mixer.accumulator.get() + 2 * mixer.renderedFrames;
    for (std::int32_t i = 0; i < 2 * piece; ++i)
        destination[i] = from[i] * kPcmToFloat;
}

template <typename Value>
std::int32_t renderFrames(Mixer& mixer, Value* destination, std::int32_t frames) {
    const std::lock_guard lock(mixer.passLock);
    if (!mixer.open || mixer.device || !destination || frames < 1) return 0;
    const std::int32_t chunkFrames = mixer.output.chunkFrames;
    std::int32_t done = 0;
    while (done < frames) {
        if (mixer.renderedFrames == mixer.chunkFramesMixed) {
            // A chunk cut short by the clients' end ends this call there.
            const bool cutShort = mixer.chunkFramesMixed < chunkFrames;
            mixer.renderedFrames = mixer.chunkFramesMixed = chunkFrames;
            if (cutShort) break;
            // A chunk the caller takes whole goes straight into its buffer.
            if constexpr (std::is_same_v<Value, std::int16_t>) {
                if (frames - done >= chunkFrames) {
                    const std::int32_t mixed = fillChunk(mixer, 0, destination + 2 * done);
                    mixer.renderedFrames = mixer.chunkFramesMixed = mixed;
                    done += mixed;
                    continue;
                }
            }
            mixer.chunkFramesMixed = mixChunk(mixer, 0);
            mixer.renderedFrames = 0;
        }
        const std::int32_t piece =
            std::min(mixer.chunkFramesMixed - mixer.renderedFrames, frames - done);
        copyFrames(mixer, destination + 2 * done, piece);
        mixer.renderedFrames += piece;
        done += piece;
    }
    return done;
}

}  // namespace

std::int32_t renderChunkFrom(Mixer& mixer, std::int32_t handedOut) {
    const std::lock_guard lock(mixer.passLock);
    if (!mixer.open || mixer.device) return 0;
    mixer.chunkFramesMixed = mixChunk(mixer, 0);
    mixer.renderedFrames = std::min(handedOut, mixer.chunkFramesMixed);
    return mixer.renderedFrames;
}

std::int32_t renderOutput(Mixer& mixer, std::int16_t* destination, std::int32_t frames) {
    return renderFrames(mixer, destination, frames);
}

std::int32_t renderOutput(Mixer& mixer, float* destination, std::int32_t frames) {
    return renderFrames(mixer, destination, frames);
}

}  // namespace vorn3
