#include "tools/glint_capture/yuv_picture.h"

namespace glint::capture {
namespace {

// BT.709's share of R', G' and B' in luma.
constexpr double kRedShare = 0.2126;
constexpr double kBlueShare = 0.0722;
constexpr double kGreenShare = 1.0 - kRedShare - kBlueShare;
// Video range: 219 steps of luma from 16, 224 of chroma around 128, per 255 of R'G'B'.
constexpr double kLumaSteps = 219.0 / 255.0;
constexpr double kChromaSteps = 224.0 / 255.0;
constexpr std::int32_t kLumaFloor = 16;
constexpr std::int32_t kChromaMiddle = 128;

constexpr int kFractionBits = 16;
constexpr int kBlockBits = 2;  // a chroma sample sums four pixels

constexpr std::int32_t fixedPoint(double value) {
    return static_cast<std::int32_t>(value * (1 << kFractionBits) + (value < 0 ? -0.5 : 0.5));
}

struct Weights {
    std::int32_t red;
    std::int32_t green;
    std::int32_t blue;
};

constexpr std::int32_t lumaWeight(double share) {
    return fixedPoint(share * kLumaSteps);
}

constexpr Weights kLuma{lumaWeight(kRedShare), lumaWeight(kGreenShare), lumaWeight(kBlueShare)};

// Cb is (B' - Y') / (2 (1 - kBlueShare)) and Cr the same of R'. Green's weight balances
// the other two, so that every grey has exactly the middle chroma.
constexpr Weights colourDifference(double redWeight, double blueWeight) {
    const std::int32_t red = fixedPoint(redWeight * kChromaSteps);
    const std::int32_t blue = fixedPoint(blueWeight * kChromaSteps);
    return {red, -red - blue, blue};
}

constexpr Weights kCb = colourDifference(-kRedShare / (2 * (1 - kBlueShare)), 0.5);
constexpr Weights kCr = colourDifference(0.5, -kBlueShare / (2 * (1 - kRedShare)));

constexpr std::int32_t kLumaBias = (kLumaFloor << kFractionBits) + (1 << (kFractionBits - 1));
constexpr std::int32_t kChromaBias =
    (kChromaMiddle << (kFractionBits + kBlockBits)) + (1 << (kFractionBits + kBlockBits - 1));

std::int32_t redOf(std::uint32_t pixel) {
    return static_cast<std::int32_t>(pixel >> 16 & 0xFF);
}
std::int32_t greenOf(std::uint32_t pixel) {
    return static_cast<std::int32_t>(pixel >> 8 & 0xFF);
}
std::int32_t blueOf(std::uint32_t pixel) {
    return static_cast<std::int32_t>(pixel & 0xFF);
}

void convertLuma(std::span<const std::uint32_t> pixels, std::uint8_t* luma) {
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        const std::uint32_t pixel = pixels[i];
        luma[i] =
            static_cast<std::uint8_t>((kLuma.red * redOf(pixel) + kLuma.green * greenOf(pixel) +
                                       kLuma.blue * blueOf(pixel) + kLumaBias) >>
                                      kFractionBits);
    }
}

std::uint8_t blockChroma(const Weights& weights, std::int32_t red, std::int32_t green,
                         std::int32_t blue) {
    return static_cast<std::uint8_t>(
        (weights.red * red + weights.green * green + weights.blue * blue + kChromaBias) >>
        (kFractionBits + kBlockBits));
}

void convertChroma(std::span<const std::uint32_t> pixels, std::size_t width, std::uint8_t* cb,
                   std::uint8_t* cr) {
    for (std::size_t row = 0; row < pixels.size(); row += 2 * width) {
        const std::uint32_t* top = pixels.data() + row;
        const std::uint32_t* bottom = top + width;
        for (std::size_t x = 0; x < width; x += 2) {
            const std::uint32_t block[4] = {top[x], top[x + 1], bottom[x], bottom[x + 1]};
            std::int32_t red = 0;
            std::int32_t green = 0;
            std::int32_t blue = 0;
            for (std::uint32_t pixel : block) {
                red += redOf(pixel);
                green += greenOf(pixel);
                blue += blueOf(pixel);
            }
            *cb++ = blockChroma(kCb, red, green, blue);
            *cr++ = blockChroma(kCr, red, green, blue);
        }
    }
}

}  // namespace

std::size_t yuv420Size(std::int32_t width, std::int32_t height) {
    const auto pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    return pixels + pixels / 2;
}

void convertToYuv420(std::span<const std::uint32_t> pixels, std::int32_t width, std::int32_t height,
                     std::vector<std::uint8_t>& planes) {
    planes.resize(yuv420Size(width, height));
    const std::size_t lumaSize = pixels.size();
    std::uint8_t* cb = planes.data() + lumaSize;
    convertLuma(pixels, planes.data());
    convertChroma(pixels, static_cast<std::size_t>(width), cb, cb + lumaSize / 4);
}

}  // namespace glint::capture
