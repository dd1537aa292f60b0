// Small modules that between them use every effect, volume-column command, envelope
// kind and sample form, for the fuzzer to start from and the suite to play.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace glint {

struct FuzzSeed {
    std::string name;
    std::vector<std::uint8_t> bytes;
};

std::vector<FuzzSeed> fuzzSeeds();

}  // namespace glint
