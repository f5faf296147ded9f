#include "editor/PanelController.h"

#include <exception>

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>

#include "editor/PanelKeyFilter.h"
#include "foundation/QX_Error.h"
#include "platform/Panel3DWidget.h"
#include "world/WorldDoc.h"

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
            Run([&] { return Interaction_.Key(k); }, [&k] { return KeyEditLabel(k.Code); });
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

PanelEditName PanelController::MouseEditLabel() const {
    // Asked right after the first event of a drag or click that changed the document. Drags
    // move points only; zone drags and links touch the zones only.
    if (Interaction_.DragMove()) {
        if (Interaction_.DragRotated()) return {"Turn unit", EditSections::Points};
        return {Doc_.Units.UnitCurrent() ? "Move unit" : "Move points", EditSections::Points};
    }
    if (Interaction_.DragZone() == 1) return {"Move zone", EditSections::Zones};
    if (Interaction_.DragZone() == 2) return {"Zone radius", EditSections::Zones};
    return {"Link zones", EditSections::Zones}; // the only click that edits
}

PanelEditName PanelController::KeyEditLabel(int code) {
    switch (code) {
    case PanelKeyCode::Delete:
        return {"Delete"};
    case PanelKeyCode::Space:
        return {"Link ports"};
    case PanelKeyCode::C:
        return {"Copy unit"};
    case PanelKeyCode::Z:
        return {"Create zone", EditSections::Zones};
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
