#include "engine/deformers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "engine/generators.h"
#include "engine/random.h"

namespace glint {
namespace {

std::vector<Vertex>& verticesOf(Mesh& mesh) {
    return mesh.baseVertices->vertices;
}

TEST(WaveDeform, AmplitudesShapeTheHeightAndTheDrawnListsReset) {
    Mesh mesh;
    makeGrid(5, 5, 40, 40, mesh, kTexStretched);
    waveDeform(mesh, 0.3, 2, 3);
    EXPECT_EQ(mesh.drawnVertices, mesh.baseVertices);
    EXPECT_EQ(mesh.drawnFaces, mesh.faces);
    const Vertex& corner = verticesOf(mesh)[0];
    EXPECT_EQ(corner.z,
              static_cast<float>(3 * std::sin(0.6 - 0.25 * -20) + 2 * std::cos(0.1 * -20 + 0.3)));

    waveDeform(mesh, 1.7, 0, 0);
    for (const Vertex& v : verticesOf(mesh))
        EXPECT_EQ(v.z, 0);

    waveDeform(mesh, 0, 1, 0);
    EXPECT_EQ(verticesOf(mesh)[12].x, 0);
    EXPECT_EQ(verticesOf(mesh)[12].z, 1);
}

// Heights are worked out once per repeated coordinate: each must still be the
// formula's, on a sheet's grid and on coordinates repeated out of order.
TEST(WaveDeform, EveryVertexHasTheFormulasHeightHoweverItsCoordinatesRepeat) {
    Mesh sheet;
    makeGrid(30, 30, 41, 41, sheet, kTexStretched);
    Mesh scattered;
    makeGrid(9, 9, 1, 1, scattered, kTexStretched);
    const float coordinates[] = {0.0f, -0.0f, 1.5f, -20.5f, 1e-40f, 7.25f, -1e-40f, 1.5f, 0.0f};
    for (std::size_t i = 0; i < verticesOf(scattered).size(); ++i) {
        verticesOf(scattered)[i].x = coordinates[i % 9];
        verticesOf(scattered)[i].y = coordinates[i * 4 % 9];
    }
    const double phase = 1.3;
    for (Mesh* mesh : {&sheet, &scattered}) {
        waveDeform(*mesh, phase, 40.0, 30.5);
        for (const Vertex& v : verticesOf(*mesh)) {
            EXPECT_EQ(v.z, static_cast<float>(30.5 * std::sin(2 * phase - 0.25 * v.y) +
                                              40.0 * std::cos(0.1 * v.x + phase)));
        }
    }
}

TEST(ScrollRings, EveryRingTakesTheShapeOfTheOneBefore) {
    Mesh tube;
    makeTube(80, 10, 200, 10, 300, tube);
    const std::vector<Vertex> before = verticesOf(tube);
    scrollRings(tube, 10);
    const std::vector<Vertex>& after = verticesOf(tube);
    for (std::size_t i = 0; i < 10; ++i) {
        EXPECT_EQ(after[i].x, before[i].x);
        EXPECT_EQ(after[i].z, before[i].z);
    }
    for (std::size_t i = 10; i < 800; ++i) {
        ASSERT_EQ(after[i].x, before[i - 10].x) << i;
        ASSERT_EQ(after[i].z, before[i - 10].z) << i;
        ASSERT_EQ(after[i].y, before[i].y) << i;
        ASSERT_EQ(after[i].tv, before[i].tv) << i;
    }
    EXPECT_EQ(tube.drawnVertices, tube.baseVertices);

    const std::vector<Vertex> scrolled = verticesOf(tube);
    scrollRings(tube, 800);
    EXPECT_EQ(verticesOf(tube)[799].x, scrolled[799].x);
}

TEST(NewTunnelRing, RingZeroGetsARoughCircleAroundTheOffset) {
    Mesh tube;
    makeTube(3, 4, 30, 10, 300, tube);
    resetRandom();
    std::vector<std::int32_t> draws;
    for (int i = 0; i < 8; ++i)
        draws.push_back(randomInt());
    resetRandom();
    const float ringOneX = verticesOf(tube)[4].x;
    const double phase = 2.5;
    newTunnelRing(4, phase, 10, 300, tube, 1.5, -0.5);

    const double r = 4 * std::cos(0.1 * phase) + 2 * std::sin(0.25 * phase) + 10;
    for (std::size_t j = 0; j < 4; ++j) {
        const double a = j * (6.4 / 4);
        const Vertex& v = verticesOf(tube)[j];
        EXPECT_EQ(v.x, static_cast<float>(3 + (r + (draws[2 * j] % 300) * 0.01) * std::cos(a)));
        EXPECT_EQ(v.z,
                  static_cast<float>(-1 + (r + (draws[2 * j + 1] % 300) * 0.01) * std::sin(a)));
    }
    EXPECT_EQ(verticesOf(tube)[4].x, ringOneX);
}

TEST(BulgeDeform, CushionIsFlatAtTheBorderAndGrainyInside) {
    Mesh face;
    makeGrid(11, 11, 16, 16, face, kTexStretched);
    resetRandom();
    std::int32_t centreDraw = 0;
    // The centre is the 41st vertex away from the border: rows 1 to 4 and four more.
    for (int i = 0; i < 41; ++i)
        centreDraw = randomInt();
    resetRandom();
    bulgeDeform(face, 16, 16, 8, 1);

    for (const Vertex& v : verticesOf(face)) {
        if (std::fabs(v.x) == 8 || std::fabs(v.y) == 8) {
            EXPECT_EQ(v.z, 0);
        }
    }
    EXPECT_EQ(verticesOf(face)[60].z, static_cast<float>(0.005 * (centreDraw % 100) + 64 - 0.25));
    EXPECT_EQ(face.drawnVertices, face.baseVertices);

    resetRandom();
    bulgeDeform(face, 16, 16, 8, -1);
    EXPECT_EQ(verticesOf(face)[60].z,
              static_cast<float>(-(0.005 * (centreDraw % 100) + 64 - 0.25)));
}

TEST(BakeTransform, WritesThePlacedSourceIntoTheTargetsOwnSpace) {
    Mesh source;
    makeGrid(2, 2, 2, 2, source, kTexStretched);
    verticesOf(source)[0] = {0, 1, 0, 0, 0, -1, 0, 0};
    source.rotX = std::numbers::pi_v<float> / 2;
    source.posY = 8;
    Mesh target;
    makeGrid(3, 3, 2, 2, target, kTexPerCell);
    target.posX = 5;
    target.rotZ = 1;
    const Vertex before = verticesOf(target)[0];
    bakeTransform(source, target);

    const Vertex& baked = verticesOf(target)[0];
    EXPECT_NEAR(baked.x, 0, 1e-6);
    EXPECT_NEAR(baked.y, 8, 1e-6);
    EXPECT_NEAR(baked.z, 1, 1e-6);
    EXPECT_EQ(baked.nz, before.nz);
    EXPECT_EQ(baked.tu, before.tu);
    EXPECT_EQ(target.posX + target.posY + target.posZ, 0);
    EXPECT_EQ(target.rotX + target.rotY + target.rotZ, 0);
    EXPECT_EQ(source.posY, 8);
}

}  // namespace
}  // namespace glint
