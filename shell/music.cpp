#include "shell/music.h"

#include <cstdint>

#include "shell/resource_stream.h"

namespace glint {
namespace {

constexpr std::int32_t kRingLengthMs = 1000;
constexpr std::int32_t kOutputRate = 44100;
constexpr const char* kSongName = "intro.xm";

struct Music {
    vorn3::Song* currentSong = nullptr;
};

Music music;

}  // namespace

bool startMusic() {
    vorn3::setStreamCallbacks(resourceOpen, resourceClose, resourceRead, resourceSeek,
                              resourceTell);
    vorn3::setBufferLength(kRingLengthMs);
    vorn3::openAudio(kOutputRate);
    vorn3::songFree(music.currentSong);
    music.currentSong = vorn3::songCreate(kSongName, nullptr);
    return vorn3::songStart(music.currentSong);
}

vorn3::Song* currentSong() {
    return music.currentSong;
}

}  // namespace glint
