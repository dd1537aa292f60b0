// The command line of `glint`: how the show is shown, never what it shows.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "shell/shell.h"

namespace glint {

inline constexpr std::int32_t kMaxScale = 8;

enum class DrawSize : std::uint8_t { window, fixed, native };

struct ShowOptions {
    bool help = false;
    bool version = false;
    bool fullscreen = false;
    std::int32_t scale = 1;  // the window is scale × 640 × 480
    DrawSize drawSize = DrawSize::window;
    std::int32_t drawWidth = 0;  // with DrawSize::fixed, pixels
    std::int32_t drawHeight = 0;
    DeviceChoice device = DeviceChoice::automatic;
    bool vsync = true;
    std::int32_t threads = 0;  // the software device's; 0: GLINT_THREADS, or one per core
};

extern const char kShowUsage[];
// What a WxH drawing size may be, for messages.
extern const char kDrawSizeRule[];

// A drawing size of `WxH` with each side within what the devices draw.
bool parseDrawSize(std::string_view text, std::int32_t& width, std::int32_t& height);

// Reads the options as vorn3play and glint-capture do. False on the first bad option or
// value, or on any other argument, with `error` a line naming it.
bool parseShowOptions(int argc, const char* const* argv, ShowOptions& options, std::string& error);

}  // namespace glint
