// The tick engine: called once per tick by the mixing side, it keeps the song's
// position, processing a new row whenever the row's ticks are used up.
#pragma once

#include "player/song.h"

namespace vorn3 {

void songTick(Song& song);

}  // namespace vorn3
