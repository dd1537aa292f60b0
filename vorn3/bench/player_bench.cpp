// The mixing thread's work: one chunk of 256 playing voices in each interpolation mode, and
// offline rendering of a 12-channel song, reported as a multiple of real time.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "formats/formats.h"
#include "mixer/mix.h"
#include "mixer/mixer.h"
#include "player/player.h"
#include "vorn3/vorn3_c.h"
#include "writers/demo_module.h"

namespace vorn3 {
namespace {

constexpr std::int32_t kRate = 44100;
constexpr std::int32_t kChunkFrames = 884;

// Streams over one module in memory.
std::vector<std::uint8_t> moduleBytes;
MemoryStream reader;

void* memoryOpen(const char*) {
    reader = {moduleBytes.data(), static_cast<std::int32_t>(moduleBytes.size())};
    return &reader;
}
void memoryClose(void*) {}

void openOfflineOutput() {
    resetPlayer(defaultPlayer());
    setStreamCallbacks(memoryOpen, memoryClose, memoryRead, memorySeek, memoryTell);
    openAudio(kRate);
}

// A looped single-cycle wave of `frames` frames.
Sample loopedWave(std::uint32_t frames, LoopType loop) {
    Sample sample{};
    sample.data = allocateFrames(frames);
    for (std::uint32_t i = 0; i < frames; ++i)
        sample.data[i] = static_cast<std::int16_t>((i * 65536 / frames) - 32768);
    sample.length = frames;
    sample.loopLength = frames;
    sample.loopType = loop;
    sample.volume = 64;
    sample.data[frames] = loop == LoopType::pingPong ? sample.data[frames - 1] : sample.data[0];
    return sample;
}

void BM_MixPass256Voices(benchmark::State& state, Interpolation mode) {
    openOfflineOutput();
    setInterpolation(mode);
    Sample samples[] = {loopedWave(64, LoopType::forward), loopedWave(300, LoopType::pingPong),
                        loopedWave(2000, LoopType::forward), loopedWave(17, LoopType::forward)};
    for (std::int32_t i = 0; i < kVoiceCount; ++i) {
        Voice& voice = *voiceAt(defaultPlayer().mixer, i);
        setVoiceVolume(voice, 60 + i % 60);
        setVoicePanning(voice, i);
        setVoiceFrequency(defaultPlayer().mixer, voice, 4000 + i * 211);
        triggerVoice(defaultPlayer().mixer, i, &samples[i % std::size(samples)]);
    }
    std::vector<float> accumulator(2 * kChunkFrames);
    std::vector<std::int16_t> pcm(2 * kChunkFrames);
    for (auto _ : state) {
        std::fill(accumulator.begin(), accumulator.end(), 0.0f);
        mixVoices(defaultPlayer().mixer, accumulator.data(), kChunkFrames);
        convertToPcm16(pcm.data(), accumulator.data(), kChunkFrames);
        benchmark::DoNotOptimize(pcm.data());
    }
    resetMixer(defaultPlayer().mixer);
    for (Sample& sample : samples)
        releaseFrames(sample.data);
}
BENCHMARK_CAPTURE(BM_MixPass256Voices, nearest, Interpolation::nearest)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_MixPass256Voices, linear, Interpolation::linear)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_MixPass256Voices, cubic, Interpolation::cubic)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_MixPass256Voices, sinc, Interpolation::sinc)->Unit(benchmark::kMicrosecond);

// Each iteration renders one second of the demo song; the "realtime" counter is seconds
// of sound per second of rendering.
void BM_RenderModule12ch(benchmark::State& state) {
    moduleBytes = xm::writeModule(xm::demoModule());
    openOfflineOutput();
    Song* song = songCreate("demo.xm", nullptr);
    songStart(song);
    std::vector<std::int16_t> pcm(2 * kRate);
    for (auto _ : state) {
        renderAudio(pcm.data(), kRate);
        benchmark::DoNotOptimize(pcm.data());
    }
    state.counters["realtime"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    songFree(song);
    resetMixer(defaultPlayer().mixer);
}
BENCHMARK(BM_RenderModule12ch)->Unit(benchmark::kMicrosecond);

// The same through a tune, measuring each channel's level for a host (argument 1) or not.
void BM_RenderTune12ch(benchmark::State& state) {
    const std::vector<std::uint8_t> bytes = xm::writeModule(xm::demoModule());
    vorn3_tune* tune = nullptr;
    vorn3_load(bytes.data(), bytes.size(), kRate, &tune);
    vorn3_set_passes(tune, kPlayForever);
    vorn3_channel_state channel{};
    if (state.range(0) != 0) vorn3_get_state(tune, &channel, 1);
    std::vector<std::int16_t> pcm(2 * kRate);
    for (auto _ : state) {
        vorn3_render_s16(tune, pcm.data(), kRate);
        benchmark::DoNotOptimize(pcm.data());
    }
    state.counters["realtime"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    vorn3_free(tune);
}
BENCHMARK(BM_RenderTune12ch)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vorn3
