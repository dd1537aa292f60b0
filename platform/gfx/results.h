// Result codes of the graphics layer: 0 for success, the display system's own
// negative codes otherwise, kept under our names with their original values.
#pragma once

#include <cstdint>

namespace glint::gfx {

inline constexpr std::int32_t kOk = 0;
inline constexpr std::int32_t kErrFail = static_cast<std::int32_t>(0x80004005);
inline constexpr std::int32_t kErrInvalidMode = static_cast<std::int32_t>(0x88760078);
inline constexpr std::int32_t kErrSurfaceLost = static_cast<std::int32_t>(0x887601C2);
inline constexpr std::int32_t kErrNoDisplay = static_cast<std::int32_t>(0x88760231);
inline constexpr std::int32_t kErrOutOfMemory = static_cast<std::int32_t>(0x8007000E);
// A device kind this machine cannot provide (the hardware device before one exists).
inline constexpr std::int32_t kErrNoDevice = static_cast<std::int32_t>(0x88760082);

inline bool failed(std::int32_t result) {
    return result < 0;
}

}  // namespace glint::gfx
