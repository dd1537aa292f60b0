#include "player/loader.h"

#include <algorithm>
#include <array>
#include <new>

#include "player/reader.h"

namespace vorn3 {
namespace {

// Enough of a file's start to recognise any format by.
constexpr std::int64_t kHeadBytes = 1084;

struct ModuleFormat {
    const char* name;
    bool (*recognises)(const std::uint8_t* head, std::int64_t length);
    bool (*load)(Reader& reader, Song& song);
};

// Formats are told apart by content, never by the name the stream was opened with.
constexpr std::array kFormats{
    ModuleFormat{"XM", recognisesXm, loadXm},
};

}  // namespace

Sample emptySample{};
const Instrument emptyInstrument{};

std::int16_t* allocateFrames(std::uint32_t length) {
    auto* block = new (std::nothrow) std::int16_t[std::size_t{length} + 1 + kSpareFrames]();
    return block ? block + 1 : nullptr;
}

void releaseFrames(std::int16_t* data) {
    if (data) delete[](data - 1);
}

bool loadModule(Song& song, SongStream* stream) {
    Reader reader = openReader(stream);
    std::uint8_t head[kHeadBytes];
    const std::int64_t length = std::min(reader.size, kHeadBytes);
    readBytes(reader, head, length);
    for (const ModuleFormat& format : kFormats) {
        if (!format.recognises(head, length)) continue;
        seekTo(reader, 0);
        song.format = format.name;
        return format.load(reader, song);
    }
    return false;
}

}  // namespace vorn3
