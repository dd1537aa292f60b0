// Homogeneous clipping of one triangle against the near and far planes and the
// guard band, before the divide by w.
#pragma once

#include <cstdint>

namespace glint::gfx {

struct ClipVertex {
    float x, y, z, w;
    float u, v;
};

enum ClipOutcode : std::uint32_t {
    kOutNear = 1u << 0,  // z < 0
    kOutFar = 1u << 1,   // z > w
    kOutGuardLeft = 1u << 2,
    kOutGuardRight = 1u << 3,
    kOutGuardBottom = 1u << 4,
    kOutGuardTop = 1u << 5,
    kOutViewLeft = 1u << 6,  // x < -w: left of every pixel centre of the viewport
    kOutViewRight = 1u << 7,
    kOutViewBottom = 1u << 8,
    kOutViewTop = 1u << 9,
};

// Outside any of these, a triangle needs clipping; all corners outside one of
// them, it is invisible.
inline constexpr std::uint32_t kClipPlanes =
    kOutNear | kOutFar | kOutGuardLeft | kOutGuardRight | kOutGuardBottom | kOutGuardTop;
inline constexpr std::uint32_t kRejectPlanes =
    kOutNear | kOutFar | kOutViewLeft | kOutViewRight | kOutViewBottom | kOutViewTop;

// The guard band as multiples of w: |x| <= x·w and |y| <= y·w stay unclipped.
struct GuardBand {
    float x, y;
};

inline std::uint32_t outcode(const ClipVertex& p, const GuardBand& guard) {
    std::uint32_t code = 0;
    if (p.z < 0.0f) code |= kOutNear;
    if (p.z > p.w) code |= kOutFar;
    if (p.x < -guard.x * p.w) code |= kOutGuardLeft;
    if (p.x > guard.x * p.w) code |= kOutGuardRight;
    if (p.y < -guard.y * p.w) code |= kOutGuardBottom;
    if (p.y > guard.y * p.w) code |= kOutGuardTop;
    if (p.x < -p.w) code |= kOutViewLeft;
    if (p.x > p.w) code |= kOutViewRight;
    if (p.y < -p.w) code |= kOutViewBottom;
    if (p.y > p.w) code |= kOutViewTop;
    return code;
}

// Each plane adds at most one corner to a convex polygon.
inline constexpr int kMaxClippedCorners = 3 + 6;

struct ClippedPolygon {
    ClipVertex corners[kMaxClippedCorners];
    int count = 0;
};

// Clips the triangle against the planes named in `planes` (a subset of
// kClipPlanes); attributes are interpolated linearly in clip space.
void clipTriangle(const ClipVertex (&triangle)[3], std::uint32_t planes, const GuardBand& guard,
                  ClippedPolygon& result);

}  // namespace glint::gfx
