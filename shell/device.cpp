#include "engine/content.h"
#include "platform/gfx/results.h"
#include "platform/picture_area.h"
#include "shell/shell.h"

namespace glint {
namespace {

// Displays of this many bits per pixel or fewer are palette displays and refused.
constexpr std::uint32_t kPaletteDisplayBits = 8;

// Clip space (2x, 2y, z − 1, z): near plane at z = 1, far plane at infinity, both
// fields of view 2·atan(1/2), no aspect correction: the viewport is always 4:3.
constexpr gfx::TransformMatrix kProjection{{
    {2, 0, 0, 0},
    {0, 2, 0, 0},
    {0, 0, 1, 1},
    {0, 0, -1, 0},
}};

constexpr std::uint32_t kWhiteAmbient = 0xFFFFFFFF;
constexpr float kMainCameraDistance = 50.0f;

// OpenGL through a driver that draws on the processor is slower than our own device.
bool onGraphicsHardware(const gfx::Device& device) {
    gfx::DeviceCaps caps;
    device.getCaps(caps);
    return !caps.softwareRenderer;
}

std::int32_t createChosenDevice(Shell& shell) {
    gfx::GraphicsDriver& graphics = shell.graphics;
    DeviceState& state = shell.devices;
    if (shell.deviceChoice != DeviceChoice::software) {
        const std::int32_t result =
            graphics.createDevice(gfx::DeviceKind::hardware, *state.backBuffer, state.device);
        if (shell.deviceChoice == DeviceChoice::opengl) return result;
        if (!gfx::failed(result) && onGraphicsHardware(*state.device)) return result;
        state.device.reset();
    }
    return graphics.createDevice(gfx::DeviceKind::software, *state.backBuffer, state.device);
}

}  // namespace

gfx::PixelFormat findZBufferFormat(const std::vector<gfx::PixelFormat>& offered) {
    for (const gfx::PixelFormat& format : offered) {
        if (format.flags == gfx::kPixelZBuffer) return format;
    }
    return {};
}

std::int32_t createDevice(Shell& shell) {
    gfx::GraphicsDriver& graphics = shell.graphics;
    DeviceState& state = shell.devices;
    std::int32_t result = graphics.openDisplay();
    if (gfx::failed(result)) return shell.lastCreateResult = result;
    state.displayOpen = true;
    result = graphics.createPrimarySurface(state.primarySurface);
    if (gfx::failed(result)) return shell.lastCreateResult = result;

    shell.windowRect = graphics.clientRectOnScreen();
    const bool sized = shell.drawWidth > 0 && shell.drawHeight > 0;
    const std::int32_t width = sized ? shell.drawWidth : shell.windowRect.width();
    const std::int32_t height = sized ? shell.drawHeight : shell.windowRect.height();
    result = graphics.createBackBuffer(width, height, state.backBuffer);
    if (gfx::failed(result)) return shell.lastCreateResult = result;

    // The shell always asks for the hardware device, so its depth formats decide.
    const gfx::PixelFormat depthFormat =
        findZBufferFormat(graphics.depthFormats(gfx::DeviceKind::hardware));
    if (depthFormat.size != gfx::kPixelFormatSize) return shell.lastCreateResult = gfx::kErrFail;
    result = graphics.createDepthBuffer(*state.backBuffer, depthFormat, gfx::MemoryKind::video);
    if (gfx::failed(result)) return shell.lastCreateResult = result;

    if (graphics.displayBitsPerPixel() <= kPaletteDisplayBits) {
        return shell.lastCreateResult = gfx::kErrInvalidMode;
    }
    result = createChosenDevice(shell);
    if (gfx::failed(result)) return shell.lastCreateResult = result;
    return shell.lastCreateResult = setupDevice(*state.device, width, height);
}

std::int32_t setupDevice(gfx::Device& device, std::int32_t width, std::int32_t height) {
    device.clear(gfx::kClearTarget | gfx::kClearZBuffer, 0x00000000, 1.0f);
    const Rect picture = pictureArea(width, height);
    const gfx::Viewport viewport{static_cast<std::uint32_t>(picture.left),
                                 static_cast<std::uint32_t>(picture.top),
                                 static_cast<std::uint32_t>(picture.width()),
                                 static_cast<std::uint32_t>(picture.height()),
                                 0.0f,
                                 1.0f};
    const std::int32_t result = device.setViewport(viewport);
    if (gfx::failed(result)) return result;
    device.setRenderState(gfx::RenderState::cullMode, gfx::kCullNone);
    return setupScene(device);
}

std::int32_t setupScene(gfx::Device& device) {
    buildSceneContent(device);
    device.setRenderState(gfx::RenderState::ambient, kWhiteAmbient);
    device.setTransform(gfx::TransformKind::projection, kProjection);
    sceneContent().mainCamera.posZ = kMainCameraDistance;
    return gfx::kOk;
}

std::int32_t releaseDevice(Shell& shell) {
    DeviceState& state = shell.devices;
    state.device.reset();
    state.backBuffer.reset();
    state.primarySurface.reset();
    if (state.displayOpen) shell.graphics.closeDisplay();
    state.displayOpen = false;
    return gfx::kOk;
}

}  // namespace glint
