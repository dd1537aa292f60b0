#include "tools/make_bitmaps/font.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>

namespace glint::art {
namespace {

constexpr std::int32_t kCapSteps = 12;
constexpr std::int32_t kSubsamples = 4;  // per axis, per pixel

// Strokes as polylines of "x,y" points on the grid, y down; '|' starts a new polyline.
// A polyline that returns to its first point is closed; a single point is a dot.
struct Glyph {
    char letter;
    std::int32_t width;  // grid steps
    std::string_view strokes;
};

constexpr std::array kGlyphs{
    Glyph{'A', 8, "0,12 0,2 2,0 6,0 8,2 8,12|0,7 8,7"},
    Glyph{'B', 8, "0,12 0,0 6,0 8,2 8,4 6,6 8,8 8,10 6,12 0,12|0,6 6,6"},
    Glyph{'C', 8, "8,2 6,0 2,0 0,2 0,10 2,12 6,12 8,10"},
    Glyph{'D', 8, "0,0 6,0 8,2 8,10 6,12 0,12 0,0"},
    Glyph{'E', 8, "8,0 0,0 0,12 8,12|0,6 6,6"},
    Glyph{'F', 8, "8,0 0,0 0,12|0,6 6,6"},
    Glyph{'G', 8, "8,2 6,0 2,0 0,2 0,10 2,12 6,12 8,10 8,6 4,6"},
    Glyph{'H', 8, "0,0 0,12|8,0 8,12|0,6 8,6"},
    Glyph{'I', 0, "0,0 0,12"},
    Glyph{'J', 8, "8,0 8,10 6,12 2,12 0,10"},
    Glyph{'K', 8, "0,0 0,12|8,0 2,6 8,12|0,6 2,6"},
    Glyph{'L', 8, "0,0 0,12 8,12"},
    Glyph{'M', 10, "0,12 0,0 5,5 10,0 10,12"},
    Glyph{'N', 8, "0,12 0,0 8,12 8,0"},
    Glyph{'O', 8, "2,0 6,0 8,2 8,10 6,12 2,12 0,10 0,2 2,0"},
    Glyph{'P', 8, "0,12 0,0 6,0 8,2 8,4 6,6 0,6"},
    Glyph{'Q', 8, "2,0 6,0 8,2 8,10 6,12 2,12 0,10 0,2 2,0|5,9 8,12"},
    Glyph{'R', 8, "0,12 0,0 6,0 8,2 8,4 6,6 0,6|5,6 8,9 8,12"},
    Glyph{'S', 8, "8,2 6,0 2,0 0,2 0,4 2,6 6,6 8,8 8,10 6,12 2,12 0,10"},
    Glyph{'T', 8, "0,0 8,0|4,0 4,12"},
    Glyph{'U', 8, "0,0 0,10 2,12 6,12 8,10 8,0"},
    Glyph{'V', 8, "0,0 0,6 4,12 8,6 8,0"},
    Glyph{'W', 10, "0,0 0,12 5,7 10,12 10,0"},
    Glyph{'X', 8, "0,0 8,12|8,0 0,12"},
    Glyph{'Y', 8, "0,0 4,6 8,0|4,6 4,12"},
    Glyph{'Z', 8, "0,0 8,0 0,12 8,12"},
    Glyph{'0', 8, "2,0 6,0 8,2 8,10 6,12 2,12 0,10 0,2 2,0|3,8 5,4"},
    Glyph{'1', 4, "0,2 2,0 2,12"},
    Glyph{'2', 8, "0,2 2,0 6,0 8,2 8,4 6,6 2,6 0,8 0,12 8,12"},
    Glyph{'3', 8, "0,0 6,0 8,2 8,4 6,6 8,8 8,10 6,12 0,12|2,6 6,6"},
    Glyph{'4', 8, "0,0 0,7 8,7|6,3 6,12"},
    Glyph{'5', 8, "8,0 0,0 0,6 6,6 8,8 8,10 6,12 0,12"},
    Glyph{'6', 8, "8,2 6,0 2,0 0,2 0,10 2,12 6,12 8,10 8,8 6,6 0,6"},
    Glyph{'7', 8, "0,0 8,0 8,2 4,6 4,12"},
    Glyph{'8', 8, "2,6 6,6|2,0 6,0 8,2 8,4 6,6 8,8 8,10 6,12 2,12 0,10 0,8 2,6 0,4 0,2 2,0"},
    Glyph{'9', 8, "0,10 2,12 6,12 8,10 8,2 6,0 2,0 0,2 0,4 2,6 8,6"},
    Glyph{'.', 0, "0,12"},
    Glyph{'!', 0, "0,0 0,8|0,12"},
    Glyph{'-', 6, "0,6 6,6"},
    Glyph{' ', 4, ""},
};

const Glyph& glyphFor(char letter) {
    for (const Glyph& glyph : kGlyphs) {
        if (glyph.letter == letter) return glyph;
    }
    std::abort();  // the pictures only use letters drawn above
}

struct Point {
    std::int32_t x;
    std::int32_t y;
};

std::vector<std::vector<Point>> parseStrokes(std::string_view strokes) {
    std::vector<std::vector<Point>> lines(1);
    std::int32_t numbers[2] = {0, 0};
    std::int32_t which = 0;
    bool inNumber = false;
    const auto finishPoint = [&] {
        if (!inNumber) return;
        lines.back().push_back({numbers[0], numbers[1]});
        numbers[0] = numbers[1] = 0;
        which = 0;
        inNumber = false;
    };
    for (const char c : strokes) {
        if (c >= '0' && c <= '9') {
            numbers[which] = numbers[which] * 10 + (c - '0');
            inNumber = true;
        } else if (c == ',') {
            which = 1;
        } else {
            finishPoint();
            if (c == '|') lines.emplace_back();
        }
    }
    finishPoint();
    if (lines.back().empty()) lines.pop_back();
    return lines;
}

// One stroke piece in Q8 pixels. A free end is cut square; a joint is round, so
// that polylines bend smoothly.
struct Segment {
    std::int64_t ax;
    std::int64_t ay;
    std::int64_t tx;  // Q16 unit direction
    std::int64_t ty;
    std::int64_t length;  // Q8
    bool startFree;
    bool endFree;
    std::int64_t minX, maxX, minY, maxY;  // extent of the centre line
};

struct Nearest {
    std::int64_t distance = INT64_MAX;  // Q8
    std::int64_t dirX = 0;              // Q16 unit vector away from the stroke
    std::int64_t dirY = 0;
};

Nearest fromPoint(std::int64_t dx, std::int64_t dy) {
    const std::int64_t d = squareRoot(static_cast<std::uint64_t>(dx * dx + dy * dy));
    if (d == 0) return {0, 0, 0};
    return {d, dx * kOne / d, dy * kOne / d};
}

Nearest toSegment(const Segment& s, std::int64_t px, std::int64_t py) {
    const std::int64_t dx = px - s.ax;
    const std::int64_t dy = py - s.ay;
    if (s.length == 0) return fromPoint(dx, dy);
    const std::int64_t along = (dx * s.tx + dy * s.ty) >> 16;
    const std::int64_t across = (dy * s.tx - dx * s.ty) >> 16;
    const std::int64_t side = across < 0 ? -1 : 1;
    const Nearest beside{across * side, -s.ty * side, s.tx * side};
    const auto squareEnd = [&](std::int64_t beyond, std::int64_t sign) {
        if (beyond <= beside.distance) return beside;
        return Nearest{beyond, s.tx * sign, s.ty * sign};
    };
    if (along < 0) return s.startFree ? squareEnd(-along, -1) : fromPoint(dx, dy);
    if (along > s.length) {
        return s.endFree ? squareEnd(along - s.length, 1)
                         : fromPoint(px - s.ax - (s.tx * s.length >> 16),
                                     py - s.ay - (s.ty * s.length >> 16));
    }
    return beside;
}

std::int32_t advance(const Glyph& glyph, const TextStyle& style) {
    return glyph.width * style.unitX + style.stroke;
}

std::vector<Segment> layOut(std::string_view text, std::int32_t left, std::int32_t top,
                            const TextStyle& style) {
    std::vector<Segment> segments;
    std::int64_t penX = left + style.stroke / 2;
    const std::int64_t penY = top + style.stroke / 2;
    for (const char letter : text) {
        const Glyph& glyph = glyphFor(letter);
        for (const std::vector<Point>& line : parseStrokes(glyph.strokes)) {
            const auto place = [&](Point p) {
                return std::array<std::int64_t, 2>{penX + std::int64_t{p.x} * style.unitX,
                                                   penY + std::int64_t{p.y} * style.unitY};
            };
            const bool closed = line.size() > 2 && line.front().x == line.back().x &&
                                line.front().y == line.back().y;
            const std::size_t pieces = line.size() == 1 ? 1 : line.size() - 1;
            for (std::size_t i = 0; i < pieces; ++i) {
                const auto a = place(line[i]);
                const auto b = place(line[std::min(i + 1, line.size() - 1)]);
                const std::int64_t dx = b[0] - a[0];
                const std::int64_t dy = b[1] - a[1];
                const std::int64_t length =
                    squareRoot(static_cast<std::uint64_t>(dx * dx + dy * dy));
                Segment s{a[0],
                          a[1],
                          length ? dx * kOne / length : 0,
                          length ? dy * kOne / length : 0,
                          length,
                          !closed && i == 0,
                          !closed && i + 1 == pieces,
                          std::min(a[0], b[0]),
                          std::max(a[0], b[0]),
                          std::min(a[1], b[1]),
                          std::max(a[1], b[1])};
                segments.push_back(s);
            }
        }
        penX += advance(glyph, style) + style.tracking;
    }
    return segments;
}

Nearest nearestStroke(const std::vector<Segment>& segments, std::int64_t px, std::int64_t py,
                      std::int64_t reach) {
    Nearest best;
    for (const Segment& s : segments) {
        if (px < s.minX - reach || px > s.maxX + reach || py < s.minY - reach ||
            py > s.maxY + reach) {
            continue;
        }
        const Nearest n = toSegment(s, px, py);
        if (n.distance < best.distance) best = n;
    }
    return best;
}

}  // namespace

std::int32_t textWidth(std::string_view text, const TextStyle& style) {
    std::int32_t width = 0;
    for (const char letter : text)
        width += advance(glyphFor(letter), style) + style.tracking;
    return text.empty() ? 0 : width - style.tracking;
}

std::int32_t textHeight(const TextStyle& style) {
    return kCapSteps * style.unitY + style.stroke;
}

void drawText(RgbImage& image, std::string_view text, std::int32_t left, std::int32_t top,
              const TextStyle& style) {
    const std::vector<Segment> segments = layOut(text, left, top, style);
    const std::int64_t half = style.stroke / 2;
    const std::int64_t inked = half + style.outline;
    const std::int64_t reach = inked + style.glow;
    const std::int64_t height = textHeight(style);
    const std::int64_t margin = reach + std::abs(style.shadowX) + std::abs(style.shadowY) + kPixel;
    const auto firstX =
        static_cast<std::int32_t>(std::max<std::int64_t>(0, (left - margin) / kPixel));
    const auto lastX = static_cast<std::int32_t>(
        std::min<std::int64_t>(image.width - 1, (left + textWidth(text, style) + margin) / kPixel));
    const auto firstY =
        static_cast<std::int32_t>(std::max<std::int64_t>(0, (top - margin) / kPixel));
    const auto lastY = static_cast<std::int32_t>(
        std::min<std::int64_t>(image.height - 1, (top + height + margin) / kPixel));

    const auto sample = [&](Rgb background, std::int64_t px, std::int64_t py) {
        const Nearest n = nearestStroke(segments, px, py, reach);
        if (n.distance <= half) {
            const Rgb fill = gradient(style.fill, clampUnit((py - top) * kOne / height));
            if (n.distance <= half - style.bevel) return fill;
            const std::int64_t light = -(n.dirX + n.dirY) * kDiagonal >> 16;
            const auto amount =
                static_cast<std::int32_t>(std::abs(light) * style.bevelStrength >> 16);
            return mixRgb(fill, light > 0 ? style.highlight : style.shade, amount);
        }
        if (n.distance <= inked) return style.outlineColour;
        Rgb colour = background;
        if (style.shadowOpacity > 0 &&
            nearestStroke(segments, px - style.shadowX, py - style.shadowY, inked).distance <=
                inked) {
            colour = mixRgb(colour, style.shadowColour, style.shadowOpacity);
        }
        if (n.distance < reach) {
            const std::int64_t beyond = reach - n.distance;
            const std::int32_t strength =
                clampUnit(beyond * beyond * kOne / (std::int64_t{style.glow} * style.glow));
            colour = addLight(colour, style.glowColour, strength);
        }
        return colour;
    };
    for (std::int32_t y = firstY; y <= lastY; ++y) {
        for (std::int32_t x = firstX; x <= lastX; ++x) {
            const Rgb background = image.at(x, y);
            image.at(x, y) = averageSamples(
                x, y, kSubsamples,
                [&](std::int64_t px, std::int64_t py) { return sample(background, px, py); });
        }
    }
}

}  // namespace glint::art
