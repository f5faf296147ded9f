#include "editor/Form_Main.h"

#include <QAction>
#include <QGuiApplication>
#include <QLabel>
#include <QStackedWidget>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

#include "editor/Form_About.h"
#include "editor/Form_SaveEnd.h"
#include "editor/Form_UnitPath.h"
#include "foundation/Codec.h"
#include "platform/Panel3DWidget.h"
#include "support/TempDir.h"
#include "zones/ZoneEdit.h"

namespace gm {
namespace {

class FormMainTest : public test::TempDirTest {
protected:
    FormMainTest() {
        Form.SetMessageSink([this](const std::string& text) { Messages.push_back(text); });
    }
    MemorySettingsStore Store;
    TFormMain Form{Store, AnsiToWideQX(Dir.Path().string()),
                   SettingsDefaults::Bundled(AnsiToWideQX(GM_SOURCE_DIR))};
    std::vector<std::string> Messages;
};

TEST_F(FormMainTest, StartsWithTheFixedPanelGridAndCaption) {
    EXPECT_EQ(Form.windowTitle(), "Skyhaul Gridmoor v0.3");
    EXPECT_EQ(Form.Panel3D->size(), QSize(800, 600));
    EXPECT_EQ(Form.Panel3D->minimumSize(), Form.Panel3D->maximumSize());
    EXPECT_TRUE(Form.MM_View_WorldLine->isChecked());
    EXPECT_FALSE(Form.MM_View_Background->isChecked());
    EXPECT_EQ(Form.Doc.WorldLines.Lines().Size(), 1376u);
    EXPECT_EQ(Form.NotebookAction->count(), 4);
    EXPECT_EQ(Form.NotebookAction->currentWidget()->objectName(), "Main");
    EXPECT_EQ(Form.LabelFPS->objectName(), "LabelFPS");
}

TEST_F(FormMainTest, WorldLineItemFreesAndRebuildsTheGrid) {
    Form.MM_View_WorldLine->trigger();
    EXPECT_FALSE(Form.Flags.WorldLine);
    EXPECT_EQ(Form.Doc.WorldLines.Lines().Size(), 0u);
    Form.Opts.WLCount = 8;
    Form.MM_View_WorldLine->trigger();
    EXPECT_EQ(Form.Doc.WorldLines.Lines().Size(), 56u); // rebuilt with the current count
}

TEST_F(FormMainTest, CaptionFollowsTheWorldFileName) {
    const std::string path = Dir.File("desert.raw");
    Form.Doc.WorldSaveAs(AnsiToWideQX(path));
    Form.OpenAtStart(AnsiToWideQX(path));
    EXPECT_TRUE(Messages.empty());
    EXPECT_EQ(Form.windowTitle(), "Skyhaul Gridmoor v0.3 [desert]");
    Form.DocState.MarkModified();
    EXPECT_EQ(Form.windowTitle(), "Skyhaul Gridmoor v0.3 [desert] *");
    Form.DocState.MarkClean();
    Form.OpenAtStart(AnsiToWideQX(Dir.File("missing.raw")));
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0], "Error : TFileQX.Open. FileName=" + Dir.File("missing.raw"));
    EXPECT_EQ(Form.windowTitle(), "Skyhaul Gridmoor v0.3");
    EXPECT_EQ(Form.Doc.WorldLines.Lines().Size(), 1376u); // the grid is rebuilt after the open
}

} // namespace
} // namespace gm

namespace gm {
namespace {

// The whole window on a real display: the grid is drawn from the orbiting camera. Set
// GM_SCREENSHOT_DIR to keep a picture of the window for a look by eye.
TEST_F(FormMainTest, ShownWindowDrawsTheGrid) {
    if (QGuiApplication::platformName() == "offscreen") GTEST_SKIP() << "needs a display";
    // Textures load when the device appears, so the background picture can arrive until then.
    std::filesystem::copy_file(std::filesystem::path(GM_SOURCE_DIR) / "examples" / "bg.jpg",
                               Dir.Path() / "bg.jpg");
    Form.show();
    Form.activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Form.Panel3D->DeviceReady(); }, 5000))
        << Form.Panel3D->DeviceError();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return QGuiApplication::applicationState() == Qt::ApplicationActive; }, 5000));
    QTest::qWait(300); // a dozen ticks
    const QImage frame = Form.Panel3D->grabFramebuffer();
    ASSERT_EQ(frame.size(), QSize(800, 600) * Form.Panel3D->devicePixelRatio());
    // Grid lines in front are bright; the corners outside the sphere stay black.
    int bright = 0;
    for (int y = 0; y < frame.height(); y += 2)
        for (int x = 0; x < frame.width(); x += 2)
            if (qGray(frame.pixel(x, y)) > 100) ++bright;
    EXPECT_GT(bright, 500);
    EXPECT_EQ(qGray(frame.pixel(2, 2)), 0);
    for (const std::string& m : Messages)
        ADD_FAILURE() << m;
    if (const char* dir = std::getenv("GM_SCREENSHOT_DIR")) {
        Form.grab().save(QString(dir) + "/gridmoor-main.png");
        // The zone page and the dialogs, for a look at their layout.
        ZoneCreateAt(Form.Doc, Form.Flags, 45, 45);
        Form.PanelRefresh();
        Form.NotebookAction->grab().save(QString(dir) + "/gridmoor-zone-page.png");
        Form.FormAbout().show();
        Form.FormAbout().grab().save(QString(dir) + "/gridmoor-about.png");
        Form.FormAbout().hide();
        Form.FormSaveEnd().show();
        Form.FormSaveEnd().grab().save(QString(dir) + "/gridmoor-save-end.png");
        Form.FormSaveEnd().hide();
        Form.Doc.Units.UnitAdd()->DescPath = u"ships\\a.txt";
        Form.Doc.Units.UnitAdd()->DescPath = u"towers\\b.txt";
        Form.FormUnitPath().show();
        Form.FormUnitPath().grab().save(QString(dir) + "/gridmoor-unit-path.png");
        Form.FormUnitPath().hide();
    }
}

} // namespace
} // namespace gm
