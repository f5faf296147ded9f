#pragma once
// Zones: circular areas on the sphere (paths, entries, exits, walls, excluded view directions)
// and the links between them, with their section of the world file and of the end file.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/LegacyText.h"
#include "foundation/QX_Buf.h"
#include "foundation/QX_List.h"
#include "render/GR_DirectX3D8.h"
#include "render/VecTypes.h"

namespace gm {

class Camera;
class Scene;
class TgmObj3D;
struct ViewFlags;

inline constexpr uint32_t ZoneTypeCount = 11;
inline constexpr uint32_t ZoneTypeExclude = 10;

// Captions of the type box, in the order of the type values.
extern const std::array<const char16_t*, ZoneTypeCount> ZoneTypeCaptions;
// Colour of a zone type; values above 10 (possible in files) draw as "Exclude".
TColor32 ZoneTypeColor(uint32_t type);

// Item bits the Zone page sets, with their captions (bits 8..30 are kept but never set).
struct ZoneItemBit {
    int Bit;
    const char16_t* Caption;
};
extern const std::array<ZoneItemBit, 9> ZoneItemBits;
extern const std::array<const char16_t*, 3> ZoneItemFreqCaptions; // "Fast", "Average", "Slow"
extern const std::array<const char16_t*, 2> ZoneLinkTypeCaptions; // "Normal", "StopLine"

inline constexpr int ZoneCircleVertices = 32;

// The outline of a zone on the sphere, as ZoneDraw computes it, with the values it was computed
// from: it is reused as long as they are bit for bit the same.
struct TgmZoneCircle {
    bool Valid = false;
    float Longitude = 0;
    float Polar = 0;
    float RadiusLen = 0;
    float WorldRadius = 0;
    std::array<TVec3, ZoneCircleVertices> Points;
};

class TgmZone {
public:
    TgmZone* Prev = nullptr;
    TgmZone* Next = nullptr;
    float Longitude = 0;
    float Polar = 0;
    float RadiusAngle = 0; // the radius as an angle at the sphere's centre, degrees
    float RadiusLen = 0;   // derived: the radius as an arc on the surface
    TVec3 Centre;          // derived: the centre on the sphere
    float ScreenX = 0;     // derived each frame, relative to the panel centre
    float ScreenY = 0;
    float ScreenDepth = 0;
    uint32_t ZoneType = 0;
    TgmObj3D* CircleObj = nullptr; // owned through the store's scene
    TgmObj3D* MarkerObj = nullptr; // likewise
    std::u16string Graph;
    int32_t Hitpoints = 0;
    int32_t Mass = 0;
    int32_t Damage = 0;
    uint32_t ItemFlags = 0;
    int32_t ItemFreq = 0;
    bool Current = false;
    bool Grouped = false; // one of the objects that group edits move, delete and copy
    int32_t Ordinal = 0;  // only while a file is written or read
    TgmZoneCircle Circle; // derived, by ZoneDraw
};

class TgmZoneLink {
public:
    TgmZoneLink* Prev = nullptr;
    TgmZoneLink* Next = nullptr;
    TgmZone* ZoneA = nullptr; // not owned
    TgmZone* ZoneB = nullptr;
    TgmObj3D* LineObj = nullptr; // owned through the store's scene
    int32_t LinkType = 0;        // 0 "Normal", 1 "StopLine"
    bool Current = false;
};

// The zone list and the zone-link list of one world document, in creation order (file, drawing
// and picking order).
class ZoneStore {
public:
    static constexpr int CircleVertices = ZoneCircleVertices;
    static constexpr TColor32 LinkColor = 0xFF0000FF;
    static constexpr TColor32 CurrentColor = 0xFFFFFFFF;

    explicit ZoneStore(const float& worldRadius) : WorldRadius_(worldRadius) {}
    ~ZoneStore();
    ZoneStore(const ZoneStore&) = delete;
    ZoneStore& operator=(const ZoneStore&) = delete;

    // Scene objects are made on this scene when zones and links are first drawn.
    void SetScene(Scene* scene) noexcept;

    const ListQX<TgmZone>& Zones() const noexcept { return Zones_; }
    const ListQX<TgmZoneLink>& Links() const noexcept { return Links_; }

    TgmZone* ZoneAdd();
    // Also deletes every link that has the zone at either end.
    void ZoneDelete(TgmZone* zone);
    void ZoneClearAll();
    int32_t ZoneCount() const noexcept { return static_cast<int32_t>(Zones_.Size()); }
    TgmZone* ZoneCurrent() const noexcept;
    TgmZone* ZoneByOrdinal(int32_t n) const noexcept;
    // RadiusLen and Centre from the angles, RadiusAngle and the world radius.
    void ZoneUpdate(TgmZone* zone) const;
    void ZoneUpdateAll() const;
    // Makes zone (or none) the only current zone.
    void SetZoneCurrent(TgmZone* zone) noexcept;

    TgmZoneLink* ZoneLinkAdd();
    void ZoneLinkDelete(TgmZoneLink* link);
    void ZoneLinkClearAll();
    int32_t ZoneLinkCount() const noexcept { return static_cast<int32_t>(Links_.Size()); }
    TgmZoneLink* ZoneLinkCurrent() const noexcept;
    // The first link from a to b, in that order only.
    TgmZoneLink* ZoneLinkFind(const TgmZone* a, const TgmZone* b) const noexcept;
    void SetZoneLinkCurrent(TgmZoneLink* link) noexcept;
    // Links `from` to `to` ("Normal") and makes `to` the only current zone, unless the two are
    // the same, either is none, or a link joins them in either order: then nothing changes and
    // the result is null (the panel then toggles the point under the cursor instead).
    TgmZoneLink* ZoneLinkMake(TgmZone* from, TgmZone* to);

    // Every link, then every zone.
    void ClearAll();

    // Marker and circle of a zone; its screen position is refreshed on every call.
    void ZoneDraw(TgmZone* zone, const Camera& camera, const ViewFlags& flags);
    void ZoneDrawAll(const Camera& camera, const ViewFlags& flags);
    // Uses the screen positions of the zones' own draw in the same frame.
    void ZoneLinkDraw(TgmZoneLink* link, const Camera& camera, const ViewFlags& flags);
    void ZoneLinkDrawAll(const Camera& camera, const ViewFlags& flags);

    // World-file section: zones numbered from 1 in link records; always the current format.
    void ZonesWrite(TBufQX& buf);
    // Reads the section of a file of the given version (flags and frequency from version 2 on).
    // A link naming a zone the file does not hold is dropped.
    void ZonesRead(TBufQX& buf, int32_t version);
    // End-file section: the world-file layout with zones numbered from 0.
    void ZonesWriteEnd(TBufQX& buf);

private:
    void ZonesWriteFrom(TBufQX& buf, int32_t first);
    void ReleaseObjs(TgmZone* zone) noexcept;
    void ReleaseObj(TgmZoneLink* link) noexcept;

    const float& WorldRadius_;
    Scene* Scene_ = nullptr;
    ListQX<TgmZone> Zones_;
    ListQX<TgmZoneLink> Links_;
};

// --- The Zone page's rules, text to value and back ---

// The radius box shows the arc radius rounded to the nearest integer, halves to even.
std::u16string ZoneRadiusText(const TgmZone& zone);
// The box's digits are the new arc radius; RadiusAngle follows for a world of that radius (the
// caller runs ZoneUpdate).
float ZoneRadiusAngleFromText(const std::u16string& text, float worldRadius);
// RadiusAngle of an arc radius on a world of that radius.
float ZoneRadiusAngleOf(double arcRadius, float worldRadius);
// Graph: the text without leading and trailing NUL, tab, LF, CR and spaces.
std::u16string ZoneGraphFromText(const std::u16string& text);
// Hitpoints: the number of the text's digits (never negative).
int32_t ZoneHitpointsFromText(const std::u16string& text);
// Mass and damage: the signed number of the text.
int32_t ZoneSignedFromText(const std::u16string& text);
// Sets or clears one item bit.
uint32_t ZoneItemFlagsSet(uint32_t flags, int bit, bool on);

// --- The zone graph names of the game ---

struct ZoneGraphList {
    std::vector<std::u16string> Names; // in file order
    std::string Error;                 // why a present file gave no list; empty otherwise
};
// The parameter names of block "2" of the game folder's "\CFG\CD\GMWall.txt". A missing file
// (or no game folder) gives an empty list without error; a file that cannot be read or lacks the
// block gives an empty list and the reason.
ZoneGraphList ZoneGraphsLoad(const std::string& skyhaulPath,
                             const std::string& legacyCodePage = DefaultLegacyCodePage);

} // namespace gm
