// How formats store sample frames, and reading them into a module's samples.
#pragma once

#include <cstddef>
#include <cstdint>

#include "formats/formats.h"

namespace vorn3 {

enum class SampleCoding : std::uint8_t { delta, plain, unsignedPlain };

// Reads the sample's frames (length and bits set, loop given in frames) at the reader's
// position: as much of them as the file holds. `instrument` and `index` name the sample
// to the host's sample data hook. False when memory runs out.
bool readSampleData(ModuleLoad& load, Sample& sample, std::int32_t instrument, std::int32_t index,
                    SampleCoding coding);

// IT 2.14 compression, and IT 2.15's that integrates its deltas twice: blocks of a 16-bit
// byte count and a bit stream, each block up to kItBlockFrames8 or kItBlockFrames16 frames.
inline constexpr std::uint32_t kItBlockFrames8 = 0x8000;
inline constexpr std::uint32_t kItBlockFrames16 = 0x4000;

// Decodes the bit stream of one block (its byte count not included) into up to `frames`
// frames of `out`, at most a block's. 8-bit frames land in the high byte. Where the bits
// run out or switch to a width out of range, decoding stops: the frames after those
// decoded keep what they held. Returns the frames decoded.
std::uint32_t decompressItBlock(const std::uint8_t* block, std::size_t blockBytes,
                                std::int16_t* out, std::uint32_t frames, bool sixteenBit,
                                bool it215);

// Reads one channel of a compressed sample (length and bits set, loop given in frames) at
// the reader's position, leaving the reader after its last block: a stereo sample's
// right channel follows. The length is cut to what the bytes left could hold. A block
// cut short or damaged leaves its frames after the last decoded at zero, and the next
// block decodes on; a zero byte count or the end of the file ends the sample there, the
// frames after zero. With a sample data hook, the hook fills the frames instead and the
// blocks are skipped. False when memory runs out.
bool readItCompressedSample(ModuleLoad& load, Sample& sample, std::int32_t instrument,
                            std::int32_t index, bool it215);

}  // namespace vorn3
