#include "world/GMPoint.h"

#include <algorithm>
#include <memory>

#include "foundation/Codec.h"
#include "foundation/Prefetch.h"
#include "foundation/QX_BlockPar.h"
#include "foundation/QX_Error.h"
#include "foundation/QX_Str.h"
#include "render/Camera.h"
#include "render/Scene.h"
#include "render/VOper.h"
#include "render/gm_Obj3D.h"
#include "world/GMDesc.h"
#include "world/ViewFlags.h"
#include "world/WorldFloat.h"
#include "world/WorldUnit.h"

namespace gm {

namespace {

// A member shares its master's place; the radius goes with it so that a later radius change
// moves the whole group alike.
void CopyPlace(TPointGM* to, const TPointGM* from) {
    to->Longitude = from->Longitude;
    to->Polar = from->Polar;
    to->Radius = from->Radius;
    to->Pos = from->Pos;
}

[[noreturn]] void RaiseRef(const char* what, uint32_t n) {
    RaiseQX(std::string("PointsRead. ") + what + "=" + std::to_string(n));
}

} // namespace

void TPointGM::CalcPos() {
    Pos = SphereToVec(DegToRadSigned(Longitude), DegToRadSigned(Polar), Radius);
}

PointStore::~PointStore() {
    PointClearAll();
}

void PointStore::SetScene(Scene* scene) noexcept {
    if (scene == Scene_) return;
    for (TPointGM* p : List_)
        ReleaseMarker(p);
    Scene_ = scene;
}

TPointGM* PointStore::PointAdd() {
    TPointGM* p = List_.Append(std::unique_ptr<TPointGM>(new (Slab_) TPointGM()));
    if (OrderValid_) {
        try {
            Order_.push_back(p);
        } catch (...) {
            OrderValid_ = false;
        }
    }
    p->Rank_ = NextRank_++;
    MarkerCreate(p);
    return p;
}

void PointStore::MarkerCreate(TPointGM* p) {
    if (!Scene_ || p->MarkerObj) return;
    p->MarkerObj = Scene_->Obj3DNew();
    p->MarkerObj->DepthTest = false;
    p->MarkerObj->Layer = 1;
    p->MarkerObj->BuildMarker(3, p->Current ? TPointGM::CurrentColor : TPointGM::MarkerColor, 3.0f);
}

void PointStore::ReleaseMarker(TPointGM* p) noexcept {
    if (p->MarkerObj && Scene_) Scene_->Obj3DFree(p->MarkerObj);
    p->MarkerObj = nullptr;
}

void PointStore::RemoveMember(TPointGM* master, TPointGM* member) noexcept {
    // Searched from the back: clearing the list deletes the latest members first.
    auto& v = master->Members_;
    for (auto it = v.rbegin(); it != v.rend(); ++it) {
        if (*it == member) {
            v.erase(std::next(it).base());
            return;
        }
    }
}

void PointStore::SetMaster(TPointGM* p, TPointGM* master) {
    if (p->Master == master) return;
    if (p->Master) RemoveMember(p->Master, p);
    p->Master = master;
    if (master) master->Members_.push_back(p);
}

void PointStore::PointDelete(TPointGM* p) {
    ReleaseMarker(p);
    if (p->Master) RemoveMember(p->Master, p);
    std::vector<TPointGM*> members = std::move(p->Members_);
    p->Members_.clear();
    std::erase(members, p); // a damaged self-master hands nothing to itself
    if (!members.empty()) {
        // The earliest remaining member in list order takes the group over.
        TPointGM* heir = *std::min_element(members.begin(), members.end(),
                                           [](auto* a, auto* b) { return a->Rank_ < b->Rank_; });
        heir->Master = nullptr;
        for (TPointGM* m : members) {
            if (m == heir) continue;
            m->Master = heir;
            heir->Members_.push_back(m);
        }
    }
    for (TgmWorldUnit* u : p->Units) {
        const auto it = ByUnit_.find(u);
        if (it != ByUnit_.end()) std::erase(it->second, p);
    }
    ByNumberValid_ = false;
    List_.Erase(p);
    OrderValid_ = false;
}

const std::vector<TPointGM*>& PointStore::Order() {
    if (!OrderValid_) {
        Order_.clear();
        Order_.reserve(List_.Size());
        for (TPointGM* p : List_)
            Order_.push_back(p);
        OrderValid_ = true;
    }
    return Order_;
}

void PointStore::PointClearAll() {
    while (TPointGM* p = List_.Last())
        PointDelete(p);
    ByUnit_.clear();
    ByNumber_.clear();
    PointTable_.clear();
}

int32_t PointStore::PointMasterCount() const noexcept {
    int32_t n = 0;
    for (TPointGM* p : List_)
        if (!p->Master) ++n;
    return n;
}

void PointStore::RebuildByNumber() {
    ByNumber_.clear();
    for (TPointGM* p : List_)
        ByNumber_.try_emplace(p->Number, p); // the first in list order wins
    ByNumberValid_ = true;
}

TPointGM* PointStore::PointByNumber(int32_t n) {
    if (!ByNumberValid_) RebuildByNumber();
    const auto it = ByNumber_.find(n);
    return it == ByNumber_.end() ? nullptr : it->second;
}

void PointStore::PointNumbersReset() {
    for (TPointGM* p : List_)
        p->Number = -1;
    ByNumberValid_ = false;
}

void PointStore::PointsNumber() {
    int32_t n = 0;
    for (TPointGM* p : List_)
        p->Number = ++n;
    ByNumberValid_ = false;
}

TPointGM* PointStore::PointCurrentNext(const TPointGM* after) const {
    for (TPointGM* p = after ? after->Next : List_.First(); p; p = p->Next)
        if (p->Current) return p;
    return nullptr;
}

void PointStore::PointUpdateAll(const Camera& camera, const ViewFlags& flags) {
    // Points and their markers lie all over the heap: ask for them a few points ahead.
    const std::vector<TPointGM*>& order = Order();
    const std::size_t n = order.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (i + 32 < n) PrefetchQX(order[i + 32]);
        if (i + 16 < n && order[i + 16]->MarkerObj) PrefetchQX(&order[i + 16]->MarkerObj->Position);
        MarkerUpdate(order[i], camera, flags);
    }
}

void PointStore::MarkerUpdate(TPointGM* p, const Camera& camera, const ViewFlags& flags) {
    const TVec3 q = camera.ProjectRelative(p->Pos);
    p->ScreenX = q.x;
    p->ScreenY = q.y;
    p->ScreenDepth = q.z;
    MarkerCreate(p); // points made before the scene was set get theirs now
    if (!p->MarkerObj) return;
    p->MarkerObj->Visible = camera.IsFrontDepth(p->ScreenDepth) && flags.Point && !p->Master;
    p->MarkerObj->MoveTo(MakeVec3(static_cast<float>(camera.ScreenCentreX) + p->ScreenX,
                                  static_cast<float>(camera.ScreenCentreY) + p->ScreenY, 0.0f));
}

void PointStore::PointLink(TPointGM* a, TPointGM* b) {
    if (!a || !b || a == b) return;
    TPointGM* old = b->Master;
    if (old == a) return;
    TPointGM* target = a->Master;
    if (target && target == old) return;
    if (!target) target = a;
    // b already leads a's group: linking would make it its own master.
    if (target == b) return;

    SetMaster(b, target);
    CopyPlace(b, target);
    // Only a damaged file has a target that follows b's group; it must end up free, not its
    // own master.
    auto relink = [&](TPointGM* from) {
        const std::vector<TPointGM*> members = from->Members_;
        for (TPointGM* m : members) {
            if (m == target) {
                SetMaster(m, nullptr);
                continue;
            }
            SetMaster(m, target);
            CopyPlace(m, target);
        }
    };
    if (old) {
        SetMaster(old, old == target ? nullptr : target);
        CopyPlace(old, target);
        relink(old);
    } else {
        relink(b);
    }
}

void PointStore::PointCorrect() {
    for (TPointGM* p : List_)
        if (p->Master == p) SetMaster(p, nullptr);
}

void PointStore::SetAngles(TPointGM* p, float longitude, float polar) {
    TPointGM* m = p->Master ? p->Master : p;
    m->Longitude = longitude;
    m->Polar = polar;
    m->CalcPos();
    for (TPointGM* f : m->Members_) {
        f->Longitude = m->Longitude;
        f->Polar = m->Polar;
        f->Pos = m->Pos;
    }
}

void PointStore::SetCurrent(TPointGM* p, bool flag) {
    if (p->Current == flag) return;
    p->Current = p->Master ? false : flag;
    if (p->MarkerObj)
        p->MarkerObj->SetColor(p->Current ? TPointGM::CurrentColor : TPointGM::MarkerColor);
}

void PointStore::UnitAttach(TPointGM* p, TgmWorldUnit* unit) {
    const bool known = std::find(p->Units.begin(), p->Units.end(), unit) != p->Units.end();
    p->Units.push_back(unit);
    if (!known) ByUnit_[unit].push_back(p);
}

void PointStore::UnitRemove(TgmWorldUnit* unit) {
    const auto it = ByUnit_.find(unit);
    if (it == ByUnit_.end()) return;
    const std::vector<TPointGM*> points = std::move(it->second);
    ByUnit_.erase(it);
    for (TPointGM* p : points) {
        if (!p->Units.empty() && p->Units.front() == unit) {
            p->PortId = p->SavedPortId;
            p->PortType = p->SavedPortType;
            p->PortLink = p->SavedPortLink;
        }
        std::erase(p->Units, unit);
        if (p->Units.empty()) PointDelete(p);
    }
}

std::vector<TPointGM*> PointStore::PointsOfUnit(const TgmWorldUnit* unit) const {
    const auto it = ByUnit_.find(unit);
    if (it == ByUnit_.end()) return {};
    std::vector<TPointGM*> v = it->second;
    auto byRank = [](const TPointGM* a, const TPointGM* b) { return a->Rank_ < b->Rank_; };
    if (!std::is_sorted(v.begin(), v.end(), byRank)) std::sort(v.begin(), v.end(), byRank);
    return v;
}

int32_t PointStore::PointsOfUnitCount(const TgmWorldUnit* unit) const {
    const auto it = ByUnit_.find(unit);
    return it == ByUnit_.end() ? 0 : static_cast<int32_t>(it->second.size());
}

std::vector<TPointGM*> PointStore::PointsLoadDesc(TBlockParQX& desc, TgmWorldUnit* unit) {
    TBlockParQX* block = desc.Block_Get(u"Point");
    std::vector<TPointGM*> made;
    for (TBlockParElQX* el = block->First(); el; el = el->Next) {
        if (el->Kind != TBlockParElQX::KindBlock || !IsNumberedBlockName(el->Name)) continue;
        TBlockParQX& pb = *el->Block;
        TPointGM* p = PointAdd();
        made.push_back(p);
        UnitAttach(p, unit);
        p->Number = static_cast<int32_t>(StrToUIntQX(el->Name));
        p->Id = pb.Par_Get(u"Id");
        const std::u16string pos = pb.Par_Get(u"Pos");
        p->Pos = MakeVec3(StrToFloatQX(GetStrParQX(pos, 0, u",")),
                          StrToFloatQX(GetStrParQX(pos, 1, u",")),
                          StrToFloatQX(GetStrParQX(pos, 2, u",")));
        p->PortId = OptionalPar(pb, u"PortId");
        p->PortType = OptionalPar(pb, u"PortType");
        p->PortLink = OptionalPar(pb, u"PortLink");
    }
    ByNumberValid_ = false;
    return made;
}

void PointStore::PointsWrite(TBufQX& buf,
                             const std::function<uint32_t(const TgmWorldUnit*)>& unitNumber) {
    buf.AddDWord(static_cast<uint32_t>(List_.Size()));
    PointsNumber();
    for (TPointGM* p : List_) {
        buf.AddWideStr(p->Id);
        buf.AddSingle(p->Longitude);
        buf.AddSingle(p->Polar);
        buf.AddSingle(p->Radius);
        buf.AddDWord(p->Master ? static_cast<uint32_t>(p->Master->Number) : 0);
        buf.AddWideStr(p->PortId);
        buf.AddWideStr(p->PortType);
        buf.AddWideStr(p->PortLink);
        buf.AddWideStr(p->SavedPortId);
        buf.AddWideStr(p->SavedPortType);
        buf.AddWideStr(p->SavedPortLink);
        buf.AddDWord(static_cast<uint32_t>(p->Units.size()));
        for (const TgmWorldUnit* u : p->Units)
            buf.AddDWord(unitNumber(u));
    }
}

void PointStore::PointsRead(TBufQX& buf,
                            const std::function<TgmWorldUnit*(uint32_t)>& unitByNumber) {
    PointClearAll();
    const uint32_t count = buf.GetDWord();
    // Id, three floats, master, six strings and the unit count: at least 34 bytes a record.
    const uint32_t fitting = buf.CountFitting(count, 34);
    std::vector<uint32_t> masters;
    masters.reserve(fitting);
    PointTable_.assign(1, nullptr);
    PointTable_.reserve(static_cast<std::size_t>(fitting) + 1);
    for (uint32_t i = 0; i < count; ++i) {
        TPointGM* p = PointAdd();
        PointTable_.push_back(p);
        p->Number = static_cast<int32_t>(i + 1);
        p->Id = buf.GetWideStr();
        p->Longitude = GetFiniteSingle(buf);
        p->Polar = GetFiniteSingle(buf);
        p->Radius = GetFiniteSingle(buf);
        masters.push_back(buf.GetDWord());
        p->PortId = buf.GetWideStr();
        p->PortType = buf.GetWideStr();
        p->PortLink = buf.GetWideStr();
        p->SavedPortId = buf.GetWideStr();
        p->SavedPortType = buf.GetWideStr();
        p->SavedPortLink = buf.GetWideStr();
        const uint32_t units = buf.GetDWord();
        for (uint32_t k = 0; k < units; ++k) {
            const uint32_t n = buf.GetDWord();
            TgmWorldUnit* u = unitByNumber(n);
            if (!u) RaiseRef("unit", n);
            UnitAttach(p, u);
        }
        p->CalcPos();
    }
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t m = masters[i];
        if (m > count) RaiseRef("master", m);
        // A point that names itself stays its own master, as stored; "Correct point" frees it.
        SetMaster(PointTable_[i + 1], PointTable_[m]);
    }
    ByNumberValid_ = false;
}

void PointStore::PointsWriteEnd(TBufQX& buf) {
    int32_t n = 0;
    for (TPointGM* p : List_)
        if (!p->Master) p->Number = n++;
    for (TPointGM* p : List_) {
        const TPointGM* m = p->Master;
        if (!m) continue;
        if (PointLinkDamaged(*p))
            RaiseQX("Point \"" + WideToAnsiQX(p->Id) + "\" of unit " +
                    UnitDescForMessage(p->Units.empty() ? nullptr : p->Units.front()) +
                    " has a damaged link; the end file cannot number it");
        p->Number = m->Number;
    }
    ByNumberValid_ = false;
    buf.AddDWord(static_cast<uint32_t>(n));
    for (const TPointGM* p : List_) {
        if (p->Master) continue;
        buf.AddSingle(p->Longitude);
        buf.AddSingle(p->Polar);
        buf.AddSingle(p->Radius);
    }
}

TPointGM* PointStore::PointFromTable(uint32_t n) const {
    if (n >= PointTable_.size()) RaiseRef("point", n);
    return PointTable_[n];
}

} // namespace gm
