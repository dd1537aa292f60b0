#include "player/stream.h"

#include <new>

#include "player/player.h"

namespace vorn3 {

void setStreamCallbacks(StreamOpen open, StreamClose close, StreamRead read, StreamSeek seek,
                        StreamTell tell) {
    const bool complete = open && close && read && seek && tell;
    playerState().callbacks =
        complete ? StreamCallbacks{open, close, read, seek, tell} : StreamCallbacks{};
}

SongStream* streamOpen(const char* name) {
    if (!streamCallbacksSet()) return nullptr;
    auto* stream = new (std::nothrow) SongStream{};
    if (!stream) return nullptr;
    stream->handle = playerState().callbacks.open(name);
    if (!stream->handle) {
        delete stream;
        return nullptr;
    }
    return stream;
}

void streamClose(SongStream* stream) {
    if (!stream) return;
    if (streamCallbacksSet()) playerState().callbacks.close(stream->handle);
    delete stream;
}

std::int32_t streamRead(void* destination, std::int32_t byteCount, SongStream* stream) {
    if (!stream || !streamCallbacksSet()) return 0;
    return playerState().callbacks.read(destination, byteCount, stream->handle);
}

void* streamSeek(SongStream* stream, std::int32_t offset, std::int32_t whence) {
    if (!stream || !streamCallbacksSet()) return nullptr;
    return playerState().callbacks.seek(stream->handle, offset, whence);
}

std::int32_t streamTell(SongStream* stream) {
    if (!stream || !streamCallbacksSet()) return 0;
    return playerState().callbacks.tell(stream->handle);
}

}  // namespace vorn3
