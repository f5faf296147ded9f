#pragma once
// Lines: coloured segments between two points of one world unit, with an animated colour at each
// end. A line can be hidden by default, and a stop line follows the View menu's StopLine choice.

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "foundation/QX_Buf.h"
#include "foundation/QX_List.h"
#include "foundation/QX_Slab.h"
#include "world/GMKey.h"

namespace gm {

class Camera;
class Scene;
class TBlockParQX;
class TgmObj3D;
class TgmWorldUnit;
class TPointGM;
class PointStore;
struct ViewFlags;

// Resolvers the line and triangle sections share with the unit module.
using UnitNumberFn = std::function<uint32_t(const TgmWorldUnit*)>;
using UnitByNumberFn = std::function<TgmWorldUnit*(uint32_t)>; // null when out of range
using UnitVisibleFn = std::function<bool(const TgmWorldUnit*)>;
// A description's point numbers name only points of the unit being loaded.
using DescPointFn = std::function<TPointGM*(uint32_t)>;

class TLineGM : public SlabObjectQX {
public:
    TLineGM* Prev = nullptr;
    TLineGM* Next = nullptr;
    TgmWorldUnit* Unit = nullptr;
    TgmObj3D* LineObj = nullptr; // owned through the store's scene
    TPointGM* PointStart = nullptr;
    TPointGM* PointEnd = nullptr;
    KeyPtr KeyStart;
    KeyPtr KeyEnd;
    uint8_t Visible = 1;
    uint8_t Stop = 0;
};

class LineStore {
public:
    explicit LineStore(KeyStore& keys) : Keys_(keys) {}
    ~LineStore();
    LineStore(const LineStore&) = delete;
    LineStore& operator=(const LineStore&) = delete;

    void SetScene(Scene* scene) noexcept;

    const ListQX<TLineGM>& List() const noexcept { return List_; }
    int32_t LineCount() const noexcept { return static_cast<int32_t>(List_.Size()); }

    TLineGM* LineAdd(TKeyGroupList* list);
    void LineDelete(TLineGM* line);
    void LineClearAll();
    // Sets the owner, keeping the index that lets a unit's lines go without a scan.
    void SetUnit(TLineGM* line, TgmWorldUnit* unit);
    void LinesOfUnitDelete(const TgmWorldUnit* unit);

    // The optional "Line" block of a description.
    void LinesLoadDesc(TBlockParQX& desc, TgmWorldUnit* unit, TKeyGroupList* list,
                       const DescPointFn& pointByNumber);

    void LinesWrite(TBufQX& buf, const UnitNumberFn& unitNumber);
    // Points resolve through the store's table of the points section just read.
    void LinesRead(TBufQX& buf, const PointStore& points, const UnitByNumberFn& unitByNumber);

    // The end file has no way to say "no point": fails naming the unit of the first line that
    // lacks an end.
    void LinesCheckEnds() const;
    // End-file section, after the points were numbered for it (PointsWriteEnd); the colour keys
    // of visible lines go into the pool.
    void LinesWriteEnd(TBufQX& buf, TBufQX& scratch, KeyPool& pool);

    void Draw(TLineGM* line, bool unitVisible, const Camera& camera, const ViewFlags& flags);
    void LineDrawAll(const Camera& camera, const ViewFlags& flags, const UnitVisibleFn& visible);
    // The same with each unit's own Visible flag, as every frame draws.
    void LineDrawAll(const Camera& camera, const ViewFlags& flags);

private:
    void ReleaseObj(TLineGM* line) noexcept;
    // The lines in list order, for walks that read ahead; rebuilt after deletions.
    const std::vector<TLineGM*>& Order();
    template <class UnitVisible>
    void DrawAllWith(const Camera& camera, const ViewFlags& flags, UnitVisible&& visible);

    KeyStore& Keys_;
    Scene* Scene_ = nullptr;
    SlabQX Slab_{sizeof(TLineGM)}; // outlives the objects of List_
    ListQX<TLineGM> List_;
    std::vector<TLineGM*> Order_;
    bool OrderValid_ = true;
    std::unordered_map<const TgmWorldUnit*, std::vector<TLineGM*>> ByUnit_;
};

// The end file has no way to say "no point": a line needs both ends to be exported.
inline bool LineHasEnds(const TLineGM& line) noexcept {
    return line.PointStart && line.PointEnd;
}

// Whether the panel pixel (x, y) lies within 3 pixels of the line's projected segment.
bool HitTest(const TLineGM& line, const Camera& camera, float x, float y);

} // namespace gm
