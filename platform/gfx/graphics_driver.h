// The display and its surfaces: what the shell needs to create a device on the
// window, present the finished image and survive losing the display. The SDL
// driver is the real one; tests script failures through their own drivers.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/gfx/device.h"
#include "platform/gfx/surface.h"
#include "platform/rect.h"

namespace glint::gfx {

enum class MemoryKind : std::uint8_t { video, system };

class GraphicsDriver {
public:
    virtual ~GraphicsDriver() = default;

    // Opens the display object for the window; must come first.
    virtual std::int32_t openDisplay() = 0;
    // The visible screen area of the window, clipped to it.
    virtual std::int32_t createPrimarySurface(std::unique_ptr<Surface>& primary) = 0;
    virtual Rect clientRectOnScreen() const = 0;
    virtual std::int32_t createBackBuffer(std::int32_t width, std::int32_t height,
                                          std::unique_ptr<Surface>& backBuffer) = 0;
    // Depth formats the device kind offers, in the display's order.
    virtual std::vector<PixelFormat> depthFormats(DeviceKind kind) const = 0;
    // Creates a depth buffer of `format` and attaches it to the back buffer.
    virtual std::int32_t createDepthBuffer(Surface& backBuffer, const PixelFormat& format,
                                           MemoryKind memory) = 0;
    virtual std::uint32_t displayBitsPerPixel() const = 0;
    virtual std::int32_t createDevice(DeviceKind kind, Surface& backBuffer,
                                      std::unique_ptr<Device>& device) = 0;
    virtual void closeDisplay() = 0;

    // Negative while the display is not available to the program.
    virtual std::int32_t testCooperativeLevel() const = 0;
    // Shows the picture `device` drew for the back buffer at `destination` on the
    // screen; kErrSurfaceLost when either surface was lost. `device` may be null
    // when none is left to read the picture back.
    virtual std::int32_t present(Device* device, const Surface& backBuffer, Surface& primary,
                                 const Rect& destination) = 0;
    virtual bool isLost(const Surface& surface) const = 0;
    virtual void restore(Surface& surface) = 0;
};

}  // namespace glint::gfx
