#include "shell/page_music.h"

#include "shell/music.h"

namespace glint {

vorn3::VirtualWaveDevice& pageSound() {
    static vorn3::VirtualWaveDevice sound;
    return sound;
}

// The page mixes when its audio asks for more: nothing runs by itself in a page.
bool startMusic() {
    openMusicOutput(pageSound(), vorn3::MixingDriver::host);
    return playMusic();
}

}  // namespace glint
