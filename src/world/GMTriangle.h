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
#include "world/GMKey.h"
#include "world/GMLine.h"

namespace gm {

struct TTriangleCorner {
    TPointGM* Point = nullptr; // none when the description names a missing point
    float U = 0;
    float V = 0;
    KeyPtr Key;
};

class TTriangleGM {
public:
    TTriangleGM* Prev = nullptr;
    TTriangleGM* Next = nullptr;
    std::array<TTriangleCorner, 3> Corner;
    TgmObj3D* TriObj = nullptr; // owned through the store's scene
    std::u16string Texture;
    uint8_t BackFace = 0;
    int32_t Number = -1; // export number
    TgmWorldUnit* Unit = nullptr;
};

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

private:
    void ReleaseObj(TTriangleGM* tri) noexcept;

    KeyStore& Keys_;
    Scene* Scene_ = nullptr;
    ListQX<TTriangleGM> List_;
    std::unordered_map<const TgmWorldUnit*, std::vector<TTriangleGM*>> ByUnit_;
};

} // namespace gm
