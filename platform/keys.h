#pragma once

#include <cstdint>

namespace glint {

// The keys the show distinguishes; everything else is `other`.
enum class Key : std::uint8_t { other, escape };

}  // namespace glint
