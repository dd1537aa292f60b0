#include <gtest/gtest.h>

#include <cstring>

#include "engine/generators.h"
#include "engine/mesh.h"
#include "engine/mesh_group.h"
#include "tests/engine/bitmap_files.h"
#include "tests/engine/recording_device.h"

namespace glint {
namespace {

using test::Call;
using test::RecordingDevice;

constexpr Rgb kWhite{1, 1, 1};

bool sameVertex(const Vertex& a, const Vertex& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

std::pair<std::uint32_t, std::uint32_t> blendOf(double opacity) {
    RecordingDevice device;
    Mesh mesh;
    mesh.setOpacity(opacity);
    mesh.draw(device);
    const auto states = device.renderStates();
    EXPECT_EQ(states.size(), 2u);
    EXPECT_EQ(states[0].first, gfx::RenderState::srcBlend);
    EXPECT_EQ(states[1].first, gfx::RenderState::destBlend);
    return {states[0].second, states[1].second};
}

TEST(Mesh, EmptyMeshSetsItsStateAndDrawsNothing) {
    RecordingDevice device;
    Mesh mesh;
    mesh.posX = 3;
    mesh.draw(device);
    ASSERT_EQ(device.calls.size(), 5u);
    EXPECT_EQ(device.calls[0].call, Call::setRenderState);
    EXPECT_EQ(device.calls[1].call, Call::setRenderState);
    EXPECT_EQ(device.calls[2].call, Call::setMaterial);
    EXPECT_EQ(device.calls[3].call, Call::setTexture);
    EXPECT_EQ(device.calls[3].texture, nullptr);  // no material: no texture left over
    EXPECT_EQ(device.calls[4].call, Call::setTransform);
    EXPECT_EQ(device.calls[4].transformKind, gfx::TransformKind::world);
    EXPECT_EQ(device.calls[4].matrix.m[3][0], 3);
}

TEST(Mesh, OnlyTheComparisonWithOneDecidesTheBlend) {
    const std::pair<std::uint32_t, std::uint32_t> opaque{gfx::kBlendOne, gfx::kBlendZero};
    const std::pair<std::uint32_t, std::uint32_t> blended{gfx::kBlendSrcColor,
                                                          gfx::kBlendInvSrcColor};
    EXPECT_EQ(blendOf(1.0), opaque);
    EXPECT_EQ(blendOf(2.0), opaque);
    EXPECT_EQ(blendOf(0.999), blended);
    EXPECT_EQ(blendOf(0.5), blended);
    EXPECT_EQ(blendOf(-1.0), blended);

    Mesh mesh;
    EXPECT_EQ(mesh.setOpacity(0.5), 1);
    EXPECT_EQ(mesh.transparency, 0.5);
    mesh.setOpacity(1.0);
    EXPECT_EQ(mesh.transparency, 0.0);
}

TEST(Mesh, DrawsOneTrianglePerFaceInTheWorldOfItsAnglesAndPosition) {
    RecordingDevice device;
    Mesh mesh;
    makeGrid(3, 2, 4, 2, mesh, kTexStretched);
    mesh.rotY = 0.5f;
    mesh.posZ = 7;
    mesh.draw(device);

    const auto transforms = device.only(Call::setTransform);
    ASSERT_EQ(transforms.size(), 1u);
    Matrix world = mesh.rotationMatrix();
    matMultiply(world, world, translationMatrix(0, 0, 7));
    EXPECT_EQ(std::memcmp(&transforms[0].matrix, &world, sizeof world), 0);

    const auto triangles = device.only(Call::drawTriangle);
    ASSERT_EQ(triangles.size(), 4u);
    const FaceList& faces = *mesh.faces;
    const std::vector<Vertex>& vertices = mesh.baseVertices->vertices;
    for (std::size_t i = 0; i < triangles.size(); ++i) {
        EXPECT_TRUE(sameVertex(triangles[i].corners[0], vertices[faces.first[i]]));
        EXPECT_TRUE(sameVertex(triangles[i].corners[1], vertices[faces.second[i]]));
        EXPECT_TRUE(sameVertex(triangles[i].corners[2], vertices[faces.third[i]]));
    }
}

TEST(Mesh, KeepDrawnDecidesWhichVerticesAreDrawn) {
    Mesh mesh;
    makeGrid(2, 2, 2, 2, mesh, kTexStretched);
    const auto other = std::make_shared<VertexList>(*mesh.baseVertices);
    for (Vertex& v : other->vertices)
        v.z = 9;

    RecordingDevice device;
    mesh.drawnVertices = other;
    mesh.keepDrawn = true;
    mesh.draw(device);
    EXPECT_EQ(device.only(Call::drawTriangle)[0].corners[0].z, 9);

    device.calls.clear();
    mesh.keepDrawn = false;
    mesh.draw(device);
    EXPECT_EQ(device.only(Call::drawTriangle)[0].corners[0].z, 0);
    EXPECT_EQ(mesh.drawnVertices, mesh.baseVertices);
}

TEST(Mesh, MaterialKeepsTheNineColoursAndItsOwnTexture) {
    test::BitmapResources resources;
    resources.add(7, test::makeBmp(
                         4, 4, [](auto, auto) { return 1; }, [](auto) { return 0; }));
    RecordingDevice device;
    Mesh mesh;
    EXPECT_EQ(
        mesh.setMaterial({0.1f, 0.2f, 0.3f}, {0.4f, 0.5f, 0.6f}, {0.7f, 0.8f, 0.9f}, 7, device), 0);
    const gfx::MaterialColours& colours = mesh.material->colours;
    EXPECT_EQ(colours.ambient.r, 0.1f);
    EXPECT_EQ(colours.ambient.b, 0.3f);
    EXPECT_EQ(colours.diffuse.g, 0.5f);
    EXPECT_EQ(colours.specular.b, 0.9f);
    EXPECT_EQ(colours.ambient.a + colours.diffuse.a + colours.specular.a, 0);
    EXPECT_EQ(colours.emissive.r + colours.emissive.g + colours.emissive.b + colours.power, 0);
    ASSERT_NE(mesh.material->texture, nullptr);

    Mesh other;
    other.setMaterial(kWhite, kWhite, kWhite, 7, device);
    EXPECT_NE(other.material->texture, mesh.material->texture);

    device.calls.clear();
    mesh.draw(device);
    const auto applied = device.only(Call::setTexture);
    ASSERT_EQ(applied.size(), 1u);
    EXPECT_EQ(applied[0].texture, mesh.material->texture.get());
    EXPECT_EQ(device.only(Call::setMaterial)[0].colours.diffuse.r, 0.4f);

    Mesh missing;
    missing.setMaterial(kWhite, kWhite, kWhite, 8, device);
    ASSERT_NE(missing.material, nullptr);
    EXPECT_EQ(missing.material->texture, nullptr);
}

TEST(MeshGroup, SeventhAddLeavesTheGroupAsItWas) {
    MeshGroup group = makeMeshGroup(6);
    for (int i = 0; i < 6; ++i) {
        Mesh mesh;
        mesh.posX = static_cast<float>(i);
        group.add(mesh);
    }
    Mesh extra;
    extra.posX = 99;
    EXPECT_EQ(group.add(extra), 0);
    EXPECT_EQ(group.count, 6);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(group.items[i].posX, i);
}

TEST(MeshGroup, ItemsMoveAloneButShareTheSourcesVertices) {
    Mesh source;
    makeGrid(2, 2, 2, 2, source, kTexStretched);
    MeshGroup group = makeMeshGroup(6);
    group.add(source);
    source.posY = 4;
    group.items[0].posZ = 5;
    EXPECT_EQ(source.posZ, 0);
    EXPECT_EQ(group.items[0].posY, 0);

    group.items[0].baseVertices->vertices[0].z = 3;
    EXPECT_EQ(source.baseVertices->vertices[0].z, 3);
}

TEST(MeshGroup, DrawsItsItemsInOrder) {
    MeshGroup group = makeMeshGroup(6);
    for (float z : {1.0f, 2.0f, 3.0f}) {
        Mesh mesh;
        mesh.posZ = z;
        group.add(mesh);
    }
    RecordingDevice device;
    group.drawAll(device);
    const auto worlds = device.only(Call::setTransform);
    ASSERT_EQ(worlds.size(), 3u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(worlds[i].matrix.m[3][2], i + 1);
}

}  // namespace
}  // namespace glint
