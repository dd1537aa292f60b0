#include "platform/gfx/fixed_function.h"

#include <algorithm>

namespace glint::gfx {

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

TransformMatrix combinedTransform(const Transforms& transforms) {
    return multiply(multiply(transforms[transformSlot(TransformKind::world)],
                             transforms[transformSlot(TransformKind::view)]),
                    transforms[transformSlot(TransformKind::projection)]);
}

RenderStates defaultRenderStates(bool depthTest) {
    RenderStates states{};
    states[stateIndex(RenderState::zEnable)] = depthTest ? 1 : 0;
    states[stateIndex(RenderState::srcBlend)] = kBlendOne;
    states[stateIndex(RenderState::destBlend)] = kBlendZero;
    states[stateIndex(RenderState::cullMode)] = kCullCounterClockwise;
    states[stateIndex(RenderState::fogTableMode)] = kFogNone;
    states[stateIndex(RenderState::fogEnd)] = floatStateBits(1.0f);
    states[stateIndex(RenderState::fogDensity)] = floatStateBits(1.0f);
    states[stateIndex(RenderState::lighting)] = 1;
    return states;
}

Viewport defaultViewport(const Surface& target) {
    return {0,
            0,
            static_cast<std::uint32_t>(std::max(target.width, 0)),
            static_cast<std::uint32_t>(std::max(target.height, 0)),
            0.0f,
            1.0f};
}

PixelState decodePixelState(const RenderStates& states, const MaterialColours& material) {
    const auto state = [&](RenderState which) { return states[stateIndex(which)]; };
    PixelState pixel;
    pixel.depthTest = state(RenderState::zEnable) != 0;
    pixel.fogStart = floatFromStateBits(state(RenderState::fogStart));
    pixel.fogEnd = floatFromStateBits(state(RenderState::fogEnd));
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
        const float ambient[3] = {colourChannel(light, 16), colourChannel(light, 8),
                                  colourChannel(light, 0)};
        const float materialAmbient[3] = {material.ambient.r, material.ambient.g,
                                          material.ambient.b};
        const float emissive[3] = {material.emissive.r, material.emissive.g, material.emissive.b};
        for (int c = 0; c < 3; ++c) {
            pixel.colour[c] = std::clamp(materialAmbient[c] * ambient[c] + emissive[c], 0.0f, 1.0f);
        }
    }
    return pixel;
}

CullWinding decodeCulling(const RenderStates& states) {
    const std::uint32_t cull = states[stateIndex(RenderState::cullMode)];
    return cull == kCullClockwise          ? CullWinding::clockwise
           : cull == kCullCounterClockwise ? CullWinding::counterClockwise
                                           : CullWinding::none;
}

std::vector<PixelFormat> offeredTextureFormats() {
    return {kOfferedTextureFormats.begin(), kOfferedTextureFormats.end()};
}

bool isOfferedTextureFormat(const PixelFormat& format) {
    for (const PixelFormat& offered : kOfferedTextureFormats) {
        if (format.flags == offered.flags && format.bitCount == offered.bitCount &&
            format.redMask == offered.redMask && format.greenMask == offered.greenMask &&
            format.blueMask == offered.blueMask && format.alphaMask == offered.alphaMask) {
            return true;
        }
    }
    return false;
}

}  // namespace glint::gfx
