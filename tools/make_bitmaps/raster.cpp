#include "tools/make_bitmaps/raster.h"

#include <algorithm>
#include <array>
#include <map>

#include "tools/make_bitmaps/fixed_math.h"

namespace glint::art {
namespace {

constexpr std::size_t kPaletteSize = 256;
constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kPixelsPerMetre = 2835;  // 72 dots per inch

std::uint32_t pack(Rgb c) {
    return static_cast<std::uint32_t>(c.r) << 16 | static_cast<std::uint32_t>(c.g) << 8 |
           static_cast<std::uint32_t>(c.b);
}

struct ColourCount {
    std::array<std::int32_t, 3> channels;  // r, g, b
    std::uint32_t count;
};

using Box = std::vector<ColourCount>;

struct Spread {
    std::int32_t channel;
    std::int32_t range;
};

Spread widestChannel(const Box& box) {
    Spread widest{0, -1};
    for (std::int32_t channel = 0; channel < 3; ++channel) {
        std::int32_t low = 255;
        std::int32_t high = 0;
        for (const ColourCount& c : box) {
            low = std::min(low, c.channels[channel]);
            high = std::max(high, c.channels[channel]);
        }
        if (high - low > widest.range) widest = {channel, high - low};
    }
    return widest;
}

std::uint64_t population(const Box& box) {
    std::uint64_t total = 0;
    for (const ColourCount& c : box)
        total += c.count;
    return total;
}

// Splits at the weighted median of the widest channel. The order is total, so the
// halves do not depend on how the library sorts equal keys.
std::pair<Box, Box> split(Box box) {
    const std::int32_t channel = widestChannel(box).channel;
    std::sort(box.begin(), box.end(), [channel](const ColourCount& a, const ColourCount& b) {
        if (a.channels[channel] != b.channels[channel]) {
            return a.channels[channel] < b.channels[channel];
        }
        return a.channels < b.channels;
    });
    const std::uint64_t half = population(box) / 2;
    std::uint64_t running = 0;
    std::size_t cut = 1;
    for (; cut < box.size() - 1; ++cut) {
        running += box[cut - 1].count;
        if (running >= half) break;
    }
    return {Box(box.begin(), box.begin() + static_cast<std::ptrdiff_t>(cut)),
            Box(box.begin() + static_cast<std::ptrdiff_t>(cut), box.end())};
}

Rgb average(const Box& box) {
    std::array<std::uint64_t, 3> sums{};
    for (const ColourCount& c : box) {
        for (std::size_t i = 0; i < 3; ++i)
            sums[i] += std::uint64_t{c.count} * c.channels[i];
    }
    const std::uint64_t total = population(box);
    const auto mean = [&](std::size_t i) {
        return static_cast<std::int32_t>((sums[i] + total / 2) / total);
    };
    return {mean(0), mean(1), mean(2)};
}

std::vector<Rgb> medianCut(Box colours, std::size_t budget) {
    std::vector<Box> boxes;
    boxes.push_back(std::move(colours));
    while (boxes.size() < budget) {
        std::size_t best = boxes.size();
        std::uint64_t bestScore = 0;
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            if (boxes[i].size() < 2) continue;
            const auto score =
                static_cast<std::uint64_t>(widestChannel(boxes[i]).range) * population(boxes[i]);
            if (best == boxes.size() || score > bestScore) {
                best = i;
                bestScore = score;
            }
        }
        if (best == boxes.size()) break;
        auto [low, high] = split(std::move(boxes[best]));
        boxes[best] = std::move(low);
        boxes.push_back(std::move(high));
    }
    std::vector<Rgb> palette;
    for (const Box& box : boxes)
        palette.push_back(average(box));
    return palette;
}

std::int32_t luminance(Rgb c) {
    return 299 * c.r + 587 * c.g + 114 * c.b;
}

std::uint8_t nearest(const std::vector<Rgb>& palette, Rgb c) {
    std::size_t best = 0;
    std::int32_t bestDistance = INT32_MAX;
    for (std::size_t i = 0; i < palette.size(); ++i) {
        const std::int32_t dr = palette[i].r - c.r;
        const std::int32_t dg = palette[i].g - c.g;
        const std::int32_t db = palette[i].b - c.b;
        const std::int32_t distance = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
        if (distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return static_cast<std::uint8_t>(best);
}

void put16(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

}  // namespace

Rgb mixRgb(Rgb from, Rgb to, std::int32_t t) {
    return {blend(from.r, to.r, t), blend(from.g, to.g, t), blend(from.b, to.b, t)};
}

Rgb scaleRgb(Rgb colour, std::int32_t factor) {
    const auto scale = [factor](std::int32_t channel) {
        return std::clamp(static_cast<std::int32_t>(std::int64_t{channel} * factor >> 16), 0, 255);
    };
    return {scale(colour.r), scale(colour.g), scale(colour.b)};
}

Rgb addLight(Rgb colour, Rgb light, std::int32_t amount) {
    const auto add = [amount](std::int32_t channel, std::int32_t extra) {
        return std::min(255, channel + multiply(extra, amount));
    };
    return {add(colour.r, light.r), add(colour.g, light.g), add(colour.b, light.b)};
}

Rgb gradient(std::span<const GradientStop> stops, std::int32_t at) {
    if (at <= stops.front().at) return stops.front().colour;
    for (std::size_t i = 1; i < stops.size(); ++i) {
        if (at <= stops[i].at) {
            const std::int32_t span = stops[i].at - stops[i - 1].at;
            return mixRgb(
                stops[i - 1].colour, stops[i].colour,
                static_cast<std::int32_t>(std::int64_t{at - stops[i - 1].at} * kOne / span));
        }
    }
    return stops.back().colour;
}

RgbImage::RgbImage(std::int32_t w, std::int32_t h, Rgb fill)
    : width(w),
      height(h),
      pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), fill) {}

Rgb averageSamples(std::int32_t x, std::int32_t y, std::int32_t perAxis, const Sampler& sample) {
    std::int64_t sum[3] = {0, 0, 0};
    for (std::int32_t sy = 0; sy < perAxis; ++sy) {
        for (std::int32_t sx = 0; sx < perAxis; ++sx) {
            const Rgb c = sample(std::int64_t{x} * kPixel + (2 * sx + 1) * kPixel / (2 * perAxis),
                                 std::int64_t{y} * kPixel + (2 * sy + 1) * kPixel / (2 * perAxis));
            sum[0] += c.r;
            sum[1] += c.g;
            sum[2] += c.b;
        }
    }
    const std::int64_t count = perAxis * perAxis;
    const auto mean = [count](std::int64_t total) {
        return static_cast<std::int32_t>((total + count / 2) / count);
    };
    return {mean(sum[0]), mean(sum[1]), mean(sum[2])};
}

RgbImage supersample(std::int32_t width, std::int32_t height, std::int32_t perAxis,
                     const Sampler& sample) {
    RgbImage image(width, height);
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x)
            image.at(x, y) = averageSamples(x, y, perAxis, sample);
    }
    return image;
}

IndexedImage quantize(const RgbImage& image) {
    std::map<std::uint32_t, std::uint32_t> histogram;
    for (const Rgb& c : image.pixels)
        ++histogram[pack(c)];

    const bool hasBlack = histogram.contains(0);
    Box colours;
    for (const auto& [packed, count] : histogram) {
        if (packed == 0) continue;
        colours.push_back({{static_cast<std::int32_t>(packed >> 16),
                            static_cast<std::int32_t>(packed >> 8 & 0xFF),
                            static_cast<std::int32_t>(packed & 0xFF)},
                           count});
    }
    const std::size_t budget = kPaletteSize - (hasBlack ? 1 : 0);
    std::vector<Rgb> palette;
    if (colours.size() <= budget) {
        for (const ColourCount& c : colours) {
            palette.push_back({c.channels[0], c.channels[1], c.channels[2]});
        }
    } else {
        palette = medianCut(std::move(colours), budget);
    }
    if (hasBlack) palette.push_back({});
    std::sort(palette.begin(), palette.end(), [](Rgb a, Rgb b) {
        if (luminance(a) != luminance(b)) return luminance(a) < luminance(b);
        return pack(a) < pack(b);
    });
    palette.erase(std::unique(palette.begin(), palette.end(),
                              [](Rgb a, Rgb b) { return pack(a) == pack(b); }),
                  palette.end());

    std::map<std::uint32_t, std::uint8_t> lookup;
    for (const auto& [packed, count] : histogram) {
        lookup[packed] = nearest(palette, {static_cast<std::int32_t>(packed >> 16),
                                           static_cast<std::int32_t>(packed >> 8 & 0xFF),
                                           static_cast<std::int32_t>(packed & 0xFF)});
    }
    IndexedImage indexed{image.width, image.height, std::move(palette), {}};
    indexed.indices.reserve(image.pixels.size());
    for (const Rgb& c : image.pixels)
        indexed.indices.push_back(lookup[pack(c)]);
    return indexed;
}

std::vector<std::uint8_t> encodeBmp(const IndexedImage& image) {
    const auto width = static_cast<std::uint32_t>(image.width);
    const auto height = static_cast<std::uint32_t>(image.height);
    const auto colours = static_cast<std::uint32_t>(image.palette.size());
    const std::uint32_t stride = (width + 3) / 4 * 4;
    const std::uint32_t pixelOffset = kFileHeaderSize + kInfoHeaderSize + 4 * colours;
    const std::uint32_t fileSize = pixelOffset + stride * height;

    std::vector<std::uint8_t> out;
    out.reserve(fileSize);
    out.push_back('B');
    out.push_back('M');
    put32(out, fileSize);
    put32(out, 0);
    put32(out, pixelOffset);
    put32(out, kInfoHeaderSize);
    put32(out, width);
    put32(out, height);  // positive: bottom row first
    put16(out, 1);       // planes
    put16(out, 8);       // bits per pixel
    put32(out, 0);       // BI_RGB, uncompressed
    put32(out, stride * height);
    put32(out, kPixelsPerMetre);
    put32(out, kPixelsPerMetre);
    put32(out, colours);
    put32(out, 0);  // every colour is important
    for (const Rgb& c : image.palette) {
        out.push_back(static_cast<std::uint8_t>(c.b));
        out.push_back(static_cast<std::uint8_t>(c.g));
        out.push_back(static_cast<std::uint8_t>(c.r));
        out.push_back(0);
    }
    for (std::uint32_t row = height; row-- > 0;) {
        const auto first = image.indices.begin() + static_cast<std::ptrdiff_t>(row * width);
        out.insert(out.end(), first, first + width);
        out.resize(out.size() + (stride - width), 0);
    }
    return out;
}

}  // namespace glint::art
