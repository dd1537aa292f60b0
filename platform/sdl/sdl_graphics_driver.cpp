#include <SDL.h>

#include <utility>

#include "platform/gfx/results.h"
#include "platform/gfx/software_device.h"
#include "platform/gl/gl_device.h"
#include "platform/sdl/sdl_gl_context.h"
#include "platform/sdl/sdl_window.h"

namespace glint {
namespace {

using gfx::Device;
using gfx::DeviceKind;
using gfx::PixelFormat;
using gfx::Surface;

// A depth format carrying stencil bits, offered first as real displays do.
constexpr PixelFormat kFormatDepth24Stencil8{
    gfx::kPixelFormatSize, gfx::kPixelZBuffer | gfx::kPixelStencil, 0, 32, 0xFFFFFF00, 0xFF, 0, 0};

std::size_t pixelCount(const Surface& surface) {
    return static_cast<std::size_t>(surface.width) * static_cast<std::size_t>(surface.height);
}

class SdlGraphicsDriver final : public gfx::GraphicsDriver {
public:
    explicit SdlGraphicsDriver(SdlWindow& window) : window_(window) {}

    std::int32_t openDisplay() override {
        return window_.destroyed() ? gfx::kErrNoDisplay : gfx::kOk;
    }

    std::int32_t createPrimarySurface(std::unique_ptr<Surface>& primary) override {
        if (window_.bindFramebuffer() == nullptr) return gfx::kErrNoDisplay;
        const Rect client = window_.clientRectOnScreen();
        primary = std::make_unique<Surface>();
        primary->width = client.width();
        primary->height = client.height();
        return gfx::kOk;
    }

    Rect clientRectOnScreen() const override { return window_.clientRectOnScreen(); }

    std::int32_t createBackBuffer(std::int32_t width, std::int32_t height,
                                  std::unique_ptr<Surface>& backBuffer) override {
        if (width <= 0 || height <= 0) return gfx::kErrFail;
        backBuffer = std::make_unique<Surface>();
        backBuffer->width = width;
        backBuffer->height = height;
        backBuffer->pixels.assign(pixelCount(*backBuffer), 0);
        return gfx::kOk;
    }

    std::vector<PixelFormat> depthFormats(DeviceKind) const override {
        return {kFormatDepth24Stencil8, gfx::kFormatDepth32};
    }

    std::int32_t createDepthBuffer(Surface& backBuffer, const PixelFormat& format,
                                   gfx::MemoryKind) override {
        backBuffer.depth.assign(pixelCount(backBuffer), 1.0f);
        backBuffer.depthFormat = format;
        return gfx::kOk;
    }

    std::uint32_t displayBitsPerPixel() const override {
        SDL_Window* handle = window_.handle();
        if (handle == nullptr) return 0;
        return SDL_BITSPERPIXEL(SDL_GetWindowPixelFormat(handle));
    }

    std::int32_t createDevice(DeviceKind kind, Surface& backBuffer,
                              std::unique_ptr<Device>& device) override {
        if (kind == DeviceKind::software) {
            device = gfx::createSoftwareDevice(backBuffer);
            return gfx::kOk;
        }
        gl::Context context;
        if (!openGlContext(context)) return gfx::kErrNoDevice;
        device = gl::createGlDevice(backBuffer, std::move(context));
        return device ? gfx::kOk : gfx::kErrNoDevice;
    }

    void closeDisplay() override {}

    std::int32_t testCooperativeLevel() const override {
        return window_.destroyed() ? gfx::kErrNoDisplay : gfx::kOk;
    }

    std::int32_t present(const Surface& backBuffer, Surface& primary,
                         const Rect& destination) override {
        SDL_Window* handle = window_.handle();
        if (handle == nullptr) return gfx::kErrNoDisplay;
        SDL_Surface* screen = window_.bindFramebuffer();
        if (screen == nullptr) {
            primary.lost = true;
            return gfx::kErrSurfaceLost;
        }
        SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(
            const_cast<std::uint32_t*>(backBuffer.pixels.data()), backBuffer.width,
            backBuffer.height, 32, backBuffer.width * 4, SDL_PIXELFORMAT_XRGB8888);
        if (source == nullptr) return gfx::kErrOutOfMemory;
        // The destination is on the screen; the window surface starts at the client origin.
        const Rect client = window_.clientRectOnScreen();
        SDL_Rect target{destination.left - client.left, destination.top - client.top,
                        destination.width(), destination.height()};
        const int blit = SDL_BlitSurface(source, nullptr, screen, &target);
        SDL_FreeSurface(source);
        if (blit != 0) return gfx::kErrFail;
        return SDL_UpdateWindowSurface(handle) == 0 ? gfx::kOk : gfx::kErrFail;
    }

    bool isLost(const Surface& surface) const override { return surface.lost; }
    void restore(Surface& surface) override { surface.lost = false; }

private:
    SdlWindow& window_;
};

}  // namespace

std::unique_ptr<gfx::GraphicsDriver> createSdlGraphicsDriver(SdlWindow& window) {
    return std::make_unique<SdlGraphicsDriver>(window);
}

}  // namespace glint
