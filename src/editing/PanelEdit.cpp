#include "editing/PanelEdit.h"

#include "render/GR_DirectX.h"
#include "render/VOper.h"
#include "world/GMPoint.h"
#include "world/WorldDoc.h"
#include "world/WorldUnit.h"

namespace gm {

namespace {

// Bearing from (lon1, polar1), measured from heading 0, raised into [0, 360).
float BearingFrom(float lon1, float polar1, float lon2, float polar2, float radius, float& dist) {
    float bearing = 0;
    SphereBearing(bearing, dist, lon1, polar1, 0, lon2, polar2, radius);
    if (bearing < 0) bearing += 360;
    return bearing;
}

// Turns the points by m about the sphere's centre; positions come back to the points' own radius
// through their angles.
void TurnPoints(WorldDoc& doc, const std::vector<TPointGM*>& points, const TMatrix& m,
                bool recentre) {
    for (TPointGM* p : points) {
        p->Pos = Vec3TransformCoord(m, p->Pos);
        float lon = 0, polar = 0;
        VecToSphere(p->Pos, lon, polar);
        doc.Points.SetAngles(p, lon, polar);
        if (recentre) doc.Units.UnitsRecentre(p);
    }
}

} // namespace

void MoveWithAnchor(WorldDoc& doc, const std::vector<TPointGM*>& points, float& anchorLongitude,
                    float& anchorPolar, float longitude, float polar) {
    const float r = doc.WorldRadius;
    float d = 0;
    const float beta = BearingFrom(anchorLongitude, anchorPolar, longitude, polar, r, d);
    for (TPointGM* p : points) {
        float dp = 0;
        const float betaP =
            BearingFrom(anchorLongitude, anchorPolar, p->Longitude, p->Polar, r, dp);
        // The cursor's direction of travel, carried along the great circle to the point...
        const TSpherePos start{anchorLongitude, anchorPolar, beta};
        TSpherePos there;
        SphereMoveAlong(start, there, betaP, dp, r);
        // ...and the point moved that way by the cursor's step.
        TSpherePos moved;
        SphereMoveCopy(there, moved, d, r);
        doc.Points.SetAngles(p, moved.Longitude, moved.Polar);
        doc.Units.UnitsRecentre(p);
    }
    anchorLongitude = longitude;
    anchorPolar = polar;
}

void UnitTurn(WorldDoc& doc, TgmWorldUnit* unit, double angle) {
    const std::vector<TPointGM*> points = doc.Points.PointsOfUnit(unit);
    if (points.empty()) return;
    double x = 0, y = 0, z = 0;
    for (const TPointGM* p : points) {
        x += p->Pos.x;
        y += p->Pos.y;
        z += p->Pos.z;
    }
    const double n = static_cast<double>(points.size());
    const TVec3 axis = Vec3Normalize(
        MakeVec3(static_cast<float>(x / n), static_cast<float>(y / n), static_cast<float>(z / n)));
    const TMatrix m = MatrixRotationAxis(axis, DegToRadSigned(angle));
    std::vector<TPointGM*> own;
    for (TPointGM* p : points)
        if (p->Units.size() <= 1) own.push_back(p);
    TurnPoints(doc, own, m, true);
}

TgmWorldUnit* UnitCopyAt(WorldDoc& doc, float longitude, float polar, std::string* reason) {
    UnitStore& units = doc.Units;
    TgmWorldUnit* old = units.UnitCurrent();
    if (!old) return nullptr;
    TgmWorldUnit* copy = units.UnitCreateAt(old->DescPath, longitude, polar, reason);
    if (!copy) return nullptr;
    copy->UnitType = old->UnitType;
    copy->TimeOffset = old->TimeOffset;
    copy->TimeLength = old->TimeLength;
    units.SetKeyGroup(copy, old->KeyGroup);

    const float r = doc.WorldRadius;
    const TVec3 oldCentre = units.CalcCentre(old);
    float coLon = 0, coPolar = 0;
    VecToSphere(oldCentre, coLon, coPolar);
    const TPointGM* ref = units.NearestPoint(old, oldCentre);
    if (!ref) return copy;
    float unused = 0;
    const float beta = BearingFrom(coLon, coPolar, ref->Longitude, ref->Polar, r, unused);
    const TVec3 newCentre = units.CalcCentre(copy);
    float cnLon = 0, cnPolar = 0;
    VecToSphere(newCentre, cnLon, cnPolar);
    const TPointGM* ref2 = units.PointById(copy, ref->Id);
    if (!ref2) return copy;

    // The reference point's bearing carried along the way from the old centre to the new one is
    // where the copy's reference point must lie; turn the copy by the difference.
    float travel = 0;
    const float tau = BearingFrom(coLon, coPolar, cnLon, cnPolar, r, travel);
    TSpherePos carried;
    SphereMoveAlong(TSpherePos{coLon, coPolar, beta}, carried, tau, travel, r);
    const float gamma = BearingFrom(cnLon, cnPolar, ref2->Longitude, ref2->Polar, r, unused);
    const double delta = AngleDiff(gamma, carried.Heading);
    const TMatrix m = MatrixRotationAxis(Vec3Normalize(newCentre), DegToRadSigned(delta));
    TurnPoints(doc, doc.Points.PointsOfUnit(copy), m, false);
    units.CalcCentre(copy);
    return copy;
}

} // namespace gm
