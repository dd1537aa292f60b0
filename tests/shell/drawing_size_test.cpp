// The show drawn at other sizes than its window's: the same 4:3 picture, centred,
// with black bars, and at 640 × 480 exactly the frames it always drew.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/gfx/software_device.h"
#include "tests/gl/show_frames.h"

namespace glint::test {
namespace {

// The opening flash under the modelled song, between the first and the second scene's frames.
constexpr std::int32_t kFlashFrame = 349;

struct Drawn {
    gfx::Surface surface;
    std::vector<std::vector<std::uint32_t>> frames;  // kSceneFrames, in order
    std::vector<std::uint32_t> flash;
};

Drawn drawSceneFrames(std::int32_t width, std::int32_t height) {
    Drawn drawn;
    drawn.surface.width = width;
    drawn.surface.height = height;
    drawn.surface.pixels.assign(static_cast<std::size_t>(width) * height, 0);
    drawn.surface.depth.assign(drawn.surface.pixels.size(), 1.0f);
    drawn.surface.depthFormat = gfx::kFormatDepth32;
    const std::unique_ptr<gfx::Device> device = gfx::createSoftwareDevice(drawn.surface);
    ShowFrames show(*device, width, height);
    for (const auto& times : kSceneFrames) {
        for (std::int32_t sceneTime : times) {
            show.drawAt(sceneTime);
            device->readBack();
            drawn.frames.push_back(drawn.surface.pixels);
        }
        if (drawn.flash.empty()) {
            show.drawAt(kFlashFrame);
            device->readBack();
            drawn.flash = drawn.surface.pixels;
        }
    }
    return drawn;
}

std::uint64_t fnv1a(const std::vector<std::uint32_t>& pixels) {
    std::uint64_t hash = 14695981039346656037ull;
    for (std::uint32_t pixel : pixels) {
        for (int shift = 0; shift < 32; shift += 8) {
            hash ^= (pixel >> shift) & 0xFF;
            hash *= 1099511628211ull;
        }
    }
    return hash;
}

// Each frame of kSceneFrames as the show drew it at 640 × 480 before it could draw
// at other sizes.
constexpr std::uint64_t kFrameHashes[] = {
    0xCD5F52C930EA7473ull, 0xF73689BEFBFA550Dull, 0x428CD9DDFCBA3891ull, 0xD5151E632D71C356ull,
    0xE405279DC9451B60ull, 0x025BD8B517B6C4B8ull, 0x54504F49BE46C27Aull, 0x3E11A61D2AE5B4E8ull,
    0x61DA53CD98899E83ull, 0xF9775CFE4E2A8866ull, 0x8A4EF34668DAD5A6ull, 0x7779D7A911E21BFCull,
    0xD1E68853FE752AA2ull, 0xE354175C19587F4Cull, 0x20D0FF5AA5A7D165ull, 0x24C12E975A053F77ull,
};

// A 2 × 2 block of the large picture against the one pixel of the small: edges and
// texel boundaries fall differently, so only most pixels agree, within a margin.
constexpr std::uint32_t kTolerance = 24;
constexpr double kLeastAlike = 0.95;

std::uint32_t channel(std::uint32_t pixel, int shift) {
    return (pixel >> shift) & 0xFF;
}

// The mean of each 2 × 2 block, rounded.
std::vector<std::uint32_t> halved(const std::vector<std::uint32_t>& pixels, std::int32_t width,
                                  std::int32_t height) {
    std::vector<std::uint32_t> half;
    for (std::int32_t y = 0; y < height; y += 2) {
        for (std::int32_t x = 0; x < width; x += 2) {
            const std::size_t at = static_cast<std::size_t>(y) * width + x;
            std::uint32_t mean = 0;
            for (int shift : {0, 8, 16}) {
                const std::uint32_t sum =
                    channel(pixels[at], shift) + channel(pixels[at + 1], shift) +
                    channel(pixels[at + width], shift) + channel(pixels[at + width + 1], shift);
                mean |= (sum + 2) / 4 << shift;
            }
            half.push_back(mean);
        }
    }
    return half;
}

bool near(std::uint32_t a, std::uint32_t b, std::uint32_t tolerance) {
    for (int shift : {0, 8, 16}) {
        const std::uint32_t ca = channel(a, shift), cb = channel(b, shift);
        if ((ca > cb ? ca - cb : cb - ca) > tolerance) return false;
    }
    return true;
}

TEST(DrawingSize, At640x480EveryFrameIsTheOneTheShowAlwaysDrew) {
    const Drawn drawn = drawSceneFrames(640, 480);
    ASSERT_EQ(drawn.frames.size(), std::size(kFrameHashes));
    for (std::size_t i = 0; i < drawn.frames.size(); ++i)
        EXPECT_EQ(fnv1a(drawn.frames[i]), kFrameHashes[i]) << "frame " << i;
}

TEST(DrawingSize, TwiceTheSizeShowsTheSamePictureInFinerPixels) {
    const Drawn small = drawSceneFrames(640, 480);
    const Drawn large = drawSceneFrames(1280, 960);
    for (std::size_t i = 0; i < small.frames.size(); ++i) {
        const std::vector<std::uint32_t> reduced = halved(large.frames[i], 1280, 960);
        std::size_t alike = 0;
        for (std::size_t p = 0; p < reduced.size(); ++p)
            alike += near(reduced[p], small.frames[i][p], kTolerance) ? 1 : 0;
        const double share = static_cast<double>(alike) / static_cast<double>(reduced.size());
        EXPECT_GE(share, kLeastAlike) << "frame " << i;
    }
}

TEST(DrawingSize, AWideTargetHasThePictureInTheMiddleAndBlackBars) {
    const Drawn drawn = drawSceneFrames(1920, 1080);
    for (std::size_t i = 0; i < drawn.frames.size(); ++i) {
        std::size_t lit = 0;
        for (std::int32_t y = 0; y < 1080; ++y) {
            for (std::int32_t x = 0; x < 1920; ++x) {
                const std::uint32_t pixel = drawn.frames[i][static_cast<std::size_t>(y) * 1920 + x];
                if (x < 240 || x >= 1680) {
                    ASSERT_EQ(pixel, 0u) << "frame " << i << " at " << x << ", " << y;
                } else {
                    lit += pixel != 0 ? 1 : 0;
                }
            }
        }
        EXPECT_GT(lit, 1440u * 1080u / 2) << "frame " << i;
    }
    for (std::int32_t x : {0, 239, 240, 1679, 1680, 1919}) {
        const bool inPicture = x >= 240 && x < 1680;
        EXPECT_EQ(drawn.flash[540 * 1920 + x] & 0xFFFFFFu, inPicture ? 0xFFFFFFu : 0u)
            << "flash at x " << x;
    }
}

}  // namespace
}  // namespace glint::test
