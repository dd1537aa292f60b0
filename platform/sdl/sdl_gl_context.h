// Internal to platform/sdl: the OpenGL context behind the hardware device.
#pragma once

#include "platform/gl/gl_device.h"

namespace glint {

// A compatibility context of version 2.1 or later on a hidden window of its own,
// made current; false when this display or machine offers none.
bool openGlContext(gl::Context& context);

}  // namespace glint
