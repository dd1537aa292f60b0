// Internal to platform/sdl: the OpenGL context behind the hardware device.
#pragma once

#include <SDL.h>

#include "platform/gl/gl_device.h"

namespace glint {

// The attributes of the contexts and of the windows that may hold them: set
// before such a window is made, since its pixel format is chosen then.
void setGlAttributes();

// A compatibility context of version 2.1 or later on `window`, made current, its
// swaps waiting for the display's refresh when `vsync` is set and the driver
// allows; false when this window, display or machine offers none.
bool openGlContext(SDL_Window* window, bool vsync, gl::Context& context);

}  // namespace glint
