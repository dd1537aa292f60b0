#include "engine/content.h"

#include <gtest/gtest.h>

#include <bit>
#include <memory>
#include <set>

#include "engine/generators.h"
#include "engine/random.h"
#include "tests/engine/bitmap_files.h"
#include "tests/engine/recording_device.h"

namespace glint {
namespace {

using gfx::RenderState;
using test::RecordingDevice;

struct BitmapSize {
    std::int32_t id, width, height;
};

constexpr BitmapSize kBitmaps[] = {{kLogoBitmap, 216, 20},     {kTitleBitmap, 100, 40},
                                   {kCreditABitmap, 100, 22},  {kCreditBBitmap, 100, 22},
                                   {kSurfaceBitmap, 128, 128}, {kGreetingsBitmap, 256, 256},
                                   {kTunnelBitmap, 128, 128}};

// Every bitmap is one colour whose 16-bit texel tells the bitmap apart.
std::uint32_t texelOf(std::int32_t bitmapId) {
    return static_cast<std::uint32_t>(bitmapId - 100);
}

class Content : public testing::Test {
protected:
    void SetUp() override {
        for (const BitmapSize& b : kBitmaps) {
            resources.add(b.id, test::makeBmp(
                                    b.width, b.height, [](auto, auto) { return 0; },
                                    [&](auto) { return texelOf(b.id) << 3; }));
        }
        resetSceneContent();
        resetRandom();
    }
    void TearDown() override { resetSceneContent(); }

    test::BitmapResources resources;
    RecordingDevice device;
};

void expectCounts(const Mesh& mesh, std::int32_t vertices, std::int32_t faces) {
    EXPECT_EQ(mesh.vertexCount, vertices);
    EXPECT_EQ(mesh.faceCount, faces);
    EXPECT_EQ(mesh.baseVertices->vertices.size(), static_cast<std::size_t>(vertices));
    EXPECT_EQ(mesh.faces->first.size(), static_cast<std::size_t>(faces));
}

std::int32_t textureWidth(const Mesh& mesh) {
    return mesh.material->texture->width;
}

TEST_F(Content, GroupsAndMeshesHaveTheirCounts) {
    buildSceneContent(device);
    SceneContent& c = sceneContent();
    EXPECT_EQ(c.cubeGroup.count, 6);
    EXPECT_EQ(c.waveGroup.count, 3);
    EXPECT_EQ(c.floorGroup.count, 2);
    EXPECT_EQ(c.tunnelGroup.count, 1);
    expectCounts(c.backdrop, 900, 1682);
    expectCounts(c.tunnel, 800, 1580);
    expectCounts(c.cubeGroup.items[3], 121, 200);
    expectCounts(c.blobFaces[5], 121, 200);
    expectCounts(c.upperPlane(), 2500, 4802);
    expectCounts(c.waveB(), 900, 1682);
    for (const Mesh* plate :
         {&c.logoPlate(), &c.titlePlate, &c.creditPlateA, &c.creditPlateB, &c.greetingsPlate}) {
        expectCounts(*plate, 16, 18);
    }
    EXPECT_EQ(c.logoPlate().baseVertices->vertices[15].x, 27);
    EXPECT_EQ(c.greetingsPlate.baseVertices->vertices[15].y, 6.4f);
    EXPECT_EQ(c.backdrop.baseVertices->vertices[0].tu, 1);      // mirrored halves
    EXPECT_EQ(c.lowerPlane().baseVertices->vertices[1].tu, 1);  // per cell
}

TEST_F(Content, PlacesEveryObject) {
    buildSceneContent(device);
    SceneContent& c = sceneContent();
    const float turn = std::bit_cast<float>(0x3FC8F5C3u);
    const float expected[6][5] = {{turn, 0, 0, 8, 0}, {turn, 0, 0, -8, 0}, {0, turn, -8, 0, 0},
                                  {0, turn, 8, 0, 0}, {0, 0, 0, 0, 8},     {0, 0, 0, 0, -8}};
    for (std::size_t i = 0; i < 6; ++i) {
        const Mesh& item = c.cubeGroup.items[i];
        EXPECT_EQ(item.rotX, expected[i][0]) << i;
        EXPECT_EQ(item.rotY, expected[i][1]) << i;
        EXPECT_EQ(item.posX, expected[i][2]) << i;
        EXPECT_EQ(item.posY, expected[i][3]) << i;
        EXPECT_EQ(item.posZ, expected[i][4]) << i;
        EXPECT_TRUE(item.keepDrawn);
        EXPECT_EQ(c.blobFaces[i].posZ + c.blobFaces[i].rotX, 0);
        EXPECT_FALSE(c.blobFaces[i].keepDrawn);
    }

    EXPECT_EQ(c.backdrop.posZ, -10);
    EXPECT_EQ(c.backdrop.opacity, 0.5);
    EXPECT_TRUE(c.backdrop.keepDrawn);
    EXPECT_TRUE(c.waveA().keepDrawn && c.waveB().keepDrawn);
    EXPECT_EQ(c.waveA().opacity, 1.0);
    EXPECT_EQ(c.logoPlate().opacity, 0.5);
    EXPECT_FALSE(c.logoPlate().keepDrawn);
    EXPECT_EQ(c.upperPlane().posY, 10);
    EXPECT_EQ(c.lowerPlane().posY, -10);
    EXPECT_EQ(c.lowerPlane().rotX, 1.6f);
    EXPECT_EQ(c.titlePlate.posX, 1.4f);
    EXPECT_EQ(c.titlePlate.opacity, 0.5);
    EXPECT_EQ(c.creditPlateA.posY, -10);
    EXPECT_EQ(c.creditPlateB.posY, 10);
    EXPECT_EQ(c.creditPlateB.posX, -20);
    EXPECT_EQ(c.greetingsPlate.posZ, 30);
    EXPECT_TRUE(c.greetingsPlate.keepDrawn && c.creditPlateA.keepDrawn);
    EXPECT_EQ(c.mainCamera.posZ + c.floorCamera.rotY + c.bannerCamera.posX + c.blobCamera.rotZ, 0);

    EXPECT_EQ(c.fog.fogStart, 0.1f);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(c.fog.fogEnd), 0x42C9999Au);
    EXPECT_EQ(c.fog.fogDensity, 0.1f);
    EXPECT_EQ(c.fog.fogColor, 0x000A1428u);
    EXPECT_EQ(c.fog.fogTableMode, gfx::kFogLinear);
    EXPECT_EQ(c.whiteColour.g, 1);

    const std::vector<std::pair<RenderState, std::uint32_t>> states = {
        {RenderState::zEnable, 1},
        {RenderState::ditherEnable, 1},
        {RenderState::alphaBlendEnable, 1}};
    EXPECT_EQ(device.renderStates(), states);
}

TEST_F(Content, TunnelCopyKeepsItsOwnFlagsAndSharesTheLists) {
    buildSceneContent(device);
    SceneContent& c = sceneContent();
    EXPECT_TRUE(c.tunnel.keepDrawn);
    EXPECT_FALSE(c.tunnelCopy().keepDrawn);
    EXPECT_EQ(c.tunnelCopy().baseVertices, c.tunnel.baseVertices);
    EXPECT_EQ(c.tunnelCopy().material, c.tunnel.material);

    // Nothing draws from the generator before the tube, so its roughness is fixed.
    resetRandom();
    Mesh tube;
    makeTube(80, 10, 200, 10, 300, tube);
    EXPECT_EQ(tube.baseVertices->vertices[799].x, c.tunnel.baseVertices->vertices[799].x);
}

TEST_F(Content, EveryMaterialLoadsItsOwnTexture) {
    buildSceneContent(device);
    SceneContent& c = sceneContent();
    std::set<const gfx::Texture*> surfaceTextures;
    for (const Mesh& item : c.cubeGroup.items)
        surfaceTextures.insert(item.material->texture.get());
    for (const Mesh& face : c.blobFaces)
        surfaceTextures.insert(face.material->texture.get());
    for (const Mesh* mesh :
         {&c.backdrop, &c.waveA(), &c.waveB(), &c.upperPlane(), &c.lowerPlane()}) {
        surfaceTextures.insert(mesh->material->texture.get());
    }
    surfaceTextures.erase(nullptr);
    EXPECT_EQ(surfaceTextures.size(), 17u);
    EXPECT_EQ(device.only(test::Call::createTexture).size(), 23u);

    EXPECT_EQ(textureWidth(c.logoPlate()), 216);
    EXPECT_EQ(c.titlePlate.material->texture->height, 40);
    EXPECT_EQ(textureWidth(c.greetingsPlate), 256);
    EXPECT_EQ(c.creditPlateA.material->texture->texels[0], texelOf(kCreditABitmap));
    EXPECT_EQ(c.creditPlateB.material->texture->texels[0], texelOf(kCreditBBitmap));
    EXPECT_EQ(c.tunnel.material->texture->texels[0], texelOf(kTunnelBitmap));
    EXPECT_EQ(c.upperPlane().material->texture->texels[0], texelOf(kSurfaceBitmap));
    const float white = c.backdrop.material->colours.specular.b;
    EXPECT_EQ(white, 1);
}

TEST_F(Content, MissingBitmapsLeaveTheMaterialsUntextured) {
    useResources({});
    buildSceneContent(device);
    EXPECT_EQ(sceneContent().tunnel.material->texture, nullptr);
    EXPECT_EQ(sceneContent().cubeGroup.items[0].material->texture, nullptr);
}

TEST_F(Content, BuildingAgainReleasesThePreviousContent) {
    buildSceneContent(device);
    const std::weak_ptr<VertexList> firstTunnel = sceneContent().tunnel.baseVertices;
    const std::weak_ptr<Material> firstCube = sceneContent().cubeGroup.items[0].material;
    const std::weak_ptr<VertexList> firstSheet = sceneContent().waveA().baseVertices;
    sceneContent().mainCamera.posZ = 50;
    sceneContent().fog.fogEnd = 70;

    for (int rebuild = 0; rebuild < 10; ++rebuild)
        buildSceneContent(device);
    EXPECT_TRUE(firstTunnel.expired());
    EXPECT_TRUE(firstCube.expired());
    EXPECT_TRUE(firstSheet.expired());
    EXPECT_EQ(sceneContent().buildCount, 11u);
    EXPECT_EQ(sceneContent().mainCamera.posZ, 0);
    EXPECT_EQ(sceneContent().fog.fogEnd, 100.8f);
    EXPECT_EQ(sceneContent().tunnelGroup.count, 1);
    EXPECT_EQ(sceneContent().tunnelCopy().baseVertices, sceneContent().tunnel.baseVertices);
}

}  // namespace
}  // namespace glint
