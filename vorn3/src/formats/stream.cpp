#include "formats/stream.h"

#include <new>

namespace vorn3 {

bool callbacksSet(const StreamCallbacks& callbacks) {
    return callbacks.open != nullptr;
}

SongStream* streamOpen(const StreamCallbacks& callbacks, const char* name) {
    if (!callbacksSet(callbacks)) return nullptr;
    auto* stream = new (std::nothrow) SongStream{callbacks, nullptr};
    if (!stream) return nullptr;
    stream->handle = callbacks.open(name);
    if (!stream->handle) {
        delete stream;
        return nullptr;
    }
    return stream;
}

void streamClose(SongStream* stream) {
    if (!stream) return;
    stream->callbacks.close(stream->handle);
    delete stream;
}

std::int32_t streamRead(void* destination, std::int32_t byteCount, SongStream* stream) {
    if (!stream) return 0;
    return stream->callbacks.read(destination, byteCount, stream->handle);
}

void* streamSeek(SongStream* stream, std::int32_t offset, std::int32_t whence) {
    if (!stream) return nullptr;
    return stream->callbacks.seek(stream->handle, offset, whence);
}

std::int32_t streamTell(SongStream* stream) {
    if (!stream) return 0;
    return stream->callbacks.tell(stream->handle);
}

}  // namespace vorn3
