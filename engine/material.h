// A mesh's colours and its one texture, shared by every copy of the mesh.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/gfx/device.h"

namespace glint {

struct Rgb {
    float r = 0, g = 0, b = 0;
};

struct Material {
    gfx::MaterialColours colours{};
    std::unique_ptr<gfx::Texture> texture;  // null: drawn untextured

    // Replaces the texture with one made from bitmap `bitmapId`, null if that fails.
    std::int32_t loadTexture(std::int32_t bitmapId, gfx::Device& device);
    std::int32_t apply(gfx::Device& device) const;
};

// Every colour zero except the nine given components.
Material makeMaterial(const Rgb& ambient, const Rgb& diffuse, const Rgb& specular);

}  // namespace glint
