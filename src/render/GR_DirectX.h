#pragma once
// Vector and 4x4 matrix operations in the left-handed Direct3D layout: row vectors multiplied on
// the left (p' = p * M), translation in row 4. Results are 32-bit floats computed in double.

#include <limits>

#include "render/VecTypes.h"

namespace gm {

TVec3 Vec3Add(const TVec3& a, const TVec3& b);
TVec3 Vec3Sub(const TVec3& a, const TVec3& b);
TVec3 Vec3Scale(const TVec3& v, double s);
float Vec3Length(const TVec3& v);
// v * (1 / |v|); a zero vector stays zero.
TVec3 Vec3Normalize(const TVec3& v);
TVec3 Vec3Cross(const TVec3& a, const TVec3& b);
float Vec3Dot(const TVec3& a, const TVec3& b);
// Transforms the point (v, 1) and divides by the resulting w. A zero w (a point in the plane of
// the eye under a projection) gives +infinity in every component rather than NaN. Inline: every
// frame projects every point through it.
inline TVec3 Vec3TransformCoord(const TMatrix& m, const TVec3& v) {
    const double x = v.x, y = v.y, z = v.z;
    const double den = x * m.m[0][3] + y * m.m[1][3] + z * m.m[2][3] + m.m[3][3];
    if (den == 0) {
        constexpr float inf = std::numeric_limits<float>::infinity();
        return TVec3{inf, inf, inf};
    }
    const double w = 1 / den;
    return TVec3{
        static_cast<float>((x * m.m[0][0] + y * m.m[1][0] + z * m.m[2][0] + m.m[3][0]) * w),
        static_cast<float>((x * m.m[0][1] + y * m.m[1][1] + z * m.m[2][1] + m.m[3][1]) * w),
        static_cast<float>((x * m.m[0][2] + y * m.m[1][2] + z * m.m[2][2] + m.m[3][2]) * w)};
}

void MatrixZero(TMatrix& m);
void MatrixIdentity(TMatrix& m);
TMatrix MatrixIdentity();
// Rotation by theta in the x-y plane of the view.
TMatrix MatrixRoll(double theta);
// Rotation by theta about a unit axis (the axis is not normalised here).
TMatrix MatrixRotationAxis(const TVec3& axis, double theta);
// Perspective projection; fov in radians. With scale = panel width in pixels, projected x and y
// come out in pixels from the panel centre and depth runs 0 (near) .. 1 (far).
TMatrix MatrixProjection(float nearPlane, float farPlane, double fov, float scale);
// Left-handed look-at view matrix.
TMatrix MatrixLookAt(const TVec3& eye, const TVec3& at, const TVec3& up);
// B x A: the transform that applies b first and then a (callers pass the later transform first).
TMatrix MatrixMultiply(const TMatrix& a, const TMatrix& b);
// Inverse by Crout LU decomposition with implicitly scaled partial pivoting. A singular matrix
// is not reported: a zero pivot is replaced by 1e-20, so its result is huge rather than NaN.
TMatrix MatrixInverse(const TMatrix& m);

// One-sided ray/triangle test: only triangles whose normal (p1 - p0) x (p2 - p0) points against
// dir are hit. On a hit t (in units of |dir|, possibly negative), u and v are written.
bool IntersectTriangle(const TVec3& orig, const TVec3& dir, const TVec3& p0, const TVec3& p1,
                       const TVec3& p2, float& t, float& u, float& v);

} // namespace gm
