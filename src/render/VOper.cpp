#include "render/VOper.h"

#include "render/GR_DirectX.h"

#include <algorithm>
#include <cmath>

namespace gm {

namespace {

// Rounds a double to the 32-bit value the stored results are kept in.
inline float Stored(double x) {
    return static_cast<float>(x);
}

// Sines and cosines of stored angles are intermediates: a float argument would otherwise pick
// the float overloads and round them to 32 bits before they enter the products.
inline double SinD(double x) {
    return std::sin(x);
}

inline double CosD(double x) {
    return std::cos(x);
}

inline float ClampUnit(float x) {
    return std::clamp(x, -1.0f, 1.0f);
}

} // namespace

double RadToDeg360(double x) {
    double r = x * RadToDegFactor;
    if (r < 0) r = r + 360;
    return r;
}

double DegToRadSigned(double x) {
    if (x > 180) x = x - 360;
    return x * DegToRadFactor;
}

double AngleDiff(double a, double b) {
    double d = a - b;
    if (b >= 180) {
        if (d < -180) d = d + 360;
    } else {
        if (d > 180) d = d - 360;
    }
    return d;
}

float Norm360(float x) {
    // Stepping by 360 never ends for infinities and stalls once 360 is below the float spacing
    // (|x| above about 1e10); fmod is exact, so ordinary angles come out exactly as stepping gave.
    if (!std::isfinite(x)) return 0.0f;
    double r = x;
    if (r >= 360 || r < 0) r = std::fmod(r, 360.0);
    // The last negative step rounds once to float, so a tiny negative angle gives 360.0f.
    if (r < 0) return static_cast<float>(r + 360);
    return r == 0 ? 0.0f : static_cast<float>(r);
}

double ArcCosD(double t) {
    // Rounding can push a cosine just past 1; the square root would then give NaN.
    t = std::clamp(t, -1.0, 1.0);
    return std::atan2(std::sqrt(1 - t * t), t);
}

double ArcSinD(double t) {
    t = std::clamp(t, -1.0, 1.0);
    return std::atan2(t, std::sqrt(1 - t * t));
}

TVec3 SphereToVec(double lonRad, double polarRad, double r) {
    const double sp = std::sin(polarRad);
    return TVec3{Stored(r * sp * std::sin(lonRad)), Stored(-r * std::cos(polarRad)),
                 Stored(-r * sp * std::cos(lonRad))};
}

void VecToSphere(const TVec3& v, float& longitude, float& polar) {
    const float len = Vec3Length(v);
    if (!(len > 0)) {
        longitude = 0;
        polar = 0;
        return;
    }
    polar = Stored(RadToDeg360(ArcCosD(-static_cast<double>(v.y) / len)));
    longitude = Stored(RadToDeg360(PiFull - std::atan2(static_cast<double>(v.x), v.z)));
}

void SphereMove(float& longitude, float& polar, float& heading, float r, float dist) {
    const bool backwards = dist < 0;
    if (backwards) {
        dist = -dist;
        heading = Norm360(heading + 180.0f);
    }
    const float h = Stored(DegToRadSigned(heading));
    float f = Stored(static_cast<double>(dist) / (TwoPiFull * r) * PiFull * 2);
    // A zero radius would make the arc angle infinite and every result NaN: such a position
    // stays where it is.
    if (!std::isfinite(f)) f = 0;
    const float d = Stored(DegToRadSigned(polar));

    const double cd = CosD(d), sd = SinD(d);
    const double cf = CosD(f), sf = SinD(f);
    const double ch = CosD(h);

    const float e = Stored(ArcCosD(cd * cf + sd * sf * ch));
    const double m = static_cast<double>(e) < 0.00001 ? 100000000.0 : 1 / SinD(e);
    const float w = ClampUnit(Stored((sd * cf - cd * sf * ch) * m));
    const float a = Stored(ArcCosD(w));
    const float dd = ClampUnit(Stored((sf * cd - cf * sd * ch) * m));
    const float g = Stored(ArcCosD(dd));

    if (heading > 180) {
        heading = Norm360(Stored(RadToDeg360(PiFull + g)));
        longitude = Norm360(Stored(longitude - RadToDeg360(a)));
    } else {
        heading = Norm360(Stored(RadToDeg360(PiFull - g)));
        longitude = Norm360(Stored(longitude + RadToDeg360(a)));
    }
    polar = Stored(RadToDeg360(e));

    if (backwards) heading = Norm360(heading + 180.0f);
}

void SphereMoveCopy(const TSpherePos& src, TSpherePos& dst, float dist, float worldRadius) {
    dst = src;
    SphereMove(dst.Longitude, dst.Polar, dst.Heading, worldRadius, dist);
}

void SphereMoveAlong(const TSpherePos& src, TSpherePos& dst, float travelHeading, float dist,
                     float worldRadius) {
    dst = src;
    const float c = Stored(AngleDiff(dst.Heading, travelHeading));
    float travel = travelHeading;
    SphereMove(dst.Longitude, dst.Polar, travel, worldRadius, dist);
    dst.Heading = Norm360(travel + c);
}

void SphereBearing(float& relBearing, float& dist, float lon1, float polar1, float heading1,
                   float lon2, float polar2, float r) {
    const float g = Stored(DegToRadSigned(polar2));
    const float h = Stored(DegToRadSigned(polar1));
    const float l = Stored(DegToRadSigned(Norm360(lon2 - lon1)));

    const double cg = CosD(g), sg = SinD(g);
    const double chh = CosD(h), shh = SinD(h);
    const double cl = CosD(l);

    const float u = ClampUnit(Stored(cg * chh + sg * shh * cl));
    const float v = Stored(ArcCosD(u));
    dist = Stored(v / TwoPiFull * 2 * PiFull * r);
    if (v == 0) {
        relBearing = 0;
        return;
    }
    const float b = ClampUnit(Stored((shh * cg - chh * sg * cl) / SinD(v)));
    float c = Stored(ArcCosD(b));
    if (AngleDiff(lon2, lon1) < 0) c = -c;
    relBearing = Stored(AngleDiff(RadToDeg360(c), heading1));
}

bool RaySphere(const TVec3& a, const TVec3& b, const TVec3& centre, float r, TVec3& p) {
    const TVec3 dir = Vec3Normalize(Vec3Sub(b, a));
    const TVec3 l = Vec3Sub(centre, a);
    const float ll = Vec3Dot(l, l);
    const float tca = Vec3Dot(l, dir);
    const float disc = Stored(static_cast<double>(r) * r - ll + static_cast<double>(tca) * tca);
    if (!(disc > 0)) return false;

    // The nearer crossing when it is not behind a, else the farther one (the exit point when a
    // is inside the sphere).
    const double s = std::sqrt(static_cast<double>(disc));
    double t, t2;
    if (tca < s) {
        t = tca + s;
        t2 = tca - s;
    } else {
        t = tca - s;
        t2 = tca + s;
    }
    if (std::fabs(t) < 0.001) t = t2;
    p = TVec3{Stored(a.x + dir.x * t), Stored(a.y + dir.y * t), Stored(a.z + dir.z * t)};
    return t > 0.001;
}

} // namespace gm
