#include "player/memory_stream.h"

#include <algorithm>
#include <cstring>

#include "vorn3/vorn3.h"

namespace vorn3 {
namespace {

MemoryReader& readerOf(void* handle) {
    return *static_cast<MemoryReader*>(handle);
}

}  // namespace

std::int32_t readMemory(void* destination, std::int32_t byteCount, void* reader) {
    MemoryReader& memory = readerOf(reader);
    const auto count = static_cast<std::int32_t>(
        std::clamp<std::int64_t>(byteCount, 0, memory.size - memory.position));
    if (count > 0) {
        std::memcpy(destination, memory.data + memory.position, static_cast<std::size_t>(count));
    }
    memory.position += count;
    return count;
}

void* seekMemory(void* reader, std::int32_t offset, std::int32_t whence) {
    MemoryReader& memory = readerOf(reader);
    if (whence == kSeekFromStart) memory.position = offset;
    if (whence == kSeekFromCurrent) memory.position += offset;
    if (whence == kSeekToEnd) memory.position = memory.size;
    memory.position = std::clamp<std::int64_t>(memory.position, 0, memory.size);
    return reader;
}

std::int32_t tellMemory(void* reader) {
    return static_cast<std::int32_t>(readerOf(reader).position);
}

}  // namespace vorn3
