#include "editing/CameraFrame.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "render/Camera.h"
#include "render/GR_DirectX.h"
#include "render/VOper.h"
#include "world/GMPoint.h"
#include "world/WorldDoc.h"
#include "world/WorldUnit.h"
#include "zones/WorldZone.h"

namespace gm {

namespace {

// Closest and farthest the framing puts the eye above the surface: a single point still shows
// its neighbourhood, and a huge object never sends the eye beyond where zooming out is useful.
constexpr double MinFrameHeight = 60;
constexpr double MaxFrameHeight = 20000;
// The object fills this share of the panel's shorter half-side.
constexpr double FrameFill = 0.7;

TVec3 Add(const TVec3& a, const TVec3& b) {
    return MakeVec3(a.x + b.x, a.y + b.y, a.z + b.z);
}

TVec3 Scale(const TVec3& a, double s) {
    return MakeVec3(static_cast<float>(a.x * s), static_cast<float>(a.y * s),
                    static_cast<float>(a.z * s));
}

float Distance(const TVec3& a, const TVec3& b) {
    return Vec3Length(MakeVec3(a.x - b.x, a.y - b.y, a.z - b.z));
}

TVec3 ZoneCentre(const TgmZone& zone, float worldRadius) {
    return SphereToVec(DegToRadSigned(zone.Longitude), DegToRadSigned(zone.Polar), worldRadius);
}

} // namespace

void CameraResetView(Camera& camera, float worldRadius) {
    camera.CamLongitude = StartLongitude;
    camera.CamPolar = StartPolar;
    camera.CamRoll = 0;
    camera.Reset(worldRadius);
}

bool CameraFrameAt(Camera& camera, float worldRadius, const TVec3& centre, float extent) {
    if (!(Vec3Length(centre) > 0)) return false;
    float longitude = 0, polar = 0;
    VecToSphere(centre, longitude, polar);
    camera.CamLongitude = Norm360(longitude);
    camera.CamPolar = std::clamp(polar, 0.0f, 180.0f);
    camera.CamRoll = 0;
    // The projection puts x / depth = tan(fov / 2) at a full panel width from the centre, so half
    // of that reaches the edge; the panel's shorter side decides what fits.
    const double halfFov = DegToRadSigned(camera.CamFov) / 2;
    const double sideShare =
        camera.PanelWidth > 0
            ? std::min(1.0, static_cast<double>(camera.PanelHeight) / camera.PanelWidth)
            : 1.0;
    const double reach = std::tan(halfFov) / 2 * sideShare * FrameFill;
    double height = std::isfinite(extent) && extent > 0 && reach > 0 ? extent / reach : 0;
    height = std::clamp(height, MinFrameHeight, MaxFrameHeight);
    camera.CamDistance = static_cast<float>(std::fabs(static_cast<double>(worldRadius)) + height);
    return true;
}

bool CameraFrameUnit(Camera& camera, const WorldDoc& doc, const TgmWorldUnit& unit) {
    const std::vector<TPointGM*> points = doc.Points.PointsOfUnit(&unit);
    if (points.empty()) return false;
    TVec3 sum{};
    for (const TPointGM* p : points)
        sum = Add(sum, p->Pos);
    const TVec3 centre = Scale(sum, 1.0 / static_cast<double>(points.size()));
    float extent = 0;
    for (const TPointGM* p : points)
        extent = std::max(extent, Distance(p->Pos, centre));
    return CameraFrameAt(camera, doc.WorldRadius, centre, extent);
}

bool CameraFrameZone(Camera& camera, const WorldDoc& doc, const TgmZone& zone) {
    return CameraFrameAt(camera, doc.WorldRadius, ZoneCentre(zone, doc.WorldRadius),
                         zone.RadiusLen);
}

bool CameraFrameCurrent(Camera& camera, const WorldDoc& doc) {
    if (const TgmWorldUnit* unit = doc.Units.UnitCurrent())
        return CameraFrameUnit(camera, doc, *unit);
    if (const TgmZone* zone = doc.Zones.ZoneCurrent()) return CameraFrameZone(camera, doc, *zone);
    if (const TgmZoneLink* link = doc.Zones.ZoneLinkCurrent(); link && link->ZoneA && link->ZoneB) {
        const TVec3 a = ZoneCentre(*link->ZoneA, doc.WorldRadius);
        const TVec3 b = ZoneCentre(*link->ZoneB, doc.WorldRadius);
        const float extent =
            Distance(a, b) / 2 + std::max(link->ZoneA->RadiusLen, link->ZoneB->RadiusLen);
        return CameraFrameAt(camera, doc.WorldRadius, Scale(Add(a, b), 0.5), extent);
    }
    return false;
}

} // namespace gm
