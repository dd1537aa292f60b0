#include "engine/content.h"

#include "engine/generators.h"

namespace glint {
namespace {

SceneContent content;

constexpr float kCubeTurn = 1.57f;  // not quite π/2: the side faces are a hair off square
constexpr float kCubeHalfEdge = 8;
constexpr float kPlaneTurn = 1.6f;
constexpr float kPlaneHeight = 10;
constexpr double kHalfTransparent = 0.5;
constexpr std::uint32_t kOn = 1;

struct CubeFacePlacement {
    float rotX, rotY;
    float posX, posY, posZ;
};

constexpr std::array<CubeFacePlacement, kCubeFaces> kCubeFacePlacements{{
    {kCubeTurn, 0, 0, kCubeHalfEdge, 0},
    {kCubeTurn, 0, 0, -kCubeHalfEdge, 0},
    {0, kCubeTurn, -kCubeHalfEdge, 0, 0},
    {0, kCubeTurn, kCubeHalfEdge, 0, 0},
    {0, 0, 0, 0, kCubeHalfEdge},
    {0, 0, 0, 0, -kCubeHalfEdge},
}};

constexpr FogBlock kInitialFog{0.1f, 100.8f, 0.1f, 0x000A1428, gfx::kFogLinear};

void makeCubeFaceGrid(Mesh& mesh) {
    makeGrid(11, 11, 16, 16, mesh, kTexStretched);
}
void makeSheetGrid(Mesh& mesh) {
    makeGrid(30, 30, 41, 41, mesh, kTexStretched);
}
void makeCaptionGrid(Mesh& mesh) {
    makeGrid(4, 4, 10, 3, mesh, kTexStretched);
}

void place(Mesh& mesh, float x, float y, float z) {
    mesh.posX = x;
    mesh.posY = y;
    mesh.posZ = z;
}

}  // namespace

SceneContent& sceneContent() {
    return content;
}

void resetSceneContent() {
    content = SceneContent{};
}

std::int32_t buildSceneContent(gfx::Device& device) {
    // The device may still be drawing with the textures about to go.
    device.readBack();
    const std::uint32_t buildCount = content.buildCount + 1;
    content = SceneContent{};
    content.buildCount = buildCount;
    SceneContent& c = content;

    c.whiteColour = {1, 1, 1};
    const Rgb& white = c.whiteColour;
    auto paint = [&](Mesh& mesh, std::int32_t bitmapId) {
        mesh.setMaterial(white, white, white, bitmapId, device);
    };

    std::array<Mesh, kCubeFaces> cubeFaces;
    for (std::size_t i = 0; i < kCubeFaces; ++i) {
        makeCubeFaceGrid(cubeFaces[i]);
        paint(cubeFaces[i], kSurfaceBitmap);
        const CubeFacePlacement& placement = kCubeFacePlacements[i];
        cubeFaces[i].rotX = placement.rotX;
        cubeFaces[i].rotY = placement.rotY;
        place(cubeFaces[i], placement.posX, placement.posY, placement.posZ);
    }
    for (const Mesh& face : cubeFaces)
        c.cubeGroup.add(face);
    for (Mesh& item : c.cubeGroup.items)
        item.keepDrawn = true;

    for (Mesh& face : c.blobFaces) {
        makeCubeFaceGrid(face);
        paint(face, kSurfaceBitmap);
    }

    Mesh sheetA;
    Mesh sheetB;
    Mesh logoPlate;
    makeSheetGrid(sheetA);
    makeSheetGrid(sheetB);
    makeGrid(30, 30, 66, 66, c.backdrop, kTexMirroredHalves);
    makeGrid(4, 4, 54, 5, logoPlate, kTexStretched);

    makeTube(80, 10, 200, 10, 300, c.tunnel);

    Mesh upperPlane;
    Mesh lowerPlane;
    makeGrid(50, 50, 240, 240, upperPlane, kTexPerCell);
    makeGrid(50, 50, 240, 240, lowerPlane, kTexPerCell);
    upperPlane.posY = kPlaneHeight;
    lowerPlane.posY = -kPlaneHeight;

    makeCaptionGrid(c.titlePlate);
    makeCaptionGrid(c.creditPlateA);
    makeCaptionGrid(c.creditPlateB);
    makeGrid(4, 4, 12.8, 12.8, c.greetingsPlate, kTexStretched);

    paint(c.backdrop, kSurfaceBitmap);
    paint(sheetA, kSurfaceBitmap);
    paint(sheetB, kSurfaceBitmap);
    paint(logoPlate, kLogoBitmap);
    paint(upperPlane, kSurfaceBitmap);
    paint(lowerPlane, kSurfaceBitmap);
    paint(c.titlePlate, kTitleBitmap);
    paint(c.tunnel, kTunnelBitmap);
    paint(c.creditPlateA, kCreditABitmap);
    paint(c.creditPlateB, kCreditBBitmap);
    paint(c.greetingsPlate, kGreetingsBitmap);

    device.setRenderState(gfx::RenderState::zEnable, kOn);

    c.waveGroup.add(sheetA);
    c.waveGroup.add(sheetB);
    c.waveGroup.add(logoPlate);

    c.backdrop.posZ = -10;
    c.backdrop.setOpacity(kHalfTransparent);

    c.floorGroup.add(upperPlane);
    c.floorGroup.add(lowerPlane);
    c.tunnelGroup.add(c.tunnel);

    device.setRenderState(gfx::RenderState::ditherEnable, kOn);
    device.setRenderState(gfx::RenderState::alphaBlendEnable, kOn);

    c.logoPlate().setOpacity(kHalfTransparent);
    c.upperPlane().rotX = kPlaneTurn;
    c.lowerPlane().rotX = kPlaneTurn;
    c.waveA().keepDrawn = true;
    c.waveB().keepDrawn = true;

    c.titlePlate.setOpacity(kHalfTransparent);
    c.titlePlate.posX = 1.4f;
    c.titlePlate.keepDrawn = true;
    c.backdrop.keepDrawn = true;

    c.creditPlateA.setOpacity(kHalfTransparent);
    place(c.creditPlateA, -20, -10, 30);
    c.creditPlateA.keepDrawn = true;
    c.creditPlateB.setOpacity(kHalfTransparent);
    place(c.creditPlateB, -20, 10, 30);
    c.creditPlateB.keepDrawn = true;
    c.tunnel.keepDrawn = true;
    c.greetingsPlate.setOpacity(kHalfTransparent);
    c.greetingsPlate.posX = -20;
    c.greetingsPlate.posZ = 30;
    c.greetingsPlate.keepDrawn = true;

    c.fog = kInitialFog;
    return 0;
}

}  // namespace glint
