// Which pixels a triangle covers: the fill rule, shared edges, culling,
// clipping and hostile coordinates.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "tests/gfx/canvas.h"

namespace glint::gfx::test {
namespace {

using Pixels = std::set<std::pair<int, int>>;

Pixels covered(const Canvas& canvas, std::uint32_t background = kBlack) {
    Pixels result;
    for (int y = 0; y < canvas.surface.height; ++y) {
        for (int x = 0; x < canvas.surface.width; ++x) {
            if (canvas.at(x, y) != background) result.insert({x, y});
        }
    }
    return result;
}

// Blending a colour of 0.5 with SRCCOLOR/INVSRCCOLOR onto black leaves a
// different value after each draw, so a pixel tells how often it was drawn.
struct DrawCounter {
    static constexpr std::uint32_t kOnce = 0x404040;   // 0.25
    static constexpr std::uint32_t kTwice = 0x606060;  // 0.375

    explicit DrawCounter(Canvas& canvas) {
        canvas.setColour(0.5f, 0.5f, 0.5f);
        canvas.device->setRenderState(RenderState::alphaBlendEnable, 1);
        canvas.device->setRenderState(RenderState::srcBlend, kBlendSrcColor);
        canvas.device->setRenderState(RenderState::destBlend, kBlendInvSrcColor);
        canvas.device->setRenderState(RenderState::zEnable, 0);
    }
};

TEST(Coverage, TopLeftRuleOnTheTwoReferenceTriangles) {
    Canvas upper(8, 8);
    upper.draw(upper.corner(0, 0), upper.corner(5, 0), upper.corner(5, 5));
    Pixels expectedUpper;
    for (int y = 0; y < 5; ++y) {
        for (int x = y; x < 5; ++x)
            expectedUpper.insert({x, y});
    }
    EXPECT_EQ(covered(upper), expectedUpper);
    EXPECT_EQ(covered(upper).size(), 15u);

    Canvas lower(8, 8);
    lower.draw(lower.corner(0, 5), lower.corner(0, 0), lower.corner(5, 5));
    Pixels expectedLower;
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < y; ++x)
            expectedLower.insert({x, y});
    }
    EXPECT_EQ(covered(lower), expectedLower);
    EXPECT_EQ(covered(lower).size(), 10u);

    // The corner order does not change the coverage.
    Canvas reversed(8, 8);
    reversed.draw(reversed.corner(5, 5), reversed.corner(5, 0), reversed.corner(0, 0));
    EXPECT_EQ(covered(reversed), expectedUpper);
}

// The pixels whose centres a triangle covers, by evaluating the three edge
// functions at every pixel centre in units of 1/256 pixel.
Pixels referenceCoverage(const std::int64_t (&x)[3], const std::int64_t (&y)[3], int width,
                         int height) {
    const std::int64_t area = (x[1] - x[0]) * (y[2] - y[0]) - (x[2] - x[0]) * (y[1] - y[0]);
    Pixels result;
    if (area == 0) return result;
    const int order[3] = {0, area > 0 ? 1 : 2, area > 0 ? 2 : 1};
    for (int py = 0; py < height; ++py) {
        for (int px = 0; px < width; ++px) {
            bool inside = true;
            for (int e = 0; e < 3; ++e) {
                const int i = order[e];
                const int j = order[(e + 1) % 3];
                const std::int64_t dx = x[j] - x[i];
                const std::int64_t dy = y[j] - y[i];
                const std::int64_t value = dx * (py * 256 - y[i]) - dy * (px * 256 - x[i]);
                const bool topLeft = dy < 0 || (dy == 0 && dx > 0);
                inside = inside && (value > 0 || (value == 0 && topLeft));
            }
            if (inside) result.insert({px, py});
        }
    }
    return result;
}

// Corners on grids from whole pixels down to 1/256 pixel, so that pixel
// centres on edges and corners, and horizontal and vertical edges, are common.
// Every other triangle lies within a few pixels, where narrow triangles take
// their own path.
TEST(Coverage, MatchesTheEdgeFunctionsAtEveryPixelCentre) {
    constexpr int kWidth = 24;
    constexpr int kHeight = 20;
    std::mt19937 random(3);
    for (int trial = 0; trial < 8000; ++trial) {
        const int step = 256 >> (trial % 9);
        const int reach = trial % 2 == 0 ? 32 : 5;
        std::uniform_int_distribution<std::int64_t> origin(-4 * 256 / step, 24 * 256 / step);
        std::uniform_int_distribution<std::int64_t> across(0, reach * 256 / step);
        const std::int64_t originX = trial % 2 == 0 ? -4 * 256 : origin(random) * step;
        const std::int64_t originY = trial % 2 == 0 ? -4 * 256 : origin(random) * step;
        std::int64_t x[3], y[3];
        for (int i = 0; i < 3; ++i) {
            x[i] = originX + across(random) * step;
            y[i] = originY + across(random) * step;
        }
        Canvas canvas(kWidth, kHeight);
        canvas.device->setRenderState(RenderState::zEnable, 0);
        const auto at = [&](int i) {
            return canvas.corner(static_cast<float>(x[i]) / 256.0f,
                                 static_cast<float>(y[i]) / 256.0f);
        };
        canvas.draw(at(0), at(1), at(2));
        ASSERT_EQ(covered(canvas), referenceCoverage(x, y, kWidth, kHeight))
            << "trial " << trial << ": (" << x[0] << "," << y[0] << ") (" << x[1] << "," << y[1]
            << ") (" << x[2] << "," << y[2] << ")";
    }
}

TEST(Coverage, SharedEdgesAreDrawnExactlyOnce) {
    Canvas canvas(16, 16);
    DrawCounter counter(canvas);
    // A square split along its diagonal: 36 pixels, none twice, none missing.
    canvas.draw(canvas.corner(2, 2), canvas.corner(8, 2), canvas.corner(8, 8));
    canvas.draw(canvas.corner(2, 2), canvas.corner(8, 8), canvas.corner(2, 8));
    EXPECT_EQ(canvas.count(DrawCounter::kOnce), 36);
    EXPECT_EQ(canvas.count(DrawCounter::kTwice), 0);
}

TEST(Coverage, FanWithSubPixelCornersCoversItsInteriorOnce) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> jitter(-0.45f, 0.45f);
    for (int trial = 0; trial < 20; ++trial) {
        Canvas canvas(40, 40);
        DrawCounter counter(canvas);
        const float cx = 20.0f + jitter(random);
        const float cy = 20.0f + jitter(random);
        constexpr int kSpokes = 11;
        std::vector<std::pair<double, double>> rim;
        for (int i = 0; i < kSpokes; ++i) {
            const double angle = 2.0 * std::numbers::pi * (i + 0.5 * jitter(random)) / kSpokes;
            rim.push_back({cx + 17.0 * std::cos(angle), cy + 17.0 * std::sin(angle)});
        }
        for (int i = 0; i < kSpokes; ++i) {
            const auto& a = rim[static_cast<std::size_t>(i)];
            const auto& b = rim[static_cast<std::size_t>((i + 1) % kSpokes)];
            canvas.draw(canvas.corner(cx, cy),
                        canvas.corner(static_cast<float>(a.first), static_cast<float>(a.second)),
                        canvas.corner(static_cast<float>(b.first), static_cast<float>(b.second)));
        }
        EXPECT_EQ(canvas.count(DrawCounter::kTwice), 0) << "trial " << trial;
        // Pixels well inside the rim polygon are all drawn (no cracks).
        for (int y = 0; y < 40; ++y) {
            for (int x = 0; x < 40; ++x) {
                bool inside = true;
                for (int i = 0; i < kSpokes; ++i) {
                    const auto& a = rim[static_cast<std::size_t>(i)];
                    const auto& b = rim[static_cast<std::size_t>((i + 1) % kSpokes)];
                    const double ex = b.first - a.first;
                    const double ey = b.second - a.second;
                    const double side =
                        (ex * (y - a.second) - ey * (x - a.first)) / std::hypot(ex, ey);
                    if (side < 0.01) inside = false;
                }
                if (inside) {
                    EXPECT_EQ(canvas.at(x, y), DrawCounter::kOnce) << x << "," << y;
                }
            }
        }
    }
}

TEST(Coverage, CullModesDropOneWindingOnly) {
    const auto drawBoth = [](std::uint32_t cull) {
        Canvas canvas(16, 8);
        canvas.device->setRenderState(RenderState::cullMode, cull);
        canvas.draw(canvas.corner(0, 0), canvas.corner(6, 0), canvas.corner(6, 6));   // clockwise
        canvas.draw(canvas.corner(8, 0), canvas.corner(8, 6), canvas.corner(14, 0));  // counter
        return std::pair{canvas.at(5, 1) == kWhite, canvas.at(9, 1) == kWhite};
    };
    EXPECT_EQ(drawBoth(kCullNone), std::pair(true, true));
    EXPECT_EQ(drawBoth(kCullClockwise), std::pair(false, true));
    EXPECT_EQ(drawBoth(kCullCounterClockwise), std::pair(true, false));
}

TEST(Coverage, DepthTestLessOrEqualWhileEnabledAndNothingWhileDisabled) {
    Canvas canvas(8, 8);
    canvas.setColour(1.0f, 0.0f, 0.0f);
    canvas.draw(canvas.corner(0, 0, 0.25f), canvas.corner(8, 0, 0.25f), canvas.corner(0, 8, 0.25f));
    canvas.setColour(0.0f, 1.0f, 0.0f);
    canvas.draw(canvas.corner(0, 0, 0.75f), canvas.corner(8, 0, 0.75f), canvas.corner(0, 8, 0.75f));
    EXPECT_EQ(canvas.at(1, 1), 0xFF0000u) << "the farther triangle is hidden";
    EXPECT_FLOAT_EQ(canvas.depthAt(1, 1), 0.25f);

    canvas.setColour(0.0f, 0.0f, 1.0f);
    canvas.draw(canvas.corner(0, 0, 0.25f), canvas.corner(8, 0, 0.25f), canvas.corner(0, 8, 0.25f));
    EXPECT_EQ(canvas.at(1, 1), 0x0000FFu) << "equal depth passes";

    canvas.device->setRenderState(RenderState::zEnable, 0);
    canvas.setColour(0.0f, 1.0f, 0.0f);
    canvas.draw(canvas.corner(0, 0, 0.75f), canvas.corner(8, 0, 0.75f), canvas.corner(0, 8, 0.75f));
    EXPECT_EQ(canvas.at(1, 1), 0x00FF00u) << "no test while disabled";
    EXPECT_FLOAT_EQ(canvas.depthAt(1, 1), 0.25f) << "no write while disabled";
    EXPECT_FLOAT_EQ(canvas.depthAt(7, 7), 1.0f);
}

TEST(Coverage, DepthIsInterpolatedAcrossTheTriangle) {
    Canvas canvas(8, 8);
    canvas.draw(canvas.corner(0, 0, 0.0f), canvas.corner(8, 0, 1.0f), canvas.corner(0, 8, 0.0f));
    EXPECT_FLOAT_EQ(canvas.depthAt(0, 0), 0.0f);
    EXPECT_FLOAT_EQ(canvas.depthAt(2, 1), 0.25f);
    EXPECT_FLOAT_EQ(canvas.depthAt(4, 3), 0.5f);
}

TEST(Coverage, ClearsColourAndDepthSeparately) {
    Canvas canvas(6, 4);
    canvas.device->clear(kClearTarget, 0x123456, 0.0f);
    EXPECT_EQ(canvas.count(0x123456), 24);
    EXPECT_FLOAT_EQ(canvas.depthAt(5, 3), 1.0f);
    canvas.device->clear(kClearZBuffer, 0x654321, 0.5f);
    EXPECT_EQ(canvas.count(0x123456), 24);
    EXPECT_FLOAT_EQ(canvas.depthAt(0, 0), 0.5f);
    EXPECT_FLOAT_EQ(canvas.depthAt(5, 3), 0.5f);
    canvas.device->clear(kClearTarget | kClearZBuffer, 0x0A1428, 1.0f);
    EXPECT_EQ(canvas.count(0x0A1428), 24);
    EXPECT_FLOAT_EQ(canvas.depthAt(3, 2), 1.0f);
}

TEST(Coverage, ViewportLimitsClearsAndTriangles) {
    Canvas canvas(8, 8);
    canvas.device->setViewport({2, 2, 4, 4, 0.0f, 1.0f});
    canvas.device->clear(kClearTarget, 0x112233, 1.0f);
    EXPECT_EQ(canvas.count(0x112233), 16);
    EXPECT_EQ(canvas.at(1, 1), kBlack);
    // Clip space now spans the viewport; a huge triangle fills only it.
    const Vertex a{-50, 50, 0.5f, 0, 0, 0, 0, 0};
    const Vertex b{50, 50, 0.5f, 0, 0, 0, 0, 0};
    const Vertex c{0, -50, 0.5f, 0, 0, 0, 0, 0};
    canvas.draw(a, b, c);
    EXPECT_EQ(canvas.count(kWhite), 16);
    EXPECT_EQ(canvas.at(2, 2), kWhite);
    EXPECT_EQ(canvas.at(5, 5), kWhite);
    EXPECT_EQ(canvas.at(6, 6), kBlack);
}

// Corners far outside the guard band are clipped in clip space; the pieces
// must still meet without gaps or overlaps.
TEST(Coverage, HugeTrianglesCoverTheTargetExactlyOnce) {
    for (const float size : {3.0f, 1.0e3f, 1.0e6f, 1.0e20f}) {
        Canvas canvas(33, 17);
        DrawCounter counter(canvas);
        const Vertex a{-size, -size, 0.5f, 0, 0, 0, 0, 0};
        const Vertex b{size, -size, 0.5f, 0, 0, 0, 0, 0};
        const Vertex c{size, size, 0.5f, 0, 0, 0, 0, 0};
        const Vertex d{-size, size, 0.5f, 0, 0, 0, 0, 0};
        canvas.draw(a, b, c);
        canvas.draw(a, c, d);
        EXPECT_EQ(canvas.count(DrawCounter::kOnce), 33 * 17) << size;
    }
}

TEST(Coverage, DegenerateAndNonFiniteTrianglesDrawNothing) {
    constexpr float kInf = std::numeric_limits<float>::infinity();
    constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
    constexpr float kMax = std::numeric_limits<float>::max();
    Canvas canvas(8, 8);
    canvas.draw(canvas.corner(1, 1), canvas.corner(1, 1), canvas.corner(1, 1));
    canvas.draw(canvas.corner(1, 1), canvas.corner(4, 4), canvas.corner(7, 7));
    canvas.draw(canvas.corner(1, 1), canvas.corner(6, 1), canvas.corner(3, 1));
    canvas.draw(canvas.corner(1.2f, 1.2f), canvas.corner(1.7f, 1.2f), canvas.corner(1.2f, 1.7f));
    for (const float bad : {kInf, -kInf, kNaN}) {
        canvas.draw({bad, 0, 0.5f, 0, 0, 0, 0, 0}, canvas.corner(0, 0), canvas.corner(8, 8));
        canvas.draw(canvas.corner(0, 8), {0, bad, 0.5f, 0, 0, 0, 0, 0}, canvas.corner(8, 8));
        canvas.draw(canvas.corner(0, 8), canvas.corner(8, 0), {0, 0, bad, 0, 0, 0, 0, 0});
    }
    EXPECT_EQ(canvas.count(kBlack), 64);

    // Finite but absurd corners and texture coordinates still draw within
    // the target and return.
    const Vertex huge[3] = {{-kMax, -kMax, 0.5f, 0, 0, 0, kMax, kNaN},
                            {kMax, 0, 0.5f, 0, 0, 0, -kMax, kInf},
                            {0, kMax, 0.5f, 0, 0, 0, kNaN, 0}};
    Texture texture{3, 3, kFormatRgb565, std::vector<std::uint16_t>(9, 0xFFFF)};
    canvas.device->setTexture(0, &texture);
    canvas.device->drawTriangle(huge);
    EXPECT_EQ(canvas.surface.pixels.size(), 64u);
}

// The show's projection: clip (2x, 2y, z − 1, z), near plane at z = 1.
constexpr TransformMatrix kShowProjection{
    {{2, 0, 0, 0}, {0, 2, 0, 0}, {0, 0, 1, 1}, {0, 0, -1, 0}}};

TEST(Coverage, NearPlaneCutsATriangleAndHidesOneBehindTheEye) {
    Canvas canvas(16, 16);
    canvas.device->setTransform(TransformKind::projection, kShowProjection);
    // Entirely behind the eye, though its projection would fill the screen.
    canvas.draw({-4, -4, -2, 0, 0, 0, 0, 0}, {4, -4, -2, 0, 0, 0, 0, 0}, {0, 4, -3, 0, 0, 0, 0, 0});
    EXPECT_EQ(canvas.count(kBlack), 256);
    // Between the eye and the near plane.
    canvas.draw({-4, -4, 0.5f, 0, 0, 0, 0, 0}, {4, -4, 0.5f, 0, 0, 0, 0, 0},
                {0, 4, 0.5f, 0, 0, 0, 0, 0});
    EXPECT_EQ(canvas.count(kBlack), 256);

    // A floor strip from behind the eye to z = 5: only the part beyond z = 1
    // is drawn, and its nearest row ends at the near plane's depth 0.
    canvas.draw({-10, -1, -5, 0, 0, 0, 0, 0}, {10, -1, -5, 0, 0, 0, 0, 0},
                {10, -1, 5, 0, 0, 0, 0, 0});
    canvas.draw({-10, -1, -5, 0, 0, 0, 0, 0}, {10, -1, 5, 0, 0, 0, 0, 0},
                {-10, -1, 5, 0, 0, 0, 0, 0});
    // The floor at view depth z lies at clip y/w = −2/z: from −0.4 at its far
    // end down to −2 at the near plane, below the target's bottom.
    for (int y = 0; y < 16; ++y) {
        const double yOverW = 1.0 - 2.0 * y / 16.0;
        const bool floor = yOverW < -2.0 / 5.0 - 1e-3;
        const bool sky = yOverW > -2.0 / 5.0 + 1e-3;
        if (sky) {
            EXPECT_EQ(canvas.at(8, y), kBlack) << y;
        }
        if (floor) {
            EXPECT_EQ(canvas.at(8, y), kWhite) << y;
            // Snapping the corners to 1/256 pixel moves depth by up to
            // half a step of its gradient, 1/16 per row here.
            const double z = -2.0 / yOverW;
            EXPECT_NEAR(canvas.depthAt(8, y), (z - 1.0) / z, 0.5 / 256 / 16) << y;
        }
    }
}

// Random corners on both sides of every clip plane, with w of either sign;
// the sanitizer build catches any write outside the buffers.
TEST(Coverage, RandomTrianglesStayInsideTheTarget) {
    std::mt19937 random(11);
    std::uniform_real_distribution<float> coordinate(-3.0f, 3.0f);
    std::uniform_real_distribution<float> depth(-1.0f, 2.0f);
    std::uniform_real_distribution<float> w(-0.5f, 2.0f);
    Canvas canvas(23, 19);
    canvas.setColour(0.0f, 0.0f, 1.0f);
    for (int i = 0; i < 3000; ++i) {
        const TransformMatrix projection{
            {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, w(random)}}};
        canvas.device->setTransform(TransformKind::projection, projection);
        canvas.draw({coordinate(random), coordinate(random), depth(random), 0, 0, 0, 0, 0},
                    {coordinate(random), coordinate(random), depth(random), 0, 0, 0, 0, 0},
                    {coordinate(random), coordinate(random), depth(random), 0, 0, 0, 0, 0});
    }
    EXPECT_EQ(canvas.count(kBlack) + canvas.count(0x0000FF), 23 * 19);
    EXPECT_GT(canvas.count(0x0000FF), 0);
    for (const float d : canvas.surface.depth) {
        EXPECT_GE(d, -1e-5f);
        EXPECT_LE(d, 1.0f);
    }
}

}  // namespace
}  // namespace glint::gfx::test
