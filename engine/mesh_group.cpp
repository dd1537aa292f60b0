#include "engine/mesh_group.h"

#include <algorithm>
#include <utility>

namespace glint {

std::int32_t MeshGroup::add(Mesh mesh) {
    if (count < capacity) items[count++] = std::move(mesh);
    return 0;
}

std::int32_t MeshGroup::drawAll(gfx::Device& device) {
    for (std::int32_t i = 0; i < count; ++i)
        items[i].draw(device);
    return 0;
}

MeshGroup makeMeshGroup(std::int32_t capacity) {
    MeshGroup group;
    group.items.resize(static_cast<std::size_t>(std::max(capacity, 0)));
    group.capacity = capacity;
    return group;
}

}  // namespace glint
