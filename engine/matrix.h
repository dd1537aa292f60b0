// 4 × 4 matrices in the device's layout (row-major, row vectors: p' = p · M) and
// the few operations the engine composes its world and view transforms from.
#pragma once

#include <limits>

#include "platform/gfx/device.h"

namespace glint {

using Matrix = gfx::TransformMatrix;

struct Point3 {
    float x = 0, y = 0, z = 0;
};

// Some results are rounded to float from extended precision (x86's 64-bit mantissa).
// Where that is hardware they are taken in it throughout; elsewhere long double is a
// software type costing more than all else in a transform, so they are taken in double
// and in extended precision only where a float rounding boundary lies within double's
// error: the same floats either way.
enum class ExtendedRounding { throughout, byDouble };
inline constexpr ExtendedRounding kExtendedRounding = std::numeric_limits<long double>::digits == 64
                                                          ? ExtendedRounding::throughout
                                                          : ExtendedRounding::byDouble;

Matrix identityMatrix();

// dst = a · b, summed in extended precision; dst may alias a or b.
template <ExtendedRounding kHow = kExtendedRounding>
void matMultiply(Matrix& dst, const Matrix& a, const Matrix& b);

// Ry(ay) · Rx(ax) · Rz(az): a point turns about y first, then x, then z.
template <ExtendedRounding kHow = kExtendedRounding>
Matrix rotationMatrix(double ax, double ay, double az);
Matrix translationMatrix(double tx, double ty, double tz);

// p · m with the division by w, in extended precision.
template <ExtendedRounding kHow = kExtendedRounding>
Point3 transformPoint(const Point3& p, const Matrix& m);

}  // namespace glint
