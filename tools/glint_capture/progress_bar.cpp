#include "tools/glint_capture/progress_bar.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace glint::capture {
namespace {

constexpr std::int32_t kBarWidth = 30;
constexpr auto kRedrawEvery = std::chrono::milliseconds(200);

std::string clockText(double seconds) {
    const auto whole = static_cast<long>(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

void draw(ProgressBar& bar, std::int64_t framesDone) {
    const auto now = std::chrono::steady_clock::now();
    bar.lastDrawn = now;
    const double elapsed = std::chrono::duration<double>(now - bar.started).count();
    const double share =
        bar.total > 0
            ? std::min(1.0, static_cast<double>(framesDone) / static_cast<double>(bar.total))
            : 1.0;
    const auto filled = static_cast<std::int32_t>(share * kBarWidth);
    const double left = share > 0 ? elapsed * (1.0 - share) / share : 0.0;
    std::fprintf(stderr, "\r[%s%s] %lld/%lld frames  %s elapsed  %s left ",
                 std::string(static_cast<std::size_t>(filled), '#').c_str(),
                 std::string(static_cast<std::size_t>(kBarWidth - filled), '-').c_str(),
                 static_cast<long long>(framesDone), static_cast<long long>(bar.total),
                 clockText(elapsed).c_str(), clockText(left).c_str());
    std::fflush(stderr);
}

}  // namespace

ProgressBar startProgress(std::int64_t totalFrames) {
    ProgressBar bar;
    bar.total = totalFrames;
    bar.visible = isatty(STDERR_FILENO) != 0;
    return bar;
}

void showProgress(ProgressBar& bar, std::int64_t framesDone) {
    if (!bar.visible || std::chrono::steady_clock::now() - bar.lastDrawn < kRedrawEvery) return;
    draw(bar, framesDone);
}

void finishProgress(ProgressBar& bar, std::int64_t framesDone) {
    if (!bar.visible) return;
    bar.total = framesDone;
    draw(bar, framesDone);
    std::fputc('\n', stderr);
}

}  // namespace glint::capture
