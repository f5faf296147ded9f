#include "platform/Panel3DWidget.h"

#include <cmath>
#include <exception>
#include <utility>

#include <QMouseEvent>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QResizeEvent>
#include <QString>
#include <QWheelEvent>

#include "foundation/Codec.h"
#include "foundation/QX_Error.h"

namespace gm {

namespace {

QString DisplayText(const std::string& message) {
    return QString::fromStdU16String(AnsiToWideQX(message));
}

} // namespace

Panel3DWidget::Panel3DWidget(QWidget* parent, GlDevice::ShaderPath path)
    : QOpenGLWidget(parent), Device_(path) {
    setObjectName(QStringLiteral("Panel3D"));
    setMinimumSize(MinWidth, MinHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    QSurfaceFormat format = QSurfaceFormat::defaultFormat();
    format.setDepthBufferSize(24);
    setFormat(format);
    // The "Coord:" label follows the cursor even when no button is held.
    setMouseTracking(true);
}

Panel3DWidget::~Panel3DWidget() {
    // The base class destroys the context after this object is gone: no call back into it.
    if (context()) disconnect(context(), nullptr, this, nullptr);
    ReleaseDevice();
}

void Panel3DWidget::SetPaintCallback(PaintCallback callback) {
    Paint_ = std::move(callback);
}

void Panel3DWidget::SetMouseCallback(MouseCallback callback) {
    Mouse_ = std::move(callback);
}

void Panel3DWidget::SetDragging(bool dragging) {
    if (dragging == Dragging_) return;
    Dragging_ = dragging;
    if (dragging) {
        setCursor(Qt::SizeAllCursor);
        grabMouse();
    } else {
        unsetCursor();
        releaseMouse();
    }
}

void Panel3DWidget::SendMouse(MouseAction action, QMouseEvent* event) {
    event->accept();
    if (!Mouse_) return;
    PanelMouse m;
    switch (event->button()) {
    case Qt::LeftButton:
        m.Button = PanelButton::Left;
        break;
    case Qt::RightButton:
        m.Button = PanelButton::Right;
        break;
    case Qt::MiddleButton:
        m.Button = PanelButton::Middle;
        break;
    default:
        break;
    }
    const QPointF pos = event->position();
    m.X = static_cast<int>(std::floor(pos.x()));
    m.Y = static_cast<int>(std::floor(pos.y()));
    m.LeftHeld = event->buttons().testFlag(Qt::LeftButton);
    m.RightHeld = event->buttons().testFlag(Qt::RightButton);
    m.Shift = event->modifiers().testFlag(Qt::ShiftModifier);
    m.Ctrl = event->modifiers().testFlag(Qt::ControlModifier);
    Mouse_(action, m);
}

void Panel3DWidget::mousePressEvent(QMouseEvent* event) {
    // Keys go to the panel again once the designer clicks into it.
    if (QWidget* focus = window()->focusWidget()) focus->clearFocus();
    SendMouse(MouseAction::Down, event);
}

void Panel3DWidget::mouseMoveEvent(QMouseEvent* event) {
    SendMouse(MouseAction::Move, event);
}

void Panel3DWidget::mouseReleaseEvent(QMouseEvent* event) {
    SendMouse(MouseAction::Up, event);
}

void Panel3DWidget::resizeEvent(QResizeEvent* event) {
    QOpenGLWidget::resizeEvent(event);
    // Not from resizeGL: that runs only once the context exists, and the owner needs the size
    // before the first frame too.
    emit panelResized(width(), height());
}

void Panel3DWidget::wheelEvent(QWheelEvent* event) {
    event->accept();
    // 120 eighths of a degree make one notch; touchpads send less at a time.
    WheelRest_ += event->angleDelta().y();
    const int notches = WheelRest_ / 120;
    WheelRest_ -= notches * 120;
    if (notches != 0) emit wheelTurned(notches);
}

std::string Panel3DWidget::TakeFrameError() {
    return std::exchange(FrameError_, std::string());
}

void Panel3DWidget::ReleaseDevice() {
    if (!Device_.Created()) return;
    // The device's objects live in the widget's context; free them while it still exists.
    makeCurrent();
    Device_.Release();
    doneCurrent();
}

void Panel3DWidget::initializeGL() {
    // A new context (the widget moved to another window) replaces the old one: release first.
    if (context())
        connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &Panel3DWidget::ReleaseDevice,
                Qt::UniqueConnection);
    DeviceError_.clear();
    try {
        Device_.Create(PanelWidth, PanelHeight);
    } catch (const ErrorQX& e) {
        DeviceError_ = e.Message();
    } catch (const std::exception& e) {
        DeviceError_ = std::string("CreateDevice. ") + e.what();
    } catch (...) {
        DeviceError_ = "CreateDevice";
    }
    if (DeviceError_.empty())
        emit deviceCreated();
    else
        emit deviceFailed(DisplayText(DeviceError_));
}

void Panel3DWidget::paintGL() {
    if (!Device_.Created()) {
        // No device: the panel stays black and nothing is drawn.
        context()->functions()->glClearColor(0, 0, 0, 1);
        context()->functions()->glClear(GL_COLOR_BUFFER_BIT);
        return;
    }
    const qreal ratio = devicePixelRatioF();
    Device_.SetLogicalSize(width(), height());
    Device_.SetPixelSize(int(std::lround(width() * ratio)), int(std::lround(height() * ratio)));
    if (!Paint_) return;
    std::string error;
    try {
        Paint_(Device_);
    } catch (const ErrorQX& e) {
        error = e.Message();
    } catch (const std::exception& e) {
        error = e.what();
    } catch (...) {
        error = "Unknown error while drawing the panel";
    }
    if (error.empty()) return;
    // A frame that failed half-way leaves no scene open for the next one.
    Device_.EndScene();
    FrameError_ = error;
    emit frameFailed(DisplayText(error));
}

} // namespace gm
