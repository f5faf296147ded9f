#include "world/GMTriangle.h"

#include <algorithm>
#include <limits>
#include <memory>

#include "foundation/Codec.h"
#include "foundation/Prefetch.h"
#include "foundation/QX_BlockPar.h"
#include "foundation/QX_Error.h"
#include "foundation/QX_Str.h"
#include "render/Camera.h"
#include "render/Scene.h"
#include "render/gm_Obj3D.h"
#include "world/GMDesc.h"
#include "world/GMPoint.h"
#include "world/WorldFloat.h"
#include "world/WorldUnit.h"

namespace gm {

namespace {

[[noreturn]] void RaiseRef(const char* what, uint32_t n) {
    RaiseQX(std::string("TrianglesRead. ") + what + "=" + std::to_string(n));
}

// The strict decimal conversion: optional sign and digits only, within 32 bits.
int32_t StrictIntOf(const std::u16string& text) {
    const std::u16string t = TrimQX(text);
    std::size_t i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == u'-' || t[i] == u'+')) negative = t[i++] == u'-';
    if (i == t.size()) RaiseQX("TTriangleGM.LoadDesc. BackFace=" + WideToAnsiQX(text));
    int64_t v = 0;
    for (; i < t.size(); ++i) {
        if (t[i] < u'0' || t[i] > u'9' || v > std::numeric_limits<int32_t>::max())
            RaiseQX("TTriangleGM.LoadDesc. BackFace=" + WideToAnsiQX(text));
        v = v * 10 + (t[i] - u'0');
    }
    if (negative) v = -v;
    if (v > std::numeric_limits<int32_t>::max() || v < std::numeric_limits<int32_t>::min())
        RaiseQX("TTriangleGM.LoadDesc. BackFace=" + WideToAnsiQX(text));
    return static_cast<int32_t>(v);
}

} // namespace

TriangleStore::~TriangleStore() {
    TriangleClearAll();
}

void TriangleStore::SetScene(Scene* scene) noexcept {
    if (scene == Scene_) return;
    for (TTriangleGM* tri : List_)
        ReleaseObj(tri);
    Scene_ = scene;
}

TTriangleGM* TriangleStore::TriangleAdd(TKeyGroupList* list) {
    TTriangleGM* tri = List_.Append(std::unique_ptr<TTriangleGM>(new (Slab_) TTriangleGM()));
    if (OrderValid_) {
        try {
            Order_.push_back(tri);
        } catch (...) {
            OrderValid_ = false;
        }
    }
    for (TTriangleCorner& c : tri->Corner)
        c.Key = Keys_.KeyNew(list);
    return tri;
}

const std::vector<TTriangleGM*>& TriangleStore::Order() {
    if (!OrderValid_) {
        Order_.clear();
        Order_.reserve(List_.Size());
        for (TTriangleGM* tri : List_)
            Order_.push_back(tri);
        OrderValid_ = true;
    }
    return Order_;
}

void TriangleStore::ReleaseObj(TTriangleGM* tri) noexcept {
    if (tri->TriObj && Scene_) Scene_->Obj3DFree(tri->TriObj);
    tri->TriObj = nullptr;
}

void TriangleStore::TriangleDelete(TTriangleGM* tri) {
    ReleaseObj(tri);
    if (tri->Unit) {
        const auto it = ByUnit_.find(tri->Unit);
        if (it != ByUnit_.end()) std::erase(it->second, tri);
    }
    List_.Erase(tri);
    OrderValid_ = false;
}

void TriangleStore::TriangleClearAll() {
    ByUnit_.clear();
    while (TTriangleGM* tri = List_.Last()) {
        tri->Unit = nullptr;
        TriangleDelete(tri);
    }
}

void TriangleStore::SetUnit(TTriangleGM* tri, TgmWorldUnit* unit) {
    if (tri->Unit == unit) return;
    if (tri->Unit) {
        const auto it = ByUnit_.find(tri->Unit);
        if (it != ByUnit_.end()) std::erase(it->second, tri);
    }
    tri->Unit = unit;
    if (unit) ByUnit_[unit].push_back(tri);
}

void TriangleStore::TrianglesOfUnitDelete(const TgmWorldUnit* unit) {
    const auto it = ByUnit_.find(unit);
    if (it == ByUnit_.end()) return;
    const std::vector<TTriangleGM*> tris = std::move(it->second);
    ByUnit_.erase(it);
    for (TTriangleGM* tri : tris) {
        tri->Unit = nullptr;
        TriangleDelete(tri);
    }
}

std::vector<TTriangleGM*> TriangleStore::TrianglesOfUnit(const TgmWorldUnit* unit) const {
    const auto it = ByUnit_.find(unit);
    return it == ByUnit_.end() ? std::vector<TTriangleGM*>{} : it->second;
}

void TriangleStore::TrianglesLoadDesc(TBlockParQX& desc, TgmWorldUnit* unit, TKeyGroupList* list,
                                      const DescPointFn& pointByNumber) {
    TBlockParQX* block = desc.Block_Find(u"Polygon");
    if (!block) return;
    for (TBlockParElQX* el = block->First(); el; el = el->Next) {
        if (el->Kind != TBlockParElQX::KindBlock || !IsNumberedBlockName(el->Name)) continue;
        const TBlockParQX& tb = *el->Block;
        TTriangleGM* tri = TriangleAdd(list);
        SetUnit(tri, unit);
        tri->Texture = OptionalPar(tb, u"Texture");
        if (tb.Par_CountName(u"BackFace") > 0)
            tri->BackFace = static_cast<uint8_t>(StrictIntOf(tb.Par_Get(u"BackFace")) & 0xFF);
        static const char16_t* const names[3] = {u"0", u"1", u"2"};
        for (int i = 0; i < 3; ++i) {
            const TBlockParQX* cb = tb.Block_Get(names[i]);
            TTriangleCorner& c = tri->Corner[static_cast<std::size_t>(i)];
            c.Point = pointByNumber(StrToUIntQX(cb->Par_Get(u"Point")));
            const std::u16string uv = cb->Par_Get(u"UV");
            c.U = StrToFloatQX(GetStrParQX(uv, 0, u","));
            c.V = StrToFloatQX(GetStrParQX(uv, 1, u","));
            c.Key->Load(cb->Par_Get(u"Diffuse"));
        }
    }
}

void TriangleStore::TrianglesWrite(TBufQX& buf, const UnitNumberFn& unitNumber) {
    buf.AddDWord(static_cast<uint32_t>(List_.Size()));
    std::u16string text; // one key's text at a time, its storage reused
    for (const TTriangleGM* tri : List_) {
        const TKeyGM* k0 = tri->Corner[0].Key.get();
        buf.AddDWord(k0 && k0->List ? static_cast<uint32_t>(k0->List->Number) : 0);
        buf.AddWideStr(tri->Texture);
        buf.AddByte(tri->BackFace);
        buf.AddDWord(tri->Unit ? unitNumber(tri->Unit) : 0);
        for (const TTriangleCorner& c : tri->Corner) {
            buf.AddDWord(c.Point ? static_cast<uint32_t>(c.Point->Number) : 0);
            buf.AddSingle(c.U);
            buf.AddSingle(c.V);
            c.Key->SaveTo(text);
            buf.AddWideStr(text);
        }
    }
}

void TriangleStore::TrianglesRead(TBufQX& buf, const PointStore& points,
                                  const UnitByNumberFn& unitByNumber) {
    TriangleClearAll();
    const uint32_t count = buf.GetDWord();
    std::u16string text; // one key's text at a time, its storage reused
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t listNo = buf.GetDWord();
        TKeyGroupList* list = Keys_.KeyGroupListByNumber(static_cast<int32_t>(listNo));
        if (!list) RaiseRef("list", listNo);
        TTriangleGM* tri = TriangleAdd(list);
        tri->Texture = buf.GetWideStr();
        tri->BackFace = buf.GetByte();
        const uint32_t unitNo = buf.GetDWord();
        TgmWorldUnit* unit = unitByNumber(unitNo);
        if (!unit) RaiseRef("unit", unitNo);
        SetUnit(tri, unit);
        for (TTriangleCorner& c : tri->Corner) {
            c.Point = points.PointFromTable(buf.GetDWord());
            c.U = GetFiniteSingle(buf);
            c.V = GetFiniteSingle(buf);
            buf.GetWideStr(text);
            c.Key->Load(text);
        }
    }
}

void TriangleStore::TrianglesCheckCorners() const {
    for (const TTriangleGM* tri : List_) {
        if (!tri->Unit) RaiseQX("A triangle has no unit; the end file cannot hold it");
        if (!TriangleHasCorners(*tri))
            RaiseQX("A triangle of unit " + UnitDescForMessage(tri->Unit) +
                    " has a corner without a point; the end file cannot hold it");
    }
}

void TriangleStore::TrianglesWriteEnd(TBufQX& buf, TBufQX& scratch, KeyPool& pool) {
    TrianglesCheckCorners();
    buf.AddDWord(static_cast<uint32_t>(List_.Size()));
    int32_t n = 0;
    for (TTriangleGM* tri : List_) {
        tri->Number = n++;
        buf.AddDWord(static_cast<uint32_t>(tri->Unit->Number));
        for (TTriangleCorner& c : tri->Corner) {
            buf.AddDWord(static_cast<uint32_t>(c.Point->Number));
            buf.AddDWord(static_cast<uint32_t>(c.Key->KeyBlobAdd(scratch, pool)));
        }
    }
}

void TriangleStore::Draw(TTriangleGM* tri, bool unitVisible, const Camera& camera) {
    if (!unitVisible) {
        if (tri->TriObj) tri->TriObj->Visible = false;
        return;
    }
    for (const TTriangleCorner& c : tri->Corner)
        if (!c.Point) return;
    if (!Scene_) return;
    if (!tri->TriObj) {
        tri->TriObj = Scene_->Obj3DNew();
        tri->TriObj->SetVertexCount(3);
        tri->TriObj->AddTriangle(0, 1, 2, tri->Texture);
        if (tri->BackFace != 0) tri->TriObj->AddTriangle(1, 0, 2, tri->Texture);
    }
    bool shown = true;
    for (const TTriangleCorner& c : tri->Corner)
        shown = shown && camera.IsFrontDepth(c.Point->ScreenDepth);
    tri->TriObj->Visible = shown;
    if (!shown) return;
    const float cx = static_cast<float>(camera.ScreenCentreX);
    const float cy = static_cast<float>(camera.ScreenCentreY);
    for (int i = 0; i < 3; ++i) {
        const TTriangleCorner& c = tri->Corner[static_cast<std::size_t>(i)];
        *tri->TriObj->Vertex(i) = MakeVertex(c.Key->ValueColor(), cx + c.Point->ScreenX,
                                             cy + c.Point->ScreenY, c.Point->ScreenDepth, c.U, c.V);
    }
}

void TriangleStore::TriangleDrawAll(const Camera& camera, const UnitVisibleFn& visible) {
    DrawAllWith(camera, visible);
}

void TriangleStore::TriangleDrawAll(const Camera& camera) {
    DrawAllWith(camera, [](const TgmWorldUnit* unit) { return unit->Visible; });
}

template <class UnitVisible>
void TriangleStore::DrawAllWith(const Camera& camera, UnitVisible&& visible) {
    // Each triangle reaches into its object, its points and its keys: ask for those a few
    // triangles ahead, and for the triangles themselves further ahead still.
    // Only the object of a triangle of a unit out of sight is touched, so only then is that all
    // that is asked for.
    const std::vector<TTriangleGM*>& order = Order();
    const std::size_t n = order.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (i + 24 < n) {
            PrefetchQX(order[i + 24]);
            PrefetchQX(&order[i + 24]->Corner[2]);
        }
        if (i + 12 < n) {
            const TTriangleGM* ahead = order[i + 12];
            if (ahead->TriObj) PrefetchQX(ahead->TriObj);
            if (ahead->Unit && ahead->Unit->Visible) {
                for (const TTriangleCorner& c : ahead->Corner) {
                    if (c.Key) PrefetchQX(c.Key.get());
                    if (c.Point) PrefetchQX(&c.Point->ScreenX);
                }
            }
        }
        if (i + 6 < n) {
            const TTriangleGM* ahead = order[i + 6];
            if (ahead->Unit && ahead->Unit->Visible) {
                if (ahead->TriObj) PrefetchQX(ahead->TriObj->Vertices());
            }
        }
        TTriangleGM* tri = order[i];
        Draw(tri, tri->Unit && visible(tri->Unit), camera);
    }
}

} // namespace gm
