// The output: the ring's chunk logic driven through the virtual device, the mixing
// thread and its boundary with the control thread, offline rendering and the devices.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "mixer/mixer.h"
#include "player/tick.h"
#include "support/player_fixture.h"

namespace vorn3 {
namespace {

constexpr std::int32_t kRate = 44100;
constexpr std::int32_t kChunk = 884;

class OutputTest : public PlayerTest {
protected:
    void openVirtual(std::int32_t bufferMs, MixingDriver driver = MixingDriver::host) {
        setBufferLength(bufferMs);
        setWaveDevice(&device_, driver);
        ASSERT_TRUE(openAudio(kRate));
    }

    VirtualWaveDevice device_;
};

TEST_F(OutputTest, ATwoChunkRingAlternatesBetweenItsChunks) {
    openVirtual(20);
    EXPECT_EQ(defaultMixer().output.ringFrames, 2 * kChunk);
    EXPECT_FALSE(pumpAudio());  // the device is in chunk 0, which is the next to fill
    for (std::int32_t round = 0; round < 6; ++round) {
        device_.play(kChunk);
        EXPECT_TRUE(pumpAudio()) << round;
        EXPECT_FALSE(pumpAudio()) << round;  // one chunk per pass, none twice
        EXPECT_EQ(defaultMixer().chunksFilled, static_cast<std::uint64_t>(round) + 1) << round;
    }
}

// Chunks are counted from the output's opening: a chunk is filled once the device has
// played past it, however far the device went between two polls, and one the device has
// played stale (a whole ring ago) is skipped.
TEST_F(OutputTest, EveryChunkTheDeviceHasLeftIsFilledHoweverFarItWent) {
    struct Case {
        std::uint64_t filled;   // chunks, before the pump
        std::uint64_t playing;  // the device's chunk
        bool due;
        std::uint64_t filledAfter;
    };
    const Case cases[] = {
        {0, 0, false, 0},    {0, 1, true, 1},     {1, 1, false, 1},
        {9, 10, true, 10},   {10, 10, false, 10}, {12, 13, true, 13},
        {13, 13, false, 13}, {18, 25, true, 19},  // the device went over the ring's end between two
                                                  // polls
        {5, 15, true, 7},  // a whole ring ahead: chunk 5 was heard stale, 6 is filled
        {5, 30, true, 22},
    };
    for (const Case& test : cases) {
        resetMixer(defaultMixer());
        openVirtual(100);  // 10 chunks
        device_.play(static_cast<std::int32_t>(test.playing) * kChunk + 17);
        defaultMixer().chunksFilled = test.filled;
        EXPECT_EQ(pumpAudio(), test.due) << test.filled << " " << test.playing;
        EXPECT_EQ(defaultMixer().chunksFilled, test.filledAfter)
            << test.filled << " " << test.playing;
    }
}

TEST_F(OutputTest, TheFirstFillComesInChunkOneAndIsHeardAfterTheSilentRing) {
    openVirtual(100);
    SongPtr song = load(droneModule());
    ASSERT_TRUE(songStart(song.get()));
    device_.play(kChunk - 1);
    EXPECT_FALSE(pumpAudio());
    EXPECT_EQ(song->tick, 0);  // no tick before the first fill
    device_.play(1);
    EXPECT_TRUE(pumpAudio());
    EXPECT_EQ(song->tick, 2);  // ticks at frames 0 and 816 of the chunk

    const std::int32_t ringFrames = defaultMixer().output.ringFrames;
    const std::vector<std::int16_t> heard = playAndPump(device_, 2 * ringFrames);
    const auto firstSound = static_cast<std::int32_t>(
        std::find_if(heard.begin(), heard.end(), [](std::int16_t v) { return v != 0; }) -
        heard.begin());
    EXPECT_EQ(firstSound / 2 + kChunk, ringFrames + 1);  // frame 1 of a ramp from silence
}

TEST_F(OutputTest, TheRingAsHeardIsTheOfflineRenderOneRingLater) {
    const xm::Module module = droneModule();
    const std::int32_t frames = 3 * 5712 + 321;
    std::vector<std::int16_t> offline(2 * static_cast<std::size_t>(frames));
    {
        ASSERT_TRUE(openAudio(kRate));
        SongPtr song = load(module);
        ASSERT_TRUE(songStart(song.get()));
        for (std::int32_t done = 0, piece = 1; done < frames;
             done += piece, piece = piece * 3 % 1000) {
            piece = std::min(piece, frames - done);
            ASSERT_EQ(renderAudio(offline.data() + 2 * done, piece), piece);
        }
    }
    openVirtual(60);
    SongPtr song = load(module);
    ASSERT_TRUE(songStart(song.get()));
    const std::int32_t ringFrames = defaultMixer().output.ringFrames;
    const std::vector<std::int16_t> heard = playAndPump(device_, ringFrames + frames);
    EXPECT_TRUE(std::equal(offline.begin(), offline.end(), heard.begin() + 2 * ringFrames));
    EXPECT_NE(offline[2 * 5712 + 100], 0);
}

TEST_F(OutputTest, RenderingIsTheSameWhateverThePieces) {
    ASSERT_TRUE(openAudio(kRate));
    SongPtr song = load(droneModule());
    ASSERT_TRUE(songStart(song.get()));
    std::vector<std::int16_t> whole(2 * 9000);
    ASSERT_EQ(renderAudio(whole.data(), 9000), 9000);
    EXPECT_NEAR(song->client.elapsedSeconds, 11 * kChunk / double{kRate}, 1e-4);  // whole chunks

    closeAudio();
    EXPECT_EQ(renderAudio(whole.data(), 10), 0);  // nothing open
    ASSERT_TRUE(openAudio(kRate));
    ASSERT_TRUE(songStart(song.get()));
    std::vector<std::int16_t> pieces(2 * 9000);
    for (std::int32_t done = 0; done < 9000; done += 1000)
        renderAudio(pieces.data() + 2 * done, 1000);
    EXPECT_EQ(pieces, whole);
}

TEST_F(OutputTest, ASongThatIsNotPlayingKeepsItsFramesAndGetsNoTicks) {
    openVirtual(100);
    SongPtr paused = load(droneModule());
    SongPtr playing = load(droneModule());
    ASSERT_TRUE(songStart(paused.get()));
    ASSERT_TRUE(songStart(playing.get()));
    device_.play(kChunk);
    ASSERT_TRUE(pumpAudio());
    const std::int32_t left = paused->client.samplesLeftInTick;
    const std::int32_t tick = paused->tick;
    paused->client.playing = false;
    device_.play(kChunk);
    ASSERT_TRUE(pumpAudio());
    EXPECT_EQ(paused->client.samplesLeftInTick, left);
    EXPECT_EQ(paused->tick, tick);
    EXPECT_EQ(playing->client.samplesLeftInTick, (816 - 2 * kChunk % 816) % 816);
}

TEST_F(OutputTest, AnOutputWhoseDeviceFailsIsNotOpen) {
    struct BrokenDevice final : WaveDevice {
        bool open(const std::int16_t*, std::int32_t, std::int32_t) override { return false; }
        std::uint64_t framesPlayed() override { return 0; }
        void close() override {}
    } broken;
    setWaveDevice(&broken, MixingDriver::thread);
    EXPECT_FALSE(openAudio(kRate));
    EXPECT_EQ(defaultMixer().voicePool, nullptr);
    EXPECT_FALSE(defaultMixer().thread.joinable());
}

TEST_F(OutputTest, ALaterOutputStartsFillingAtChunkZero) {
    openVirtual(100);
    device_.play(3 * kChunk);
    ASSERT_TRUE(pumpAudio());
    ASSERT_TRUE(pumpAudio());
    EXPECT_EQ(defaultMixer().chunksFilled, 2u);
    ASSERT_TRUE(openAudio(kRate));
    EXPECT_EQ(defaultMixer().chunksFilled, 0u);
    EXPECT_EQ(device_.framesPlayed(), 0u);
    EXPECT_FALSE(pumpAudio());
}

TEST_F(OutputTest, TheSilentDeviceFollowsTheWallClock) {
    SilentWaveDevice silent;
    std::vector<std::int16_t> ring(100);
    ASSERT_TRUE(silent.open(ring.data(), 50, kRate));
    const std::uint64_t before = silent.framesPlayed();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_GE(silent.framesPlayed() - before, std::uint64_t{kRate} * 30 / 1000);
}

std::int64_t testNanoseconds = 0;

std::int64_t testClock() {
    return testNanoseconds;
}

// At 1000 frames a second with a ring of 400 frames, polled every millisecond as a
// mixing thread polls: a device that plays nothing for 200 ms is lost, and the count goes
// on at a frame a millisecond from where it stood until a retry finds the device again.
TEST(CarryingDeviceTest, PlaybackGoesOnSilentlyAndComesBackToTheDevice) {
    constexpr std::int32_t kTestRate = 1000;
    constexpr std::int32_t kRingFrames = 400;
    const struct Step {
        std::int64_t ms;      // on the clock at the step's last poll
        bool slept;           // no polls since the step before
        std::uint64_t plays;  // frames the device plays before the last poll
        bool gone;            // the device says it has gone away
        bool available;       // a device can be opened
        std::uint64_t count;  // expected at the last poll
        bool silent;          // expected
    } steps[] = {
        {100, false, 100, false, true, 100, false},
        {300, false, 0, false, true, 100, false},  // standing still for 200 ms
        {301, false, 0, false, false, 100, true},  // longer: lost, going on where it stood
        {401, false, 0, false, false, 200, true},
        {2401, false, 0, false, false, 2200, true},  // the retry at 2301 found no device
        {4401, false, 0, false, true, 4100, false},  // the next one opened it at 4100
        {4451, false, 50, false, true, 4150, false},
        {9451, true, 0, false, true, 4150, false},  // the process did not run for 5 s
        {9452, false, 0, true, true, 4150, true},   // it says it has gone
        {9552, false, 0, false, false, 4250, true},
        {12552, true, 0, false, false, 4250, true},  // nor for 3 s now
    };
    FlakyWaveDevice flaky;
    CarryingWaveDevice carrying(flaky, testClock);
    std::vector<std::int16_t> ring(2 * kRingFrames);
    testNanoseconds = 0;
    ASSERT_TRUE(carrying.open(ring.data(), kRingFrames, kTestRate));
    std::int64_t ms = 0;
    for (const Step& step : steps) {
        flaky.gone = step.gone;
        flaky.available = step.available;
        for (ms = step.slept ? step.ms : ms + 1; ms < step.ms; ++ms) {
            testNanoseconds = ms * 1'000'000;
            carrying.framesPlayed();
        }
        testNanoseconds = step.ms * 1'000'000;
        flaky.played += step.plays;
        EXPECT_EQ(carrying.framesPlayed(), step.count) << step.ms << " ms";
        EXPECT_EQ(carrying.silent(), step.silent) << step.ms << " ms";
        EXPECT_EQ(flaky.isOpen, !step.silent) << step.ms << " ms";
    }
    EXPECT_EQ(flaky.firstFrame, 4100u);
    carrying.close();
    EXPECT_FALSE(flaky.isOpen);
}

// Blocks the mixing thread inside a chunk until the test lets it go on.
std::atomic<bool> insideTick{false};
std::atomic<bool> releaseTick{false};

void blockingTick(Song& song) {
    insideTick = true;
    while (!releaseTick)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    songTick(song);
}

TEST_F(OutputTest, ACloseDuringAFillLetsTheChunkFinish) {
    openVirtual(100, MixingDriver::thread);
    SongPtr song = load(droneModule());
    ASSERT_TRUE(songStart(song.get()));
    insideTick = false;
    releaseTick = false;
    song->tickHook = blockingTick;
    device_.play(kChunk);
    while (!insideTick)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(defaultMixer().mixBusy);

    std::atomic<bool> closed{false};
    std::thread closer([&] {
        closeAudio();
        closed = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(closed);
    releaseTick = true;
    closer.join();
    EXPECT_FALSE(defaultMixer().mixBusy);
    EXPECT_TRUE(defaultMixer().threadExited);
    EXPECT_EQ(song->client.samplesLeftInTick, 816 - kChunk % 816);  // the whole chunk was mixed
    EXPECT_FALSE(device_.isOpen());
}

// A device racing ahead a chunk at every look, so that the thread fills one per pass.
struct RacingDevice final : WaveDevice {
    bool open(const std::int16_t*, std::int32_t, std::int32_t) override {
        played = 0;
        return true;
    }
    std::uint64_t framesPlayed() override { return played += kChunk; }
    void close() override {}
    std::uint64_t played = 0;  // touched by the mixing thread only
};

TEST_F(OutputTest, SongsStartStopAndGoWhileTheThreadMixes) {
    RacingDevice racing;
    setWaveDevice(&racing, MixingDriver::thread);
    ASSERT_TRUE(openAudio(kRate));
    SongPtr steady = load(droneModule());
    ASSERT_TRUE(songStart(steady.get()));
    std::int32_t rowsSeen = 0;
    for (std::int32_t round = 0; round < 60; ++round) {
        SongPtr song = load(droneModule());
        ASSERT_TRUE(songStart(song.get()));
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        rowsSeen = std::max(rowsSeen, songGetRow(steady.get()));
        if (round % 3 == 0) {
            ASSERT_TRUE(songStop(song.get()));
        }
        if (round % 25 == 24) {
            ASSERT_TRUE(songStart(steady.get()));
        }
        if (round % 20 == 19) {
            ASSERT_TRUE(openAudio(kRate));
        }
        songEnded(song.get());
    }
    EXPECT_GT(rowsSeen, 0);
    closeAudio();
    EXPECT_TRUE(defaultMixer().threadExited);
}

}  // namespace
}  // namespace vorn3
