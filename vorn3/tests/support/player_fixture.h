// Shared set-up for the player's tests: clean library state, and stream callbacks that
// serve one module from memory whatever name is opened.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "player/player.h"
#include "player/song.h"
#include "writers/xm_writer.h"

namespace vorn3 {

struct SongDeleter {
    void operator()(Song* song) const { songFree(song); }
};
using SongPtr = std::unique_ptr<Song, SongDeleter>;

// Sample `slot` of a loaded instrument.
inline const Sample& instrumentSample(const Song& song, std::int32_t instrument,
                                      std::int32_t slot) {
    const Module& module = *song.module;
    return module.samples[module.instruments[instrument].firstSample + slot];
}

inline Mixer& defaultMixer() {
    return defaultPlayer().mixer;
}

class PlayerTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Serves `bytes` under every name until the next call.
    void serve(std::vector<std::uint8_t> bytes);
    SongPtr load(std::vector<std::uint8_t> bytes, SampleDataHook hook = nullptr);
    SongPtr load(const xm::Module& module) { return load(xm::writeModule(module)); }
};

// Opening and closing for the memory stream callbacks: a name given to serveAs opens its
// module, every other name the bytes last served.
void* memoryOpen(const char* name);
void memoryClose(void* handle);
// Serves `bytes` under `name` until the test ends.
void serveAs(const char* name, std::vector<std::uint8_t> bytes);

// A sample of `length` 16-bit frames, each different from its neighbours.
xm::Sample rampSample(std::uint32_t length, bool sixteenBit = true);

// One pattern, one instrument with one sample, four channels.
xm::Module smallModule();

// One note of a constant sample on every row: a song that is never silent once started.
xm::Module droneModule();

// Cells and modules for tests that run songs tick by tick.
xm::Cell noteCell(std::uint8_t value, std::uint8_t effect = 0, std::uint8_t parameter = 0);
xm::Cell effectCell(std::uint8_t number, std::uint8_t parameter);
xm::Cell columnCell(std::uint8_t volume, std::uint8_t number = 0, std::uint8_t parameter = 0);
// Patterns of `channels` channels, each given row by row; one order per pattern.
xm::Module patternsModule(std::vector<std::vector<xm::Cell>> cells, std::uint16_t tempo,
                          std::uint16_t channels = 1);
xm::Module rowsModule(std::vector<xm::Cell> cells, std::uint16_t tempo, std::uint16_t channels = 1);

// Songs run tick by tick through their hook, on an output without a device.
class TickingTest : public PlayerTest {
protected:
    void SetUp() override;
    SongPtr start(const xm::Module& module) { return start(xm::writeModule(module)); }
    SongPtr start(std::vector<std::uint8_t> bytes);
    static void runTicks(Song& song, std::int32_t ticks);

    // Runs one tick per expected value, comparing what `read` gives after each.
    template <typename Read>
    static void expectTicks(Song& song, const std::vector<std::int32_t>& expected, Read read) {
        for (std::size_t tick = 0; tick < expected.size(); ++tick) {
            runTicks(song, 1);
            EXPECT_EQ(read(), expected[tick]) << "tick " << tick;
        }
    }
};

// The checks every loaded song must pass, whatever file it came from.
void expectPlayable(const Song& song);

// A device that plays when told (its count moved by the test), and goes away and comes
// back when told.
struct FlakyWaveDevice final : WaveDevice {
    bool open(const std::int16_t* ring, std::int32_t ringFrames, std::int32_t rate) override {
        return openAt(ring, ringFrames, rate, 0);
    }
    bool openAt(const std::int16_t*, std::int32_t, std::int32_t, std::uint64_t first) override {
        if (!available) return false;
        isOpen = true;
        gone = false;
        firstFrame = played = first;
        return true;
    }
    std::uint64_t framesPlayed() override { return played; }
    void close() override { isOpen = false; }
    bool lost() override { return gone; }

    bool available = true;  // whether it can be opened
    bool gone = false;      // it says it has gone away
    bool isOpen = false;
    std::uint64_t firstFrame = 0;  // of the last open
    std::uint64_t played = 0;
};

// Plays `frames` frames through `device` in steps of the mixing thread's pause,
// filling the ring after each as the thread would; what was heard.
std::vector<std::int16_t> playAndPump(VirtualWaveDevice& device, std::int32_t frames);

}  // namespace vorn3
