// The hardware 3-D device over OpenGL. It draws into a framebuffer object of the
// back buffer's size and copies the finished image into the back buffer at the
// end of each scene (and after a clear made outside one), so that presenting
// and saving the back buffer work as with the software device.
#pragma once

#include <functional>
#include <memory>

#include "platform/gfx/device.h"
#include "platform/gfx/surface.h"

namespace glint::gl {

using ProcAddress = void* (*)(const char* name);

// A context that the display layer made and made current on this thread.
struct Context {
    ProcAddress procAddress = nullptr;
    std::function<void()> makeCurrent;
    std::function<void()> close;  // releases the context and whatever holds it
};

// A device drawing for `backBuffer`, which must outlive it; it owns `context`
// from here on. Null, with the context closed, when the context lacks version
// 2.1 with framebuffer objects or cannot hold a target of the back buffer's size.
std::unique_ptr<gfx::Device> createGlDevice(gfx::Surface& backBuffer, Context context);

}  // namespace glint::gl
