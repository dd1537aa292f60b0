// Per-frame changes to a mesh's base vertices. Those that say so also make the
// base lists the drawn ones (resetDrawnLists).
#pragma once

#include <cstdint>

#include "engine/mesh.h"

namespace glint {

// z = sinAmp · sin(2 · phase − 0.25 · y) + cosAmp · cos(0.1 · x + phase). Resets first.
void waveDeform(Mesh& mesh, double phase, double cosAmp, double sinAmp);

// Every ring of `segments` vertices takes the x and z of the ring before it; ring 0
// keeps its shape. Resets last.
void scrollRings(Mesh& mesh, std::int32_t segments);

// Gives ring 0 a new, randomly roughened cross-section around the centre
// (2 · offsetX, 2 · offsetZ). Needs jitter ≥ 1.
void newTunnelRing(std::int32_t segments, double phase, double radius, std::int32_t jitter,
                   Mesh& mesh, double offsetX, double offsetZ);

// Lifts a flat grid of width × height into a cushion that stays flat at its border,
// with random grain away from it. Resets last.
void bulgeDeform(Mesh& mesh, double width, double height, double scale, double sign);

// Writes the source's vertices, as it would be drawn, into the target's base list
// and leaves the target unrotated at the origin.
void bakeTransform(const Mesh& source, Mesh& target);

}  // namespace glint
