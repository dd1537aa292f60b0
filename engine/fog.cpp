#include "engine/fog.h"

#include <bit>

namespace glint {

std::int32_t FogBlock::enable(gfx::Device& device) const {
    device.setRenderState(gfx::RenderState::fogEnable, 1);
    device.setRenderState(gfx::RenderState::fogStart, std::bit_cast<std::uint32_t>(fogStart));
    device.setRenderState(gfx::RenderState::fogEnd, std::bit_cast<std::uint32_t>(fogEnd));
    device.setRenderState(gfx::RenderState::fogColor, fogColor);
    device.setRenderState(gfx::RenderState::fogTableMode, fogTableMode);
    device.setRenderState(gfx::RenderState::fogDensity, std::bit_cast<std::uint32_t>(fogDensity));
    return 0;
}

std::int32_t FogBlock::disable(gfx::Device& device) const {
    device.setRenderState(gfx::RenderState::fogEnable, 0);
    return 0;
}

}  // namespace glint
