// Frame rates of the GL and the software device in each scene: the show is
// played up to the scene on the device's state alone, then a fixed list of the
// scene's frames is drawn over and over, each to the end of its scene. The GL
// device draws at the window's size through the display; the software device
// draws into a surface of its own at the show's size and a desktop's.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "platform/gfx/software_device.h"
#include "platform/sdl/sdl_video.h"
#include "tests/gl/show_frames.h"

namespace glint::test {
namespace {

// Eight frames a clock unit apart from each scene's first chosen frame.
constexpr std::int32_t kFramesPerList = 8;

struct FrameSize {
    std::int32_t width, height;
};

constexpr FrameSize kSoftwareSizes[] = {{kWindowWidth, kWindowHeight}, {1440, 1080}};

void drawFrames(benchmark::State& state, gfx::Device& device, std::int32_t scene, FrameSize size) {
    ShowFrames show(device, size.width, size.height);
    const std::int32_t first = kSceneFrames[scene][0];
    show.drawAt(first);
    for (auto _ : state) {
        for (std::int32_t i = 0; i < kFramesPerList; ++i)
            show.redrawAt(first + i);
        // Every frame drawn in the time taken: a device may still be drawing the last.
        device.readBack();
    }
    state.counters["fps"] = benchmark::Counter(
        static_cast<double>(state.iterations() * kFramesPerList), benchmark::Counter::kIsRate);
}

void glFrames(benchmark::State& state, std::int32_t scene) {
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
            display.graphics->createDevice(gfx::DeviceKind::hardware, *target, device);
        }
        if (device == nullptr) {
            state.SkipWithError("no device of this kind here");
        } else {
            drawFrames(state, *device, scene, {kWindowWidth, kWindowHeight});
        }
    }
    quitVideo();
}

void softwareFrames(benchmark::State& state, std::int32_t scene, FrameSize size,
                    std::int32_t threads) {
    gfx::Surface target = surfaceWithDepth(size.width, size.height);
    const auto device = gfx::createSoftwareDevice(target, {}, {threads});
    drawFrames(state, *device, scene, size);
}

const bool registered = [] {
    for (std::int32_t scene = 0; scene < kSceneCount; ++scene) {
        const std::string prefix = "BM_SceneFrames/" + std::to_string(scene);
        benchmark::RegisterBenchmark((prefix + "/gl/640x480").c_str(), glFrames, scene)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        for (const FrameSize size : kSoftwareSizes) {
            const std::string name = prefix + "/software/" + std::to_string(size.width) + "x" +
                                     std::to_string(size.height);
            // No count: as many as the device picks, all cores unless told otherwise.
            for (const std::int32_t threads : {0, 1}) {
                benchmark::RegisterBenchmark((threads == 0 ? name : name + "/threads:1").c_str(),
                                             softwareFrames, scene, size, threads)
                    ->Unit(benchmark::kMillisecond)
                    ->UseRealTime();
            }
        }
    }
    return true;
}();

}  // namespace
}  // namespace glint::test
