// Reads a module in whichever format its content shows. The only parser of outside data:
// any byte sequence either loads into a module that plays safely or fails.
#pragma once

#include <cstdint>

#include "formats/stream.h"
#include "module/module.h"

namespace vorn3 {

// The module the stream holds, with one reference for the caller; null when it holds
// none this library can play or memory runs out.
const Module* loadModule(SongStream* stream, SampleDataHook sampleDataHook);

// The loudest sample, channel or global volume a module file stores.
inline constexpr auto kFullVolume = static_cast<std::uint8_t>(kMaxVolume);

// The start of a file, for telling formats apart.
struct FileHead {
    const std::uint8_t* bytes;
    std::int64_t length;    // bytes held, up to kHeadBytes
    std::int64_t fileSize;  // bytes in the whole file
};
inline constexpr std::int64_t kHeadBytes = 1084;

// What a format's loader reads from and into. What it allocated before failing stays in
// the module for moduleRelease to free.
struct Reader;
struct ModuleLoad {
    Reader& reader;
    Module& module;
    SampleDataHook sampleDataHook;  // null: sample data comes from the stream
};

// Each format: whether a file's start is one of its files, and the rest read into a
// module from the stream's start.
bool recognisesXm(const FileHead& head);
bool loadXm(ModuleLoad& load);
bool recognisesS3m(const FileHead& head);
bool loadS3m(ModuleLoad& load);
bool recognisesMod(const FileHead& head);
bool recognisesSoundtracker(const FileHead& head);
bool loadMod(ModuleLoad& load);

}  // namespace vorn3
