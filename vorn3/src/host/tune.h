// The record behind a host's Tune: a module with a player of its own.
#pragma once

#include <array>
#include <cstdint>

#include "player/song.h"

namespace vorn3 {

// A part of the order list that playback from an earlier part never reaches.
struct SubsongPlace {
    std::int32_t firstOrder;
    std::int64_t passFrames;  // of one pass
};

struct Tune {
    Player* player;
    Song* song;
    std::int32_t rate;  // Hz
    std::array<SubsongPlace, kMaxOrders> subsongs;
    std::int32_t subsongCount;  // 1..kMaxOrders once loaded
    std::int32_t subsong;       // the one playing
    std::int64_t framesDone;    // rendered or skipped since the start
};

}  // namespace vorn3
