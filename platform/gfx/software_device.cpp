#include "platform/gfx/software_device.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>

#include "platform/gfx/clipper.h"
#include "platform/gfx/raster_precision.h"
#include "platform/gfx/rasterizer.h"
#include "platform/gfx/results.h"

namespace glint::gfx {
namespace {

constexpr std::size_t kRenderStateCount = static_cast<std::size_t>(RenderState::lighting) + 1;

constexpr TransformMatrix kIdentity{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};

std::uint32_t floatBits(float value) {
    return std::bit_cast<std::uint32_t>(value);
}

TransformMatrix multiply(const TransformMatrix& a, const TransformMatrix& b) {
    TransformMatrix product{};
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k) {
                sum += static_cast<double>(a.m[row][k]) * static_cast<double>(b.m[k][column]);
            }
            product.m[row][column] = static_cast<float>(sum);
        }
    }
    return product;
}

std::size_t pixelCount(const Surface& surface) {
    return static_cast<std::size_t>(surface.width) * static_cast<std::size_t>(surface.height);
}

bool isOfferedFormat(const PixelFormat& format) {
    for (const PixelFormat& offered : {kFormatRgb565, kFormatRgb555}) {
        if (format.flags == offered.flags && format.bitCount == offered.bitCount &&
            format.redMask == offered.redMask && format.greenMask == offered.greenMask &&
            format.blueMask == offered.blueMask && format.alphaMask == offered.alphaMask) {
            return true;
        }
    }
    return false;
}

bool samplingEqual(const TextureView& a, const TextureView& b) {
    return a.texels == b.texels && a.width == b.width && a.height == b.height &&
           a.redMask == b.redMask && a.greenMask == b.greenMask && a.blueMask == b.blueMask;
}

float channel(std::uint32_t colour, int shift) {
    return static_cast<float>((colour >> shift) & 0xFF) / 255.0f;
}

class SoftwareDevice final : public Device {
public:
    SoftwareDevice(Surface& target, TextureRequirements requirements)
        : target_(target), requirements_(requirements) {
        viewport_ = {0,
                     0,
                     static_cast<std::uint32_t>(std::max(target.width, 0)),
                     static_cast<std::uint32_t>(std::max(target.height, 0)),
                     0.0f,
                     1.0f};
        states_[index(RenderState::zEnable)] = target.depth.empty() ? 0 : 1;
        states_[index(RenderState::srcBlend)] = kBlendOne;
        states_[index(RenderState::destBlend)] = kBlendZero;
        states_[index(RenderState::cullMode)] = kCullCounterClockwise;
        states_[index(RenderState::fogTableMode)] = kFogNone;
        states_[index(RenderState::fogEnd)] = floatBits(1.0f);
        states_[index(RenderState::fogDensity)] = floatBits(1.0f);
        states_[index(RenderState::lighting)] = 1;
    }

    std::int32_t clear(std::uint32_t flags, std::uint32_t colour, float depth) override {
        const RasterTarget target = rasterTarget();
        for (std::int32_t row = target.top; row < target.bottom; ++row) {
            const std::ptrdiff_t start = static_cast<std::ptrdiff_t>(row) * target.pitch;
            if (flags & kClearTarget) {
                std::fill(target.pixels + start + target.left, target.pixels + start + target.right,
                          colour);
            }
            if ((flags & kClearZBuffer) && target.depth != nullptr) {
                std::fill(target.depth + start + target.left, target.depth + start + target.right,
                          depth);
            }
        }
        return kOk;
    }

    std::int32_t beginScene() override { return kOk; }
    std::int32_t endScene() override { return kOk; }

    std::int32_t setViewport(const Viewport& viewport) override {
        viewport_ = viewport;
        transformDirty_ = true;
        return kOk;
    }

    std::int32_t setTransform(TransformKind kind, const TransformMatrix& matrix) override {
        switch (kind) {
            case TransformKind::world:
                world_ = matrix;
                break;
            case TransformKind::view:
                view_ = matrix;
                break;
            case TransformKind::projection:
                projection_ = matrix;
                break;
            default:
                return kErrFail;
        }
        transformDirty_ = true;
        return kOk;
    }

    std::int32_t setRenderState(RenderState state, std::uint32_t value) override {
        if (index(state) >= kRenderStateCount) return kErrFail;
        states_[index(state)] = value;
        pipelineDirty_ = true;
        return kOk;
    }

    std::int32_t setMaterial(const MaterialColours& colours) override {
        material_ = colours;
        pipelineDirty_ = true;
        return kOk;
    }

    std::int32_t setTexture(std::uint32_t stage, const Texture* texture) override {
        if (stage != 0) return kErrFail;
        texture_ = texture;
        pipelineDirty_ = true;
        return kOk;
    }

    std::int32_t drawTriangle(const Vertex (&corners)[3]) override {
        const RasterTarget target = rasterTarget();
        if (target.left >= target.right || target.top >= target.bottom) return kOk;
        refreshTransform();
        refreshPipeline(target.depth != nullptr);

        ClipVertex clip[3];
        std::uint32_t all = ~0u;
        std::uint32_t any = 0;
        for (int i = 0; i < 3; ++i) {
            clip[i] = transform(corners[i]);
            if (!isFinite(clip[i])) return kOk;
            const std::uint32_t code = outcode(clip[i], guard_);
            all &= code;
            any |= code;
        }
        if (all & kRejectPlanes) return kOk;
        if (!(any & kClipPlanes)) {
            const ScreenVertex screen[3] = {project(clip[0]), project(clip[1]), project(clip[2])};
            rasterizeTriangle(screen, target, pipeline_, cull_);
            return kOk;
        }
        ClippedPolygon polygon;
        clipTriangle(clip, any & kClipPlanes, guard_, polygon);
        for (int i = 1; i + 1 < polygon.count; ++i) {
            const ScreenVertex screen[3] = {project(polygon.corners[0]),
                                            project(polygon.corners[i]),
                                            project(polygon.corners[i + 1])};
            rasterizeTriangle(screen, target, pipeline_, cull_);
        }
        return kOk;
    }

    std::int32_t getCaps(DeviceCaps& caps) const override {
        caps = DeviceCaps{DeviceKind::software, requirements_.powerOfTwo, requirements_.square};
        return kOk;
    }

    std::vector<PixelFormat> textureFormats() const override {
        return {kFormatRgb565, kFormatRgb555};
    }

    std::unique_ptr<Texture> createTexture(std::int32_t width, std::int32_t height,
                                           const PixelFormat& format) override {
        if (width <= 0 || height <= 0 || width > kMaxTextureSide || height > kMaxTextureSide) {
            return nullptr;
        }
        if (requirements_.powerOfTwo &&
            (!std::has_single_bit(static_cast<std::uint32_t>(width)) ||
             !std::has_single_bit(static_cast<std::uint32_t>(height)))) {
            return nullptr;
        }
        if (requirements_.square && width != height) return nullptr;
        if (!isOfferedFormat(format)) return nullptr;
        auto texture = std::make_unique<Texture>();
        texture->width = width;
        texture->height = height;
        texture->format = format;
        texture->texels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height),
                               0);
        return texture;
    }

private:
    static std::size_t index(RenderState state) { return static_cast<std::size_t>(state); }

    std::uint32_t state(RenderState which) const { return states_[index(which)]; }
    float floatState(RenderState which) const { return std::bit_cast<float>(state(which)); }

    static bool isFinite(const ClipVertex& v) {
        return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z) && std::isfinite(v.w);
    }

    // The drawable rectangle: the viewport cut to the target. Empty when the
    // target's buffers do not match its size.
    RasterTarget rasterTarget() const {
        RasterTarget target;
        Surface& surface = target_;
        if (surface.width <= 0 || surface.height <= 0 || surface.width > kMaxTargetSide ||
            surface.height > kMaxTargetSide || surface.pixels.size() < pixelCount(surface)) {
            return target;
        }
        target.pixels = surface.pixels.data();
        if (surface.depth.size() >= pixelCount(surface)) target.depth = surface.depth.data();
        target.pitch = surface.width;
        target.rows = surface.height;
        const auto limit = [](std::uint64_t value, std::int32_t bound) {
            return static_cast<std::int32_t>(std::min<std::uint64_t>(value, bound));
        };
        target.left = limit(viewport_.x, surface.width);
        target.top = limit(viewport_.y, surface.height);
        target.right = limit(std::uint64_t{viewport_.x} + viewport_.width, surface.width);
        target.bottom = limit(std::uint64_t{viewport_.y} + viewport_.height, surface.height);
        return target;
    }

    void refreshTransform() {
        if (!transformDirty_) return;
        combined_ = multiply(multiply(world_, view_), projection_);
        const float width = static_cast<float>(viewport_.width);
        const float height = static_cast<float>(viewport_.height);
        scaleX_ = width * 0.5f;
        scaleY_ = height * 0.5f;
        offsetX_ = static_cast<float>(viewport_.x) + scaleX_;
        offsetY_ = static_cast<float>(viewport_.y) + scaleY_;
        depthScale_ = viewport_.maxZ - viewport_.minZ;
        guard_ = {1.0f + 2.0f * kGuardBandPixels / std::max(width, 1.0f),
                  1.0f + 2.0f * kGuardBandPixels / std::max(height, 1.0f)};
        transformDirty_ = false;
    }

    ClipVertex transform(const Vertex& v) const {
        const auto& m = combined_.m;
        return {v.x * m[0][0] + v.y * m[1][0] + v.z * m[2][0] + m[3][0],
                v.x * m[0][1] + v.y * m[1][1] + v.z * m[2][1] + m[3][1],
                v.x * m[0][2] + v.y * m[1][2] + v.z * m[2][2] + m[3][2],
                v.x * m[0][3] + v.y * m[1][3] + v.z * m[2][3] + m[3][3],
                v.tu,
                v.tv};
    }

    ScreenVertex project(const ClipVertex& c) const {
        const float q = 1.0f / c.w;
        return {offsetX_ + c.x * q * scaleX_,
                offsetY_ - c.y * q * scaleY_,
                viewport_.minZ + c.z * q * depthScale_,
                q,
                c.u * q,
                c.v * q};
    }

    // The texture as sampled, or nothing when it cannot be sampled safely.
    bool textureView(TextureView& view) const {
        const Texture* t = texture_;
        if (t == nullptr || t->width <= 0 || t->height <= 0 || t->width > kMaxTextureSide ||
            t->height > kMaxTextureSide || t->format.bitCount != 16 ||
            t->texels.size() <
                static_cast<std::size_t>(t->width) * static_cast<std::size_t>(t->height)) {
            return false;
        }
        view = {t->texels.data(),    t->width,          t->height, t->format.redMask,
                t->format.greenMask, t->format.blueMask};
        return true;
    }

    void refreshPipeline(bool hasDepth) {
        TextureView view;
        const bool textured = textureView(view);
        if (!pipelineDirty_ && hasDepth == preparedWithDepth_ && textured == preparedTextured_ &&
            (!textured || samplingEqual(view, preparedTexture_))) {
            return;
        }
        PixelState pixel;
        pixel.depthTest = hasDepth && state(RenderState::zEnable) != 0;
        pixel.fogStart = floatState(RenderState::fogStart);
        pixel.fogEnd = floatState(RenderState::fogEnd);
        pixel.fogColour = state(RenderState::fogColor);
        if (state(RenderState::fogEnable) != 0 && state(RenderState::fogTableMode) == kFogLinear) {
            pixel.fog = pixel.fogEnd > pixel.fogStart ? FogKind::linear : FogKind::step;
        }
        if (state(RenderState::alphaBlendEnable) != 0 &&
            state(RenderState::srcBlend) == kBlendSrcColor &&
            state(RenderState::destBlend) == kBlendInvSrcColor) {
            pixel.blend = BlendKind::sourceColour;
        }
        if (state(RenderState::lighting) != 0) {
            const std::uint32_t light = state(RenderState::ambient);
            const float ambient[3] = {channel(light, 16), channel(light, 8), channel(light, 0)};
            const float materialAmbient[3] = {material_.ambient.r, material_.ambient.g,
                                              material_.ambient.b};
            const float emissive[3] = {material_.emissive.r, material_.emissive.g,
                                       material_.emissive.b};
            for (int c = 0; c < 3; ++c) {
                pixel.colour[c] =
                    std::clamp(materialAmbient[c] * ambient[c] + emissive[c], 0.0f, 1.0f);
            }
        }
        const std::uint32_t cull = state(RenderState::cullMode);
        cull_ = cull == kCullClockwise          ? CullWinding::clockwise
                : cull == kCullCounterClockwise ? CullWinding::counterClockwise
                                                : CullWinding::none;
        pipeline_ = preparePipeline(pixel, textured ? &view : nullptr);
        preparedWithDepth_ = hasDepth;
        preparedTextured_ = textured;
        preparedTexture_ = view;
        pipelineDirty_ = false;
    }

    Surface& target_;
    TextureRequirements requirements_;
    Viewport viewport_{};
    TransformMatrix world_ = kIdentity, view_ = kIdentity, projection_ = kIdentity;
    TransformMatrix combined_ = kIdentity;
    std::array<std::uint32_t, kRenderStateCount> states_{};
    MaterialColours material_{};
    const Texture* texture_ = nullptr;

    bool transformDirty_ = true;
    float scaleX_ = 0.0f, scaleY_ = 0.0f, offsetX_ = 0.0f, offsetY_ = 0.0f, depthScale_ = 1.0f;
    GuardBand guard_{1.0f, 1.0f};

    bool pipelineDirty_ = true;
    bool preparedWithDepth_ = false;
    bool preparedTextured_ = false;
    TextureView preparedTexture_{};
    CullWinding cull_ = CullWinding::counterClockwise;
    PreparedPipeline pipeline_{};
};

}  // namespace

std::unique_ptr<Device> createSoftwareDevice(Surface& target, TextureRequirements requirements) {
    return std::make_unique<SoftwareDevice>(target, requirements);
}

}  // namespace glint::gfx
