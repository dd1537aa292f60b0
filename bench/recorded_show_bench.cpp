// Frames per second of each scene in the recorded show, measured as the web page's
// figures are (bench/web/page_bench.mjs): the deterministic show at 30 frames a second
// and 640 × 480, played up to the scene, then a run of its frames, sound and all.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "engine/content.h"
#include "platform/resources.h"
#include "scenes/timeline.h"
#include "shell/deterministic_show.h"

namespace glint {
namespace {

constexpr std::int32_t kFramesPerSecond = 30;
constexpr std::int32_t kFramesMeasured = 150;  // five seconds of the scene

void recordedScene(benchmark::State& state, std::int32_t scene, std::int32_t threads) {
    resetSceneContent();
    resetTimeline();
    useResources(embeddedResources());
    DeterministicShow show(kFramesPerSecond);
    show.graphics.drawingThreads.count = threads;
    if (startDeterministicShow(show) != 0) {
        state.SkipWithError("no device");
        return;
    }
    std::vector<ShowEvent> events;
    while (timeline().sceneIndex < scene && advanceFrame(show, events))
        events.clear();
    for (auto _ : state) {
        if (timeline().sceneIndex != scene || !advanceFrame(show, events)) {
            state.SkipWithError("the scene ended");
            break;
        }
        events.clear();
    }
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

const bool registered = [] {
    for (std::int32_t scene = 0; scene < kSceneCount; ++scene) {
        for (const std::int32_t threads : {1, 0}) {
            const std::string name = "BM_RecordedScene/" + std::to_string(scene) +
                                     (threads == 0 ? "/threads:all" : "/threads:1");
            benchmark::RegisterBenchmark(name.c_str(), recordedScene, scene, threads)
                ->Iterations(kFramesMeasured)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
    }
    return true;
}();

}  // namespace
}  // namespace glint
