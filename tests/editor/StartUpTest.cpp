// A start from a folder without "bg.jpg" and with a unit whose texture is missing: the window comes
// up and draws, and the failures are shown afterwards in one real message box, never from inside
// the window's show or its first paint (a modal box there crashed the editor).

#include "editor/Form_Main.h"

#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "foundation/Codec.h"
#include "platform/Panel3DWidget.h"
#include "support/TempDir.h"
#include "world/UnitLoad.h"

namespace gm {
namespace {

using StartUpTest = test::TempDirTest;

TEST_F(StartUpTest, MissingBackgroundAndTextureAreReportedOnceTheWindowIsUp) {
    if (QGuiApplication::platformName() == "offscreen") GTEST_SKIP() << "needs a display";
    MemorySettingsStore store;
    TFormMain form(store, AnsiToWideQX(Dir.Path().string()),
                   SettingsDefaults::Bundled(u"/nowhere"));
    const std::string units = GM_SOURCE_DIR "/tests/data/units";
    const UnitLoadResult r =
        UnitLoadAtPick(form.Doc.Units, AnsiToWideQX(units), AnsiToWideQX(units + "/Sub/Pair.TXT"),
                       TSpherePick{true, 45, 45});
    ASSERT_EQ(r.Status, UnitLoadResult::Outcome::Placed) << r.Reason;

    // Answers every box as a user would, noting what the window looked like when it came.
    struct Box {
        QString Text;
        bool WindowShown = false;
        bool DeviceReady = false;
    };
    std::vector<Box> boxes;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            boxes.push_back({box->text(), form.isVisible(), form.Panel3D->DeviceReady()});
            box->accept();
        }
    });
    answer.start(50);

    form.showMaximized(); // as main() shows it
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.empty(); }, 5000));
    QTest::qWait(300);
    ASSERT_EQ(boxes.size(), 1u) << "one box for all start-up messages";
    EXPECT_TRUE(boxes[0].WindowShown);
    EXPECT_TRUE(boxes[0].DeviceReady);
    const QString bg = QString::fromStdString((Dir.Path() / "bg.jpg").string());
    EXPECT_TRUE(boxes[0].Text.contains("TgmTex.LoadFile. Error load file:" + bg))
        << boxes[0].Text.toStdString();
    EXPECT_TRUE(boxes[0].Text.contains("Error load file:stone.png")) << boxes[0].Text.toStdString();
    EXPECT_TRUE(form.PendingMessages().empty());

    // The window went on drawing: the grid's white lines are in the panel.
    const QImage frame = form.Panel3D->grabFramebuffer();
    int white = 0;
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x)
            if (qGray(frame.pixel(x, y)) > 200) ++white;
    EXPECT_GT(white, 100);
}

} // namespace
} // namespace gm
