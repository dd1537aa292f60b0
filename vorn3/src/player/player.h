// The player's process-wide state: the host's stream callbacks and the started songs.
#pragma once

#include "mixer/list.h"
#include "vorn3/vorn3.h"

namespace vorn3 {

struct StreamCallbacks {
    StreamOpen open;
    StreamClose close;
    StreamRead read;
    StreamSeek seek;
    StreamTell tell;
};

struct PlayerState {
    StreamCallbacks callbacks{};              // all set or all null
    ListLink songList{&songList, &songList};  // sentinel of the started songs, in start order
};

PlayerState& playerState();

bool streamCallbacksSet();

// Back to the state at program start. Songs still started are forgotten, not freed.
void resetPlayerState();

}  // namespace vorn3
