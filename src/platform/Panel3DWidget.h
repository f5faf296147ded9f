#pragma once
// The 3D panel: an OpenGL widget that follows its layout's size (down to MinWidth x MinHeight),
// owns the graphics device and runs the frame's drawing steps inside paintGL. Failures never leave
// Qt's event handlers: a device that cannot be created is reported through deviceFailed (the panel
// then draws nothing), and an error raised by the paint callback through frameFailed and
// TakeFrameError. Mouse events go out as plain data to the mouse callback; the owner says when a
// drag runs (cursor and mouse grab).

#include <functional>
#include <string>

#include <QOpenGLWidget>

#include "editing/PanelInput.h"
#include "platform/GlDevice.h"

namespace gm {

class Panel3DWidget : public QOpenGLWidget {
    Q_OBJECT

public:
    // The size it asks for, and the smallest it allows, in logical pixels.
    static constexpr int PanelWidth = 800;
    static constexpr int PanelHeight = 600;
    static constexpr int MinWidth = 320;
    static constexpr int MinHeight = 240;
    QSize sizeHint() const override { return {PanelWidth, PanelHeight}; }

    // Runs inside paintGL with the device ready and its context current.
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
    void initializeGL() override;
    void paintGL() override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void ReleaseDevice();
    void SendMouse(MouseAction action, QMouseEvent* event);

    GlDevice Device_;
    PaintCallback Paint_;
    MouseCallback Mouse_;
    bool Dragging_ = false;
    int WheelRest_ = 0; // eighths of a degree not yet a whole notch (smooth-scrolling wheels)
    std::string DeviceError_;
    std::string FrameError_;
};

} // namespace gm
