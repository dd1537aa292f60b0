// The stream layer the loader reads through: each call forwards to the host's callback
// with the stream's handle.
#pragma once

#include <cstdint>

#include "vorn3/player.h"

namespace vorn3 {

struct StreamCallbacks {
    StreamOpen open;
    StreamClose close;
    StreamRead read;
    StreamSeek seek;
    StreamTell tell;
};

bool callbacksSet(const StreamCallbacks& callbacks);

struct SongStream {
    StreamCallbacks callbacks;  // the player's when the stream opened
    void* handle;               // from the host's open
};

// Null when the callbacks are not set, the host cannot open the name or memory runs out.
SongStream* streamOpen(const StreamCallbacks& callbacks, const char* name);
// Closes the host's handle and releases the stream; nothing for null.
void streamClose(SongStream* stream);
// The host's result; 0 for a null stream.
std::int32_t streamRead(void* destination, std::int32_t byteCount, SongStream* stream);
void* streamSeek(SongStream* stream, std::int32_t offset, std::int32_t whence);
std::int32_t streamTell(SongStream* stream);

}  // namespace vorn3
