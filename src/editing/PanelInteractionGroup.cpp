// The panel's group edits: Shift+click and Shift+rectangle build the group, a drag of one of its
// objects moves all of them, Delete and C act on all of them.

#include "editing/PanelInteraction.h"

#include <algorithm>
#include <type_traits>
#include <variant>
#include <vector>

#include "editing/GroupEdit.h"
#include "editing/PanelPick.h"
#include "render/Camera.h"
#include "world/ViewFlags.h"
#include "world/WorldDoc.h"
#include "world/WorldUnit.h"
#include "zones/WorldZone.h"

namespace gm {

namespace {

// The first unit or zone among the objects under a pixel.
template <class Visit> bool FirstUnitOrZone(const std::vector<PickItem>& items, Visit&& visit) {
    for (const PickItem& item : items) {
        if (const auto* zone = std::get_if<TgmZone*>(&item)) {
            visit(*zone, nullptr);
            return true;
        }
        if (const auto* unit = std::get_if<TgmWorldUnit*>(&item)) {
            visit(nullptr, *unit);
            return true;
        }
    }
    return false;
}

} // namespace

bool PanelInteraction::GroupClick(const PanelMouse& m) {
    return FirstUnitOrZone(PickAll(Doc_, Camera_, Flags_, m.X, m.Y),
                           [this](TgmZone* zone, TgmWorldUnit* unit) {
                               if (zone)
                                   GroupToggle(Doc_, zone);
                               else
                                   GroupToggle(Doc_, unit);
                           });
}

void PanelInteraction::RubberGroup() {
    const double left = std::min(RubberLeft_, RubberRight_) - Camera_.ScreenCentreX;
    const double right = std::max(RubberLeft_, RubberRight_) - Camera_.ScreenCentreX;
    const double top = std::min(RubberTop_, RubberBottom_) - Camera_.ScreenCentreY;
    const double bottom = std::max(RubberTop_, RubberBottom_) - Camera_.ScreenCentreY;
    const auto inside = [&](double x, double y, float depth) {
        return left <= x && x <= right && top <= y && y <= bottom && Camera_.IsFrontDepth(depth);
    };
    if (TgmWorldUnit* u = Doc_.Units.UnitCurrent()) u->Grouped = true;
    if (TgmZone* z = Doc_.Zones.ZoneCurrent()) z->Grouped = true;
    for (TgmWorldUnit* u : Doc_.Units.List()) {
        const TVec3 q = Camera_.ProjectRelative(u->Centre);
        if (inside(q.x, q.y, q.z)) u->Grouped = true;
    }
    if (Flags_.Zone)
        for (TgmZone* z : Doc_.Zones.Zones())
            if (inside(z->ScreenX, z->ScreenY, z->ScreenDepth)) z->Grouped = true;
}

void PanelInteraction::GroupGrab(const PanelMouse& m) {
    if (GroupOf(Doc_).Size() < 2) return;
    FirstUnitOrZone(PickAll(Doc_, Camera_, Flags_, m.X, m.Y),
                    [this](TgmZone* zone, TgmWorldUnit* unit) {
                        if (zone && zone->Grouped) {
                            Doc_.Units.SetCurrentUnit(nullptr);
                            Doc_.Zones.SetZoneCurrent(zone);
                        } else if (unit && unit->Grouped) {
                            Doc_.Zones.SetZoneCurrent(nullptr);
                            Doc_.Units.SetCurrentUnit(unit);
                        }
                    });
}

bool PanelInteraction::GroupDrag(float longitude, float polar) {
    TgmWorldUnit* unit = Doc_.Units.UnitCurrent();
    TgmZone* zone = Doc_.Zones.ZoneCurrent();
    if (!(unit ? InGroup(Doc_, unit) : InGroup(Doc_, zone))) return false;
    GroupMove(Doc_, GroupOf(Doc_), AnchorLongitude_, AnchorPolar_, longitude, polar);
    AnchorLongitude_ = longitude;
    AnchorPolar_ = polar;
    return true;
}

bool PanelInteraction::GroupDelete() {
    const Group group = GroupOf(Doc_);
    if (group.Size() < 2) return false;
    return gm::GroupDelete(Doc_, group);
}

bool PanelInteraction::GroupCopy(const PanelKey& k, PanelResult& r) {
    TgmWorldUnit* unit = Doc_.Units.UnitCurrent();
    if (!InGroup(Doc_, unit)) return false;
    const TSpherePick pick = PanelPick(Camera_, Doc_.WorldRadius, k.CursorX, k.CursorY);
    if (!pick.Found) return true;
    std::string reason;
    if (GroupCopyAt(Doc_, GroupOf(Doc_), *unit, pick.Longitude, pick.Polar, &reason))
        r.Modified = true;
    else
        r.Message = reason;
    return true;
}

} // namespace gm
