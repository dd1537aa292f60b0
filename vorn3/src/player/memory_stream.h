// Stream callbacks over bytes in memory: the handle is a MemoryReader.
#pragma once

#include <cstdint>

namespace vorn3 {

struct MemoryReader {
    const std::uint8_t* data;
    std::int64_t size;      // bytes
    std::int64_t position;  // kept within 0..size
};

std::int32_t readMemory(void* destination, std::int32_t byteCount, void* reader);
void* seekMemory(void* reader, std::int32_t offset, std::int32_t whence);
std::int32_t tellMemory(void* reader);

}  // namespace vorn3
