#pragma once
// The 3D panel: a widget that follows its layout's size (down to MinWidth x MinHeight) and holds
// a native OpenGL window of its own, so drawing a frame touches only the panel's pixels. It owns
// the context and the graphics device and runs the frame's drawing steps through the paint
// callback. Failures never leave Qt's event handlers: a device that cannot be created is reported
// through deviceFailed (the panel then draws nothing), and an error raised by the paint callback
// through frameFailed and TakeFrameError. Mouse events (sent to the widget or to its window) go
// out as plain data to the mouse callback; the owner says when a drag runs (cursor and grab).

#include <functional>
#include <memory>
#include <string>

#include <QImage>
#include <QWidget>

#include "editing/PanelInput.h"
#include "platform/GlDevice.h"
#include "platform/PanelGlWindow.h"

class QOpenGLContext;

namespace gm {

class Panel3DWidget : public QWidget, private PanelGlHost {
    Q_OBJECT

public:
    // The size it asks for, and the smallest it allows, in logical pixels.
    static constexpr int PanelWidth = 800;
    static constexpr int PanelHeight = 600;
    static constexpr int MinWidth = 320;
    static constexpr int MinHeight = 240;
    QSize sizeHint() const override { return {PanelWidth, PanelHeight}; }

    // Runs for each frame with the device ready and its context current.
    using PaintCallback = std::function<void(Device&)>;

    explicit Panel3DWidget(QWidget* parent = nullptr,
                           GlDevice::ShaderPath path = GlDevice::ShaderPath::Auto);
    ~Panel3DWidget() override;

    void SetPaintCallback(PaintCallback callback);

    enum class MouseAction { Down, Move, Up };
    // Runs for every press, move (with or without buttons) and release over the panel.
    using MouseCallback = std::function<void(MouseAction, const PanelMouse&)>;
    void SetMouseCallback(MouseCallback callback);
    // While a drag runs the panel shows the four-way cursor and keeps the mouse to itself.
    void SetDragging(bool dragging);
    bool Dragging() const noexcept { return Dragging_; }

    // The device, for textures and for the scene; it draws only while DeviceReady().
    GlDevice& GetDevice() noexcept { return Device_; }
    bool DeviceReady() const noexcept { return Device_.Created(); }
    // Why the device could not be created; empty when it was.
    const std::string& DeviceError() const noexcept { return DeviceError_; }
    // The message of the last paint that raised an error, once; empty when there was none.
    std::string TakeFrameError();

    // Asks for a frame soon (from the event loop).
    void RequestFrame();
    // Draws a frame now, if the panel is on screen.
    void DrawFrame();
    // Draws a frame off screen at the panel's size in device pixels and returns it (creating the
    // device first if need be, even before the panel was ever shown).
    QImage grabFramebuffer();
    // The native window the frames go to.
    QWindow* FrameWindow() const noexcept { return GlWindow_; }

signals:
    void deviceCreated();
    // message: the error's 8-bit text converted for display
    void deviceFailed(const QString& message);
    void frameFailed(const QString& message);
    // The logical size changed (the camera's projection and 2D overlays follow it).
    void panelResized(int width, int height);
    // One notch of the mouse wheel: positive away from the user.
    void wheelTurned(int notches);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void GlDraw() override;
    void GlMouse(QEvent::Type type, QMouseEvent* event) override;
    void GlWheel(QWheelEvent* event) override;
    void GlDrop(QEvent* event) override;

    // Makes the context current on the panel's window, creating the context and the device the
    // first time; false when there is no context to draw with.
    bool MakeCurrent();
    void CreateDevice();
    // Runs the paint callback into the framebuffer now bound, at the panel's size.
    void Paint(qreal ratio);
    void ReleaseDevice();
    void SendMouse(MouseAction action, QMouseEvent* event);
    void Wheel(int angleDelta);

    PanelGlWindow* GlWindow_ = nullptr; // owned by Container_
    QWidget* Container_ = nullptr;
    std::unique_ptr<QOpenGLContext> Context_;
    bool ContextFailed_ = false;
    bool Painting_ = false;
    GlDevice Device_;
    PaintCallback Paint_;
    MouseCallback Mouse_;
    bool Dragging_ = false;
    int WheelRest_ = 0; // eighths of a degree not yet a whole notch (smooth-scrolling wheels)
    std::string DeviceError_;
    std::string FrameError_;
};

} // namespace gm
