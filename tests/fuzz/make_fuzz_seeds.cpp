// Writes the fuzzer's seed modules into the directory given.
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "tests/fuzz/fuzz_seeds.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_fuzz_seeds DIRECTORY\n");
        return 2;
    }
    const std::filesystem::path directory = argv[1];
    std::filesystem::create_directories(directory);
    for (const glint::FuzzSeed& seed : glint::fuzzSeeds()) {
        std::ofstream(directory / seed.name, std::ios::binary)
            .write(reinterpret_cast<const char*>(seed.bytes.data()),
                   static_cast<std::streamsize>(seed.bytes.size()));
    }
    return 0;
}
