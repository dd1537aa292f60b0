#include "engine/matrix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <random>

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

// Results reached by way of double as extended precision gives them, bit for bit,
// zeros' signs included: over operands at random, exact zeros of either sign, and sums
// that cancel or fall on a float rounding boundary only beyond double precision.
TEST(Matrix, ResultsRoundAsInExtendedPrecision) {
    std::mt19937 random(20261209);
    const auto operand = [&]() -> float {
        const float sign = random() % 2 ? -1.0f : 1.0f;
        switch (random() % 5) {
            case 0:
                return sign * 0.0f;
            case 1:
                return std::uniform_real_distribution<float>(-2, 2)(random);
            case 2:
                return sign * std::ldexp(std::uniform_real_distribution<float>(1, 2)(random),
                                         static_cast<int>(random() % 61) - 30);
            case 3:
                return sign * std::ldexp(1.0f, -static_cast<int>(random() % 40));
            default:
                return sign * (1 + std::ldexp(static_cast<float>(random() % 4), -24));
        }
    };
    const auto sameBits = [](float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; };
    for (int trial = 0; trial < 20000; ++trial) {
        Matrix a, b;
        for (int r = 0; r < 4; ++r) {
            for (int c = 0; c < 4; ++c) {
                a.m[r][c] = operand();
                b.m[r][c] = operand();
            }
        }
        constexpr ExtendedRounding kByDouble = ExtendedRounding::byDouble;
        Matrix ab;
        matMultiply<kByDouble>(ab, a, b);
        for (int r = 0; r < 4; ++r) {
            for (int c = 0; c < 4; ++c) {
                long double sum = 0;
                for (int k = 0; k < 4; ++k)
                    sum += static_cast<long double>(a.m[r][k]) * b.m[k][c];
                ASSERT_TRUE(sameBits(ab.m[r][c], static_cast<float>(sum))) << trial;
            }
        }

        const Point3 p{operand(), operand(), operand()};
        const long double x = p.x, y = p.y, z = p.z;
        const auto column = [&](int c) {
            return x * a.m[0][c] + y * a.m[1][c] + z * a.m[2][c] + a.m[3][c];
        };
        const Point3 moved = transformPoint<kByDouble>(p, a);
        ASSERT_TRUE(sameBits(moved.x, static_cast<float>(column(0) / column(3)))) << trial;
        ASSERT_TRUE(sameBits(moved.y, static_cast<float>(column(1) / column(3)))) << trial;
        ASSERT_TRUE(sameBits(moved.z, static_cast<float>(column(2) / column(3)))) << trial;

        const double angle = trial % 2 ? std::uniform_real_distribution<double>(-1e3, 1e3)(random)
                                       : kHalfTurn * static_cast<double>(trial % 1000);
        const Matrix aboutX = rotationMatrix<kByDouble>(angle, 0, 0);
        ASSERT_TRUE(
            sameBits(aboutX.m[1][2], static_cast<float>(std::sin(static_cast<long double>(angle)))))
            << trial;
        ASSERT_TRUE(
            sameBits(aboutX.m[1][1], static_cast<float>(std::cos(static_cast<long double>(angle)))))
            << trial;
    }
}

}  // namespace
}  // namespace glint
