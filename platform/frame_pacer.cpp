#include "platform/frame_pacer.h"

namespace glint {

PacerClock::duration refreshPeriod(int hz) {
    const int rate = hz > 0 ? hz : kAssumedRefreshHz;
    return std::chrono::duration_cast<PacerClock::duration>(
        std::chrono::nanoseconds(1'000'000'000) / rate);
}

PacerClock::duration waitAfterPresent(FramePacer& pacer, PacerClock::time_point now) {
    if (now >= pacer.next) {
        pacer.next = now + pacer.period;
        return PacerClock::duration::zero();
    }
    const PacerClock::duration wait = pacer.next - now;
    pacer.next += pacer.period;
    return wait;
}

}  // namespace glint
