// A device that draws nothing and keeps, per frame, the clears, scene brackets and
// mesh draws in order, each draw with the view, depth, fog and blend it was made under.
#pragma once

#include <bit>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "platform/gfx/device.h"
#include "platform/gfx/pixel_format.h"
#include "platform/gfx/results.h"

namespace glint::test {

struct FogState {
    bool on = false;
    float start = 0, end = 0;
    std::uint32_t colour = 0;
};

// One mesh draw: the triangles that followed one texture and world matrix.
struct MeshDraw {
    const gfx::Texture* texture = nullptr;
    gfx::TransformMatrix view{};
    gfx::TransformMatrix world{};
    bool depthTest = true;
    bool atFarDepth = false;  // the viewport's depth range is the far plane alone
    FogState fog;
    std::uint32_t srcBlend = 0;
    std::int32_t triangles = 0;
};

enum class Step : std::uint8_t { clear, beginScene, endScene, draw };

struct FrameStep {
    Step step;
    std::uint32_t clearFlags = 0;
    std::uint32_t clearColour = 0;
    float clearDepth = 0;
    MeshDraw draw{};
};

struct SceneDevice : gfx::Device {
    std::vector<FrameStep> steps;
    std::vector<std::pair<gfx::TransformKind, gfx::TransformMatrix>> transforms;  // in order
    gfx::TransformMatrix view{}, world{};
    gfx::Viewport viewport{};
    bool depthTest = true;
    FogState fog;
    std::uint32_t srcBlend = 0;
    const gfx::Texture* texture = nullptr;

    std::int32_t clear(std::uint32_t flags, std::uint32_t colour, float depth) override {
        FrameStep s{Step::clear};
        s.clearFlags = flags;
        s.clearColour = colour;
        s.clearDepth = depth;
        return push(s);
    }
    std::int32_t beginScene() override { return push({Step::beginScene}); }
    std::int32_t endScene() override { return push({Step::endScene}); }
    std::int32_t setViewport(const gfx::Viewport& v) override {
        viewport = v;
        return changed();
    }
    std::int32_t getViewport(gfx::Viewport& v) const override {
        v = viewport;
        return gfx::kOk;
    }
    std::int32_t getTransform(gfx::TransformKind kind, gfx::TransformMatrix& m) const override {
        using gfx::TransformKind;
        m = kind == TransformKind::view
                ? view
                : (kind == TransformKind::world ? world : gfx::TransformMatrix{});
        return gfx::kOk;
    }
    std::int32_t setTransform(gfx::TransformKind kind, const gfx::TransformMatrix& m) override {
        transforms.emplace_back(kind, m);
        if (kind == gfx::TransformKind::view) view = m;
        if (kind == gfx::TransformKind::world) world = m;
        return changed();
    }
    std::int32_t setRenderState(gfx::RenderState state, std::uint32_t value) override {
        using gfx::RenderState;
        switch (state) {
            case RenderState::zEnable:
                depthTest = value != 0;
                break;
            case RenderState::fogEnable:
                fog.on = value != 0;
                break;
            case RenderState::fogStart:
                fog.start = std::bit_cast<float>(value);
                break;
            case RenderState::fogEnd:
                fog.end = std::bit_cast<float>(value);
                break;
            case RenderState::fogColor:
                fog.colour = value;
                break;
            case RenderState::srcBlend:
                srcBlend = value;
                break;
            default:
                break;
        }
        return changed();
    }
    std::int32_t setMaterial(const gfx::MaterialColours&) override { return changed(); }
    std::int32_t setTexture(std::uint32_t, const gfx::Texture* t) override {
        texture = t;
        return changed();
    }
    std::int32_t drawTriangle(const gfx::Vertex (&)[3]) override {
        if (!drawing) {
            FrameStep s{Step::draw};
            s.draw = {
                texture, view,     world, depthTest, viewport.minZ == 1.0f && viewport.maxZ == 1.0f,
                fog,     srcBlend, 0};
            steps.push_back(s);
            drawing = true;
        }
        ++steps.back().draw.triangles;
        return gfx::kOk;
    }
    std::int32_t getCaps(gfx::DeviceCaps& out) const override {
        out = {};
        return gfx::kOk;
    }
    std::vector<gfx::PixelFormat> textureFormats() const override { return {gfx::kFormatRgb565}; }
    std::unique_ptr<gfx::Texture> createTexture(std::int32_t width, std::int32_t height,
                                                const gfx::PixelFormat& format) override {
        auto t = std::make_unique<gfx::Texture>();
        t->width = width;
        t->height = height;
        t->format = format;
        t->texels.assign(static_cast<std::size_t>(width) * height, 0);
        return t;
    }

    std::vector<MeshDraw> draws() const {
        std::vector<MeshDraw> found;
        for (const FrameStep& s : steps) {
            if (s.step == Step::draw) found.push_back(s.draw);
        }
        return found;
    }
    void forget() {
        steps.clear();
        transforms.clear();
        drawing = false;
    }

private:
    bool drawing = false;  // a draw step is open until the next state change

    std::int32_t push(const FrameStep& s) {
        steps.push_back(s);
        return changed();
    }
    std::int32_t changed() {
        drawing = false;
        return gfx::kOk;
    }
};

}  // namespace glint::test
