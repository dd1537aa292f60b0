// The per-frame engine work of the tunnel scenes, and a content build.
#include <benchmark/benchmark.h>

#include <cmath>

#include "engine/content.h"
#include "engine/deformers.h"
#include "engine/generators.h"
#include "engine/normals.h"
#include "platform/gfx/results.h"

namespace glint {
namespace {

// A device that takes every call and draws nothing.
struct NullDevice : gfx::Device {
    std::int32_t clear(std::uint32_t, std::uint32_t, float) override { return gfx::kOk; }
    std::int32_t beginScene() override { return gfx::kOk; }
    std::int32_t endScene() override { return gfx::kOk; }
    std::int32_t setViewport(const gfx::Viewport&) override { return gfx::kOk; }
    std::int32_t getViewport(gfx::Viewport& viewport) const override {
        viewport = {};
        return gfx::kOk;
    }
    std::int32_t getTransform(gfx::TransformKind, gfx::TransformMatrix& matrix) const override {
        matrix = {};
        return gfx::kOk;
    }
    std::int32_t setTransform(gfx::TransformKind, const gfx::TransformMatrix&) override {
        return gfx::kOk;
    }
    std::int32_t setRenderState(gfx::RenderState, std::uint32_t) override { return gfx::kOk; }
    std::int32_t setMaterial(const gfx::MaterialColours&) override { return gfx::kOk; }
    std::int32_t setTexture(std::uint32_t, const gfx::Texture*) override { return gfx::kOk; }
    std::int32_t drawTriangle(const gfx::Vertex (&corners)[3]) override {
        benchmark::DoNotOptimize(corners[0].x);
        return gfx::kOk;
    }
    std::int32_t getCaps(gfx::DeviceCaps& caps) const override {
        caps = {};
        return gfx::kOk;
    }
    std::vector<gfx::PixelFormat> textureFormats() const override { return {gfx::kFormatRgb565}; }
    std::unique_ptr<gfx::Texture> createTexture(std::int32_t, std::int32_t,
                                                const gfx::PixelFormat&) override {
        return nullptr;
    }
};

Mesh tunnelMesh() {
    Mesh tube;
    makeTube(80, 10, 200, 10, 300, tube);
    resetDrawnLists(tube);
    computeFaceNormals(tube);
    return tube;
}

// The same sums as computeVertexNormals, found by scanning every face per vertex.
void scanVertexNormals(Mesh& mesh) {
    const FaceList& faces = *mesh.faces;
    for (std::int32_t v = 0; v < mesh.vertexCount; ++v) {
        double x = 0, y = 0, z = 0;
        int count = 0;
        for (std::int32_t i = 0; i < mesh.faceCount; ++i) {
            const auto face = static_cast<std::size_t>(i);
            for (std::int32_t corner : {faces.first[face], faces.second[face], faces.third[face]}) {
                if (corner != v) continue;
                x += faces.faceNormals[face].x;
                y += faces.faceNormals[face].y;
                z += faces.faceNormals[face].z;
                ++count;
            }
        }
        if (count > 0) {
            x /= count;
            y /= count;
            z /= count;
        }
        double lengthSquared = x * x + y * y + z * z;
        if (lengthSquared == 0) lengthSquared = 1;
        const double length = std::sqrt(lengthSquared);
        mesh.baseVertices->normals[static_cast<std::size_t>(v)] = {static_cast<float>(x / length),
                                                                   static_cast<float>(y / length),
                                                                   static_cast<float>(z / length)};
    }
}

void tunnelVertexNormals(benchmark::State& state) {
    Mesh tube = tunnelMesh();
    for (auto _ : state) {
        computeVertexNormals(tube);
        benchmark::DoNotOptimize(tube.baseVertices->normals.data());
    }
}
BENCHMARK(tunnelVertexNormals);

void tunnelVertexNormalsByScan(benchmark::State& state) {
    Mesh tube = tunnelMesh();
    for (auto _ : state) {
        scanVertexNormals(tube);
        benchmark::DoNotOptimize(tube.baseVertices->normals.data());
    }
}
BENCHMARK(tunnelVertexNormalsByScan)->Unit(benchmark::kMillisecond);

// One frame of the tunnel: a new ring, the mapping chain and the draw.
void tunnelFrame(benchmark::State& state) {
    Mesh tube = tunnelMesh();
    NullDevice device;
    double phase = 0;
    for (auto _ : state) {
        scrollRings(tube, 10);
        newTunnelRing(10, phase += 0.1, 10, 300, tube, 1, 1);
        computeFaceNormals(tube);
        computeVertexNormals(tube);
        rotateNormals(tube);
        sphereMapFromNormals(tube);
        tube.draw(device);
    }
}
BENCHMARK(tunnelFrame);

// The ripple of one wave sheet, as scenes 0 and 1 give it every frame.
void sheetRipple(benchmark::State& state) {
    Mesh sheet;
    makeGrid(30, 30, 41, 41, sheet, kTexStretched);
    double phase = 0;
    for (auto _ : state) {
        waveDeform(sheet, phase += 0.1, 40.0, 30.5);
        benchmark::DoNotOptimize(sheet.baseVertices->vertices.data());
    }
}
BENCHMARK(sheetRipple);

void buildContent(benchmark::State& state) {
    NullDevice device;
    for (auto _ : state)
        buildSceneContent(device);
    resetSceneContent();
}
BENCHMARK(buildContent)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace glint
