#include "platform/gfx/results.h"
#include "shell/shell.h"

namespace glint {
namespace {

void onSize(Shell& shell, SizeKind kind) {
    if (kind == SizeKind::minimized || kind == SizeKind::maxHide) {
        shell.appActive = false;
        return;
    }
    shell.appActive = true;
    if (!shell.deviceReady) return;
    shell.deviceReady = false;
    releaseDevice(shell);
    if (gfx::failed(createDevice(shell))) destroyMainWindow(shell);
    shell.deviceReady = true;
}

}  // namespace

void destroyMainWindow(Shell& shell) {
    if (shell.window.destroyed()) return;
    shell.window.destroy();
    releaseDevice(shell);
    shell.window.postQuitMessage(0);
}

void onWindowMoved(Shell& shell, std::int32_t x, std::int32_t y) {
    const std::int32_t width = shell.windowRect.width();
    const std::int32_t height = shell.windowRect.height();
    shell.windowRect = {x, y, x + width, y + height};
}

void windowProcedure(Shell& shell, const WindowMessage& message) {
    const bool drawing = shell.appActive && shell.deviceReady;
    switch (message.kind) {
        case MessageKind::size:
            onSize(shell, message.sizeKind);
            break;
        case MessageKind::move:
            if (drawing) onWindowMoved(shell, message.x, message.y);
            break;
        case MessageKind::paint:
            presentFrame(shell);
            break;
        case MessageKind::close:
            destroyMainWindow(shell);
            break;
        case MessageKind::setCursor:
            shell.window.setCursorHidden(drawing);
            break;
        case MessageKind::none:
        case MessageKind::keyDown:
        case MessageKind::quit:
            break;
    }
}

}  // namespace glint
