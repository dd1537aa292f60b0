// The application shell: start-up, the message loop and window procedure, the
// device with its surfaces, and the frame driver. One record holds all of its
// state; the window, the display and the clock are seams handed in by the caller.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/accelerators.h"
#include "platform/clock.h"
#include "platform/gfx/device.h"
#include "platform/gfx/graphics_driver.h"
#include "platform/window.h"
#include "vorn3/player.h"

namespace glint {

inline constexpr const char* kWindowTitle = "Quorlane : Glint";
inline constexpr const char* kWindowClass = "Render Window";
inline constexpr std::int32_t kWindowWidth = 640;
inline constexpr std::int32_t kWindowHeight = 480;
inline constexpr std::int32_t kAcceleratorTableId = 109;
// The accelerator command of the Escape key: ends the show like a close request.
inline constexpr std::uint16_t kCommandEndShow = 40001;

// Which 3-D device draws: OpenGL only on real graphics hardware, or the one named.
enum class DeviceChoice : std::uint8_t { automatic, opengl, software };

struct DeviceState {
    bool displayOpen = false;
    std::unique_ptr<gfx::Surface> primarySurface;
    std::unique_ptr<gfx::Surface> backBuffer;  // with the depth buffer attached
    std::unique_ptr<gfx::Device> device;       // draws into backBuffer
};

struct Shell {
    Shell(Window& showWindow, gfx::GraphicsDriver& display, Clock& msClock)
        : window(showWindow), graphics(display), clock(msClock) {}

    Window& window;
    gfx::GraphicsDriver& graphics;
    Clock& clock;
    // Where the music plays: null for the sound device; recorders and tests hand in
    // a device of their own and say who drives its mixing.
    vorn3::WaveDevice* audio = nullptr;
    vorn3::MixingDriver mixing = vorn3::MixingDriver::thread;
    DeviceChoice deviceChoice = DeviceChoice::automatic;
    // The size the device draws at, kept across re-creations; 0: the client area's.
    std::int32_t drawWidth = 0;
    std::int32_t drawHeight = 0;

    bool appActive = false;       // neither minimised nor hidden
    bool deviceReady = false;     // a device exists and frames may be drawn
    std::uint32_t startTime = 0;  // ms of `clock`, taken right after the music started
    Rect windowRect;              // the client area on the screen; where frames go
    std::vector<Accelerator> accelerators;
    DeviceState devices;
    float sceneTime = 0;  // tenths of a second since startTime, of the last frame
    // The clock and the music's count at the last frame, to tell a pause of both apart.
    std::uint32_t lastFrameAt = 0;
    std::uint64_t framesPlayedAtLastFrame = 0;
    std::int32_t lastCreateResult = 0;  // result of the last createDevice
};

// Start-up, the message loop, and the exit code the loop ends with. A device that
// cannot be created at start-up ends it with that negative result before the loop.
std::int32_t runShow(Shell& shell);
// Start-up alone: window shown, device and content created, music started, clock
// zeroed. The creation result; nothing after a failed creation has been started.
std::int32_t startShow(Shell& shell);

// One pass of the loop's body: takes a message and handles it, or draws a frame
// when none is waiting. Returns false once the quit message was taken.
bool stepMessageLoop(Shell& shell, WindowMessage& message);

void windowProcedure(Shell& shell, const WindowMessage& message);
void destroyMainWindow(Shell& shell);
void onWindowMoved(Shell& shell, std::int32_t x, std::int32_t y);

std::int32_t createDevice(Shell& shell);
std::int32_t releaseDevice(Shell& shell);
// A new device made ready for the show: cleared, the picture's 4:3 area of a
// `width` × `height` target as its viewport, and the content built.
std::int32_t setupDevice(gfx::Device& device, std::int32_t width, std::int32_t height);
std::int32_t setupScene(gfx::Device& device);
// The first offered depth format carrying only depth bits, or size 0 when none.
gfx::PixelFormat findZBufferFormat(const std::vector<gfx::PixelFormat>& offered);

std::int32_t renderFrame(Shell& shell);
std::int32_t presentFrame(Shell& shell);
std::int32_t restoreSurfaces(Shell& shell);
// Ten units per second: the unsigned ms difference times the float 0.01.
float sceneTimeAt(std::uint32_t now, std::uint32_t startTime);

}  // namespace glint
