#include "platform/sdl/sdl_event_injection.h"

#include "platform/sdl/sdl_window.h"

namespace glint {
namespace {

void pushWindowEvent(Window& window, SDL_WindowEventID id) {
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.event = static_cast<Uint8>(id);
    event.window.windowID = SDL_GetWindowID(static_cast<SdlWindow&>(window).handle());
    SDL_PushEvent(&event);
}

void pushKey(SDL_Keycode key, Uint16 modifiers) {
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.keysym.sym = key;
    event.key.keysym.mod = modifiers;
    SDL_PushEvent(&event);
}

}  // namespace

void injectSizeEvent(Window& window, SizeKind kind) {
    switch (kind) {
        case SizeKind::restored:
            pushWindowEvent(window, SDL_WINDOWEVENT_RESTORED);
            break;
        case SizeKind::minimized:
            pushWindowEvent(window, SDL_WINDOWEVENT_MINIMIZED);
            break;
        case SizeKind::maxHide:
            pushWindowEvent(window, SDL_WINDOWEVENT_HIDDEN);
            break;
    }
}

void injectCloseEvent(Window& window) {
    pushWindowEvent(window, SDL_WINDOWEVENT_CLOSE);
}

void injectEscapeKey(Window&) {
    pushKey(SDLK_ESCAPE, KMOD_NONE);
}

void injectFullscreenKey(Window&, bool altEnter) {
    if (altEnter) {
        pushKey(SDLK_RETURN, KMOD_LALT);
    } else {
        pushKey(SDLK_F11, KMOD_NONE);
    }
}

bool isFullscreen(const Window& window) {
    return static_cast<const SdlWindow&>(window).fullscreen();
}

}  // namespace glint
