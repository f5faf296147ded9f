// Getting around the demo world in the shown window: a panel that follows the window's size, the
// mouse wheel, Reset view, and the outliner's rows as the selection.

#include "editor/Form_Main.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QTest>
#include <QTreeView>
#include <QWheelEvent>
#include <cmath>
#include <gtest/gtest.h>
#include <set>

#include "editing/GroupEdit.h"
#include "editing/PanelInteraction.h"
#include "editing/PanelPick.h"
#include "editor/OutlinerDock.h"
#include "foundation/Codec.h"
#include "platform/Panel3DWidget.h"
#include "render/GR_DirectX.h"
#include "render/VOper.h"
#include "world/GMPoint.h"
#include "world/WorldDoc.h"
#include "zones/WorldZone.h"

namespace gm {
namespace {

class NavigateTest : public ::testing::Test {
protected:
    NavigateTest() {
        Form.SetMessageSink([this](const std::string& text) { Messages.push_back(text); });
        Form.OpenAtStart(AnsiToWideQX(GM_SOURCE_DIR "/examples/worlds/demo.raw"));
    }
    bool ShowAndSettle() {
        Form.show();
        Form.activateWindow();
        if (!QTest::qWaitFor([&] { return Form.Panel3D->DeviceReady(); }, 5000)) return false;
        if (!QTest::qWaitFor([&] { return QApplication::activeWindow() == &Form; }, 5000))
            return false;
        return Frames(50);
    }
    bool Frames(uint64_t n) {
        const uint64_t start = Form.Loop().AnimClock();
        return QTest::qWaitFor([&] { return Form.Loop().AnimClock() > start + n; }, 5000);
    }
    // A key goes where a real one goes: to the widget with the keyboard, else the window.
    void Key(Qt::Key key) {
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : &Form, key);
    }
    void Wheel(int delta) {
        const QPointF at(Form.Panel3D->width() / 2.0, Form.Panel3D->height() / 2.0);
        QWheelEvent event(at, Form.Panel3D->mapToGlobal(at), {}, QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(Form.Panel3D, &event);
    }

    MemorySettingsStore Store;
    TFormMain Form{Store, AnsiToWideQX(GM_SOURCE_DIR "/examples"),
                   SettingsDefaults::Bundled(AnsiToWideQX(GM_SOURCE_DIR))};
    std::vector<std::string> Messages;
};

TEST_F(NavigateTest, ThePanelFollowsTheWindowAndPicksAtEverySize) {
    if (QGuiApplication::platformName() == "offscreen") GTEST_SKIP() << "needs a display";
    ASSERT_TRUE(ShowAndSettle());
    EXPECT_EQ(Form.Panel3D->size(), QSize(800, 600));
    for (const QSize grow : {QSize(417, 233), QSize(-300, -200)}) {
        const QSize wanted = Form.size() + grow;
        Form.resize(wanted);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return Form.size() == wanted && Form.Cam.PanelWidth == Form.Panel3D->width() &&
                       Form.Cam.PanelHeight == Form.Panel3D->height();
            },
            5000))
            << Form.Cam.PanelWidth << " x " << Form.Cam.PanelHeight << " for a panel of "
            << Form.Panel3D->width() << " x " << Form.Panel3D->height();
        const QSize panel = Form.Panel3D->size();
        EXPECT_EQ(Form.Cam.PanelHeight, panel.height());
        EXPECT_EQ(Form.Cam.ScreenCentreX, panel.width() / 2);
        EXPECT_EQ(Form.Cam.ScreenCentreY, panel.height() / 2);
        EXPECT_EQ(Form.Panel3D->grabFramebuffer().size(), panel * Form.Panel3D->devicePixelRatio());
        // The panel's centre is the sphere point the camera looks at, and "Coord:" says so.
        const QPoint centre(panel.width() / 2, panel.height() / 2);
        // Sent to the panel, not through the pointer: other windows may share the display.
        QMouseEvent move(QEvent::MouseMove, QPointF(centre),
                         Form.Panel3D->mapToGlobal(QPointF(centre)), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(Form.Panel3D, &move);
        const TSpherePick pick = PanelPick(Form.Cam, Form.Doc.WorldRadius, centre.x(), centre.y());
        ASSERT_TRUE(pick.Found);
        EXPECT_NEAR(pick.Longitude, Form.Cam.CamLongitude, 0.5);
        EXPECT_NEAR(pick.Polar, Form.Cam.CamPolar, 0.5);
        EXPECT_FALSE(Form.LabelCoord->text().isEmpty());
    }
}

TEST_F(NavigateTest, TheWheelZoomsAsThePageKeysAndResetViewGoesBack) {
    if (QGuiApplication::platformName() == "offscreen") GTEST_SKIP() << "needs a display";
    ASSERT_TRUE(ShowAndSettle());
    const float start = Form.Cam.CamDistance;
    Wheel(120);
    EXPECT_FLOAT_EQ(Form.Cam.CamDistance, start - PanelInteraction::ZoomStep);
    Wheel(-60); // half a notch (a touchpad) does nothing yet, the second half does
    EXPECT_FLOAT_EQ(Form.Cam.CamDistance, start - PanelInteraction::ZoomStep);
    Wheel(-60);
    Wheel(-240);
    EXPECT_FLOAT_EQ(Form.Cam.CamDistance, start + 2 * PanelInteraction::ZoomStep);
    Key(Qt::Key_PageUp);
    EXPECT_FLOAT_EQ(Form.Cam.CamDistance, start + PanelInteraction::ZoomStep);

    Form.Cam.CamLongitude = 200;
    Form.Cam.CamPolar = 10;
    Form.MM_View_ResetView->trigger();
    EXPECT_EQ(Form.Cam.CamLongitude, 45);
    EXPECT_EQ(Form.Cam.CamPolar, 45);
    EXPECT_EQ(Form.Cam.CamDistance, Form.Doc.WorldRadius + Form.Cam.CamDistanceOffset);
}

TEST_F(NavigateTest, OutlinerRowsAreTheSelectionAndFollowEditsUndoAndRedo) {
    if (QGuiApplication::platformName() == "offscreen") GTEST_SKIP() << "needs a display";
    ASSERT_TRUE(ShowAndSettle());
    TOutlinerDock& dock = *Form.DockOutliner;
    dock.Refresh();
    const auto& doc = Form.Doc;
    const auto rowCount = [&] {
        int rows = 0;
        auto* model = dock.TreeOutline->model();
        for (int g = 0; g < model->rowCount(); ++g)
            rows += model->rowCount(model->index(g, 0));
        return rows;
    };
    ASSERT_GT(doc.Units.List().Size(), 2u);
    EXPECT_EQ(rowCount(), static_cast<int>(doc.Units.List().Size()) + doc.Zones.ZoneCount() +
                              doc.Zones.ZoneLinkCount());

    // Two rows chosen: the one clicked last is current, the other joins its group.
    TgmWorldUnit* a = doc.Units.List().First();
    TgmWorldUnit* b = a->Next;
    QItemSelectionModel* sel = dock.TreeOutline->selectionModel();
    sel->setCurrentIndex(dock.IndexOf(a), QItemSelectionModel::ClearAndSelect);
    sel->setCurrentIndex(dock.IndexOf(b), QItemSelectionModel::Select);
    EXPECT_EQ(doc.Units.UnitCurrent(), b);
    EXPECT_TRUE(InGroup(doc, a));
    EXPECT_EQ(Form.NotebookAction->currentWidget()->objectName(), "Unit");
    // The Unit page names the description the unit was loaded from.
    EXPECT_EQ(Form.LabelUnitDesc->text(), QString::fromStdU16String(b->DescPath));
    EXPECT_FALSE(Form.LabelUnitDesc->text().isEmpty());

    // A double-click frames the row's object.
    const QModelIndex rowA = dock.IndexOf(a);
    emit dock.TreeOutline->doubleClicked(rowA);
    float lon = 0, polar = 0;
    VecToSphere(Form.Doc.Units.CalcCentre(a), lon, polar);
    EXPECT_NEAR(Form.Cam.CamLongitude, lon, 1.0);

    // Delete takes both as one undo step; the rows follow the deletion, its undo and redo at
    // the next idle moment, not before.
    const int before = rowCount();
    const int rebuilds = dock.Rebuilds();
    Key(Qt::Key_Delete);
    EXPECT_EQ(dock.Rebuilds(), rebuilds);
    ASSERT_TRUE(QTest::qWaitFor([&] { return rowCount() == before - 2; }, 2000));
    Form.MM_Edit_Undo->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return rowCount() == before; }, 2000));
    Form.MM_Edit_Redo->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return rowCount() == before - 2; }, 2000));

    // Nothing changes, nothing is rebuilt however many frames pass.
    QTest::qWait(50);
    const int settled = dock.Rebuilds();
    QTest::qWait(300);
    EXPECT_EQ(dock.Rebuilds(), settled);

    dock.EditFilter->setText("no such object");
    EXPECT_EQ(rowCount(), 0);
    dock.EditFilter->clear();
    EXPECT_EQ(rowCount(), before - 2);
}

// C over the panel with two linked units chosen: both are copied under the cursor, the copies'
// ports linked to each other (not to the originals), and one undo takes the copy back.
TEST_F(NavigateTest, CCopiesAGroupWithItsLinksAsOneUndoStep) {
    if (QGuiApplication::platformName() == "offscreen") GTEST_SKIP() << "needs a display";
    ASSERT_TRUE(ShowAndSettle());
    auto& doc = Form.Doc;
    const auto heads = [&](const TgmWorldUnit* u) {
        std::set<const TPointGM*> out;
        for (const TPointGM* p : doc.Points.PointsOfUnit(u))
            out.insert(p->Master ? p->Master : p);
        return out;
    };
    const auto linked = [&](const TgmWorldUnit* u, const TgmWorldUnit* v) {
        const std::set<const TPointGM*> a = heads(u);
        for (const TPointGM* h : heads(v))
            if (a.count(h)) return true;
        return false;
    };
    TgmWorldUnit* a = nullptr;
    TgmWorldUnit* b = nullptr;
    for (TgmWorldUnit* u = doc.Units.List().First(); u && !a; u = u->Next)
        for (TgmWorldUnit* v = u->Next; v && !a; v = v->Next)
            if (linked(u, v)) a = u, b = v;
    ASSERT_NE(a, nullptr) << "the demo world has units joined at a port";

    QItemSelectionModel* sel = Form.DockOutliner->TreeOutline->selectionModel();
    sel->setCurrentIndex(Form.DockOutliner->IndexOf(a), QItemSelectionModel::ClearAndSelect);
    sel->setCurrentIndex(Form.DockOutliner->IndexOf(b), QItemSelectionModel::Select);
    ASSERT_TRUE(InGroup(doc, a) && InGroup(doc, b));
    const QPoint centre(Form.Panel3D->width() / 2, Form.Panel3D->height() / 2);
    QCursor::setPos(Form.Panel3D->mapToGlobal(centre));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return Form.Panel3D->mapFromGlobal(QCursor::pos()) == centre; }, 2000));

    const size_t before = doc.Units.List().Size();
    Key(Qt::Key_C);
    ASSERT_EQ(doc.Units.List().Size(), before + 2) << (Messages.empty() ? "" : Messages.back());
    TgmWorldUnit* copy = doc.Units.UnitCurrent();
    ASSERT_TRUE(copy != a && copy != b && InGroup(doc, copy));
    TgmWorldUnit* other = nullptr; // the group's other copy
    for (TgmWorldUnit* u = doc.Units.List().First(); u; u = u->Next)
        if (u != copy && InGroup(doc, u)) other = u;
    ASSERT_TRUE(other && other != a && other != b);
    EXPECT_TRUE(linked(copy, other));
    EXPECT_FALSE(linked(copy, a) || linked(copy, b) || linked(other, a) || linked(other, b));
    EXPECT_TRUE(linked(a, b));

    Form.MM_Edit_Undo->trigger();
    EXPECT_EQ(doc.Units.List().Size(), before);
    Form.MM_Edit_Redo->trigger();
    EXPECT_EQ(doc.Units.List().Size(), before + 2);
}

} // namespace
} // namespace gm
