// Reading a module's bytes through its stream, for every format's loader: a position
// kept within the stream, and little-endian fields that read as zero past its end.
#pragma once

#include <cstdint>

#include "formats/stream.h"

namespace vorn3 {

struct Reader {
    SongStream* stream;
    std::int64_t size;      // bytes in the stream
    std::int64_t position;  // bytes from the start
};

Reader openReader(SongStream* stream);
// Offsets outside the stream are taken as its nearest end.
void seekTo(Reader& reader, std::int64_t offset);
void skip(Reader& reader, std::int64_t count);
bool atEnd(const Reader& reader);
// What the stream lacks reads as zero.
void readBytes(Reader& reader, void* destination, std::int64_t count);
std::uint8_t readU8(Reader& reader);
std::uint16_t readU16(Reader& reader);
std::int16_t readI16(Reader& reader);
std::uint32_t readU32(Reader& reader);

}  // namespace vorn3
