// Pictures as the encoders take them: BT.709 Y'CbCr 4:2:0 at video range, so that
// ffmpeg converts nothing and the streams can be tagged with what they hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace glint::capture {

// Bytes of a width × height picture: every pixel's Y', then Cb and Cr at half the
// resolution each way.
std::size_t yuv420Size(std::int32_t width, std::int32_t height);

// Fills `planes` with the width × height 0x00RRGGBB pixels (even sides) as Y' plane,
// Cb plane, Cr plane; each chroma sample comes from the mean of its 2 × 2 block.
void convertToYuv420(std::span<const std::uint32_t> pixels, std::int32_t width, std::int32_t height,
                     std::vector<std::uint8_t>& planes);

}  // namespace glint::capture
