// The recorded show: frame times, sound played and the song position the timeline sees
// follow from the frame index alone, with the output's latency as the mixing thread
// gives it.
#include "shell/deterministic_show.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "engine/content.h"
#include "platform/resources.h"
#include "scenes/timeline.h"
#include "shell/music.h"
#include "shell/resource_stream.h"
#include "writers/xm_writer.h"

namespace glint {
namespace {

constexpr std::int32_t kSongId = 112;
constexpr std::int64_t kChunkFrames = 884;
constexpr std::int64_t kFramesPerRow = 5712;  // speed 7 at 135 BPM: 7 × 816

constexpr std::int32_t kRingFrames = 88400;  // the show's 1000 ms ring: 100 chunks

// Speed 7 at 135 BPM like the show's song, with a note on every fourth row so that the
// sound tells one moment from another.
std::vector<std::uint8_t> showPacedSong() {
    xm::Module module;
    module.channels = 2;
    module.tempo = 7;
    module.bpm = 135;
    module.orders = {0, 0, 0, 0};
    xm::Pattern pattern;
    pattern.cells.resize(64 * 2);
    for (int row = 0; row < 64; row += 4) {
        pattern.cells[static_cast<std::size_t>(row * 2)] = {
            static_cast<std::uint8_t>(37 + row % 24), 1, 0, 0, 0};
    }
    module.patterns = {pattern};
    xm::Sample saw;
    for (int i = 0; i < 64; ++i)
        saw.frames.push_back(static_cast<std::int16_t>(i * 800 - 25600));
    saw.sixteenBit = true;
    saw.loop = xm::Loop::forward;
    saw.loopLength = 64;
    xm::Instrument instrument;
    instrument.samples = {saw};
    module.instruments = {instrument};
    return xm::writeModule(module);
}

// The song as rendered offline, without a device: what the show must be heard to play.
std::vector<std::int16_t> renderOffline(std::int32_t frames) {
    vorn3::setStreamCallbacks(resourceOpen, resourceClose, vorn3::memoryRead, vorn3::memorySeek,
                              vorn3::memoryTell);
    vorn3::Song* song = vorn3::songCreate("intro.xm", nullptr);
    EXPECT_NE(song, nullptr);
    vorn3::setWaveDevice(nullptr, vorn3::MixingDriver::host);
    vorn3::setBufferLength(1000);
    EXPECT_TRUE(vorn3::openAudio(kOutputRate));
    EXPECT_TRUE(vorn3::songStart(song));
    std::vector<std::int16_t> sound(static_cast<std::size_t>(frames) * 2);
    EXPECT_EQ(vorn3::renderAudio(sound.data(), frames), frames);
    vorn3::songFree(song);
    vorn3::closeAudio();
    return sound;
}

class DeterministicShowTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetSceneContent();
        resetTimeline();
        song = showPacedSong();
        resources[0] = {ResourceType::rcData, kSongId, song.data(),
                        static_cast<std::uint32_t>(song.size())};
        useResources(resources);
    }
    void TearDown() override { useResources({}); }

    std::vector<std::uint8_t> song;
    ResourceEntry resources[1];
    std::vector<ShowEvent> events;
};

TEST_F(DeterministicShowTest, FramesComeAtFixedTimesWithTheSoundPlayedToThem) {
    DeterministicShow show(60);
    ASSERT_EQ(startDeterministicShow(show), 0);
    std::vector<std::int16_t> heard;
    show.heard = &heard;
    for (int frame = 0; frame <= 90; ++frame) {
        ASSERT_TRUE(advanceFrame(show, events));
        EXPECT_EQ(show.framesHeard, static_cast<std::uint64_t>(frame) * 735u);
        EXPECT_EQ(show.shell.sceneTime,
                  sceneTimeAt(static_cast<std::uint32_t>(frame * 1000 / 60), 0));
    }
    EXPECT_EQ(heard.size(), 90u * 735u * 2u);
    EXPECT_NE(lastFrame(show), nullptr);
}

TEST_F(DeterministicShowTest, TheFirstFrameShowsOnlyTheClearColour) {
    DeterministicShow show(60);
    ASSERT_EQ(startDeterministicShow(show), 0);
    ASSERT_TRUE(advanceFrame(show, events));
    const gfx::Surface* frame = lastFrame(show);
    ASSERT_NE(frame, nullptr);
    for (std::uint32_t pixel : frame->pixels)
        ASSERT_EQ(pixel & 0xFFFFFF, 0x0A1428u);
}

TEST_F(DeterministicShowTest, TheSongRunsAheadByTheFilledPartOfTheRing) {
    DeterministicShow show(50);
    ASSERT_EQ(startDeterministicShow(show), 0);
    for (int frame = 0; frame < 500; ++frame) {
        ASSERT_TRUE(advanceFrame(show, events));
        // Every chunk the device has left is filled; the song has mixed that much.
        const std::int64_t mixed =
            static_cast<std::int64_t>(show.framesHeard) / kChunkFrames * kChunkFrames;
        const std::int64_t row = mixed == 0 ? 0 : (mixed - 1) / kFramesPerRow;
        ASSERT_EQ(timeline().songPosition().row, row % 64) << "frame " << frame;
        ASSERT_EQ(timeline().songPosition().order, row / 64) << "frame " << frame;
    }
}

TEST_F(DeterministicShowTest, TheSoundHeardIsTheOfflineRenderOneRingLater) {
    const std::vector<std::int16_t> offline = renderOffline(60000);
    DeterministicShow show(60);
    ASSERT_EQ(startDeterministicShow(show), 0);
    std::vector<std::int16_t> heard;
    show.heard = &heard;
    while (show.framesHeard < kRingFrames + 60000)
        ASSERT_TRUE(advanceFrame(show, events));

    const auto ringSamples = static_cast<std::ptrdiff_t>(kRingFrames) * 2;
    EXPECT_TRUE(std::all_of(heard.begin(), heard.begin() + ringSamples, [](std::int16_t value) {
        return value == 0;
    })) << "the ring is silent until the device comes round to the first chunk filled";
    ASSERT_TRUE(std::any_of(offline.begin(), offline.end(), [](std::int16_t v) { return v != 0; }));
    EXPECT_TRUE(std::equal(offline.begin(), offline.end(), heard.begin() + ringSamples));
}

TEST_F(DeterministicShowTest, EventsAreReportedOncePerChangeAndFlashRun) {
    DeterministicShow show(60);
    ASSERT_EQ(startDeterministicShow(show), 0);
    ASSERT_TRUE(advanceFrame(show, events));
    EXPECT_TRUE(events.empty());

    timeline().songPosition = [] { return SongPosition{4, 13}; };  // heard: (3, 61)
    ASSERT_TRUE(advanceFrame(show, events));
    ASSERT_TRUE(advanceFrame(show, events));
    ASSERT_EQ(events.size(), 1u) << "a flash lasting two frames is one event";
    EXPECT_EQ(events[0].kind, ShowEvent::Kind::flash);
    for (std::uint32_t pixel : lastFrame(show)->pixels)
        ASSERT_EQ(pixel & 0xFFFFFF, 0xFFFFFFu);

    events.clear();
    timeline().songPosition = [] { return SongPosition{4, 14}; };  // heard: (3, 62)
    ASSERT_TRUE(advanceFrame(show, events));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, ShowEvent::Kind::sceneChange);
    EXPECT_EQ(events[0].fromScene, 0);
    EXPECT_EQ(events[0].toScene, 1);
    EXPECT_EQ(events[0].sceneTime, show.shell.sceneTime);

    events.clear();
    timeline().sceneIndex = 7;
    timeline().songPosition = [] { return SongPosition{19, 37}; };  // heard: (19, 21)
    ASSERT_TRUE(advanceFrame(show, events));
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].kind, ShowEvent::Kind::quit);
    EXPECT_FALSE(advanceFrame(show, events)) << "the loop ends after the quit frame";
}

}  // namespace
}  // namespace glint
