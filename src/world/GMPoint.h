#pragma once
// Path points: named places on or near the sphere that belong to one or more world units. Points
// of different units can be linked into a group that acts as one: a master and members that all
// refer to it directly (a star, never a chain), and that share its angles, radius and position.

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "foundation/QX_Buf.h"
#include "foundation/QX_List.h"
#include "foundation/QX_Slab.h"
#include "render/VecTypes.h"

namespace gm {

class Camera;
class Scene;
class TBlockParQX;
class TgmObj3D;
class TgmWorldUnit;
struct ViewFlags;
class PointStore;

class TPointGM : public SlabObjectQX {
public:
    static constexpr uint32_t MarkerColor = 0xFF0000FF;  // opaque blue
    static constexpr uint32_t CurrentColor = 0xFFFFFFFF; // opaque white

    // What every frame reads comes first, so that it shares as few cache lines as possible.
    TPointGM* Prev = nullptr;
    TPointGM* Next = nullptr;
    TPointGM* Master = nullptr;    // change only through the store (it keeps the member index)
    TgmObj3D* MarkerObj = nullptr; // owned; null while there is no scene
    TVec3 Pos;
    float ScreenX = 0;
    float ScreenY = 0;
    float ScreenDepth = 0;
    float Longitude = 0;
    float Polar = 0;
    float Radius = 0;
    bool Current = false;
    int32_t Number = -1;
    std::u16string Id;
    std::u16string PortId;
    std::u16string PortType;
    std::u16string PortLink;
    std::u16string SavedPortId;
    std::u16string SavedPortType;
    std::u16string SavedPortLink;
    std::vector<TgmWorldUnit*> Units; // change only through the store (it keeps the unit index)

    TPointGM() = default;
    ~TPointGM() = default; // the store hands the group over and frees the marker first
    TPointGM(const TPointGM&) = delete;
    TPointGM& operator=(const TPointGM&) = delete;

    // Pos from Longitude, Polar and Radius.
    void CalcPos();
    // Points whose Master is this point, in no particular order (a damaged file may list the
    // point itself).
    const std::vector<TPointGM*>& Members() const noexcept { return Members_; }
    // Creation rank: a larger rank means later in the point list.
    uint64_t Rank() const noexcept { return Rank_; }

private:
    friend class PointStore;
    std::vector<TPointGM*> Members_;
    uint64_t Rank_ = 0;
};

// A member whose master is linked itself (only a damaged file makes one, a self-master included)
// has no number to take in the end file.
inline bool PointLinkDamaged(const TPointGM& p) noexcept {
    return p.Master && p.Master->Master;
}

// The point list of one world document, in creation order (file, drawing and search order), with
// the indexes that keep lookups by number, by master and by unit from scanning the whole list.
class PointStore {
public:
    PointStore() = default;
    ~PointStore();
    PointStore(const PointStore&) = delete;
    PointStore& operator=(const PointStore&) = delete;

    // Markers are made on this scene; without one (tests, the command-line tool) points have none
    // until a scene is set and MarkerUpdate runs.
    void SetScene(Scene* scene) noexcept;

    const ListQX<TPointGM>& List() const noexcept { return List_; }
    TPointGM* First() const noexcept { return List_.First(); }

    TPointGM* PointAdd();
    // Hands a master's group over to its earliest member, releases the marker, destroys.
    void PointDelete(TPointGM* p);
    void PointClearAll();
    int32_t PointCount() const noexcept { return static_cast<int32_t>(List_.Size()); }
    int32_t PointMasterCount() const noexcept;

    // First point in list order whose Number is n. Numbers written to points directly are seen
    // after NumbersChanged().
    TPointGM* PointByNumber(int32_t n);
    void PointNumbersReset();
    void PointsNumber(); // Number := 1 .. n in list order
    void NumbersChanged() noexcept { ByNumberValid_ = false; }

    // First current point after `after` in list order (from the start when after is null).
    TPointGM* PointCurrentNext(const TPointGM* after) const;
    void PointUpdateAll(const Camera& camera, const ViewFlags& flags);
    // b's whole group joins a's group (under a's master) and moves onto it.
    void PointLink(TPointGM* a, TPointGM* b);
    // Frees every point that is its own master (only a damaged file makes one).
    void PointCorrect();

    // Angles of the point's group: a member forwards to its master (one step only, so a damaged
    // self-master or chain cannot recurse); the master copies angles and Pos to its members.
    void SetAngles(TPointGM* p, float longitude, float polar);
    // Members of a group cannot be selected; the marker shows the selection.
    void SetCurrent(TPointGM* p, bool flag);
    void MarkerUpdate(TPointGM* p, const Camera& camera, const ViewFlags& flags);
    // Sets or clears p's master, keeping the member index (no checks: PointLink keeps the star).
    void SetMaster(TPointGM* p, TPointGM* master);

    // Adds unit to p's Units (a unit listed twice by a damaged file is indexed once).
    void UnitAttach(TPointGM* p, TgmWorldUnit* unit);
    // A unit leaves every point: the point whose first unit it is gets its saved port texts
    // back, and a point left without units is deleted.
    void UnitRemove(TgmWorldUnit* unit);
    // Points whose Units holds the unit, in list order.
    std::vector<TPointGM*> PointsOfUnit(const TgmWorldUnit* unit) const;
    int32_t PointsOfUnitCount(const TgmWorldUnit* unit) const;

    // The "Point" block of a unit description: one point per child block named with digits and
    // '-', Number := the block's digits, Pos := the unit-local position. Returns the new points.
    std::vector<TPointGM*> PointsLoadDesc(TBlockParQX& desc, TgmWorldUnit* unit);

    // World-file section. unitNumber gives a unit's file number; unitByNumber resolves one
    // (null when out of range, which fails the read).
    void PointsWrite(TBufQX& buf, const std::function<uint32_t(const TgmWorldUnit*)>& unitNumber);
    void PointsRead(TBufQX& buf, const std::function<TgmWorldUnit*(uint32_t)>& unitByNumber);
    // End-file section: points without a master, numbered 0, 1, 2 ... in list order; every
    // linked point takes its master's number. A point whose master is linked itself (only a
    // damaged file makes one) has no number to take: that fails naming the point.
    void PointsWriteEnd(TBufQX& buf);
    // Point n of the file just read (0 gives null); fails when n is out of range.
    TPointGM* PointFromTable(uint32_t n) const;
    void PointTableClear() noexcept { PointTable_.clear(); }

private:
    void MarkerCreate(TPointGM* p);
    void ReleaseMarker(TPointGM* p) noexcept;
    void RemoveMember(TPointGM* master, TPointGM* member) noexcept;
    void RebuildByNumber();

    // The points in list order, for walks that read ahead; rebuilt after deletions.
    const std::vector<TPointGM*>& Order();

    SlabQX Slab_{sizeof(TPointGM)}; // outlives the objects of List_
    ListQX<TPointGM> List_;
    std::vector<TPointGM*> Order_;
    bool OrderValid_ = true;
    Scene* Scene_ = nullptr;
    uint64_t NextRank_ = 1;
    std::unordered_map<int32_t, TPointGM*> ByNumber_;
    bool ByNumberValid_ = false;
    std::unordered_map<const TgmWorldUnit*, std::vector<TPointGM*>> ByUnit_;
    std::vector<TPointGM*> PointTable_; // while a file is read; entry 0 is no point
};

} // namespace gm
