// Homogeneous clipping of one triangle against the near and far planes and the
// guard band, before the divide by w.
#pragma once

namespace glint::gfx {

struct ClipVertex {
    float x, y, z, w;
    float u, v;
};

// The guard band as multiples of w: |x| <= x·w and |y| <= y·w stay unclipped.
struct GuardBand {
    float x, y;
};

// Each plane adds at most one corner to a convex polygon.
inline constexpr int kClipPlaneCount = 6;
inline constexpr int kMaxClippedCorners = 3 + kClipPlaneCount;

struct ClippedPolygon {
    ClipVertex corners[kMaxClippedCorners];
    int count = 0;
};

// Clips the triangle to 0 <= z <= w and the guard band; attributes are
// interpolated linearly in clip space. Fewer than three corners left: none.
void clipTriangle(const ClipVertex (&triangle)[3], const GuardBand& guard, ClippedPolygon& result);

}  // namespace glint::gfx
