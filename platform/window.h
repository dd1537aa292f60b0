// The one window of the show and the messages it receives. The shell's loop and
// window procedure are written against this seam; SdlWindow is the real one and
// tests supply scripted ones.
#pragma once

#include <cstdint>

#include "platform/keys.h"
#include "platform/rect.h"

namespace glint {

enum class MessageKind : std::uint8_t {
    none,
    size,       // shown, restored, minimised or hidden: see `sizeKind`
    move,       // client area's upper-left corner moved to (x, y)
    paint,      // part of the window needs drawing again
    close,      // the user or the system asks the window to close
    setCursor,  // the pointer is over the window
    keyDown,    // `key` was pressed
    quit,       // the loop's end, carrying `exitCode`
};

enum class SizeKind : std::uint8_t { restored, minimized, maxHide };

struct WindowMessage {
    MessageKind kind = MessageKind::none;
    SizeKind sizeKind = SizeKind::restored;
    std::int32_t x = 0;  // move: screen position of the client area
    std::int32_t y = 0;
    Key key = Key::other;
    std::int32_t exitCode = 0;  // quit
};

struct WindowSettings {
    const char* title;
    std::int32_t width;  // client size in pixels, when not fullscreen
    std::int32_t height;
    bool fullscreen = false;  // covers its screen; Alt+Enter and F11 toggle
    bool openGl = true;       // the hardware device may draw into it
    bool vsync = true;        // presents at most once a refresh of the display
    // Threads of the software device drawing into it; 0: its own choice.
    std::int32_t drawingThreads = 0;
};

class Window {
public:
    virtual ~Window() = default;

    // Takes the next message if one is waiting; never waits.
    virtual bool peekMessage(WindowMessage& message) = 0;
    // Waits for the next message and takes it.
    virtual void waitMessage(WindowMessage& message) = 0;
    // Queues `quit` behind every message already waiting.
    virtual void postQuitMessage(std::int32_t exitCode) = 0;

    virtual void show() = 0;
    virtual void destroy() = 0;
    virtual bool destroyed() const = 0;
    virtual Rect clientRectOnScreen() const = 0;
    virtual void setCursorHidden(bool hidden) = 0;
};

}  // namespace glint
