// A small target with a software device whose transforms are identities, so
// that corners are given directly in pixels: pixel centres at integers, x to
// the right, y down, depth z, and w = 1 unless a test sets a projection.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/gfx/device.h"
#include "platform/gfx/software_device.h"

namespace glint::gfx::test {

inline constexpr std::uint32_t kBlack = 0x000000;
inline constexpr std::uint32_t kWhite = 0xFFFFFF;

struct Canvas {
    Surface surface;
    std::unique_ptr<Device> device;

    Canvas(std::int32_t width, std::int32_t height, TextureRequirements requirements = {},
           SpanWidth spans = SpanWidth::widest) {
        surface.width = width;
        surface.height = height;
        surface.pixels.assign(static_cast<std::size_t>(width * height), kBlack);
        surface.depth.assign(static_cast<std::size_t>(width * height), 1.0f);
        device = createSoftwareDevice(surface, requirements, {}, spans);
        device->setRenderState(RenderState::cullMode, kCullNone);
        device->setRenderState(RenderState::ambient, 0xFFFFFFFF);
        setColour(1.0f, 1.0f, 1.0f);
    }

    // The lit colour of untextured triangles, through the material's ambient.
    void setColour(float r, float g, float b) {
        MaterialColours material{};
        material.ambient = {r, g, b, 1.0f};
        device->setMaterial(material);
    }

    Vertex corner(float x, float y, float z = 0.5f, float u = 0.0f, float v = 0.0f) const {
        const float clipX = 2.0f * x / static_cast<float>(surface.width) - 1.0f;
        const float clipY = 1.0f - 2.0f * y / static_cast<float>(surface.height);
        return {clipX, clipY, z, 0.0f, 0.0f, -1.0f, u, v};
    }

    void draw(const Vertex& a, const Vertex& b, const Vertex& c) {
        const Vertex corners[3] = {a, b, c};
        device->drawTriangle(corners);
    }

    // Readers of the target wait for the device's drawing first, as the show's do.
    std::uint32_t at(std::int32_t x, std::int32_t y) const {
        device->readBack();
        return surface.pixels[static_cast<std::size_t>(y * surface.width + x)];
    }
    float depthAt(std::int32_t x, std::int32_t y) const {
        device->readBack();
        return surface.depth[static_cast<std::size_t>(y * surface.width + x)];
    }

    int count(std::uint32_t colour) const {
        device->readBack();
        int n = 0;
        for (const std::uint32_t p : surface.pixels)
            n += p == colour ? 1 : 0;
        return n;
    }
};

// The 8-bit value a colour channel in 0..1 is stored as.
inline std::uint32_t toByte(double channel) {
    return static_cast<std::uint32_t>(channel * 255.0 + 0.5);
}

inline std::uint32_t rgb(double r, double g, double b) {
    return toByte(r) << 16 | toByte(g) << 8 | toByte(b);
}

}  // namespace glint::gfx::test
