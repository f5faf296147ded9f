#pragma once
// The property pages beside the 3D panel, without widgets: which page the selection asks for,
// what each page shows, and the change handlers that store a field's text at once. Texts are
// read leniently (stray characters are skipped) and never fail.

#include <cstdint>
#include <string>
#include <vector>

namespace gm {

class TgmWorldUnit;
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

} // namespace gm
