// The show's picture is 4:3 whatever holds it: in an area of another shape it takes
// the largest 4:3 rectangle, centred, and the rest stays black.
#pragma once

#include <cstdint>

#include "platform/rect.h"

namespace glint {

inline constexpr std::int32_t kPictureAspectWidth = 4;
inline constexpr std::int32_t kPictureAspectHeight = 3;

constexpr Rect pictureArea(std::int32_t width, std::int32_t height) {
    std::int32_t pictureWidth = width;
    std::int32_t pictureHeight = height;
    if (std::int64_t{width} * kPictureAspectHeight > std::int64_t{height} * kPictureAspectWidth) {
        pictureWidth = height * kPictureAspectWidth / kPictureAspectHeight;
    } else {
        pictureHeight = width * kPictureAspectHeight / kPictureAspectWidth;
    }
    const std::int32_t left = (width - pictureWidth) / 2;
    const std::int32_t top = (height - pictureHeight) / 2;
    return {left, top, left + pictureWidth, top + pictureHeight};
}

static_assert(pictureArea(640, 480) == Rect{0, 0, 640, 480});
static_assert(pictureArea(1920, 1080) == Rect{240, 0, 1680, 1080});
static_assert(pictureArea(1280, 1024) == Rect{0, 32, 1280, 992});

}  // namespace glint
