// Reads a module into a Song, in whichever format its content shows. The only parser of
// outside data: any byte sequence either loads into a song that plays safely or fails.
#pragma once

#include <cstdint>

#include "formats/stream.h"
#include "player/song.h"
#include "player/tick.h"

namespace vorn3 {

// False when the stream holds no module this library can play; what was allocated
// so far stays in the song for songFree to release.
bool loadModule(Song& song, SongStream* stream);

// The loudest sample, channel or global volume a module file stores.
inline constexpr auto kFullVolume = static_cast<std::uint8_t>(kMaxVolume);

// Sample frames with a zero frame before the first and kSpareFrames after the last.
std::int16_t* allocateFrames(std::uint32_t length);
void releaseFrames(std::int16_t* data);

// The start of a file, for telling formats apart.
struct FileHead {
    const std::uint8_t* bytes;
    std::int64_t length;    // bytes held, up to kHeadBytes
    std::int64_t fileSize;  // bytes in the whole file
};
inline constexpr std::int64_t kHeadBytes = 1084;

// Each format: whether a file's start is one of its files, and the rest read into a
// song from the stream's start.
struct Reader;
bool recognisesXm(const FileHead& head);
bool loadXm(Reader& reader, Song& song);
bool recognisesS3m(const FileHead& head);
bool loadS3m(Reader& reader, Song& song);
bool recognisesMod(const FileHead& head);
bool recognisesSoundtracker(const FileHead& head);
bool loadMod(Reader& reader, Song& song);

// How a format stores sample frames.
enum class SampleCoding : std::uint8_t { delta, plain, unsignedPlain };

// Reads the sample's frames (length and bits set, loop given in frames) at the reader's
// position: as much of them as the file holds. False when memory runs out.
bool readSampleData(Reader& reader, const Song& song, Sample& sample, std::int32_t instrument,
                    std::int32_t index, SampleCoding coding);

// Instruments of one sample each, with every note mapped to it, for formats without
// instruments; false when memory runs out.
bool allocateSampleInstruments(Song& song);

// Allocates the pattern slots the order table needs with `rows` rows each; false when
// memory runs out.
bool allocatePatterns(Song& song, std::int32_t storedPatterns, std::int32_t rows);

}  // namespace vorn3
