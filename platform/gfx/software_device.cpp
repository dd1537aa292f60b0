#include "platform/gfx/software_device.h"

#include <algorithm>

#include "platform/gfx/results.h"

namespace glint::gfx {
namespace {

class SoftwareDevice final : public Device {
public:
    explicit SoftwareDevice(Surface& target) : target_(target) {}

    std::int32_t clear(std::uint32_t flags, std::uint32_t colour, float depth) override {
        if (flags & kClearTarget) std::fill(target_.pixels.begin(), target_.pixels.end(), colour);
        if (flags & kClearZBuffer) std::fill(target_.depth.begin(), target_.depth.end(), depth);
        return kOk;
    }
    std::int32_t beginScene() override { return kOk; }
    std::int32_t endScene() override { return kOk; }
    std::int32_t setViewport(const Viewport& viewport) override {
        viewport_ = viewport;
        return kOk;
    }
    std::int32_t setTransform(TransformKind, const TransformMatrix&) override { return kOk; }
    std::int32_t setRenderState(RenderState, std::uint32_t) override { return kOk; }
    std::int32_t setMaterial(const MaterialColours&) override { return kOk; }
    std::int32_t setTexture(std::uint32_t, const Texture*) override { return kOk; }
    std::int32_t drawTriangle(const Vertex (&)[3]) override { return kOk; }

    std::int32_t getCaps(DeviceCaps& caps) const override {
        caps = DeviceCaps{DeviceKind::software, false, false};
        return kOk;
    }
    std::vector<PixelFormat> textureFormats() const override {
        return {kFormatRgb565, kFormatRgb555};
    }
    std::unique_ptr<Texture> createTexture(std::int32_t width, std::int32_t height,
                                           const PixelFormat& format) override {
        if (width <= 0 || height <= 0) return nullptr;
        auto texture = std::make_unique<Texture>();
        texture->width = width;
        texture->height = height;
        texture->format = format;
        texture->texels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
        return texture;
    }

private:
    Surface& target_;
    Viewport viewport_{};
};

}  // namespace

std::unique_ptr<Device> createSoftwareDevice(Surface& target) {
    return std::make_unique<SoftwareDevice>(target);
}

}  // namespace glint::gfx
