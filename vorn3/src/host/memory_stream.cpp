#include <algorithm>
#include <cstring>

#include "vorn3/player.h"

namespace vorn3 {
namespace {

MemoryStream& streamOf(void* handle) {
    return *static_cast<MemoryStream*>(handle);
}

}  // namespace

std::int32_t memoryRead(void* destination, std::int32_t byteCount, void* stream) {
    MemoryStream& memory = streamOf(stream);
    const std::int32_t count = std::clamp(byteCount, 0, memory.size - memory.position);
    if (count > 0) {
        std::memcpy(destination, memory.data + memory.position, static_cast<std::size_t>(count));
    }
    memory.position += count;
    return count;
}

void* memorySeek(void* stream, std::int32_t offset, std::int32_t whence) {
    MemoryStream& memory = streamOf(stream);
    // Wide enough that an offset from the position cannot overflow before the clamp.
    std::int64_t position = memory.position;
    if (whence == kSeekFromStart) position = offset;
    if (whence == kSeekFromCurrent) position += offset;
    if (whence == kSeekToEnd) position = memory.size;
    memory.position = static_cast<std::int32_t>(std::clamp<std::int64_t>(position, 0, memory.size));
    return stream;
}

std::int32_t memoryTell(void* stream) {
    return streamOf(stream).position;
}

}  // namespace vorn3
