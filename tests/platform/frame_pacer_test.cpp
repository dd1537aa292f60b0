// Presents kept a refresh period apart: waits fill the period after quick frames,
// and a late frame starts the cadence afresh instead of hurrying the next ones.
#include "platform/frame_pacer.h"

#include <gtest/gtest.h>

namespace glint {
namespace {

using std::chrono::milliseconds;

TEST(FramePacer, WaitsOutTheRestOfEachPeriodAndNeverCatchesUp) {
    FramePacer pacer;
    pacer.period = milliseconds(16);
    const PacerClock::time_point start{};
    const struct {
        int presentedAt;  // ms
        int wait;         // ms
    } frames[] = {
        {0, 0},              // the first frame starts the cadence
        {2, 14},             // drawn in 2 ms: the next comes 16 ms after the first
        {18, 14},            // 16 + 2: due at 32, then 48
        {50, 0},             // late: the next is due a period after this one
        {55, 11}, {70, 12},  // due at 82
    };
    for (const auto& frame : frames) {
        EXPECT_EQ(waitAfterPresent(pacer, start + milliseconds(frame.presentedAt)),
                  milliseconds(frame.wait))
            << "at " << frame.presentedAt;
    }
    EXPECT_EQ(refreshPeriod(0), refreshPeriod(60));
    EXPECT_EQ(refreshPeriod(144), std::chrono::nanoseconds(6944444));
}

}  // namespace
}  // namespace glint
