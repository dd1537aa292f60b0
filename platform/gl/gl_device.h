// The hardware 3-D device over OpenGL. It draws into a framebuffer object of the
// back buffer's size, shows it from there in the context's window, and copies it
// into the back buffer only when asked (readBack), for screenshots and recordings.
#pragma once

#include <functional>
#include <memory>
#include <string_view>

#include "platform/gfx/device.h"
#include "platform/gfx/surface.h"
#include "platform/rect.h"

namespace glint::gl {

using ProcAddress = void* (*)(const char* name);

// A context that the display layer made and made current on this thread.
struct Context {
    ProcAddress procAddress = nullptr;
    std::function<void()> makeCurrent;
    std::function<void()> close;  // releases the context and whatever holds it
    std::function<void()> swap;   // shows the window's back buffer
};

// A device drawing for `backBuffer`, which must outlive it; it owns `context`
// from here on. Null, with the context closed, when the context lacks version
// 2.1 with framebuffer objects or cannot hold a target of the back buffer's size.
std::unique_ptr<gfx::Device> createGlDevice(gfx::Surface& backBuffer, Context context);

// Shows `picture` (back-buffer pixels) of a GL device scaled into `target` of its
// window, whose drawable area is `window` (pixels, top row first), black around
// it, and swaps. False when `device` is no GL device.
bool presentToWindow(gfx::Device& device, const Rect& picture, const Rect& target,
                     const Rect& window);

// Whether a GL_RENDERER string names a driver that draws on the processor.
bool isSoftwareRenderer(std::string_view renderer);

}  // namespace glint::gl
