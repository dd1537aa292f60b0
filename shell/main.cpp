// The show: one borderless window, eight scenes and the song, until the song's
// last position or a close.
#include <cstdio>
#include <string>

#include "platform/gfx/results.h"
#include "platform/resources.h"
#include "platform/sdl/sdl_video.h"
#include "shell/shell.h"

int main() {
    using namespace glint;
    std::string error;
    if (!initVideo(kWindowClass, error)) {
        std::fprintf(stderr, "glint: no display to show on (%s)\n", error.c_str());
        return 1;
    }
    SdlDisplay display = openSdlDisplay({kWindowTitle, kWindowWidth, kWindowHeight}, error);
    if (!display.window) {
        std::fprintf(stderr, "glint: cannot open the window (%s)\n", error.c_str());
        return 1;
    }
    useResources(embeddedResources());
    SystemClock clock;
    Shell shell(*display.window, *display.graphics, clock);
    const std::int32_t result = runShow(shell);
    if (gfx::failed(result)) {
        std::fprintf(stderr, "glint: no usable 3-D device (error 0x%08X)\n",
                     static_cast<unsigned>(result));
        return 1;
    }
    return result;
}
