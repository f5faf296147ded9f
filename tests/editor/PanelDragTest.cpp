// The 3D panel driven by real Qt mouse and key events in the main window, on the demo world.

#include "editor/Form_Main.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStackedWidget>
#include <QTest>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>

#include "editing/PanelPick.h"
#include "foundation/Codec.h"
#include "platform/Panel3DWidget.h"
#include "render/GR_DirectX.h"
#include "render/VOper.h"
#include "support/TempDir.h"
#include "zones/WorldZone.h"

namespace gm {
namespace {

class PanelDragTest : public ::testing::Test {
protected:
    PanelDragTest() {
        Form.SetMessageSink([this](const std::string& text) { Messages.push_back(text); });
    }

    // The window shown and active, a few frames drawn (they project the lists for picking).
    bool ShowAndSettle() {
        Form.show();
        Form.activateWindow();
        if (!QTest::qWaitFor([&] { return Form.Panel3D->DeviceReady(); }, 5000)) return false;
        if (!QTest::qWaitFor(
                [&] { return QGuiApplication::applicationState() == Qt::ApplicationActive; }, 5000))
            return false;
        const uint64_t start = Form.Loop().AnimClock();
        return QTest::qWaitFor([&] { return Form.Loop().AnimClock() > start + 100; }, 5000);
    }
    QPoint PixelOf(const TVec3& pos) const {
        const TVec3 q = Form.Cam.ProjectToScreen(pos);
        return {static_cast<int>(std::lround(q.x)), static_cast<int>(std::lround(q.y))};
    }

    // Makes current a unit that shows one of its triangles or lines where its centre lies on the
    // sphere (the centre itself may float above the ground, as a tower's does); nullptr if none.
    TgmWorldUnit* SelectPickableUnit(QPoint& at) {
        for (TgmWorldUnit* u : Form.Doc.Units.List()) {
            float lon = 0, polar = 0;
            VecToSphere(Form.Doc.Units.CalcCentre(u), lon, polar);
            at = PixelOf(
                SphereToVec(DegToRadSigned(lon), DegToRadSigned(polar), Form.Doc.WorldRadius));
            if (PickUnit(Form.Doc, Form.Cam, at.x(), at.y()) != u) continue;
            // Clicks cycle through what lies there until the unit is the current one.
            for (int i = 0; i < 4 && Form.Doc.Units.UnitCurrent() != u; ++i)
                QTest::mouseClick(Form.Panel3D, Qt::LeftButton, {}, at);
            return Form.Doc.Units.UnitCurrent() == u ? u : nullptr;
        }
        return nullptr;
    }
    // The name the Edit menu gives a unit: its description's file name.
    static std::string NameOf(const TgmWorldUnit* unit) {
        const std::u16string& path = unit->DescPath;
        return QString::fromStdU16String(path.substr(path.find_last_of(u"\\/") + 1)).toStdString();
    }
    std::string Bytes() {
        TBufQX buf;
        Form.Doc.WorldWrite(buf);
        return std::string(reinterpret_cast<const char*>(buf.Data),
                           static_cast<std::size_t>(buf.Len));
    }
    void DragTo(QPoint from, QPoint to, int steps) {
        for (int step = 1; step <= steps; ++step)
            QTest::mouseMove(Form.Panel3D, from + (to - from) * step / steps);
    }

    MemorySettingsStore Store;
    TFormMain Form{Store, AnsiToWideQX(GM_SOURCE_DIR "/examples"),
                   SettingsDefaults::Bundled(AnsiToWideQX(GM_SOURCE_DIR))};
    std::vector<std::string> Messages;
};

TEST_F(PanelDragTest, RightDragCarriesTheCurrentUnitsCentreToTheCursor) {
    if (QGuiApplication::platformName() == "offscreen") GTEST_SKIP() << "needs a display";
    Form.OpenAtStart(AnsiToWideQX(GM_SOURCE_DIR "/examples/worlds/demo.raw"));
    ASSERT_TRUE(Messages.empty()) << Messages.front();
    ASSERT_TRUE(ShowAndSettle());
    TBufQX opened;
    Form.Doc.WorldWrite(opened);
    const std::string openedBytes(reinterpret_cast<const char*>(opened.Data),
                                  static_cast<std::size_t>(opened.Len));

    QPoint from;
    TgmWorldUnit* unit = SelectPickableUnit(from);
    ASSERT_NE(unit, nullptr) << "no unit of the demo can be picked at its centre";
    EXPECT_EQ(Form.NotebookAction->currentWidget()->objectName(), "Unit");
    EXPECT_FALSE(Form.DocState.Modified());

    const QPoint to = from + QPoint(90, -60);
    const TSpherePick target = PanelPick(Form.Cam, Form.Doc.WorldRadius, to.x(), to.y());
    ASSERT_TRUE(target.Found);
    QTest::mousePress(Form.Panel3D, Qt::RightButton, {}, from);
    EXPECT_EQ(Form.Panel3D->cursor().shape(), Qt::SizeAllCursor);
    for (int step = 1; step <= 6; ++step)
        QTest::mouseMove(Form.Panel3D, from + (to - from) * step / 6);
    QTest::mouseRelease(Form.Panel3D, Qt::RightButton, {}, to);
    EXPECT_EQ(Form.Panel3D->cursor().shape(), Qt::ArrowCursor);
    EXPECT_FALSE(Form.Panel3D->Dragging());

    float lon = 0, polar = 0;
    VecToSphere(Form.Doc.Units.CalcCentre(unit), lon, polar);
    const TVec3 got = SphereToVec(DegToRadSigned(lon), DegToRadSigned(polar), 1000);
    const TVec3 want =
        SphereToVec(DegToRadSigned(target.Longitude), DegToRadSigned(target.Polar), 1000);
    // Within a few units (a pixel is about one and a half here), after a move of well over 100.
    EXPECT_LT(Vec3Length(Vec3Sub(got, want)), 5);
    EXPECT_EQ(Form.Doc.Units.UnitCurrent(), unit);
    EXPECT_TRUE(Form.DocState.Modified());
    EXPECT_TRUE(Form.windowTitle().endsWith(" *")) << Form.windowTitle().toStdString();
    char coord[64];
    std::snprintf(coord, sizeof coord, "%.2f,%.2f", target.Longitude, target.Polar);
    EXPECT_EQ(Form.LabelCoord->text(), coord);

    // The whole drag is one undo step, taken back by the Edit menu's key.
    EXPECT_EQ(Form.Commands().History().UndoCount(), 1u);
    EXPECT_EQ(Form.MM_Edit_Undo->text().toStdString(), "Undo Move unit " + NameOf(unit));
    QTest::keyClick(&Form, Qt::Key_Backspace, Qt::AltModifier);
    TBufQX undone;
    Form.Doc.WorldWrite(undone);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(undone.Data),
                          static_cast<std::size_t>(undone.Len)),
              openedBytes);
    EXPECT_FALSE(Form.DocState.Modified());
    ASSERT_NE(Form.Doc.Units.UnitCurrent(), nullptr); // the same place in the list, anew
    EXPECT_EQ(Form.NotebookAction->currentWidget()->objectName(), "Unit");
    EXPECT_TRUE(Messages.empty());
}

TEST_F(PanelDragTest, SaveOrAKeyDuringADragMakeStepsOfTheirOwn) {
    if (QGuiApplication::platformName() == "offscreen") GTEST_SKIP() << "needs a display";
    const test::TempDir dir;
    const std::string file = dir.File("mine.raw");
    std::filesystem::copy_file(GM_SOURCE_DIR "/examples/worlds/demo.raw", file);
    Form.OpenAtStart(AnsiToWideQX(file));
    ASSERT_TRUE(Messages.empty()) << Messages.front();
    ASSERT_TRUE(ShowAndSettle());
    const std::string opened = Bytes();
    QPoint from;
    ASSERT_NE(SelectPickableUnit(from), nullptr);
    const QPoint mid = from + QPoint(40, -30), to = from + QPoint(80, -60);

    // Saved with the button still held: the half-moved world is the saved state.
    QTest::mousePress(Form.Panel3D, Qt::RightButton, {}, from);
    DragTo(from, mid, 3);
    Form.Save1->trigger();
    const std::string halfway = Bytes();
    EXPECT_NE(halfway, opened);
    EXPECT_EQ(test::TempDir::Read(file), halfway);
    EXPECT_FALSE(Form.DocState.Modified());
    DragTo(mid, to, 3);
    QTest::mouseRelease(Form.Panel3D, Qt::RightButton, {}, to);
    EXPECT_TRUE(Form.DocState.Modified());
    QTest::keyClick(&Form, Qt::Key_Backspace, Qt::AltModifier);
    EXPECT_TRUE(Bytes() == halfway);
    EXPECT_FALSE(Form.DocState.Modified()); // closing now would rightly not ask
    QTest::keyClick(&Form, Qt::Key_Backspace, Qt::AltModifier);
    EXPECT_TRUE(Bytes() == opened);
    EXPECT_TRUE(Form.DocState.Modified());

    // Z with the button held: the zone is a step of its own after the drag's (the new zone is
    // current then, so the rest of the drag moves nothing).
    const TgmWorldUnit* unit = SelectPickableUnit(from);
    ASSERT_NE(unit, nullptr);
    const std::string moved = "Move unit " + NameOf(unit);
    QCursor::setPos(Form.Panel3D->mapToGlobal(mid));
    const std::size_t steps = Form.Commands().History().UndoCount();
    QTest::mousePress(Form.Panel3D, Qt::RightButton, {}, from);
    DragTo(from, mid, 3);
    QTest::keyClick(&Form, Qt::Key_Z);
    ASSERT_EQ(Form.Doc.Zones.ZoneCount(), 1);
    DragTo(mid, to, 3);
    QTest::mouseRelease(Form.Panel3D, Qt::RightButton, {}, to);
    EXPECT_EQ(Form.Commands().History().UndoCount(), steps + 2);
    for (const std::string& label : {std::string("Create zone 1"), moved}) {
        EXPECT_EQ(Form.Commands().History().UndoLabel(), label);
        QTest::keyClick(&Form, Qt::Key_Backspace, Qt::AltModifier);
    }
    EXPECT_TRUE(Bytes() == opened);
    EXPECT_TRUE(Messages.empty());
}

TEST_F(PanelDragTest, KeysReachThePanelUnlessAnEditBoxHasTheFocus) {
    if (QGuiApplication::platformName() == "offscreen") GTEST_SKIP() << "needs a display";
    ASSERT_TRUE(ShowAndSettle());
    // A click into the panel (here on empty space) takes the focus from any control.
    QTest::mouseClick(Form.Panel3D, Qt::LeftButton, {}, QPoint(20, 20));
    ASSERT_EQ(QApplication::focusWidget(), nullptr);
    const float lon = Form.Cam.CamLongitude;
    QTest::keyClick(&Form, Qt::Key_Left);
    EXPECT_FLOAT_EQ(Form.Cam.CamLongitude, Norm360(lon - 1));

    Form.EditMainWorldRadius->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Form.EditMainWorldRadius->hasFocus(); }, 2000));
    QTest::keyClick(Form.EditMainWorldRadius, Qt::Key_Left);
    QTest::keyClick(Form.EditMainWorldRadius, Qt::Key_PageUp);
    EXPECT_FLOAT_EQ(Form.Cam.CamLongitude, Norm360(lon - 1));

    QTest::mouseClick(Form.Panel3D, Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_FALSE(Form.EditMainWorldRadius->hasFocus());
    QTest::keyClick(&Form, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_FLOAT_EQ(Form.Cam.CamLongitude, Norm360(lon + 4));
    // Ctrl-W and Ctrl-P work the View menu's items: the check marks follow.
    QTest::keyClick(&Form, Qt::Key_W, Qt::ControlModifier);
    EXPECT_FALSE(Form.MM_View_WorldLine->isChecked());
    EXPECT_FALSE(Form.Flags.WorldLine);
    QTest::keyClick(&Form, Qt::Key_P, Qt::ControlModifier);
    EXPECT_TRUE(Form.MM_View_Point->isChecked());
    EXPECT_TRUE(Form.Flags.Point);

    // With zones hidden, Z still makes one under the mouse cursor and shows zones again.
    QTest::keyClick(&Form, Qt::Key_Z, Qt::ControlModifier);
    ASSERT_FALSE(Form.MM_View_Zone->isChecked());
    QCursor::setPos(Form.Panel3D->mapToGlobal(QPoint(400, 300)));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return Form.Panel3D->mapFromGlobal(QCursor::pos()) == QPoint(400, 300); }, 2000));
    // A frame shows the turned camera first: the cursor points at what was drawn last.
    const uint64_t shown = Form.Loop().AnimClock();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Form.Loop().AnimClock() > shown + 40; }, 2000));
    QTest::keyClick(&Form, Qt::Key_Z);
    ASSERT_EQ(Form.Doc.Zones.ZoneCount(), 1);
    const TgmZone* zone = Form.Doc.Zones.Zones().First();
    EXPECT_NEAR(zone->Longitude, Form.Cam.CamLongitude, 0.01);
    EXPECT_NEAR(zone->Polar, Form.Cam.CamPolar, 0.01);
    EXPECT_TRUE(Form.MM_View_Zone->isChecked());
    EXPECT_EQ(Form.NotebookAction->currentWidget()->objectName(), "Zone");
    EXPECT_TRUE(Form.DocState.Modified());

    // The Edit menu's keys pass the panel by: Alt+Backspace takes the zone back, Ctrl+Y brings it
    // again; the view switches above were no steps.
    EXPECT_EQ(Form.MM_Edit_Undo->text(), "Undo Create zone 1");
    QTest::keyClick(&Form, Qt::Key_Backspace, Qt::AltModifier);
    EXPECT_EQ(Form.Doc.Zones.ZoneCount(), 0);
    EXPECT_FALSE(Form.DocState.Modified());
    EXPECT_FALSE(Form.MM_Edit_Undo->isEnabled());
    QTest::keyClick(&Form, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(Form.Doc.Zones.ZoneCount(), 1);
    EXPECT_TRUE(Form.MM_View_Zone->isChecked());
}

TEST_F(PanelDragTest, TheKeyboardComesBackToThePanelAndHeldKeysMakeOneObject) {
    if (QGuiApplication::platformName() == "offscreen") GTEST_SKIP() << "needs a display";
    ASSERT_TRUE(ShowAndSettle());
    const float lon = Form.Cam.CamLongitude;
    // Esc in a page field, or a click on the grey area beside the panel (the selection stays).
    QWidget* beside = Form.findChild<QWidget*>("Panel3");
    ASSERT_NE(beside, nullptr);
    for (int way = 0; way < 2; ++way) {
        Form.EditMainWorldRadius->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([&] { return Form.EditMainWorldRadius->hasFocus(); }, 2000));
        if (way == 0)
            QTest::keyClick(Form.EditMainWorldRadius, Qt::Key_Escape);
        else
            QTest::mouseClick(beside, Qt::LeftButton, {}, QPoint(Form.Panel3D->width() + 5, 5));
        EXPECT_FALSE(Form.EditMainWorldRadius->hasFocus()) << way;
        QTest::keyClick(&Form, Qt::Key_Left);
    }
    EXPECT_FLOAT_EQ(Form.Cam.CamLongitude, Norm360(lon - 2));

    // Ctrl+Z hides the zones and says so until they show again; the menu item says nothing.
    QTest::keyClick(&Form, Qt::Key_Z, Qt::ControlModifier);
    ASSERT_FALSE(Form.Flags.Zone);
    EXPECT_EQ(Form.LabelStatus->text(), TFormMain::ZonesHiddenNote);
    QTest::keyClick(&Form, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Form.LabelStatus->text(), "");
    Form.MM_View_Zone->trigger();
    ASSERT_FALSE(Form.Flags.Zone);
    EXPECT_EQ(Form.LabelStatus->text(), "");
    Form.MM_View_Zone->trigger();

    // Z held down: the repeats of the key make nothing more.
    QCursor::setPos(Form.Panel3D->mapToGlobal(QPoint(400, 300)));
    auto press = [this](bool repeat) {
        QKeyEvent key(QEvent::KeyPress, Qt::Key_Z, Qt::NoModifier, "z", repeat);
        QApplication::sendEvent(&Form, &key);
    };
    press(false);
    for (int i = 0; i < 5; ++i)
        press(true);
    EXPECT_EQ(Form.Doc.Zones.ZoneCount(), 1);
    press(false);
    EXPECT_EQ(Form.Doc.Zones.ZoneCount(), 2);
}

TEST_F(PanelDragTest, AnotherWindowTakingTheFocusEndsADrag) {
    if (QGuiApplication::platformName() == "offscreen") GTEST_SKIP() << "needs a display";
    ASSERT_TRUE(ShowAndSettle());
    QTest::mousePress(Form.Panel3D, Qt::RightButton, {}, QPoint(20, 20));
    ASSERT_TRUE(Form.Panel3D->Dragging());
    QDialog other;
    other.show();
    other.activateWindow();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !Form.Panel3D->Dragging(); }, 5000));
    EXPECT_EQ(Form.Panel3D->cursor().shape(), Qt::ArrowCursor);
    QTest::mouseRelease(Form.Panel3D, Qt::RightButton, {}, QPoint(20, 20));
}

} // namespace
} // namespace gm
