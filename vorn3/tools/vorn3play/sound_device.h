// vorn3play's sound device, supplied by the build: the library alone has none.
#pragma once

#include <memory>
#include <string>

#include "vorn3/player.h"

namespace vorn3play {

// A device for the library to play through; null, with `error` saying why, when there
// is none.
std::unique_ptr<vorn3::WaveDevice> openSoundDevice(std::string& error);

}  // namespace vorn3play
