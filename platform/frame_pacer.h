// Keeps presents at least one refresh period apart, whether or not the display
// waits for its refresh itself: where it does, the wait here comes out near zero.
#pragma once

#include <chrono>

namespace glint {

using PacerClock = std::chrono::steady_clock;

inline constexpr int kAssumedRefreshHz = 60;

struct FramePacer {
    PacerClock::duration period = std::chrono::nanoseconds(1'000'000'000 / kAssumedRefreshHz);
    PacerClock::time_point next{};  // the earliest time of the next present
};

// The period of a display refreshing `hz` times a second; 60 Hz where unknown (0).
PacerClock::duration refreshPeriod(int hz);

// How long to wait after a present at `now` before drawing the next frame. A late
// present starts the cadence afresh rather than hurrying the frames after it.
PacerClock::duration waitAfterPresent(FramePacer& pacer, PacerClock::time_point now);

}  // namespace glint
