#include "platform/gfx/null_device.h"

#include "platform/gfx/fixed_function.h"
#include "platform/gfx/results.h"

namespace glint::gfx {
namespace {

class NullDevice final : public Device {
public:
    std::int32_t clear(std::uint32_t, std::uint32_t, float) override { return kOk; }
    std::int32_t beginScene() override { return kOk; }
    std::int32_t endScene() override { return kOk; }
    std::int32_t setViewport(const Viewport&) override { return kOk; }
    // Nothing is drawn, so nothing depends on what was set: the defaults come back.
    std::int32_t getViewport(Viewport& viewport) const override {
        viewport = {};
        return kOk;
    }
    std::int32_t setTransform(TransformKind, const TransformMatrix&) override { return kOk; }
    std::int32_t getTransform(TransformKind, TransformMatrix& matrix) const override {
        matrix = kIdentity;
        return kOk;
    }
    std::int32_t setRenderState(RenderState, std::uint32_t) override { return kOk; }
    std::int32_t setMaterial(const MaterialColours&) override { return kOk; }
    std::int32_t setTexture(std::uint32_t, const Texture*) override { return kOk; }
    std::int32_t drawTriangle(const Vertex (&)[3]) override { return kOk; }
    std::int32_t getCaps(DeviceCaps& caps) const override {
        caps = DeviceCaps{};
        return kOk;
    }
    std::vector<PixelFormat> textureFormats() const override {
        return {kFormatRgb565, kFormatRgb555};
    }
    std::unique_ptr<Texture> createTexture(std::int32_t width, std::int32_t height,
                                           const PixelFormat& format) override {
        if (width <= 0 || height <= 0) return nullptr;
        return makeZeroedTexture(width, height, format);
    }
};

}  // namespace

std::unique_ptr<Device> createNullDevice() {
    return std::make_unique<NullDevice>();
}

}  // namespace glint::gfx
