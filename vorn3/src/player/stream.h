// The stream layer the loader reads through: each call forwards to the host's callback
// with the stream's handle.
#pragma once

#include <cstdint>

namespace vorn3 {

struct SongStream {
    void* handle;  // from the host's open
};

// Null when no callbacks are set, the host cannot open the name or memory runs out.
SongStream* streamOpen(const char* name);
// Closes the host's handle and releases the stream; nothing for null.
void streamClose(SongStream* stream);
// The host's result; 0 for a null stream.
std::int32_t streamRead(void* destination, std::int32_t byteCount, SongStream* stream);
void* streamSeek(SongStream* stream, std::int32_t offset, std::int32_t whence);
std::int32_t streamTell(SongStream* stream);

}  // namespace vorn3
