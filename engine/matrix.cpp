#include "engine/matrix.h"

#include <cmath>

namespace glint {
namespace {

// Sums of up to four exact products, rounded in double or in extended precision, lie
// within this of their exact value, relative to the sum of the terms' magnitudes
// (a few units of 2^-53, with room to spare).
constexpr double kSumError = 0x1p-48;
// Relative room for a last rounding in double, and for sin and cos in double.
constexpr double kRoundingError = 0x1p-50;
// x87's sine and cosine reduce the angle by a 66-bit pi: an absolute error of about
// |angle| · 2^-66, bounded here with room to spare.
constexpr double kReductionError = 0x1p-56;

// Whether every value within `error` of `approx` rounds to the float `approx` rounds
// to, sign and all. `error` is at least a few of approx's own units in the last place,
// so that approx ± 2·error, rounded, still encloses approx ± error.
bool roundsAlike(double approx, double error) {
    const double low = approx - 2 * error;
    const double high = approx + 2 * error;
    return (low > 0 || high < 0) && static_cast<float>(low) == static_cast<float>(high);
}

// The angle's sine and cosine, taken in extended precision and stored as floats.
struct SinCos {
    float s, c;
};

template <ExtendedRounding kHow>
SinCos sinCos(double angle) {
    if constexpr (kHow == ExtendedRounding::byDouble) {
        const double s = std::sin(angle);
        const double c = std::cos(angle);
        const double reduction = kReductionError * std::fabs(angle);
        if (roundsAlike(s, kRoundingError * std::fabs(s) + reduction) &&
            roundsAlike(c, kRoundingError * std::fabs(c) + reduction)) {
            return {static_cast<float>(s), static_cast<float>(c)};
        }
    }
    const long double a = angle;
    return {static_cast<float>(std::sin(a)), static_cast<float>(std::cos(a))};
}

template <ExtendedRounding kHow>
Matrix rotationX(double angle) {
    const auto [s, c] = sinCos<kHow>(angle);
    return {{{1, 0, 0, 0}, {0, c, s, 0}, {0, -s, c, 0}, {0, 0, 0, 1}}};
}

template <ExtendedRounding kHow>
Matrix rotationY(double angle) {
    const auto [s, c] = sinCos<kHow>(angle);
    return {{{c, 0, -s, 0}, {0, 1, 0, 0}, {s, 0, c, 0}, {0, 0, 0, 1}}};
}

template <ExtendedRounding kHow>
Matrix rotationZ(double angle) {
    const auto [s, c] = sinCos<kHow>(angle);
    return {{{c, s, 0, 0}, {-s, c, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
}

// Terms summed in order from the first, as in extended precision, so that zeros keep
// the same signs; a product of floats is exact in both.
struct Sum {
    double value, magnitude;

    explicit Sum(double first) : value(first), magnitude(std::fabs(first)) {}
    void add(double term) {
        value += term;
        magnitude += std::fabs(term);
    }
    double error() const { return kSumError * magnitude; }
};

}  // namespace

Matrix identityMatrix() {
    return {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
}

template <ExtendedRounding kHow>
void matMultiply(Matrix& dst, const Matrix& a, const Matrix& b) {
    Matrix product;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            if constexpr (kHow == ExtendedRounding::byDouble) {
                Sum sum(0.0);
                for (int k = 0; k < 4; ++k)
                    sum.add(static_cast<double>(a.m[r][k]) * b.m[k][c]);
                // With no term but zeros, both precisions add the same zeros alike.
                if (sum.magnitude == 0 || roundsAlike(sum.value, sum.error())) {
                    product.m[r][c] = static_cast<float>(sum.value);
                    continue;
                }
            }
            long double extended = 0;
            for (int k = 0; k < 4; ++k)
                extended += static_cast<long double>(a.m[r][k]) * b.m[k][c];
            product.m[r][c] = static_cast<float>(extended);
        }
    }
    dst = product;
}

template <ExtendedRounding kHow>
Matrix rotationMatrix(double ax, double ay, double az) {
    Matrix m = identityMatrix();
    matMultiply<kHow>(m, m, rotationY<kHow>(ay));
    matMultiply<kHow>(m, m, rotationX<kHow>(ax));
    matMultiply<kHow>(m, m, rotationZ<kHow>(az));
    return m;
}

Matrix translationMatrix(double tx, double ty, double tz) {
    Matrix m = identityMatrix();
    m.m[3][0] = static_cast<float>(tx);
    m.m[3][1] = static_cast<float>(ty);
    m.m[3][2] = static_cast<float>(tz);
    return m;
}

template <ExtendedRounding kHow>
Point3 transformPoint(const Point3& p, const Matrix& m) {
    if constexpr (kHow == ExtendedRounding::byDouble) {
        const auto column = [&](int c) {
            Sum sum(static_cast<double>(p.x) * m.m[0][c]);
            sum.add(static_cast<double>(p.y) * m.m[1][c]);
            sum.add(static_cast<double>(p.z) * m.m[2][c]);
            sum.add(m.m[3][c]);
            return sum;
        };
        const Sum sums[3] = {column(0), column(1), column(2)};
        const Sum w = column(3);
        // Beyond twice its error w keeps its sign, and the quotient's error stays within
        // (|q|·error(w) + error(n)) / (|w| − error(w)) ≤ 2·(|q|·error(w) + error(n)) / |w|.
        if (std::fabs(w.value) > 2 * w.error()) {
            const double inverseW = 1 / w.value;
            float quotient[3];
            bool alike = true;
            for (int c = 0; c < 3 && alike; ++c) {
                const double q = sums[c].value * inverseW;
                const double error =
                    2 * (std::fabs(q) * w.error() + sums[c].error()) * std::fabs(inverseW) +
                    kRoundingError * std::fabs(q);
                // A numerator of zeros alone is exactly zero in both precisions.
                alike = sums[c].magnitude == 0 || roundsAlike(q, error);
                quotient[c] = static_cast<float>(q);
            }
            if (alike) return {quotient[0], quotient[1], quotient[2]};
        }
    }
    const long double x = p.x, y = p.y, z = p.z;
    const long double w = x * m.m[0][3] + y * m.m[1][3] + z * m.m[2][3] + m.m[3][3];
    return {static_cast<float>((x * m.m[0][0] + y * m.m[1][0] + z * m.m[2][0] + m.m[3][0]) / w),
            static_cast<float>((x * m.m[0][1] + y * m.m[1][1] + z * m.m[2][1] + m.m[3][1]) / w),
            static_cast<float>((x * m.m[0][2] + y * m.m[1][2] + z * m.m[2][2] + m.m[3][2]) / w)};
}

// Reached by way of double where extended precision is software, and by tests.
template void matMultiply<ExtendedRounding::throughout>(Matrix&, const Matrix&, const Matrix&);
template void matMultiply<ExtendedRounding::byDouble>(Matrix&, const Matrix&, const Matrix&);
template Matrix rotationMatrix<ExtendedRounding::throughout>(double, double, double);
template Matrix rotationMatrix<ExtendedRounding::byDouble>(double, double, double);
template Point3 transformPoint<ExtendedRounding::throughout>(const Point3&, const Matrix&);
template Point3 transformPoint<ExtendedRounding::byDouble>(const Point3&, const Matrix&);

}  // namespace glint
