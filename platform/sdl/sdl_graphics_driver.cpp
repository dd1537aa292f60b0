#include <SDL.h>

#include <thread>
#include <utility>

#include "platform/frame_pacer.h"
#include "platform/gfx/results.h"
#include "platform/gfx/software_device.h"
#include "platform/gl/gl_device.h"
#include "platform/picture_area.h"
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

SDL_Rect toSdl(const Rect& rect) {
    return {rect.left, rect.top, rect.width(), rect.height()};
}

// The parts of a `width` × `height` area that the centred picture leaves.
void fillBars(SDL_Surface* screen, const Rect& picture) {
    const std::int32_t width = screen->w, height = screen->h;
    const Uint32 black = SDL_MapRGB(screen->format, 0, 0, 0);
    const Rect bars[] = {
        {0, 0, picture.left, height},
        {picture.right, 0, width, height},
        {picture.left, 0, picture.right, picture.top},
        {picture.left, picture.bottom, picture.right, height},
    };
    for (const Rect& bar : bars) {
        if (bar.width() <= 0 || bar.height() <= 0) continue;
        const SDL_Rect area = toSdl(bar);
        SDL_FillRect(screen, &area, black);
    }
}

class SdlGraphicsDriver final : public gfx::GraphicsDriver {
public:
    SdlGraphicsDriver(SdlWindow& window, const WindowSettings& settings)
        : window_(window), vsync_(settings.vsync), drawingThreads_{settings.drawingThreads} {}

    std::int32_t openDisplay() override {
        return window_.destroyed() ? gfx::kErrNoDisplay : gfx::kOk;
    }

    std::int32_t createPrimarySurface(std::unique_ptr<Surface>& primary) override {
        if (window_.bindFramebuffer() == nullptr) return gfx::kErrNoDisplay;
        SDL_DisplayMode mode{};
        SDL_GetWindowDisplayMode(window_.handle(), &mode);
        pacer_.period = refreshPeriod(mode.refresh_rate);
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
            device = gfx::createSoftwareDevice(backBuffer, {}, drawingThreads_);
            return gfx::kOk;
        }
        gl::Context context;
        if (!openGlContext(window_.handle(), vsync_, context)) return gfx::kErrNoDevice;
        device = gl::createGlDevice(backBuffer, std::move(context));
        return device ? gfx::kOk : gfx::kErrNoDevice;
    }

    void closeDisplay() override {}

    std::int32_t testCooperativeLevel() const override {
        return window_.destroyed() ? gfx::kErrNoDisplay : gfx::kOk;
    }

    // The picture goes to the largest 4:3 area of the window, whatever its size.
    std::int32_t present(Device* device, const Surface& backBuffer, Surface& primary,
                         const Rect&) override {
        SDL_Window* handle = window_.handle();
        if (handle == nullptr) return gfx::kErrNoDisplay;
        const Rect picture = pictureArea(backBuffer.width, backBuffer.height);
        std::int32_t result = gfx::kOk;
        int width = 0, height = 0;
        SDL_GL_GetDrawableSize(handle, &width, &height);
        const Rect window{0, 0, width, height};
        if (device == nullptr ||
            !gl::presentToWindow(*device, picture, pictureArea(width, height), window)) {
            result = presentSurface(device, backBuffer, primary, picture);
        }
        if (vsync_) std::this_thread::sleep_for(waitAfterPresent(pacer_, PacerClock::now()));
        return result;
    }

    bool isLost(const Surface& surface) const override { return surface.lost; }
    void restore(Surface& surface) override { surface.lost = false; }

private:
    std::int32_t presentSurface(Device* device, const Surface& backBuffer, Surface& primary,
                                const Rect& picture) {
        SDL_Surface* screen = window_.bindFramebuffer();
        if (screen == nullptr) {
            primary.lost = true;
            return gfx::kErrSurfaceLost;
        }
        if (device != nullptr) device->readBack();
        SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(
            const_cast<std::uint32_t*>(backBuffer.pixels.data()), backBuffer.width,
            backBuffer.height, 32, backBuffer.width * 4, SDL_PIXELFORMAT_XRGB8888);
        if (source == nullptr) return gfx::kErrOutOfMemory;
        const Rect target = pictureArea(screen->w, screen->h);
        fillBars(screen, target);
        SDL_Rect from = toSdl(picture);
        SDL_Rect to = toSdl(target);
        int copied = 0;
        if (from.w == to.w && from.h == to.h) {
            copied = SDL_BlitSurface(source, &from, screen, &to);
        } else if (screen->format->format == source->format->format) {
            copied = SDL_SoftStretchLinear(source, &from, screen, &to);
        } else {
            copied = SDL_BlitScaled(source, &from, screen, &to);
        }
        SDL_FreeSurface(source);
        if (copied != 0) return gfx::kErrFail;
        return SDL_UpdateWindowSurface(window_.handle()) == 0 ? gfx::kOk : gfx::kErrFail;
    }

    SdlWindow& window_;
    bool vsync_;
    gfx::DrawingThreads drawingThreads_;
    FramePacer pacer_;
};

}  // namespace

std::unique_ptr<gfx::GraphicsDriver> createSdlGraphicsDriver(SdlWindow& window,
                                                             const WindowSettings& settings) {
    return std::make_unique<SdlGraphicsDriver>(window, settings);
}

}  // namespace glint
