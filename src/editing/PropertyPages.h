#pragma once
// The property pages beside the 3D panel, without widgets: which page the selection asks for,
// what each page shows, and the change handlers that store a field's text at once. Texts are
// read leniently (stray characters are skipped) and never fail.

#include <cstdint>
#include <string>
#include <vector>

namespace gm {

class TgmWorldUnit;
class TgmZone;
class WorldDoc;

// In the order of the pages (their index in the page control).
enum class PropertyPage { Main = 0, Unit = 1, Zone = 2, ZoneLink = 3 };

// The page of the selection: a current unit before a current zone before a current zone link,
// else the Main page.
PropertyPage PagePick(const WorldDoc& doc);

// The value rounded to the nearest integer (halves to even), in decimal.
std::u16string RoundedText(double value);

struct UnitPageView {
    int32_t UnitType = 0;
    std::u16string TimeOffset;
    std::u16string TimeLength;
    std::vector<std::u16string> KeyGroups; // names of the unit's key groups, in order
    int32_t KeyGroup = 0;
};

UnitPageView UnitPageFill(const WorldDoc& doc, const TgmWorldUnit& unit);

// Unit page handlers. Each acts on the current unit (nothing happens without one) and answers
// whether a stored value changed.
bool UnitTypeChange(WorldDoc& doc, int index);
// Signed: a "-" before the first non-zero digit negates.
bool UnitTimeOffsetChange(WorldDoc& doc, const std::u16string& text);
// The digits alone.
bool UnitTimeLengthChange(WorldDoc& doc, const std::u16string& text);
// Clamped to the unit's groups.
bool UnitKeyGroupChange(WorldDoc& doc, int index);

struct ZonePageView {
    int32_t ZoneType = 0; // -1 for a value no entry of the type box stands for
    std::u16string Radius;
    std::u16string Graph;
    std::u16string Hitpoints;
    std::u16string Mass;
    std::u16string Damage;
    uint32_t ItemFlags = 0;
    int32_t ItemFreq = 0;
};

ZonePageView ZonePageFill(const TgmZone& zone);

// Zone page handlers, on the current zone; each answers whether a stored value changed.
bool ZoneTypeChange(WorldDoc& doc, int index);
// The digits are the arc radius; the zone is recomputed at once.
bool ZoneRadiusChange(WorldDoc& doc, const std::u16string& text);
bool ZoneGraphChange(WorldDoc& doc, const std::u16string& text);
bool ZoneHitpointsChange(WorldDoc& doc, const std::u16string& text);
bool ZoneMassChange(WorldDoc& doc, const std::u16string& text);
bool ZoneDamageChange(WorldDoc& doc, const std::u16string& text);
bool ZoneItemChange(WorldDoc& doc, int bit, bool on);
bool ZoneItemFreqChange(WorldDoc& doc, int index);
// On the current zone link.
bool ZoneLinkTypeChange(WorldDoc& doc, int index);

// The item bit an item check box stands for: the number at the end of its name
// ("CheckBoxZoneI31" gives 31); -1 for a name without one or a number beyond 31.
int ItemBitFromName(const std::u16string& name);

} // namespace gm
