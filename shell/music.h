// The host's side of the player: starting the show's song from the embedded resource.
#pragma once

namespace glint {

// Opens the audio output and starts the embedded song. False when there is no song to play.
bool startMusic();

}  // namespace glint
