// The eight scenes of the show, in the order the timeline runs them. Each clears
// the target, begins and ends its own 3-D scene, and moves the timeline on when
// the song reaches its exit position.
#pragma once

#include <cstdint>

#include "platform/gfx/device.h"
#include "scenes/scene_steps.h"

namespace glint {

void scene0(gfx::Device& device, float sceneTime);  // wave sheets rising out of the fog
void scene1(gfx::Device& device, float sceneTime);  // sheets, floor and ceiling, title
void scene2(gfx::Device& device, float sceneTime);  // pulsing cube between floor and ceiling
void scene3(gfx::Device& device, float sceneTime);  // tunnel with the credit plates
void scene4(gfx::Device& device, float sceneTime);  // tilted tunnel with the greetings plate
void scene5(gfx::Device& device, float sceneTime);  // flight through the tunnel
void scene6(gfx::Device& device, float sceneTime);  // flight with the cube, rolling camera
void scene7(gfx::Device& device, float sceneTime);  // closing plates

// The cube's shape for a pulse: scene 2 keeps the scale off (−1, 1); the flight
// keeps it at 1.5 or more.
BlobShape cubePulseShape(double pulse);
BlobShape flightPulseShape(double pulse);

// The flight's fog and background colour: grey-blue swinging between dark blue and
// white with s = sin(u), darkened channel by channel when the fade has begun.
struct FogRgb {
    std::int32_t red, green, blue;
};
FogRgb flightFogRgb(double s);
FogRgb fadeFogRgb(FogRgb rgb, double fade);
std::uint32_t packRgb(FogRgb rgb);  // 0x00RRGGBB

}  // namespace glint
