#include "shell/options.h"

#include <string_view>
#include <vector>

#include "command_line/command_line.h"
#include "platform/gfx/raster_precision.h"
#include "platform/gfx/software_device.h"

namespace glint {

const char kShowUsage[] =
    "usage: glint [OPTION]...\n"
    "Plays \"Quorlane : Glint\" in a 640 x 480 window; Escape ends it.\n"
    "\n"
    "  -f, --fullscreen        start fullscreen (Alt+Enter or F11 toggles at any time)\n"
    "      --scale N           a window N times 640 x 480, N = 1..8 (default 1)\n"
    "      --size WxH|native   draw at W x H pixels, or at the largest 4:3 area of the\n"
    "                          window or screen (default: the window's size)\n"
    "      --device KIND       auto (OpenGL on graphics hardware, else our own),\n"
    "                          opengl or software (default auto)\n"
    "      --no-vsync          draw as fast as possible instead of once a refresh\n"
    "      --threads N         threads of the software device, 1..64 (default: GLINT_THREADS,\n"
    "                          or one per core)\n"
    "  -h, --help              show this and exit\n"
    "  -V, --version           show the version and exit\n";

const char kDrawSizeRule[] = "WxH (16 to 16384 each)";

namespace {

using commandline::parseWhole;

// Below this the 4:3 picture inside would be too small to hold a scene.
constexpr std::int32_t kMinDrawSide = 16;

bool parseSize(std::string_view text, ShowOptions& options) {
    options.drawSize = text == "native" ? DrawSize::native : DrawSize::fixed;
    return text == "native" || parseDrawSize(text, options.drawWidth, options.drawHeight);
}

bool parseDevice(std::string_view text, DeviceChoice& device) {
    if (text == "auto") {
        device = DeviceChoice::automatic;
    } else if (text == "opengl") {
        device = DeviceChoice::opengl;
    } else if (text == "software") {
        device = DeviceChoice::software;
    } else {
        return false;
    }
    return true;
}

template <bool ShowOptions::*flag, bool value>
bool setFlag(ShowOptions& options, std::string_view) {
    options.*flag = value;
    return true;
}

const commandline::OptionRule<ShowOptions> kOptions[] = {
    {"help", 'h', nullptr, setFlag<&ShowOptions::help, true>},
    {"version", 'V', nullptr, setFlag<&ShowOptions::version, true>},
    {"fullscreen", 'f', nullptr, setFlag<&ShowOptions::fullscreen, true>},
    {"no-vsync", 0, nullptr, setFlag<&ShowOptions::vsync, false>},
    {"scale", 0, "a whole number from 1 to 8",
     [](ShowOptions& o, std::string_view v) { return parseWhole(v, 1, kMaxScale, o.scale); }},
    {"size", 0, "WxH (16 to 16384 each) or native",
     [](ShowOptions& o, std::string_view v) { return parseSize(v, o); }},
    {"device", 0, "auto, opengl or software",
     [](ShowOptions& o, std::string_view v) { return parseDevice(v, o.device); }},
    {"threads", 0, "a whole number from 1 to 64",
     [](ShowOptions& o, std::string_view v) {
         return parseWhole(v, 1, gfx::kMaxDrawingThreads, o.threads);
     }},
};

}  // namespace

bool parseDrawSize(std::string_view text, std::int32_t& width, std::int32_t& height) {
    const std::size_t by = text.find('x');
    return by != std::string_view::npos &&
           parseWhole(text.substr(0, by), kMinDrawSide, gfx::kMaxTargetSide, width) &&
           parseWhole(text.substr(by + 1), kMinDrawSide, gfx::kMaxTargetSide, height);
}

bool parseShowOptions(int argc, const char* const* argv, ShowOptions& options, std::string& error) {
    std::vector<std::string> operands;
    if (!commandline::parseCommandLine<ShowOptions>(argc, argv, kOptions, options, operands,
                                                    error)) {
        return false;
    }
    if (!operands.empty()) error = "unexpected argument '" + operands.front() + "'";
    return operands.empty();
}

}  // namespace glint
