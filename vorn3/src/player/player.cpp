#include "player/player.h"

namespace vorn3 {
namespace {

PlayerState state;

}  // namespace

PlayerState& playerState() {
    return state;
}

bool streamCallbacksSet() {
    return state.callbacks.open != nullptr;
}

void resetPlayerState() {
    state.callbacks = {};
    listInit(state.songList);
}

}  // namespace vorn3
