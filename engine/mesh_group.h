// A fixed number of mesh copies drawn in one call. Each item has its own angles,
// position, flags and opacity, and shares the lists and material of its source.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/mesh.h"

namespace glint {

struct MeshGroup {
    std::vector<Mesh> items;  // `capacity` entries, each an empty mesh until added
    std::int32_t count = 0;
    std::int32_t capacity = 0;

    // Copies `mesh` into the next free item; does nothing when the group is full.
    std::int32_t add(Mesh mesh);
    std::int32_t drawAll(gfx::Device& device);
};

MeshGroup makeMeshGroup(std::int32_t capacity);

}  // namespace glint
