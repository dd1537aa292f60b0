#include "tools/glint_capture/yuv_picture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace glint::capture {
namespace {

constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kRed = 0xFF0000;
constexpr std::uint32_t kBlue = 0x0000FF;
constexpr std::uint32_t kYellow = 0xFFFF00;

// The colour bars' BT.709 values at video range, rounded from the exact formulas.
TEST(YuvPicture, ColoursHaveTheirBt709VideoRangeValues) {
    const struct {
        std::uint32_t pixel;
        std::uint8_t y;
        std::uint8_t cb;
        std::uint8_t cr;
    } colours[] = {
        {kBlack, 16, 128, 128},   {kWhite, 235, 128, 128},  {0x808080, 126, 128, 128},
        {kRed, 63, 102, 240},     {0x00FF00, 173, 42, 26},  {kBlue, 32, 240, 118},
        {kYellow, 219, 16, 138},  {0x00FFFF, 188, 154, 16}, {0xFF00FF, 78, 214, 230},
        {0x336699, 97, 156, 104},
    };
    for (const auto& colour : colours) {
        SCOPED_TRACE(testing::Message() << std::hex << colour.pixel);
        const std::vector<std::uint32_t> pixels(4, colour.pixel);
        std::vector<std::uint8_t> planes;
        convertToYuv420(pixels, 2, 2, planes);
        EXPECT_EQ(planes, (std::vector<std::uint8_t>{colour.y, colour.y, colour.y, colour.y,
                                                     colour.cb, colour.cr}));
    }
}

// Each chroma sample is the mean of its own 2 × 2 block, and the planes follow each
// other: Y' row by row, then Cb, then Cr.
TEST(YuvPicture, ChromaComesFromTheMeanOfEachBlock) {
    const std::vector<std::uint32_t> pixels = {
        kRed,   kRed,   kBlack,  kBlack,  kWhite, kBlack,  //
        kRed,   kRed,   kBlack,  kBlack,  kBlack, kWhite,  //
        kWhite, kBlue,  kYellow, kYellow, kRed,   kBlue,   //
        kBlue,  kWhite, kYellow, kYellow, kBlack, kBlack,
    };
    std::vector<std::uint8_t> planes;
    convertToYuv420(pixels, 6, 4, planes);
    const std::vector<std::uint8_t> expected = {
        63,  63,  16,  16,  235, 16,   // Y'
        63,  63,  16,  16,  16,  235,  //
        235, 32,  219, 219, 63,  32,   //
        32,  235, 219, 219, 16,  16,   //
        102, 128, 128, 184, 16,  150,  // Cb
        240, 128, 128, 123, 138, 153,  // Cr
    };
    EXPECT_EQ(planes, expected);
}

}  // namespace
}  // namespace glint::capture
