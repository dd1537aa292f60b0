// A device that draws nothing and records every call, with capabilities, formats
// and texture failures set by the test.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "platform/gfx/device.h"
#include "platform/gfx/results.h"

namespace glint::test {

enum class Call : std::uint8_t {
    clear,
    beginScene,
    endScene,
    setViewport,
    setTransform,
    setRenderState,
    setMaterial,
    setTexture,
    drawTriangle,
    getCaps,
    textureFormats,
    createTexture,
};

struct DeviceCall {
    Call call;
    gfx::RenderState state{};
    std::uint32_t value = 0;
    gfx::TransformKind transformKind{};
    gfx::TransformMatrix matrix{};
    gfx::MaterialColours colours{};
    const gfx::Texture* texture = nullptr;
    gfx::Vertex corners[3]{};
};

struct RecordingDevice : gfx::Device {
    gfx::DeviceCaps caps;
    bool capsFail = false;
    bool textureFail = false;
    std::vector<gfx::PixelFormat> formats = std::vector<gfx::PixelFormat>(1, gfx::kFormatRgb565);
    mutable std::vector<DeviceCall> calls;
    gfx::Viewport viewport{};

    std::int32_t clear(std::uint32_t, std::uint32_t, float) override {
        return record({Call::clear});
    }
    std::int32_t beginScene() override { return record({Call::beginScene}); }
    std::int32_t endScene() override { return record({Call::endScene}); }
    std::int32_t setViewport(const gfx::Viewport& v) override {
        viewport = v;
        return record({Call::setViewport});
    }
    std::int32_t getViewport(gfx::Viewport& v) const override {
        v = viewport;
        return gfx::kOk;
    }
    std::int32_t getTransform(gfx::TransformKind kind, gfx::TransformMatrix& m) const override {
        m = {};
        for (const DeviceCall& c : calls) {
            if (c.call == Call::setTransform && c.transformKind == kind) m = c.matrix;
        }
        return gfx::kOk;
    }
    std::int32_t setTransform(gfx::TransformKind kind, const gfx::TransformMatrix& m) override {
        DeviceCall c{Call::setTransform};
        c.transformKind = kind;
        c.matrix = m;
        return record(c);
    }
    std::int32_t setRenderState(gfx::RenderState state, std::uint32_t value) override {
        DeviceCall c{Call::setRenderState};
        c.state = state;
        c.value = value;
        return record(c);
    }
    std::int32_t setMaterial(const gfx::MaterialColours& colours) override {
        DeviceCall c{Call::setMaterial};
        c.colours = colours;
        return record(c);
    }
    std::int32_t setTexture(std::uint32_t, const gfx::Texture* texture) override {
        DeviceCall c{Call::setTexture};
        c.texture = texture;
        return record(c);
    }
    std::int32_t drawTriangle(const gfx::Vertex (&corners)[3]) override {
        DeviceCall c{Call::drawTriangle};
        for (int i = 0; i < 3; ++i)
            c.corners[i] = corners[i];
        return record(c);
    }
    std::int32_t getCaps(gfx::DeviceCaps& out) const override {
        calls.push_back({Call::getCaps});
        if (capsFail) return gfx::kErrFail;
        out = caps;
        return gfx::kOk;
    }
    std::vector<gfx::PixelFormat> textureFormats() const override {
        calls.push_back({Call::textureFormats});
        return formats;
    }
    std::unique_ptr<gfx::Texture> createTexture(std::int32_t width, std::int32_t height,
                                                const gfx::PixelFormat& format) override {
        calls.push_back({Call::createTexture});
        if (textureFail) return nullptr;
        auto texture = std::make_unique<gfx::Texture>();
        texture->width = width;
        texture->height = height;
        texture->format = format;
        texture->texels.assign(static_cast<std::size_t>(width) * height, 0);
        return texture;
    }

    std::vector<DeviceCall> only(Call kind) const {
        std::vector<DeviceCall> found;
        for (const DeviceCall& c : calls) {
            if (c.call == kind) found.push_back(c);
        }
        return found;
    }
    std::vector<std::pair<gfx::RenderState, std::uint32_t>> renderStates() const {
        std::vector<std::pair<gfx::RenderState, std::uint32_t>> states;
        for (const DeviceCall& c : only(Call::setRenderState))
            states.emplace_back(c.state, c.value);
        return states;
    }

private:
    std::int32_t record(const DeviceCall& c) {
        calls.push_back(c);
        return gfx::kOk;
    }
};

}  // namespace glint::test
