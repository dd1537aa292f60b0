// Queues SDL events as the window system would send them, so that tests can drive
// the real SDL window under the offscreen video driver.
#pragma once

#include "platform/window.h"

namespace glint {

// `window` must come from openSdlDisplay.
void injectSizeEvent(Window& window, SizeKind kind);
void injectCloseEvent(Window& window);
void injectEscapeKey(Window& window);
// F11, or Alt+Enter with `altEnter`: the keys that toggle fullscreen.
void injectFullscreenKey(Window& window, bool altEnter = false);
bool isFullscreen(const Window& window);

}  // namespace glint
