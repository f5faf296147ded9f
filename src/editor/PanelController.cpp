#include "editor/PanelController.h"

#include <exception>

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>

#include "editor/PanelKeyFilter.h"
#include "foundation/QX_Error.h"
#include "platform/Panel3DWidget.h"

namespace gm {

PanelController::PanelController(QWidget* window, Panel3DWidget* panel, WorldDoc& doc,
                                 Camera& camera, ViewFlags& flags, PanelHooks hooks)
    : Window_(window), Panel_(panel), Hooks_(std::move(hooks)), Interaction_(doc, camera, flags) {
    // Nothing thrown may leave a Qt event handler: a failure becomes a message.
    auto guarded = [this](auto&& step) {
        std::string error;
        try {
            Apply(step());
            return;
        } catch (const ErrorQX& e) {
            error = e.Message();
        } catch (const std::exception& e) {
            error = e.what();
        }
        if (Hooks_.Message) Hooks_.Message(error);
    };
    Panel_->SetMouseCallback(
        [this, guarded](Panel3DWidget::MouseAction action, const PanelMouse& m) {
            guarded([&] {
                switch (action) {
                case Panel3DWidget::MouseAction::Down:
                    return Interaction_.MouseDown(m);
                case Panel3DWidget::MouseAction::Move:
                    return Interaction_.MouseMove(m);
                case Panel3DWidget::MouseAction::Up:
                    break;
                }
                return Interaction_.MouseUp(m);
            });
        });
    Keys_ = new PanelKeyFilter(
        window, panel,
        [this, guarded](const PanelKey& k) { guarded([&] { return Interaction_.Key(k); }); }, this);
    qApp->installEventFilter(Keys_);
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                if (state != Qt::ApplicationActive) Apply(Interaction_.Deactivated());
            });
    // A dialog of our own leaves the application active, but the panel must not keep the mouse
    // from it.
    window->installEventFilter(this);
}

bool PanelController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Window_ && event->type() == QEvent::WindowDeactivate)
        Apply(Interaction_.Deactivated());
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
    Apply(Interaction_.CancelAll());
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
