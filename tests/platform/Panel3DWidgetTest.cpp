#include <cmath>
#include <string>
#include <vector>

#include <QApplication>
#include <QDragEnterEvent>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QString>
#include <QTest>
#include <QUrl>
#include <QWheelEvent>
#include <QWindow>

#include <gtest/gtest.h>

#include "foundation/QX_Error.h"
#include "platform/GlTestSupport.h"
#include "platform/Panel3DWidget.h"

namespace gm {
namespace {

TEST(Panel3DWidget, RunsThePaintCallbackOnItsDevice) {
    Panel3DWidget panel;
    int created = 0;
    std::vector<QString> failures;
    QObject::connect(&panel, &Panel3DWidget::deviceCreated, [&] { ++created; });
    QObject::connect(&panel, &Panel3DWidget::deviceFailed,
                     [&](const QString& m) { failures.push_back(m); });
    int paints = 0;
    panel.SetPaintCallback([&](Device& dev) {
        ++paints;
        EXPECT_EQ(&dev, &panel.GetDevice());
        test::BeginFrame(dev, 0xFF0000FFu);
        test::Quad(dev, 100, 100, 200, 200, 0.5f, 0xFFFF0000u);
        test::EndFrame(dev);
    });
    std::vector<QSize> sizes;
    QObject::connect(&panel, &Panel3DWidget::panelResized,
                     [&](int w, int h) { sizes.emplace_back(w, h); });
    panel.resize(panel.sizeHint());
    EXPECT_EQ(panel.size(), QSize(800, 600));

    const QImage image = panel.grabFramebuffer();
    ASSERT_TRUE(failures.empty()) << failures.front().toStdString();
    EXPECT_EQ(created, 1);
    ASSERT_TRUE(panel.DeviceReady()) << panel.DeviceError();
    EXPECT_GE(paints, 1);
    EXPECT_EQ(panel.GetDevice().Width(), 800);
    EXPECT_EQ(panel.GetDevice().Height(), 600);
    const double ratio = panel.devicePixelRatioF();
    ASSERT_EQ(image.width(), int(800 * ratio));
    EXPECT_EQ(test::At(image, int(150 * ratio), int(150 * ratio)), 0xFFFF0000u);
    EXPECT_EQ(test::At(image, int(50 * ratio), int(50 * ratio)), 0xFF0000FFu);

    // Another size: the owner hears of it in logical pixels and the device draws at it.
    panel.show();
    panel.resize(333, 251);
    const QImage small = panel.grabFramebuffer();
    ASSERT_FALSE(sizes.empty());
    EXPECT_EQ(sizes.back(), QSize(333, 251));
    EXPECT_EQ(panel.GetDevice().Width(), 333);
    EXPECT_EQ(panel.GetDevice().Height(), 251);
    EXPECT_EQ(small.width(), int(std::lround(333 * ratio)));
    EXPECT_EQ(test::At(small, int(150 * ratio), int(150 * ratio)), 0xFFFF0000u);
    panel.resize(100, 100);
    EXPECT_EQ(panel.size(), QSize(320, 240)) << "the smallest panel";
}

// An error raised while painting stays inside the widget: it is signalled and kept for the caller
// once, the scene it left open is closed, and the next paint works.
TEST(Panel3DWidget, ReportsAFailedFrameAndRecovers) {
    Panel3DWidget panel;
    std::vector<QString> failures;
    QObject::connect(&panel, &Panel3DWidget::frameFailed,
                     [&](const QString& m) { failures.push_back(m); });
    bool fail = true;
    panel.SetPaintCallback([&](Device& dev) {
        test::BeginFrame(dev, 0xFF00FF00u);
        if (fail) RaiseQX("TgmObj3D EndScene");
        test::EndFrame(dev);
    });
    panel.grabFramebuffer();
    ASSERT_TRUE(panel.DeviceReady()) << panel.DeviceError();
    ASSERT_FALSE(failures.empty());
    EXPECT_EQ(failures.back(), QStringLiteral("TgmObj3D EndScene"));
    EXPECT_EQ(panel.TakeFrameError(), "TgmObj3D EndScene");
    EXPECT_EQ(panel.TakeFrameError(), "");

    fail = false;
    failures.clear();
    const QImage image = panel.grabFramebuffer();
    EXPECT_TRUE(failures.empty());
    EXPECT_EQ(test::At(image, 10, 10), 0xFF00FF00u);
}

// The frames go to the panel's own native window; the window around it keeps a plain raster
// surface, which Qt would switch to OpenGL (recomposing the whole window every frame) for an
// OpenGL widget inside it.
TEST(Panel3DWidget, DrawsIntoItsOwnWindowBesideRasterWidgets) {
    QWidget top;
    auto* layout = new QHBoxLayout(&top);
    layout->addWidget(new QLabel(QStringLiteral("pages")));
    auto* panel = new Panel3DWidget;
    layout->addWidget(panel);
    int paints = 0;
    panel->SetPaintCallback([&](Device& dev) {
        ++paints;
        test::BeginFrame(dev, 0xFF0000FFu);
        test::EndFrame(dev);
    });
    top.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel->FrameWindow()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel->DeviceReady(); }, 5000))
        << panel->DeviceError();
    const int before = paints;
    for (int i = 0; i < 3; ++i)
        panel->DrawFrame();
    EXPECT_EQ(paints, before + 3);
    EXPECT_EQ(top.windowHandle()->surfaceType(), QSurface::RasterSurface);
    EXPECT_EQ(panel->FrameWindow()->parent(), top.windowHandle());
    EXPECT_EQ(panel->FrameWindow()->size(), panel->size());
}

// Mouse input arrives at the panel's window: it reaches the same callbacks as input sent to the
// widget, in the panel's pixels, and a drag's cursor is shown over the window. Files dragged over
// it are the main window's to take.
TEST(Panel3DWidget, InputToItsWindowReachesTheCallbacks) {
    struct DropTarget : QWidget {
        int Enters = 0, Moves = 0, Drops = 0;
        void dragEnterEvent(QDragEnterEvent* event) override {
            ++Enters;
            event->acceptProposedAction();
        }
        void dragMoveEvent(QDragMoveEvent* event) override {
            ++Moves;
            event->acceptProposedAction();
        }
        void dropEvent(QDropEvent* event) override {
            ++Drops;
            event->acceptProposedAction();
        }
    } top;
    top.setAcceptDrops(true);
    Panel3DWidget& panel = *new Panel3DWidget(&top);
    struct Seen {
        Panel3DWidget::MouseAction Action;
        PanelMouse Mouse;
    };
    std::vector<Seen> seen;
    panel.SetMouseCallback([&](Panel3DWidget::MouseAction a, const PanelMouse& m) {
        seen.push_back({a, m});
    });
    std::vector<int> notches;
    QObject::connect(&panel, &Panel3DWidget::wheelTurned, [&](int n) { notches.push_back(n); });
    QWindow* window = panel.FrameWindow();
    const auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButton button,
                          Qt::MouseButtons held, Qt::KeyboardModifiers modifiers) {
        QMouseEvent event(type, at, window->mapToGlobal(at), button, held, modifiers);
        QApplication::sendEvent(window, &event);
    };
    send(QEvent::MouseButtonPress, {30, 40}, Qt::RightButton, Qt::RightButton, Qt::ShiftModifier);
    send(QEvent::MouseMove, {55, 66}, Qt::NoButton, Qt::RightButton, {});
    send(QEvent::MouseButtonRelease, {-5, 70}, Qt::RightButton, Qt::NoButton, {});
    const struct {
        Panel3DWidget::MouseAction Action;
        PanelButton Button;
        int X, Y;
        bool RightHeld, Shift;
    } want[] = {
        {Panel3DWidget::MouseAction::Down, PanelButton::Right, 30, 40, true, true},
        {Panel3DWidget::MouseAction::Move, PanelButton::None, 55, 66, true, false},
        {Panel3DWidget::MouseAction::Up, PanelButton::Right, -5, 70, false, false},
    };
    ASSERT_EQ(seen.size(), std::size(want));
    for (size_t i = 0; i < seen.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(seen[i].Action, want[i].Action);
        EXPECT_EQ(seen[i].Mouse.Button, want[i].Button);
        EXPECT_EQ(seen[i].Mouse.X, want[i].X);
        EXPECT_EQ(seen[i].Mouse.Y, want[i].Y);
        EXPECT_EQ(seen[i].Mouse.RightHeld, want[i].RightHeld);
        EXPECT_EQ(seen[i].Mouse.Shift, want[i].Shift);
    }

    // Two notches sent in three parts: whole notches only, the rest kept.
    for (int delta : {100, 100, 40}) {
        QWheelEvent wheel(QPointF(10, 10), window->mapToGlobal(QPointF(10, 10)), {},
                          QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(window, &wheel);
    }
    EXPECT_EQ(notches, (std::vector<int>{1, 1}));

    panel.SetDragging(true);
    EXPECT_EQ(window->cursor().shape(), Qt::SizeAllCursor);
    panel.SetDragging(false);
    EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);

    // A drag over the panel, as the main window's own window routes it (to the widget under the
    // cursor, then up to the first that takes drops), and as a platform may send it to the
    // panel's window directly.
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(QStringLiteral("/worlds/a.raw"))});
    QWidget* under = panel.childAt(5, 5);
    ASSERT_NE(under, nullptr);
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &files, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(under, &enter);
    QDragMoveEvent move(QPoint(6, 6), Qt::CopyAction, &files, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(under, &move);
    QDropEvent drop(QPointF(6, 6), Qt::CopyAction, &files, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(under, &drop);
    EXPECT_EQ(top.Enters, 1);
    EXPECT_EQ(top.Moves, 1);
    EXPECT_EQ(top.Drops, 1);
    EXPECT_TRUE(drop.isAccepted());
    QDragEnterEvent direct(QPoint(5, 5), Qt::CopyAction, &files, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(window, &direct);
    EXPECT_EQ(top.Enters, 2);
    EXPECT_TRUE(direct.isAccepted());
}

} // namespace
} // namespace gm
