#include "platform/headless/headless_display.h"

#include "platform/gfx/null_device.h"
#include "platform/gfx/results.h"
#include "platform/gfx/software_device.h"

namespace glint {
namespace {

// What a desktop display offers; the depth of the colour target is our own.
constexpr std::uint32_t kDisplayBits = 32;

}  // namespace

bool HeadlessWindow::peekMessage(WindowMessage& message) {
    if (!queue_.empty()) {
        message = queue_.front();
        queue_.pop_front();
        return true;
    }
    if (!quitPosted_) return false;
    message = WindowMessage{};
    message.kind = MessageKind::quit;
    message.exitCode = quitCode_;
    return true;
}

// Nothing may wait for a message to be posted (a page cannot wait at all), so a wait
// that finds none would last forever: a closed window is the only thing left to come.
void HeadlessWindow::waitMessage(WindowMessage& message) {
    if (peekMessage(message)) return;
    message = WindowMessage{};
    message.kind = MessageKind::close;
}

void HeadlessWindow::postQuitMessage(std::int32_t exitCode) {
    quitPosted_ = true;
    quitCode_ = exitCode;
}

void HeadlessWindow::show() {
    WindowMessage shown;
    shown.kind = MessageKind::size;
    shown.sizeKind = SizeKind::restored;
    queue_.push_back(shown);
}

std::int32_t HeadlessGraphicsDriver::openDisplay() {
    return window_.destroyed() ? gfx::kErrNoDisplay : gfx::kOk;
}

std::int32_t HeadlessGraphicsDriver::createPrimarySurface(std::unique_ptr<gfx::Surface>& primary) {
    primary = std::make_unique<gfx::Surface>();
    return gfx::kOk;
}

std::int32_t HeadlessGraphicsDriver::createBackBuffer(std::int32_t width, std::int32_t height,
                                                      std::unique_ptr<gfx::Surface>& backBuffer) {
    if (width <= 0 || height <= 0) return gfx::kErrFail;
    backBuffer = std::make_unique<gfx::Surface>();
    backBuffer->width = width;
    backBuffer->height = height;
    backBuffer->pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height),
                              0);
    lastPresented_ = nullptr;
    return gfx::kOk;
}

std::vector<gfx::PixelFormat> HeadlessGraphicsDriver::depthFormats(gfx::DeviceKind) const {
    return {gfx::kFormatDepth32};
}

std::int32_t HeadlessGraphicsDriver::createDepthBuffer(gfx::Surface& backBuffer,
                                                       const gfx::PixelFormat& format,
                                                       gfx::MemoryKind) {
    backBuffer.depth.assign(backBuffer.pixels.size(), 1.0f);
    backBuffer.depthFormat = format;
    return gfx::kOk;
}

std::uint32_t HeadlessGraphicsDriver::displayBitsPerPixel() const {
    return kDisplayBits;
}

std::int32_t HeadlessGraphicsDriver::createDevice(gfx::DeviceKind kind, gfx::Surface& backBuffer,
                                                  std::unique_ptr<gfx::Device>& device) {
    if (kind == gfx::DeviceKind::hardware) return gfx::kErrNoDevice;
    device = drawsPictures ? gfx::createSoftwareDevice(backBuffer, {}, drawingThreads)
                           : gfx::createNullDevice();
    return gfx::kOk;
}

std::int32_t HeadlessGraphicsDriver::present(gfx::Device* device, const gfx::Surface& backBuffer,
                                             gfx::Surface&, const Rect&) {
    if (device != nullptr) device->readBack();
    lastPresented_ = &backBuffer;
    ++presentCount_;
    return gfx::kOk;
}

}  // namespace glint
