// Normals from a mesh's geometry, and texture coordinates from its normals: the
// chain computeFaceNormals, computeVertexNormals, rotateNormals,
// sphereMapFromNormals gives the environment-mapped look.
#pragma once

#include <cstdint>

#include "engine/mesh.h"

namespace glint {

// (P0 − P1) × (P0 − P2) per face, divided by the root of its squared length
// truncated to a whole number (1 when that is 0).
std::int32_t computeFaceNormals(Mesh& mesh);

// Per vertex, the unit mean of the normals of the faces it is a corner of, (0, 0, 0)
// for a vertex of no face. Builds the mesh's adjacency once; faces must not change
// afterwards.
std::int32_t computeVertexNormals(Mesh& mesh);

// Turns the drawn list's normals by the mesh's rotation.
std::int32_t rotateNormals(Mesh& mesh);

// tu, tv of every drawn vertex from the x and y of its normal.
std::int32_t sphereMapFromNormals(Mesh& mesh);

}  // namespace glint
