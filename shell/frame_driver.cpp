#include "platform/gfx/results.h"
#include "scenes/timeline.h"
#include "shell/shell.h"

namespace glint {
namespace {

constexpr float kSceneUnitsPerMs = 0.01f;

}  // namespace

float sceneTimeAt(std::uint32_t now, std::uint32_t startTime) {
    const std::uint32_t elapsed = now - startTime;
    return static_cast<float>(static_cast<double>(elapsed) * static_cast<double>(kSceneUnitsPerMs));
}

std::int32_t renderFrame(Shell& shell) {
    // A failed re-creation leaves no device for the frames before the quit arrives.
    if (!shell.devices.device) return gfx::kOk;
    if (gfx::failed(shell.graphics.testCooperativeLevel())) return gfx::kOk;
    shell.sceneTime = sceneTimeAt(shell.clock.milliseconds(), shell.startTime);
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
