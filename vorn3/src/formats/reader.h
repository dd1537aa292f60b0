// Reading a module's bytes through its stream, for every format's loader: a position
// kept within the stream, and little-endian fields that read as zero past its end.
#pragma once

#include <cstdint>

#include "formats/stream.h"

namespace vorn3 {

// A part of a module file, for saying where one ends early. Only the sample data and the
// song's message may be cut short: the rest of the song still plays without them.
struct Region {
    const char* name;
    bool mayBeCut;
};
inline constexpr Region kHeaderRegion{"the header", false};
inline constexpr Region kInstrumentRegion{"the instruments", false};
inline constexpr Region kPatternRegion{"the patterns", false};
inline constexpr Region kSampleDataRegion{"the sample data", true};
inline constexpr Region kMessageRegion{"the song's message", true};

struct Reader {
    SongStream* stream;
    std::int64_t size;      // bytes in the stream
    std::int64_t position;  // bytes from the start
    const Region* region;   // being read
    // The first regions a read went past the end in: one the song needs, and one it may
    // lack; null for none.
    const Region* cutNeeded;
    const Region* cutShort;
};

// The file ends before the region does.
void noteCut(Reader& reader, const Region& region);

Reader openReader(SongStream* stream);
// Offsets outside the stream are taken as its nearest end.
void seekTo(Reader& reader, std::int64_t offset);
void skip(Reader& reader, std::int64_t count);
bool atEnd(const Reader& reader);
// What the stream lacks reads as zero, and the region being read is noted as cut.
void readBytes(Reader& reader, void* destination, std::int64_t count);
std::uint8_t readU8(Reader& reader);
std::uint16_t readU16(Reader& reader);
std::int16_t readI16(Reader& reader);
std::uint32_t readU32(Reader& reader);

}  // namespace vorn3
