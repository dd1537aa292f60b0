#include "formats/reader.h"

#include <algorithm>
#include <cstring>

namespace vorn3 {
namespace {

std::uint32_t readLittleEndian(Reader& reader, std::int32_t byteCount) {
    std::uint8_t bytes[4];
    readBytes(reader, bytes, byteCount);
    std::uint32_t value = 0;
    for (std::int32_t i = byteCount - 1; i >= 0; --i)
        value = value << 8 | bytes[i];
    return value;
}

}  // namespace

Reader openReader(SongStream* stream) {
    streamSeek(stream, 0, kSeekToEnd);
    const std::int64_t size = std::max(streamTell(stream), 0);
    streamSeek(stream, 0, kSeekFromStart);
    return {stream, size, 0, &kHeaderRegion, nullptr, nullptr};
}

void noteCut(Reader& reader, const Region& region) {
    const Region*& first = region.mayBeCut ? reader.cutShort : reader.cutNeeded;
    if (!first) first = &region;
}

void seekTo(Reader& reader, std::int64_t offset) {
    reader.position = std::clamp<std::int64_t>(offset, 0, reader.size);
    streamSeek(reader.stream, static_cast<std::int32_t>(reader.position), kSeekFromStart);
}

void skip(Reader& reader, std::int64_t count) {
    seekTo(reader, reader.position + count);
}

bool atEnd(const Reader& reader) {
    return reader.position >= reader.size;
}

void readBytes(Reader& reader, void* destination, std::int64_t count) {
    std::memset(destination, 0, static_cast<std::size_t>(count));
    if (count > reader.size - reader.position) noteCut(reader, *reader.region);
    const std::int64_t wanted = std::min(count, reader.size - reader.position);
    if (wanted <= 0) return;
    const std::int32_t copied =
        streamRead(destination, static_cast<std::int32_t>(wanted), reader.stream);
    reader.position += std::clamp<std::int64_t>(copied, 0, wanted);
}

std::uint8_t readU8(Reader& reader) {
    return static_cast<std::uint8_t>(readLittleEndian(reader, 1));
}
std::uint16_t readU16(Reader& reader) {
    return static_cast<std::uint16_t>(readLittleEndian(reader, 2));
}
std::int16_t readI16(Reader& reader) {
    return static_cast<std::int16_t>(readU16(reader));
}
std::uint32_t readU32(Reader& reader) {
    return readLittleEndian(reader, 4);
}

}  // namespace vorn3
