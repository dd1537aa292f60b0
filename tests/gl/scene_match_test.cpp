// Frames of all eight scenes at the show's size through both devices: nearly
// every pixel alike, and the pixels that differ lying on triangle edges.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <functional>
#include <numeric>
#include <vector>

#include "platform/gfx/software_device.h"
#include "tests/gl/gl_fixture.h"
#include "tests/gl/show_frames.h"

namespace glint::test {
namespace {

constexpr int kTolerance = 2;             // per channel
constexpr double kLeastMatching = 0.999;  // of all pixels
// Where a pixel centre maps this close to a texel boundary, relative to the size
// of its texture coordinates (at least 1), the two devices' rounding may pick
// either texel: 1/32 of a texel of the largest texture near the origin.
constexpr float kTexelNudge = 1.0f / 8192.0f;
// Such pixels away from edges, where the devices' interpolation, single against
// double precision, falls either side of a boundary: at most 0.01 % of all.
constexpr int kMostOnTexelBoundaries = kWindowWidth * kWindowHeight / 10000;
// Others, from rounding piled up under fog and blends: at most ten.
constexpr int kMostUnexplained = 10;
// How far from an edge's line its pixels may go astray, in pixels.
constexpr double kEdgeReach = 1.5;

// Which pixels lie within reach of an edge of any triangle drawn.
struct EdgeMap {
    std::int32_t width = 0, height = 0;
    std::vector<bool> near;

    void reset(std::int32_t w, std::int32_t h) {
        width = w;
        height = h;
        near.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), false);
    }

    bool at(std::int32_t x, std::int32_t y) const {
        return near[static_cast<std::size_t>(y) * width + x];
    }

    // Marks the pixels near the segment, cut first to the map grown by the reach.
    void trace(double x0, double y0, double x1, double y1) {
        double enter = 0.0, leave = 1.0;
        const double dx = x1 - x0, dy = y1 - y0;
        const double bounds[4][2] = {{-dx, x0 + kEdgeReach},
                                     {dx, width - 1 + kEdgeReach - x0},
                                     {-dy, y0 + kEdgeReach},
                                     {dy, height - 1 + kEdgeReach - y0}};
        for (const auto& [p, q] : bounds) {
            if (p == 0.0) {
                if (q < 0.0) return;
                continue;
            }
            const double t = q / p;
            if (p < 0.0) enter = std::max(enter, t);
            if (p > 0.0) leave = std::min(leave, t);
        }
        if (enter > leave) return;
        const double length = std::hypot(dx, dy) * (leave - enter);
        const int steps = static_cast<int>(std::ceil(length * 2.0)) + 1;
        for (int i = 0; i <= steps; ++i) {
            const double t = enter + (leave - enter) * i / steps;
            mark(x0 + dx * t, y0 + dy * t);
        }
    }

private:
    void mark(double x, double y) {
        const auto reach = static_cast<std::int32_t>(std::ceil(kEdgeReach));
        const auto cx = static_cast<std::int32_t>(std::lround(x));
        const auto cy = static_cast<std::int32_t>(std::lround(y));
        for (std::int32_t py = std::max(cy - reach, 0); py <= std::min(cy + reach, height - 1);
             ++py) {
            for (std::int32_t px = std::max(cx - reach, 0); px <= std::min(cx + reach, width - 1);
                 ++px) {
                if (std::hypot(px - x, py - y) <= kEdgeReach)
                    near[static_cast<std::size_t>(py) * width + px] = true;
            }
        }
    }
};

// Draws through the wrapped device, with the texture coordinates moved by
// `nudge` times one more than their size, and traces each triangle's edges, cut to the near plane
// as the devices cut them, into an edge map.
class EdgeTracer final : public gfx::Device {
public:
    EdgeTracer(gfx::Device& device, EdgeMap& edges, float nudge = 0.0f)
        : device_(device), edges_(edges), nudge_(nudge) {}

    std::int32_t clear(std::uint32_t flags, std::uint32_t colour, float depth) override {
        return device_.clear(flags, colour, depth);
    }
    std::int32_t beginScene() override { return device_.beginScene(); }
    std::int32_t endScene() override { return device_.endScene(); }
    std::int32_t readBack() override { return device_.readBack(); }
    std::int32_t setViewport(const gfx::Viewport& viewport) override {
        viewport_ = viewport;
        return device_.setViewport(viewport);
    }
    std::int32_t getViewport(gfx::Viewport& viewport) const override {
        return device_.getViewport(viewport);
    }
    std::int32_t setTransform(gfx::TransformKind kind, const gfx::TransformMatrix& m) override {
        matrices_[static_cast<std::size_t>(kind)] = m;
        return device_.setTransform(kind, m);
    }
    std::int32_t getTransform(gfx::TransformKind kind, gfx::TransformMatrix& m) const override {
        return device_.getTransform(kind, m);
    }
    std::int32_t setRenderState(gfx::RenderState state, std::uint32_t value) override {
        return device_.setRenderState(state, value);
    }
    std::int32_t setMaterial(const gfx::MaterialColours& colours) override {
        return device_.setMaterial(colours);
    }
    std::int32_t setTexture(std::uint32_t stage, const gfx::Texture* texture) override {
        return device_.setTexture(stage, texture);
    }
    std::int32_t drawTriangle(const gfx::Vertex (&corners)[3]) override {
        trace(corners);
        gfx::Vertex nudged[3] = {corners[0], corners[1], corners[2]};
        for (gfx::Vertex& v : nudged) {
            v.tu += nudge_ * (1.0f + std::abs(v.tu));
            v.tv += nudge_ * (1.0f + std::abs(v.tv));
        }
        return device_.drawTriangle(nudged);
    }
    std::int32_t getCaps(gfx::DeviceCaps& caps) const override { return device_.getCaps(caps); }
    std::vector<gfx::PixelFormat> textureFormats() const override {
        return device_.textureFormats();
    }
    std::unique_ptr<gfx::Texture> createTexture(std::int32_t width, std::int32_t height,
                                                const gfx::PixelFormat& format) override {
        return device_.createTexture(width, height, format);
    }

private:
    using Clip = std::array<double, 4>;

    Clip toClip(const gfx::Vertex& v) const {
        Clip p{v.x, v.y, v.z, 1.0};
        for (const gfx::TransformMatrix& m : matrices_) {
            Clip q{};
            for (int column = 0; column < 4; ++column) {
                for (int row = 0; row < 4; ++row)
                    q[column] += p[row] * m.m[row][column];
            }
            p = q;
        }
        return p;
    }

    void trace(const gfx::Vertex (&corners)[3]) {
        // The polygon left of the triangle in front of the near plane z = 0.
        std::vector<Clip> polygon;
        for (int i = 0; i < 3; ++i) {
            const Clip a = toClip(corners[i]);
            const Clip b = toClip(corners[(i + 1) % 3]);
            if (a[2] >= 0.0) polygon.push_back(a);
            if ((a[2] >= 0.0) != (b[2] >= 0.0)) {
                const double t = a[2] / (a[2] - b[2]);
                Clip c;
                for (int k = 0; k < 4; ++k)
                    c[k] = a[k] + (b[k] - a[k]) * t;
                polygon.push_back(c);
            }
        }
        const double halfWidth = viewport_.width * 0.5, halfHeight = viewport_.height * 0.5;
        const auto screen = [&](const Clip& c) {
            return std::array<double, 2>{viewport_.x + (1.0 + c[0] / c[3]) * halfWidth,
                                         viewport_.y + (1.0 - c[1] / c[3]) * halfHeight};
        };
        for (std::size_t i = 0; i < polygon.size(); ++i) {
            const Clip& a = polygon[i];
            const Clip& b = polygon[(i + 1) % polygon.size()];
            if (a[3] <= 0.0 || b[3] <= 0.0) continue;
            const auto p = screen(a), q = screen(b);
            edges_.trace(p[0], p[1], q[0], q[1]);
        }
    }

    gfx::Device& device_;
    EdgeMap& edges_;
    float nudge_;
    gfx::Viewport viewport_{0, 0, kWindowWidth, kWindowHeight, 0.0f, 1.0f};
    std::array<gfx::TransformMatrix, 3> matrices_{};  // world, view, projection
};

struct Comparison {
    double matching = 0.0;  // share of pixels within the tolerance
    // Pixels beyond it away from every edge: those the software device draws
    // alike once its texture coordinates move by the nudge, and the others.
    int texelBoundaries = 0;
    int unexplained = 0;
};

int largestDifference(std::uint32_t a, std::uint32_t b) {
    int largest = 0;
    for (int shift : {0, 8, 16}) {
        const int pa = static_cast<int>((a >> shift) & 0xFF);
        const int pb = static_cast<int>((b >> shift) & 0xFF);
        largest = std::max(largest, std::abs(pa - pb));
    }
    return largest;
}

using Frame = std::vector<std::uint32_t>;

// `nudged` holds the software frames drawn with the coordinates moved each way.
Comparison compare(const Frame& gl, const Frame& software, const Frame (&nudged)[2],
                   const EdgeMap& edges) {
    Comparison result;
    int alike = 0;
    for (std::size_t i = 0; i < gl.size(); ++i) {
        if (largestDifference(gl[i], software[i]) <= kTolerance) {
            ++alike;
        } else if (!edges.near[i]) {
            const bool boundary = largestDifference(gl[i], nudged[0][i]) <= kTolerance ||
                                  largestDifference(gl[i], nudged[1][i]) <= kTolerance;
            ++(boundary ? result.texelBoundaries : result.unexplained);
        }
    }
    result.matching = static_cast<double>(alike) / static_cast<double>(gl.size());
    return result;
}

enum class Drawn : std::uint8_t { once, twice };

// The chosen frames of every scene in the show's order, drawn through `device`;
// drawn twice, the second is recorded while the device may draw the first.
std::vector<Frame> drawFrames(gfx::Device& device, const gfx::Surface& target,
                              const std::function<void()>& beforeEach = {},
                              Drawn drawn = Drawn::once) {
    std::vector<Frame> frames;
    ShowFrames show(device, target.width, target.height);
    for (std::int32_t scene = 0; scene < kSceneCount; ++scene) {
        for (std::int32_t sceneTime : kSceneFrames[scene]) {
            if (beforeEach) beforeEach();
            show.drawAt(sceneTime);
            if (drawn == Drawn::twice) show.redrawAt(sceneTime);
            EXPECT_EQ(timeline().sceneIndex, scene) << "at " << sceneTime;
            device.readBack();
            frames.push_back(target.pixels);
        }
    }
    return frames;
}

using SceneMatch = DisplayTest;

TEST_F(SceneMatch, EveryScenesFramesMatchTheSoftwareDeviceOffTheEdges) {
    Target gl;
    GLINT_OPEN_GL(gl, kWindowWidth, kWindowHeight);
    Target software = open(gfx::DeviceKind::software, kWindowWidth, kWindowHeight);
    ASSERT_NE(software.device, nullptr);

    const std::vector<Frame> glFrames = drawFrames(*gl.device, *gl.surface);
    std::vector<EdgeMap> edges;
    EdgeMap tracing;
    EdgeTracer tracer(*software.device, tracing);
    const std::vector<Frame> softwareFrames = drawFrames(tracer, *software.surface, [&] {
        if (tracing.width != 0) edges.push_back(tracing);
        tracing.reset(kWindowWidth, kWindowHeight);
    });
    edges.push_back(tracing);
    std::vector<Frame> nudged[2];
    for (int way = 0; way < 2; ++way) {
        EdgeMap unused;
        EdgeTracer nudging(*software.device, unused, way == 0 ? kTexelNudge : -kTexelNudge);
        nudged[way] = drawFrames(nudging, *software.surface,
                                 [&] { unused.reset(kWindowWidth, kWindowHeight); });
    }

    std::size_t index = 0;
    for (std::int32_t scene = 0; scene < kSceneCount; ++scene) {
        for (std::int32_t sceneTime : kSceneFrames[scene]) {
            const Comparison c = compare(glFrames[index], softwareFrames[index],
                                         {nudged[0][index], nudged[1][index]}, edges[index]);
            ++index;
            std::printf(
                "scene %d at %4d: %.3f %% alike; off the edges %d on texel boundaries, "
                "%d other\n",
                scene, sceneTime, 100.0 * c.matching, c.texelBoundaries, c.unexplained);
            EXPECT_GE(c.matching, kLeastMatching) << "scene " << scene << " at " << sceneTime;
            EXPECT_LE(c.texelBoundaries, kMostOnTexelBoundaries)
                << "scene " << scene << " at " << sceneTime;
            EXPECT_LE(c.unexplained, kMostUnexplained) << "scene " << scene << " at " << sceneTime;
        }
    }
}

// Shared among threads, band by band or tile by tile, and with the widest
// spans, the frames come out as drawn one triangle at a time on one thread four
// pixels at a time: at a size no tile divides, whose rows end within a quad,
// with tiles down to a single quad, and drawn twice, the second time recorded
// while the first is drawn.
TEST(ParallelDrawing, EveryThreadCountAndTileSizeDrawsTheScenesPixelForPixel) {
    constexpr std::int32_t kWidth = 637;
    constexpr std::int32_t kHeight = 479;
    const auto framesWith = [](gfx::DrawingThreads threads, gfx::SpanWidth spans, Drawn drawn) {
        gfx::Surface target = surfaceWithDepth(kWidth, kHeight);
        const auto device = gfx::createSoftwareDevice(target, {}, threads, spans);
        return drawFrames(*device, target, {}, drawn);
    };
    const std::vector<Frame> alone[] = {framesWith({1}, gfx::SpanWidth::fourPixels, Drawn::once),
                                        framesWith({1}, gfx::SpanWidth::fourPixels, Drawn::twice)};
    const struct {
        gfx::DrawingThreads threads;
        gfx::SpanWidth spans;
        Drawn drawn;
    } ways[] = {{{1}, gfx::SpanWidth::widest, Drawn::once},
                {{2}, gfx::SpanWidth::widest, Drawn::once},
                {{7, 36, 20}, gfx::SpanWidth::widest, Drawn::once},
                {{2, 4, 4}, gfx::SpanWidth::fourPixels, Drawn::once},
                {{2}, gfx::SpanWidth::widest, Drawn::twice},
                {{7, 36, 20}, gfx::SpanWidth::widest, Drawn::twice},
                {{2, 4, 4}, gfx::SpanWidth::fourPixels, Drawn::twice}};
    for (const auto& way : ways) {
        const std::vector<Frame> shared = framesWith(way.threads, way.spans, way.drawn);
        const std::vector<Frame>& expected = alone[static_cast<std::size_t>(way.drawn)];
        ASSERT_EQ(shared.size(), expected.size());
        for (std::size_t frame = 0; frame < expected.size(); ++frame) {
            const auto differing =
                std::inner_product(expected[frame].begin(), expected[frame].end(),
                                   shared[frame].begin(), 0, std::plus<>(), std::not_equal_to<>());
            EXPECT_EQ(differing, 0)
                << way.threads.count << " threads, tiles " << way.threads.tileWidth << " by "
                << way.threads.tileHeight
                << (way.spans == gfx::SpanWidth::widest ? ", widest spans" : ", four-pixel spans")
                << (way.drawn == Drawn::twice ? ", drawn twice" : "") << ", frame " << frame;
        }
    }
}

}  // namespace
}  // namespace glint::test
