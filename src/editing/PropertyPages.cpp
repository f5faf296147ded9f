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
