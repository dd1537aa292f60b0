// The shell over the real SDL display: the software device when no OpenGL can be
// had, and the GL device, when asked for, rebuilt without leaks when the window is
// minimised and restored.
#include <dirent.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "engine/content.h"
#include "platform/sdl/sdl_event_injection.h"
#include "platform/sdl/sdl_video.h"
#include "scenes/timeline.h"
#include "shell/shell.h"
#include "tests/gl/gl_fixture.h"

namespace glint::test {

// The sanitizers' allocators and shadow memory make resident size no measure of leaks.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
// ThreadSanitizer counts locks that Mesa's shader compiler takes for each context
// as still held, and stops the program once one thread holds 64.
#if defined(__SANITIZE_THREAD__)
constexpr int kContextRounds = 2;
#else
constexpr int kContextRounds = 10;
#endif
namespace {

// Set for one test: the OpenGL of the display, or its absence.
class ShellDeviceTest : public testing::Test {
protected:
    void TearDown() override {
        shell.reset();
        display = {};
        quitVideo();
        unsetenv("SDL_VIDEO_EGL_DRIVER");
    }

    void start(const char* videoDriver, DeviceChoice choice = DeviceChoice::automatic) {
        setenv("SDL_VIDEODRIVER", videoDriver, 1);
        std::string error;
        ASSERT_TRUE(initVideo(kWindowClass, error)) << error;
        display = openSdlDisplay({kWindowTitle, kWindowWidth, kWindowHeight}, error);
        ASSERT_NE(display.window, nullptr) << error;
        shell = std::make_unique<Shell>(*display.window, *display.graphics, clock);
        shell->deviceChoice = choice;
        resetSceneContent();
        resetTimeline();
        ASSERT_EQ(startShow(*shell), gfx::kOk);
    }

    gfx::DeviceKind deviceKind() const {
        gfx::DeviceCaps caps;
        shell->devices.device->getCaps(caps);
        return caps.kind;
    }

    // Steps the loop until a message of `kind` was handled.
    void stepPast(MessageKind kind) {
        for (int i = 0; i < 100; ++i) {
            WindowMessage message;
            stepMessageLoop(*shell, message);
            if (message.kind == kind) return;
        }
        ADD_FAILURE() << "no such message arrived";
    }

    // Draws one frame a second into the show and tells whether it shows anything.
    bool drawsAFrame() {
        clock.now += 1000;
        renderFrame(*shell);
        shell->devices.device->readBack();
        for (std::uint32_t pixel : shell->devices.backBuffer->pixels) {
            if (pixel != 0) return true;
        }
        return false;
    }

    SdlDisplay display;
    VirtualClock clock;
    std::unique_ptr<Shell> shell;
};

TEST_F(ShellDeviceTest, OnADisplayWithoutOpenGLTheShowStartsOnTheSoftwareDevice) {
    start("dummy");  // SDL's dummy display offers no OpenGL at all
    EXPECT_EQ(deviceKind(), gfx::DeviceKind::software);
    EXPECT_TRUE(drawsAFrame());
}

TEST_F(ShellDeviceTest, WithoutAnOpenGLDriverTheShowStartsOnTheSoftwareDevice) {
    setenv("SDL_VIDEO_EGL_DRIVER", "/nonexistent/libEGL.so.1", 1);
    start("offscreen");
    EXPECT_EQ(deviceKind(), gfx::DeviceKind::software);
    EXPECT_TRUE(drawsAFrame());
}

TEST_F(ShellDeviceTest, AutomaticChoiceTakesOurOwnDeviceOverOpenGLDrawnOnTheProcessor) {
    start("offscreen");
    gfx::DeviceCaps caps;
    std::unique_ptr<gfx::Surface> surface;
    std::unique_ptr<gfx::Device> gl;
    display.graphics->createBackBuffer(64, 48, surface);
    display.graphics->createDepthBuffer(*surface, gfx::kFormatDepth32, gfx::MemoryKind::video);
    if (gfx::failed(display.graphics->createDevice(gfx::DeviceKind::hardware, *surface, gl))) {
        GTEST_SKIP() << "no OpenGL context could be made here";
    }
    gl->getCaps(caps);
    // CI has no graphics hardware: its OpenGL is Mesa's, drawn on the processor.
    if (inCi()) {
        EXPECT_TRUE(caps.softwareRenderer);
    }
    EXPECT_EQ(deviceKind(),
              caps.softwareRenderer ? gfx::DeviceKind::software : gfx::DeviceKind::hardware);
}

std::size_t threadCount() {
    std::size_t count = 0;
    if (DIR* tasks = opendir("/proc/self/task")) {
        while (const dirent* entry = readdir(tasks))
            count += entry->d_name[0] != '.';
        closedir(tasks);
    }
    return count;
}

// Resident memory in kB.
long residentKilobytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    }
    return 0;
}

TEST_F(ShellDeviceTest, OpenGLWhenAskedForRunsTheShowAndRebuildsItWithoutLeaks) {
    start("offscreen", DeviceChoice::opengl);
    if (deviceKind() != gfx::DeviceKind::hardware) {
        if (inCi()) FAIL() << "the show fell back to the software device in CI";
        GTEST_SKIP() << "no OpenGL context could be made here";
    }
    EXPECT_TRUE(drawsAFrame());

    const auto recreate = [this] {
        injectSizeEvent(*display.window, SizeKind::minimized);
        stepPast(MessageKind::size);
        injectSizeEvent(*display.window, SizeKind::restored);
        stepPast(MessageKind::size);
    };
    // The first rounds settle the driver's own one-time allocations.
    constexpr int kWarmUp = 2;
    constexpr int kRounds = kContextRounds;
    for (int i = 0; i < kWarmUp; ++i)
        recreate();
    const std::size_t threads = threadCount();
    const long resident = residentKilobytes();
    for (int i = 0; i < kRounds; ++i)
        recreate();

    EXPECT_EQ(sceneContent().buildCount, 1u + kWarmUp + kRounds);
    EXPECT_EQ(deviceKind(), gfx::DeviceKind::hardware);
    EXPECT_TRUE(drawsAFrame());
    EXPECT_EQ(threadCount(), threads) << "each context's threads end with it";
    // A context with its 640 × 480 target and textures holds several megabytes;
    // ten kept would show. AddressSanitizer holds freed memory back, and its leak
    // checker watches that build instead.
    constexpr long kSlackKilobytes = 4096;
    if (!kSanitized) {
        EXPECT_LT(residentKilobytes() - resident, kSlackKilobytes);
    }
}

}  // namespace
}  // namespace glint::test
