// The fog settings, sent to the device as render states in one call.
#pragma once

#include <cstdint>

#include "platform/gfx/device.h"

namespace glint {

struct FogBlock {
    float fogStart = 0;  // view-space depth where fog begins
    float fogEnd = 0;    // and where it is complete
    float fogDensity = 0;
    std::uint32_t fogColor = 0;  // 0x00RRGGBB
    std::uint32_t fogTableMode = gfx::kFogNone;

    std::int32_t enable(gfx::Device& device) const;
    // Switches fog off and leaves the other fog states as they are.
    std::int32_t disable(gfx::Device& device) const;
};

}  // namespace glint
