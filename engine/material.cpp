#include "engine/material.h"

#include "engine/texture_loader.h"

namespace glint {
namespace {

// Alpha stays 0, as the device expects of these materials.
gfx::ColourValue colourValue(const Rgb& colour) {
    return {colour.r, colour.g, colour.b, 0};
}

}  // namespace

std::int32_t Material::loadTexture(std::int32_t bitmapId, gfx::Device& device) {
    texture = loadBitmapTexture(device, bitmapId);
    return 0;
}

std::int32_t Material::apply(gfx::Device& device) const {
    device.setMaterial(colours);
    device.setTexture(0, texture.get());
    return 0;
}

Material makeMaterial(const Rgb& ambient, const Rgb& diffuse, const Rgb& specular) {
    Material material;
    material.colours.ambient = colourValue(ambient);
    material.colours.diffuse = colourValue(diffuse);
    material.colours.specular = colourValue(specular);
    return material;
}

}  // namespace glint
