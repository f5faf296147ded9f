#include "render/GR_DirectX.h"

#include <cmath>
#include <limits>
#include <utility>

namespace gm {

namespace {

inline float Stored(double x) {
    return static_cast<float>(x);
}

inline double LengthD(const TVec3& v) {
    const double x = v.x, y = v.y, z = v.z;
    return std::sqrt(x * x + y * y + z * z);
}

} // namespace

TVec3 Vec3Add(const TVec3& a, const TVec3& b) {
    return TVec3{Stored(static_cast<double>(a.x) + b.x), Stored(static_cast<double>(a.y) + b.y),
                 Stored(static_cast<double>(a.z) + b.z)};
}

TVec3 Vec3Sub(const TVec3& a, const TVec3& b) {
    return TVec3{Stored(static_cast<double>(a.x) - b.x), Stored(static_cast<double>(a.y) - b.y),
                 Stored(static_cast<double>(a.z) - b.z)};
}

TVec3 Vec3Scale(const TVec3& v, double s) {
    return TVec3{Stored(v.x * s), Stored(v.y * s), Stored(v.z * s)};
}

float Vec3Length(const TVec3& v) {
    return Stored(LengthD(v));
}

TVec3 Vec3Normalize(const TVec3& v) {
    const double len = LengthD(v);
    if (len == 0) return TVec3{};
    return Vec3Scale(v, 1 / len);
}

TVec3 Vec3Cross(const TVec3& a, const TVec3& b) {
    const double ax = a.x, ay = a.y, az = a.z;
    return TVec3{Stored(ay * b.z - az * b.y), Stored(az * b.x - ax * b.z),
                 Stored(ax * b.y - ay * b.x)};
}

float Vec3Dot(const TVec3& a, const TVec3& b) {
    return Stored(static_cast<double>(a.x) * b.x + static_cast<double>(a.y) * b.y +
                  static_cast<double>(a.z) * b.z);
}

void MatrixZero(TMatrix& m) {
    m = TMatrix{};
}

void MatrixIdentity(TMatrix& m) {
    m = TMatrix{};
    for (int i = 0; i < 4; ++i)
        m.m[i][i] = 1;
}

TMatrix MatrixIdentity() {
    TMatrix m;
    MatrixIdentity(m);
    return m;
}

TMatrix MatrixRoll(double theta) {
    TMatrix m = MatrixIdentity();
    const double c = std::cos(theta), s = std::sin(theta);
    m.m[0][0] = Stored(c);
    m.m[0][1] = Stored(-s);
    m.m[1][0] = Stored(s);
    m.m[1][1] = Stored(c);
    return m;
}

TMatrix MatrixRotationAxis(const TVec3& axis, double theta) {
    const double c = std::cos(theta), s = std::sin(theta), k = 1 - c;
    const double x = axis.x, y = axis.y, z = axis.z;
    TMatrix m;
    m.m[0][0] = Stored(x * x + (1 - x * x) * c);
    m.m[0][1] = Stored(x * y * k + z * s);
    m.m[0][2] = Stored(x * z * k - y * s);
    m.m[1][0] = Stored(x * y * k - z * s);
    m.m[1][1] = Stored(y * y + (1 - y * y) * c);
    m.m[1][2] = Stored(y * z * k + x * s);
    m.m[2][0] = Stored(x * z * k + y * s);
    m.m[2][1] = Stored(y * z * k - x * s);
    m.m[2][2] = Stored(z * z + (1 - z * z) * c);
    m.m[3][3] = 1;
    return m;
}

TMatrix MatrixProjection(float nearPlane, float farPlane, double fov, float scale) {
    const double c = std::cos(fov / 2), s = std::sin(fov / 2);
    const double q = s / (1 - static_cast<double>(nearPlane) / farPlane);
    TMatrix m;
    m.m[0][0] = Stored(c * scale);
    m.m[1][1] = Stored(c * scale);
    m.m[2][2] = Stored(q);
    m.m[2][3] = Stored(s);
    m.m[3][2] = Stored(-q * nearPlane);
    return m;
}

TMatrix MatrixLookAt(const TVec3& eye, const TVec3& at, const TVec3& up) {
    const TVec3 zaxis = Vec3Normalize(Vec3Sub(at, eye));
    TVec3 xaxis = Vec3Cross(up, zaxis);
    TVec3 yaxis = Vec3Cross(zaxis, xaxis);
    xaxis = Vec3Normalize(xaxis);
    yaxis = Vec3Normalize(yaxis);

    TMatrix m = MatrixIdentity();
    m.m[0][0] = xaxis.x;
    m.m[1][0] = xaxis.y;
    m.m[2][0] = xaxis.z;
    m.m[0][1] = yaxis.x;
    m.m[1][1] = yaxis.y;
    m.m[2][1] = yaxis.z;
    m.m[0][2] = zaxis.x;
    m.m[1][2] = zaxis.y;
    m.m[2][2] = zaxis.z;
    m.m[3][0] = -Vec3Dot(xaxis, eye);
    m.m[3][1] = -Vec3Dot(yaxis, eye);
    m.m[3][2] = -Vec3Dot(zaxis, eye);
    return m;
}

TMatrix MatrixMultiply(const TMatrix& a, const TMatrix& b) {
    TMatrix out;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            double sum = 0;
            for (int k = 0; k < 4; ++k)
                sum += static_cast<double>(b.m[i][k]) * a.m[k][j];
            out.m[i][j] = Stored(sum);
        }
    }
    return out;
}

TMatrix MatrixInverse(const TMatrix& m) {
    constexpr int n = 4;
    constexpr double tiny = 1e-20;
    double lu[n][n];
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            lu[i][j] = m.m[i][j];

    // Implicit scaling: each row is weighed by the reciprocal of its largest element, so the
    // pivot choice does not depend on how the rows happen to be scaled.
    double scale[n];
    for (int i = 0; i < n; ++i) {
        double big = 0;
        for (int j = 0; j < n; ++j)
            big = std::fmax(big, std::fabs(lu[i][j]));
        scale[i] = big > 0 ? 1 / big : 1; // an all-zero row: singular, weigh it plainly
    }

    int index[n];
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < j; ++i) {
            double sum = lu[i][j];
            for (int k = 0; k < i; ++k)
                sum -= lu[i][k] * lu[k][j];
            lu[i][j] = sum;
        }
        double big = 0;
        int imax = j;
        for (int i = j; i < n; ++i) {
            double sum = lu[i][j];
            for (int k = 0; k < j; ++k)
                sum -= lu[i][k] * lu[k][j];
            lu[i][j] = sum;
            const double weighed = scale[i] * std::fabs(sum);
            if (weighed >= big) { // a later row wins a tie
                big = weighed;
                imax = i;
            }
        }
        if (imax != j) {
            for (int k = 0; k < n; ++k)
                std::swap(lu[imax][k], lu[j][k]);
            scale[imax] = scale[j];
        }
        index[j] = imax;
        if (lu[j][j] == 0) lu[j][j] = tiny;
        if (j != n - 1) {
            const double inv = 1 / lu[j][j];
            for (int i = j + 1; i < n; ++i)
                lu[i][j] *= inv;
        }
    }

    TMatrix out;
    for (int col = 0; col < n; ++col) {
        double b[n] = {0, 0, 0, 0};
        b[col] = 1;
        // Forward substitution, undoing the row exchanges as it goes; leading zeros are skipped.
        int first = -1;
        for (int i = 0; i < n; ++i) {
            const int ip = index[i];
            double sum = b[ip];
            b[ip] = b[i];
            if (first >= 0) {
                for (int k = first; k < i; ++k)
                    sum -= lu[i][k] * b[k];
            } else if (sum != 0) {
                first = i;
            }
            b[i] = sum;
        }
        for (int i = n - 1; i >= 0; --i) {
            double sum = b[i];
            for (int k = i + 1; k < n; ++k)
                sum -= lu[i][k] * b[k];
            b[i] = sum / lu[i][i];
        }
        for (int i = 0; i < n; ++i)
            out.m[i][col] = Stored(b[i]);
    }
    return out;
}

bool IntersectTriangle(const TVec3& orig, const TVec3& dir, const TVec3& p0, const TVec3& p1,
                       const TVec3& p2, float& t, float& u, float& v) {
    const TVec3 edge1 = Vec3Sub(p1, p0);
    const TVec3 edge2 = Vec3Sub(p2, p0);
    const TVec3 pvec = Vec3Cross(dir, edge2);
    const float det = Vec3Dot(edge1, pvec);
    // One-sided: back faces and near-parallel rays miss.
    if (static_cast<double>(det) < 0.0001) return false;

    const TVec3 tvec = Vec3Sub(orig, p0);
    const float uu = Vec3Dot(tvec, pvec);
    if (uu < 0 || uu > det) return false;

    const TVec3 qvec = Vec3Cross(tvec, edge1);
    const float vv = Vec3Dot(dir, qvec);
    if (vv < 0 || static_cast<double>(uu) + vv > det) return false;

    const double inv = 1.0 / det;
    t = Stored(Vec3Dot(edge2, qvec) * inv);
    u = Stored(uu * inv);
    v = Stored(vv * inv);
    return true;
}

} // namespace gm
