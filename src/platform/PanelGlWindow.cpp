#include "platform/PanelGlWindow.h"

#include <QExposeEvent>
#include <QMouseEvent>
#include <QWheelEvent>

namespace gm {

PanelGlWindow::PanelGlWindow(PanelGlHost* host) : Host_(host) {
    setSurfaceType(QSurface::OpenGLSurface);
    // A click into the panel must not move the keyboard away from the main window.
    setFlag(Qt::WindowDoesNotAcceptFocus);
}

bool PanelGlWindow::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::UpdateRequest:
        if (Host_ && isExposed()) Host_->GlDraw();
        return true;
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::DragLeave:
    case QEvent::Drop:
        if (!Host_) break;
        Host_->GlDrop(event);
        return true;
    default:
        break;
    }
    return QWindow::event(event);
}

void PanelGlWindow::exposeEvent(QExposeEvent*) {
    if (Host_ && isExposed()) Host_->GlDraw();
}

void PanelGlWindow::mousePressEvent(QMouseEvent* event) {
    if (Host_) Host_->GlMouse(QEvent::MouseButtonPress, event);
}

void PanelGlWindow::mouseMoveEvent(QMouseEvent* event) {
    if (Host_) Host_->GlMouse(QEvent::MouseMove, event);
}

void PanelGlWindow::mouseReleaseEvent(QMouseEvent* event) {
    if (Host_) Host_->GlMouse(QEvent::MouseButtonRelease, event);
}

void PanelGlWindow::wheelEvent(QWheelEvent* event) {
    if (Host_) Host_->GlWheel(event);
}

} // namespace gm
