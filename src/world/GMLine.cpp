#include "world/GMLine.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "foundation/Prefetch.h"
#include "foundation/QX_BlockPar.h"
#include "foundation/QX_Error.h"
#include "foundation/QX_Str.h"
#include "render/Camera.h"
#include "render/Scene.h"
#include "render/gm_Obj3D.h"
#include "world/GMDesc.h"
#include "world/GMPoint.h"
#include "world/ViewFlags.h"
#include "world/WorldUnit.h"

namespace gm {

namespace {

[[noreturn]] void RaiseRef(const char* what, uint32_t n) {
    RaiseQX(std::string("LinesRead. ") + what + "=" + std::to_string(n));
}

uint32_t ListNumber(const TKeyGM* key) {
    return key && key->List ? static_cast<uint32_t>(key->List->Number) : 0;
}

uint32_t PointNumber(const TPointGM* p) {
    return p ? static_cast<uint32_t>(p->Number) : 0;
}

} // namespace

LineStore::~LineStore() {
    LineClearAll();
}

void LineStore::SetScene(Scene* scene) noexcept {
    if (scene == Scene_) return;
    for (TLineGM* line : List_)
        ReleaseObj(line);
    Scene_ = scene;
}

TLineGM* LineStore::LineAdd(TKeyGroupList* list) {
    TLineGM* line = List_.Append(std::unique_ptr<TLineGM>(new (Slab_) TLineGM()));
    if (OrderValid_) {
        try {
            Order_.push_back(line);
        } catch (...) {
            OrderValid_ = false;
        }
    }
    line->KeyStart = Keys_.KeyNew(list);
    line->KeyEnd = Keys_.KeyNew(list);
    return line;
}

void LineStore::ReleaseObj(TLineGM* line) noexcept {
    if (line->LineObj && Scene_) Scene_->Obj3DFree(line->LineObj);
    line->LineObj = nullptr;
}

void LineStore::LineDelete(TLineGM* line) {
    ReleaseObj(line);
    if (line->Unit) {
        const auto it = ByUnit_.find(line->Unit);
        if (it != ByUnit_.end()) std::erase(it->second, line);
    }
    List_.Erase(line);
    OrderValid_ = false;
}

const std::vector<TLineGM*>& LineStore::Order() {
    if (!OrderValid_) {
        Order_.clear();
        Order_.reserve(List_.Size());
        for (TLineGM* line : List_)
            Order_.push_back(line);
        OrderValid_ = true;
    }
    return Order_;
}

void LineStore::LineClearAll() {
    ByUnit_.clear();
    while (TLineGM* line = List_.Last()) {
        line->Unit = nullptr;
        LineDelete(line);
    }
}

void LineStore::SetUnit(TLineGM* line, TgmWorldUnit* unit) {
    if (line->Unit == unit) return;
    if (line->Unit) {
        const auto it = ByUnit_.find(line->Unit);
        if (it != ByUnit_.end()) std::erase(it->second, line);
    }
    line->Unit = unit;
    if (unit) ByUnit_[unit].push_back(line);
}

void LineStore::LinesOfUnitDelete(const TgmWorldUnit* unit) {
    const auto it = ByUnit_.find(unit);
    if (it == ByUnit_.end()) return;
    const std::vector<TLineGM*> lines = std::move(it->second);
    ByUnit_.erase(it);
    for (TLineGM* line : lines) {
        line->Unit = nullptr;
        LineDelete(line);
    }
}

void LineStore::LinesLoadDesc(TBlockParQX& desc, TgmWorldUnit* unit, TKeyGroupList* list,
                              const DescPointFn& pointByNumber) {
    TBlockParQX* block = desc.Block_Find(u"Line");
    if (!block) return;
    for (TBlockParElQX* el = block->First(); el; el = el->Next) {
        if (el->Kind != TBlockParElQX::KindBlock || !IsNumberedBlockName(el->Name)) continue;
        const TBlockParQX& lb = *el->Block;
        TLineGM* line = LineAdd(list);
        SetUnit(line, unit);
        line->PointStart = pointByNumber(StrToUIntQX(lb.Par_Get(u"PointStart")));
        line->PointEnd = pointByNumber(StrToUIntQX(lb.Par_Get(u"PointEnd")));
        line->KeyStart->Load(lb.Par_Get(u"DiffuseStart"));
        line->KeyEnd->Load(lb.Par_Get(u"DiffuseEnd"));
        const std::u16string type = OptionalPar(lb, u"Type");
        std::size_t start = 0;
        while (start <= type.size()) {
            std::size_t comma = type.find(u',', start);
            if (comma == std::u16string::npos) comma = type.size();
            const std::u16string word = LowerQX(TrimQX(type.substr(start, comma - start)));
            if (word == u"hide") line->Visible = 0;
            if (word == u"stop") line->Stop = 1;
            start = comma + 1;
        }
    }
}

void LineStore::LinesWrite(TBufQX& buf, const UnitNumberFn& unitNumber) {
    buf.AddDWord(static_cast<uint32_t>(List_.Size()));
    std::u16string text; // one key's text at a time, its storage reused
    for (const TLineGM* line : List_) {
        buf.AddDWord(ListNumber(line->KeyStart.get()));
        buf.AddDWord(PointNumber(line->PointStart));
        buf.AddDWord(PointNumber(line->PointEnd));
        line->KeyStart->SaveTo(text);
        buf.AddWideStr(text);
        line->KeyEnd->SaveTo(text);
        buf.AddWideStr(text);
        buf.AddByte(line->Visible);
        buf.AddByte(line->Stop);
        buf.AddDWord(line->Unit ? unitNumber(line->Unit) : 0);
    }
}

void LineStore::LinesRead(TBufQX& buf, const PointStore& points,
                          const UnitByNumberFn& unitByNumber) {
    LineClearAll();
    const uint32_t count = buf.GetDWord();
    std::u16string text; // one key's text at a time, its storage reused
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t listNo = buf.GetDWord();
        TKeyGroupList* list = Keys_.KeyGroupListByNumber(static_cast<int32_t>(listNo));
        if (!list) RaiseRef("list", listNo);
        TLineGM* line = LineAdd(list);
        line->PointStart = points.PointFromTable(buf.GetDWord());
        line->PointEnd = points.PointFromTable(buf.GetDWord());
        buf.GetWideStr(text);
        line->KeyStart->Load(text);
        buf.GetWideStr(text);
        line->KeyEnd->Load(text);
        line->Visible = buf.GetByte();
        line->Stop = buf.GetByte();
        const uint32_t unitNo = buf.GetDWord();
        TgmWorldUnit* unit = unitByNumber(unitNo);
        if (!unit) RaiseRef("unit", unitNo);
        SetUnit(line, unit);
    }
}

void LineStore::LinesCheckEnds() const {
    for (const TLineGM* line : List_)
        if (!LineHasEnds(*line))
            RaiseQX("A line of unit " + UnitDescForMessage(line->Unit) +
                    " has no end point; the end file cannot hold it");
}

void LineStore::LinesWriteEnd(TBufQX& buf, TBufQX& scratch, KeyPool& pool) {
    LinesCheckEnds();
    buf.AddDWord(static_cast<uint32_t>(List_.Size()));
    std::u16string text; // one key's text at a time, its storage reused
    for (const TLineGM* line : List_) {
        buf.AddDWord(static_cast<uint32_t>(line->PointStart->Number));
        buf.AddDWord(static_cast<uint32_t>(line->PointEnd->Number));
        buf.AddByte(line->Visible);
        buf.AddByte(line->Stop);
        // The flag byte tells the reader whether the two offsets follow.
        if (line->Visible != 0) {
            buf.AddDWord(static_cast<uint32_t>(line->KeyStart->KeyBlobAdd(scratch, pool)));
            buf.AddDWord(static_cast<uint32_t>(line->KeyEnd->KeyBlobAdd(scratch, pool)));
        }
    }
}

void LineStore::Draw(TLineGM* line, bool unitVisible, const Camera& camera,
                     const ViewFlags& flags) {
    if (!unitVisible) {
        if (line->LineObj) line->LineObj->Visible = false;
        return;
    }
    const TPointGM* a = line->PointStart;
    const TPointGM* b = line->PointEnd;
    if (!a || !b || !Scene_) return;
    if (!line->LineObj) {
        line->LineObj = Scene_->Obj3DNew();
        line->LineObj->SetVertexCount(2);
        line->LineObj->AddLine(0, 1);
    }
    bool shown;
    if (line->Stop)
        shown = flags.StopLine == StopLineMode::Show ||
                (flags.StopLine == StopLineMode::Default && line->Visible == 1);
    else
        shown = line->Visible == 1 && camera.IsFrontDepth(a->ScreenDepth) &&
                camera.IsFrontDepth(b->ScreenDepth);
    line->LineObj->Visible = shown;
    const float cx = static_cast<float>(camera.ScreenCentreX);
    const float cy = static_cast<float>(camera.ScreenCentreY);
    *line->LineObj->Vertex(0) = MakeVertex(line->KeyStart->ValueColor(), cx + a->ScreenX,
                                           cy + a->ScreenY, a->ScreenDepth, 0, 0);
    *line->LineObj->Vertex(1) = MakeVertex(line->KeyEnd->ValueColor(), cx + b->ScreenX,
                                           cy + b->ScreenY, b->ScreenDepth, 1, 1);
}

void LineStore::LineDrawAll(const Camera& camera, const ViewFlags& flags,
                            const UnitVisibleFn& visible) {
    DrawAllWith(camera, flags, visible);
}

void LineStore::LineDrawAll(const Camera& camera, const ViewFlags& flags) {
    DrawAllWith(camera, flags, [](const TgmWorldUnit* unit) { return unit->Visible; });
}

template <class UnitVisible>
void LineStore::DrawAllWith(const Camera& camera, const ViewFlags& flags, UnitVisible&& visible) {
    // As TriangleDrawAll: ask ahead for what each line will touch.
    const std::vector<TLineGM*>& order = Order();
    const std::size_t n = order.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (i + 24 < n) PrefetchQX(order[i + 24]);
        if (i + 12 < n) {
            const TLineGM* ahead = order[i + 12];
            if (ahead->LineObj) PrefetchQX(ahead->LineObj);
            if (ahead->Unit && ahead->Unit->Visible) {
                if (ahead->KeyStart) PrefetchQX(ahead->KeyStart.get());
                if (ahead->KeyEnd) PrefetchQX(ahead->KeyEnd.get());
                if (ahead->PointStart) PrefetchQX(&ahead->PointStart->ScreenX);
                if (ahead->PointEnd) PrefetchQX(&ahead->PointEnd->ScreenX);
            }
        }
        if (i + 6 < n) {
            const TLineGM* ahead = order[i + 6];
            if (ahead->Unit && ahead->Unit->Visible) {
                if (ahead->LineObj) PrefetchQX(ahead->LineObj->Vertices());
            }
        }
        TLineGM* line = order[i];
        Draw(line, line->Unit && visible(line->Unit), camera, flags);
    }
}

bool HitTest(const TLineGM& line, const Camera& camera, float x, float y) {
    if (!line.PointStart || !line.PointEnd) return false;
    const double ax = line.PointStart->ScreenX, ay = line.PointStart->ScreenY;
    const double dx = line.PointEnd->ScreenX - ax, dy = line.PointEnd->ScreenY - ay;
    const double len2 = dx * dx + dy * dy;
    // A segment seen end-on has no direction to measure against.
    if (len2 <= 0) return false;
    const double qx = x - camera.ScreenCentreX - ax, qy = y - camera.ScreenCentreY - ay;
    const double t = (qx * dx + qy * dy) / len2;
    const double dist = std::abs(qx * dy - qy * dx) / std::sqrt(len2);
    return t >= 0 && t <= 1 && dist < 3;
}

} // namespace gm
