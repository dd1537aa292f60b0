// The host's stream callbacks for the player: whatever name is opened, the stream
// serves the embedded song resource.
#pragma once

#include <cstdint>

namespace glint {

inline constexpr std::int32_t kSongResourceId = 112;

struct ResourceStream {
    std::int32_t size;      // bytes
    std::int32_t position;  // bytes from the start, 0..size
    const std::uint8_t* data;
};

// Never null. A missing song resource is reported on standard output and gives an
// empty stream.
void* resourceOpen(const char* name);
void resourceClose(void* handle);
std::int32_t resourceRead(void* destination, std::int32_t byteCount, void* handle);
void* resourceSeek(void* handle, std::int32_t offset, std::int32_t whence);
std::int32_t resourceTell(void* handle);

}  // namespace glint
