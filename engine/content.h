// Everything the scenes draw, built anew each time a device is created.
#pragma once

#include <array>
#include <cstdint>

#include "engine/camera.h"
#include "engine/fog.h"
#include "engine/mesh.h"
#include "engine/mesh_group.h"
#include "platform/gfx/device.h"

namespace glint {

// The bitmap resources the content textures itself with.
inline constexpr std::int32_t kLogoBitmap = 103;
inline constexpr std::int32_t kTitleBitmap = 104;
inline constexpr std::int32_t kCreditABitmap = 105;
inline constexpr std::int32_t kCreditBBitmap = 106;
inline constexpr std::int32_t kSurfaceBitmap = 113;
inline constexpr std::int32_t kGreetingsBitmap = 116;
inline constexpr std::int32_t kTunnelBitmap = 123;

inline constexpr std::int32_t kGroupCapacity = 6;
inline constexpr std::size_t kCubeFaces = 6;

struct SceneContent {
    Rgb whiteColour;
    MeshGroup cubeGroup = makeMeshGroup(kGroupCapacity);  // the six faces of a cube of edge 16
    std::array<Mesh, kCubeFaces> blobFaces;               // cubeGroup's faces, baked and drawn
    MeshGroup waveGroup = makeMeshGroup(kGroupCapacity);  // waveA, waveB, logoPlate
    Mesh backdrop;
    MeshGroup floorGroup = makeMeshGroup(kGroupCapacity);  // upperPlane, lowerPlane
    Mesh tunnel;
    MeshGroup tunnelGroup = makeMeshGroup(kGroupCapacity);  // a copy of tunnel, sharing its lists
    Mesh titlePlate;
    Mesh creditPlateA;
    Mesh creditPlateB;
    Mesh greetingsPlate;
    Camera mainCamera;
    Camera floorCamera;
    Camera bannerCamera;
    Camera blobCamera;
    FogBlock fog;
    std::uint32_t buildCount = 0;  // how many times the content was built

    Mesh& waveA() { return waveGroup.items[0]; }
    Mesh& waveB() { return waveGroup.items[1]; }
    Mesh& logoPlate() { return waveGroup.items[2]; }
    Mesh& upperPlane() { return floorGroup.items[0]; }
    Mesh& lowerPlane() { return floorGroup.items[1]; }
    Mesh& tunnelCopy() { return tunnelGroup.items[0]; }
};

// The one content record of the process.
SceneContent& sceneContent();
// Empty content, as before the first build; for tests.
void resetSceneContent();

// Releases the previous content, then builds every mesh, group, camera and the fog.
std::int32_t buildSceneContent(gfx::Device& device);

}  // namespace glint
