// Shared set-up for the player's tests: clean library state, the host's resource stream
// as the stream callbacks, and modules served from memory as resource 112.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/resources.h"
#include "player/song.h"
#include "tools/xm_writer/xm_writer.h"

namespace vorn3 {

struct SongDeleter {
    void operator()(Song* song) const { songFree(song); }
};
using SongPtr = std::unique_ptr<Song, SongDeleter>;

class PlayerTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Serves `bytes` as the song resource until the next call.
    void serve(std::vector<std::uint8_t> bytes);
    SongPtr load(std::vector<std::uint8_t> bytes, SampleDataHook hook = nullptr);
    SongPtr load(const xm::Module& module) { return load(xm::writeModule(module)); }

private:
    std::vector<std::uint8_t> served_;
    std::array<glint::ResourceEntry, 1> table_{};
};

// A sample of `length` 16-bit frames, each different from its neighbours.
xm::Sample rampSample(std::uint32_t length, bool sixteenBit = true);

// One pattern, one instrument with one sample, four channels.
xm::Module smallModule();

// The checks every loaded song must pass, whatever file it came from.
void expectPlayable(const Song& song);

}  // namespace vorn3
