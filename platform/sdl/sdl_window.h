// Internal to platform/sdl: the SDL window record shared by the window and the
// graphics driver.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <memory>

#include "platform/gfx/graphics_driver.h"
#include "platform/window.h"

namespace glint {

class SdlWindow final : public Window {
public:
    explicit SdlWindow(SDL_Window* window) : window_(window) {}
    ~SdlWindow() override { destroy(); }
    SdlWindow(const SdlWindow&) = delete;
    SdlWindow& operator=(const SdlWindow&) = delete;

    bool peekMessage(WindowMessage& message) override;
    void waitMessage(WindowMessage& message) override;
    void postQuitMessage(std::int32_t exitCode) override;
    void show() override;
    void destroy() override;
    bool destroyed() const override { return window_ == nullptr; }
    Rect clientRectOnScreen() const override;
    void setCursorHidden(bool hidden) override;

    SDL_Window* handle() const { return window_; }
    // The window's framebuffer, created on first use.
    SDL_Surface* bindFramebuffer();
    // Fullscreen on the window's screen, or back to the window; the picture is
    // only shown larger or smaller, so the shell hears nothing of it.
    void toggleFullscreen();
    bool fullscreen() const;

private:
    bool translate(const SDL_Event& event, WindowMessage& message);
    // Shown, restored or maximised after being hidden or minimised.
    bool becomesVisible(WindowMessage& message);
    bool takeQuit(WindowMessage& message);

    SDL_Window* window_;
    bool visible_ = false;  // shown and not minimised, as last reported
    bool quitPosted_ = false;
    std::int32_t quitCode_ = 0;
};

std::unique_ptr<gfx::GraphicsDriver> createSdlGraphicsDriver(SdlWindow& window,
                                                             const WindowSettings& settings);

}  // namespace glint
