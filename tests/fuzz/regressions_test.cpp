// Every input the fuzzer found a fault with, played as the fuzzer plays it; and the
// seeds and the show's song, which must load, play and sound as they always have.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_seeds.h"
#include "tests/fuzz/module_player.h"
#include "vorn3/player.h"

namespace glint {
namespace {

std::vector<std::uint8_t> readFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

std::vector<std::filesystem::path> regressionInputs() {
    std::vector<std::filesystem::path> inputs;
    for (const auto& entry : std::filesystem::directory_iterator(FUZZ_REGRESSIONS)) {
        const std::filesystem::path extension = entry.path().extension();
        if (extension == ".xm" || extension == ".mod" || extension == ".s3m" ||
            extension == ".it") {
            inputs.push_back(entry.path());
        }
    }
    return inputs;
}

class FuzzRegressionTest : public ::testing::TestWithParam<std::filesystem::path> {};

TEST_P(FuzzRegressionTest, PlaysWithoutFault) {
    const std::vector<std::uint8_t> bytes = readFile(GetParam());
    ASSERT_FALSE(bytes.empty());
    playModule(bytes);
}

INSTANTIATE_TEST_SUITE_P(Inputs, FuzzRegressionTest, ::testing::ValuesIn(regressionInputs()),
                         [](const auto& input) { return input.param.stem().string(); });

TEST(FuzzSeedTest, SeedsAndTheShowsSongLoadAndPlay) {
    for (const FuzzSeed& seed : fuzzSeeds()) {
        EXPECT_TRUE(playModule(seed.bytes)) << seed.name;
    }
    EXPECT_TRUE(playModule(readFile(SHOW_SONG)));
}

constexpr std::int32_t kHashRate = 44100;
constexpr std::int32_t kHashedSeconds = 20;
constexpr std::int32_t kSeekOrder = 1;
constexpr std::int32_t kHashedSecondsAfterSeek = 5;

void hashFrames(std::uint64_t& hash, vorn3::Tune& tune, std::int32_t seconds) {
    std::array<std::int16_t, 2 * 4096> frames{};
    for (std::int32_t left = kHashRate * seconds; left > 0;) {
        const std::int32_t asked = std::min<std::int32_t>(left, frames.size() / 2);
        const std::int32_t made = vorn3::tuneRender(tune, frames.data(), asked);
        for (std::int32_t i = 0; i < 2 * made; ++i) {
            for (const int shift : {0, 8}) {
                hash ^= static_cast<std::uint16_t>(frames[std::size_t(i)]) >> shift & 0xFF;
                hash *= 1099511628211ull;
            }
        }
        if (made < asked) return;
        left -= made;
    }
}

// FNV-1a of the first seconds of a song, then of a few seconds from the second order
// on, reached by seeking.
std::uint64_t renderHash(const std::vector<std::uint8_t>& bytes) {
    vorn3::TuneLoad load = vorn3::tuneLoad(bytes.data(), bytes.size(), kHashRate);
    if (!load.tune) return 0;
    std::uint64_t hash = 14695981039346656037ull;
    hashFrames(hash, *load.tune, kHashedSeconds);
    vorn3::tuneSeekPosition(*load.tune, kSeekOrder, 0);
    hashFrames(hash, *load.tune, kHashedSecondsAfterSeek);
    vorn3::tuneFree(load.tune);
    return hash;
}

// Taken from the renders before the player's inside was rearranged.
const std::pair<const char*, std::uint64_t> kRenderHashes[] = {
    {"effects.xm", 0x0eda556c0b44a0e3ull}, {"envelopes.xm", 0x7080e97c2528974dull},
    {"demo.xm", 0x9fc86444b17f79feull},    {"effects.mod", 0x1ca6db5ec2f4e250ull},
    {"eight.mod", 0xef02b16880c5de73ull},  {"soundtracker.mod", 0x127b6ad14a1a39b5ull},
    {"signed.s3m", 0x9f9b90ef7c1e74c0ull}, {"unsigned.s3m", 0x9f9b90ef7c1e74c0ull},
    {"show.xm", 0xfce602662439866eull},
};

// IT's playing is still being built: its seeds are not held to a sound yet.
TEST(FuzzSeedTest, SeedsAndTheShowsSongSoundAsBefore) {
    std::vector<FuzzSeed> modules = fuzzSeeds();
    std::erase_if(modules, [](const FuzzSeed& seed) { return seed.name.ends_with(".it"); });
    modules.push_back({"show.xm", readFile(SHOW_SONG)});
    ASSERT_EQ(modules.size(), std::size(kRenderHashes));
    for (std::size_t i = 0; i < modules.size(); ++i) {
        EXPECT_EQ(modules[i].name, kRenderHashes[i].first);
        EXPECT_EQ(renderHash(modules[i].bytes), kRenderHashes[i].second) << modules[i].name;
    }
}

}  // namespace
}  // namespace glint
