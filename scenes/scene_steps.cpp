#include "scenes/scene_steps.h"

#include <array>
#include <cmath>

#include "engine/content.h"
#include "engine/deformers.h"
#include "engine/normals.h"
#include "scenes/timeline.h"

namespace glint {
namespace {

constexpr float kSecondsPerUnit = 0.1f;
constexpr float kFarDepth = 1.0f;

constexpr double kRingInterval = 0.1;  // clock units
constexpr std::int32_t kRingSegments = 10;
constexpr double kRingRadius = 10.0;
constexpr std::int32_t kRingJitter = 300;

constexpr double kCubeFaceSize = 16.0;
// Opposite faces bulge in opposite directions of their own planes, so all swell outwards.
constexpr std::array<double, kCubeFaces> kFaceSigns{-1, 1, -1, 1, 1, -1};
constexpr double kBlobTurn = 1.2;

}  // namespace

float sceneSeconds(float sceneTime) {
    return sceneTime * kSecondsPerUnit;
}

void clearAndBegin(gfx::Device& device, std::uint32_t colour) {
    device.clear(gfx::kClearTarget | gfx::kClearZBuffer, colour, kFarDepth);
    device.beginScene();
}

void clearDepth(gfx::Device& device, std::uint32_t colour) {
    device.clear(gfx::kClearZBuffer, colour, kFarDepth);
}

void whiteFlash(gfx::Device& device) {
    device.clear(gfx::kClearTarget | gfx::kClearZBuffer, kWhite, kFarDepth);
    ++timeline().flashCount;
}

void setDepthTest(gfx::Device& device, bool on) {
    device.setRenderState(gfx::RenderState::zEnable, on ? 1 : 0);
}

void setView(gfx::Device& device, Camera& camera) {
    device.setTransform(gfx::TransformKind::view, camera.viewMatrix());
}

void animateBackdrop(double u, BackdropTurn turn) {
    Mesh& backdrop = sceneContent().backdrop;
    waveDeform(backdrop, u * kTenThirteenths, 5.0, 9.0);
    if (turn == BackdropTurn::turn) backdrop.rotZ = static_cast<float>(1.6 * std::sin(0.4 * u));
}

void drawBackdrop(gfx::Device& device) {
    setDepthTest(device, false);
    sceneContent().backdrop.draw(device);
    setDepthTest(device, true);
}

void drawBackdropAndFloor(gfx::Device& device) {
    SceneContent& content = sceneContent();
    gfx::TransformMatrix backdropView;
    device.getTransform(gfx::TransformKind::view, backdropView);
    setDepthTest(device, true);
    setView(device, content.floorCamera);
    content.floorGroup.drawAll(device);
    gfx::Viewport viewport;
    device.getViewport(viewport);
    gfx::Viewport far = viewport;
    far.minZ = far.maxZ = kFarDepth;
    device.setViewport(far);
    device.setTransform(gfx::TransformKind::view, backdropView);
    content.backdrop.draw(device);
    device.setViewport(viewport);
    setView(device, content.floorCamera);
}

PathPoint tunnelPath(double u) {
    return {3.1 * std::sin(1.2 * u) + 2.1 * std::cos(u), 3 * std::cos(-u)};
}

void advanceTunnel(double sceneTime, double u) {
    SceneContent& content = sceneContent();
    Timeline& state = timeline();
    resetDrawnLists(content.tunnelCopy());
    if (sceneTime - state.lastRingTime > kRingInterval) {
        // The copy and the tunnel share one vertex list.
        scrollRings(content.tunnelCopy(), kRingSegments);
        const PathPoint centre = tunnelPath(u);
        newTunnelRing(kRingSegments, sceneTime, kRingRadius, kRingJitter, content.tunnel, centre.x,
                      centre.z);
        state.lastRingTime = sceneTime;
    }
}

void shadeMesh(Mesh& mesh) {
    computeFaceNormals(mesh);
    computeVertexNormals(mesh);
    rotateNormals(mesh);
    sphereMapFromNormals(mesh);
}

void blobStep(gfx::Device& device, BlobShape shape, double u) {
    SceneContent& content = sceneContent();
    for (std::size_t i = 0; i < kCubeFaces; ++i) {
        bulgeDeform(content.cubeGroup.items[i], kCubeFaceSize, kCubeFaceSize, shape.scale,
                    kFaceSigns[i] * shape.sign);
    }
    for (std::size_t i = 0; i < kCubeFaces; ++i)
        bakeTransform(content.cubeGroup.items[i], content.blobFaces[i]);
    for (Mesh& face : content.blobFaces) {
        face.rotX = static_cast<float>(kBlobTurn * std::cos(u));
        face.rotY = static_cast<float>(kBlobTurn * std::sin(u * kFiveSixths));
        face.rotZ = static_cast<float>(-kBlobTurn * std::cos(0.5 * u));
    }
    for (Mesh& face : content.blobFaces)
        shadeMesh(face);
    for (Mesh& face : content.blobFaces)
        face.draw(device);
}

void swayFloorCamera(double u) {
    Camera& camera = sceneContent().floorCamera;
    const double s = std::sin(0.2 * u);
    camera.rotY = static_cast<float>(1.6 * s);
    camera.posZ = static_cast<float>(30 * s);
    camera.posX = static_cast<float>(40 * std::cos(0.1 * u));
}

void drawCaptionPlates(gfx::Device& device, double u) {
    SceneContent& content = sceneContent();
    struct Ripple {
        Mesh* plate;
        double phase, cosAmp, sinAmp;
    };
    const Ripple ripples[] = {{&content.creditPlateA, -u, 1.0, 2.0},
                              {&content.creditPlateB, u, 2.0, 1.0},
                              {&content.logoPlate(), -u, 2.0, 1.0},
                              {&content.titlePlate, u, 1.0, 2.0}};
    setDepthTest(device, false);
    for (const Ripple& ripple : ripples) {
        waveDeform(*ripple.plate, ripple.phase, ripple.cosAmp, ripple.sinAmp);
        ripple.plate->draw(device);
    }
    setDepthTest(device, true);
}

}  // namespace glint
