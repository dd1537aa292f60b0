#include <gtest/gtest.h>

#include <cmath>

#include "engine/generators.h"
#include "engine/random.h"

namespace glint {
namespace {

struct Face {
    std::int32_t a, b, c;
    bool operator==(const Face&) const = default;
};

Face faceOf(const Mesh& mesh, std::size_t i) {
    return {mesh.faces->first[i], mesh.faces->second[i], mesh.faces->third[i]};
}

const Vertex& vertexOf(const Mesh& mesh, std::size_t i) {
    return mesh.baseVertices->vertices[i];
}

TEST(Random, FirstValuesAfterStart) {
    resetRandom();
    EXPECT_EQ(randomInt(), 41);
    EXPECT_EQ(randomInt(), 18467);
}

TEST(Grid, CountsCornersAndCentre) {
    Mesh mesh;
    mesh.posX = 4;
    mesh.keepDrawn = true;
    makeGrid(11, 11, 16, 16, mesh, kTexStretched);
    EXPECT_EQ(mesh.vertexCount, 121);
    EXPECT_EQ(mesh.faceCount, 200);
    EXPECT_EQ(mesh.posX, 4);
    EXPECT_TRUE(mesh.keepDrawn);

    const Vertex& first = vertexOf(mesh, 0);
    EXPECT_EQ(first.x, -8);
    EXPECT_EQ(first.y, -8);
    EXPECT_EQ(first.tu, 0);
    EXPECT_EQ(first.tv, 0);
    EXPECT_EQ(first.nz, -1);
    const Vertex& last = vertexOf(mesh, 120);
    EXPECT_EQ(last.x, 8);
    EXPECT_EQ(last.y, 8);
    EXPECT_EQ(last.tu, 1);
    EXPECT_EQ(last.tv, 1);
    const Vertex& centre = vertexOf(mesh, 60);
    EXPECT_EQ(centre.x, 0);
    EXPECT_EQ(centre.y, 0);
    EXPECT_EQ(centre.z, 0);

    // The second lists exist, sized alike and zero.
    ASSERT_NE(mesh.drawnVertices, mesh.baseVertices);
    ASSERT_NE(mesh.drawnFaces, mesh.faces);
    EXPECT_EQ(mesh.drawnVertices->vertices.size(), 121u);
    EXPECT_EQ(mesh.drawnVertices->vertices[120].tu, 0);
    EXPECT_EQ(mesh.drawnFaces->third.size(), 200u);
}

TEST(Grid, SpansItsWidthAndHeightEvenly) {
    Mesh mesh;
    makeGrid(4, 4, 54, 5, mesh, kTexStretched);
    const float xs[] = {-27, -9, 9, 27};
    const float ys[] = {-2.5f, static_cast<float>(-5.0 / 6), static_cast<float>(5.0 / 6), 2.5f};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(vertexOf(mesh, i).x, xs[i]);
        EXPECT_EQ(vertexOf(mesh, 4 * i).y, ys[i]);
    }
}

TEST(Grid, FacesOfANonSquareGrid) {
    Mesh mesh;
    makeGrid(3, 2, 2, 1, mesh, kTexStretched);
    ASSERT_EQ(mesh.faceCount, 4);
    EXPECT_EQ(faceOf(mesh, 0), (Face{0, 1, 3}));
    EXPECT_EQ(faceOf(mesh, 1), (Face{1, 4, 3}));
    EXPECT_EQ(faceOf(mesh, 2), (Face{1, 2, 4}));
    EXPECT_EQ(faceOf(mesh, 3), (Face{2, 5, 4}));
}

TEST(Grid, PerCellAndMirroredTextureModes) {
    Mesh cells;
    makeGrid(50, 50, 240, 240, cells, kTexPerCell);
    const std::pair<float, float> expected[] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    const std::size_t indices[] = {0, 1, 50, 51};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(vertexOf(cells, indices[i]).tu, expected[i].first);
        EXPECT_EQ(vertexOf(cells, indices[i]).tv, expected[i].second);
    }
    Mesh odd;
    makeGrid(3, 2, 1, 1, odd, kTexPerCell);
    EXPECT_EQ(vertexOf(odd, 3).tu, 1);  // the count runs on into the next row

    Mesh halves;
    makeGrid(30, 30, 66, 66, halves, kTexMirroredHalves);
    EXPECT_EQ(vertexOf(halves, 0).tu, 1);
    EXPECT_EQ(vertexOf(halves, 14).tu, static_cast<float>(1 - 28.0 / 29));
    EXPECT_EQ(vertexOf(halves, 15).tu, static_cast<float>(30.0 / 29 - 0.95));
    EXPECT_EQ(vertexOf(halves, 29).tu, 1.05f);
    EXPECT_EQ(vertexOf(halves, 29 * 30).tv, 1.05f);

    Mesh unknown;
    makeGrid(2, 2, 4, 4, unknown, 3);
    EXPECT_EQ(vertexOf(unknown, 3).x, 0);
    EXPECT_EQ(vertexOf(unknown, 3).nz, 0);
}

TEST(Tube, RingsRadiusFacesAndRoughness) {
    resetRandom();
    Mesh tube;
    makeTube(80, 10, 200, 10, 300, tube);
    EXPECT_EQ(tube.vertexCount, 800);
    EXPECT_EQ(tube.faceCount, 1580);
    EXPECT_EQ(faceOf(tube, 18), (Face{9, 0, 19}));
    EXPECT_EQ(faceOf(tube, 19), (Face{0, 10, 19}));
    EXPECT_EQ(vertexOf(tube, 0).y, -100);
    EXPECT_EQ(vertexOf(tube, 790).y, 97.5f);
    EXPECT_EQ(vertexOf(tube, 795).tu, 0.5f);
    EXPECT_EQ(vertexOf(tube, 795).tv, 79.0f / 80);
    EXPECT_EQ(vertexOf(tube, 795).nx, 0);

    // Segment 0 of ring 0 lies on +x at radius 14 plus the first draw, 41 → 0.41.
    EXPECT_EQ(vertexOf(tube, 0).x, 14.41f);
    EXPECT_EQ(vertexOf(tube, 0).z, 0);
    for (std::size_t j = 1; j < 10; ++j) {
        const double a = j * (6.4 / 10);
        const Vertex& v = vertexOf(tube, j);
        const double rx = v.x / std::cos(a);
        const double rz = v.z / std::sin(a);
        EXPECT_GE(rx, 14 - 1e-4);
        EXPECT_LE(rx, 16.99 + 1e-4);
        EXPECT_GE(rz, 14 - 1e-4);
        EXPECT_LE(rz, 16.99 + 1e-4);
    }
}

}  // namespace
}  // namespace glint
