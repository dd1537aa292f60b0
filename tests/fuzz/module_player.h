// What the fuzzer does with each input, shared with the tests that replay its findings:
// the bytes are read as a module through the stream callbacks and, when they load,
// played offline for a few seconds, wide modules for less.
#pragma once

#include <cstdint>
#include <span>

namespace glint {

// True when the bytes loaded as a song.
bool playModule(std::span<const std::uint8_t> bytes);

}  // namespace glint
