#include "mixer/output.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <new>
#include <system_error>

#include "mixer/mix.h"
#include "mixer/mixer.h"
#include "player/player.h"
#include "player/song.h"

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

std::int32_t chunkFramesAt(std::int32_t rate) {
    const std::int32_t frames = rate * kChunkMs / 1000;
    return (frames + kChunkFrameMultiple - 1) / kChunkFrameMultiple * kChunkFrameMultiple;
}

std::int32_t chunkCount(const OutputSettings& output) {
    return output.ringFrames / output.chunkFrames;
}

// Whether writeChunk may be filled now. While the device plays chunk 2 or later only the
// chunks before it are filled; while it plays chunk 0 or 1, any but the one playing.
// Right after opening this waits until the device has entered chunk 1.
bool chunkDue(const MixerState& mixer, std::uint64_t framesPlayed) {
    const OutputSettings& output = mixer.output;
    const auto playChunk =
        static_cast<std::int32_t>(framesPlayed % static_cast<std::uint64_t>(output.ringFrames) /
                                  static_cast<std::uint64_t>(output.chunkFrames));
    const std::int32_t previousChunk = playChunk == 0 ? chunkCount(output) - 1 : playChunk - 1;
    const std::int32_t chunk = mixer.writeChunk;
    return chunk != playChunk && (chunk <= previousChunk || (previousChunk == 0 && chunk != 1));
}

// Mixes and converts one chunk of the ring; the caller holds passLock.
void fillChunk(MixerState& mixer, std::int32_t chunk) {
    const std::int32_t frames = mixer.output.chunkFrames;
    const std::size_t first =
        static_cast<std::size_t>(chunk) * static_cast<std::size_t>(frames) * 2;
    float* accumulator = mixer.accumulator.get() + first;
    mixer.mixBusy = true;
    std::fill_n(accumulator, 2 * frames, 0.0f);
    mixSongs(accumulator, frames);
    convertToPcm16(mixer.ring.get() + first, accumulator, frames);
    mixer.mixBusy = false;
}

void advanceWriteChunk(MixerState& mixer) {
    mixer.writeChunk = (mixer.writeChunk + 1) % chunkCount(mixer.output);
}

void mixThread(MixerState& mixer) {
    while (!mixer.stopRequested) {
        if (chunkDue(mixer, mixer.device->framesPlayed())) {
            {
                const std::lock_guard lock(mixer.passLock);
                fillChunk(mixer, mixer.writeChunk);
            }
            advanceWriteChunk(mixer);
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    mixer.threadExited = true;
}

void releaseOutput(MixerState& mixer) {
    mixer.open = false;
    listInit(mixer.mixList);
    delete[] mixer.voicePool;
    mixer.voicePool = nullptr;
    mixer.ring.reset();
    mixer.accumulator.reset();
}

// A thread still running at exit would end the process abnormally when the state
// holding it is destroyed.
void closeAudioAtExit() {
    closeAudio();
}

bool startThread(MixerState& mixer) {
    [[maybe_unused]] static const bool closedAtExit = std::atexit(closeAudioAtExit) == 0;
    mixer.stopRequested = false;
    mixer.threadExited = false;
    try {
        mixer.thread = std::thread(mixThread, std::ref(mixer));
    } catch (const std::system_error&) {
        mixer.threadExited = true;
        closeAudio();
        return false;
    }
    return true;
}

bool allocateBuffers(MixerState& mixer) {
    const auto values = 2 * static_cast<std::size_t>(mixer.output.ringFrames);
    mixer.ring.reset(static_cast<std::int16_t*>(std::calloc(values, sizeof(std::int16_t))));
    mixer.accumulator.reset(
        static_cast<float*>(std::aligned_alloc(kAccumulatorAlignment, values * sizeof(float))));
    mixer.voicePool = new (std::nothrow) Voice[kVoiceCount]();
    if (!mixer.ring || !mixer.accumulator || !mixer.voicePool) return false;
    std::fill_n(mixer.accumulator.get(), values, 0.0f);
    for (std::int32_t i = 0; i < kVoiceCount; ++i) {
        mixer.voicePool[i].index = i;
        listInsertBefore(mixer.voicePool[i].link, mixer.mixList);
    }
    return true;
}

}  // namespace

void mixSongs(float* destination, std::int32_t frames) {
    MixerState& mixer = mixerState();
    const float secondsPerFrame = mixer.output.secondsPerFrame;
    ListLink& songs = playerState().songList;
    for (ListLink* link = songs.next; link != &songs; link = link->next) {
        Song& song = listRecord<Song>(link);
        if (!song.playing) continue;
        std::int32_t left = song.samplesLeftInTick;
        for (std::int32_t done = 0; done < frames;) {
            if (left == 0) {
                song.tickHook(song);
                left = std::max(song.samplesPerTick, 1);
            }
            const std::int32_t piece = std::min(left, frames - done);
            mixVoices(destination + 2 * done, mixer.mixList, piece);
            song.elapsedSeconds += static_cast<float>(piece) * secondsPerFrame;
            done += piece;
            left -= piece;
        }
        song.samplesLeftInTick = left;
    }
}

void setWaveDevice(WaveDevice* device, MixingDriver driver) {
    mixerState().nextDevice = device;
    mixerState().nextDriver = driver;
}

bool setBufferLength(std::int32_t milliseconds) {
    mixerState().output.bufferLengthMs = std::max(milliseconds, kChunkMs) / kChunkMs * kChunkMs;
    return true;
}

// A later output starts filling at chunk 0 again: its device starts playing from the
// ring's first frame, so every output has the same latency.
bool openAudio(std::int32_t outputRate) {
    if (!streamCallbacksSet()) return false;
    closeAudio();
    if (outputRate < kMinOutputRate || outputRate > kMaxOutputRate) return false;
    MixerState& mixer = mixerState();
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
    mixer.writeChunk = 0;
    mixer.renderedFrames = chunkFrames;

    ListLink& songs = playerState().songList;
    for (ListLink* link = songs.next; link != &songs; link = link->next) {
        Song& song = listRecord<Song>(link);
        setBpm(&song, song.bpm);
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

void closeAudio() {
    MixerState& mixer = mixerState();
    mixer.stopRequested = true;
    if (mixer.thread.joinable()) mixer.thread.join();
    const std::lock_guard lock(mixer.passLock);
    if (mixer.device) mixer.device->close();
    mixer.device = nullptr;
    releaseOutput(mixer);
}

bool pumpAudio() {
    MixerState& mixer = mixerState();
    const std::lock_guard lock(mixer.passLock);
    if (!mixer.open || !mixer.device || mixer.driver != MixingDriver::host) return false;
    if (!chunkDue(mixer, mixer.device->framesPlayed())) return false;
    fillChunk(mixer, mixer.writeChunk);
    advanceWriteChunk(mixer);
    return true;
}

std::int32_t renderAudio(std::int16_t* destination, std::int32_t frames) {
    MixerState& mixer = mixerState();
    const std::lock_guard lock(mixer.passLock);
    if (!mixer.open || mixer.device || !destination || frames < 1) return 0;
    const std::int32_t chunkFrames = mixer.output.chunkFrames;
    for (std::int32_t done = 0; done < frames;) {
        if (mixer.renderedFrames == chunkFrames) {
            fillChunk(mixer, 0);
            mixer.renderedFrames = 0;
        }
        const std::int32_t piece = std::min(chunkFrames - mixer.renderedFrames, frames - done);
        std::copy_n(mixer.ring.get() + 2 * mixer.renderedFrames, 2 * piece, destination + 2 * done);
        mixer.renderedFrames += piece;
        done += piece;
    }
    return frames;
}

}  // namespace vorn3
