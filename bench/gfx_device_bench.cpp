// The software device at the show's size and states, one triangle per call,
// with the widest spans the processor has and with four-pixel spans.
#include <benchmark/benchmark.h>

#include <bit>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/gfx/software_device.h"

namespace glint::gfx {
namespace {

constexpr std::int32_t kWidth = 640;
constexpr std::int32_t kHeight = 480;
constexpr TransformMatrix kShowProjection{
    {{2, 0, 0, 0}, {0, 2, 0, 0}, {0, 0, 1, 1}, {0, 0, -1, 0}}};

struct Stage {
    Surface surface;
    Texture texture{128, 128, kFormatRgb565, {}};
    std::unique_ptr<Device> device;

    // The show's standing state: white light and material, its projection, a
    // 128 × 128 texture, linear fog from 0.1 to 100.8 and depth testing.
    explicit Stage(SpanWidth spans) {
        surface.width = kWidth;
        surface.height = kHeight;
        surface.pixels.assign(kWidth * kHeight, 0);
        surface.depth.assign(kWidth * kHeight, 1.0f);
        for (int i = 0; i < 128 * 128; ++i) {
            texture.texels.push_back(static_cast<std::uint16_t>(i * 2654435761u >> 16));
        }
        device = createSoftwareDevice(surface, {}, {}, spans);
        Device& d = *device;
        d.setRenderState(RenderState::cullMode, kCullNone);
        d.setRenderState(RenderState::ambient, 0xFFFFFFFF);
        d.setRenderState(RenderState::zEnable, 1);
        d.setRenderState(RenderState::alphaBlendEnable, 1);
        d.setRenderState(RenderState::fogEnable, 1);
        d.setRenderState(RenderState::fogTableMode, kFogLinear);
        d.setRenderState(RenderState::fogStart, std::bit_cast<std::uint32_t>(0.1f));
        d.setRenderState(RenderState::fogEnd, std::bit_cast<std::uint32_t>(100.8f));
        d.setRenderState(RenderState::fogColor, 0x0A1428);
        d.setTransform(TransformKind::projection, kShowProjection);
        MaterialColours white{};
        white.ambient = {1, 1, 1, 1};
        white.diffuse = {1, 1, 1, 1};
        d.setMaterial(white);
        d.setTexture(0, &texture);
        d.clear(kClearTarget | kClearZBuffer, 0x0A1428, 1.0f);
    }

    void blend(bool colour) {
        device->setRenderState(RenderState::srcBlend, colour ? kBlendSrcColor : kBlendOne);
        device->setRenderState(RenderState::destBlend, colour ? kBlendInvSrcColor : kBlendZero);
    }
};

// A plane receding from view depth 2 at the bottom of the screen to 30 above
// its top, wider than the screen everywhere: every pixel is drawn, and every
// run passes the depth test again at the same depth.
void BM_FullScreenLayer(benchmark::State& state, SpanWidth spans) {
    Stage stage(spans);
    stage.blend(true);
    const Vertex nearLeft{-20, -1.5f, 2, 0, 0, -1, 0, 0};
    const Vertex nearRight{20, -1.5f, 2, 0, 0, -1, 4, 0};
    const Vertex farRight{20, 16, 30, 0, 0, -1, 4, 8};
    const Vertex farLeft{-20, 16, 30, 0, 0, -1, 0, 8};
    const Vertex first[3] = {nearLeft, nearRight, farRight};
    const Vertex second[3] = {nearLeft, farRight, farLeft};
    for (auto _ : state) {
        stage.device->drawTriangle(first);
        stage.device->drawTriangle(second);
    }
    benchmark::DoNotOptimize(stage.surface.pixels.data());
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK_CAPTURE(BM_FullScreenLayer, widest, SpanWidth::widest)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FullScreenLayer, fourPixels, SpanWidth::fourPixels)
    ->Unit(benchmark::kMillisecond);

// A 50 × 50 grid with one texture repeat per cell, as the show's floors,
// tilted away from the viewer so that it covers the screen from the bottom
// to near the top; 4,802 calls per frame.
void BM_Grid50(benchmark::State& state, SpanWidth spans) {
    Stage stage(spans);
    stage.blend(false);
    constexpr int kSide = 50;
    std::vector<Vertex> grid;
    for (int j = 0; j < kSide; ++j) {
        for (int k = 0; k < kSide; ++k) {
            const float s = 2.0f * static_cast<float>(k) / (kSide - 1) - 1.0f;
            const float t = 2.0f * static_cast<float>(j) / (kSide - 1) - 1.0f;
            const auto corner = static_cast<float>((j * kSide + k) % 2);
            grid.push_back(
                {60 * s, 40 * t, 60 + 35 * t, 0, 0, -1, corner, static_cast<float>(j % 2)});
        }
    }
    std::vector<Vertex> triangles;
    for (int r = 0; r + 1 < kSide; ++r) {
        for (int c = 0; c + 1 < kSide; ++c) {
            const int v = r * kSide + c;
            for (const int index : {v, v + 1, v + kSide, v + 1, v + kSide + 1, v + kSide}) {
                triangles.push_back(grid[static_cast<std::size_t>(index)]);
            }
        }
    }
    for (auto _ : state) {
        Vertex scratch[3];
        for (std::size_t i = 0; i < triangles.size(); i += 3) {
            scratch[0] = triangles[i];
            scratch[1] = triangles[i + 1];
            scratch[2] = triangles[i + 2];
            stage.device->drawTriangle(scratch);
        }
    }
    benchmark::DoNotOptimize(stage.surface.pixels.data());
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(triangles.size() / 3));
}
BENCHMARK_CAPTURE(BM_Grid50, widest, SpanWidth::widest)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Grid50, fourPixels, SpanWidth::fourPixels)->Unit(benchmark::kMillisecond);

// One call drawing a triangle of about five pixels, textured, fogged and
// depth-tested, at one of sixteen places on the screen.
void BM_SmallTriangle(benchmark::State& state, SpanWidth spans) {
    Stage stage(spans);
    stage.blend(false);
    std::vector<Vertex> triangles;
    for (int i = 0; i < 16; ++i) {
        // At depth 10 one pixel is 1/64 of a unit.
        const float x = -4.0f + 0.5f * static_cast<float>(i);
        const float y = -3.0f + 0.37f * static_cast<float>(i);
        constexpr float kLeg = 3.3f / 64.0f;
        triangles.push_back({x, y, 10, 0, 0, -1, 0, 0});
        triangles.push_back({x + kLeg, y, 10, 0, 0, -1, 1, 0});
        triangles.push_back({x, y + kLeg, 10.1f, 0, 0, -1, 0, 1});
    }
    std::size_t next = 0;
    for (auto _ : state) {
        const Vertex(&corners)[3] = *reinterpret_cast<const Vertex(*)[3]>(&triangles[next]);
        stage.device->drawTriangle(corners);
        next += 3;
        if (next == triangles.size()) next = 0;
    }
    benchmark::DoNotOptimize(stage.surface.pixels.data());
}
BENCHMARK_CAPTURE(BM_SmallTriangle, widest, SpanWidth::widest);
BENCHMARK_CAPTURE(BM_SmallTriangle, fourPixels, SpanWidth::fourPixels);

}  // namespace
}  // namespace glint::gfx
