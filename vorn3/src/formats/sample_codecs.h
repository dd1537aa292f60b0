// How formats store sample frames, and reading them into a module's samples.
#pragma once

#include <cstdint>

#include "formats/formats.h"

namespace vorn3 {

enum class SampleCoding : std::uint8_t { delta, plain, unsignedPlain };

// Reads the sample's frames (length and bits set, loop given in frames) at the reader's
// position: as much of them as the file holds. `instrument` and `index` name the sample
// to the host's sample data hook. False when memory runs out.
bool readSampleData(ModuleLoad& load, Sample& sample, std::int32_t instrument, std::int32_t index,
                    SampleCoding coding);

}  // namespace vorn3
