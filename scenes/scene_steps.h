// The steps several scenes share: clearing, the backdrop, the white flash, the
// growing tunnel, sphere-mapped shading and the inflating cube.
#pragma once

#include <cstdint>

#include "engine/camera.h"
#include "engine/mesh.h"
#include "platform/gfx/device.h"

namespace glint {

// The dark blue most scenes clear to; also the fog colour the content starts with.
inline constexpr std::uint32_t kClearColour = 0x000A1428;
inline constexpr std::uint32_t kWhite = 0xFFFFFFFF;

inline constexpr double kHalfOpaque = 0.5;
inline constexpr double kOpaque = 1.0;

// The black fog of the closing plates: its end, and how fast the fading flight
// and the closing plates pull fog ends in (per clock unit).
inline constexpr float kClosingFogEnd = 200;
inline constexpr double kFogCloseIn = 3;

// 10/13, 5/6: rates of the backdrop's ripple and of the turning cube.
inline constexpr double kTenThirteenths = 0.7692307692307692;
inline constexpr double kFiveSixths = 0.8333333333333334;

// Seconds since the music started, the clock every scene animates by; single
// precision, as the scenes then compute with it in double.
float sceneSeconds(float sceneTime);

void clearAndBegin(gfx::Device& device, std::uint32_t colour);
// Later draws lie in front of everything drawn before; the colour has no effect.
void clearDepth(gfx::Device& device, std::uint32_t colour = kClearColour);
// Called after the scene has ended: the frame presented is all white.
void whiteFlash(gfx::Device& device);
void setDepthTest(gfx::Device& device, bool on);
void setView(gfx::Device& device, Camera& camera);

enum class BackdropTurn : bool { keep, turn };
void animateBackdrop(double u, BackdropTurn turn);
// Neither hides nor is hidden by anything through depth.
void drawBackdrop(gfx::Device& device);
// Right after the depth is cleared, the pixels of drawBackdrop then floor and ceiling
// through their camera. The opaque floor and ceiling go first; the backdrop follows
// at the far depth, where they left the depth cleared, so no pixel is shaded twice.
void drawBackdropAndFloor(gfx::Device& device);

// The sideways wander of the tunnel's centre line at `u` seconds.
struct PathPoint {
    double x, z;
};
PathPoint tunnelPath(double u);

// Grows the tunnel by one ring, at most once per 0.1 clock units.
void advanceTunnel(double sceneTime, double u);

// Texture coordinates from the mesh's rotated normals.
void shadeMesh(Mesh& mesh);

// The inflating cube's bulge scale and the sign of its faces' pattern.
struct BlobShape {
    double scale;
    double sign;
};
// Bulges the cube's faces, bakes them into the blob faces, turns, shades and draws them.
void blobStep(gfx::Device& device, BlobShape shape, double u);

// Sways the camera that floor and ceiling are seen through.
void swayFloorCamera(double u);

// The two credit plates, the logo plate and the title plate, rippling, as overlays.
void drawCaptionPlates(gfx::Device& device, double u);

}  // namespace glint
