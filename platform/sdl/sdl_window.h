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

private:
    bool translate(const SDL_Event& event, WindowMessage& message) const;
    bool takeQuit(WindowMessage& message);

    SDL_Window* window_;
    bool quitPosted_ = false;
    std::int32_t quitCode_ = 0;
};

std::unique_ptr<gfx::GraphicsDriver> createSdlGraphicsDriver(SdlWindow& window);

}  // namespace glint
