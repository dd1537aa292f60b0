// Scripted stand-ins for the window and the display, so the shell's start-up,
// loop and device handling run without SDL and fail where a test says.
#pragma once

#include <deque>
#include <memory>
#include <vector>

#include "platform/gfx/graphics_driver.h"
#include "platform/gfx/results.h"
#include "platform/gfx/software_device.h"
#include "platform/window.h"

namespace glint::testing {

class FakeWindow final : public Window {
public:
    bool peekMessage(WindowMessage& message) override {
        ++peeks;
        if (!queue.empty()) {
            message = queue.front();
            queue.pop_front();
            return true;
        }
        if (!quitPosted) return false;
        message = WindowMessage{};
        message.kind = MessageKind::quit;
        message.exitCode = quitCode;
        quitPosted = false;
        return true;
    }
    void waitMessage(WindowMessage& message) override {
        ++waits;
        // A real window would block here; a test that waits with nothing queued
        // has lost track of its own script.
        if (!peekMessage(message)) message = closeMessage();
    }
    void postQuitMessage(std::int32_t exitCode) override {
        quitPosted = true;
        quitCode = exitCode;
    }
    void show() override { send(sizeMessage(SizeKind::restored)); }
    void destroy() override { isDestroyed = true; }
    bool destroyed() const override { return isDestroyed; }
    Rect clientRectOnScreen() const override { return clientRect; }
    void setCursorHidden(bool hidden) override { cursorHidden = hidden; }

    void send(const WindowMessage& message) { queue.push_back(message); }

    static WindowMessage sizeMessage(SizeKind kind) {
        WindowMessage message;
        message.kind = MessageKind::size;
        message.sizeKind = kind;
        return message;
    }
    static WindowMessage closeMessage() {
        WindowMessage message;
        message.kind = MessageKind::close;
        return message;
    }
    static WindowMessage simple(MessageKind kind) {
        WindowMessage message;
        message.kind = kind;
        return message;
    }

    std::deque<WindowMessage> queue;
    bool quitPosted = false;
    std::int32_t quitCode = -1;
    bool isDestroyed = false;
    bool cursorHidden = false;
    Rect clientRect{100, 50, 740, 530};
    int peeks = 0;
    int waits = 0;
};

class FakeGraphicsDriver final : public gfx::GraphicsDriver {
public:
    std::int32_t openDisplay() override {
        ++opens;
        return gfx::kOk;
    }
    std::int32_t createPrimarySurface(std::unique_ptr<gfx::Surface>& primary) override {
        primary = std::make_unique<gfx::Surface>();
        return gfx::kOk;
    }
    Rect clientRectOnScreen() const override { return window.clientRectOnScreen(); }
    std::int32_t createBackBuffer(std::int32_t width, std::int32_t height,
                                  std::unique_ptr<gfx::Surface>& backBuffer) override {
        backBuffer = std::make_unique<gfx::Surface>();
        backBuffer->width = width;
        backBuffer->height = height;
        backBuffer->pixels.assign(static_cast<size_t>(width * height), 0);
        return gfx::kOk;
    }
    std::vector<gfx::PixelFormat> depthFormats(gfx::DeviceKind) const override {
        return offeredDepthFormats;
    }
    std::int32_t createDepthBuffer(gfx::Surface& backBuffer, const gfx::PixelFormat& format,
                                   gfx::MemoryKind) override {
        backBuffer.depth.assign(backBuffer.pixels.size(), 1.0f);
        backBuffer.depthFormat = format;
        return gfx::kOk;
    }
    std::uint32_t displayBitsPerPixel() const override { return bitsPerPixel; }
    std::int32_t createDevice(gfx::DeviceKind kind, gfx::Surface& backBuffer,
                              std::unique_ptr<gfx::Device>& device) override {
        triedKinds.push_back(kind);
        if (kind == gfx::DeviceKind::hardware && !hardwareAvailable) return gfx::kErrNoDevice;
        if (kind == gfx::DeviceKind::software && !softwareAvailable) return gfx::kErrNoDevice;
        device = gfx::createSoftwareDevice(backBuffer);
        ++devicesCreated;
        return gfx::kOk;
    }
    void closeDisplay() override { ++closes; }
    std::int32_t testCooperativeLevel() const override { return cooperativeLevel; }
    std::int32_t present(gfx::Device* device, const gfx::Surface&, gfx::Surface& primary,
                         const Rect& destination) override {
        // Presenting reads the back buffer, which the device may still be drawing.
        if (device != nullptr) device->readBack();
        ++presents;
        lastDestination = destination;
        if (loseSurfacesOnNextPresent) {
            loseSurfacesOnNextPresent = false;
            primary.lost = true;
            return gfx::kErrSurfaceLost;
        }
        return gfx::kOk;
    }
    bool isLost(const gfx::Surface& surface) const override { return surface.lost; }
    void restore(gfx::Surface& surface) override {
        ++restores;
        surface.lost = false;
    }

    explicit FakeGraphicsDriver(FakeWindow& fakeWindow) : window(fakeWindow) {}

    FakeWindow& window;
    std::vector<gfx::PixelFormat> offeredDepthFormats{gfx::kFormatDepth32};
    std::uint32_t bitsPerPixel = 32;
    bool hardwareAvailable = false;
    bool softwareAvailable = true;
    std::int32_t cooperativeLevel = gfx::kOk;
    bool loseSurfacesOnNextPresent = false;
    std::vector<gfx::DeviceKind> triedKinds;
    int opens = 0;
    int closes = 0;
    int devicesCreated = 0;
    int presents = 0;
    int restores = 0;
    Rect lastDestination;
};

}  // namespace glint::testing
