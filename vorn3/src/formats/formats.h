// Reads a module in whichever format its content shows. The only parser of outside data:
// any byte sequence either loads into a module that plays safely or fails.
#pragma once

#include <array>
#include <cstdint>

#include "formats/stream.h"
#include "module/module.h"

namespace vorn3 {

// What a load found of a file's format and its end.
struct LoadReport {
    const char* format = nullptr;  // the family its content shows; null: none
    // The part of the file it ends inside: one the song needs (the load fails) or one it
    // can do without (it loads, short of it); null for none.
    const char* endsInside = nullptr;
    const char* cutShort = nullptr;
};

// The module the stream holds, with one reference for the caller; null when it holds
// none this library can play, ends inside a part the song needs or memory runs out.
// `report`, when given, says which.
const Module* loadModule(SongStream* stream, SampleDataHook sampleDataHook,
                         LoadReport* report = nullptr);

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

// For each stored order, the played order a jump to it lands on: the orders played leave
// out the skipped ones (254) and those from the end mark (255) on, and a jump past them
// restarts.
struct PlayedOrders {
    std::array<std::uint8_t, kMaxOrders> jumpTarget;
};
// Reads `storedCount` orders at the reader's position into the module's order table,
// dropping skip markers and keeping end markers as section ends; false when none is
// played.
bool readPlayedOrders(Reader& reader, Module& module, std::int32_t storedCount,
                      PlayedOrders& orders);

// A command letter as ST3 and IT store it, A = 1 .. Z = 26, as the engine's command; none
// for the letters the engine does not play and for other values.
Command commandOfLetter(std::uint8_t letter);

// Keeps the envelope code inside the loaded points: of the `storedPoints` (at most
// `maxPoints`), a point going back in time ends the envelope, and a sustain or loop naming
// a point beyond the end is dropped.
void limitEnvelope(Envelope& envelope, std::int32_t storedPoints, std::int32_t maxPoints);

// What ST3's Sxy asks, by x; IT's are the same but for S2x, which plays nothing there.
inline constexpr std::array<ExtendedCommand, 16> kSExtendedCommands{
    ExtendedCommand::none,
    ExtendedCommand::glissandoControl,
    ExtendedCommand::noteTuning,
    ExtendedCommand::vibratoControl,
    ExtendedCommand::tremoloControl,
    ExtendedCommand::none,
    ExtendedCommand::none,
    ExtendedCommand::none,
    ExtendedCommand::setPanningCoarse,
    ExtendedCommand::none,
    ExtendedCommand::none,
    ExtendedCommand::patternLoop,
    ExtendedCommand::noteCut,
    ExtendedCommand::noteDelay,
    ExtendedCommand::patternDelay,
    ExtendedCommand::none};

// A sample that plays C-4 at `hz` (kept within what the formats store), as a relative
// note and a finetune of 0..127.
void tuneToRate(Sample& sample, std::uint32_t hz);

// Each format: whether a file's start is one of its files, and the rest read into a
// module from the stream's start.
// A little-endian field of the head; 0 where the head ends before it.
std::uint32_t headField(const FileHead& head, std::int64_t offset, std::int32_t bytes);
// The format the head shows (null for none) and the bytes its header takes as the head
// counts them: a file shorter than that ends inside it.
struct Probe {
    const char* format;
    std::int64_t headerBytes;
};
Probe probeHead(const FileHead& head);

std::int64_t xmHeaderBytes(const FileHead& head);
std::int64_t s3mHeaderBytes(const FileHead& head);
std::int64_t itHeaderBytes(const FileHead& head);
std::int64_t modHeaderBytes(const FileHead& head);
std::int64_t soundtrackerHeaderBytes(const FileHead& head);
bool recognisesXm(const FileHead& head);
bool loadXm(ModuleLoad& load);
bool recognisesS3m(const FileHead& head);
bool loadS3m(ModuleLoad& load);
bool recognisesMod(const FileHead& head);
bool recognisesSoundtracker(const FileHead& head);
bool loadMod(ModuleLoad& load);
bool recognisesIt(const FileHead& head);
bool loadIt(ModuleLoad& load);

}  // namespace vorn3
