#pragma once
// Triangles: textured, colour-animated faces spanned by three points of one world unit. Each
// corner has texture coordinates and its own colour key; a triangle may also show its back.

#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "foundation/QX_Buf.h"
#include "foundation/QX_List.h"
#include "foundation/QX_Slab.h"
#include "world/GMKey.h"
#include "world/GMLine.h"

namespace gm {

struct TTriangleCorner {
    TPointGM* Point = nullptr; // none when the description names a missing point
    float U = 0;
    float V = 0;
    KeyPtr Key;
};

class TTriangleGM : public SlabObjectQX {
public:
    // What every frame reads comes first, so that it shares as few cache lines as possible.
    TTriangleGM* Prev = nullptr;
    TTriangleGM* Next = nullptr;
    TgmWorldUnit* Unit = nullptr;
    TgmObj3D* TriObj = nullptr; // owned through the store's scene
    std::array<TTriangleCorner, 3> Corner;
    std::u16string Texture;
    uint8_t BackFace = 0;
    int32_t Number = -1; // export number
};

// The end file has no way to say "no point": every corner needs one to be exported.
inline bool TriangleHasCorners(const TTriangleGM& tri) noexcept {
    return tri.Corner[0].Point && tri.Corner[1].Point && tri.Corner[2].Point;
}

class TriangleStore {
public:
    explicit TriangleStore(KeyStore& keys) : Keys_(keys) {}
    ~TriangleStore();
    TriangleStore(const TriangleStore&) = delete;
    TriangleStore& operator=(const TriangleStore&) = delete;

    void SetScene(Scene* scene) noexcept;

    const ListQX<TTriangleGM>& List() const noexcept { return List_; }
    int32_t TriangleCount() const noexcept { return static_cast<int32_t>(List_.Size()); }

    TTriangleGM* TriangleAdd(TKeyGroupList* list);
    void TriangleDelete(TTriangleGM* tri);
    void TriangleClearAll();
    void SetUnit(TTriangleGM* tri, TgmWorldUnit* unit);
    void TrianglesOfUnitDelete(const TgmWorldUnit* unit);
    // The unit's triangles in list order.
    std::vector<TTriangleGM*> TrianglesOfUnit(const TgmWorldUnit* unit) const;

    // The optional "Polygon" block of a description; a missing corner block or a "BackFace"
    // that is not a decimal integer fails the load.
    void TrianglesLoadDesc(TBlockParQX& desc, TgmWorldUnit* unit, TKeyGroupList* list,
                           const DescPointFn& pointByNumber);

    void TrianglesWrite(TBufQX& buf, const UnitNumberFn& unitNumber);
    void TrianglesRead(TBufQX& buf, const PointStore& points, const UnitByNumberFn& unitByNumber);

    // Fails naming the unit of the first triangle with a corner without a point (the end file
    // cannot say "no point").
    void TrianglesCheckCorners() const;
    // End-file section: Number := 0, 1, 2 ... in list order; the owner's Number, then each
    // corner's point number (PointsWriteEnd's numbering) and the pool offset of its key.
    void TrianglesWriteEnd(TBufQX& buf, TBufQX& scratch, KeyPool& pool);

    void Draw(TTriangleGM* tri, bool unitVisible, const Camera& camera);
    void TriangleDrawAll(const Camera& camera, const UnitVisibleFn& visible);
    // The same with each unit's own Visible flag, as every frame draws.
    void TriangleDrawAll(const Camera& camera);

private:
    void ReleaseObj(TTriangleGM* tri) noexcept;
    // The triangles in list order, for walks that read ahead; rebuilt after deletions.
    const std::vector<TTriangleGM*>& Order();
    template <class UnitVisible> void DrawAllWith(const Camera& camera, UnitVisible&& visible);

    KeyStore& Keys_;
    Scene* Scene_ = nullptr;
    SlabQX Slab_{sizeof(TTriangleGM)}; // outlives the objects of List_
    ListQX<TTriangleGM> List_;
    std::vector<TTriangleGM*> Order_;
    bool OrderValid_ = true;
    std::unordered_map<const TgmWorldUnit*, std::vector<TTriangleGM*>> ByUnit_;
};

} // namespace gm
