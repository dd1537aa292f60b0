// A module as loaded: pattern cells unpacked, instruments with their envelopes, and
// samples widened to 16-bit frames with a guard frame after the played part.
#pragma once

#include <array>
#include <cstdint>

#include "mixer/sample.h"

namespace vorn3 {

inline constexpr std::uint8_t kKeyOff = 255;   // note value of a key-off cell
inline constexpr std::uint8_t kNoteCut = 254;  // note value of a cell that stops the note
inline constexpr std::int32_t kNoteCount = 96;
inline constexpr std::int32_t kMaxPatternRows = 256;
inline constexpr std::int32_t kSampleSlots = 16;
inline constexpr std::int32_t kEnvelopeLoadedPoints = 12;
// Room beyond the loaded points, so that a look one or two points past the last
// loaded one stays inside the record.
inline constexpr std::int32_t kEnvelopeCapacity = 20;

struct PatternCell {
    std::uint8_t note;        // 0 none, 1..96, kKeyOff, kNoteCut
    std::uint8_t instrument;  // 0 none, 1..128
    std::uint8_t volume;      // volume-column command
    std::uint8_t effect;
    std::uint8_t parameter;
};
static_assert(sizeof(PatternCell) == 5);

struct PatternSlot {
    std::int32_t rows;   // 1..256 once loaded
    PatternCell* cells;  // rows × channelCount, row by row
};

struct EnvelopePoint {
    std::uint16_t tick;   // ticks from the note start, never decreasing
    std::uint16_t value;  // 0..64; panning has its centre at 32
};

// Bits of Envelope::type.
inline constexpr std::uint8_t kEnvelopeOn = 1;
inline constexpr std::uint8_t kEnvelopeSustain = 2;
inline constexpr std::uint8_t kEnvelopeLoop = 4;

struct Envelope {
    std::array<EnvelopePoint, kEnvelopeCapacity> points;
    // Once loaded, every index below is below pointCount or its bit in type is clear.
    std::uint8_t pointCount;  // 0..kEnvelopeLoadedPoints
    std::uint8_t sustainPoint;
    std::uint8_t loopStart;
    std::uint8_t loopEnd;
    std::uint8_t type;  // kEnvelope bits; 0 with fewer than 2 points
};

inline constexpr std::int32_t kNameBytes = 22;  // of instrument and sample names
using Name = std::array<char, kNameBytes + 1>;  // ends in a zero byte

struct Instrument {
    std::int32_t sampleCount;  // 0..kSampleSlots; the first sampleCount slots are owned
    std::array<Sample*, kSampleSlots> samples;    // slots from sampleCount on: &emptySample
    std::array<std::uint8_t, kNoteCount> keymap;  // sample slot per note
    Envelope volumeEnvelope;
    Envelope panningEnvelope;
    std::uint8_t vibratoType;
    std::uint8_t vibratoSweep;  // ticks
    std::uint8_t vibratoDepth;
    std::uint8_t vibratoRate;  // 1/256 cycle per tick
    std::int32_t fadeout;      // per tick, of 65536; twice the file's value
    Name name;
    std::array<Name, kSampleSlots> sampleNames;
};

// Shared stand-ins for missing samples and instruments; never freed, never written.
extern Sample emptySample;
extern const Instrument emptyInstrument;

}  // namespace vorn3
