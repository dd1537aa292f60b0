// A window and a display that exist only in memory: the show runs on them without a
// screen, for recording and tests, and in a web page, which shows the frames itself. Frames are
// drawn by the software device into the back buffer, where the caller reads them after each
// present.
#pragma once

#include <cstdint>
#include <deque>

#include "platform/gfx/graphics_driver.h"
#include "platform/gfx/software_device.h"
#include "platform/window.h"

namespace glint {

class HeadlessWindow final : public Window {
public:
    bool peekMessage(WindowMessage& message) override;
    void waitMessage(WindowMessage& message) override;
    void postQuitMessage(std::int32_t exitCode) override;
    void show() override;
    void destroy() override { destroyed_ = true; }
    bool destroyed() const override { return destroyed_; }
    Rect clientRectOnScreen() const override { return {0, 0, width, height}; }
    void setCursorHidden(bool) override {}

    bool quitPosted() const { return quitPosted_; }
    // Queues a message from outside, such as a key a web page took.
    void post(const WindowMessage& message) { queue_.push_back(message); }
    // Whether peekMessage would take one.
    bool pending() const { return !queue_.empty() || quitPosted_; }

    std::int32_t width = 0;  // client size in pixels
    std::int32_t height = 0;

private:
    std::deque<WindowMessage> queue_;
    bool quitPosted_ = false;
    std::int32_t quitCode_ = 0;
    bool destroyed_ = false;
};

class HeadlessGraphicsDriver final : public gfx::GraphicsDriver {
public:
    explicit HeadlessGraphicsDriver(const Window& window) : window_(window) {}

    std::int32_t openDisplay() override;
    std::int32_t createPrimarySurface(std::unique_ptr<gfx::Surface>& primary) override;
    Rect clientRectOnScreen() const override { return window_.clientRectOnScreen(); }
    std::int32_t createBackBuffer(std::int32_t width, std::int32_t height,
                                  std::unique_ptr<gfx::Surface>& backBuffer) override;
    std::vector<gfx::PixelFormat> depthFormats(gfx::DeviceKind kind) const override;
    std::int32_t createDepthBuffer(gfx::Surface& backBuffer, const gfx::PixelFormat& format,
                                   gfx::MemoryKind memory) override;
    std::uint32_t displayBitsPerPixel() const override;
    std::int32_t createDevice(gfx::DeviceKind kind, gfx::Surface& backBuffer,
                              std::unique_ptr<gfx::Device>& device) override;
    void closeDisplay() override {}
    std::int32_t testCooperativeLevel() const override { return 0; }
    std::int32_t present(gfx::Device* device, const gfx::Surface& backBuffer, gfx::Surface& primary,
                         const Rect& destination) override;
    bool isLost(const gfx::Surface& surface) const override { return surface.lost; }
    void restore(gfx::Surface& surface) override { surface.lost = false; }

    // The back buffer of the last present, until the device is released.
    const gfx::Surface* lastPresented() const { return lastPresented_; }

    bool drawsPictures = true;  // false: a device that draws nothing, for events alone
    gfx::DrawingThreads drawingThreads;
    std::uint64_t presentCount() const { return presentCount_; }

private:
    const Window& window_;
    const gfx::Surface* lastPresented_ = nullptr;
    std::uint64_t presentCount_ = 0;
};

}  // namespace glint
