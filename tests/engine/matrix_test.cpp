#include "engine/matrix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace glint {
namespace {

constexpr double kHalfTurn = std::numbers::pi / 2;
constexpr float kTolerance = 1e-6f;

void expectPoint(const Point3& p, float x, float y, float z) {
    EXPECT_NEAR(p.x, x, kTolerance);
    EXPECT_NEAR(p.y, y, kTolerance);
    EXPECT_NEAR(p.z, z, kTolerance);
}

void expectSameMatrix(const Matrix& a, const Matrix& b) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(a.m[r][c], b.m[r][c]) << r << "," << c;
    }
}

Matrix product(const Matrix& a, const Matrix& b) {
    Matrix m;
    matMultiply(m, a, b);
    return m;
}

TEST(Matrix, ZeroRotationAndTranslationAreTheIdentity) {
    expectSameMatrix(rotationMatrix(0, 0, 0), identityMatrix());
    expectSameMatrix(translationMatrix(0, 0, 0), identityMatrix());
}

TEST(Matrix, QuarterTurnsAboutEachAxis) {
    const Matrix aboutX = rotationMatrix(kHalfTurn, 0, 0);
    expectPoint(transformPoint({0, 1, 0}, aboutX), 0, 0, 1);
    expectPoint(transformPoint({0, 0, 1}, aboutX), 0, -1, 0);
    expectPoint(transformPoint({1, 0, 0}, rotationMatrix(0, kHalfTurn, 0)), 0, 0, -1);
    expectPoint(transformPoint({1, 0, 0}, rotationMatrix(0, 0, kHalfTurn)), 0, 1, 0);
}

TEST(Matrix, RotationTurnsAboutYThenXThenZ) {
    const double a = 0.7;
    const Matrix ry = rotationMatrix(0, a, 0);
    const Matrix rx = rotationMatrix(a, 0, 0);
    const Matrix rz = rotationMatrix(0, 0, a);
    const Matrix rotation = rotationMatrix(a, a, a);
    expectSameMatrix(rotation, product(product(ry, rx), rz));

    const Matrix otherOrder = product(product(rx, ry), rz);
    bool differs = false;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c)
            differs |= std::fabs(rotation.m[r][c] - otherOrder.m[r][c]) > 1e-3f;
    }
    EXPECT_TRUE(differs);
}

TEST(Matrix, ProductMayOverwriteEitherFactor) {
    const Matrix a = rotationMatrix(0.3, -1.1, 2.0);
    const Matrix b = product(translationMatrix(1, -2, 3), rotationMatrix(0.5, 0.25, -0.75));
    const Matrix expected = product(a, b);

    Matrix intoA = a;
    matMultiply(intoA, intoA, b);
    expectSameMatrix(intoA, expected);
    Matrix intoB = b;
    matMultiply(intoB, a, intoB);
    expectSameMatrix(intoB, expected);
}

TEST(Matrix, ProductSumsBeyondSinglePrecision) {
    // In single precision 1e8 + 1 − 1e8 would come out as 0.
    Matrix a{};
    a.m[0][0] = 1e8f;
    a.m[0][1] = 1;
    a.m[0][2] = -1e8f;
    Matrix b{};
    b.m[0][0] = b.m[1][0] = b.m[2][0] = 1;
    EXPECT_EQ(product(a, b).m[0][0], 1.0f);
}

TEST(Matrix, TransformPointTranslatesAndDividesByW) {
    const Point3 moved = transformPoint({1, 2, 3}, translationMatrix(10, 20, 30));
    EXPECT_EQ(moved.x, 11);
    EXPECT_EQ(moved.y, 22);
    EXPECT_EQ(moved.z, 33);

    Matrix halving = identityMatrix();
    halving.m[3][3] = 2;
    expectPoint(transformPoint({4, 6, 8}, halving), 2, 3, 4);
}

}  // namespace
}  // namespace glint
