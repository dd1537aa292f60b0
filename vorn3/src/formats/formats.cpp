#include "formats/formats.h"

#include <algorithm>
#include <array>
#include <new>

#include "formats/reader.h"

namespace vorn3 {
namespace {

struct ModuleFormat {
    bool (*recognises)(const FileHead& head);
    bool (*load)(ModuleLoad& load);
};

// Formats are told apart by content, never by the name the stream was opened with; the
// form without a mark comes last.
constexpr std::array kFormats{
    ModuleFormat{recognisesXm, loadXm},
    ModuleFormat{recognisesS3m, loadS3m},
    ModuleFormat{recognisesMod, loadMod},
    ModuleFormat{recognisesSoundtracker, loadMod},
};

}  // namespace

const Module* loadModule(SongStream* stream, SampleDataHook sampleDataHook) {
    Reader reader = openReader(stream);
    std::uint8_t bytes[kHeadBytes];
    const FileHead head{bytes, std::min(reader.size, kHeadBytes), reader.size};
    readBytes(reader, bytes, head.length);
    for (const ModuleFormat& format : kFormats) {
        if (!format.recognises(head)) continue;
        Module* module = moduleCreate();
        if (!module) return nullptr;
        seekTo(reader, 0);
        ModuleLoad load{reader, *module, sampleDataHook};
        if (format.load(load)) return module;
        moduleRelease(module);
        return nullptr;
    }
    return nullptr;
}

}  // namespace vorn3
