// The sequencer: which scene draws each frame, and when the show is over.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/gfx/device.h"

namespace glint {

// A place in the song: index into its order list, and row within that pattern.
struct SongPosition {
    std::int32_t order = 0;
    std::int32_t row = 0;
};

inline constexpr std::int32_t kSceneCount = 8;

struct Timeline {
    std::int32_t sceneIndex = 0;  // 0..7 select a scene; kSceneCount ends the show
    bool quitRequested = false;   // the last scene has ended; the shell posts the quit
    double lastRingTime = 0.0;    // the scene time at which the tunnel last grew a ring
    std::uint32_t flashCount = 0;  // white flashes drawn so far, for recorders
    // The row the replayer is processing now, read afresh on every test; unset: no song.
    std::function<SongPosition()> songPosition;
};

Timeline& timeline();
void resetTimeline();

// Draws one frame of the show at `sceneTime` (tenths of a second since the music
// started). Always 0.
std::int32_t runTimeline(gfx::Device& device, float sceneTime);

// Whether the song is audibly at `position`: 16 rows behind the row being processed.
bool atSongPosition(SongPosition position);
// Whether the song is audibly at `position` or past it: a scene ends on the first
// frame after its exit row even when no frame fell inside that row.
bool reachedSongPosition(SongPosition position);

}  // namespace glint
