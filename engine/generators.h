// The two shapes every mesh of the show starts from. Both give the mesh new lists
// and counts and leave its angles, position, flags, opacity and material alone.
#pragma once

#include <cstdint>

#include "engine/mesh.h"

namespace glint {

// How makeGrid lays out texture coordinates.
enum TexMode : std::int32_t {
    kTexStretched = 0,      // the texture covers the grid once
    kTexPerCell = 1,        // repeated on every cell, mirrored from cell to cell
    kTexMirroredHalves = 2  // 1 → 0 over the first half, 0.05 → 1.05 over the second
};

// A flat grid of `columns` × `rows` vertices spanning width × height in the x-y
// plane, centred on the origin. Needs columns ≥ 2 and rows ≥ 2; vertices of an
// unknown texMode stay zero.
void makeGrid(std::int32_t columns, std::int32_t rows, double width, double height, Mesh& mesh,
              std::int32_t texMode);

// An open tube of `rings` × `segments` vertices along y with a wavy, randomly
// roughened radius. Needs rings ≥ 1, segments ≥ 1 and jitter ≥ 1.
void makeTube(std::int32_t rings, std::int32_t segments, double length, double radius,
              std::int32_t jitter, Mesh& mesh);

// 6.4 rather than 2π: a ring's closing edge is shorter than the others.
inline constexpr double kRingTurn = 6.4;

}  // namespace glint
