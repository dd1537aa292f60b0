// The host's side of the player: starting the show's song from the embedded resource.
#pragma once

#include "vorn3/vorn3.h"

namespace glint {

// Opens the audio output and starts the embedded song. False when there is no song to
// play; the show then runs without music. A later call replaces the song.
bool startMusic();

// The song startMusic started, or null; the music position test reads its position.
vorn3::Song* currentSong();

}  // namespace glint
