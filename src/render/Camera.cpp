#include "render/Camera.h"

#include "render/GR_DirectX.h"
#include "render/VOper.h"

#include <cmath>

namespace gm {

void Camera::SetPanelSize(int width, int height) {
    PanelWidth = width;
    PanelHeight = height;
    ScreenCentreX = width / 2;
    ScreenCentreY = height / 2;
}

float Camera::EyeDistance(float worldRadius) const {
    // With the eye at or inside the surface the near plane would fall to zero or below and the
    // horizon would be undefined; the view stops at MinEyeHeight while CamDistance itself keeps
    // whatever zooming made of it. The comparison also turns a NaN distance into the lowest one.
    const float lowest = std::fabs(worldRadius) + MinEyeHeight;
    return CamDistance >= lowest ? CamDistance : lowest;
}

float Camera::NearPlane(float worldRadius) const {
    const float nearPlane =
        static_cast<float>(static_cast<double>(EyeDistance(worldRadius)) - worldRadius - 100);
    return nearPlane >= MinNearPlane ? nearPlane : MinNearPlane;
}

float Camera::FarPlane(float worldRadius) const {
    return static_cast<float>(static_cast<double>(EyeDistance(worldRadius)) + worldRadius + 100);
}

TMatrix Camera::Projection(float worldRadius) const {
    return MatrixProjection(NearPlane(worldRadius), FarPlane(worldRadius), DegToRadSigned(CamFov),
                            static_cast<float>(PanelWidth));
}

void Camera::CameraUpdate(float worldRadius) {
    const double lon = DegToRadSigned(CamLongitude);
    const double pol = DegToRadSigned(CamPolar);
    const float dist = EyeDistance(worldRadius);
    const TVec3 eye = SphereToVec(lon, pol, dist);
    // A quarter turn further in polar angle: "up" on screen is towards Polar 0.
    const TVec3 up = SphereToVec(lon, DegToRadSigned(static_cast<double>(CamPolar) + 90), dist);
    ViewMatrix = MatrixMultiply(MatrixRoll(DegToRadSigned(CamRoll)), MatrixLookAt(eye, {}, up));
    ProjMatrix = Projection(worldRadius);
    ViewProjMatrix = MatrixMultiply(ProjMatrix, ViewMatrix);
}

void Camera::HorizonUpdate(float worldRadius) {
    // The horizon depends only on the eye's distance, so a canonical camera on the +Z axis serves.
    const float dist = EyeDistance(worldRadius);
    const TMatrix view = MatrixLookAt(MakeVec3(0, 0, dist), {}, MakeVec3(0, 1, 0));
    const TMatrix viewProj = MatrixMultiply(Projection(worldRadius), view);
    // The lines from the eye touch the sphere on a circle whose centre lies R * sin(d) from the
    // sphere's centre towards the eye.
    const double touch = RadToDeg360(ArcSinD(static_cast<double>(worldRadius) / dist));
    const float d = static_cast<float>(90 - (90 - touch));
    const float z = static_cast<float>(worldRadius * std::sin(DegToRadSigned(d)));
    HorizonDepth = Vec3TransformCoord(viewProj, MakeVec3(0, 0, z)).z;
}

TVec3 Camera::ProjectToScreen(const TVec3& p) const {
    const TVec3 q = ProjectRelative(p);
    return MakeVec3(static_cast<float>(ScreenCentreX) + q.x,
                    static_cast<float>(ScreenCentreY) + q.y, q.z);
}

void Camera::OrbitLongitude(double delta) {
    CamLongitude = Norm360(static_cast<float>(CamLongitude + delta));
}

void Camera::OrbitPolar(double delta) {
    // fmax/fmin also turn a NaN into 0.
    const double polar = CamPolar + delta;
    CamPolar = static_cast<float>(std::fmin(std::fmax(polar, 0.0), 180.0));
}

void Camera::Zoom(float delta) {
    CamDistance = CamDistance + delta;
}

void Camera::Reset(float worldRadius) {
    CamDistance = worldRadius + CamDistanceOffset;
}

void Camera::RadiusChanged(float oldRadius, float newRadius) {
    CamDistance = static_cast<float>(static_cast<double>(CamDistance) - oldRadius + newRadius);
}

} // namespace gm
