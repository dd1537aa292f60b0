#include "tools/make_bitmaps/art.h"

#include <algorithm>
#include <array>
#include <utility>

#include "tools/make_bitmaps/fixed_math.h"
#include "tools/make_bitmaps/font.h"
#include "tools/make_bitmaps/raster.h"

namespace glint::art {
namespace {

constexpr std::int32_t kTile = 128;  // both surface textures

constexpr std::int32_t q8(std::int32_t pixels) {
    return pixels * kPixel;
}
constexpr std::int32_t q16(std::int32_t percent) {
    return percent * kOne / 100;
}

// Cool chrome: a bright sky over a dark horizon a little below the middle.
constexpr std::array kSilver{
    GradientStop{q16(0), {240, 248, 255}},   GradientStop{q16(40), {150, 175, 215}},
    GradientStop{q16(52), {40, 50, 95}},     GradientStop{q16(58), {70, 100, 165}},
    GradientStop{q16(100), {215, 235, 255}},
};

constexpr std::array kGold{
    GradientStop{q16(0), {255, 252, 225}},   GradientStop{q16(40), {245, 195, 95}},
    GradientStop{q16(52), {120, 55, 20}},    GradientStop{q16(60), {200, 120, 40}},
    GradientStop{q16(100), {255, 235, 160}},
};

constexpr std::array kPale{
    GradientStop{q16(0), {250, 252, 255}},
    GradientStop{q16(100), {170, 205, 245}},
};

void drawCentred(RgbImage& image, std::string_view text, std::int32_t top, const TextStyle& style) {
    const std::int32_t left = (q8(image.width) - textWidth(text, style) - style.shadowX) / 2;
    drawText(image, text, left, top, style);
}

void drawMiddle(RgbImage& image, std::string_view text, const TextStyle& style) {
    drawCentred(image, text, (q8(image.height) - textHeight(style) - style.shadowY) / 2, style);
}

TextStyle logoStyle() {
    TextStyle style;
    style.unitX = q8(9) / 4;
    style.unitY = q8(13) / 12;  // 16 pixels of ink with the stroke
    style.stroke = q8(3);
    style.tracking = q8(5);
    style.bevel = q8(1);
    style.bevelStrength = q16(70);
    style.outline = q8(1) / 2;
    style.shadowX = q8(1);
    style.shadowY = q8(1);
    style.shadowOpacity = kOne;
    style.fill = kSilver;
    style.shade = {10, 15, 40};
    style.outlineColour = {6, 8, 20};
    style.shadowColour = {30, 60, 140};
    return style;
}

RgbImage drawLogo() {
    RgbImage image(216, 20);
    drawMiddle(image, "QUORLANE", logoStyle());
    return image;
}

// A four-pointed star of light with shorter diagonal rays, added onto the image.
void drawSparkle(RgbImage& image, std::int64_t cx, std::int64_t cy, std::int64_t reach, Rgb light) {
    const std::int64_t core = reach / 4;
    const std::int64_t rayWidth = q8(1);
    const auto ray = [&](std::int64_t along, std::int64_t across, std::int64_t length) {
        const std::int64_t t = clampUnit(kOne - std::abs(along) * kOne / length);
        const std::int64_t w = clampUnit(kOne - std::abs(across) * kOne / rayWidth);
        return (t * t >> 16) * w >> 16;
    };
    for (std::int32_t y = 0; y < image.height; ++y) {
        for (std::int32_t x = 0; x < image.width; ++x) {
            const std::int64_t dx = q8(x) + kPixel / 2 - cx;
            const std::int64_t dy = q8(y) + kPixel / 2 - cy;
            const std::int64_t r = squareRoot(static_cast<std::uint64_t>(dx * dx + dy * dy));
            const std::int64_t glow = clampUnit(kOne - r * kOne / core);
            const std::int64_t diagonalA = (dx + dy) * kDiagonal >> 16;
            const std::int64_t diagonalB = (dx - dy) * kDiagonal >> 16;
            const std::int64_t amount = std::max(
                {ray(dx, dy, reach), ray(dy, dx, reach), ray(diagonalA, diagonalB, reach / 2),
                 ray(diagonalB, diagonalA, reach / 2), glow * glow >> 16});
            if (amount > 0)
                image.at(x, y) = addLight(image.at(x, y), light, static_cast<std::int32_t>(amount));
        }
    }
}

RgbImage drawTitle() {
    RgbImage image(100, 40);
    TextStyle style;
    style.unitX = q8(15) / 8;
    style.unitY = q8(35) / 16;
    style.stroke = q8(9) / 2;
    style.tracking = q8(3);
    style.bevel = q8(3) / 2;
    style.bevelStrength = q16(70);
    style.outline = q8(1) / 2;
    style.shadowX = q8(2);
    style.shadowY = q8(2);
    style.shadowOpacity = kOne;
    style.fill = kGold;
    style.shade = {40, 15, 5};
    style.outlineColour = {20, 8, 2};
    style.shadowColour = {90, 40, 10};
    const std::string_view title = "GLINT";
    const std::int32_t left = (q8(image.width) - textWidth(title, style) - style.shadowX) / 2;
    // Sitting low leaves room above for the glint on the top of the I.
    const std::int32_t top = q8(image.height) - textHeight(style) - style.shadowY - q8(1);
    drawText(image, title, left, top, style);
    const std::int32_t stemX = left + textWidth("GL", style) + style.tracking + style.stroke / 2;
    drawSparkle(image, stemX, top + style.stroke / 2, q8(15), {255, 250, 225});
    return image;
}

RgbImage drawCaption(std::string_view role) {
    RgbImage image(100, 22);
    TextStyle style;
    style.unitX = q8(25) / 16;
    style.unitY = q8(13) / 12;
    style.stroke = q8(3);
    style.tracking = q8(4);
    style.bevel = q8(1);
    style.bevelStrength = q16(50);
    style.outline = q8(1) / 2;
    style.shadowX = q8(1);
    style.shadowY = q8(1);
    style.shadowOpacity = kOne;
    style.fill = kPale;
    style.shade = {20, 40, 90};
    style.outlineColour = {5, 10, 25};
    style.shadowColour = {30, 60, 140};
    drawMiddle(image, role, style);
    return image;
}

constexpr std::array<std::string_view, 11> kGreetings{
    "THE DEMOSCENE",
    "ALL TRACKERS",
    "PIXEL ARTISTS",
    "CHIP MUSICIANS",
    "OPEN SOURCE",
    "DEBIAN - SDL - GCC",
    "CLANG - CMAKE - NINJA",
    "GIT - GIMP - BLENDER",
    "VIM - EMACS - INKSCAPE",
    "LIBPNG - IMAGEMAGICK",
    "AND YOU!",
};

// A one-pixel line that fades out towards both ends.
void drawRule(RgbImage& image, std::int32_t y, std::int32_t halfLength, Rgb colour) {
    const std::int32_t centre = image.width / 2;
    for (std::int32_t x = centre - halfLength; x < centre + halfLength; ++x) {
        const std::int32_t t = clampUnit(kOne - std::int64_t{std::abs(2 * (x - centre) + 1)} *
                                                    kOne / (2 * halfLength));
        image.at(x, y) = mixRgb(image.at(x, y), colour, multiply(t, t));
    }
}

RgbImage drawGreetings() {
    RgbImage image(256, 256);
    TextStyle heading = logoStyle();
    heading.unitX = q8(1);
    heading.tracking = q8(3);
    heading.fill = kGold;
    heading.shade = {40, 15, 5};
    heading.shadowColour = {90, 40, 10};
    drawCentred(image, "GREETINGS", q8(10), heading);
    drawRule(image, 33, 96, {90, 140, 230});

    TextStyle line;
    line.unitX = q8(3) / 4;
    line.unitY = q8(3) / 4;
    line.stroke = q8(3) / 2;
    line.tracking = q8(2);
    line.fill = kPale;
    line.glow = q8(1);
    line.glowColour = {30, 50, 110};
    for (std::size_t i = 0; i < kGreetings.size(); ++i) {
        drawCentred(image, kGreetings[i], q8(44 + 18 * static_cast<std::int32_t>(i)), line);
    }
    return image;
}

// (1 − |v|) raised to 2^sharpness: a soft ridge where the wave v crosses zero.
std::int32_t ridge(std::int32_t v, std::int32_t sharpness) {
    std::int64_t t = kOne - std::abs(v);
    for (std::int32_t i = 0; i < sharpness; ++i)
        t = t * t >> 16;
    return static_cast<std::int32_t>(t);
}

struct Marble {
    NoiseOctaves flow{kTile, 2, 0, 5, 15, false};
    NoiseOctaves crossFlow{kTile, 3, 0, 5, 23, false};
    NoiseOctaves cloud{kTile, 2, 0, 4, 37, false};
    NoiseOctaves fade{kTile, 2, 0, 3, 41, false};
    Rgb cream{240, 236, 226};
    Rgb cool{204, 210, 222};
    Rgb haze{160, 168, 186};
    Rgb vein{52, 60, 84};
    Rgb thread{168, 136, 90};
};

// Dark veins along warped diagonal bands, faint warm threads across them, and grey
// wisps, over a cream ground clouded with cool grey.
Rgb marbleSample(std::int64_t px, std::int64_t py, const Marble& m) {
    // Whole turns across the tile keep the bands continuous over its edges.
    const std::int64_t bands = (px + py) * kTurn / q8(kTile);
    const std::int64_t threads = (2 * px - py) * kTurn / q8(kTile);
    const std::int64_t wisps = (px - 2 * py) * kTurn / q8(kTile);
    const std::int32_t v = sine(bands + 3 * fractalNoise(px, py, m.flow) / 4);
    const std::int32_t w = sine(threads + fractalNoise(px, py, m.crossFlow));
    const std::int32_t h = sine(wisps + fractalNoise(px, py, m.cloud));
    const std::int32_t strength = clampUnit(kOne / 2 + 2 * fractalNoise(px, py, m.fade));
    Rgb c = mixRgb(m.cream, m.cool, clampUnit(kOne / 2 + 2 * fractalNoise(px, py, m.cloud)));
    c = mixRgb(c, m.haze, ridge(h, 2) / 2);
    c = mixRgb(c, m.haze, ridge(v, 1) / 3);
    c = mixRgb(c, m.vein, multiply(ridge(v, 3), kOne / 4 + 3 * strength / 4));
    return mixRgb(c, m.thread, multiply(ridge(w, 5), kOne - strength));
}

RgbImage drawMarble() {
    const Marble marble;
    return supersample(kTile, kTile, 2, [&](std::int64_t px, std::int64_t py) {
        return marbleSample(px, py, marble);
    });
}

// Panels of the tunnel wall, in 32-pixel cells of the tile; together they cover it,
// and their edges meet the tile's edges, so the grooves continue across the seams.
struct Panel {
    std::int32_t x, y, w, h;
};
constexpr std::array kPanels{Panel{0, 0, 2, 2}, Panel{2, 0, 2, 1}, Panel{2, 1, 1, 1},
                             Panel{3, 1, 1, 2}, Panel{0, 2, 1, 2}, Panel{1, 2, 2, 1},
                             Panel{1, 3, 1, 1}, Panel{2, 3, 2, 1}};
constexpr std::int32_t kCell = q8(32);

struct Wall {
    NoiseOctaves grime{kTile, 4, 0, 5, 51, false};
    NoiseOctaves brushed{kTile, 2, 32, 3, 67, false};
    Rgb face{18, 34, 78};
    Rgb groove{3, 6, 18};
    Rgb glow{40, 110, 220};
    Rgb lit{64, 100, 176};
    Rgb dark{5, 10, 30};
    Rgb rivet{58, 86, 150};
};

// A rivet head lit from the upper left, seen at (dx, dy) from its centre; false
// when that is outside it and its rim of shadow.
bool dome(std::int64_t dx, std::int64_t dy, std::int64_t radius, const Wall& wall, Rgb& colour) {
    const std::int64_t r = squareRoot(static_cast<std::uint64_t>(dx * dx + dy * dy));
    if (r >= radius + q8(1) / 2) return false;
    if (r >= radius) {
        colour = mixRgb(colour, wall.dark, kOne * 2 / 3);
        return true;
    }
    const std::int64_t light = -(dx + dy) * kOne / (2 * radius);
    colour = light > 0 ? mixRgb(wall.rivet, {180, 210, 255}, clampUnit(light))
                       : mixRgb(wall.rivet, wall.dark, clampUnit(-light * 3 / 2));
    return true;
}

Rgb wallSample(std::int64_t px, std::int64_t py, const Wall& wall) {
    std::size_t index = 0;
    for (std::size_t i = 0; i < kPanels.size(); ++i) {
        const Panel& p = kPanels[i];
        if (px >= p.x * kCell && px < (p.x + p.w) * kCell && py >= p.y * kCell &&
            py < (p.y + p.h) * kCell) {
            index = i;
        }
    }
    const Panel& panel = kPanels[index];
    const std::int64_t width = panel.w * kCell;
    const std::int64_t height = panel.h * kCell;
    const std::int64_t x = px - panel.x * kCell;
    const std::int64_t y = py - panel.y * kCell;
    const std::int64_t edge = std::min({x, y, width - x, height - y});

    const std::int32_t shade =
        kOne * 7 / 8 +
        static_cast<std::int32_t>(hash(static_cast<std::uint32_t>(index), 3, 5) % 16384);
    Rgb c = scaleRgb(wall.face, multiply(shade, kOne + fractalNoise(px, py, wall.grime) / 2 +
                                                    fractalNoise(px, py, wall.brushed) / 4));
    const std::int64_t grooveWidth = q8(3) / 2;
    if (edge < grooveWidth) {
        const std::int32_t t = clampUnit(kOne - edge * kOne / grooveWidth);
        return mixRgb(wall.groove, wall.glow, multiply(t, t) * 3 / 5);
    }
    if (edge < q8(7) / 2) {
        const bool facesLight = edge == x || edge == y;
        return mixRgb(c, facesLight ? wall.lit : wall.dark, kOne * 3 / 5);
    }

    const std::int64_t inset = q8(6);
    for (const std::int64_t cx : {inset, width - inset}) {
        for (const std::int64_t cy : {inset, height - inset}) {
            if (dome(x - cx, y - cy, q8(2), wall, c)) return c;
        }
    }

    if (panel.w == 2 && panel.h == 2) {
        // A round hatch: a sunken ring around a raised cover with a lamp at its heart.
        const std::int64_t dx = x - width / 2;
        const std::int64_t dy = y - height / 2;
        const std::int64_t r = squareRoot(static_cast<std::uint64_t>(dx * dx + dy * dy));
        if (r < q8(4)) {
            return mixRgb({120, 190, 255}, wall.glow, clampUnit(r * kOne / q8(4)));
        }
        if (r < q8(18)) {
            const std::int32_t rings = sine(r * kTurn / q8(3));
            return scaleRgb(c, kOne + kOne / 6 + rings / 16 + (r < q8(6) ? kOne / 2 : 0));
        }
        if (r < q8(20)) {
            const bool lowerRight = dx + dy > 0;
            return mixRgb(wall.groove, lowerRight ? wall.lit : wall.dark,
                          clampUnit((r - q8(18)) * kOne / q8(2)) / 2);
        }
    } else if (panel.w == 2) {
        // Vent slits across the middle; their lower lips catch the light.
        const std::int64_t slitsTop = height / 2 - q8(12);
        const std::int64_t row = y - slitsTop;
        if (x > q8(14) && x < width - q8(14) && row >= 0 && row < q8(25)) {
            const std::int64_t within = row % q8(5);
            if (within < q8(2)) return wall.groove;
            if (within < q8(3)) return mixRgb(c, wall.lit, kOne / 2);
        }
    } else if (panel.h == 2) {
        // A lit channel down the middle of the tall panels.
        const std::int64_t across = std::abs(x - width / 2);
        if (y > q8(14) && y < height - q8(14) && across < q8(3)) {
            const std::int32_t t = clampUnit(kOne - across * kOne / q8(3));
            return mixRgb(wall.groove, wall.glow, multiply(t, t));
        }
    }
    return c;
}

RgbImage drawTunnel() {
    const Wall wall;
    return supersample(kTile, kTile, 2,
                       [&](std::int64_t px, std::int64_t py) { return wallSample(px, py, wall); });
}

ShowBitmap finish(std::int32_t id, std::string_view fileName, const RgbImage& image) {
    return {id, fileName, encodeBmp(quantize(image))};
}

// The plates put the image's top row at their lower edge, so lettering is stored
// upside down to read upright on screen.
RgbImage upsideDown(RgbImage image) {
    for (std::int32_t top = 0, bottom = image.height - 1; top < bottom; ++top, --bottom) {
        for (std::int32_t x = 0; x < image.width; ++x)
            std::swap(image.at(x, top), image.at(x, bottom));
    }
    return image;
}

}  // namespace

std::vector<ShowBitmap> makeShowBitmaps() {
    std::vector<ShowBitmap> bitmaps;
    bitmaps.push_back(finish(103, "logo.bmp", upsideDown(drawLogo())));
    bitmaps.push_back(finish(104, "title.bmp", upsideDown(drawTitle())));
    bitmaps.push_back(finish(105, "credit_code.bmp", upsideDown(drawCaption("CODE"))));
    bitmaps.push_back(finish(106, "credit_music.bmp", upsideDown(drawCaption("MUSIC"))));
    bitmaps.push_back(finish(113, "marble.bmp", drawMarble()));
    bitmaps.push_back(finish(116, "greetings.bmp", upsideDown(drawGreetings())));
    bitmaps.push_back(finish(123, "tunnel.bmp", drawTunnel()));
    return bitmaps;
}

}  // namespace glint::art
