#include "platform/Panel3DWidget.h"

#include <cmath>
#include <exception>
#include <utility>

#include <QCoreApplication>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
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
    : QWidget(parent), Device_(path) {
    setObjectName(QStringLiteral("Panel3D"));
    setMinimumSize(MinWidth, MinHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    // The window covers the widget: nothing of the widget itself is ever drawn.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    // The "Coord:" label follows the cursor even when no button is held.
    setMouseTracking(true);
    GlWindow_ = new PanelGlWindow(this);
    QSurfaceFormat format = QSurfaceFormat::defaultFormat();
    format.setDepthBufferSize(24);
    GlWindow_->setFormat(format);
    Container_ = QWidget::createWindowContainer(GlWindow_, this);
    Container_->setObjectName(QStringLiteral("Panel3DWindow"));
    Container_->setFocusPolicy(Qt::NoFocus);
    // Files dragged over the panel are the main window's: the container would take them for the
    // window inside it, which hands them back up (GlDrop), round and round.
    Container_->setAcceptDrops(false);
    Container_->setGeometry(rect());
}

Panel3DWidget::~Panel3DWidget() {
    GlWindow_->Detach();
    ReleaseDevice();
    delete Container_; // and the window with it, before the context
    Context_.reset();
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
    // The pointer is over the panel's own window: the cursor and the grab are set there too.
    if (dragging) {
        setCursor(Qt::SizeAllCursor);
        GlWindow_->setCursor(Qt::SizeAllCursor);
        GlWindow_->setMouseGrabEnabled(true);
    } else {
        unsetCursor();
        GlWindow_->unsetCursor();
        GlWindow_->setMouseGrabEnabled(false);
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

void Panel3DWidget::GlMouse(QEvent::Type type, QMouseEvent* event) {
    // The window lies at the widget's origin: its positions are the panel's.
    switch (type) {
    case QEvent::MouseButtonPress:
        mousePressEvent(event);
        break;
    case QEvent::MouseButtonRelease:
        mouseReleaseEvent(event);
        break;
    default:
        mouseMoveEvent(event);
        break;
    }
}

void Panel3DWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Container_->setGeometry(rect());
    emit panelResized(width(), height());
}

void Panel3DWidget::wheelEvent(QWheelEvent* event) {
    event->accept();
    Wheel(event->angleDelta().y());
}

void Panel3DWidget::GlWheel(QWheelEvent* event) {
    event->accept();
    Wheel(event->angleDelta().y());
}

void Panel3DWidget::GlDrop(QEvent* event) {
    // A drag that a platform hands to the panel's window itself: the main window decides, as over
    // any other part of it; it looks at what is dropped, not where.
    QCoreApplication::sendEvent(window(), event);
}

void Panel3DWidget::Wheel(int angleDelta) {
    // 120 eighths of a degree make one notch; touchpads send less at a time.
    WheelRest_ += angleDelta;
    const int notches = WheelRest_ / 120;
    WheelRest_ -= notches * 120;
    if (notches != 0) emit wheelTurned(notches);
}

std::string Panel3DWidget::TakeFrameError() {
    return std::exchange(FrameError_, std::string());
}

bool Panel3DWidget::MakeCurrent() {
    if (ContextFailed_) return false;
    if (!Context_) {
        Context_ = std::make_unique<QOpenGLContext>();
        Context_->setFormat(GlWindow_->requestedFormat());
        if (!Context_->create()) {
            Context_.reset();
            ContextFailed_ = true;
            DeviceError_ = "CreateDevice. No OpenGL context could be created: check the graphics "
                           "driver's OpenGL support";
            emit deviceFailed(DisplayText(DeviceError_));
            return false;
        }
    }
    // A window not yet shown still gets its native surface, so a frame can be drawn off screen.
    GlWindow_->create();
    if (!Context_->makeCurrent(GlWindow_)) return false;
    if (!Device_.Created() && DeviceError_.empty()) CreateDevice();
    return true;
}

void Panel3DWidget::CreateDevice() {
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

void Panel3DWidget::ReleaseDevice() {
    if (!Device_.Created()) return;
    // The device's objects live in the panel's context: free them while it is current. A window
    // whose native surface is gone already leaves them to go with the context.
    const bool current = Context_ && GlWindow_->handle() && Context_->makeCurrent(GlWindow_);
    Device_.Release();
    if (current) Context_->doneCurrent();
}

void Panel3DWidget::RequestFrame() {
    GlWindow_->requestUpdate();
}

void Panel3DWidget::DrawFrame() {
    if (GlWindow_->isExposed()) GlDraw();
}

void Panel3DWidget::GlDraw() {
    // A frame asked for while one is drawn (an event handled inside the paint) is not nested.
    if (Painting_ || !MakeCurrent()) return;
    Context_->functions()->glBindFramebuffer(GL_FRAMEBUFFER, Context_->defaultFramebufferObject());
    Paint(GlWindow_->devicePixelRatio());
    Context_->swapBuffers(GlWindow_);
}

QImage Panel3DWidget::grabFramebuffer() {
    if (Painting_ || !MakeCurrent()) return {};
    const qreal ratio = devicePixelRatioF();
    const QSize pixels(int(std::lround(width() * ratio)), int(std::lround(height() * ratio)));
    QOpenGLFramebufferObject target(pixels, QOpenGLFramebufferObject::CombinedDepthStencil);
    if (!target.isValid() || !target.bind()) return {};
    Paint(ratio);
    // What the screen shows: the colour without its alpha.
    QImage image(pixels, QImage::Format_RGBX8888);
    QOpenGLFunctions* gl = Context_->functions();
    gl->glPixelStorei(GL_PACK_ALIGNMENT, 4);
    gl->glReadPixels(0, 0, pixels.width(), pixels.height(), GL_RGBA, GL_UNSIGNED_BYTE,
                     image.bits());
    target.release();
    image = image.mirrored().convertToFormat(QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    return image;
}

void Panel3DWidget::Paint(qreal ratio) {
    Painting_ = true;
    const struct Done {
        bool& Flag;
        ~Done() { Flag = false; }
    } done{Painting_};
    QOpenGLFunctions* gl = Context_->functions();
    if (!Device_.Created()) {
        // No device: the panel stays black and nothing is drawn.
        gl->glViewport(0, 0, int(std::lround(width() * ratio)), int(std::lround(height() * ratio)));
        gl->glClearColor(0, 0, 0, 1);
        gl->glClear(GL_COLOR_BUFFER_BIT);
        return;
    }
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
