// The show goes on when its parts fail: without a sound device, without its song or with
// a spoilt one, and without a bitmap.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "engine/content.h"
#include "scenes/timeline.h"
#include "shell/deterministic_show.h"
#include "shell/music.h"
#include "shell/resource_stream.h"
#include "tests/hardening/show_resources.h"

namespace glint {
namespace {

constexpr std::int32_t kFramesPerSecond = 10;
// Forty seconds: past the moment the show's song hands the first scene over.
constexpr std::int32_t kFirstSceneFrames = 400;

class NoDevice final : public vorn3::WaveDevice {
public:
    bool open(const std::int16_t*, std::int32_t, std::int32_t) override { return false; }
    std::uint64_t framesPlayed() override { return 0; }
    void close() override {}
};

class ShowFailureTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetSceneContent();
        resetTimeline();
    }

    // Runs the frames, which must all be drawn in the first scene.
    static void expectFirstSceneRuns(DeterministicShow& show, std::int32_t frames) {
        std::vector<ShowEvent> events;
        const std::uint64_t presentsBefore = show.graphics.presentCount();
        for (std::int32_t frame = 0; frame < frames; ++frame)
            ASSERT_TRUE(advanceFrame(show, events)) << "frame " << frame;
        EXPECT_TRUE(events.empty());
        EXPECT_EQ(timeline().sceneIndex, 0);
        EXPECT_EQ(show.graphics.presentCount(),
                  presentsBefore + static_cast<std::uint64_t>(frames));
        EXPECT_FLOAT_EQ(show.shell.sceneTime,
                        sceneTimeAt((frames - 1) * 1000 / kFramesPerSecond, 0));
    }

    // A close request ends the show after that frame.
    static void expectCloseEnds(DeterministicShow& show) {
        windowProcedure(show.shell, {.kind = MessageKind::close});
        std::vector<ShowEvent> events;
        EXPECT_FALSE(advanceFrame(show, events));
    }

    ShowResources resources;
};

TEST_F(ShowFailureTest, WithoutASoundDeviceTheShowAdvancesSilently) {
    NoDevice none;
    {
        DeterministicShow show(kFramesPerSecond);
        show.graphics.drawsPictures = false;
        show.shell.audio = &none;
        ASSERT_EQ(startDeterministicShow(show), 0);
        EXPECT_FALSE(vorn3::renderAudio(std::vector<std::int16_t>(2).data(), 1))
            << "no output is open";
        expectFirstSceneRuns(show, kFirstSceneFrames);
        expectCloseEnds(show);
    }

    // The sound device of the platform fails to open: the song plays on a silent device.
    const char* driver = std::getenv("SDL_AUDIODRIVER");
    const std::string savedDriver = driver ? driver : "";
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    {
        DeterministicShow show(kFramesPerSecond);
        show.graphics.drawsPictures = false;
        show.shell.audio = nullptr;
        testing::internal::CaptureStderr();
        ASSERT_EQ(startDeterministicShow(show), 0);
        EXPECT_NE(testing::internal::GetCapturedStderr().find("no sound device"),
                  std::string::npos);
        EXPECT_NE(currentSong(), nullptr);
        expectFirstSceneRuns(show, kFramesPerSecond);
        expectCloseEnds(show);
    }
    if (driver) {
        setenv("SDL_AUDIODRIVER", savedDriver.c_str(), 1);
    } else {
        unsetenv("SDL_AUDIODRIVER");
    }
}

TEST_F(ShowFailureTest, WithoutTheSongTheMessageIsPrintedAndTheFirstSceneRunsUntilClosed) {
    resources.remove(ResourceType::rcData, kSongResourceId);
    DeterministicShow show(kFramesPerSecond);
    show.graphics.drawsPictures = false;
    testing::internal::CaptureStdout();
    ASSERT_EQ(startDeterministicShow(show), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Vorn3 : Couldn't Find resource!\n");
    EXPECT_EQ(currentSong(), nullptr);
    expectFirstSceneRuns(show, kFirstSceneFrames);
    expectCloseEnds(show);
}

TEST_F(ShowFailureTest, WithASpoiltSongTheFirstSceneRunsSilently) {
    const std::vector<std::uint8_t> spoilt[] = {
        {},
        {'E', 'x', 't', 'e', 'n', 'd', 'e', 'd'},
        std::vector<std::uint8_t>(4096, 0xA5),
    };
    for (const std::vector<std::uint8_t>& bytes : spoilt) {
        SCOPED_TRACE(bytes.size());
        resetSceneContent();
        resetTimeline();
        resources.replace(ResourceType::rcData, kSongResourceId, bytes);
        DeterministicShow show(kFramesPerSecond);
        show.graphics.drawsPictures = false;
        testing::internal::CaptureStdout();
        ASSERT_EQ(startDeterministicShow(show), 0);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "the resource was found";
        EXPECT_EQ(currentSong(), nullptr);
        expectFirstSceneRuns(show, kFirstSceneFrames);
        expectCloseEnds(show);
    }
}

// The meshes each bitmap textures.
std::map<std::int32_t, std::vector<const Mesh*>> paintedMeshes(SceneContent& c) {
    return {
        {kLogoBitmap, {&c.logoPlate()}},
        {kTitleBitmap, {&c.titlePlate}},
        {kCreditABitmap, {&c.creditPlateA}},
        {kCreditBBitmap, {&c.creditPlateB}},
        {kSurfaceBitmap, {&c.backdrop, &c.waveA(), &c.waveB(), &c.upperPlane(), &c.lowerPlane()}},
        {kGreetingsBitmap, {&c.greetingsPlate}},
        {kTunnelBitmap, {&c.tunnel}},
    };
}

TEST_F(ShowFailureTest, AMissingBitmapLeavesOnlyItsObjectsUntextured) {
    const std::vector<std::int32_t> bitmaps = {kLogoBitmap,    kTitleBitmap,   kCreditABitmap,
                                               kCreditBBitmap, kSurfaceBitmap, kGreetingsBitmap,
                                               kTunnelBitmap};
    for (const std::int32_t missing : bitmaps) {
        SCOPED_TRACE(missing);
        ShowResources withoutIt;
        withoutIt.remove(ResourceType::bitmap, missing);
        resetSceneContent();
        resetTimeline();
        DeterministicShow show(kFramesPerSecond);
        ASSERT_EQ(startDeterministicShow(show), 0);
        for (const auto& [bitmap, meshes] : paintedMeshes(sceneContent())) {
            for (const Mesh* mesh : meshes) {
                ASSERT_TRUE(mesh->material);
                EXPECT_EQ(mesh->material->texture == nullptr, bitmap == missing) << bitmap;
            }
        }
        std::vector<ShowEvent> events;
        ASSERT_TRUE(advanceFrame(show, events));
        ASSERT_TRUE(advanceFrame(show, events));
        EXPECT_NE(lastFrame(show), nullptr);
    }
}

}  // namespace
}  // namespace glint
