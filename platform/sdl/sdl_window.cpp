#include "platform/sdl/sdl_window.h"

#include <cstdlib>
#include <cstring>

#include "platform/clock.h"
#include "platform/sdl/sdl_gl_context.h"
#include "platform/sdl/sdl_video.h"

namespace glint {

namespace {

bool set(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0';
}

// SDL falls back to drivers that show nothing when no display server answers; only
// a caller who asked for one by name (tests, capture) gets it.
bool showsNothing(const char* driver) {
    return std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0;
}

bool togglesFullscreen(const SDL_Keysym& key) {
    return key.sym == SDLK_F11 ||
           (key.sym == SDLK_RETURN && (key.mod & KMOD_ALT) != 0 && (key.mod & KMOD_CTRL) == 0);
}

}  // namespace

bool initVideo(const char* windowClass, std::string& error) {
    const bool driverChosen = set("SDL_VIDEODRIVER");
    if (!driverChosen && !set("DISPLAY") && !set("WAYLAND_DISPLAY")) {
        error = "neither DISPLAY nor WAYLAND_DISPLAY is set";
        return false;
    }
    // Without a Wayland compositor, trying one only prints noise before X11 answers.
    if (!driverChosen && !set("WAYLAND_DISPLAY")) SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
    // Frames are copied into a plain window framebuffer; an accelerated one would
    // bring up a GL renderer (and re-create the window) for a simple copy.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    // Read by SDL's X11 driver when it creates a window.
    setenv("SDL_VIDEO_X11_WMCLASS", windowClass, 0);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
        error = SDL_GetError();
        return false;
    }
    if (!driverChosen && showsNothing(SDL_GetCurrentVideoDriver())) {
        quitVideo();
        error = "no display server answered";
        return false;
    }
    return true;
}

void quitVideo() {
    SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
    // Only a full quit releases what SDL set up process-wide (its bus connection).
    if (SDL_WasInit(SDL_INIT_EVERYTHING) == 0) SDL_Quit();
}

SdlDisplay openSdlDisplay(const WindowSettings& settings, std::string& error) {
    Uint32 flags = SDL_WINDOW_BORDERLESS | SDL_WINDOW_HIDDEN;
    if (settings.fullscreen) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    SDL_Window* window = nullptr;
    if (settings.openGl) {
        setGlAttributes();
        window = SDL_CreateWindow(settings.title, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                  settings.width, settings.height, flags | SDL_WINDOW_OPENGL);
    }
    // A display without OpenGL still shows the software device's pictures.
    if (window == nullptr) {
        window = SDL_CreateWindow(settings.title, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                  settings.width, settings.height, flags);
    }
    if (window == nullptr) {
        error = SDL_GetError();
        return {};
    }
    auto sdlWindow = std::make_unique<SdlWindow>(window);
    auto graphics = createSdlGraphicsDriver(*sdlWindow, settings);
    return {std::move(sdlWindow), std::move(graphics)};
}

std::uint32_t SystemClock::milliseconds() {
    return SDL_GetTicks();
}

bool SdlWindow::becomesVisible(WindowMessage& message) {
    if (visible_) return false;
    visible_ = true;
    message.kind = MessageKind::size;
    message.sizeKind = SizeKind::restored;
    return true;
}

bool SdlWindow::translate(const SDL_Event& event, WindowMessage& message) {
    message = WindowMessage{};
    if (window_ == nullptr) return false;
    switch (event.type) {
        case SDL_QUIT:
            message.kind = MessageKind::close;
            return true;
        case SDL_KEYDOWN:
            if (togglesFullscreen(event.key.keysym)) {
                toggleFullscreen();
                return false;
            }
            message.kind = MessageKind::keyDown;
            message.key = event.key.keysym.sym == SDLK_ESCAPE ? Key::escape : Key::other;
            return true;
        case SDL_MOUSEMOTION:
            message.kind = MessageKind::setCursor;
            return true;
        case SDL_WINDOWEVENT:
            break;
        default:
            return false;
    }
    if (event.window.windowID != SDL_GetWindowID(window_)) return false;
    switch (event.window.event) {
        case SDL_WINDOWEVENT_SHOWN:
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_MAXIMIZED:
            return becomesVisible(message);
        case SDL_WINDOWEVENT_MINIMIZED:
            visible_ = false;
            message.kind = MessageKind::size;
            message.sizeKind = SizeKind::minimized;
            return true;
        case SDL_WINDOWEVENT_HIDDEN:
            visible_ = false;
            message.kind = MessageKind::size;
            message.sizeKind = SizeKind::maxHide;
            return true;
        case SDL_WINDOWEVENT_MOVED:
            message.kind = MessageKind::move;
            message.x = event.window.data1;
            message.y = event.window.data2;
            return true;
        case SDL_WINDOWEVENT_EXPOSED:
            message.kind = MessageKind::paint;
            return true;
        case SDL_WINDOWEVENT_CLOSE:
            message.kind = MessageKind::close;
            return true;
        case SDL_WINDOWEVENT_ENTER:
            message.kind = MessageKind::setCursor;
            return true;
        default:
            return false;
    }
}

// The quit message comes only once every other message has been taken.
bool SdlWindow::takeQuit(WindowMessage& message) {
    if (!quitPosted_) return false;
    message = WindowMessage{};
    message.kind = MessageKind::quit;
    message.exitCode = quitCode_;
    quitPosted_ = false;
    return true;
}

bool SdlWindow::peekMessage(WindowMessage& message) {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (translate(event, message)) return true;
    }
    return takeQuit(message);
}

void SdlWindow::waitMessage(WindowMessage& message) {
    while (!peekMessage(message)) {
        SDL_WaitEvent(nullptr);
    }
}

void SdlWindow::postQuitMessage(std::int32_t exitCode) {
    quitPosted_ = true;
    quitCode_ = exitCode;
    // Wakes a waitMessage that is blocked in SDL.
    SDL_Event wake{};
    wake.type = SDL_USEREVENT;
    SDL_PushEvent(&wake);
}

void SdlWindow::show() {
    if (window_ != nullptr) SDL_ShowWindow(window_);
}

void SdlWindow::destroy() {
    if (window_ == nullptr) return;
    SDL_DestroyWindow(window_);
    window_ = nullptr;
}

void SdlWindow::toggleFullscreen() {
    if (window_ == nullptr) return;
    SDL_SetWindowFullscreen(window_, fullscreen() ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
}

bool SdlWindow::fullscreen() const {
    return window_ != nullptr && (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN) != 0;
}

SDL_Surface* SdlWindow::bindFramebuffer() {
    return window_ == nullptr ? nullptr : SDL_GetWindowSurface(window_);
}

Rect SdlWindow::clientRectOnScreen() const {
    if (window_ == nullptr) return {};
    int x = 0, y = 0, width = 0, height = 0;
    SDL_GetWindowPosition(window_, &x, &y);
    SDL_GetWindowSize(window_, &width, &height);
    return {x, y, x + width, y + height};
}

void SdlWindow::setCursorHidden(bool hidden) {
    SDL_ShowCursor(hidden ? SDL_DISABLE : SDL_ENABLE);
}

}  // namespace glint
