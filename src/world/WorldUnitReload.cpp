// Reloading units from their descriptions, the bounding rectangle, and the current unit's
// outlines.

#include <cmath>
#include <unordered_map>
#include <unordered_set>

#include "render/Camera.h"
#include "render/GR_DirectX.h"
#include "render/Scene.h"
#include "render/VOper.h"
#include "render/gm_Obj3D.h"
#include "world/GMPoint.h"
#include "world/GMTriangle.h"
#include "world/WorldUnit.h"

namespace gm {

namespace {

float Bearing360(float lon1, float polar1, float lon2, float polar2, float r, float& dist) {
    float brg = 0;
    SphereBearing(brg, dist, lon1, polar1, 0, lon2, polar2, r);
    return brg < 0 ? brg + 360 : brg;
}

} // namespace

bool UnitStore::UnitReload(TgmWorldUnit* old, std::string* reason) {
    float lon = 0, polar = 0;
    VecToSphere(CalcCentre(old), lon, polar);
    TgmWorldUnit* nw = UnitCreateAt(old->DescPath, lon, polar, reason);
    if (!nw) return false;
    const std::vector<TPointGM*> olds = Points_.PointsOfUnit(old);
    const std::vector<TPointGM*> news = Points_.PointsOfUnit(nw);
    if (olds.empty() || news.empty()) {
        UnitDelete(nw);
        return false;
    }
    const TVec3 c = CalcCentre(nw);
    std::unordered_map<std::u16string, TPointGM*> newById;
    for (TPointGM* p : news)
        newById.try_emplace(p->Id, p);

    // Every old point and every new point once: renamed or added points need nOld + nNew
    // entries, not the larger of the two counts.
    std::vector<TPointGM*> oldPts(olds), newPts(olds.size(), nullptr);
    std::unordered_set<TPointGM*> paired;
    std::size_t ref = SIZE_MAX;
    double refDist = 1e20;
    for (std::size_t k = 0; k < olds.size(); ++k) {
        const auto it = newById.find(olds[k]->Id);
        if (it == newById.end() || paired.count(it->second)) continue;
        newPts[k] = it->second;
        paired.insert(it->second);
        const double dx = olds[k]->Pos.x - old->Centre.x, dy = olds[k]->Pos.y - old->Centre.y,
                     dz = olds[k]->Pos.z - old->Centre.z;
        const double d = dx * dx + dy * dy + dz * dz;
        if (d < refDist) {
            refDist = d;
            ref = k;
        }
    }
    for (TPointGM* p : news) {
        if (paired.count(p)) continue;
        oldPts.push_back(nullptr);
        newPts.push_back(p);
    }
    std::vector<float> savedLon(newPts.size()), savedPolar(newPts.size());
    for (std::size_t i = 0; i < newPts.size(); ++i) {
        if (!newPts[i]) continue;
        savedLon[i] = newPts[i]->Longitude;
        savedPolar[i] = newPts[i]->Polar;
        if (!oldPts[i]) continue;
        newPts[i]->Longitude = oldPts[i]->Longitude;
        newPts[i]->Polar = oldPts[i]->Polar;
        newPts[i]->CalcPos();
        // The new point joins the old one's group, so links to other units outlive the old unit.
        Points_.PointLink(oldPts[i], newPts[i]);
    }
    // New points are turned with the unit; with no point keeping its Id there is no reference.
    if (olds.size() < news.size() && ref != SIZE_MAX) {
        float oldLon = 0, oldPolar = 0, newLon = 0, newPolar = 0, dist = 0;
        VecToSphere(old->Centre, oldLon, oldPolar);
        VecToSphere(c, newLon, newPolar);
        const float brgOld = Bearing360(oldLon, oldPolar, oldPts[ref]->Longitude,
                                        oldPts[ref]->Polar, WorldRadius_, dist);
        const float brgNew =
            Bearing360(newLon, newPolar, savedLon[ref], savedPolar[ref], WorldRadius_, dist);
        for (std::size_t m = 0; m < newPts.size(); ++m) {
            if (oldPts[m] || !newPts[m]) continue;
            const float brg =
                Bearing360(newLon, newPolar, savedLon[m], savedPolar[m], WorldRadius_, dist);
            float heading = Norm360(static_cast<float>(brgOld + AngleDiff(brg, brgNew)));
            float plon = oldLon, ppolar = oldPolar;
            SphereMove(plon, ppolar, heading, WorldRadius_, dist);
            newPts[m]->Longitude = plon;
            newPts[m]->Polar = ppolar;
            newPts[m]->CalcPos();
        }
    }
    nw->UnitType = old->UnitType;
    nw->TimeOffset = old->TimeOffset;
    nw->TimeLength = old->TimeLength;
    SetKeyGroup(nw, old->KeyGroup);
    if (Current_ == nw) SetCurrentUnit(nullptr);
    CalcCentre(nw);
    UnitDelete(old);
    return true;
}

void UnitStore::UnitReloadCurrent() {
    if (Current_) UnitReload(Current_);
    SetCurrentUnit(nullptr);
}

void UnitStore::UnitReloadCurrentType() {
    if (!Current_) return;
    const std::u16string path = Current_->DescPath;
    std::vector<TgmWorldUnit*> units;
    for (TgmWorldUnit* u : List_)
        if (u->DescPath == path) units.push_back(u);
    for (TgmWorldUnit* u : units)
        UnitReload(u);
    SetCurrentUnit(nullptr);
}

void UnitStore::UnitReloadAll() {
    std::vector<TgmWorldUnit*> units;
    for (TgmWorldUnit* u : List_)
        units.push_back(u);
    for (TgmWorldUnit* u : units)
        UnitReload(u);
    SetCurrentUnit(nullptr);
}

void UnitStore::CalcBB(TgmWorldUnit* u) {
    std::unordered_set<const TPointGM*> corners;
    for (const TTriangleGM* t : Triangles_.TrianglesOfUnit(u))
        for (const TTriangleCorner& c : t->Corner)
            if (c.Point) corners.insert(c.Point);
    std::vector<TPointGM*> s;
    for (TPointGM* p : Points_.PointsOfUnit(u))
        if (corners.count(p)) s.push_back(p);
    if (s.empty()) {
        u->BBState = -1;
        return;
    }
    double cx = 0, cy = 0, cz = 0;
    for (const TPointGM* p : s) {
        cx += p->Pos.x;
        cy += p->Pos.y;
        cz += p->Pos.z;
    }
    const double n = static_cast<double>(s.size());
    float lonC = 0, polarC = 0;
    VecToSphere(MakeVec3(static_cast<float>(cx / n), static_cast<float>(cy / n),
                         static_cast<float>(cz / n)),
                lonC, polarC);
    std::vector<float> brg(s.size()), dist(s.size());
    for (std::size_t i = 0; i < s.size(); ++i)
        brg[i] = Bearing360(lonC, polarC, s[i]->Longitude, s[i]->Polar, WorldRadius_, dist[i]);

    double best = 0, bMinX = 0, bMaxX = 0, bMinY = 0, bMaxY = 0;
    int bestRot = -1;
    for (int rot = 0; rot <= 90; rot += 5) {
        double minX = 1e20, maxX = -1e20, minY = 1e20, maxY = -1e20;
        for (std::size_t i = 0; i < s.size(); ++i) {
            const double a = DegToRadSigned(Norm360(brg[i] + static_cast<float>(rot)));
            const double x = std::sin(a) * dist[i], y = -std::cos(a) * dist[i];
            minX = std::min(minX, x);
            maxX = std::max(maxX, x);
            minY = std::min(minY, y);
            maxY = std::max(maxY, y);
        }
        const double per = 2 * (maxX - minX) + 2 * (maxY - minY);
        if (bestRot < 0 || per < best) {
            best = per;
            bestRot = rot;
            bMinX = minX;
            bMaxX = maxX;
            bMinY = minY;
            bMaxY = maxY;
        }
    }
    const double xs[4] = {bMinX, bMaxX, bMaxX, bMinX};
    const double ys[4] = {bMinY, bMinY, bMaxY, bMaxY};
    for (int i = 0; i < 4; ++i) {
        float heading =
            Norm360(static_cast<float>(RadToDeg360(std::atan2(xs[i], -ys[i])) - bestRot));
        float lon = lonC, polar = polarC;
        SphereMove(lon, polar, heading, WorldRadius_,
                   static_cast<float>(std::sqrt(xs[i] * xs[i] + ys[i] * ys[i])));
        u->BBCorner[static_cast<std::size_t>(i)].Longitude = lon;
        u->BBCorner[static_cast<std::size_t>(i)].Polar = polar;
    }
    u->BBState = 1;
    BBCornersPos(u);
}

void UnitStore::BBCornersPos(TgmWorldUnit* u) {
    for (TBBCorner& c : u->BBCorner)
        c.Pos = SphereToVec(DegToRadSigned(c.Longitude), DegToRadSigned(c.Polar), WorldRadius_);
}

void UnitStore::BBCalcCurrent(const Camera& camera) {
    if (!Current_) return;
    CalcBB(Current_);
    Draw(Current_, camera);
}

void UnitStore::BBCalcAll(const Camera& camera) {
    for (TgmWorldUnit* u : List_)
        CalcBB(u);
    UnitDrawCurrent(camera);
}

void UnitStore::Draw(TgmWorldUnit* u, const Camera& camera) {
    if (!(u->Current || u->Grouped) || !Scene_) {
        ReleaseOutlines(u);
        return;
    }
    auto outline = [this]() {
        TgmObj3D* obj = Scene_->Obj3DNew();
        obj->SetVertexCount(4);
        obj->AddLine(0, 1);
        obj->AddLine(1, 2);
        obj->AddLine(2, 3);
        obj->AddLine(3, 0);
        return obj;
    };
    if (!u->SelObj) u->SelObj = outline();
    if (!u->BBObj && u->BBState == 1) u->BBObj = outline();
    const float cx = static_cast<float>(camera.ScreenCentreX);
    const float cy = static_cast<float>(camera.ScreenCentreY);
    float minX = 1e20f, maxX = -1e20f, minY = 1e20f, maxY = -1e20f;
    for (const TPointGM* p : Points_.PointsOfUnit(u)) {
        minX = std::min(minX, p->ScreenX - 3);
        maxX = std::max(maxX, p->ScreenX + 3);
        minY = std::min(minY, p->ScreenY - 3);
        maxY = std::max(maxY, p->ScreenY + 3);
    }
    const float xs[4] = {minX, maxX, maxX, minX};
    const float ys[4] = {minY, minY, maxY, maxY};
    for (int i = 0; i < 4; ++i)
        *u->SelObj->Vertex(i) = MakeVertex(0xFFFFFFFF, cx + xs[i], cy + ys[i], 0, 0, 0);
    if (u->BBObj) {
        for (int i = 0; i < 4; ++i) {
            const TVec3 q = camera.ProjectRelative(u->BBCorner[static_cast<std::size_t>(i)].Pos);
            *u->BBObj->Vertex(i) =
                MakeVertex(i % 2 == 0 ? 0xFFFF0000 : 0xFFFFFF00, cx + q.x, cy + q.y, 0, 0, 0);
        }
    }
}

void UnitStore::UnitDrawCurrent(const Camera& camera) {
    if (Current_) Draw(Current_, camera);
    // Units of a group show the outline too; one that left the group loses it.
    for (TgmWorldUnit* u : List_)
        if (u != Current_ && (u->Grouped || u->SelObj)) Draw(u, camera);
}

void UnitStore::UnitVisibleAll(const Camera& camera) {
    for (TgmWorldUnit* u : List_)
        u->Visible = camera.IsFrontDepth(camera.ProjectRelative(u->Centre).z);
}

void UnitStore::UnitsRecentre(TPointGM* p) {
    TPointGM* m = p->Master ? p->Master : p;
    for (TgmWorldUnit* u : m->Units)
        CalcCentre(u);
    for (const TPointGM* f : m->Members())
        for (TgmWorldUnit* u : f->Units)
            CalcCentre(u);
}

} // namespace gm
