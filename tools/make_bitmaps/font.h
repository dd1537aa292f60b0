// The show's own lettering: capitals, digits and a little punctuation drawn as strokes
// on a grid of 12 steps per capital height, with 45° cut corners. Strokes are rendered
// with a bevelled rim, an outline, a drop shadow and a glow, at any size.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "tools/make_bitmaps/fixed_math.h"
#include "tools/make_bitmaps/raster.h"

namespace glint::art {

struct TextStyle {
    std::int32_t unitX = kPixel;         // Q8 pixels per grid step across
    std::int32_t unitY = kPixel;         // Q8 pixels per grid step down
    std::int32_t stroke = 2 * kPixel;    // Q8 pixels, full width
    std::int32_t tracking = kPixel;      // Q8 pixels between letters
    std::int32_t bevel = 0;              // Q8 width of the lit and shaded rim
    std::int32_t bevelStrength = 0;      // Q16
    std::int32_t outline = 0;            // Q8
    std::int32_t shadowX = 0;            // Q8
    std::int32_t shadowY = 0;            // Q8
    std::int32_t shadowOpacity = 0;      // Q16
    std::int32_t glow = 0;               // Q8 reach beyond the outline
    std::span<const GradientStop> fill;  // from the top of the ink to its bottom
    Rgb highlight{255, 255, 255};
    Rgb shade{0, 0, 0};
    Rgb outlineColour{0, 0, 0};
    Rgb shadowColour{0, 0, 0};
    Rgb glowColour{0, 0, 0};
};

// Extent of the letters' ink, outline and effects aside, in Q8 pixels.
std::int32_t textWidth(std::string_view text, const TextStyle& style);
std::int32_t textHeight(const TextStyle& style);

// Draws over what the image holds; (left, top) is the ink's corner in Q8 pixels.
void drawText(RgbImage& image, std::string_view text, std::int32_t left, std::int32_t top,
              const TextStyle& style);

}  // namespace glint::art
