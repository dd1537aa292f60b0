// The show's song, composed in code: its hand-overs, flashes and rest fall on the
// positions the scenes wait for.
#pragma once

#include <cstdint>
#include <vector>

#include "writers/xm_writer.h"

namespace glint::song {

xm::Module makeShowSong();

// The module file as committed under resources/song.
std::vector<std::uint8_t> showSongBytes();

}  // namespace glint::song
