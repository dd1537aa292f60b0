#include "shell/music.h"

#include <cstdint>
#include <cstdio>

#include "shell/resource_stream.h"

namespace glint {
namespace {

constexpr std::int32_t kRingLengthMs = 1000;
constexpr const char* kSongName = "intro.xm";

struct Music {
    vorn3::Song* currentSong = nullptr;
    vorn3::WaveDevice* device = nullptr;  // the one the output plays through
    // The same when it is one that carries on without its own device; else null.
    vorn3::CarryingWaveDevice* carrying = nullptr;
    bool saidSilent = false;  // the last line said the sound had gone
};

Music music;

void setUpOutput() {
    vorn3::setStreamCallbacks(resourceOpen, resourceClose, vorn3::memoryRead, vorn3::memorySeek,
                              vorn3::memoryTell);
    vorn3::setBufferLength(kRingLengthMs);
}

}  // namespace

bool openMusicOutput(vorn3::WaveDevice& device, vorn3::MixingDriver driver) {
    setUpOutput();
    music.device = &device;
    music.carrying = dynamic_cast<vorn3::CarryingWaveDevice*>(&device);
    music.saidSilent = false;
    vorn3::setWaveDevice(&device, driver);
    return vorn3::openAudio(kOutputRate);
}

bool playMusic() {
    vorn3::songFree(music.currentSong);
    music.currentSong = vorn3::songCreate(kSongName, nullptr);
    return vorn3::songStart(music.currentSong);
}

bool startMusic(vorn3::WaveDevice& device, vorn3::MixingDriver driver) {
    openMusicOutput(device, driver);
    return playMusic();
}

void stopMusic() {
    vorn3::songFree(music.currentSong);
    music.currentSong = nullptr;
    vorn3::closeAudio();
    music.device = nullptr;
    music.carrying = nullptr;
}

std::uint64_t musicFramesPlayed() {
    if (music.carrying) return music.carrying->lastCount();
    return music.device ? music.device->framesPlayed() : 0;
}

void reportSoundChanges() {
    if (!music.carrying || music.carrying->silent() == music.saidSilent) return;
    music.saidSilent = music.carrying->silent();
    std::fputs(music.saidSilent ? "glint: the sound device went away; the show goes on silently\n"
                                : "glint: the sound is back\n",
               stderr);
}

vorn3::Song* currentSong() {
    return music.currentSong;
}

}  // namespace glint
