#include "platform/gfx/clipper.h"

#include <utility>

namespace glint::gfx {
namespace {

enum class Plane { near, far, left, right, bottom, top };

constexpr Plane kPlanes[kClipPlaneCount] = {Plane::near,  Plane::far,    Plane::left,
                                            Plane::right, Plane::bottom, Plane::top};

// Signed distance to the plane, positive inside; in double, since corners far
// beyond the guard band lose the plane's position in single precision.
double distance(const ClipVertex& p, Plane plane, const GuardBand& guard) {
    const double x = p.x, y = p.y, z = p.z, w = p.w;
    switch (plane) {
        case Plane::near:
            return z;
        case Plane::far:
            return w - z;
        case Plane::left:
            return x + guard.x * w;
        case Plane::right:
            return guard.x * w - x;
        case Plane::bottom:
            return y + guard.y * w;
        default:
            return guard.y * w - y;
    }
}

float lerp(float from, float to, double t) {
    return static_cast<float>(from + t * (static_cast<double>(to) - from));
}

// Always measured from the inside corner, so that an edge shared by two
// triangles is cut at the same point whichever way each triangle runs it. The
// new corner is put exactly on the plane: between corners far apart the
// interpolation alone can miss it by more than the guard band's width.
ClipVertex intersect(const ClipVertex& inside, double dInside, const ClipVertex& outside,
                     double dOutside, Plane plane, const GuardBand& guard) {
    const double t = dInside / (dInside - dOutside);
    ClipVertex p{lerp(inside.x, outside.x, t), lerp(inside.y, outside.y, t),
                 lerp(inside.z, outside.z, t), lerp(inside.w, outside.w, t),
                 lerp(inside.u, outside.u, t), lerp(inside.v, outside.v, t)};
    switch (plane) {
        case Plane::near:
            p.z = 0.0f;
            break;
        case Plane::far:
            p.z = p.w;
            break;
        case Plane::left:
            p.x = -guard.x * p.w;
            break;
        case Plane::right:
            p.x = guard.x * p.w;
            break;
        case Plane::bottom:
            p.y = -guard.y * p.w;
            break;
        default:
            p.y = guard.y * p.w;
            break;
    }
    return p;
}

// Rounding can make a nearly degenerate polygon look non-convex; its extra
// corners are dropped rather than written past the end.
void append(ClippedPolygon& polygon, const ClipVertex& corner) {
    if (polygon.count < kMaxClippedCorners) polygon.corners[polygon.count++] = corner;
}

}  // namespace

void clipTriangle(const ClipVertex (&triangle)[3], const GuardBand& guard, ClippedPolygon& result) {
    ClippedPolygon scratch;
    ClippedPolygon* source = &scratch;
    ClippedPolygon* target = &result;
    for (int i = 0; i < 3; ++i)
        source->corners[i] = triangle[i];
    source->count = 3;
    for (const Plane plane : kPlanes) {
        target->count = 0;
        for (int i = 0; i < source->count; ++i) {
            const ClipVertex& a = source->corners[i];
            const ClipVertex& b = source->corners[(i + 1) % source->count];
            const double da = distance(a, plane, guard);
            const double db = distance(b, plane, guard);
            const bool aInside = da >= 0.0;
            const bool bInside = db >= 0.0;
            if (aInside) append(*target, a);
            if (aInside && !bInside) append(*target, intersect(a, da, b, db, plane, guard));
            if (!aInside && bInside) append(*target, intersect(b, db, a, da, plane, guard));
        }
        std::swap(source, target);
        if (source->count < 3) break;
    }
    if (source != &result) result = *source;
    if (result.count < 3) result.count = 0;
}

}  // namespace glint::gfx
