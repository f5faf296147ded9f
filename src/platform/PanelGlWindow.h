#pragma once
// The 3D panel's own native window. Frames are drawn and swapped here, so a frame never makes Qt
// compose and flush the main window around it (which then keeps a plain raster backing store).
// The window takes no keyboard focus: keys stay with the main window, where the panel's key
// handling listens. Everything it receives goes to its host, the panel widget.

#include <QWindow>

class QMouseEvent;
class QWheelEvent;

namespace gm {

class PanelGlHost {
public:
    virtual ~PanelGlHost() = default;
    // The window is visible and wants its pixels (shown, uncovered, resized, or asked to).
    virtual void GlDraw() = 0;
    virtual void GlMouse(QEvent::Type type, QMouseEvent* event) = 0;
    virtual void GlWheel(QWheelEvent* event) = 0;
    // A drag and drop over the panel (a world file dropped on it).
    virtual void GlDrop(QEvent* event) = 0;
};

class PanelGlWindow : public QWindow {
public:
    explicit PanelGlWindow(PanelGlHost* host);

    // Cut before the host goes: nothing reaches it afterwards.
    void Detach() noexcept { Host_ = nullptr; }

protected:
    bool event(QEvent* event) override;
    void exposeEvent(QExposeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    PanelGlHost* Host_;
};

} // namespace gm
