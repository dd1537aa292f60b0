// The show on any device, following a modelled song, with the frames before the
// ones of interest played on the device's state alone: their draws are skipped,
// but every state they set reaches the device, as it would in the show.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/content.h"
#include "engine/random.h"
#include "platform/gfx/device.h"
#include "platform/gfx/results.h"
#include "platform/resources.h"
#include "scenes/timeline.h"
#include "shell/shell.h"

namespace glint::test {

// At 7 ticks a row and 135 BPM a row lasts 35/27 clock units.
inline SongPosition modelledSongAt(std::int32_t sceneTime) {
    constexpr std::int32_t kRowUnits = 35;
    constexpr std::int32_t kRowsPerUnits = 27;
    constexpr std::int32_t kPatternRows = 64;
    const std::int32_t row = sceneTime * kRowsPerUnits / kRowUnits;
    return {row / kPatternRows, row % kPatternRows};
}

// Passes on what a frame sets and leaves out what it draws.
class StateOnlyDevice final : public gfx::Device {
public:
    explicit StateOnlyDevice(gfx::Device& device) : device_(device) {}

    std::int32_t clear(std::uint32_t, std::uint32_t, float) override { return gfx::kOk; }
    std::int32_t beginScene() override { return gfx::kOk; }
    std::int32_t endScene() override { return gfx::kOk; }
    std::int32_t setViewport(const gfx::Viewport& viewport) override {
        return device_.setViewport(viewport);
    }
    std::int32_t getViewport(gfx::Viewport& viewport) const override {
        return device_.getViewport(viewport);
    }
    std::int32_t setTransform(gfx::TransformKind kind, const gfx::TransformMatrix& m) override {
        return device_.setTransform(kind, m);
    }
    std::int32_t getTransform(gfx::TransformKind kind, gfx::TransformMatrix& m) const override {
        return device_.getTransform(kind, m);
    }
    std::int32_t setRenderState(gfx::RenderState state, std::uint32_t value) override {
        return device_.setRenderState(state, value);
    }
    std::int32_t setMaterial(const gfx::MaterialColours& colours) override {
        return device_.setMaterial(colours);
    }
    std::int32_t setTexture(std::uint32_t stage, const gfx::Texture* texture) override {
        return device_.setTexture(stage, texture);
    }
    std::int32_t drawTriangle(const gfx::Vertex (&)[3]) override { return gfx::kOk; }
    std::int32_t getCaps(gfx::DeviceCaps& caps) const override { return device_.getCaps(caps); }
    std::vector<gfx::PixelFormat> textureFormats() const override {
        return device_.textureFormats();
    }
    std::unique_ptr<gfx::Texture> createTexture(std::int32_t width, std::int32_t height,
                                                const gfx::PixelFormat& format) override {
        return device_.createTexture(width, height, format);
    }

private:
    gfx::Device& device_;
};

// The show from its first frame, one frame per clock unit, on one device.
class ShowFrames {
public:
    // Builds the content from the embedded bitmaps on `device` for a `width` ×
    // `height` target as the shell's device creation does.
    ShowFrames(gfx::Device& device, std::int32_t width, std::int32_t height) : device_(device) {
        useResources(embeddedResources());
        resetSceneContent();
        resetRandom();
        resetTimeline();
        timeline().songPosition = [this] { return modelledSongAt(now_); };
        setupDevice(device, width, height);
    }
    ~ShowFrames() {
        // The device may still be drawing with the textures about to go.
        device_.readBack();
        resetTimeline();
        resetSceneContent();
    }
    ShowFrames(const ShowFrames&) = delete;
    ShowFrames& operator=(const ShowFrames&) = delete;

    // Plays every frame before `sceneTime` not yet played on state alone, then
    // draws the one at `sceneTime`; the frames must come in increasing order.
    void drawAt(std::int32_t sceneTime) {
        StateOnlyDevice stateOnly(device_);
        for (; now_ < sceneTime; ++now_)
            runTimeline(stateOnly, static_cast<float>(now_));
        runTimeline(device_, static_cast<float>(now_));
        ++now_;
    }

    // Draws the frame at `sceneTime` again, whatever was played before.
    void redrawAt(std::int32_t sceneTime) {
        now_ = sceneTime;
        runTimeline(device_, static_cast<float>(sceneTime));
    }

private:
    gfx::Device& device_;
    std::int32_t now_ = 0;
};

// A target with its depth buffer for a software device of its own.
inline gfx::Surface surfaceWithDepth(std::int32_t width, std::int32_t height) {
    gfx::Surface target;
    target.width = width;
    target.height = height;
    const auto count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    target.pixels.assign(count, 0);
    target.depth.assign(count, 1.0f);
    target.depthFormat = gfx::kFormatDepth32;
    return target;
}

// Frames inside each of the eight scenes under the modelled song, away from
// flashes and hand-overs, in the show's order.
inline constexpr std::int32_t kSceneFrames[kSceneCount][2] = {
    {150, 280}, {400, 470},   {560, 640},   {720, 790},
    {880, 960}, {1060, 1140}, {1220, 1300}, {1420, 1520},
};

}  // namespace glint::test
