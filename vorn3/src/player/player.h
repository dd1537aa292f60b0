// A player: the host's stream callbacks, the songs it created and the mixer they play
// through. Players share nothing; the functions without a player act on the default one.
#pragma once

#include <vector>

#include "formats/stream.h"
#include "mixer/mixer.h"
#include "vorn3/player.h"

namespace vorn3 {

struct Player {
    StreamCallbacks callbacks{};  // all set or all null
    Mixer mixer;
    std::vector<Song*> songs;  // created and not yet freed
};

Player& defaultPlayer();

// Back to the state of a new player: the output closed, the callbacks cleared. Songs
// still started are forgotten, not freed.
void resetPlayer(Player& player);

}  // namespace vorn3
