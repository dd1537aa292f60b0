#include "shell/resource_stream.h"

#include <cstdio>

#include "platform/resources.h"
#include "vorn3/player.h"

namespace glint {

void* resourceOpen(const char*) {
    auto* stream = new vorn3::MemoryStream{};
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
    delete static_cast<vorn3::MemoryStream*>(handle);
}

}  // namespace glint
