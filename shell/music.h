// The host's side of the player: starting the show's song from the embedded resource.
#pragma once

#include <cstdint>

#include "vorn3/player.h"

namespace glint {

// The rate the show's music plays at, in frames per second.
inline constexpr std::int32_t kOutputRate = 44100;

// Opens the audio output on the sound device and starts the embedded song. Without a
// sound device it says so in one line on standard error and plays through a silent
// device at the wall clock's pace, so that the song still advances. False when there is
// no song to play; the show then runs without music. A later call replaces the song.
bool startMusic();
// The same through the given device, driven as given (recorders and tests).
bool startMusic(vorn3::WaveDevice& device, vorn3::MixingDriver driver);

// The two steps of startMusic: the output opened on `device` (false when the device
// cannot be opened), then the embedded song started on it (false when there is none).
bool openMusicOutput(vorn3::WaveDevice& device, vorn3::MixingDriver driver);
bool playMusic();

// Frees the song and closes the output: for runs that end before the process does.
void stopMusic();

// Frames the output's device has played since it opened (as last polled, for a device
// that carries on without its own), 0 without an output. Never waits for the device.
std::uint64_t musicFramesPlayed();
// Says in one line on standard error when a device that carries on without its own loses
// it, and when it has it back.
void reportSoundChanges();

// The song startMusic started, or null; the music position test reads its position.
vorn3::Song* currentSong();

}  // namespace glint
