#include "platform/gfx/results.h"
#include "scenes/timeline.h"
#include "shell/music.h"
#include "shell/shell.h"

namespace glint {

namespace {

// Showing the window reports its size (making the show active) and asks for a
// paint before any device exists; both are handled before the device is created.
void showWindow(Shell& shell) {
    shell.window.show();
    WindowMessage message;
    while (shell.window.peekMessage(message))
        windowProcedure(shell, message);
}

}  // namespace

std::int32_t startShow(Shell& shell) {
    showWindow(shell);
    shell.accelerators = loadAccelerators(kAcceleratorTableId);
    const std::int32_t created = createDevice(shell);
    if (gfx::failed(created)) return created;
    shell.deviceReady = true;
    if (shell.audio != nullptr) {
        startMusic(*shell.audio, shell.mixing);
    } else {
        startMusic();
    }
    timeline().songPosition = [] {
        return SongPosition{vorn3::songGetOrder(currentSong()), vorn3::songGetRow(currentSong())};
    };
    shell.startTime = shell.lastFrameAt = shell.clock.milliseconds();
    shell.framesPlayedAtLastFrame = musicFramesPlayed();
    return gfx::kOk;
}

std::int32_t runShow(Shell& shell) {
    const std::int32_t started = startShow(shell);
    if (gfx::failed(started)) return started;
    WindowMessage message{};
    while (stepMessageLoop(shell, message)) {
    }
    return message.exitCode;
}

bool stepMessageLoop(Shell& shell, WindowMessage& message) {
    bool taken = true;
    if (shell.appActive) {
        taken = shell.window.peekMessage(message);
    } else {
        shell.window.waitMessage(message);
    }
    if (taken) {
        const std::uint16_t command = message.kind == MessageKind::keyDown
                                          ? translateAccelerator(shell.accelerators, message.key)
                                          : 0;
        if (command == kCommandEndShow) {
            destroyMainWindow(shell);
        } else if (command == 0) {
            windowProcedure(shell, message);
        }
    } else if (shell.appActive && shell.deviceReady) {
        renderFrame(shell);
    }
    reportSoundChanges();
    return message.kind != MessageKind::quit;
}

}  // namespace glint
