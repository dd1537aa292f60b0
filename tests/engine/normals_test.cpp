#include "engine/normals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "engine/deformers.h"
#include "engine/generators.h"
#include "tests/engine/recording_device.h"

namespace glint {
namespace {

double lengthOf(const Point3& p) {
    return std::sqrt(double{p.x} * p.x + double{p.y} * p.y + double{p.z} * p.z);
}

// A mesh of the given vertices and faces, lists shared as after a first draw.
Mesh meshOf(std::vector<Point3> points, std::vector<std::array<std::int32_t, 3>> corners) {
    Mesh mesh;
    mesh.vertexCount = static_cast<std::int32_t>(points.size());
    mesh.faceCount = static_cast<std::int32_t>(corners.size());
    mesh.baseVertices = std::make_shared<VertexList>();
    for (const Point3& p : points)
        mesh.baseVertices->vertices.push_back({p.x, p.y, p.z, 0, 0, 0, 0, 0});
    mesh.baseVertices->normals.resize(points.size());
    mesh.faces = std::make_shared<FaceList>();
    for (const auto& [a, b, c] : corners) {
        mesh.faces->first.push_back(a);
        mesh.faces->second.push_back(b);
        mesh.faces->third.push_back(c);
    }
    resetDrawnLists(mesh);
    return mesh;
}

// Every vertex scans every face, as the adjacency must reproduce bit for bit.
std::vector<Point3> scannedVertexNormals(const Mesh& mesh) {
    const FaceList& faces = *mesh.faces;
    std::vector<Point3> normals(static_cast<std::size_t>(mesh.vertexCount));
    for (std::int32_t v = 0; v < mesh.vertexCount; ++v) {
        double x = 0, y = 0, z = 0;
        int count = 0;
        for (std::size_t i = 0; i < faces.first.size(); ++i) {
            for (std::int32_t corner : {faces.first[i], faces.second[i], faces.third[i]}) {
                if (corner != v) continue;
                x += faces.faceNormals[i].x;
                y += faces.faceNormals[i].y;
                z += faces.faceNormals[i].z;
                ++count;
            }
        }
        if (count >= 1) {
            x /= count;
            y /= count;
            z /= count;
        }
        double lengthSquared = x * x + y * y + z * z;
        if (lengthSquared == 0) lengthSquared = 1;
        const double length = std::sqrt(lengthSquared);
        normals[static_cast<std::size_t>(v)] = {static_cast<float>(x / length),
                                                static_cast<float>(y / length),
                                                static_cast<float>(z / length)};
    }
    return normals;
}

TEST(FaceNormals, ScaleByTheTruncatedSquaredLength) {
    const float side = std::sqrt(6.55f);
    Mesh mesh = meshOf({{0, 0, 0}, {-1, 0, 0}, {0, -side, 0}, {-0.5f, 0, 0}, {0, -0.5f, 0}},
                       {{0, 1, 2}, {0, 3, 4}, {0, 1, 1}});
    EXPECT_EQ(computeFaceNormals(mesh), 1);
    const std::vector<Point3>& normals = mesh.faces->faceNormals;
    EXPECT_NEAR(lengthOf(normals[0]), std::sqrt(6.55 / 6), 1e-6);
    EXPECT_NEAR(lengthOf(normals[0]), 1.045, 5e-4);
    EXPECT_GT(normals[0].z, 0);      // the direction of (P1 − P0) × (P2 − P0)
    EXPECT_EQ(normals[1].z, 0.25f);  // below 1: stored unscaled
    EXPECT_EQ(lengthOf(normals[2]), 0);

    const Point3* storage = normals.data();
    computeFaceNormals(mesh);
    EXPECT_EQ(mesh.faces->faceNormals.data(), storage);
}

TEST(VertexNormals, MeanOfTheCornersFacesOncePerCorner) {
    Mesh mesh =
        meshOf({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}, {5, 5, 5}}, {{0, 0, 1}, {0, 2, 3}});
    mesh.faces->faceNormals = {{1, 0, 0}, {0, 1, 0}};
    EXPECT_EQ(computeVertexNormals(mesh), 1);
    const std::vector<Point3>& normals = mesh.baseVertices->normals;
    EXPECT_FLOAT_EQ(normals[0].x, static_cast<float>(2 / std::sqrt(5.0)));
    EXPECT_FLOAT_EQ(normals[0].y, static_cast<float>(1 / std::sqrt(5.0)));
    EXPECT_EQ(normals[4].x, 0);  // the lone vertex
    EXPECT_EQ(normals[4].y, 0);
    EXPECT_EQ(normals[4].z, 0);
}

TEST(VertexNormals, AdjacencyGivesTheScansResultsBitForBit) {
    Mesh tube;
    makeTube(80, 10, 200, 10, 300, tube);
    Mesh face;
    makeGrid(11, 11, 16, 16, face, kTexStretched);
    bulgeDeform(face, 16, 16, 5, 1);
    for (Mesh* mesh : {&tube, &face}) {
        for (int frame = 0; frame < 2; ++frame) {
            scrollRings(*mesh, 10);
            computeFaceNormals(*mesh);
            computeVertexNormals(*mesh);
            const std::vector<Point3> expected = scannedVertexNormals(*mesh);
            ASSERT_EQ(std::memcmp(mesh->baseVertices->normals.data(), expected.data(),
                                  expected.size() * sizeof(Point3)),
                      0);
        }
    }
}

TEST(SphereMap, RotatedNormalsBecomeTextureCoordinates) {
    Mesh mesh = meshOf({{0, 0, 0}, {0, 0, 0}}, {});
    mesh.baseVertices->normals = {{0, 0, 1}, {1, 0, 0}};
    mesh.rotZ = std::numbers::pi_v<float> / 2;
    EXPECT_EQ(rotateNormals(mesh), 1);
    EXPECT_EQ(sphereMapFromNormals(mesh), 1);
    const std::vector<Vertex>& vertices = mesh.drawnVertices->vertices;
    EXPECT_EQ(vertices[0].tu, 0.5f);
    EXPECT_EQ(vertices[0].tv, 0.5f);
    EXPECT_NEAR(vertices[1].tu, 0.5, 1e-6);  // +x turned onto +y
    EXPECT_NEAR(vertices[1].tv, 1.0, 1e-6);
}

TEST(SphereMap, FirstFrameOfANeverDrawnMeshShowsTheGeneratorsCoordinates) {
    Mesh mesh;
    makeGrid(3, 3, 2, 2, mesh, kTexStretched);
    auto shadeAndDraw = [&mesh]() {
        computeFaceNormals(mesh);
        computeVertexNormals(mesh);
        rotateNormals(mesh);
        sphereMapFromNormals(mesh);
        test::RecordingDevice device;
        mesh.draw(device);
        return device.only(test::Call::drawTriangle)[7].corners[1];
    };
    const Vertex firstFrame = shadeAndDraw();
    EXPECT_EQ(firstFrame.tu, 1);  // vertex 8, the far corner
    EXPECT_EQ(firstFrame.tv, 1);
    const Vertex secondFrame = shadeAndDraw();
    EXPECT_EQ(secondFrame.tu, 0.5f);  // a flat grid's normals face along z
    EXPECT_EQ(secondFrame.tv, 0.5f);
}

}  // namespace
}  // namespace glint
