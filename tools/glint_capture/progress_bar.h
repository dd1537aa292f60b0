// A one-line progress bar on the terminal: frames done of the total, time spent and
// the time still expected. Silent when standard error is not a terminal.
#pragma once

#include <chrono>
#include <cstdint>

namespace glint::capture {

struct ProgressBar {
    std::int64_t total = 0;  // frames expected
    std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point lastDrawn{};
    bool visible = false;
};

ProgressBar startProgress(std::int64_t totalFrames);
void showProgress(ProgressBar& bar, std::int64_t framesDone);
// Draws the final state and ends the line.
void finishProgress(ProgressBar& bar, std::int64_t framesDone);

}  // namespace glint::capture
