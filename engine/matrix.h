// 4 × 4 matrices in the device's layout (row-major, row vectors: p' = p · M) and
// the few operations the engine composes its world and view transforms from.
#pragma once

#include "platform/gfx/device.h"

namespace glint {

using Matrix = gfx::TransformMatrix;

struct Point3 {
    float x = 0, y = 0, z = 0;
};

Matrix identityMatrix();

// dst = a · b, summed in extended precision; dst may alias a or b.
void matMultiply(Matrix& dst, const Matrix& a, const Matrix& b);

// Ry(ay) · Rx(ax) · Rz(az): a point turns about y first, then x, then z.
Matrix rotationMatrix(double ax, double ay, double az);
Matrix translationMatrix(double tx, double ty, double tz);

// p · m with the division by w.
Point3 transformPoint(const Point3& p, const Matrix& m);

}  // namespace glint
