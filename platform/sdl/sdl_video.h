// The real window and display over SDL2. Nothing outside platform/ includes SDL.
#pragma once

#include <memory>
#include <string>

#include "platform/gfx/graphics_driver.h"
#include "platform/window.h"

namespace glint {

// Starts SDL's video and event subsystems; on failure says why in `error`.
// `windowClass` names the window to the window manager.
bool initVideo(const char* windowClass, std::string& error);
void quitVideo();

// The window on the screen with the display that draws into it.
struct SdlDisplay {
    std::unique_ptr<Window> window;
    // Back buffers of our own, presented by copying into the window's surface. The
    // hardware device draws over OpenGL where a context can be made and copies each
    // finished image into the back buffer.
    std::unique_ptr<gfx::GraphicsDriver> graphics;
};

// Opens the window (hidden until shown); on failure says why in `error`.
SdlDisplay openSdlDisplay(const WindowSettings& settings, std::string& error);

}  // namespace glint
