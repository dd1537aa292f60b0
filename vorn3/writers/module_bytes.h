// Little- and big-endian fields and padded text, for the module writers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace module_bytes {

using Bytes = std::vector<std::uint8_t>;

inline void put8(Bytes& out, std::uint8_t value) {
    out.push_back(value);
}

inline void put16(Bytes& out, std::uint16_t value) {
    put8(out, static_cast<std::uint8_t>(value));
    put8(out, static_cast<std::uint8_t>(value >> 8));
}

inline void put32(Bytes& out, std::uint32_t value) {
    put16(out, static_cast<std::uint16_t>(value));
    put16(out, static_cast<std::uint16_t>(value >> 16));
}

inline void putBigEndian16(Bytes& out, std::uint16_t value) {
    put8(out, static_cast<std::uint8_t>(value >> 8));
    put8(out, static_cast<std::uint8_t>(value));
}

// Cut or padded with zero bytes to exactly `size`.
inline void putText(Bytes& out, const std::string& text, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i)
        put8(out, i < text.size() ? static_cast<std::uint8_t>(text[i]) : 0);
}

}  // namespace module_bytes
