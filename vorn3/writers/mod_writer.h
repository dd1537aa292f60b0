// Builds MOD modules from code, every value written as given: the 31-sample form with
// any mark, or the unmarked 15-sample form.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mod {

inline constexpr std::int32_t kRows = 64;

struct Cell {
    std::uint16_t period = 0;  // 0 none; 856 C-1 .. 113 B-3
    std::uint8_t sample = 0;   // 1-based
    std::uint8_t effect = 0;   // 0..15
    std::uint8_t parameter = 0;
};

struct Sample {
    std::string name{};
    std::vector<std::int8_t> data{};  // an odd last byte is left out
    std::uint8_t finetune = 0;        // signed nibble
    std::uint8_t volume = 64;
    std::uint16_t loopStart = 0;                  // words
    std::uint16_t loopLength = 1;                 // words; 1 or 0: no loop
    std::optional<std::uint16_t> storedLength{};  // words; default: from data
};

struct Pattern {
    std::vector<Cell> cells{};  // kRows × channels, row by row; missing cells are empty
};

struct Module {
    std::string title{};
    std::string mark = "M.K.";      // empty: the 15-sample form
    std::int32_t channels = 4;      // cells per row as written; the mark is what a reader sees
    std::vector<Sample> samples{};  // 31 (15) are written
    std::vector<std::uint8_t> orders = {0};
    std::uint8_t restart = 127;
    std::vector<Pattern> patterns{};
    std::optional<std::uint8_t> songLength{};  // default: orders.size()
};

std::vector<std::uint8_t> writeModule(const Module& module);

}  // namespace mod
