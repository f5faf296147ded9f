#pragma once
// World units: placed instances of unit description files. A unit owns its key group list, its
// triangles and its lines; its points may be shared with other units and die with the last one.

#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "foundation/LegacyText.h"
#include "foundation/QX_Buf.h"
#include "foundation/QX_List.h"
#include "render/VecTypes.h"
#include "world/GMKey.h"

namespace gm {

class Camera;
class Scene;
class TgmObj3D;
class TPointGM;
class PointStore;
class TriangleStore;
class LineStore;

struct TBBCorner {
    float Longitude = 0;
    float Polar = 0;
    TVec3 Pos;
};

class TgmWorldUnit : public IKeyUnit {
public:
    TgmWorldUnit* Prev = nullptr;
    TgmWorldUnit* Next = nullptr;
    std::u16string DescPath; // relative to the unit folder, lower case, "\" separated
    bool Current = false;
    bool Grouped = false;       // one of the objects that group edits move, delete and copy
    TgmObj3D* SelObj = nullptr; // owned through the store's scene
    TgmObj3D* BBObj = nullptr;  // likewise
    int32_t Number = 0;
    int32_t UnitType = 0;
    int32_t TimeOffset = 0;
    int32_t TimeLength = 0;
    int32_t KeyGroup = 0;
    TVec3 Centre;
    bool Visible = true;
    int32_t BBState = 0; // 1 computed, -1 computed and empty, 0 never computed
    std::array<TBBCorner, 4> BBCorner;

    int32_t KeyTimeOffset() const override { return TimeOffset; }
    int32_t KeyTimeLength() const override { return TimeLength; }
    int32_t KeyUnitType() const override { return UnitType; }
    bool KeyVisible() const override { return Visible; }
    int32_t KeyGroupIndex() const override { return KeyGroup; }
};

// The unit's description path in 8-bit text, quoted, for messages ("no unit" for none).
std::string UnitDescForMessage(const TgmWorldUnit* u);

// One named port of one unit while ports are joined: Pos is the average of its points.
struct TgmWorldPort {
    TgmWorldUnit* Unit = nullptr;
    std::u16string Name;
    TVec3 Pos;
    int32_t Count = 0;
};

// PortAutoLink joins ports whose squared distance lies strictly between these.
inline constexpr double PortAutoLinkMinDist2 = 0.001;
inline constexpr double PortAutoLinkMaxDist2 = 10000; // 100 world units

// The unit list of one world document and the operations that span units and their parts.
class UnitStore {
public:
    UnitStore(KeyStore& keys, PointStore& points, TriangleStore& triangles, LineStore& lines,
              const float& worldRadius);
    ~UnitStore();
    UnitStore(const UnitStore&) = delete;
    UnitStore& operator=(const UnitStore&) = delete;

    // Folder that description paths are relative to, in the system code page.
    std::string UnitPath;
    // Code page of description text that is not UTF-8 (descriptions saved on Windows).
    std::string LegacyCodePage = DefaultLegacyCodePage;

    void SetScene(Scene* scene) noexcept;
    const ListQX<TgmWorldUnit>& List() const noexcept { return List_; }

    TgmWorldUnit* UnitAdd();
    // Deletes the unit's lines, triangles, its share of its points, and its key group list.
    void UnitDelete(TgmWorldUnit* u);
    void UnitClearAll();
    int32_t UnitCount() const noexcept { return static_cast<int32_t>(List_.Size()); }
    // The current unit. Change it only through SetCurrentUnit, which keeps it at hand without a
    // scan of the list.
    TgmWorldUnit* UnitCurrent() const noexcept { return Current_; }
    // Makes u (or none) the only current unit; the previous one loses its outlines.
    void SetCurrentUnit(TgmWorldUnit* u);
    TgmWorldUnit* UnitByNumber(int32_t n);
    void UnitsNumber(); // Number := 0 .. n-1 in list order
    void UnitCentreAll();

    TVec3 CalcCentre(TgmWorldUnit* u);
    // The unit's point nearest to pos (the earliest on a tie), or null.
    TPointGM* NearestPoint(const TgmWorldUnit* u, const TVec3& pos) const;
    TPointGM* PointById(const TgmWorldUnit* u, const std::u16string& id) const;
    // KeyGroup := index clamped to the unit's groups; the list's current group follows.
    void SetKeyGroup(TgmWorldUnit* u, int32_t index);

    // Loads the description at UnitPath + path and places the unit at (longitude, polar).
    // Raises ErrorQX; the caller deletes the half-built unit.
    void LoadDesc(TgmWorldUnit* u, const std::u16string& path, float longitude, float polar);
    // Turns the points' unit-local positions into places around (longitude, polar).
    void Place(TgmWorldUnit* u, float longitude, float polar);
    // A new current unit from the description, or null with the reason in *reason.
    TgmWorldUnit* UnitCreateAt(const std::u16string& path, float longitude, float polar,
                               std::string* reason = nullptr);

    // Replaces the unit by a fresh load of its description in the same place, keeping its
    // points' places and links, type, time offset, time length and key group. False (the old
    // unit untouched, the load error in *reason) when the description cannot be loaded.
    bool UnitReload(TgmWorldUnit* old, std::string* reason = nullptr);
    void UnitReloadCurrent();
    void UnitReloadCurrentType(); // every unit with the current unit's DescPath, once each
    void UnitReloadAll();

    // "BB calc": the smallest-perimeter rectangle around the unit's triangle corners.
    void CalcBB(TgmWorldUnit* u);
    void BBCornersPos(TgmWorldUnit* u);
    void BBCalcCurrent(const Camera& camera);
    void BBCalcAll(const Camera& camera);
    // Selection rectangle and bounding-box outline of a current unit; a unit that is not current
    // releases them.
    void Draw(TgmWorldUnit* u, const Camera& camera);
    void UnitDrawCurrent(const Camera& camera);
    void UnitVisibleAll(const Camera& camera);
    // Every port of the world (points with both PortId and PortLink), one per unit and name.
    std::vector<TgmWorldPort> PortsCollect() const;
    // Links u's port nearest to another unit's port of the same side (if closer than 100) to
    // it, point by point of equal PortLink.
    void PortAutoLink(TgmWorldUnit* u);
    // Recentres every unit of p's group (p's master, or p itself when it has none).
    void UnitsRecentre(TPointGM* p);

    void UnitsWrite(TBufQX& buf);
    void UnitsRead(TBufQX& buf, int32_t loadVersion);
    void KeyGroupsWrite(TBufQX& buf);
    // Also checks that every unit's key group names one of its list's groups.
    void KeyGroupsRead(TBufQX& buf);

private:
    void ReleaseOutlines(TgmWorldUnit* u) noexcept;
    void RebuildByNumber();

    KeyStore& Keys_;
    PointStore& Points_;
    TriangleStore& Triangles_;
    LineStore& Lines_;
    const float& WorldRadius_;
    Scene* Scene_ = nullptr;
    TgmWorldUnit* Current_ = nullptr;
    ListQX<TgmWorldUnit> List_;
    std::unordered_map<int32_t, TgmWorldUnit*> ByNumber_;
    bool ByNumberValid_ = false;
};

} // namespace gm
