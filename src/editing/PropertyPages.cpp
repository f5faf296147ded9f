#include "editing/PropertyPages.h"

#include <cmath>

#include "foundation/QX_Str.h"
#include "world/WorldDoc.h"

namespace gm {

namespace {

// Stores value into field; answers whether it changed.
template <typename T> bool Store(T& field, T value) {
    if (field == value) return false;
    field = value;
    return true;
}

} // namespace

PropertyPage PagePick(const WorldDoc& doc) {
    if (doc.Units.UnitCurrent()) return PropertyPage::Unit;
    if (doc.Zones.ZoneCurrent()) return PropertyPage::Zone;
    if (doc.Zones.ZoneLinkCurrent()) return PropertyPage::ZoneLink;
    return PropertyPage::Main;
}

std::u16string RoundedText(double value) {
    if (!std::isfinite(value)) return u"0";
    // nearbyint rounds halves to even in the default rounding mode.
    return IntToWideQX(static_cast<int64_t>(std::nearbyint(value)));
}

UnitPageView UnitPageFill(const WorldDoc& doc, const TgmWorldUnit& unit) {
    UnitPageView view;
    view.UnitType = unit.UnitType;
    view.TimeOffset = IntToWideQX(unit.TimeOffset);
    view.TimeLength = IntToWideQX(unit.TimeLength);
    if (const TKeyGroupList* list = doc.Keys.KeyGroupListOfUnit(&unit))
        for (const auto& group : list->Groups)
            view.KeyGroups.push_back(group->Name);
    view.KeyGroup = unit.KeyGroup;
    return view;
}

bool UnitTypeChange(WorldDoc& doc, int index) {
    TgmWorldUnit* u = doc.Units.UnitCurrent();
    return u && index >= 0 && Store(u->UnitType, static_cast<int32_t>(index));
}

bool UnitTimeOffsetChange(WorldDoc& doc, const std::u16string& text) {
    TgmWorldUnit* u = doc.Units.UnitCurrent();
    return u && Store(u->TimeOffset, StrToIntQX(text));
}

bool UnitTimeLengthChange(WorldDoc& doc, const std::u16string& text) {
    TgmWorldUnit* u = doc.Units.UnitCurrent();
    return u && Store(u->TimeLength, static_cast<int32_t>(StrToUIntQX(text)));
}

bool UnitKeyGroupChange(WorldDoc& doc, int index) {
    TgmWorldUnit* u = doc.Units.UnitCurrent();
    if (!u || index < 0) return false;
    const int32_t before = u->KeyGroup;
    doc.Units.SetKeyGroup(u, index);
    return u->KeyGroup != before;
}

} // namespace gm

namespace gm {

ZonePageView ZonePageFill(const TgmZone& zone) {
    ZonePageView view;
    view.ZoneType = zone.ZoneType < ZoneTypeCount ? static_cast<int32_t>(zone.ZoneType) : -1;
    view.Radius = ZoneRadiusText(zone);
    view.Graph = zone.Graph;
    view.Hitpoints = IntToWideQX(zone.Hitpoints);
    view.Mass = IntToWideQX(zone.Mass);
    view.Damage = IntToWideQX(zone.Damage);
    view.ItemFlags = zone.ItemFlags;
    view.ItemFreq = zone.ItemFreq;
    return view;
}

bool ZoneTypeChange(WorldDoc& doc, int index) {
    TgmZone* z = doc.Zones.ZoneCurrent();
    return z && index >= 0 && Store(z->ZoneType, static_cast<uint32_t>(index));
}

bool ZoneRadiusChange(WorldDoc& doc, const std::u16string& text) {
    TgmZone* z = doc.Zones.ZoneCurrent();
    if (!z || !Store(z->RadiusAngle, ZoneRadiusAngleFromText(text, doc.WorldRadius))) return false;
    doc.Zones.ZoneUpdate(z);
    return true;
}

bool ZoneGraphChange(WorldDoc& doc, const std::u16string& text) {
    TgmZone* z = doc.Zones.ZoneCurrent();
    return z && Store(z->Graph, ZoneGraphFromText(text));
}

bool ZoneHitpointsChange(WorldDoc& doc, const std::u16string& text) {
    TgmZone* z = doc.Zones.ZoneCurrent();
    return z && Store(z->Hitpoints, ZoneHitpointsFromText(text));
}

bool ZoneMassChange(WorldDoc& doc, const std::u16string& text) {
    TgmZone* z = doc.Zones.ZoneCurrent();
    return z && Store(z->Mass, ZoneSignedFromText(text));
}

bool ZoneDamageChange(WorldDoc& doc, const std::u16string& text) {
    TgmZone* z = doc.Zones.ZoneCurrent();
    return z && Store(z->Damage, ZoneSignedFromText(text));
}

bool ZoneItemChange(WorldDoc& doc, int bit, bool on) {
    TgmZone* z = doc.Zones.ZoneCurrent();
    return z && Store(z->ItemFlags, ZoneItemFlagsSet(z->ItemFlags, bit, on));
}

bool ZoneItemFreqChange(WorldDoc& doc, int index) {
    TgmZone* z = doc.Zones.ZoneCurrent();
    return z && index >= 0 && Store(z->ItemFreq, static_cast<int32_t>(index));
}

bool ZoneLinkTypeChange(WorldDoc& doc, int index) {
    TgmZoneLink* link = doc.Zones.ZoneLinkCurrent();
    return link && index >= 0 && Store(link->LinkType, static_cast<int32_t>(index));
}

int ItemBitFromName(const std::u16string& name) {
    std::size_t start = name.size();
    while (start > 0 && name[start - 1] >= u'0' && name[start - 1] <= u'9')
        --start;
    if (start == name.size() || name.size() - start > 2) return -1;
    const int bit = static_cast<int>(StrToUIntQX(name.substr(start)));
    return bit <= 31 ? bit : -1;
}

} // namespace gm
