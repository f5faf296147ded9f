#include "editor/PanelKeyFilter.h"

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QKeyEvent>
#include <QLineEdit>
#include <QWidget>

namespace gm {

PanelKeyFilter::PanelKeyFilter(QWidget* window, QWidget* panel, Handler handler, QObject* parent)
    : QObject(parent), Window_(window), Panel_(panel), Handler_(std::move(handler)) {}

int PanelKeyFilter::KeyCode(int qtKey) {
    namespace K = PanelKeyCode;
    if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9))
        return qtKey; // the character codes, as the panel's codes are
    switch (qtKey) {
    case Qt::Key_Space:
        return K::Space;
    case Qt::Key_PageUp:
        return K::PageUp;
    case Qt::Key_PageDown:
        return K::PageDown;
    case Qt::Key_End:
        return K::End;
    case Qt::Key_Home:
        return K::Home;
    case Qt::Key_Left:
        return K::Left;
    case Qt::Key_Up:
        return K::Up;
    case Qt::Key_Right:
        return K::Right;
    case Qt::Key_Down:
        return K::Down;
    case Qt::Key_Delete:
        return K::Delete;
    default:
        return 0;
    }
}

bool PanelKeyFilter::eventFilter(QObject* watched, QEvent* event) {
    if (!watched->isWidgetType()) return false;
    // A click on the empty area around the panel gives the keyboard back to the panel without
    // touching the selection, as a click into the panel would.
    if (event->type() == QEvent::MouseButtonPress && watched == Panel_->parentWidget()) {
        QWidget* focus = QApplication::focusWidget();
        if (focus && focus->window() == Window_) focus->clearFocus();
        return false;
    }
    if (event->type() != QEvent::KeyPress) return false;
    if (QApplication::activeWindow() != Window_ || QApplication::activePopupWidget()) return false;
    // A key travels from the focused widget (or the window itself) up through its parents:
    // take it once, at its first receiver.
    QWidget* focus = QApplication::focusWidget();
    if (watched != (focus ? focus : Window_)) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (qobject_cast<QLineEdit*>(focus) || qobject_cast<QComboBox*>(focus)) {
        // Esc leaves a page field: the next keys are the panel's.
        if (key->key() == Qt::Key_Escape) focus->clearFocus();
        return false;
    }

    PanelKey k;
    k.Code = KeyCode(key->key());
    // Z and C make an object each: a held key makes one, not a pile at one spot.
    if (key->isAutoRepeat() && (k.Code == PanelKeyCode::Z || k.Code == PanelKeyCode::C))
        return false;
    k.Shift = key->modifiers().testFlag(Qt::ShiftModifier);
    k.Ctrl = key->modifiers().testFlag(Qt::ControlModifier);
    const QPoint cursor = Panel_->mapFromGlobal(QCursor::pos());
    k.CursorX = cursor.x();
    k.CursorY = cursor.y();
    Handler_(k);
    return false;
}

} // namespace gm
