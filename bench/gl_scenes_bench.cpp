// Frame rates of the GL and the software device in each scene at 640 × 480: the
// show is played up to the scene on the device's state alone, then a fixed list
// of the scene's frames is drawn over and over, each to the end of its scene.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "platform/sdl/sdl_video.h"
#include "tests/gl/show_frames.h"

namespace glint::test {
namespace {

// Eight frames a clock unit apart from each scene's first chosen frame.
constexpr std::int32_t kFramesPerList = 8;

void sceneFrames(benchmark::State& state, std::int32_t scene, gfx::DeviceKind kind) {
    // Headless unless the caller names a video driver.
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    std::string error;
    if (!initVideo(kWindowClass, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    {
        SdlDisplay display = openSdlDisplay({kWindowTitle, kWindowWidth, kWindowHeight}, error);
        std::unique_ptr<gfx::Surface> target;
        std::unique_ptr<gfx::Device> device;
        if (display.graphics) {
            display.graphics->createBackBuffer(kWindowWidth, kWindowHeight, target);
            display.graphics->createDepthBuffer(*target, gfx::kFormatDepth32,
                                                gfx::MemoryKind::video);
            display.graphics->createDevice(kind, *target, device);
        }
        if (device == nullptr) {
            state.SkipWithError("no device of this kind here");
        } else {
            ShowFrames show(*device, kWindowWidth, kWindowHeight);
            const std::int32_t first = kSceneFrames[scene][0];
            show.drawAt(first);
            for (auto _ : state) {
                for (std::int32_t i = 0; i < kFramesPerList; ++i)
                    show.redrawAt(first + i);
            }
            state.counters["fps"] =
                benchmark::Counter(static_cast<double>(state.iterations() * kFramesPerList),
                                   benchmark::Counter::kIsRate);
        }
    }
    quitVideo();
}

const bool registered = [] {
    for (std::int32_t scene = 0; scene < kSceneCount; ++scene) {
        for (gfx::DeviceKind kind : {gfx::DeviceKind::hardware, gfx::DeviceKind::software}) {
            const std::string name = "BM_SceneFrames/" + std::to_string(scene) +
                                     (kind == gfx::DeviceKind::hardware ? "/gl" : "/software");
            benchmark::RegisterBenchmark(name.c_str(), sceneFrames, scene, kind)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
    }
    return true;
}();

}  // namespace
}  // namespace glint::test
