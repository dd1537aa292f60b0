// The built content drawn through the software device lands where the content table
// places it: the title plate straight ahead, the planes above and below the horizon.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/content.h"
#include "platform/gfx/software_device.h"
#include "platform/image/png_writer.h"
#include "platform/resources.h"

namespace glint {
namespace {

constexpr std::int32_t kWidth = 640;
constexpr std::int32_t kHeight = 480;
constexpr std::uint32_t kBlack = 0;

// The show's projection: clip space (2x, 2y, z − 1, z).
constexpr gfx::TransformMatrix kProjection{
    {{2, 0, 0, 0}, {0, 2, 0, 0}, {0, 0, 1, 1}, {0, 0, -1, 0}}};

class ContentPicture : public ::testing::Test {
protected:
    void SetUp() override {
        useResources(embeddedResources());
        target.width = kWidth;
        target.height = kHeight;
        target.pixels.assign(kWidth * kHeight, kBlack);
        target.depth.assign(kWidth * kHeight, 1.0f);
        device = gfx::createSoftwareDevice(target);
        device->setViewport({0, 0, kWidth, kHeight, 0.0f, 1.0f});
        device->setRenderState(gfx::RenderState::cullMode, gfx::kCullNone);
        buildSceneContent(*device);
        device->setRenderState(gfx::RenderState::ambient, 0xFFFFFFFF);
        device->setTransform(gfx::TransformKind::projection, kProjection);
        sceneContent().mainCamera.posZ = 50;
        device->setTransform(gfx::TransformKind::view, sceneContent().mainCamera.viewMatrix());
        device->setRenderState(gfx::RenderState::fogEnable, 0);
    }
    void TearDown() override {
        resetSceneContent();
        useResources({});
    }

    std::uint32_t at(std::int32_t x, std::int32_t y) const {
        return target.pixels[static_cast<std::size_t>(y * kWidth + x)] & 0xFFFFFF;
    }
    bool anyLitIn(std::int32_t left, std::int32_t top, std::int32_t right,
                  std::int32_t bottom) const {
        for (std::int32_t y = top; y < bottom; ++y) {
            for (std::int32_t x = left; x < right; ++x) {
                if (at(x, y) != kBlack) return true;
            }
        }
        return false;
    }

    gfx::Surface target;
    std::unique_ptr<gfx::Device> device;
};

TEST_F(ContentPicture, PlatesAndPlanesLandWhereTheyArePlaced) {
    SceneContent& content = sceneContent();
    resetDrawnLists(content.titlePlate);
    device->beginScene();
    content.titlePlate.draw(*device);
    device->endScene();
    device->readBack();
    // 10 × 3 units at x = 1.4, 50 units ahead: 128 × 38 pixels centred on (338, 240).
    EXPECT_TRUE(anyLitIn(280, 225, 400, 255));
    EXPECT_FALSE(anyLitIn(0, 0, 270, kHeight)) << "nothing left of the plate";
    EXPECT_FALSE(anyLitIn(410, 0, kWidth, kHeight)) << "nothing right of the plate";
    EXPECT_FALSE(anyLitIn(0, 0, kWidth, 215)) << "nothing above the plate";

    device->beginScene();
    content.floorGroup.drawAll(*device);
    device->endScene();
    device->readBack();
    EXPECT_NE(at(320, 5), kBlack) << "the upper plane fills the top";
    EXPECT_NE(at(320, 474), kBlack) << "the lower plane fills the bottom";

    const auto file = std::filesystem::temp_directory_path() / "glint-content.png";
    EXPECT_TRUE(image::writePng(file.string(), kWidth, kHeight, target.pixels.data()));
    EXPECT_GT(std::filesystem::file_size(file), 1000u);
    std::filesystem::remove(file);
}

}  // namespace
}  // namespace glint
