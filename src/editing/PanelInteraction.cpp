#include "editing/PanelInteraction.h"

#include <algorithm>
#include <charconv>
#include <type_traits>
#include <variant>
#include <vector>

#include "editing/GroupEdit.h"
#include "editing/PanelEdit.h"
#include "editing/PanelPick.h"
#include "render/Camera.h"
#include "render/Scene.h"
#include "render/VOper.h"
#include "render/gm_Obj3D.h"
#include "world/GMPoint.h"
#include "world/ViewFlags.h"
#include "world/WorldDoc.h"
#include "world/WorldUnit.h"
#include "zones/WorldZone.h"
#include "zones/ZoneEdit.h"

namespace gm {

namespace {

// "%.2f" without the locale: the process locale may use a decimal comma.
std::string Fixed2(float value) {
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, static_cast<double>(value),
                                   std::chars_format::fixed, 2);
    return std::string(buf, res.ptr);
}

std::string CoordText(const TSpherePick& pick) {
    if (!pick.Found) return {};
    return Fixed2(pick.Longitude) + "," + Fixed2(pick.Polar);
}

std::vector<TPointGM*> CurrentFreePoints(const PointStore& points) {
    std::vector<TPointGM*> out;
    for (TPointGM* p = points.PointCurrentNext(nullptr); p; p = points.PointCurrentNext(p))
        if (!p->Master) out.push_back(p);
    return out;
}

std::vector<const TPointGM*> Masters(const PointStore& points) {
    std::vector<const TPointGM*> out;
    out.reserve(points.List().Size());
    for (const TPointGM* p : points.List())
        out.push_back(p->Master);
    return out;
}

} // namespace

PanelInteraction::PanelInteraction(WorldDoc& doc, Camera& camera, ViewFlags& flags)
    : Doc_(doc), Camera_(camera), Flags_(flags) {}

PanelInteraction::~PanelInteraction() {
    RubberRelease();
}

// --- Mouse ---

PanelResult PanelInteraction::MouseDown(const PanelMouse& m) {
    PanelResult r;
    if (m.RightHeld) StartRightDrag(m, r);
    if (!Dragging() && m.LeftHeld && !m.RightHeld) {
        // A rectangle left over from a press whose release never came starts afresh.
        RubberRelease();
        RubberBand_ = true;
        RubberLeft_ = RubberRight_ = m.X;
        RubberTop_ = RubberBottom_ = m.Y;
    }
    return r;
}

void PanelInteraction::StartRightDrag(const PanelMouse& m, PanelResult& r) {
    bool started = false;
    auto anchor = [&] {
        const TSpherePick pick = PanelPick(Camera_, Doc_.WorldRadius, m.X, m.Y);
        if (!pick.Found) return false;
        AnchorLongitude_ = pick.Longitude;
        AnchorPolar_ = pick.Polar;
        return true;
    };
    GroupGrab(m);
    TgmWorldUnit* unit = Doc_.Units.UnitCurrent();
    if (unit && PickUnit(Doc_, Camera_, m.X, m.Y) == unit) {
        if (anchor()) {
            DragMove_ = true;
            DragRotated_ = false;
            started = true;
        }
    } else if (Doc_.Points.PointCurrentNext(nullptr) && PickPoint(Doc_, Camera_, m.X, m.Y)) {
        if (anchor()) {
            DragMove_ = true;
            started = true;
        }
    } else if (Doc_.Zones.ZoneCurrent() && PickZone(Doc_, Camera_, Flags_, m.X, m.Y)) {
        if (anchor()) {
            DragZone_ = m.Ctrl ? 2 : 1;
            started = true;
        }
    } else {
        DragCamera_ = true;
        started = true;
    }
    if (!started) return;
    LastMouseX_ = m.X;
    LastMouseY_ = m.Y;
    r.Cursor = PanelCursor::Drag;
}

PanelResult PanelInteraction::MouseMove(const PanelMouse& m) {
    PanelResult r;
    const TSpherePick pick = PanelPick(Camera_, Doc_.WorldRadius, m.X, m.Y);
    r.CoordChanged = true;
    r.Coord = CoordText(pick);
    const bool hit = pick.Found;
    const bool moved = pick.Longitude != AnchorLongitude_ || pick.Polar != AnchorPolar_;
    TgmWorldUnit* unit = Doc_.Units.UnitCurrent();

    if (DragMove_ && hit && unit && !m.LeftHeld && !DragRotated_ && moved &&
        GroupDrag(pick.Longitude, pick.Polar)) {
        r.Modified = true;
    } else if (DragMove_ && hit && unit && !m.LeftHeld && !DragRotated_) {
        const std::vector<TPointGM*> points = Doc_.Points.PointsOfUnit(unit);
        r.Modified = moved && !points.empty();
        // Recomputing the angles for no movement would still round them differently.
        if (r.Modified)
            MoveWithAnchor(Doc_, points, AnchorLongitude_, AnchorPolar_, pick.Longitude,
                           pick.Polar);
    } else if (DragMove_ && unit && m.LeftHeld) {
        DragRotated_ = true;
        const double angle = (LastMouseX_ - m.X) * TurnDegreesPerPixel;
        r.Modified = angle != 0;
        if (angle != 0) UnitTurn(Doc_, unit, angle);
    } else if (hit && DragMove_) {
        const std::vector<TPointGM*> points = CurrentFreePoints(Doc_.Points);
        r.Modified = moved && !points.empty();
        if (r.Modified)
            MoveWithAnchor(Doc_, points, AnchorLongitude_, AnchorPolar_, pick.Longitude,
                           pick.Polar);
    } else if (DragCamera_) {
        Camera_.OrbitPolar((LastMouseY_ - m.Y) * DragDegreesPerPixel);
        Camera_.OrbitLongitude((LastMouseX_ - m.X) * DragDegreesPerPixel);
    } else if (RubberBand_) {
        RubberUpdate(m.X, m.Y);
    } else if (DragZone_ == 1 && hit && moved && GroupDrag(pick.Longitude, pick.Polar)) {
        r.Modified = true;
    } else if (DragZone_ != 0 && hit && moved) {
        // The zone follows from the first real movement: a move event on the press pixel
        // would otherwise snap it to the cursor.
        AnchorLongitude_ = pick.Longitude;
        AnchorPolar_ = pick.Polar;
        if (TgmZone* zone = Doc_.Zones.ZoneCurrent()) {
            if (DragZone_ == 1) {
                zone->Longitude = pick.Longitude;
                zone->Polar = pick.Polar;
            } else {
                float bearing = 0, d = 0;
                SphereBearing(bearing, d, zone->Longitude, zone->Polar, 0, pick.Longitude,
                              pick.Polar, Doc_.WorldRadius);
                zone->RadiusAngle =
                    static_cast<float>(static_cast<double>(d) * 180 / (PiFull * Doc_.WorldRadius));
            }
            Doc_.Zones.ZoneUpdate(zone);
            r.Modified = true;
        }
    }
    LastMouseX_ = m.X;
    LastMouseY_ = m.Y;
    return r;
}

PanelResult PanelInteraction::MouseUp(const PanelMouse& m) {
    PanelResult r;
    if (m.Button == PanelButton::Right && Dragging()) {
        // No page refresh: filling the Zone page stores its radius text back, which would round
        // the dragged radius and record a second undo step.
        EndDrags();
        r.Cursor = PanelCursor::Normal;
        return r;
    }
    if (m.Button != PanelButton::Left) return r;
    if (RubberBand_) {
        const bool used = m.Shift && RubberShown_ ? (RubberGroup(), true) : RubberSelect(m.Ctrl);
        RubberBand_ = false;
        RubberRelease();
        if (used) return r;
    }
    // The release that ends a unit turn is not a click.
    if (DragMove_) return r;
    Click(m, r);
    r.Refresh = true;
    return r;
}

void PanelInteraction::Click(const PanelMouse& m, PanelResult& r) {
    if (m.Shift && !m.Ctrl && GroupClick(m)) return;
    TgmZone* zone = Doc_.Zones.ZoneCurrent();
    TgmZoneLink* link = Doc_.Zones.ZoneLinkCurrent();
    TgmWorldUnit* unit = Doc_.Units.UnitCurrent();
    Doc_.Zones.SetZoneCurrent(nullptr);
    Doc_.Zones.SetZoneLinkCurrent(nullptr);
    Doc_.Units.SetCurrentUnit(nullptr);

    if (m.Ctrl || m.Shift) {
        TgmZone* other = PickZone(Doc_, Camera_, Flags_, m.X, m.Y);
        if (Doc_.Zones.ZoneLinkMake(zone, other)) {
            r.Modified = true;
            return;
        }
        if (TPointGM* p = PickPoint(Doc_, Camera_, m.X, m.Y))
            Doc_.Points.SetCurrent(p, !p->Current);
        return;
    }

    GroupClear(Doc_);
    for (TPointGM* p : Doc_.Points.List())
        Doc_.Points.SetCurrent(p, false);
    const std::vector<PickItem> items = PickAll(Doc_, Camera_, Flags_, m.X, m.Y);
    if (items.empty()) return;
    // The next object after the one that was current, so that repeated clicks cycle.
    PickItem previous = unit;
    if (zone)
        previous = zone;
    else if (link)
        previous = link;
    std::size_t k = 0;
    if (zone || link || unit) {
        const auto it = std::find(items.begin(), items.end(), previous);
        if (it != items.end()) k = static_cast<std::size_t>(it - items.begin()) + 1;
        if (k >= items.size()) k = 0;
    }
    std::visit(
        [this](auto* obj) {
            using T = std::remove_pointer_t<decltype(obj)>;
            if constexpr (std::is_same_v<T, TgmZone>)
                Doc_.Zones.SetZoneCurrent(obj);
            else if constexpr (std::is_same_v<T, TgmZoneLink>)
                Doc_.Zones.SetZoneLinkCurrent(obj);
            else if constexpr (std::is_same_v<T, TgmWorldUnit>)
                Doc_.Units.SetCurrentUnit(obj);
            else
                Doc_.Points.SetCurrent(obj, true);
        },
        items[k]);
}

PanelResult PanelInteraction::Deactivated() {
    PanelResult r;
    if (EndDrags()) r.Cursor = PanelCursor::Normal;
    return r;
}

PanelResult PanelInteraction::CancelAll() {
    PanelResult r;
    const bool band = RubberBand_;
    RubberBand_ = false;
    RubberRelease();
    if (EndDrags() || band) r.Cursor = PanelCursor::Normal;
    return r;
}

bool PanelInteraction::EndDrags() noexcept {
    const bool any = Dragging();
    DragMove_ = false;
    DragCamera_ = false;
    DragZone_ = 0;
    return any;
}

// --- Selection rectangle ---

void PanelInteraction::RubberUpdate(int x, int y) {
    RubberRight_ = x;
    RubberBottom_ = y;
    const int64_t dx = RubberRight_ - RubberLeft_, dy = RubberBottom_ - RubberTop_;
    if (!RubberShown_ && dx * dx + dy * dy <= 4) return;
    RubberShown_ = true;
    if (!RubberObj_ && Doc_.GetScene()) {
        RubberScene_ = Doc_.GetScene();
        RubberObj_ = RubberObjNew(*RubberScene_);
    }
    if (RubberObj_)
        RubberObjSet(*RubberObj_, static_cast<float>(RubberLeft_), static_cast<float>(RubberTop_),
                     static_cast<float>(RubberRight_), static_cast<float>(RubberBottom_));
}

bool PanelInteraction::RubberSelect(bool ctrl) {
    if (!RubberShown_) return false;
    const double left = std::min(RubberLeft_, RubberRight_) - Camera_.ScreenCentreX;
    const double right = std::max(RubberLeft_, RubberRight_) - Camera_.ScreenCentreX;
    const double top = std::min(RubberTop_, RubberBottom_) - Camera_.ScreenCentreY;
    const double bottom = std::max(RubberTop_, RubberBottom_) - Camera_.ScreenCentreY;
    if (!ctrl)
        for (TPointGM* p : Doc_.Points.List())
            Doc_.Points.SetCurrent(p, false);
    Doc_.Units.SetCurrentUnit(nullptr);
    for (TPointGM* p : Doc_.Points.List()) {
        if (!(left <= p->ScreenX && p->ScreenX <= right && top <= p->ScreenY &&
              p->ScreenY <= bottom && Camera_.IsFrontDepth(p->ScreenDepth)))
            continue;
        Doc_.Points.SetCurrent(p, ctrl ? !p->Current : true);
    }
    return true;
}

void PanelInteraction::RubberRelease() noexcept {
    if (RubberObj_ && RubberScene_) RubberScene_->Obj3DFree(RubberObj_);
    RubberObj_ = nullptr;
    RubberScene_ = nullptr;
    RubberShown_ = false;
}

// --- Keys ---

PanelResult PanelInteraction::Key(const PanelKey& k) {
    namespace K = PanelKeyCode;
    PanelResult r;
    r.Refresh = true; // after every key that reached the panel
    const double step = k.Shift || k.Ctrl ? KeyStepFast : KeyStep;
    const bool unit = Doc_.Units.UnitCurrent() != nullptr;
    switch (k.Code) {
    case K::Delete:
        KeyDelete(r);
        return r;
    case K::Space:
        if (unit) {
            KeySpace(r);
            return r;
        }
        break;
    case K::P:
        if (k.Ctrl) {
            r.Toggle = ViewItem::Point;
            return r;
        }
        break;
    case K::W:
        if (k.Ctrl) {
            r.Toggle = ViewItem::WorldLine;
            return r;
        }
        break;
    case K::B:
        if (k.Ctrl) {
            r.Toggle = ViewItem::Background;
            return r;
        }
        break;
    case K::Z:
        if (k.Ctrl)
            r.Toggle = ViewItem::Zone;
        else
            KeyZone(k, r);
        return r;
    default:
        break;
    }
    switch (k.Code) {
    case K::C:
        if (unit) KeyCopy(k, r);
        break;
    case K::Left:
        Camera_.OrbitLongitude(-step);
        break;
    case K::Right:
        Camera_.OrbitLongitude(step);
        break;
    case K::Up:
        Camera_.OrbitPolar(-step);
        break;
    case K::Down:
        Camera_.OrbitPolar(step);
        break;
    case K::PageUp:
        Camera_.Zoom(-ZoomStep);
        break;
    case K::PageDown:
        Camera_.Zoom(ZoomStep);
        break;
    case K::Home:
        Camera_.Reset(Doc_.WorldRadius);
        break;
    default:
        break;
    }
    return r;
}

PanelResult PanelInteraction::Wheel(int notches) {
    Camera_.Zoom(-ZoomStep * static_cast<float>(notches));
    return {};
}

void PanelInteraction::KeyDelete(PanelResult& r) {
    const bool any = Doc_.Units.UnitCurrent() || Doc_.Zones.ZoneCurrent() ||
                     Doc_.Zones.ZoneLinkCurrent() || GroupOf(Doc_).Size() >= 2;
    if (!any) return;
    // The drag would go on with whatever becomes current after the deletion.
    if (EndDrags()) r.Cursor = PanelCursor::Normal;
    r.Modified = GroupDelete() || DeleteCurrent(Doc_);
}

void PanelInteraction::KeySpace(PanelResult& r) {
    const std::vector<const TPointGM*> before = Masters(Doc_.Points);
    Doc_.Units.PortAutoLink(Doc_.Units.UnitCurrent());
    r.Modified = Masters(Doc_.Points) != before;
}

void PanelInteraction::KeyCopy(const PanelKey& k, PanelResult& r) {
    if (GroupCopy(k, r)) return;
    const TSpherePick pick = PanelPick(Camera_, Doc_.WorldRadius, k.CursorX, k.CursorY);
    if (!pick.Found) return;
    std::string reason;
    if (UnitCopyAt(Doc_, pick.Longitude, pick.Polar, &reason))
        r.Modified = true;
    else
        r.Message = reason;
}

void PanelInteraction::KeyZone(const PanelKey& k, PanelResult& r) {
    const TSpherePick pick = PanelPick(Camera_, Doc_.WorldRadius, k.CursorX, k.CursorY);
    if (!pick.Found) return;
    ZoneCreateAt(Doc_, Flags_, pick.Longitude, pick.Polar);
    r.Modified = true;
    r.ViewChecksChanged = true;
}

} // namespace gm
