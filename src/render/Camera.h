#pragma once
// The camera that orbits the world sphere: its state, the view and projection matrices rebuilt
// from it, the horizon test, and the projection of world points into panel pixels.
// The world radius is owned by the document and passed in wherever it matters.

#include "render/GR_DirectX.h"
#include "render/VecTypes.h"

#include <cmath>
#include <limits>

namespace gm {

class Camera {
public:
    // Closest the eye comes to the surface, and the smallest near-plane distance. Zooming is not
    // limited, but the projection would break with the eye at or below the surface.
    static constexpr float MinEyeHeight = 10;
    static constexpr float MinNearPlane = 1;
    // Depth reported for a point that has no screen position (in the plane of the eye).
    static constexpr float HiddenDepth = std::numeric_limits<float>::max();

    // Camera state, degrees and world units.
    float CamLongitude = 45; // [0, 360)
    float CamPolar = 45;     // [0, 180]
    float CamRoll = 0;
    float CamDistance = 2300;       // eye to sphere centre, as zoomed (may lie inside the sphere)
    float CamDistanceOffset = 1300; // gap above the surface after a reset
    float CamFov = 88;

    // Derived by CameraUpdate / HorizonUpdate.
    TMatrix ViewMatrix;
    TMatrix ProjMatrix;
    TMatrix ViewProjMatrix;
    float HorizonDepth = 0;

    // The 3D panel: its width scales the projection; projected points are relative to its centre.
    int PanelWidth = 800;
    int PanelHeight = 600;
    int ScreenCentreX = 400;
    int ScreenCentreY = 300;

    void SetPanelSize(int width, int height);

    // The distance of the eye actually used: CamDistance, but never less than MinEyeHeight above
    // the surface.
    float EyeDistance(float worldRadius) const;
    // The near and far planes enclose the sphere with 100 units to spare; the near plane stays at
    // least MinNearPlane in front of the eye.
    float NearPlane(float worldRadius) const;
    float FarPlane(float worldRadius) const;

    // Rebuilds ViewMatrix, ProjMatrix and ViewProjMatrix from the camera state.
    void CameraUpdate(float worldRadius);
    // Recomputes HorizonDepth: the depth below which a point of the sphere faces the eye.
    void HorizonUpdate(float worldRadius);
    bool IsFrontDepth(float depth) const { return depth < HorizonDepth; }

    // Projects a world point: x and y in pixels from the panel centre, depth in z. A point with
    // no screen position comes back at the centre with HiddenDepth.
    TVec3 ProjectRelative(const TVec3& p) const {
        const TVec3 q = Vec3TransformCoord(ViewProjMatrix, p);
        if (!std::isfinite(q.x) || !std::isfinite(q.y) || !std::isfinite(q.z))
            return MakeVec3(0, 0, HiddenDepth);
        return q;
    }
    // The same in panel pixels: (ScreenCentreX + x, ScreenCentreY + y, depth).
    TVec3 ProjectToScreen(const TVec3& p) const;

    // Orbit: longitude wraps into [0, 360), polar angle is limited to [0, 180].
    void OrbitLongitude(double delta);
    void OrbitPolar(double delta);
    // Moves the eye towards (negative) or away from (positive) the centre, without limit.
    void Zoom(float delta);
    // Puts the eye CamDistanceOffset above the surface.
    void Reset(float worldRadius);
    // Keeps the eye's height above the surface when the world radius changes.
    void RadiusChanged(float oldRadius, float newRadius);

private:
    TMatrix Projection(float worldRadius) const;
};

} // namespace gm
