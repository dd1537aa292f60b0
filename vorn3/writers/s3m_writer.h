// Builds S3M modules from code, every value written as given.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace s3m {

inline constexpr std::int32_t kRows = 64;
inline constexpr std::int32_t kChannels = 32;
inline constexpr std::uint8_t kNoNote = 255;
inline constexpr std::uint8_t kNoteCut = 254;
inline constexpr std::uint8_t kNoVolume = 255;
inline constexpr std::uint8_t kDisabled = 255;  // channel setting

// Command letters as stored: A = 1 .. Z = 26.
constexpr std::uint8_t command(char letter) {
    return static_cast<std::uint8_t>(letter - 'A' + 1);
}

struct Cell {
    std::uint8_t note = kNoNote;  // octave << 4 | semitone; kNoteCut
    std::uint8_t instrument = 0;  // 1-based
    std::uint8_t volume = kNoVolume;
    std::uint8_t command = 0;  // 0 none
    std::uint8_t info = 0;
};

struct Instrument {
    std::string name{};
    std::uint8_t type = 1;               // 1 sample; others hold none
    std::vector<std::int16_t> frames{};  // 8-bit samples keep the high byte of each frame
    bool sixteenBit = false;
    bool loop = false;
    std::uint32_t loopStart = 0;  // frames
    std::uint32_t loopEnd = 0;
    std::uint8_t volume = 64;
    std::uint32_t c2Speed = 8363;
    std::optional<std::uint32_t> storedLength{};  // frames; default: from frames
};

struct Pattern {
    std::vector<Cell> cells{};  // kRows × Module::channels, row by row
};

struct Module {
    std::string title{};
    std::int32_t channels = 4;  // of each pattern row in cells
    // Default: channels 0, 3 left and 1, 2 right of each four, the rest disabled.
    std::optional<std::array<std::uint8_t, kChannels>> channelSettings{};
    std::uint8_t speed = 6;
    std::uint8_t tempo = 125;
    std::uint8_t globalVolume = 64;
    std::uint8_t masterVolume = 0xB0;  // bit 7: stereo
    std::uint16_t flags = 0;
    std::uint16_t version = 0x1320;
    std::uint16_t sampleFormat = 2;  // 1 signed, 2 unsigned
    std::optional<std::array<std::uint8_t, kChannels>> panningTable{};
    std::vector<std::uint8_t> orders = {0};  // 254 skipped, 255 end
    std::vector<Instrument> instruments{};
    std::vector<Pattern> patterns{};
};

std::vector<std::uint8_t> writeModule(const Module& module);

}  // namespace s3m
