// The shell over the real SDL window, headless under SDL's offscreen video driver.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "engine/content.h"
#include "platform/gfx/results.h"
#include "platform/sdl/sdl_event_injection.h"
#include "platform/sdl/sdl_video.h"
#include "scenes/timeline.h"
#include "shell/music.h"
#include "shell/shell.h"

namespace glint {
namespace {

class SdlShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        std::string error;
        ASSERT_TRUE(initVideo(kWindowClass, error)) << error;
        display = openSdlDisplay({kWindowTitle, kWindowWidth, kWindowHeight}, error);
        ASSERT_NE(display.window, nullptr) << error;
        shell = std::make_unique<Shell>(*display.window, *display.graphics, clock);
        shell->audio = &sound;
        shell->mixing = vorn3::MixingDriver::host;
        resetSceneContent();
        resetTimeline();
    }
    void TearDown() override {
        stopMusic();
        shell.reset();
        display = {};
        quitVideo();
    }

    bool step() { return stepMessageLoop(*shell, message); }

    // Steps until a message of `kind` was handled; SDL may queue others before it.
    void stepPast(MessageKind kind) {
        for (int i = 0; i < 100; ++i) {
            message = WindowMessage{};
            step();
            if (message.kind == kind) return;
        }
        ADD_FAILURE() << "no such message arrived";
    }

    std::int32_t runToQuit() {
        for (int i = 0; i < 1000; ++i) {
            if (!step()) return message.exitCode;
        }
        ADD_FAILURE() << "the loop did not end";
        return -1;
    }

    SdlDisplay display;
    VirtualClock clock;
    vorn3::VirtualWaveDevice sound;
    std::unique_ptr<Shell> shell;
    WindowMessage message;
};

TEST_F(SdlShellTest, MinimiseRestoreAndCloseFollowTheWindowEvents) {
    ASSERT_EQ(startShow(*shell), gfx::kOk);
    EXPECT_TRUE(shell->appActive);
    EXPECT_EQ(shell->devices.backBuffer->width, kWindowWidth);
    step();
    step();
    EXPECT_EQ(sceneContent().buildCount, 1u) << "showing the window re-created nothing";

    injectSizeEvent(*display.window, SizeKind::minimized);
    stepPast(MessageKind::size);
    EXPECT_FALSE(shell->appActive);

    injectSizeEvent(*display.window, SizeKind::restored);
    stepPast(MessageKind::size);
    EXPECT_TRUE(shell->appActive);
    EXPECT_TRUE(shell->deviceReady);
    EXPECT_EQ(sceneContent().buildCount, 2u);

    injectCloseEvent(*display.window);
    EXPECT_EQ(runToQuit(), 0);
    EXPECT_TRUE(display.window->destroyed());
}

TEST_F(SdlShellTest, FullscreenTogglesOnlyHowThePictureIsShown) {
    ASSERT_EQ(startShow(*shell), gfx::kOk);
    step();
    const gfx::Device* device = shell->devices.device.get();
    for (bool altEnter : {false, true}) {
        const bool wasFullscreen = isFullscreen(*display.window);
        injectFullscreenKey(*display.window, altEnter);
        for (int i = 0; i < 20; ++i) {
            clock.now += 16;
            step();
        }
        EXPECT_NE(isFullscreen(*display.window), wasFullscreen) << altEnter;
        EXPECT_TRUE(shell->appActive);
        EXPECT_EQ(shell->devices.device.get(), device);
        EXPECT_EQ(sceneContent().buildCount, 1u);
    }
    EXPECT_EQ(shell->devices.backBuffer->width, kWindowWidth);
    EXPECT_EQ(presentFrame(*shell), gfx::kOk);
}

TEST_F(SdlShellTest, EscapeEndsTheShow) {
    ASSERT_EQ(startShow(*shell), gfx::kOk);
    shell->accelerators = {{Key::escape, kCommandEndShow}};
    injectEscapeKey(*display.window);
    EXPECT_EQ(runToQuit(), 0);
}

TEST_F(SdlShellTest, TheShowsOwnEndPresentsItsLastFrameAndQuits) {
    ASSERT_EQ(startShow(*shell), gfx::kOk);
    step();
    timeline().quitRequested = true;
    EXPECT_EQ(runToQuit(), 0);
    EXPECT_FALSE(display.window->destroyed());
}

}  // namespace
}  // namespace glint
