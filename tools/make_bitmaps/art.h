// The seven pictures the show carries as bitmap resources, drawn from nothing but
// this code: same bytes on every run and every machine.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace glint::art {

struct ShowBitmap {
    std::int32_t id;  // resource id
    std::string_view fileName;
    std::vector<std::uint8_t> bytes;  // a whole BMP file
};

std::vector<ShowBitmap> makeShowBitmaps();

}  // namespace glint::art
