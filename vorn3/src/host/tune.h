// The record behind a host's Tune: a module with a player of its own.
#pragma once

#include <cstdint>

#include "player/song.h"

namespace vorn3 {

struct Tune {
    Player* player;
    Song* song;
    std::int32_t rate;        // Hz
    std::int64_t passFrames;  // of one pass
    std::int64_t framesDone;  // rendered or skipped since the start
};

}  // namespace vorn3
