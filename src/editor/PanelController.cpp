#include "editor/PanelController.h"

#include <exception>

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>

#include "editor/PanelKeyFilter.h"
#include "foundation/QX_Error.h"
#include "platform/Panel3DWidget.h"
#include "world/WorldDoc.h"
#include "zones/WorldZone.h"

namespace gm {

PanelController::PanelController(QWidget* window, Panel3DWidget* panel, WorldDoc& doc,
                                 Camera& camera, ViewFlags& flags, PanelHooks hooks)
    : Window_(window), Panel_(panel), Hooks_(std::move(hooks)), Interaction_(doc, camera, flags),
      Doc_(doc) {
    Panel_->SetMouseCallback([this](Panel3DWidget::MouseAction action, const PanelMouse& m) {
        // Drags are right-button ones (a unit drag turns the unit while the left is held too);
        // a left click during a camera drag is an edit of its own.
        const bool dragInput = action == Panel3DWidget::MouseAction::Move ||
                               (action == Panel3DWidget::MouseAction::Up &&
                                (m.Button == PanelButton::Right || Interaction_.DragMove()));
        Run(
            [&] {
                switch (action) {
                case Panel3DWidget::MouseAction::Down:
                    return Interaction_.MouseDown(m);
                case Panel3DWidget::MouseAction::Move:
                    return Interaction_.MouseMove(m);
                case Panel3DWidget::MouseAction::Up:
                    break;
                }
                return Interaction_.MouseUp(m);
            },
            [this] { return MouseEditLabel(); }, dragInput);
    });
    Keys_ = new PanelKeyFilter(
        window, panel,
        [this](const PanelKey& k) {
            // Named before the key acts: Delete must name what it takes away.
            const PanelEditName name = KeyEditLabel(k.Code);
            Run([&] { return Interaction_.Key(k); }, [&name] { return name; });
        },
        this);
    qApp->installEventFilter(Keys_);
    connect(
        qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
            if (state != Qt::ApplicationActive)
                Run([this] { return Interaction_.Deactivated(); }, [] { return PanelEditName{}; });
        });
    // A dialog of our own leaves the application active, but the panel must not keep the mouse
    // from it.
    window->installEventFilter(this);
}

bool PanelController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Window_ && event->type() == QEvent::WindowDeactivate)
        Run([this] { return Interaction_.Deactivated(); }, [] { return PanelEditName{}; });
    return false;
}

PanelController::~PanelController() {
    qApp->removeEventFilter(Keys_);
    if (Window_) Window_->removeEventFilter(this);
    if (Panel_) {
        Panel_->SetMouseCallback({});
        Panel_->SetDragging(false);
    }
}

void PanelController::CancelAll() {
    Run([this] { return Interaction_.CancelAll(); }, [] { return PanelEditName{}; });
}

void PanelController::Run(const std::function<PanelResult()>& step,
                          const std::function<PanelEditName()>& label, bool dragInput) {
    if (Hooks_.BeforeEvent) Hooks_.BeforeEvent(Interaction_.Dragging(), dragInput);
    // Nothing thrown may leave a Qt event handler: a failure becomes a message.
    std::string error;
    PanelResult r;
    try {
        r = step();
    } catch (const ErrorQX& e) {
        error = e.Message();
    } catch (const std::exception& e) {
        error = e.what();
    }
    // A failed step may have changed part of the document: what it changed is recorded.
    const bool modified = r.Modified || !error.empty();
    if (Hooks_.AfterEvent)
        Hooks_.AfterEvent(modified, Interaction_.Dragging(), modified ? label() : PanelEditName{});
    if (error.empty())
        Apply(r);
    else if (Hooks_.Message)
        Hooks_.Message(error);
}

std::string PanelController::UnitName(const TgmWorldUnit* unit) {
    // The description's file name: enough to tell "tower.txt" from "wall.txt".
    const std::u16string& path = unit->DescPath;
    const std::size_t slash = path.find_last_of(u"\\/");
    return QString::fromStdU16String(slash == std::u16string::npos ? path : path.substr(slash + 1))
        .toStdString();
}

std::string PanelController::ZoneName(const TgmZone* zone) const {
    // Zones are numbered from 1 in list order, as the file numbers them.
    int32_t n = 1;
    for (const TgmZone* z : Doc_.Zones.Zones()) {
        if (z == zone) break;
        ++n;
    }
    return "zone " + std::to_string(n);
}

PanelEditName PanelController::MouseEditLabel() const {
    // Asked right after the first event of a drag or click that changed the document. Drags
    // move points only; zone drags and links touch the zones only.
    const TgmWorldUnit* unit = Doc_.Units.UnitCurrent();
    const TgmZone* zone = Doc_.Zones.ZoneCurrent();
    if (Interaction_.DragMove()) {
        if (!unit) return {"Move points", EditSections::Points};
        return {(Interaction_.DragRotated() ? "Turn unit " : "Move unit ") + UnitName(unit),
                EditSections::Points};
    }
    if (Interaction_.DragZone() != 0 && zone)
        return {(Interaction_.DragZone() == 1 ? "Move " : "Resize ") + ZoneName(zone),
                EditSections::Zones};
    return {"Link zones", EditSections::Zones}; // the only click that edits
}

PanelEditName PanelController::KeyEditLabel(int code) const {
    const TgmWorldUnit* unit = Doc_.Units.UnitCurrent();
    switch (code) {
    case PanelKeyCode::Delete:
        // What Delete takes, in the order it looks.
        if (unit) return {"Delete unit " + UnitName(unit)};
        if (const TgmZone* zone = Doc_.Zones.ZoneCurrent()) return {"Delete " + ZoneName(zone)};
        if (Doc_.Zones.ZoneLinkCurrent()) return {"Delete zone link"};
        return {"Delete"};
    case PanelKeyCode::Space:
        return {"Link ports"};
    case PanelKeyCode::C:
        return {unit ? "Copy unit " + UnitName(unit) : std::string("Copy unit")};
    case PanelKeyCode::Z:
        // The new zone comes last.
        return {"Create zone " + std::to_string(Doc_.Zones.ZoneCount() + 1), EditSections::Zones};
    default:
        return {"Panel edit"};
    }
}

void PanelController::Apply(const PanelResult& r) {
    if (Panel_ && r.Cursor != PanelCursor::Unchanged)
        Panel_->SetDragging(r.Cursor == PanelCursor::Drag);
    if (r.CoordChanged && Hooks_.Coord) Hooks_.Coord(QString::fromStdString(r.Coord));
    if (r.Modified && Hooks_.MarkModified) Hooks_.MarkModified();
    if (r.Toggle != ViewItem::None && Hooks_.Toggle) Hooks_.Toggle(r.Toggle);
    if (r.ViewChecksChanged && Hooks_.ViewChecks) Hooks_.ViewChecks();
    if (!r.Message.empty() && Hooks_.Message) Hooks_.Message(r.Message);
    if (r.Refresh && Hooks_.PanelRefresh) Hooks_.PanelRefresh();
}

} // namespace gm
