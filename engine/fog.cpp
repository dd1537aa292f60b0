#include "engine/fog.h"

namespace glint {

std::int32_t FogBlock::enable(gfx::Device& device) const {
    device.setRenderState(gfx::RenderState::fogEnable, 1);
    device.setRenderState(gfx::RenderState::fogStart, gfx::floatStateBits(fogStart));
    device.setRenderState(gfx::RenderState::fogEnd, gfx::floatStateBits(fogEnd));
    device.setRenderState(gfx::RenderState::fogColor, fogColor);
    device.setRenderState(gfx::RenderState::fogTableMode, fogTableMode);
    device.setRenderState(gfx::RenderState::fogDensity, gfx::floatStateBits(fogDensity));
    return 0;
}

std::int32_t FogBlock::disable(gfx::Device& device) const {
    device.setRenderState(gfx::RenderState::fogEnable, 0);
    return 0;
}

}  // namespace glint
