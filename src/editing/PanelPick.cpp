#include "editing/PanelPick.h"

#include <cmath>

#include "render/Camera.h"
#include "render/GR_DirectX.h"
#include "render/VOper.h"
#include "world/GMLine.h"
#include "world/GMPoint.h"
#include "world/GMTriangle.h"
#include "world/ViewFlags.h"
#include "world/WorldDoc.h"
#include "zones/WorldZone.h"

namespace gm {

namespace {

// The pixel relative to the panel centre, where the lists keep their screen positions.
struct Rel {
    double X;
    double Y;
};

Rel Relative(const Camera& camera, int x, int y) {
    return {static_cast<double>(x - camera.ScreenCentreX),
            static_cast<double>(y - camera.ScreenCentreY)};
}

// Unnormalised view ray: the far point of the pixel brought back into view space, turned into
// the world by the rotation rows of the inverse view; the eye is its translation row.
PanelRayResult ViewRay(const Camera& camera, int x, int y) {
    const Rel p = Relative(camera, x, y);
    const TVec3 v =
        Vec3TransformCoord(MatrixInverse(camera.ProjMatrix),
                           MakeVec3(static_cast<float>(p.X), static_cast<float>(p.Y), 1.0f));
    const TMatrix inv = MatrixInverse(camera.ViewMatrix);
    PanelRayResult ray;
    float* d[3] = {&ray.Direction.x, &ray.Direction.y, &ray.Direction.z};
    for (int i = 0; i < 3; ++i)
        *d[i] = static_cast<float>(static_cast<double>(v.x) * inv.m[0][i] +
                                   static_cast<double>(v.y) * inv.m[1][i] +
                                   static_cast<double>(v.z) * inv.m[2][i]);
    ray.Origin = MakeVec3(inv.m[3][0], inv.m[3][1], inv.m[3][2]);
    return ray;
}

double Dist2(double ax, double ay, const Rel& p) {
    const double dx = ax - p.X, dy = ay - p.Y;
    return dx * dx + dy * dy;
}

// Where p lies along the segment a-b (0 at a, 1 at b) and how far from its line; false for a
// segment seen end-on, which has no direction to measure against.
bool SegmentDistance(double ax, double ay, double bx, double by, const Rel& p, double& t,
                     double& dist) {
    const double dx = bx - ax, dy = by - ay;
    const double len2 = dx * dx + dy * dy;
    if (!(len2 > 0)) return false;
    const double qx = p.X - ax, qy = p.Y - ay;
    t = (qx * dx + qy * dy) / len2;
    dist = std::abs(qx * dy - qy * dx) / std::sqrt(len2);
    return true;
}

} // namespace

TSpherePick PanelPick(const Camera& camera, float worldRadius, int x, int y) {
    const PanelRayResult ray = ViewRay(camera, x, y);
    TSpherePick pick;
    TVec3 hit;
    if (!RaySphere(ray.Origin, Vec3Add(ray.Origin, ray.Direction), MakeVec3(0, 0, 0), worldRadius,
                   hit))
        return pick;
    pick.Found = true;
    VecToSphere(hit, pick.Longitude, pick.Polar);
    return pick;
}

PanelRayResult PanelRay(const Camera& camera, int x, int y) {
    PanelRayResult ray = ViewRay(camera, x, y);
    ray.Direction = Vec3Normalize(ray.Direction);
    return ray;
}

TPointGM* PickPoint(const WorldDoc& doc, const Camera& camera, int x, int y) {
    const Rel p = Relative(camera, x, y);
    TPointGM* best = nullptr;
    double bestD = 25; // closer than 5 pixels
    for (TPointGM* pt : doc.Points.List()) {
        if (pt->Master || !camera.IsFrontDepth(pt->ScreenDepth)) continue;
        const double d = Dist2(pt->ScreenX, pt->ScreenY, p);
        if (d < bestD) {
            best = pt;
            bestD = d;
        }
    }
    return best;
}

TgmZone* PickZone(const WorldDoc& doc, const Camera& camera, const ViewFlags& flags, int x, int y) {
    if (!flags.Zone) return nullptr;
    const Rel p = Relative(camera, x, y);
    TgmZone* best = nullptr;
    double bestD = 25;
    for (TgmZone* zone : doc.Zones.Zones()) {
        if (!camera.IsFrontDepth(zone->ScreenDepth)) continue;
        const double d = Dist2(zone->ScreenX, zone->ScreenY, p);
        if (d < bestD) {
            best = zone;
            bestD = d;
        }
    }
    return best;
}

TgmZoneLink* PickZoneLink(const WorldDoc& doc, const Camera& camera, const ViewFlags& flags, int x,
                          int y) {
    if (!flags.Zone) return nullptr;
    const Rel p = Relative(camera, x, y);
    for (TgmZoneLink* link : doc.Zones.Links()) {
        const TgmZone* a = link->ZoneA;
        const TgmZone* b = link->ZoneB;
        if (!a || !b || !camera.IsFrontDepth(a->ScreenDepth) ||
            !camera.IsFrontDepth(b->ScreenDepth))
            continue;
        double t = 0, dist = 0;
        if (SegmentDistance(a->ScreenX, a->ScreenY, b->ScreenX, b->ScreenY, p, t, dist) && t >= 0 &&
            t <= 1 && dist <= 3)
            return link;
    }
    return nullptr;
}

TTriangleGM* PickTriangle(const WorldDoc& doc, const Camera& camera, int x, int y) {
    const PanelRayResult ray = PanelRay(camera, x, y);
    for (TTriangleGM* tri : doc.Triangles.List()) {
        const TPointGM* c0 = tri->Corner[0].Point;
        const TPointGM* c1 = tri->Corner[1].Point;
        const TPointGM* c2 = tri->Corner[2].Point;
        if (!c0 || !c1 || !c2) continue;
        float t = 0, u = 0, v = 0;
        // Either side counts: the test itself is one-sided.
        const bool hit =
            IntersectTriangle(ray.Origin, ray.Direction, c0->Pos, c1->Pos, c2->Pos, t, u, v) ||
            IntersectTriangle(ray.Origin, ray.Direction, c0->Pos, c2->Pos, c1->Pos, t, u, v);
        if (hit && t > 0 && camera.IsFrontDepth(c0->ScreenDepth) &&
            camera.IsFrontDepth(c1->ScreenDepth) && camera.IsFrontDepth(c2->ScreenDepth))
            return tri;
    }
    return nullptr;
}

TLineGM* PickLine(const WorldDoc& doc, const Camera& camera, int x, int y) {
    for (TLineGM* line : doc.Lines.List()) {
        const TPointGM* a = line->PointStart;
        const TPointGM* b = line->PointEnd;
        if (!a || !b || !camera.IsFrontDepth(a->ScreenDepth) ||
            !camera.IsFrontDepth(b->ScreenDepth))
            continue;
        if (HitTest(*line, camera, static_cast<float>(x), static_cast<float>(y))) return line;
    }
    return nullptr;
}

TgmWorldUnit* PickUnit(const WorldDoc& doc, const Camera& camera, int x, int y) {
    if (const TTriangleGM* tri = PickTriangle(doc, camera, x, y); tri && tri->Unit)
        return tri->Unit;
    if (const TLineGM* line = PickLine(doc, camera, x, y); line && line->Unit) return line->Unit;
    return nullptr;
}

std::vector<PickItem> PickAll(const WorldDoc& doc, const Camera& camera, const ViewFlags& flags,
                              int x, int y) {
    std::vector<PickItem> items;
    if (TgmZone* zone = PickZone(doc, camera, flags, x, y)) items.emplace_back(zone);
    if (TgmZoneLink* link = PickZoneLink(doc, camera, flags, x, y)) items.emplace_back(link);
    if (TgmWorldUnit* unit = PickUnit(doc, camera, x, y)) items.emplace_back(unit);
    if (TPointGM* point = PickPoint(doc, camera, x, y)) items.emplace_back(point);
    return items;
}

} // namespace gm
