// Every input the fuzzer found a fault with, played as the fuzzer plays it; and the
// seeds and the show's song, which must load and play.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_seeds.h"
#include "tests/fuzz/module_player.h"

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
        if (extension == ".xm" || extension == ".mod" || extension == ".s3m") {
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

}  // namespace
}  // namespace glint
