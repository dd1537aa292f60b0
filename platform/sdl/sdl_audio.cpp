#include "platform/sdl/sdl_audio.h"

#include <SDL.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace glint {
namespace {

constexpr std::int32_t kChannels = 2;
constexpr std::int32_t kBytesPerFrame = kChannels * sizeof(std::int16_t);
// Frames per callback: well below the ring's 20 ms chunks, so that SDL never reads into
// a chunk the mixer may still be filling.
constexpr Uint16 kCallbackFrames = 512;

// Without a sound card ALSA's library prints its own complaints while SDL probes it;
// the caller reports the failure once itself. Returns the saved descriptor.
int muteStandardError() {
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    const int null = ::open("/dev/null", O_WRONLY);
    if (null >= 0) {
        dup2(null, STDERR_FILENO);
        ::close(null);
    }
    return saved;
}

void restoreStandardError(int saved) {
    if (saved < 0) return;
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    ::close(saved);
}

void quitAudio() {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    // Only a full quit releases what SDL set up process-wide.
    if (SDL_WasInit(SDL_INIT_EVERYTHING) == 0) SDL_Quit();
}

}  // namespace

bool SdlWaveDevice::open(const std::int16_t* ring, std::int32_t ringFrames, std::int32_t rate) {
    return openAt(ring, ringFrames, rate, 0);
}

bool SdlWaveDevice::openAt(const std::int16_t* ring, std::int32_t ringFrames, std::int32_t rate,
                           std::uint64_t firstFrame) {
    close();
    const int savedStandardError = muteStandardError();
    const bool opened = openDevice(ring, ringFrames, rate, firstFrame);
    restoreStandardError(savedStandardError);
    return opened;
}

bool SdlWaveDevice::openDevice(const std::int16_t* ring, std::int32_t ringFrames, std::int32_t rate,
                               std::uint64_t firstFrame) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        error_ = SDL_GetError();
        return false;
    }
    ring_ = ring;
    ringFrames_ = ringFrames;
    played_ = firstFrame;
    SDL_AudioSpec wanted{};
    wanted.freq = rate;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = kChannels;
    wanted.samples = kCallbackFrames;
    wanted.callback = fill;
    wanted.userdata = this;
    SDL_AudioSpec obtained{};
    id_ = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (id_ == 0) {
        error_ = SDL_GetError();
        quitAudio();
        return false;
    }
    SDL_PauseAudioDevice(id_, 0);
    return true;
}

std::uint64_t SdlWaveDevice::framesPlayed() {
    SDL_LockAudioDevice(id_);
    const std::uint64_t played = played_;
    SDL_UnlockAudioDevice(id_);
    return played;
}

bool SdlWaveDevice::lost() {
    return id_ != 0 && SDL_GetAudioDeviceStatus(id_) == SDL_AUDIO_STOPPED;
}

void SdlWaveDevice::close() {
    if (id_ == 0) return;
    SDL_CloseAudioDevice(id_);
    id_ = 0;
    quitAudio();
}

void SdlWaveDevice::fill(void* device, std::uint8_t* stream, int bytes) {
    auto& self = *static_cast<SdlWaveDevice*>(device);
    const std::int32_t frames = bytes / kBytesPerFrame;
    for (std::int32_t done = 0; done < frames;) {
        const auto at =
            static_cast<std::int32_t>(self.played_ % static_cast<std::uint64_t>(self.ringFrames_));
        const std::int32_t piece = std::min(self.ringFrames_ - at, frames - done);
        std::copy_n(reinterpret_cast<const std::uint8_t*>(self.ring_ + kChannels * at),
                    piece * kBytesPerFrame, stream + done * kBytesPerFrame);
        self.played_ += static_cast<std::uint64_t>(piece);
        done += piece;
    }
}

}  // namespace glint
