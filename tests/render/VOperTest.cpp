#include "render/VOper.h"
#include "render/GR_DirectX.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace gm {
namespace {

constexpr double Pi = 3.141592653589793;
constexpr float R = 1000;

// Arc length of a number of degrees on a sphere of radius r.
float Arc(double degrees, double r = R) {
    return static_cast<float>(r * degrees * Pi / 180);
}

TEST(AngleFunctions, ConvertWithTheShortPi) {
    EXPECT_NEAR(RadToDeg360(-Pi / 2), 270, 1e-5);
    EXPECT_LT(RadToDeg360(-Pi / 2), 270); // 3.1415926 < pi
    EXPECT_NEAR(RadToDeg360(2 * Pi), 360, 1e-5);
    EXPECT_GE(RadToDeg360(2 * Pi), 360); // not reduced
    EXPECT_DOUBLE_EQ(DegToRadSigned(270), DegToRadSigned(-90));
    EXPECT_NEAR(DegToRadSigned(180), 3.1415926, 1e-15);
    EXPECT_NEAR(RadToDeg360(DegToRadSigned(123.25)), 123.25, 1e-12);
}

TEST(AngleFunctions, AngleDiff) {
    struct Case {
        double a, b, expected;
    };
    for (const Case& c : {Case{10, 350, 20}, Case{350, 10, -20}, Case{180, 0, 180},
                          Case{0, 180, -180}, Case{90, 45, 45}, Case{359, 0, -1}}) {
        EXPECT_DOUBLE_EQ(AngleDiff(c.a, c.b), c.expected) << c.a << " - " << c.b;
    }
}

TEST(Norm360, OrdinaryAngles) {
    struct Case {
        float x, expected;
    };
    for (const Case& c : {Case{-30, 330}, Case{720, 0}, Case{360, 0}, Case{0, 0}, Case{-360, 0},
                          Case{-390, 330}, Case{725.5f, 5.5f}, Case{359.99997f, 359.99997f}}) {
        EXPECT_EQ(Norm360(c.x), c.expected) << c.x;
    }
    EXPECT_FALSE(std::signbit(Norm360(-720)));
}

TEST(Norm360, MatchesStepwiseReductionOfOrdinaryAngles) {
    // Reference: subtract or add 360 in float until inside the range.
    auto stepwise = [](float x) {
        while (x >= 360)
            x -= 360;
        while (x < 0)
            x += 360;
        return x;
    };
    for (float x = -5000.123f; x < 5000; x += 7.377f)
        EXPECT_EQ(Norm360(x), stepwise(x)) << x;
    for (float x : {359.99997f, -0.00001f, -359.99997f, 1e6f + 0.5f, -1e6f - 0.25f})
        EXPECT_EQ(Norm360(x), stepwise(x)) << x;
}

TEST(Norm360, TerminatesForAnyFloat) {
    constexpr float inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(Norm360(inf), 0);
    EXPECT_EQ(Norm360(-inf), 0);
    EXPECT_EQ(Norm360(std::numeric_limits<float>::quiet_NaN()), 0);
    for (float x : {1e30f, -1e30f, 3.4e38f, -3.4e38f, 1e10f + 1024}) {
        const float r = Norm360(x);
        EXPECT_GE(r, 0) << x;
        EXPECT_LT(r, 360) << x;
    }
}

TEST(SphereToVec, PolesAndEquator) {
    struct Case {
        double lon, polar;
        TVec3 expected;
    };
    for (const Case& c :
         {Case{0, 0, {0, -R, 0}}, Case{0, 90, {0, 0, -R}}, Case{90, 90, {R, 0, 0}},
          Case{180, 90, {0, 0, R}}, Case{270, 90, {-R, 0, 0}}, Case{0, 180, {0, R, 0}}}) {
        const TVec3 v = SphereToVec(DegToRadSigned(c.lon), DegToRadSigned(c.polar), R);
        EXPECT_NEAR(v.x, c.expected.x, 1e-3) << c.lon << "," << c.polar;
        EXPECT_NEAR(v.y, c.expected.y, 1e-3) << c.lon << "," << c.polar;
        EXPECT_NEAR(v.z, c.expected.z, 1e-3) << c.lon << "," << c.polar;
    }
}

TEST(VecToSphere, InvertsSphereToVec) {
    for (float lon = 0; lon < 360; lon += 22.5f) {
        for (float polar = 5; polar < 180; polar += 17.5f) {
            const TVec3 v = SphereToVec(DegToRadSigned(lon), DegToRadSigned(polar), 1234.5);
            float lon2 = -1, polar2 = -1;
            VecToSphere(v, lon2, polar2);
            EXPECT_NEAR(polar2, polar, 2e-4) << lon << "," << polar;
            EXPECT_NEAR(AngleDiff(Norm360(lon2), lon), 0, 2e-4) << lon << "," << polar;
        }
    }
    float lon = -1, polar = -1;
    VecToSphere(MakeVec3(0, 0, 0), lon, polar);
    EXPECT_EQ(lon, 0);
    EXPECT_EQ(polar, 0);
}

TEST(SphereMove, WorkedExamples) {
    // Along the equator eastwards, forwards and backwards.
    float lon = 20, polar = 90, heading = 90;
    SphereMove(lon, polar, heading, R, Arc(10));
    EXPECT_NEAR(lon, 30, 1e-3);
    EXPECT_NEAR(polar, 90, 1e-3);
    EXPECT_NEAR(heading, 90, 1e-3);
    SphereMove(lon, polar, heading, R, -Arc(10));
    EXPECT_NEAR(lon, 20, 1e-3);
    EXPECT_NEAR(polar, 90, 1e-3);
    EXPECT_NEAR(heading, 90, 1e-3);

    // Towards Polar 0 along a meridian.
    lon = 0;
    polar = 45;
    heading = 0;
    SphereMove(lon, polar, heading, R, Arc(10));
    EXPECT_NEAR(polar, 35, 1e-3);
    EXPECT_NEAR(AngleDiff(lon, 0), 0, 1e-3);
    EXPECT_NEAR(AngleDiff(heading, 0), 0, 1e-3);

    // Over the pole: the meridian continues on the far side, now heading away from the pole.
    // The longitude change comes from an arccos near -1 of 32-bit values, which is only good to
    // about 0.1 degree there.
    lon = 30;
    polar = 10;
    heading = 0;
    SphereMove(lon, polar, heading, R, Arc(20));
    EXPECT_NEAR(polar, 10, 1e-3);
    EXPECT_NEAR(lon, 210, 0.1);
    EXPECT_NEAR(heading, 180, 0.1);
}

TEST(SphereMove, SinesAndCosinesAreTakenInDoublePrecision) {
    // Straight along a meridian the longitude change is arccos(1) and the arrival angle arccos(1)
    // exactly, unless the sines and cosines were rounded to 32 bits on the way.
    float lon = 200.5f, polar = 75.25f, heading = 180;
    SphereMove(lon, polar, heading, 1000, 20);
    EXPECT_EQ(lon, 200.5f);
    EXPECT_EQ(heading, 180.0f);
    EXPECT_NEAR(polar, 75.25 + 20 * 180 / (Pi * 1000), 1e-4);
}

TEST(SphereBearing, SinesAndCosinesAreTakenInDoublePrecision) {
    // Due south along a meridian: the bearing is arccos(-1), whose degrees lie just past 180 and
    // so come out just above -180; 32-bit sines put it most of a degree off.
    float bearing = 0, dist = 0;
    SphereBearing(bearing, dist, 200.5f, 75.25f, 0, 200.5f, 76.4f, 1000);
    EXPECT_NEAR(bearing, -180, 2e-5);
    EXPECT_NEAR(dist, 1.15 * Pi * 1000 / 180, 1e-3);
}

// Tangent directions at a surface position, built from vectors rather than spherical trigonometry.
struct Frame {
    double p[3], north[3], east[3];
};
Frame FrameAt(double lonDeg, double polarDeg) {
    const double l = DegToRadSigned(lonDeg), q = DegToRadSigned(polarDeg);
    return Frame{{std::sin(q) * std::sin(l), -std::cos(q), -std::sin(q) * std::cos(l)},
                 {-std::cos(q) * std::sin(l), -std::sin(q), std::cos(q) * std::cos(l)},
                 {std::cos(l), 0, std::sin(l)}};
}

TEST(SphereMove, FollowsTheGreatCircle) {
    struct Case {
        float lon, polar, heading, degrees;
    };
    for (const Case& c : {Case{10, 60, 30, 25}, Case{300, 120, 200, 40}, Case{45, 89, 135, 70},
                          Case{170, 20, 300, 15}, Case{0, 150, 260, 100}, Case{90, 75, 90, -30}}) {
        float lon = c.lon, polar = c.polar, heading = c.heading;
        SphereMove(lon, polar, heading, R, Arc(c.degrees));

        // Expected: rotate the start point towards its heading by the arc angle.
        const Frame s = FrameAt(c.lon, c.polar);
        const double h = DegToRadSigned(c.heading), f = c.degrees * Pi / 180;
        double dir[3], dest[3], travel[3];
        for (int i = 0; i < 3; ++i) {
            dir[i] = std::cos(h) * s.north[i] + std::sin(h) * s.east[i];
            dest[i] = std::cos(f) * s.p[i] + std::sin(f) * dir[i];
            travel[i] = -std::sin(f) * s.p[i] + std::cos(f) * dir[i];
        }
        const Frame d = FrameAt(lon, polar);
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(d.p[i], dest[i], 2e-5) << c.lon << "/" << c.heading;
        // The heading is carried along the circle; a backward move keeps facing the same way.
        double hn = 0, he = 0;
        for (int i = 0; i < 3; ++i) {
            hn += travel[i] * d.north[i];
            he += travel[i] * d.east[i];
        }
        const double expectedHeading = Norm360(static_cast<float>(RadToDeg360(std::atan2(he, hn))));
        EXPECT_NEAR(AngleDiff(heading, expectedHeading), 0, 2e-3) << c.lon << "/" << c.heading;
    }
}

TEST(SphereMove, ZeroRadiusLeavesThePositionInPlace) {
    float lon = 12, polar = 34, heading = 56;
    SphereMove(lon, polar, heading, 0, 10);
    EXPECT_FALSE(std::isnan(lon) || std::isnan(polar) || std::isnan(heading));
    EXPECT_NEAR(lon, 12, 1e-3);
    EXPECT_NEAR(polar, 34, 1e-3);
}

TEST(SphereMoveCopy, UsesTheGivenWorldRadius) {
    const TSpherePos src{20, 90, 90};
    TSpherePos dst;
    SphereMoveCopy(src, dst, Arc(10, 2000), 2000);
    EXPECT_NEAR(dst.Longitude, 30, 1e-3);
    EXPECT_NEAR(dst.Polar, 90, 1e-3);
    EXPECT_NEAR(dst.Heading, 90, 1e-3);
    EXPECT_EQ(src.Longitude, 20); // source untouched
}

TEST(SphereMoveAlong, KeepsTheHeadingRelativeToTravel) {
    TSpherePos pos{20, 90, 30};
    SphereMoveAlong(pos, pos, 90, Arc(10), R); // aliasing source and destination
    EXPECT_NEAR(pos.Longitude, 30, 1e-3);
    EXPECT_NEAR(pos.Polar, 90, 1e-3);
    EXPECT_NEAR(pos.Heading, 30, 1e-3);

    // Travelling north over the pole turns the travel direction round, and the heading with it
    // (to about 0.1 degree, as in SphereMove over a pole).
    const TSpherePos src{0, 10, 90};
    TSpherePos dst;
    SphereMoveAlong(src, dst, 0, Arc(20), R);
    EXPECT_NEAR(dst.Longitude, 180, 0.1);
    EXPECT_NEAR(dst.Polar, 10, 1e-3);
    EXPECT_NEAR(dst.Heading, 270, 0.1);
}

TEST(SphereBearing, WorkedExamples) {
    // Bearings along a meridian come from an arccos near +-1 of 32-bit values: good to about
    // 0.1 degree.
    struct Case {
        float lon1, polar1, heading1, lon2, polar2, bearing, degrees, tol;
    };
    for (const Case& c :
         {Case{0, 90, 0, 10, 90, 90, 10, 1e-3f}, Case{10, 90, 0, 0, 90, -90, 10, 1e-3f},
          Case{0, 90, 90, 10, 90, 0, 10, 1e-3f}, Case{355, 90, 0, 5, 90, 90, 10, 1e-3f},
          Case{5, 90, 270, 355, 90, 0, 10, 1e-3f}, Case{0, 90, 0, 0, 80, 0, 10, 0.1f},
          Case{0, 45, 0, 0, 60, 180, 15, 0.1f}, Case{0, 90, 0, 90, 0, 0, 90, 0.1f}}) {
        float bearing = -999, dist = -1;
        SphereBearing(bearing, dist, c.lon1, c.polar1, c.heading1, c.lon2, c.polar2, R);
        EXPECT_NEAR(std::fabs(AngleDiff(Norm360(bearing), Norm360(c.bearing))), 0, c.tol)
            << c.lon1 << "," << c.polar1 << " -> " << c.lon2 << "," << c.polar2;
        EXPECT_NEAR(dist, Arc(c.degrees), 1e-2);
    }
    float bearing = -999, dist = -1;
    SphereBearing(bearing, dist, 123, 45, 67, 123, 45, R);
    EXPECT_EQ(bearing, 0);
    EXPECT_EQ(dist, 0);
}

TEST(SphereBearing, MovingAlongTheBearingReachesTheTarget) {
    struct Case {
        float lon1, polar1, heading1, lon2, polar2;
    };
    for (const Case& c : {Case{10, 60, 0, 50, 100}, Case{300, 120, 45, 20, 80},
                          Case{90, 30, 200, 250, 40}, Case{0, 170, 10, 180, 150}}) {
        float rel = 0, dist = 0;
        SphereBearing(rel, dist, c.lon1, c.polar1, c.heading1, c.lon2, c.polar2, R);
        EXPECT_GE(rel, -180);
        EXPECT_LE(rel, 180);
        float lon = c.lon1, polar = c.polar1, heading = Norm360(c.heading1 + rel);
        SphereMove(lon, polar, heading, R, dist);
        EXPECT_NEAR(polar, c.polar2, 1e-2) << c.lon1 << "," << c.polar1;
        EXPECT_NEAR(AngleDiff(Norm360(lon), c.lon2), 0, 1e-2) << c.lon1 << "," << c.polar1;
    }
}

TEST(RaySphere, Cases) {
    const TVec3 centre{0, 0, 0};
    const TVec3 marker{7, 7, 7};
    TVec3 p = marker;
    // Passes beside the sphere.
    EXPECT_FALSE(RaySphere(MakeVec3(0, 1500, -3000), MakeVec3(0, 1500, 0), centre, R, p));
    EXPECT_EQ(p.x, marker.x);
    EXPECT_EQ(p.y, marker.y);
    EXPECT_EQ(p.z, marker.z);
    // Grazes it exactly.
    EXPECT_FALSE(RaySphere(MakeVec3(0, R, -3000), MakeVec3(0, R, 0), centre, R, p));

    // From outside towards the centre: the near surface point.
    EXPECT_TRUE(RaySphere(MakeVec3(0, 0, -3000), centre, centre, R, p));
    EXPECT_NEAR(p.z, -R, 1e-3);
    EXPECT_NEAR(p.x, 0, 1e-3);

    // From the centre outwards: the exit point at distance r.
    EXPECT_TRUE(RaySphere(centre, MakeVec3(1, 2, 2), centre, R, p));
    EXPECT_NEAR(Vec3Length(p), R, 1e-2);
    EXPECT_NEAR(p.x * 3, R, 1e-2);

    // Sphere behind the origin of the ray: not a hit, though a point is written.
    p = marker;
    EXPECT_FALSE(RaySphere(MakeVec3(0, 0, -3000), MakeVec3(0, 0, -4000), centre, R, p));
    EXPECT_NE(p.z, marker.z);

    // Off-centre sphere, ray along x.
    EXPECT_TRUE(RaySphere(MakeVec3(-50, 10, 0), MakeVec3(0, 10, 0), MakeVec3(100, 10, 0), 20, p));
    EXPECT_NEAR(p.x, 80, 1e-3);
}

} // namespace
} // namespace gm
