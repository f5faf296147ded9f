#include "editing/GroupEdit.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <unordered_set>

#include "render/GR_DirectX.h"
#include "render/VOper.h"
#include "world/GMPoint.h"
#include "world/WorldDoc.h"
#include "world/WorldUnit.h"
#include "zones/WorldZone.h"

namespace gm {

namespace {

TVec3 SpherePoint(float longitude, float polar) {
    return SphereToVec(DegToRadSigned(longitude), DegToRadSigned(polar), 1);
}

// The turn about the sphere's centre that carries direction a onto direction b along their
// great circle; identity when they agree (or are opposite: no single great circle then).
TMatrix TurnBetween(const TVec3& a, const TVec3& b) {
    const TVec3 axis = Vec3Cross(a, b);
    const double sine = Vec3Length(axis);
    const double cosine = Vec3Dot(a, b);
    if (!(sine > 1e-9)) return MatrixIdentity();
    return MatrixRotationAxis(Vec3Normalize(axis), std::atan2(sine, cosine));
}

void TurnAngles(const TMatrix& m, float& longitude, float& polar) {
    VecToSphere(Vec3TransformCoord(m, SpherePoint(longitude, polar)), longitude, polar);
}

// The current unit or zone joins the group before another object does, so that Shift+click
// extends what the designer already had.
void CurrentJoins(WorldDoc& doc) {
    if (TgmWorldUnit* u = doc.Units.UnitCurrent()) u->Grouped = true;
    if (TgmZone* z = doc.Zones.ZoneCurrent()) z->Grouped = true;
}

void MakeCurrent(WorldDoc& doc, TgmWorldUnit* unit, TgmZone* zone) {
    doc.Zones.SetZoneLinkCurrent(nullptr);
    doc.Zones.SetZoneCurrent(zone);
    doc.Units.SetCurrentUnit(unit);
}

} // namespace

Group GroupOf(const WorldDoc& doc) {
    Group g;
    for (TgmWorldUnit* u : doc.Units.List())
        if (u->Grouped || u == doc.Units.UnitCurrent()) g.Units.push_back(u);
    for (TgmZone* z : doc.Zones.Zones())
        if (z->Grouped || z == doc.Zones.ZoneCurrent()) g.Zones.push_back(z);
    return g;
}

bool InGroup(const WorldDoc& doc, const TgmWorldUnit* unit) {
    const Group g = GroupOf(doc);
    return g.Size() >= 2 && std::find(g.Units.begin(), g.Units.end(), unit) != g.Units.end();
}

bool InGroup(const WorldDoc& doc, const TgmZone* zone) {
    const Group g = GroupOf(doc);
    return g.Size() >= 2 && std::find(g.Zones.begin(), g.Zones.end(), zone) != g.Zones.end();
}

void GroupClear(WorldDoc& doc) {
    for (TgmWorldUnit* u : doc.Units.List())
        u->Grouped = false;
    for (TgmZone* z : doc.Zones.Zones())
        z->Grouped = false;
}

void GroupToggle(WorldDoc& doc, TgmWorldUnit* unit) {
    if (!unit) return;
    CurrentJoins(doc);
    unit->Grouped = !unit->Grouped;
    if (unit->Grouped)
        MakeCurrent(doc, unit, nullptr);
    else if (doc.Units.UnitCurrent() == unit)
        doc.Units.SetCurrentUnit(nullptr);
}

void GroupToggle(WorldDoc& doc, TgmZone* zone) {
    if (!zone) return;
    CurrentJoins(doc);
    zone->Grouped = !zone->Grouped;
    if (zone->Grouped)
        MakeCurrent(doc, nullptr, zone);
    else if (doc.Zones.ZoneCurrent() == zone)
        doc.Zones.SetZoneCurrent(nullptr);
}

void GroupMove(WorldDoc& doc, const Group& group, float fromLongitude, float fromPolar,
               float toLongitude, float toPolar) {
    const TMatrix m =
        TurnBetween(SpherePoint(fromLongitude, fromPolar), SpherePoint(toLongitude, toPolar));
    // Each linked group of points turns once, through its master: its members follow it.
    std::vector<TPointGM*> heads;
    std::unordered_set<const TPointGM*> seen;
    std::vector<TPointGM*> all;
    for (TgmWorldUnit* u : group.Units)
        for (TPointGM* p : doc.Points.PointsOfUnit(u)) {
            all.push_back(p);
            TPointGM* head = p->Master ? p->Master : p;
            if (seen.insert(head).second) heads.push_back(head);
        }
    for (TPointGM* p : heads) {
        float longitude = p->Longitude, polar = p->Polar;
        TurnAngles(m, longitude, polar);
        doc.Points.SetAngles(p, longitude, polar);
    }
    for (TPointGM* p : all)
        doc.Units.UnitsRecentre(p);
    for (TgmZone* z : group.Zones) {
        TurnAngles(m, z->Longitude, z->Polar);
        doc.Zones.ZoneUpdate(z);
    }
}

bool GroupDelete(WorldDoc& doc, const Group& group) {
    if (group.Size() == 0) return false;
    for (TgmWorldUnit* u : group.Units)
        doc.Units.UnitDelete(u);
    for (TgmZone* z : group.Zones)
        doc.Zones.ZoneDelete(z);
    return true;
}

bool GroupCopyAt(WorldDoc& doc, const Group& group, TgmWorldUnit& reference, float longitude,
                 float polar, std::string* reason) {
    float refLongitude = 0, refPolar = 0;
    VecToSphere(doc.Units.CalcCentre(&reference), refLongitude, refPolar);
    const TMatrix m =
        TurnBetween(SpherePoint(refLongitude, refPolar), SpherePoint(longitude, polar));

    std::vector<TgmWorldUnit*> copies;
    std::unordered_map<const TPointGM*, TPointGM*> copyOf; // original point -> its copy
    TgmWorldUnit* current = nullptr;
    for (TgmWorldUnit* u : group.Units) {
        float lon = 0, pol = 0;
        VecToSphere(doc.Units.CalcCentre(u), lon, pol);
        TurnAngles(m, lon, pol);
        TgmWorldUnit* copy = doc.Units.UnitCreateAt(u->DescPath, lon, pol, reason);
        if (!copy) {
            // All or nothing: one undo step must not hold half a copy.
            for (TgmWorldUnit* made : copies)
                doc.Units.UnitDelete(made);
            return false;
        }
        copies.push_back(copy);
        copy->UnitType = u->UnitType;
        copy->TimeOffset = u->TimeOffset;
        copy->TimeLength = u->TimeLength;
        doc.Units.SetKeyGroup(copy, u->KeyGroup);
        if (u == &reference) current = copy;
        // Every point goes where the original's point goes under the same turn, so the copy
        // keeps the original's shape and orientation exactly.
        for (TPointGM* p : doc.Points.PointsOfUnit(copy)) {
            const TPointGM* original = doc.Units.PointById(u, p->Id);
            if (!original) continue;
            float plon = original->Longitude, ppol = original->Polar;
            TurnAngles(m, plon, ppol);
            doc.Points.SetAngles(p, plon, ppol);
            copyOf.emplace(original, p);
        }
        doc.Units.CalcCentre(copy);
    }
    // Ports linked inside the group are linked between the copies.
    for (const auto& [original, copy] : copyOf) {
        if (!original->Master || original->Master == original) continue;
        const auto master = copyOf.find(original->Master);
        if (master == copyOf.end()) continue;
        const auto head = [](const TPointGM* p) { return p->Master ? p->Master : p; };
        if (head(master->second) != head(copy)) doc.Points.PointLink(master->second, copy);
    }

    std::unordered_map<const TgmZone*, TgmZone*> zoneCopy;
    for (TgmZone* z : group.Zones) {
        TgmZone* c = doc.Zones.ZoneAdd();
        c->Longitude = z->Longitude;
        c->Polar = z->Polar;
        TurnAngles(m, c->Longitude, c->Polar);
        c->RadiusAngle = z->RadiusAngle;
        c->ZoneType = z->ZoneType;
        c->Graph = z->Graph;
        c->Hitpoints = z->Hitpoints;
        c->Mass = z->Mass;
        c->Damage = z->Damage;
        c->ItemFlags = z->ItemFlags;
        c->ItemFreq = z->ItemFreq;
        doc.Zones.ZoneUpdate(c);
        zoneCopy.emplace(z, c);
    }
    std::vector<const TgmZoneLink*> links;
    for (const TgmZoneLink* link : doc.Zones.Links())
        links.push_back(link);
    for (const TgmZoneLink* link : links) {
        const auto a = zoneCopy.find(link->ZoneA), b = zoneCopy.find(link->ZoneB);
        if (a == zoneCopy.end() || b == zoneCopy.end()) continue;
        TgmZoneLink* c = doc.Zones.ZoneLinkAdd();
        c->ZoneA = a->second;
        c->ZoneB = b->second;
        c->LinkType = link->LinkType;
    }

    GroupClear(doc);
    for (TgmWorldUnit* c : copies)
        c->Grouped = true;
    for (const auto& [original, c] : zoneCopy)
        c->Grouped = true;
    MakeCurrent(doc, current, nullptr);
    return true;
}

} // namespace gm
