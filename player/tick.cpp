#include "player/tick.h"

namespace vorn3 {
namespace {

// Where the row after the current one lies.
void scheduleNextRow(Song& song) {
    const std::int32_t order = song.currentOrder;
    song.nextRow = song.currentRow + 1;
    if (song.nextRow >= song.patterns[song.orderTable[order]].rows) {
        song.nextOrder = order + 1;
        if (song.nextOrder >= song.songLength) {
            song.nextOrder = song.restartPosition;
            song.ended = true;
        }
        song.nextRow = 0;
    }
}

}  // namespace

void songTick(Song& song) {
    if (song.tick == 0) {
        if (song.nextOrder >= 0) song.currentOrder = song.nextOrder;
        if (song.nextRow >= 0) song.currentRow = song.nextRow;
        song.nextOrder = song.nextRow = -1;
        scheduleNextRow(song);
    }
    song.tick += 1;
    if (song.tick >= song.speed + song.patternDelayTicks) {
        song.tick = 0;
        song.patternDelayTicks = 0;
    }
}

}  // namespace vorn3
