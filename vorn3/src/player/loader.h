// Reads a module into a Song, in whichever format its content shows. The only parser of
// outside data: any byte sequence either loads into a song that plays safely or fails.
#pragma once

#include <cstdint>

#include "player/song.h"
#include "player/stream.h"

namespace vorn3 {

// False when the stream holds no module this library can play; what was allocated
// so far stays in the song for songFree to release.
bool loadModule(Song& song, SongStream* stream);

// Sample frames with a zero frame before the first and kSpareFrames after the last.
std::int16_t* allocateFrames(std::uint32_t length);
void releaseFrames(std::int16_t* data);

// The XM format: its first bytes, and the rest read into a song from the stream's start.
struct Reader;
bool recognisesXm(const std::uint8_t* head, std::int64_t length);
bool loadXm(Reader& reader, Song& song);

}  // namespace vorn3
