#include "render/GR_DirectX.h"

#include <gtest/gtest.h>

#include <cmath>

namespace gm {
namespace {

constexpr double Pi = 3.141592653589793;

TMatrix Translation(float x, float y, float z) {
    TMatrix m = MatrixIdentity();
    m.m[3][0] = x;
    m.m[3][1] = y;
    m.m[3][2] = z;
    return m;
}

TMatrix Scaling(float s) {
    TMatrix m = MatrixIdentity();
    m.m[0][0] = m.m[1][1] = m.m[2][2] = s;
    return m;
}

void ExpectMatrixNear(const TMatrix& a, const TMatrix& b, float tol) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            EXPECT_NEAR(a.m[i][j], b.m[i][j], tol) << i << "," << j;
}

void ExpectVecNear(const TVec3& a, const TVec3& b, float tol) {
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
    EXPECT_NEAR(a.z, b.z, tol);
}

TEST(Vec3, CrossDotNormalize) {
    ExpectVecNear(Vec3Cross(MakeVec3(1, 0, 0), MakeVec3(0, 1, 0)), MakeVec3(0, 0, 1), 0);
    ExpectVecNear(Vec3Cross(MakeVec3(0, 1, 0), MakeVec3(1, 0, 0)), MakeVec3(0, 0, -1), 0);
    EXPECT_EQ(Vec3Dot(MakeVec3(1, 2, 3), MakeVec3(4, -5, 6)), 12);
    ExpectVecNear(Vec3Normalize(MakeVec3(3, 0, -4)), MakeVec3(0.6f, 0, -0.8f), 1e-7f);
    ExpectVecNear(Vec3Normalize(MakeVec3(0, 0, 0)), MakeVec3(0, 0, 0), 0);
}

TEST(MatrixMultiply, AppliesTheSecondArgumentFirst) {
    const TMatrix a = Translation(10, 0, 0);
    const TMatrix b = Scaling(2);
    ExpectMatrixNear(MatrixMultiply(a, MatrixIdentity()), a, 0);
    ExpectMatrixNear(MatrixMultiply(MatrixIdentity(), b), b, 0);
    // Scale first, then translate: (1, 0, 0) -> (2, 0, 0) -> (12, 0, 0); the other order gives 22.
    ExpectVecNear(Vec3TransformCoord(MatrixMultiply(a, b), MakeVec3(1, 0, 0)), MakeVec3(12, 0, 0),
                  1e-6f);
    ExpectVecNear(Vec3TransformCoord(MatrixMultiply(b, a), MakeVec3(1, 0, 0)), MakeVec3(22, 0, 0),
                  1e-6f);
}

TEST(MatrixRotationAxis, LeftHandedQuarterTurns) {
    // About +Y, x turns towards -z; about +Z, x turns towards +y.
    ExpectVecNear(
        Vec3TransformCoord(MatrixRotationAxis(MakeVec3(0, 1, 0), Pi / 2), MakeVec3(1, 0, 0)),
        MakeVec3(0, 0, -1), 1e-6f);
    ExpectVecNear(
        Vec3TransformCoord(MatrixRotationAxis(MakeVec3(0, 0, 1), Pi / 2), MakeVec3(1, 0, 0)),
        MakeVec3(0, 1, 0), 1e-6f);
    // A point on the axis stays; lengths are kept.
    const TVec3 axis = Vec3Normalize(MakeVec3(1, 2, 3));
    const TMatrix m = MatrixRotationAxis(axis, 1.234);
    ExpectVecNear(Vec3TransformCoord(m, Vec3Scale(axis, 5)), Vec3Scale(axis, 5), 1e-5f);
    EXPECT_NEAR(Vec3Length(Vec3TransformCoord(m, MakeVec3(4, -1, 2))),
                Vec3Length(MakeVec3(4, -1, 2)), 1e-5f);
}

TEST(MatrixRoll, TurnsXTowardsMinusY) {
    ExpectVecNear(Vec3TransformCoord(MatrixRoll(Pi / 2), MakeVec3(1, 0, 0)), MakeVec3(0, -1, 0),
                  1e-6f);
}

TEST(MatrixLookAt, PutsTheEyeAtTheOriginLookingAlongZ) {
    const TMatrix v = MatrixLookAt(MakeVec3(0, 0, -5), MakeVec3(0, 0, 0), MakeVec3(0, 1, 0));
    ExpectVecNear(Vec3TransformCoord(v, MakeVec3(0, 0, -5)), MakeVec3(0, 0, 0), 1e-6f);
    ExpectVecNear(Vec3TransformCoord(v, MakeVec3(0, 0, 0)), MakeVec3(0, 0, 5), 1e-6f);
    ExpectVecNear(Vec3TransformCoord(v, MakeVec3(1, 2, 0)), MakeVec3(1, 2, 5), 1e-6f);
    // Looking down -X from +X: world +Z is to the right.
    const TMatrix w = MatrixLookAt(MakeVec3(5, 0, 0), MakeVec3(0, 0, 0), MakeVec3(0, 1, 0));
    ExpectVecNear(Vec3TransformCoord(w, MakeVec3(0, 0, 1)), MakeVec3(1, 0, 5), 1e-6f);
}

TEST(MatrixProjection, DepthRunsFromNearToFarAndXYInPixels) {
    const TMatrix p = MatrixProjection(100, 500, Pi / 2, 800);
    EXPECT_NEAR(Vec3TransformCoord(p, MakeVec3(0, 0, 100)).z, 0, 1e-6f);
    EXPECT_NEAR(Vec3TransformCoord(p, MakeVec3(0, 0, 500)).z, 1, 1e-6f);
    // far (z - near) / ((far - near) z) at z = 200: 500 * 100 / (400 * 200).
    EXPECT_NEAR(Vec3TransformCoord(p, MakeVec3(0, 0, 200)).z, 0.625f, 1e-6f);
    // 90 degrees of view: x / z = 1 lies 800 pixels from the centre (scale * cot 45).
    const TVec3 q = Vec3TransformCoord(p, MakeVec3(1, -0.5f, 2));
    EXPECT_NEAR(q.x, 400, 1e-3f);
    EXPECT_NEAR(q.y, -200, 1e-3f);
}

TEST(Vec3TransformCoord, ZeroWGivesNoNaN) {
    const TMatrix p = MatrixProjection(100, 500, Pi / 2, 800);
    const TVec3 q = Vec3TransformCoord(p, MakeVec3(1, 1, 0));
    EXPECT_FALSE(std::isnan(q.x) || std::isnan(q.y) || std::isnan(q.z));
}

TEST(MatrixInverse, TimesTheMatrixGivesIdentity) {
    const TMatrix rigid = MatrixMultiply(Translation(120, -40, 2300),
                                         MatrixRotationAxis(Vec3Normalize(MakeVec3(1, 1, 0)), 0.7));
    const TMatrix lookAt =
        MatrixLookAt(MakeVec3(1200, -900, 1500), MakeVec3(0, 0, 0), MakeVec3(0, 1, 0));
    // The projection has zeros on its diagonal (M44) and needs row exchanges.
    const TMatrix proj = MatrixProjection(1200, 3400, 88 * Pi / 180, 800);
    TMatrix permuted;
    permuted.m[0][2] = 3;
    permuted.m[1][0] = -2;
    permuted.m[2][3] = 0.5f;
    permuted.m[3][1] = 4;
    // The translation row is a sum of terms of about 2300 in 32-bit floats.
    for (const TMatrix& m : {rigid, lookAt, proj, permuted}) {
        ExpectMatrixNear(MatrixMultiply(MatrixInverse(m), m), MatrixIdentity(), 3e-4f);
        ExpectMatrixNear(MatrixMultiply(m, MatrixInverse(m)), MatrixIdentity(), 3e-4f);
    }
    TMatrix diag = Scaling(2);
    diag.m[1][1] = 4;
    diag.m[2][2] = 5;
    TMatrix expected = Scaling(0.5f);
    expected.m[1][1] = 0.25f;
    expected.m[2][2] = 0.2f;
    ExpectMatrixNear(MatrixInverse(diag), expected, 1e-7f);
}

TEST(MatrixInverse, SingularMatrixGivesNoNaN) {
    TMatrix zero;
    TMatrix rankTwo = MatrixIdentity();
    rankTwo.m[1][1] = 0;
    rankTwo.m[2][2] = 0;
    for (const TMatrix& m : {zero, rankTwo}) {
        const TMatrix inv = MatrixInverse(m);
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j)
                EXPECT_FALSE(std::isnan(inv.m[i][j]));
    }
}

TEST(IntersectTriangle, HitsOnlyTheFrontSide) {
    const TVec3 p0{0, 0, 0}, p1{0, 1, 0}, p2{1, 0, 0}; // normal (0, 0, -1), facing the ray
    const TVec3 orig{0.25f, 0.5f, -5}, dir{0, 0, 1};
    float t = 0, u = 0, v = 0;
    ASSERT_TRUE(IntersectTriangle(orig, dir, p0, p1, p2, t, u, v));
    EXPECT_NEAR(t, 5, 1e-6f);
    EXPECT_NEAR(u, 0.5f, 1e-6f); // along p1 - p0
    EXPECT_NEAR(v, 0.25f, 1e-6f);

    EXPECT_FALSE(IntersectTriangle(orig, dir, p0, p2, p1, t, u, v)); // seen from the back
    EXPECT_FALSE(IntersectTriangle(MakeVec3(0.8f, 0.8f, -5), dir, p0, p1, p2, t, u, v));
    EXPECT_FALSE(IntersectTriangle(orig, MakeVec3(1, 0, 0), p0, p1, p2, t, u, v)); // parallel

    // t is in units of |dir| and is not required to be ahead of the origin.
    ASSERT_TRUE(IntersectTriangle(orig, MakeVec3(0, 0, 2), p0, p1, p2, t, u, v));
    EXPECT_NEAR(t, 2.5f, 1e-6f);
    ASSERT_TRUE(IntersectTriangle(MakeVec3(0.25f, 0.5f, 3), dir, p0, p1, p2, t, u, v));
    EXPECT_NEAR(t, -3, 1e-6f);
}

} // namespace
} // namespace gm
