// The show's music in a web page: the page's audio plays the output's ring through this
// device, asking for frames as it needs them; startMusic() opens the output on it.
#pragma once

#include "vorn3/player.h"

namespace glint {

vorn3::VirtualWaveDevice& pageSound();

}  // namespace glint
