// Devices through the real SDL display under SDL's offscreen video driver, whose
// OpenGL comes through EGL without any X server. Where no OpenGL can be had the
// GL tests are skipped, except in CI, which installs Mesa's software OpenGL and
// so must fail instead.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/gfx/device.h"
#include "platform/gfx/results.h"
#include "platform/gfx/surface.h"
#include "platform/sdl/sdl_video.h"

namespace glint::test {

// A back buffer with its depth buffer and the device drawing into it.
struct Target {
    std::unique_ptr<gfx::Surface> surface;
    std::unique_ptr<gfx::Device> device;

    // What the device drew, read back.
    const std::vector<std::uint32_t>& pixels() const {
        device->readBack();
        return surface->pixels;
    }
    std::uint32_t pixel(std::int32_t x, std::int32_t y) const {
        return pixels()[static_cast<std::size_t>(y) * surface->width + x];
    }
};

inline bool inCi() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::strcmp(ci, "true") == 0;
}

class DisplayTest : public testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        std::string error;
        ASSERT_TRUE(initVideo("glint-gl-tests", error)) << error;
        display = openSdlDisplay({"gl tests", 64, 64}, error);
        ASSERT_NE(display.graphics, nullptr) << error;
    }

    void TearDown() override {
        display = {};
        quitVideo();
    }

    // A target of the given size; its device is null when that kind is unavailable.
    Target open(gfx::DeviceKind kind, std::int32_t width, std::int32_t height) {
        Target target;
        gfx::GraphicsDriver& graphics = *display.graphics;
        EXPECT_EQ(graphics.createBackBuffer(width, height, target.surface), gfx::kOk);
        EXPECT_EQ(graphics.createDepthBuffer(*target.surface, gfx::kFormatDepth32,
                                             gfx::MemoryKind::video),
                  gfx::kOk);
        graphics.createDevice(kind, *target.surface, target.device);
        return target;
    }

    SdlDisplay display;
};

// Opens `target` as a GL device, or leaves the test: skipped where no OpenGL
// exists, failed in CI.
#define GLINT_OPEN_GL(target, width, height)                                             \
    do {                                                                                 \
        (target) = open(gfx::DeviceKind::hardware, (width), (height));                   \
        if ((target).device == nullptr) {                                                \
            if (inCi()) FAIL() << "no OpenGL context could be made; CI installs Mesa's"; \
            GTEST_SKIP() << "no OpenGL context could be made here";                      \
        }                                                                                \
    } while (false)

}  // namespace glint::test
