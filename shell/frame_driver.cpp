#include "platform/gfx/results.h"
#include "scenes/timeline.h"
#include "shell/music.h"
#include "shell/shell.h"

namespace glint {
namespace {

constexpr float kSceneUnitsPerMs = 0.01f;
constexpr std::int64_t kMsPerSecond = 1000;
// Longer than any frame takes and than the music's device may stand still before it
// counts as lost: only a process that did not run leaves the music this far behind.
constexpr std::int64_t kLongestPauseMs = 1000;

// Time on the clock in which the music played nothing (the process was stopped, the
// machine slept) is no time to the scenes either: they go on from where they stood, in
// step with the song.
void skipPause(Shell& shell, std::uint32_t now) {
    const std::uint64_t played = musicFramesPlayed();
    const std::int64_t clockMs = static_cast<std::uint32_t>(now - shell.lastFrameAt);
    const auto musicMs = static_cast<std::int64_t>((played - shell.framesPlayedAtLastFrame) *
                                                   kMsPerSecond / kOutputRate);
    if (clockMs - musicMs > kLongestPauseMs) {
        shell.startTime += static_cast<std::uint32_t>(clockMs - musicMs);
    }
    shell.lastFrameAt = now;
    shell.framesPlayedAtLastFrame = played;
}

}  // namespace

float sceneTimeAt(std::uint32_t now, std::uint32_t startTime) {
    const std::uint32_t elapsed = now - startTime;
    return static_cast<float>(static_cast<double>(elapsed) * static_cast<double>(kSceneUnitsPerMs));
}

std::int32_t renderFrame(Shell& shell) {
    // A failed re-creation leaves no device for the frames before the quit arrives.
    if (!shell.devices.device) return gfx::kOk;
    if (gfx::failed(shell.graphics.testCooperativeLevel())) return gfx::kOk;
    const std::uint32_t now = shell.clock.milliseconds();
    skipPause(shell, now);
    shell.sceneTime = sceneTimeAt(now, shell.startTime);
    if (runTimeline(*shell.devices.device, shell.sceneTime) < 0) return gfx::kErrFail;
    if (timeline().quitRequested) {
        timeline().quitRequested = false;
        shell.window.postQuitMessage(0);
    }
    if (presentFrame(shell) == gfx::kErrSurfaceLost) restoreSurfaces(shell);
    return gfx::kOk;
}

std::int32_t presentFrame(Shell& shell) {
    DeviceState& state = shell.devices;
    if (!state.primarySurface || !state.backBuffer) return gfx::kErrFail;
    return shell.graphics.present(state.device.get(), *state.backBuffer, *state.primarySurface,
                                  shell.windowRect);
}

std::int32_t restoreSurfaces(Shell& shell) {
    DeviceState& state = shell.devices;
    for (gfx::Surface* surface : {state.primarySurface.get(), state.backBuffer.get()}) {
        if (surface != nullptr && shell.graphics.isLost(*surface)) shell.graphics.restore(*surface);
    }
    return gfx::kOk;
}

}  // namespace glint
