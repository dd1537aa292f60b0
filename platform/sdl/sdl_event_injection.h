// Queues SDL events as the window system would send them, so that tests can drive
// the real SDL window under the offscreen video driver.
#pragma once

#include "platform/window.h"

namespace glint {

// `window` must come from openSdlDisplay.
void injectSizeEvent(Window& window, SizeKind kind);
void injectCloseEvent(Window& window);
void injectEscapeKey(Window& window);

}  // namespace glint
