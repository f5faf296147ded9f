#include "world/WorldUnit.h"

#include <cmath>
#include <memory>

#include "foundation/Codec.h"
#include "foundation/PathResolver.h"
#include "foundation/QX_BlockPar.h"
#include "foundation/QX_Error.h"
#include "render/Scene.h"
#include "render/VOper.h"
#include "render/gm_Obj3D.h"
#include "world/GMDesc.h"
#include "world/GMLine.h"
#include "world/GMPoint.h"
#include "world/GMTriangle.h"

namespace gm {

namespace {

bool HasNumberedBlock(const TBlockParQX* block) {
    if (!block) return false;
    for (const TBlockParElQX* el = block->First(); el; el = el->Next)
        if (el->Kind == TBlockParElQX::KindBlock && IsNumberedBlockName(el->Name)) return true;
    return false;
}

} // namespace

std::string UnitDescForMessage(const TgmWorldUnit* u) {
    return u ? "\"" + WideToAnsiQX(u->DescPath) + "\"" : std::string("no unit");
}

UnitStore::UnitStore(KeyStore& keys, PointStore& points, TriangleStore& triangles, LineStore& lines,
                     const float& worldRadius)
    : Keys_(keys), Points_(points), Triangles_(triangles), Lines_(lines),
      WorldRadius_(worldRadius) {}

UnitStore::~UnitStore() {
    UnitClearAll();
}

void UnitStore::SetScene(Scene* scene) noexcept {
    if (scene == Scene_) return;
    for (TgmWorldUnit* u : List_)
        ReleaseOutlines(u);
    Scene_ = scene;
}

TgmWorldUnit* UnitStore::UnitAdd() {
    ByNumberValid_ = false;
    return List_.Append(std::make_unique<TgmWorldUnit>());
}

void UnitStore::ReleaseOutlines(TgmWorldUnit* u) noexcept {
    if (Scene_) {
        if (u->SelObj) Scene_->Obj3DFree(u->SelObj);
        if (u->BBObj) Scene_->Obj3DFree(u->BBObj);
    }
    u->SelObj = nullptr;
    u->BBObj = nullptr;
}

void UnitStore::UnitDelete(TgmWorldUnit* u) {
    Lines_.LinesOfUnitDelete(u);
    Triangles_.TrianglesOfUnitDelete(u);
    Points_.UnitRemove(u);
    Keys_.KeyGroupListDeleteUnit(u);
    ReleaseOutlines(u);
    if (Current_ == u) Current_ = nullptr;
    ByNumberValid_ = false;
    List_.Erase(u);
}

void UnitStore::UnitClearAll() {
    while (TgmWorldUnit* u = List_.Last())
        UnitDelete(u);
}

void UnitStore::SetCurrentUnit(TgmWorldUnit* u) {
    if (Current_ && Current_ != u) {
        Current_->Current = false;
        ReleaseOutlines(Current_);
    }
    Current_ = u;
    if (u) u->Current = true;
}

void UnitStore::RebuildByNumber() {
    ByNumber_.clear();
    for (TgmWorldUnit* u : List_)
        ByNumber_.try_emplace(u->Number, u);
    ByNumberValid_ = true;
}

TgmWorldUnit* UnitStore::UnitByNumber(int32_t n) {
    if (!ByNumberValid_) RebuildByNumber();
    const auto it = ByNumber_.find(n);
    return it == ByNumber_.end() ? nullptr : it->second;
}

void UnitStore::UnitsNumber() {
    int32_t n = 0;
    for (TgmWorldUnit* u : List_)
        u->Number = n++;
    ByNumberValid_ = false;
}

void UnitStore::UnitCentreAll() {
    for (TgmWorldUnit* u : List_)
        CalcCentre(u);
}

TVec3 UnitStore::CalcCentre(TgmWorldUnit* u) {
    const std::vector<TPointGM*> pts = Points_.PointsOfUnit(u);
    if (pts.empty()) return u->Centre; // a unit read from a damaged file may have none
    double x = 0, y = 0, z = 0;
    for (const TPointGM* p : pts) {
        x += p->Pos.x;
        y += p->Pos.y;
        z += p->Pos.z;
    }
    const double n = static_cast<double>(pts.size());
    u->Centre =
        MakeVec3(static_cast<float>(x / n), static_cast<float>(y / n), static_cast<float>(z / n));
    return u->Centre;
}

TPointGM* UnitStore::NearestPoint(const TgmWorldUnit* u, const TVec3& pos) const {
    TPointGM* best = nullptr;
    double bestD = 0;
    for (TPointGM* p : Points_.PointsOfUnit(u)) {
        const double dx = p->Pos.x - pos.x, dy = p->Pos.y - pos.y, dz = p->Pos.z - pos.z;
        const double d = dx * dx + dy * dy + dz * dz;
        if (!best || d < bestD) {
            best = p;
            bestD = d;
        }
    }
    return best;
}

TPointGM* UnitStore::PointById(const TgmWorldUnit* u, const std::u16string& id) const {
    for (TPointGM* p : Points_.PointsOfUnit(u))
        if (p->Id == id) return p;
    return nullptr;
}

void UnitStore::SetKeyGroup(TgmWorldUnit* u, int32_t index) {
    TKeyGroupList* list = Keys_.KeyGroupListOfUnit(u);
    const int32_t count = list ? list->GroupCount() : 0;
    if (index >= count) index = count - 1;
    if (index < 0) index = 0;
    u->KeyGroup = index;
    if (list) list->CurrentGroup = index;
}

void UnitStore::LoadDesc(TgmWorldUnit* u, const std::u16string& path, float longitude,
                         float polar) {
    u->DescPath = path;
    TBlockParQX desc;
    desc.LoadFromFile(ResolvePathQX(UnitPath, WideToAnsiQX(path)),
                      {.LegacyCodePage = LegacyCodePage});
    TKeyGroupList* list = Keys_.KeyGroupListAdd(u);
    list->LoadDesc(desc);
    const std::vector<TPointGM*> pts = Points_.PointsLoadDesc(desc, u);
    // Centre, placement and outline are averages over the points: a unit needs one.
    if (pts.empty()) RaiseQX("Unit description has no point: " + WideToAnsiQX(path));
    // Keys are evaluated in the current group; without groups they have none.
    if (list->GroupCount() == 0 && (HasNumberedBlock(desc.Block_Find(u"Polygon")) ||
                                    HasNumberedBlock(desc.Block_Find(u"Line"))))
        RaiseQX("Unit description has triangles or lines but no key group: " + WideToAnsiQX(path));
    // Corner and end numbers name this description's points only, never a point of another
    // unit that happens to carry a number.
    std::unordered_map<uint32_t, TPointGM*> own;
    for (TPointGM* p : pts)
        own.try_emplace(static_cast<uint32_t>(p->Number), p);
    const DescPointFn byNumber = [&own](uint32_t n) -> TPointGM* {
        const auto it = own.find(n);
        return it == own.end() ? nullptr : it->second;
    };
    Triangles_.TrianglesLoadDesc(desc, u, list, byNumber);
    Lines_.LinesLoadDesc(desc, u, list, byNumber);
    for (TPointGM* p : pts)
        p->Number = -1;
    Points_.NumbersChanged();
    list->CurrentGroup = u->KeyGroup;
    Place(u, longitude, polar);
}

void UnitStore::Place(TgmWorldUnit* u, float longitude, float polar) {
    const std::vector<TPointGM*> pts = Points_.PointsOfUnit(u);
    if (pts.empty()) return;
    double cx = 0, cy = 0;
    for (const TPointGM* p : pts) {
        cx += p->Pos.x;
        cy += p->Pos.y;
    }
    cx /= static_cast<double>(pts.size());
    cy /= static_cast<double>(pts.size());
    for (TPointGM* p : pts) {
        const double dx = p->Pos.x - cx, dy = p->Pos.y - cy;
        float heading = static_cast<float>(RadToDeg360(std::atan2(dx, -dy)));
        p->Radius = WorldRadius_ - p->Pos.z; // local z is depth below the surface
        float lon = longitude, pol = polar;
        SphereMove(lon, pol, heading, p->Radius, static_cast<float>(std::sqrt(dx * dx + dy * dy)));
        p->Longitude = lon;
        p->Polar = pol;
        p->CalcPos();
    }
}

TgmWorldUnit* UnitStore::UnitCreateAt(const std::u16string& path, float longitude, float polar,
                                      std::string* reason) {
    TgmWorldUnit* u = UnitAdd();
    try {
        LoadDesc(u, path, longitude, polar);
    } catch (const ErrorQX& e) {
        UnitDelete(u);
        if (reason) *reason = e.Message();
        return nullptr;
    }
    SetCurrentUnit(u);
    CalcCentre(u);
    return u;
}

void UnitStore::UnitsWrite(TBufQX& buf) {
    buf.AddDWord(static_cast<uint32_t>(List_.Size()));
    UnitsNumber();
    for (const TgmWorldUnit* u : List_) {
        buf.AddWideStr(u->DescPath);
        buf.AddDWord(static_cast<uint32_t>(u->UnitType));
        buf.AddInt(u->TimeOffset);
        buf.AddInt(u->KeyGroup);
        buf.AddInt(u->TimeLength);
    }
}

void UnitStore::UnitsRead(TBufQX& buf, int32_t loadVersion) {
    UnitClearAll();
    const uint32_t count = buf.GetDWord();
    for (uint32_t i = 0; i < count; ++i) {
        TgmWorldUnit* u = UnitAdd();
        u->Number = static_cast<int32_t>(i);
        u->DescPath = buf.GetWideStr();
        u->UnitType = static_cast<int32_t>(buf.GetDWord());
        u->TimeOffset = buf.GetInt();
        u->KeyGroup = buf.GetInt();
        u->TimeLength = loadVersion > 2 ? buf.GetInt() : 0;
    }
    ByNumberValid_ = false;
}

void UnitStore::KeyGroupsWrite(TBufQX& buf) {
    buf.AddDWord(static_cast<uint32_t>(Keys_.Lists().Size()));
    Keys_.KeyGroupListsNumber();
    for (const TKeyGroupList* list : Keys_.Lists()) {
        const auto* u = static_cast<const TgmWorldUnit*>(list->Unit);
        buf.AddDWord(u ? static_cast<uint32_t>(u->Number) : 0);
        list->WriteGroups(buf);
    }
}

void UnitStore::KeyGroupsRead(TBufQX& buf) {
    const uint32_t count = buf.GetDWord();
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t n = buf.GetDWord();
        TgmWorldUnit* u = n <= 0x7FFFFFFF ? UnitByNumber(static_cast<int32_t>(n)) : nullptr;
        if (!u) RaiseQX("KeyGroupsRead. unit=" + std::to_string(n));
        TKeyGroupList* list = Keys_.KeyGroupListAdd(u);
        list->Number = static_cast<int32_t>(i + 1);
        list->ReadGroups(buf);
    }
    Keys_.NumbersChanged();
    // The stored index is taken as it is; one outside a list's groups would leave keys
    // without a row to evaluate.
    for (const TgmWorldUnit* u : List_) {
        const TKeyGroupList* list = Keys_.KeyGroupListOfUnit(u);
        if (list && list->GroupCount() > 0 &&
            (u->KeyGroup < 0 || u->KeyGroup >= list->GroupCount()))
            RaiseQX("KeyGroupsRead. group=" + std::to_string(u->KeyGroup));
    }
}

} // namespace gm
