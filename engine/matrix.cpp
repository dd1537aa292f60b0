#include "engine/matrix.h"

#include <cmath>

namespace glint {
namespace {

// The angle's sine and cosine, taken in extended precision and stored as floats.
struct SinCos {
    float s, c;
};

SinCos sinCos(double angle) {
    const long double a = angle;
    return {static_cast<float>(std::sin(a)), static_cast<float>(std::cos(a))};
}

Matrix rotationX(double angle) {
    const auto [s, c] = sinCos(angle);
    return {{{1, 0, 0, 0}, {0, c, s, 0}, {0, -s, c, 0}, {0, 0, 0, 1}}};
}

Matrix rotationY(double angle) {
    const auto [s, c] = sinCos(angle);
    return {{{c, 0, -s, 0}, {0, 1, 0, 0}, {s, 0, c, 0}, {0, 0, 0, 1}}};
}

Matrix rotationZ(double angle) {
    const auto [s, c] = sinCos(angle);
    return {{{c, s, 0, 0}, {-s, c, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
}

}  // namespace

Matrix identityMatrix() {
    return {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
}

void matMultiply(Matrix& dst, const Matrix& a, const Matrix& b) {
    Matrix product;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            long double sum = 0;
            for (int k = 0; k < 4; ++k) {
                sum += static_cast<long double>(a.m[r][k]) * b.m[k][c];
            }
            product.m[r][c] = static_cast<float>(sum);
        }
    }
    dst = product;
}

Matrix rotationMatrix(double ax, double ay, double az) {
    Matrix m = identityMatrix();
    matMultiply(m, m, rotationY(ay));
    matMultiply(m, m, rotationX(ax));
    matMultiply(m, m, rotationZ(az));
    return m;
}

Matrix translationMatrix(double tx, double ty, double tz) {
    Matrix m = identityMatrix();
    m.m[3][0] = static_cast<float>(tx);
    m.m[3][1] = static_cast<float>(ty);
    m.m[3][2] = static_cast<float>(tz);
    return m;
}

Point3 transformPoint(const Point3& p, const Matrix& m) {
    const long double x = p.x, y = p.y, z = p.z;
    const long double w = x * m.m[0][3] + y * m.m[1][3] + z * m.m[2][3] + m.m[3][3];
    return {static_cast<float>((x * m.m[0][0] + y * m.m[1][0] + z * m.m[2][0] + m.m[3][0]) / w),
            static_cast<float>((x * m.m[0][1] + y * m.m[1][1] + z * m.m[2][1] + m.m[3][1]) / w),
            static_cast<float>((x * m.m[0][2] + y * m.m[1][2] + z * m.m[2][2] + m.m[3][2]) / w)};
}

}  // namespace glint
