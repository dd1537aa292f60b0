#include "shell/shell.h"

#include <gtest/gtest.h>

#include <cstring>

#include "engine/content.h"
#include "platform/gfx/results.h"
#include "platform/resources.h"
#include "scenes/timeline.h"
#include "shell/music.h"
#include "tests/shell/fake_display.h"

namespace glint {
namespace {

using testing::FakeGraphicsDriver;
using testing::FakeWindow;

const char kAccelerators[] = "ESCAPE 40001\n";
const ResourceEntry kResources[] = {
    {ResourceType::accelerators, kAcceleratorTableId,
     reinterpret_cast<const std::uint8_t*>(kAccelerators), sizeof kAccelerators - 1},
};

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetSceneContent();
        resetTimeline();
        useResources(kResources);
        clock.now = 5000;
        shell.audio = &sound;
        shell.mixing = vorn3::MixingDriver::host;
    }
    void TearDown() override { stopMusic(); }

    std::int32_t start() { return startShow(shell); }

    void step(int count = 1) {
        for (int i = 0; i < count; ++i)
            stepMessageLoop(shell, message);
    }

    // Runs the loop until it takes the quit message; the exit code it carried.
    std::int32_t runToQuit() {
        for (int i = 0; i < 100; ++i) {
            if (!stepMessageLoop(shell, message)) return message.exitCode;
        }
        ADD_FAILURE() << "the loop did not end";
        return -1;
    }

    void send(const WindowMessage& sent) { window.send(sent); }

    FakeWindow window;
    FakeGraphicsDriver graphics{window};
    VirtualClock clock;
    Shell shell{window, graphics, clock};
    vorn3::VirtualWaveDevice sound;
    WindowMessage message;
};

TEST_F(ShellTest, StartUpShowsTheWindowThenCreatesTheDeviceAndStartsTheClock) {
    ASSERT_EQ(start(), gfx::kOk);
    EXPECT_TRUE(shell.appActive);
    EXPECT_TRUE(shell.deviceReady);
    EXPECT_EQ(graphics.devicesCreated, 1);
    EXPECT_EQ(sceneContent().buildCount, 1u);
    EXPECT_EQ(sceneContent().mainCamera.posZ, 50.0f);
    EXPECT_EQ(shell.startTime, 5000u);
    EXPECT_EQ(shell.windowRect, window.clientRect);
    EXPECT_EQ(shell.devices.backBuffer->width, 640);
    EXPECT_EQ(shell.devices.backBuffer->height, 480);
}

TEST_F(ShellTest, DrawsAFrameWheneverNoMessageIsWaiting) {
    ASSERT_EQ(start(), gfx::kOk);
    step(3);
    EXPECT_EQ(graphics.presents, 3);
    EXPECT_EQ(graphics.lastDestination, window.clientRect);
}

TEST_F(ShellTest, PaintBeforeTheDeviceExistsPresentsNothing) {
    window.send(FakeWindow::simple(MessageKind::paint));
    ASSERT_EQ(start(), gfx::kOk);
    EXPECT_EQ(graphics.presents, 0);
    EXPECT_EQ(presentFrame(shell), gfx::kOk);
    EXPECT_EQ(graphics.presents, 1);
}

TEST_F(ShellTest, MinimiseStopsDrawingAndRestoreRecreatesDeviceAndContent) {
    ASSERT_EQ(start(), gfx::kOk);
    timeline().sceneIndex = 3;
    step();
    const int presentsBefore = graphics.presents;

    send(FakeWindow::sizeMessage(SizeKind::minimized));
    step();
    EXPECT_FALSE(shell.appActive);
    send(FakeWindow::simple(MessageKind::setCursor));
    step();
    EXPECT_EQ(window.waits, 1) << "an inactive loop waits for messages";
    EXPECT_EQ(graphics.presents, presentsBefore);

    send(FakeWindow::sizeMessage(SizeKind::restored));
    step();
    EXPECT_TRUE(shell.appActive);
    EXPECT_TRUE(shell.deviceReady);
    EXPECT_EQ(graphics.devicesCreated, 2);
    EXPECT_EQ(graphics.closes, 1);
    EXPECT_EQ(sceneContent().buildCount, 2u);
    EXPECT_NE(shell.devices.device.get(), nullptr);
    step();
    EXPECT_EQ(graphics.presents, presentsBefore + 1);
    EXPECT_EQ(timeline().sceneIndex, 3) << "the show resumes at the scene it had reached";
    EXPECT_EQ(shell.startTime, 5000u);
}

TEST_F(ShellTest, HiddenWindowIsInactiveToo) {
    ASSERT_EQ(start(), gfx::kOk);
    send(FakeWindow::sizeMessage(SizeKind::maxHide));
    step();
    EXPECT_FALSE(shell.appActive);
}

TEST_F(ShellTest, CloseReleasesTheDeviceAndEndsWithExitCodeZero) {
    ASSERT_EQ(start(), gfx::kOk);
    step();
    send(FakeWindow::closeMessage());
    EXPECT_EQ(runToQuit(), 0);
    EXPECT_TRUE(window.isDestroyed);
    EXPECT_EQ(shell.devices.device, nullptr);
    EXPECT_EQ(shell.devices.backBuffer, nullptr);
    EXPECT_EQ(graphics.closes, 1);
}

TEST_F(ShellTest, TheShowsOwnEndQuitsAfterThatFrameWithExitCodeZero) {
    ASSERT_EQ(start(), gfx::kOk);
    step();
    timeline().quitRequested = true;
    const int presentsBefore = graphics.presents;
    EXPECT_EQ(runToQuit(), 0);
    EXPECT_EQ(graphics.presents, presentsBefore + 1) << "the last frame is still presented";
    EXPECT_FALSE(window.isDestroyed);
    EXPECT_NE(shell.devices.device, nullptr) << "process exit releases the device on this path";
}

TEST_F(ShellTest, EscapeEndsTheShowLikeAClose) {
    ASSERT_EQ(start(), gfx::kOk);
    WindowMessage key = FakeWindow::simple(MessageKind::keyDown);
    key.key = Key::other;
    send(key);
    step();
    EXPECT_FALSE(window.isDestroyed) << "other keys do nothing";
    key.key = Key::escape;
    send(key);
    EXPECT_EQ(runToQuit(), 0);
    EXPECT_TRUE(window.isDestroyed);
}

TEST_F(ShellTest, CursorIsHiddenOnlyWhileActiveAndReady) {
    send(FakeWindow::simple(MessageKind::setCursor));
    ASSERT_EQ(start(), gfx::kOk);
    EXPECT_FALSE(window.cursorHidden) << "no device yet when the first message came";

    send(FakeWindow::simple(MessageKind::setCursor));
    step();
    EXPECT_TRUE(window.cursorHidden);

    send(FakeWindow::sizeMessage(SizeKind::minimized));
    send(FakeWindow::simple(MessageKind::setCursor));
    step(2);
    EXPECT_FALSE(window.cursorHidden);
}

TEST_F(ShellTest, MovingTheWindowMovesThePresentationRectangle) {
    ASSERT_EQ(start(), gfx::kOk);
    WindowMessage move = FakeWindow::simple(MessageKind::move);
    move.x = -20;
    move.y = 300;
    send(move);
    step(2);
    EXPECT_EQ(shell.windowRect, (Rect{-20, 300, 620, 780}));
    EXPECT_EQ(graphics.lastDestination, shell.windowRect);

    send(FakeWindow::sizeMessage(SizeKind::minimized));
    move.x = 7;
    send(move);
    step(2);
    EXPECT_EQ(shell.windowRect.left, -20) << "moves while inactive are not followed";
}

TEST_F(ShellTest, PaletteDisplayIsRefusedBeforeAnyDeviceExists) {
    graphics.bitsPerPixel = 8;
    EXPECT_EQ(start(), gfx::kErrInvalidMode);
    EXPECT_TRUE(graphics.triedKinds.empty());
    EXPECT_EQ(shell.devices.device, nullptr);
    EXPECT_FALSE(shell.deviceReady);
    EXPECT_EQ(sceneContent().buildCount, 0u);
}

TEST_F(ShellTest, SixteenBitDisplayIsAccepted) {
    graphics.bitsPerPixel = 16;
    EXPECT_EQ(start(), gfx::kOk);
}

TEST_F(ShellTest, OnlyStencilDepthFormatsFailWithFail) {
    gfx::PixelFormat withStencil = gfx::kFormatDepth32;
    withStencil.flags |= gfx::kPixelStencil;
    graphics.offeredDepthFormats = {withStencil};
    EXPECT_EQ(start(), gfx::kErrFail);
    EXPECT_EQ(shell.devices.device, nullptr);
}

TEST_F(ShellTest, TheFirstDepthOnlyFormatIsTaken) {
    gfx::PixelFormat withStencil = gfx::kFormatDepth32;
    withStencil.flags |= gfx::kPixelStencil;
    gfx::PixelFormat depth16 = gfx::kFormatDepth32;
    depth16.bitCount = 16;
    const gfx::PixelFormat found = findZBufferFormat({withStencil, depth16, gfx::kFormatDepth32});
    EXPECT_EQ(std::memcmp(&found, &depth16, sizeof found), 0);
    EXPECT_EQ(findZBufferFormat({}).size, 0u);
}

TEST_F(ShellTest, HardwareDeviceIsTriedFirstThenSoftware) {
    ASSERT_EQ(start(), gfx::kOk);
    EXPECT_EQ(graphics.triedKinds,
              (std::vector<gfx::DeviceKind>{gfx::DeviceKind::hardware, gfx::DeviceKind::software}));

    graphics.triedKinds.clear();
    graphics.hardwareAvailable = true;
    send(FakeWindow::sizeMessage(SizeKind::restored));
    step();
    EXPECT_EQ(graphics.triedKinds, (std::vector<gfx::DeviceKind>{gfx::DeviceKind::hardware}));
}

TEST_F(ShellTest, ANamedDeviceIsTheOnlyOneTried) {
    const struct {
        DeviceChoice choice;
        bool hardwareAvailable;
        std::int32_t result;
        std::vector<gfx::DeviceKind> tried;
    } cases[] = {
        {DeviceChoice::software, true, gfx::kOk, {gfx::DeviceKind::software}},
        {DeviceChoice::opengl, true, gfx::kOk, {gfx::DeviceKind::hardware}},
        {DeviceChoice::opengl, false, gfx::kErrNoDevice, {gfx::DeviceKind::hardware}},
    };
    for (const auto& c : cases) {
        releaseDevice(shell);
        graphics.triedKinds.clear();
        graphics.hardwareAvailable = c.hardwareAvailable;
        shell.deviceChoice = c.choice;
        EXPECT_EQ(createDevice(shell), c.result);
        EXPECT_EQ(graphics.triedKinds, c.tried);
    }
    releaseDevice(shell);
}

TEST_F(ShellTest, NoDeviceAtAllEndsStartUpWithTheSoftwareResult) {
    graphics.softwareAvailable = false;
    EXPECT_EQ(start(), gfx::kErrNoDevice);
    EXPECT_FALSE(shell.deviceReady);
}

TEST_F(ShellTest, FailedRecreationDestroysTheWindowAndQuits) {
    ASSERT_EQ(start(), gfx::kOk);
    graphics.softwareAvailable = false;
    send(FakeWindow::sizeMessage(SizeKind::restored));
    EXPECT_EQ(runToQuit(), 0);
    EXPECT_TRUE(window.isDestroyed);
    EXPECT_EQ(shell.devices.device, nullptr);
}

// The music plays on while the window is minimised, and so does the scenes' time; time in
// which the music played nothing (the process was stopped) is none to the scenes.
TEST_F(ShellTest, SceneTimeCountsTenUnitsPerSecondOfMusicEvenWhileMinimised) {
    ASSERT_EQ(start(), gfx::kOk);
    step();
    EXPECT_EQ(shell.sceneTime, 0.0f);
    clock.now += 1000;
    step();
    EXPECT_EQ(shell.sceneTime, 10.0f);

    send(FakeWindow::sizeMessage(SizeKind::minimized));
    step();
    clock.now = 5000 + 60000;
    sound.play(59 * kOutputRate);
    send(FakeWindow::sizeMessage(SizeKind::restored));
    step(2);
    EXPECT_EQ(shell.sceneTime, 600.0f);

    clock.now += 30000;
    step();
    EXPECT_EQ(shell.sceneTime, 600.0f);
}

TEST(SceneTime, UsesTheUnsignedDifferenceAndTheSinglePrecisionStep) {
    EXPECT_EQ(sceneTimeAt(0, 0), 0.0f);
    EXPECT_EQ(sceneTimeAt(1000, 0), 10.0f);
    EXPECT_EQ(sceneTimeAt(60000, 0), 600.0f);
    EXPECT_EQ(sceneTimeAt(500, 0xFFFFFE0Cu), 10.0f) << "the tick count wrapped";
    // The float 0.01 is slightly above 1/100, and the product is rounded once.
    EXPECT_EQ(sceneTimeAt(16209, 0), static_cast<float>(16209.0 * static_cast<double>(0.01f)));
}

TEST_F(ShellTest, LostSurfaceIsRestoredOnceAndTheLoopCarriesOn) {
    ASSERT_EQ(start(), gfx::kOk);
    graphics.loseSurfacesOnNextPresent = true;
    EXPECT_EQ(renderFrame(shell), gfx::kOk);
    EXPECT_EQ(graphics.restores, 1) << "only the lost primary surface is restored";
    EXPECT_EQ(renderFrame(shell), gfx::kOk);
    EXPECT_EQ(graphics.restores, 1);
    EXPECT_EQ(graphics.presents, 2);
}

TEST_F(ShellTest, UnavailableDisplaySkipsTheFrame) {
    ASSERT_EQ(start(), gfx::kOk);
    graphics.cooperativeLevel = gfx::kErrNoDisplay;
    EXPECT_EQ(renderFrame(shell), gfx::kOk);
    EXPECT_EQ(graphics.presents, 0);
}

}  // namespace
}  // namespace glint
