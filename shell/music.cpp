#include "shell/music.h"

#include <cstdint>
#include <cstdio>

#include "platform/sdl/sdl_audio.h"
#include "shell/resource_stream.h"

namespace glint {
namespace {

constexpr std::int32_t kRingLengthMs = 1000;
constexpr const char* kSongName = "intro.xm";

struct Music {
    vorn3::Song* currentSong = nullptr;
    SdlWaveDevice soundDevice;
    vorn3::SilentWaveDevice silentDevice;
};

Music music;

void setUpOutput() {
    vorn3::setStreamCallbacks(resourceOpen, resourceClose, vorn3::memoryRead, vorn3::memorySeek,
                              vorn3::memoryTell);
    vorn3::setBufferLength(kRingLengthMs);
}

bool playSong() {
    vorn3::songFree(music.currentSong);
    music.currentSong = vorn3::songCreate(kSongName, nullptr);
    return vorn3::songStart(music.currentSong);
}

}  // namespace

bool startMusic() {
    setUpOutput();
    vorn3::setWaveDevice(&music.soundDevice, vorn3::MixingDriver::thread);
    if (!vorn3::openAudio(kOutputRate)) {
        std::fprintf(stderr, "glint: no sound device (%s), the music plays silently\n",
                     music.soundDevice.error().c_str());
        vorn3::setWaveDevice(&music.silentDevice, vorn3::MixingDriver::thread);
        vorn3::openAudio(kOutputRate);
    }
    return playSong();
}

bool startMusic(vorn3::WaveDevice& device, vorn3::MixingDriver driver) {
    setUpOutput();
    vorn3::setWaveDevice(&device, driver);
    vorn3::openAudio(kOutputRate);
    return playSong();
}

void stopMusic() {
    vorn3::songFree(music.currentSong);
    music.currentSong = nullptr;
    vorn3::closeAudio();
}

vorn3::Song* currentSong() {
    return music.currentSong;
}

}  // namespace glint
