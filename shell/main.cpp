// The show: one borderless window, eight scenes and the song, until the song's
// last position, Escape or a close.
#include <cstdio>
#include <string>

#include "command_line/command_line.h"
#include "platform/gfx/results.h"
#include "platform/picture_area.h"
#include "platform/resources.h"
#include "platform/sdl/sdl_video.h"
#include "shell/options.h"
#include "shell/shell.h"

namespace {

using namespace glint;

// Native: the largest 4:3 area of the window as opened, or of the screen when
// fullscreen; kept for the whole show, as every drawing size is.
void setDrawingSize(const ShowOptions& options, const Window& window, Shell& shell) {
    if (options.drawSize == DrawSize::fixed) {
        shell.drawWidth = options.drawWidth;
        shell.drawHeight = options.drawHeight;
        return;
    }
    Rect client{0, 0, kWindowWidth * options.scale, kWindowHeight * options.scale};
    if (options.drawSize == DrawSize::native) client = window.clientRectOnScreen();
    const Rect picture = pictureArea(client.width(), client.height());
    shell.drawWidth = picture.width();
    shell.drawHeight = picture.height();
}

}  // namespace

int main(int argc, char** argv) {
    ShowOptions options;
    std::string error;
    if (!parseShowOptions(argc, argv, options, error)) {
        return commandline::usageError("glint", error);
    }
    if (options.help) {
        std::fputs(kShowUsage, stdout);
        return 0;
    }
    if (options.version) {
        std::printf("glint %s\n", GLINT_VERSION);
        return 0;
    }
    if (!initVideo(kWindowClass, error)) {
        std::fprintf(stderr, "glint: no display to show on (%s)\n", error.c_str());
        return 1;
    }
    const WindowSettings settings{kWindowTitle,
                                  kWindowWidth * options.scale,
                                  kWindowHeight * options.scale,
                                  options.fullscreen,
                                  options.device != DeviceChoice::software,
                                  options.vsync,
                                  options.threads};
    SdlDisplay display = openSdlDisplay(settings, error);
    if (!display.window) {
        std::fprintf(stderr, "glint: cannot open the window (%s)\n", error.c_str());
        return 1;
    }
    useResources(embeddedResources());
    SystemClock clock;
    Shell shell(*display.window, *display.graphics, clock);
    shell.deviceChoice = options.device;
    setDrawingSize(options, *display.window, shell);
    const std::int32_t result = runShow(shell);
    if (gfx::failed(result)) {
        std::fprintf(stderr, "glint: no usable 3-D device (error 0x%08X)\n",
                     static_cast<unsigned>(result));
        return 1;
    }
    return result;
}
