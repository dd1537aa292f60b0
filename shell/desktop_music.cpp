// The show's music on the desktop: the sound device, carried on silently when it goes.
#include <cstdio>

#include "platform/sdl/sdl_audio.h"
#include "shell/music.h"

namespace glint {
namespace {

struct DesktopSound {
    SdlWaveDevice soundDevice;
    // Goes on silently where the sound device goes away, and back to it when it returns.
    vorn3::CarryingWaveDevice carriedSound{soundDevice};
    vorn3::SilentWaveDevice silentDevice;
};

DesktopSound sound;

}  // namespace

bool startMusic() {
    if (!openMusicOutput(sound.carriedSound, vorn3::MixingDriver::thread)) {
        std::fprintf(stderr, "glint: no sound device (%s), the music plays silently\n",
                     sound.soundDevice.error().c_str());
        openMusicOutput(sound.silentDevice, vorn3::MixingDriver::thread);
    }
    return playMusic();
}

}  // namespace glint
