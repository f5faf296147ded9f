#include <cmath>
#include <string>
#include <vector>

#include <QImage>
#include <QString>

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

} // namespace
} // namespace gm
