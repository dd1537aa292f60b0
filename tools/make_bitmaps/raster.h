// Pictures in full colour while they are drawn, then reduced to a palette of at most
// 256 colours and written as uncompressed 8-bit BMP files.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace glint::art {

struct Rgb {
    std::int32_t r = 0;  // 0..255
    std::int32_t g = 0;
    std::int32_t b = 0;
};

Rgb mixRgb(Rgb from, Rgb to, std::int32_t t);              // t is Q16
Rgb scaleRgb(Rgb colour, std::int32_t factor);             // factor is Q16, result clamped
Rgb addLight(Rgb colour, Rgb light, std::int32_t amount);  // amount is Q16, result clamped

// A colour at a Q16 position along a ramp; stops sorted by position.
struct GradientStop {
    std::int32_t at;  // Q16
    Rgb colour;
};
Rgb gradient(std::span<const GradientStop> stops, std::int32_t at);

struct RgbImage {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<Rgb> pixels;  // row-major, top row first

    RgbImage(std::int32_t w, std::int32_t h, Rgb fill = {});
    Rgb& at(std::int32_t x, std::int32_t y) {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)];
    }
};

// The mean of `sample` over a grid of perAxis × perAxis points spread evenly inside
// pixel (x, y); the sample points are Q8 pixels.
using Sampler = std::function<Rgb(std::int64_t, std::int64_t)>;
Rgb averageSamples(std::int32_t x, std::int32_t y, std::int32_t perAxis, const Sampler& sample);

// A picture whose every pixel is averageSamples over `sample`.
RgbImage supersample(std::int32_t width, std::int32_t height, std::int32_t perAxis,
                     const Sampler& sample);

struct IndexedImage {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<Rgb> palette;           // at most 256 entries, darkest first
    std::vector<std::uint8_t> indices;  // row-major, top row first
};

// Median cut over the picture's colours. Pure black, where the picture has it, keeps
// an exact entry of its own: backgrounds must stay black.
IndexedImage quantize(const RgbImage& image);

// A whole BMP file: BITMAPINFOHEADER, the palette, bottom-up rows padded to 4 bytes.
std::vector<std::uint8_t> encodeBmp(const IndexedImage& image);

}  // namespace glint::art
