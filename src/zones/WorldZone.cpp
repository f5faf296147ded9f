#include "zones/WorldZone.h"

#include <bit>
#include <cmath>
#include <filesystem>
#include <memory>
#include <system_error>

#include "foundation/Codec.h"
#include "foundation/PathResolver.h"
#include "foundation/QX_BlockPar.h"
#include "foundation/QX_Error.h"
#include "foundation/QX_Str.h"
#include "render/Camera.h"
#include "render/Scene.h"
#include "render/VOper.h"
#include "render/gm_Obj3D.h"
#include "world/ViewFlags.h"
#include "world/WorldFloat.h"

namespace gm {

const std::array<const char16_t*, ZoneTypeCount> ZoneTypeCaptions = {
    u"Path",        u"Entry",       u"Exit 1",      u"Exit 2", u"Exit 3", u"Wall",
    u"Wall Exit 1", u"Wall Exit 2", u"Wall Exit 3", u"Other",  u"Exclude"};

const std::array<ZoneItemBit, 9> ZoneItemBits = {{{0, u"Life"},
                                                  {1, u"Fast"},
                                                  {2, u"Slow"},
                                                  {3, u"Lock"},
                                                  {4, u"Damage"},
                                                  {5, u"Reload"},
                                                  {6, u"Defence"},
                                                  {7, u"Invisible"},
                                                  {31, u"No show"}}};

const std::array<const char16_t*, 3> ZoneItemFreqCaptions = {u"Fast", u"Average", u"Slow"};
const std::array<const char16_t*, 2> ZoneLinkTypeCaptions = {u"Normal", u"StopLine"};

TColor32 ZoneTypeColor(uint32_t type) {
    switch (type) {
    case 0:
        return ColorARGB(255, 0, 0, 255);
    case 1:
        return ColorARGB(255, 0, 255, 255);
    case 2:
    case 3:
    case 4:
        return ColorARGB(255, 191, 94, 140);
    case 5:
        return ColorARGB(255, 0, 255, 0);
    case 6:
    case 7:
    case 8:
        return ColorARGB(255, 255, 0, 0);
    case 9:
        return ColorARGB(255, 255, 255, 0);
    default:
        return ColorARGB(255, 255, 150, 150);
    }
}

namespace {

constexpr TColor32 MarkerCurrentColor = 0xFFFF0000; // the marker's colour when it is first built
constexpr TColor32 MarkerColor = 0xFF0000FF;

// Half to even, as the radius box rounds.
double RoundHalfEven(double v) {
    double r = std::floor(v);
    const double diff = v - r;
    if (diff > 0.5 || (diff == 0.5 && std::fmod(r, 2.0) != 0.0)) r += 1.0;
    return r;
}

// A zone record holds four numbers, the graph's terminator and three more numbers; files of
// version 2 on add two.
int32_t ZoneRecordMin(int32_t version) {
    return version > 1 ? 38 : 30;
}

} // namespace

ZoneStore::~ZoneStore() {
    ClearAll();
}

void ZoneStore::SetScene(Scene* scene) noexcept {
    if (scene == Scene_) return;
    for (TgmZoneLink* link : Links_)
        ReleaseObj(link);
    for (TgmZone* zone : Zones_)
        ReleaseObjs(zone);
    Scene_ = scene;
}

void ZoneStore::ReleaseObjs(TgmZone* zone) noexcept {
    if (Scene_) {
        if (zone->CircleObj) Scene_->Obj3DFree(zone->CircleObj);
        if (zone->MarkerObj) Scene_->Obj3DFree(zone->MarkerObj);
    }
    zone->CircleObj = nullptr;
    zone->MarkerObj = nullptr;
}

void ZoneStore::ReleaseObj(TgmZoneLink* link) noexcept {
    if (link->LineObj && Scene_) Scene_->Obj3DFree(link->LineObj);
    link->LineObj = nullptr;
}

// --- Zones ----------------------------------------------------------------------------------

TgmZone* ZoneStore::ZoneAdd() {
    return Zones_.Append(std::make_unique<TgmZone>());
}

void ZoneStore::ZoneDelete(TgmZone* zone) {
    ReleaseObjs(zone);
    for (TgmZoneLink* link = Links_.First(); link;) {
        TgmZoneLink* next = link->Next;
        if (link->ZoneA == zone || link->ZoneB == zone) ZoneLinkDelete(link);
        link = next;
    }
    Zones_.Erase(zone);
}

void ZoneStore::ZoneClearAll() {
    while (TgmZone* zone = Zones_.Last())
        ZoneDelete(zone);
}

TgmZone* ZoneStore::ZoneCurrent() const noexcept {
    for (TgmZone* zone : Zones_)
        if (zone->Current) return zone;
    return nullptr;
}

TgmZone* ZoneStore::ZoneByOrdinal(int32_t n) const noexcept {
    for (TgmZone* zone : Zones_)
        if (zone->Ordinal == n) return zone;
    return nullptr;
}

void ZoneStore::ZoneUpdate(TgmZone* zone) const {
    const double r = WorldRadius_;
    zone->RadiusLen = static_cast<float>(r * PiFull * zone->RadiusAngle / 180.0);
    zone->Centre = SphereToVec(DegToRadSigned(zone->Longitude), DegToRadSigned(zone->Polar), r);
}

void ZoneStore::ZoneUpdateAll() const {
    for (TgmZone* zone : Zones_)
        ZoneUpdate(zone);
}

void ZoneStore::SetZoneCurrent(TgmZone* zone) noexcept {
    for (TgmZone* z : Zones_)
        z->Current = z == zone;
}

// --- Links ----------------------------------------------------------------------------------

TgmZoneLink* ZoneStore::ZoneLinkAdd() {
    return Links_.Append(std::make_unique<TgmZoneLink>());
}

void ZoneStore::ZoneLinkDelete(TgmZoneLink* link) {
    ReleaseObj(link);
    Links_.Erase(link);
}

void ZoneStore::ZoneLinkClearAll() {
    while (TgmZoneLink* link = Links_.Last())
        ZoneLinkDelete(link);
}

TgmZoneLink* ZoneStore::ZoneLinkCurrent() const noexcept {
    for (TgmZoneLink* link : Links_)
        if (link->Current) return link;
    return nullptr;
}

TgmZoneLink* ZoneStore::ZoneLinkFind(const TgmZone* a, const TgmZone* b) const noexcept {
    for (TgmZoneLink* link : Links_)
        if (link->ZoneA == a && link->ZoneB == b) return link;
    return nullptr;
}

void ZoneStore::SetZoneLinkCurrent(TgmZoneLink* link) noexcept {
    for (TgmZoneLink* l : Links_)
        l->Current = l == link;
}

TgmZoneLink* ZoneStore::ZoneLinkMake(TgmZone* from, TgmZone* to) {
    if (!from || !to || from == to || ZoneLinkFind(from, to) || ZoneLinkFind(to, from))
        return nullptr;
    TgmZoneLink* link = ZoneLinkAdd();
    link->ZoneA = from;
    link->ZoneB = to;
    link->LinkType = 0;
    SetZoneCurrent(to);
    return link;
}

void ZoneStore::ClearAll() {
    ZoneLinkClearAll();
    ZoneClearAll();
}

// --- Drawing --------------------------------------------------------------------------------

void ZoneStore::ZoneDraw(TgmZone* zone, const Camera& camera, const ViewFlags& flags) {
    const TColor32 colour =
        zone->Current || zone->Grouped ? CurrentColor : ZoneTypeColor(zone->ZoneType);
    const TVec3 q = camera.ProjectRelative(zone->Centre);
    zone->ScreenX = q.x;
    zone->ScreenY = q.y;
    zone->ScreenDepth = q.z;
    if (!Scene_) return;
    const bool shown = camera.IsFrontDepth(zone->ScreenDepth) && flags.Zone;
    const float cx = static_cast<float>(camera.ScreenCentreX);
    const float cy = static_cast<float>(camera.ScreenCentreY);

    if (!zone->MarkerObj) {
        zone->MarkerObj = Scene_->Obj3DNew();
        zone->MarkerObj->DepthTest = false;
        zone->MarkerObj->Layer = 1;
        zone->MarkerObj->BuildMarker(3, zone->Current ? MarkerCurrentColor : MarkerColor, 3.0f);
    }
    zone->MarkerObj->SetColor(colour);
    zone->MarkerObj->Visible = shown;
    zone->MarkerObj->MoveTo(MakeVec3(cx + zone->ScreenX, cy + zone->ScreenY, 0.0f));

    if (!zone->CircleObj) {
        zone->CircleObj = Scene_->Obj3DNew();
        zone->CircleObj->DepthTest = false;
        zone->CircleObj->Layer = 1;
        zone->CircleObj->SetVertexCount(CircleVertices);
        zone->CircleObj->AddLine(CircleVertices - 1, 0);
        for (uint32_t i = 0; i + 1 < CircleVertices; ++i)
            zone->CircleObj->AddLine(i, i + 1);
    }
    // The outline on the sphere depends on the zone alone, not on the camera: it is worked out
    // again only when the zone or the world radius changed.
    TgmZoneCircle& circle = zone->Circle;
    const auto same = [](float a, float b) {
        return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b);
    };
    if (!circle.Valid || !same(circle.Longitude, zone->Longitude) ||
        !same(circle.Polar, zone->Polar) || !same(circle.RadiusLen, zone->RadiusLen) ||
        !same(circle.WorldRadius, WorldRadius_)) {
        const double r = WorldRadius_;
        for (int i = 0; i < CircleVertices; ++i) {
            // 31 steps round the full circle: the last vertex closes it on the first.
            const TSpherePos from{zone->Longitude, zone->Polar,
                                  static_cast<float>(i * 360.0 / (CircleVertices - 1))};
            TSpherePos at;
            SphereMoveCopy(from, at, zone->RadiusLen, WorldRadius_);
            circle.Points[static_cast<std::size_t>(i)] =
                SphereToVec(DegToRadSigned(at.Longitude), DegToRadSigned(at.Polar), r);
        }
        circle.Longitude = zone->Longitude;
        circle.Polar = zone->Polar;
        circle.RadiusLen = zone->RadiusLen;
        circle.WorldRadius = WorldRadius_;
        circle.Valid = true;
    }
    for (int i = 0; i < CircleVertices; ++i) {
        const TVec3 v = camera.ProjectRelative(circle.Points[static_cast<std::size_t>(i)]);
        *zone->CircleObj->Vertex(i) = MakeVertex(colour, cx + v.x, cy + v.y, v.z, 0, 0);
    }
    zone->CircleObj->Visible = shown;
}

void ZoneStore::ZoneDrawAll(const Camera& camera, const ViewFlags& flags) {
    for (TgmZone* zone : Zones_)
        ZoneDraw(zone, camera, flags);
}

void ZoneStore::ZoneLinkDraw(TgmZoneLink* link, const Camera& camera, const ViewFlags& flags) {
    const TgmZone* a = link->ZoneA;
    const TgmZone* b = link->ZoneB;
    if (!Scene_ || !a || !b) return;
    if (!link->LineObj) {
        link->LineObj = Scene_->Obj3DNew();
        link->LineObj->SetVertexCount(2);
        link->LineObj->AddLine(0, 1);
    }
    const TColor32 colour = link->Current ? CurrentColor : LinkColor;
    const float cx = static_cast<float>(camera.ScreenCentreX);
    const float cy = static_cast<float>(camera.ScreenCentreY);
    *link->LineObj->Vertex(0) =
        MakeVertex(colour, cx + a->ScreenX, cy + a->ScreenY, a->ScreenDepth, 0, 0);
    *link->LineObj->Vertex(1) =
        MakeVertex(colour, cx + b->ScreenX, cy + b->ScreenY, b->ScreenDepth, 0, 0);
    link->LineObj->Visible =
        camera.IsFrontDepth(a->ScreenDepth) && camera.IsFrontDepth(b->ScreenDepth) && flags.Zone;
}

void ZoneStore::ZoneLinkDrawAll(const Camera& camera, const ViewFlags& flags) {
    for (TgmZoneLink* link : Links_)
        ZoneLinkDraw(link, camera, flags);
}

// --- Files ----------------------------------------------------------------------------------

void ZoneStore::ZonesWriteFrom(TBufQX& buf, int32_t first) {
    buf.AddDWord(static_cast<uint32_t>(Zones_.Size()));
    int32_t n = first;
    for (TgmZone* zone : Zones_) {
        zone->Ordinal = n++;
        buf.AddSingle(zone->Longitude);
        buf.AddSingle(zone->Polar);
        buf.AddSingle(zone->RadiusAngle);
        buf.AddDWord(zone->ZoneType);
        buf.AddWideStr(zone->Graph);
        buf.AddInt(zone->Hitpoints);
        buf.AddInt(zone->Mass);
        buf.AddInt(zone->Damage);
        buf.AddDWord(zone->ItemFlags);
        buf.AddInt(zone->ItemFreq);
    }
    buf.AddDWord(static_cast<uint32_t>(Links_.Size()));
    for (const TgmZoneLink* link : Links_) {
        // The lists keep both ends alive; a link without them cannot be made.
        buf.AddInt(link->ZoneA ? link->ZoneA->Ordinal : -1);
        buf.AddInt(link->ZoneB ? link->ZoneB->Ordinal : -1);
        buf.AddInt(link->LinkType);
    }
}

void ZoneStore::ZonesWrite(TBufQX& buf) {
    ZonesWriteFrom(buf, 1);
}

void ZoneStore::ZonesWriteEnd(TBufQX& buf) {
    ZonesWriteFrom(buf, 0);
}

void ZoneStore::ZonesRead(TBufQX& buf, int32_t version) {
    ClearAll();
    const uint32_t count = buf.GetDWord();
    // Ordinals run 1..count in file order, so the table finds a zone without a scan.
    std::vector<TgmZone*> byOrdinal;
    byOrdinal.reserve(buf.CountFitting(count, ZoneRecordMin(version)));
    for (uint32_t i = 0; i < count; ++i) {
        TgmZone* zone = ZoneAdd();
        byOrdinal.push_back(zone);
        zone->Ordinal = static_cast<int32_t>(i + 1);
        zone->Longitude = GetFiniteSingle(buf);
        zone->Polar = GetFiniteSingle(buf);
        zone->RadiusAngle = GetFiniteSingle(buf);
        zone->ZoneType = buf.GetDWord();
        zone->Graph = buf.GetWideStr();
        zone->Hitpoints = buf.GetInt();
        zone->Mass = buf.GetInt();
        zone->Damage = buf.GetInt();
        if (version > 1) {
            zone->ItemFlags = buf.GetDWord();
            zone->ItemFreq = buf.GetInt();
        }
        ZoneUpdate(zone);
    }
    const uint32_t links = buf.GetDWord();
    const auto zoneOf = [&byOrdinal](uint32_t n) -> TgmZone* {
        return n >= 1 && n <= byOrdinal.size() ? byOrdinal[n - 1] : nullptr;
    };
    for (uint32_t i = 0; i < links; ++i) {
        TgmZone* a = zoneOf(buf.GetDWord());
        TgmZone* b = zoneOf(buf.GetDWord());
        const int32_t type = buf.GetInt();
        // This editor never writes a link to a missing zone; such a record cannot be drawn or
        // exported, so it is left out.
        if (!a || !b) continue;
        TgmZoneLink* link = ZoneLinkAdd();
        link->ZoneA = a;
        link->ZoneB = b;
        link->LinkType = type;
    }
}

// --- The Zone page's rules ------------------------------------------------------------------

std::u16string ZoneRadiusText(const TgmZone& zone) {
    const double len = zone.RadiusLen;
    if (!std::isfinite(len)) return u"0";
    return IntToWideQX(
        static_cast<int64_t>(RoundHalfEven(std::fmax(-9.0e18, std::fmin(len, 9.0e18)))));
}

float ZoneRadiusAngleOf(double arcRadius, float worldRadius) {
    return static_cast<float>(arcRadius * 180.0 / (static_cast<double>(worldRadius) * PiFull));
}

float ZoneRadiusAngleFromText(const std::u16string& text, float worldRadius) {
    return ZoneRadiusAngleOf(static_cast<double>(StrToUIntQX(text)), worldRadius);
}

std::u16string ZoneGraphFromText(const std::u16string& text) {
    return TrimQX(text);
}

int32_t ZoneHitpointsFromText(const std::u16string& text) {
    return static_cast<int32_t>(StrToUIntQX(text));
}

int32_t ZoneSignedFromText(const std::u16string& text) {
    return StrToIntQX(text);
}

uint32_t ZoneItemFlagsSet(uint32_t flags, int bit, bool on) {
    if (bit < 0 || bit > 31) return flags;
    const uint32_t mask = 1u << bit;
    return on ? flags | mask : flags & ~mask;
}

// --- Graph names ----------------------------------------------------------------------------

ZoneGraphList ZoneGraphsLoad(const std::string& skyhaulPath, const std::string& legacyCodePage) {
    ZoneGraphList result;
    if (skyhaulPath.empty()) return result;
    const std::string path = ResolvePathQX(skyhaulPath, "\\CFG\\CD\\GMWall.txt");
    std::error_code ec;
    if (!std::filesystem::is_regular_file(std::filesystem::path(path), ec)) return result;
    try {
        TBlockParQX file;
        file.LoadFromFile(path, {.LegacyCodePage = legacyCodePage});
        const TBlockParQX* block = file.Block_Get(u"2");
        for (const TBlockParElQX* el = block->First(); el; el = el->Next)
            if (el->Kind == TBlockParElQX::KindPar) result.Names.push_back(el->Name);
    } catch (const ErrorQX& e) {
        // The editor must still open: the graph box then just has no names to offer.
        result.Names.clear();
        result.Error = path + ": " + e.Message();
    }
    return result;
}

} // namespace gm
