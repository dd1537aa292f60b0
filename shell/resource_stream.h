// The host's stream opening for the player: whatever name is opened, the stream serves
// the embedded song resource. The handle is a vorn3::MemoryStream, so the library's
// memoryRead, memorySeek and memoryTell read it.
#pragma once

#include <cstdint>

namespace glint {

inline constexpr std::int32_t kSongResourceId = 112;

// Never null. A missing song resource is reported on standard output and gives an
// empty stream.
void* resourceOpen(const char* name);
void resourceClose(void* handle);

}  // namespace glint
