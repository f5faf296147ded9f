#include "render/Camera.h"
#include "render/GR_DirectX.h"
#include "render/VOper.h"

#include <gtest/gtest.h>

#include <cmath>

namespace gm {
namespace {

constexpr float R = 1000;

TVec3 Surface(float lon, float polar, float r = R) {
    return SphereToVec(DegToRadSigned(lon), DegToRadSigned(polar), r);
}

Camera UpdatedCamera(float worldRadius = R) {
    Camera cam;
    cam.CameraUpdate(worldRadius);
    cam.HorizonUpdate(worldRadius);
    return cam;
}

bool AllFinite(const TMatrix& m) {
    for (const auto& row : m.m)
        for (float x : row)
            if (!std::isfinite(x)) return false;
    return true;
}

TEST(Camera, Defaults) {
    const Camera cam = UpdatedCamera();
    EXPECT_EQ(cam.CamLongitude, 45);
    EXPECT_EQ(cam.CamPolar, 45);
    EXPECT_EQ(cam.CamDistance, 2300);
    EXPECT_EQ(cam.ScreenCentreX, 400);
    EXPECT_EQ(cam.ScreenCentreY, 300);
    EXPECT_EQ(cam.NearPlane(R), 1200);
    EXPECT_EQ(cam.FarPlane(R), 3400);
    EXPECT_NEAR(cam.HorizonDepth, 0.5512f, 1e-4f);
}

TEST(Camera, WorkedScreenPositions) {
    const Camera cam = UpdatedCamera();
    struct Case {
        float lon, polar, x, y;
    };
    // Longitude grows to the right, polar angle down the screen.
    for (const Case& c : {Case{45, 45, 400, 300}, Case{50, 45, 439, 299}, Case{45, 50, 400, 355}}) {
        const TVec3 q = cam.ProjectToScreen(Surface(c.lon, c.polar));
        EXPECT_NEAR(q.x, c.x, 0.5f) << c.lon << "," << c.polar;
        EXPECT_NEAR(q.y, c.y, 0.5f) << c.lon << "," << c.polar;
    }
    const TVec3 nearest = cam.ProjectToScreen(Surface(45, 45));
    EXPECT_NEAR(nearest.z, 0.119f, 1e-3f);
    EXPECT_TRUE(cam.IsFrontDepth(nearest.z));
    EXPECT_FALSE(cam.IsFrontDepth(cam.ProjectToScreen(Surface(225, 135)).z)); // antipode
    const TVec3 rel = cam.ProjectRelative(Surface(50, 45));
    EXPECT_NEAR(rel.x, 39.2f, 0.5f);
}

TEST(Camera, SphereOutlineHasARadiusOfAbout400Pixels) {
    const Camera cam = UpdatedCamera();
    // The outline is where the lines from the eye touch the sphere: arccos(R / D) from the
    // facing point.
    const float rim = static_cast<float>(std::acos(1000.0 / 2300.0) * R);
    for (float heading = 0; heading < 360; heading += 30) {
        TSpherePos p;
        SphereMoveCopy(TSpherePos{45, 45, heading}, p, rim, R);
        const TVec3 q = cam.ProjectRelative(Surface(p.Longitude, p.Polar));
        EXPECT_NEAR(std::hypot(q.x, q.y), 400, 1.0f) << heading;
        EXPECT_NEAR(q.z, cam.HorizonDepth, 1e-3f) << heading;
    }
}

TEST(Camera, FacingPointIsAtTheCentreFromAnyDirection) {
    struct Case {
        float lon, polar;
    };
    for (const Case& c : {Case{0, 90}, Case{200, 10}, Case{359, 170}, Case{90, 0}, Case{10, 180}}) {
        Camera cam;
        cam.CamLongitude = c.lon;
        cam.CamPolar = c.polar;
        cam.CameraUpdate(R);
        cam.HorizonUpdate(R);
        const TVec3 q = cam.ProjectToScreen(Surface(c.lon, c.polar));
        EXPECT_NEAR(q.x, 400, 0.05f) << c.lon << "," << c.polar;
        EXPECT_NEAR(q.y, 300, 0.05f) << c.lon << "," << c.polar;
        EXPECT_TRUE(cam.IsFrontDepth(q.z));
    }
}

TEST(Camera, PanelSizeSetsCentreAndScale) {
    Camera cam;
    cam.SetPanelSize(401, 301);
    cam.CameraUpdate(R);
    EXPECT_EQ(cam.ScreenCentreX, 200);
    EXPECT_EQ(cam.ScreenCentreY, 150);
    const TVec3 q = cam.ProjectRelative(Surface(50, 45));
    EXPECT_NEAR(q.x, 39.2f * 401 / 800, 0.3f);
}

TEST(Camera, Orbit) {
    Camera cam;
    cam.CamPolar = 2;
    cam.OrbitPolar(-5);
    EXPECT_EQ(cam.CamPolar, 0);
    cam.CamPolar = 178;
    cam.OrbitPolar(5);
    EXPECT_EQ(cam.CamPolar, 180);
    cam.OrbitPolar(-0.2 * 7);
    EXPECT_FLOAT_EQ(cam.CamPolar, 178.6f);

    cam.CamLongitude = 359;
    cam.OrbitLongitude(1);
    EXPECT_EQ(cam.CamLongitude, 0);
    cam.OrbitLongitude(-1);
    EXPECT_EQ(cam.CamLongitude, 359);
    cam.CamLongitude = 358;
    cam.OrbitLongitude(5);
    EXPECT_EQ(cam.CamLongitude, 3);
}

TEST(Camera, ZoomResetAndRadiusChange) {
    Camera cam;
    for (int i = 0; i < 15; ++i)
        cam.Zoom(-100);
    EXPECT_EQ(cam.CamDistance, 800); // below the surface: zooming is not limited
    cam.Reset(R);
    EXPECT_EQ(cam.CamDistance, 2300);
    cam.RadiusChanged(1000, 2000);
    EXPECT_EQ(cam.CamDistance, 3300);
    cam.Reset(2000);
    EXPECT_EQ(cam.CamDistance, 3300);
}

TEST(Camera, CloseZoomKeepsAValidProjection) {
    for (float dist : {1150.0f, 1100.0f, 1050.0f, 1005.0f, 1000.0f, 500.0f, 0.0f, -2300.0f}) {
        Camera cam;
        cam.CamDistance = dist;
        cam.CameraUpdate(R);
        cam.HorizonUpdate(R);
        EXPECT_GT(cam.NearPlane(R), 0) << dist;
        EXPECT_LT(cam.NearPlane(R), cam.EyeDistance(R) - R) << dist; // the surface stays in view
        EXPECT_TRUE(AllFinite(cam.ViewProjMatrix)) << dist;
        EXPECT_TRUE(std::isfinite(cam.HorizonDepth)) << dist;
        EXPECT_EQ(cam.CamDistance, dist); // the state itself is left as zoomed

        const TVec3 facing = cam.ProjectToScreen(Surface(45, 45));
        EXPECT_NEAR(facing.x, 400, 0.5f) << dist;
        EXPECT_NEAR(facing.y, 300, 0.5f) << dist;
        EXPECT_TRUE(cam.IsFrontDepth(facing.z)) << dist;
        EXPECT_FALSE(cam.IsFrontDepth(cam.ProjectToScreen(Surface(225, 135)).z)) << dist;
        for (float lon = 0; lon < 360; lon += 15) {
            for (float polar = 0; polar <= 180; polar += 15) {
                const TVec3 q = cam.ProjectToScreen(Surface(lon, polar));
                EXPECT_FALSE(std::isnan(q.x) || std::isnan(q.y) || std::isnan(q.z))
                    << dist << ": " << lon << "," << polar;
            }
        }
    }
}

TEST(Camera, PointInTheEyePlaneIsHidden) {
    Camera cam;
    // Projection alone: the view space is the world, the eye plane is z = 0.
    cam.ViewProjMatrix = MatrixProjection(1200, 3400, DegToRadSigned(88), 800);
    cam.HorizonDepth = 0.5f;
    const TVec3 q = cam.ProjectToScreen(MakeVec3(300, -200, 0));
    EXPECT_EQ(q.x, 400);
    EXPECT_EQ(q.y, 300);
    EXPECT_FALSE(cam.IsFrontDepth(q.z));
}

} // namespace
} // namespace gm
