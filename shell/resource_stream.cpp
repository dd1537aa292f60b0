#include "shell/resource_stream.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/resources.h"
#include "vorn3/vorn3.h"

namespace glint {
namespace {

ResourceStream& streamOf(void* handle) {
    return *static_cast<ResourceStream*>(handle);
}

}  // namespace

void* resourceOpen(const char*) {
    auto* stream = new ResourceStream{};
    const auto song = findResource(ResourceType::rcData, kSongResourceId);
    if (!song) {
        std::fputs("Vorn3 : Couldn't Find resource!\n", stdout);
        return stream;
    }
    stream->data = song->data;
    stream->size = static_cast<std::int32_t>(song->size);
    return stream;
}

void resourceClose(void* handle) {
    delete static_cast<ResourceStream*>(handle);
}

std::int32_t resourceRead(void* destination, std::int32_t byteCount, void* handle) {
    ResourceStream& stream = streamOf(handle);
    const std::int32_t count = std::clamp(byteCount, 0, stream.size - stream.position);
    if (count > 0) std::memcpy(destination, stream.data + stream.position, count);
    stream.position += count;
    return count;
}

// The position stays within 0..size: a seek before the start lands on it.
void* resourceSeek(void* handle, std::int32_t offset, std::int32_t whence) {
    ResourceStream& stream = streamOf(handle);
    std::int64_t position = stream.position;
    if (whence == vorn3::kSeekFromStart) position = offset;
    if (whence == vorn3::kSeekFromCurrent) position += offset;
    if (whence == vorn3::kSeekToEnd) position = stream.size;
    stream.position = static_cast<std::int32_t>(std::clamp<std::int64_t>(position, 0, stream.size));
    return handle;
}

std::int32_t resourceTell(void* handle) {
    return streamOf(handle).position;
}

}  // namespace glint
