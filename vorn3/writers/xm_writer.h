// Builds XM modules from code. Every value is written as given, so that a caller can
// make well-formed modules as well as exactly the malformed one a test needs.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace xm {

inline constexpr std::uint8_t kKeyOff = 97;
inline constexpr std::int32_t kEnvelopePoints = 12;

struct Cell {
    std::uint8_t note = 0;        // 1..96 (C-0 .. B-7), kKeyOff
    std::uint8_t instrument = 0;  // 1-based
    std::uint8_t volume = 0;      // volume-column byte
    std::uint8_t effect = 0;
    std::uint8_t parameter = 0;
};

enum class Packing : std::uint8_t {
    packed,    // a flag byte per cell, unless all five fields are present
    unpacked,  // five bytes per cell
    empty,     // packed size 0, no cell data
};

struct Pattern {
    std::uint16_t rows = 64;
    std::vector<Cell> cells{};  // rows × channels, row by row; missing cells are empty
    Packing packing = Packing::packed;
};

struct EnvelopePoint {
    std::uint16_t tick = 0;
    std::uint16_t value = 0;
};

struct Envelope {
    std::vector<EnvelopePoint> points{};             // the first kEnvelopePoints are written
    std::optional<std::uint8_t> storedPointCount{};  // default: points.size()
    std::uint8_t sustainPoint = 0;
    std::uint8_t loopStart = 0;
    std::uint8_t loopEnd = 0;
    std::uint8_t type = 0;  // 1 on, 2 sustain, 4 loop
};

enum class Loop : std::uint8_t { none = 0, forward = 1, pingPong = 2 };

struct Sample {
    std::vector<std::int16_t> frames{};  // 8-bit samples keep the high byte of each frame
    bool sixteenBit = false;
    Loop loop = Loop::none;
    std::uint32_t loopStart = 0;   // frames
    std::uint32_t loopLength = 0;  // frames
    std::uint8_t volume = 64;
    std::int8_t finetune = 0;
    std::uint8_t panning = 128;
    std::int8_t relativeNote = 0;
    std::string name{};
    std::optional<std::uint8_t> typeByte{};       // default: from loop and sixteenBit
    std::optional<std::uint32_t> storedLength{};  // bytes; default: from frames
};

struct Instrument {
    std::string name{};
    std::vector<Sample> samples{};
    std::array<std::uint8_t, 96> keymap{};  // sample per note
    Envelope volumeEnvelope{};
    Envelope panningEnvelope{};
    std::uint8_t vibratoType = 0;
    std::uint8_t vibratoSweep = 0;
    std::uint8_t vibratoDepth = 0;
    std::uint8_t vibratoRate = 0;
    std::uint16_t fadeout = 0;
    std::optional<std::uint32_t> headerSize{};         // default: what is written
    std::optional<std::uint16_t> storedSampleCount{};  // default: samples.size()
};

struct Module {
    std::string name{};
    std::uint16_t channels = 4;
    std::uint16_t restartPosition = 0;
    bool linearFrequencies = true;
    std::uint16_t tempo = 6;
    std::uint16_t bpm = 125;
    std::vector<std::uint8_t> orders = {0};  // at most 256 are written
    std::vector<Pattern> patterns{};
    std::vector<Instrument> instruments{};
    std::optional<std::uint16_t> songLength{};             // default: orders.size()
    std::optional<std::uint32_t> headerSize{};             // default: 276
    std::optional<std::uint16_t> storedPatternCount{};     // default: patterns.size()
    std::optional<std::uint16_t> storedInstrumentCount{};  // default: instruments.size()
};

std::vector<std::uint8_t> writeModule(const Module& module);

}  // namespace xm
