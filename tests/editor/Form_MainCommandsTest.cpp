// The main window's menus, property pages and dialogs, driven as a user would, with the file
// dialogs, the unsaved-changes question and the modal dialogs answered by the test.

#include "editor/Form_Main.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <deque>
#include <filesystem>
#include <gtest/gtest.h>

#include "editor/Form_About.h"
#include "editor/Form_SaveEnd.h"
#include "editor/Form_UnitPath.h"
#include "foundation/Codec.h"
#include "render/VOper.h"
#include "support/TempDir.h"
#include "zones/ZoneEdit.h"

namespace gm {
namespace {

class FormMainCommandsTest : public test::TempDirTest {
protected:
    FormMainCommandsTest() {
        // A game folder of our own: the example's graph names and an empty data folder.
        std::filesystem::create_directories(Game / "CFG" / "CD");
        std::filesystem::create_directories(Game / "DATA");
        std::filesystem::copy_file(std::filesystem::path(GM_SOURCE_DIR) /
                                       "examples/game/CFG/CD/GMWall.txt",
                                   Game / "CFG" / "CD" / "GMWall.txt");
        Store.Put(SettingUnitPath, UnitPath);
        Store.Put(SettingSkyhaulPath, AnsiToWideQX(Game.string()));
        Form = std::make_unique<TFormMain>(Store, AnsiToWideQX(Dir.Path().string()),
                                           SettingsDefaults::Bundled(u"/nowhere"));
        Form->SetMessageSink([this](const std::string& text) { Messages.push_back(text); });
        Form->SetFileAsker([this](FileKind kind, bool save) -> std::optional<std::u16string> {
            Asked.emplace_back(kind, save);
            if (Files.empty()) {
                ADD_FAILURE() << "unexpected file dialog";
                return std::nullopt;
            }
            auto answer = Files.front();
            Files.pop_front();
            return answer;
        });
        Form->SetSavePrompt([this] {
            ++Prompts;
            if (Choices.empty()) {
                ADD_FAILURE() << "unexpected prompt";
                return SaveChoice::Cancel;
            }
            const SaveChoice c = Choices.front();
            Choices.pop_front();
            return c;
        });
        Form->SetDialogRunner([this](QDialog& dialog) {
            if (!Runner) {
                ADD_FAILURE() << "unexpected dialog " << dialog.objectName().toStdString();
                return 0;
            }
            return Runner(dialog);
        });
    }

    QStringList MenuItems(const QString& title) {
        for (QAction* a : Form->menuBar()->actions()) {
            if (a->text() != title || !a->menu()) continue;
            QStringList items;
            for (QAction* item : a->menu()->actions())
                items << (item->isSeparator() ? "-" : item->text() + "=" + item->objectName());
            return items;
        }
        return {"no menu " + title};
    }
    QString Page() const { return Form->NotebookAction->currentWidget()->objectName(); }
    TgmWorldUnit* LoadPair(float lon = 0, float polar = 90) {
        EXPECT_TRUE(Form->Commands().UnitLoadFile(UnitPath + u"/Sub/Pair.TXT", lon, polar));
        return Form->Doc.Units.UnitCurrent();
    }
    static void Type(QLineEdit* edit, const char* text) {
        edit->clear();
        QTest::keyClicks(edit, QString::fromLatin1(text));
    }

    const std::u16string UnitPath = AnsiToWideQX(GM_TEST_DATA "/units");
    const std::filesystem::path Game = Dir.Path() / "game";
    MemorySettingsStore Store;
    std::unique_ptr<TFormMain> Form;
    std::vector<std::string> Messages;
    std::deque<std::optional<std::u16string>> Files;
    std::vector<std::pair<FileKind, bool>> Asked;
    std::deque<SaveChoice> Choices;
    int Prompts = 0;
    std::function<int(QDialog&)> Runner;
};

TEST_F(FormMainCommandsTest, MenusHaveTheirCaptionsNamesAndSeparators) {
    QStringList titles;
    for (QAction* a : Form->menuBar()->actions())
        titles << a->text();
    EXPECT_EQ(titles, QStringList({"File", "Edit", "Unit", "View", "Options", "Help"}));
    EXPECT_EQ(MenuItems("File"),
              QStringList({"Open...=Open1", "Recent=MM_File_Recent", "Save=Save1",
                           "Save As...=SaveAs1", "-", "Save end...=MM_File_SaveEnd", "-",
                           "Clear=MM_File_Clear", "-", "Exit=Exit1"}));
    EXPECT_EQ(MenuItems("Edit"), QStringList({"Undo=MM_Edit_Undo", "Redo=MM_Edit_Redo"}));
    EXPECT_EQ(
        MenuItems("Unit"),
        QStringList({"Load...=MM_Unit_Load", "-", "Path...=MM_Unit_Path", "-",
                     "BB calc current=MM_Unit_BBCalcCurrent", "BB calc all=MM_Unit_BBCalcAll", "-",
                     "Reload current=MM_Unit_ReloadCur",
                     "Reload current type=MM_Unit_ReloadCurType", "Reload all=MM_Unit_ReloadAll"}));
    EXPECT_EQ(MenuItems("View"),
              QStringList({"WorldLine         (Ctrl-W)=MM_View_WorldLine",
                           "Point                 (Ctrl-P)=MM_View_Point",
                           "Zone                 (Ctrl-Z)=MM_View_Zone",
                           "Background      (Ctrl-B)=MM_View_Background", "-",
                           "Default StopLine=MM_View_SLDefault", "Show StopLine=MM_View_SLShow",
                           "Hide StopLine=MM_View_SLHide", "-", "Reset view=MM_View_ResetView",
                           "Frame selection=MM_View_FrameSelection"}));
    EXPECT_EQ(MenuItems("Options"), QStringList({"Options...=MM_Options_Options"}));
    EXPECT_EQ(MenuItems("Help"), QStringList({"About=About1"}));
}

TEST_F(FormMainCommandsTest, ViewItemsStartCheckedAsTheFlags) {
    const struct {
        QAction* item;
        bool checked;
    } items[] = {{Form->MM_View_WorldLine, true}, {Form->MM_View_Point, false},
                 {Form->MM_View_Zone, true},      {Form->MM_View_Background, false},
                 {Form->MM_View_SLDefault, true}, {Form->MM_View_SLShow, false},
                 {Form->MM_View_SLHide, false}};
    for (const auto& i : items) {
        EXPECT_TRUE(i.item->isCheckable()) << i.item->objectName().toStdString();
        EXPECT_EQ(i.item->isChecked(), i.checked) << i.item->objectName().toStdString();
    }
    Form->MM_View_Point->trigger();
    Form->MM_View_Zone->trigger();
    Form->MM_View_Background->trigger();
    EXPECT_TRUE(Form->Flags.Point);
    EXPECT_FALSE(Form->Flags.Zone);
    EXPECT_TRUE(Form->Flags.Background);
}

TEST_F(FormMainCommandsTest, StopLineGroupKeepsExactlyOneChecked) {
    const struct {
        QAction* click;
        StopLineMode mode;
    } steps[] = {{Form->MM_View_SLHide, StopLineMode::Hide},
                 {Form->MM_View_SLHide, StopLineMode::Hide}, // clicking the checked one keeps it
                 {Form->MM_View_SLShow, StopLineMode::Show},
                 {Form->MM_View_SLDefault, StopLineMode::Default}};
    for (const auto& s : steps) {
        s.click->trigger();
        EXPECT_EQ(Form->Flags.StopLine, s.mode);
        EXPECT_TRUE(s.click->isChecked());
        int checked = 0;
        for (QAction* a : {Form->MM_View_SLDefault, Form->MM_View_SLShow, Form->MM_View_SLHide})
            checked += a->isChecked() ? 1 : 0;
        EXPECT_EQ(checked, 1);
    }
}

TEST_F(FormMainCommandsTest, OpenSaveAsAndClearThroughTheFileMenu) {
    LoadPair();
    Files = {AnsiToWideQX(Dir.File("desert.raw"))};
    Form->SaveAs1->trigger();
    EXPECT_EQ(Asked.back(), std::make_pair(FileKind::World, true));
    EXPECT_EQ(Form->windowTitle(), "Skyhaul Gridmoor v0.3 [desert]");

    Form->MM_File_Clear->trigger();
    EXPECT_EQ(Prompts, 0); // saved: nothing to ask
    EXPECT_EQ(Form->windowTitle(), "Skyhaul Gridmoor v0.3");
    EXPECT_EQ(Form->Doc.Units.UnitCount(), 0);
    EXPECT_EQ(Page(), "Main");

    Files = {AnsiToWideQX(Dir.File("desert.raw"))};
    Form->Open1->trigger();
    EXPECT_EQ(Asked.back(), std::make_pair(FileKind::World, false));
    EXPECT_EQ(Form->Doc.Units.UnitCount(), 1);
    EXPECT_EQ(Form->windowTitle(), "Skyhaul Gridmoor v0.3 [desert]");
    EXPECT_TRUE(Messages.empty());
}

TEST_F(FormMainCommandsTest, UnsavedChangesAskOnOpenClearAndExit) {
    LoadPair();
    EXPECT_EQ(Form->windowTitle(), "Skyhaul Gridmoor v0.3 *");
    Choices = {SaveChoice::Cancel, SaveChoice::Cancel, SaveChoice::Cancel};
    Form->Open1->trigger();
    Form->MM_File_Clear->trigger();
    Form->Exit1->trigger();
    EXPECT_EQ(Prompts, 3);
    EXPECT_TRUE(Asked.empty());
    EXPECT_EQ(Form->Doc.Units.UnitCount(), 1);

    // Save on an untitled world asks for a name, then the window closes.
    Files = {AnsiToWideQX(Dir.File("kept.raw"))};
    Choices = {SaveChoice::Save};
    Form->show();
    Form->Exit1->trigger();
    EXPECT_FALSE(Form->isVisible());
    EXPECT_FALSE(Form->DocState.Modified());
    WorldDoc check;
    EXPECT_EQ(check.WorldOpen(AnsiToWideQX(Dir.File("kept.raw"))), "");
    EXPECT_EQ(check.Units.UnitCount(), 1);
}

TEST_F(FormMainCommandsTest, UnitLoadPlacesAtThePanelCentre) {
    Files = {UnitPath + u"/Sub/Pair.TXT"};
    Form->MM_Unit_Load->trigger();
    EXPECT_EQ(Asked.back(), std::make_pair(FileKind::Unit, false));
    const TgmWorldUnit* u = Form->Doc.Units.UnitCurrent();
    ASSERT_NE(u, nullptr);
    // The camera looks at the sphere's centre from (45, 45): the panel centre shows that point.
    float lon = 0, polar = 0;
    VecToSphere(u->Centre, lon, polar);
    EXPECT_NEAR(lon, 45, 0.1);
    EXPECT_NEAR(polar, 45, 0.1);
    EXPECT_EQ(Page(), "Unit");

    Files = {UnitPath + u"/absent.txt"};
    Form->MM_Unit_Load->trigger();
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0].rfind("Error : ", 0), 0u) << Messages[0];
}

TEST_F(FormMainCommandsTest, ReloadCommandsLeaveNoUnitCurrentAndShowTheMainPage) {
    LoadPair(0, 90);
    LoadPair(40, 90);
    EXPECT_EQ(Page(), "Unit");
    Form->MM_Unit_ReloadAll->trigger();
    EXPECT_EQ(Form->Doc.Units.UnitCount(), 2);
    EXPECT_EQ(Form->Doc.Units.UnitCurrent(), nullptr);
    EXPECT_EQ(Page(), "Main");
    EXPECT_TRUE(Messages.empty());
}

TEST_F(FormMainCommandsTest, PagesFollowTheSelectionAndShowTheUnit) {
    EXPECT_EQ(Page(), "Main");
    EXPECT_EQ(Form->EditMainWorldRadius->text(), "1000");
    TgmWorldUnit* u = LoadPair();
    u->TimeOffset = -12;
    u->UnitType = 3;
    Form->Doc.Units.SetKeyGroup(u, 1);
    Form->PanelRefresh();
    EXPECT_EQ(Page(), "Unit");
    EXPECT_EQ(Form->ComboBoxUnitType->currentText(), "Exit 3");
    EXPECT_EQ(Form->EditUnitTimeOffset->text(), "-12");
    EXPECT_EQ(Form->EditUnitTimeLength->text(), "0");
    QStringList groups;
    for (int i = 0; i < Form->ComboBoxUnitKeyGroup->count(); ++i)
        groups << Form->ComboBoxUnitKeyGroup->itemText(i);
    EXPECT_EQ(groups, QStringList({"day", "night", ""}));
    EXPECT_EQ(Form->ComboBoxUnitKeyGroup->currentIndex(), 1);

    // Showing a unit stores a negative time length back as its digits.
    u->TimeLength = -7;
    Form->PanelRefresh();
    EXPECT_EQ(u->TimeLength, 7);

    Form->Doc.Units.SetCurrentUnit(nullptr);
    Form->PanelRefresh();
    EXPECT_EQ(Page(), "Main");
}

TEST_F(FormMainCommandsTest, UnitFieldsStoreEveryKeystroke) {
    TgmWorldUnit* u = LoadPair();
    Form->DocState.MarkClean();
    Type(Form->EditUnitTimeLength, "12a3");
    EXPECT_EQ(u->TimeLength, 123);
    EXPECT_TRUE(Form->DocState.Modified());
    Type(Form->EditUnitTimeLength, "-5");
    EXPECT_EQ(u->TimeLength, 5);
    Type(Form->EditUnitTimeOffset, "-5");
    EXPECT_EQ(u->TimeOffset, -5);
    Type(Form->EditUnitTimeOffset, "5-");
    EXPECT_EQ(u->TimeOffset, 5);

    Form->ComboBoxUnitType->activated(2);
    EXPECT_EQ(u->UnitType, 2);
    Form->ComboBoxUnitKeyGroup->activated(2);
    EXPECT_EQ(u->KeyGroup, 2);
}

TEST_F(FormMainCommandsTest, ShowingAUnitIsNotAnEdit) {
    LoadPair(0, 90);
    LoadPair(40, 90);
    Form->DocState.MarkClean();
    Form->Doc.Units.SetCurrentUnit(Form->Doc.Units.List().First());
    Form->PanelRefresh();
    EXPECT_FALSE(Form->DocState.Modified());
}

TEST_F(FormMainCommandsTest, WorldRadiusTakesEffectOnlyOnEnter) {
    Type(Form->EditMainWorldRadius, "300");
    EXPECT_EQ(Form->Doc.WorldRadius, 1000);
    EXPECT_FALSE(Form->DocState.Modified());
    QTest::keyClick(Form->EditMainWorldRadius, Qt::Key_Return);
    EXPECT_EQ(Form->Doc.WorldRadius, 500);
    EXPECT_EQ(Form->EditMainWorldRadius->text(), "500");
    EXPECT_TRUE(Form->DocState.Modified());
    EXPECT_EQ(Form->windowTitle(), "Skyhaul Gridmoor v0.3 *");
}

TEST_F(FormMainCommandsTest, CorrectPointButtonRepairsSelfMasters) {
    TPointGM* p = Form->Doc.Points.PointAdd();
    Form->Doc.Points.SetMaster(p, p);
    QTest::mouseClick(Form->Button1, Qt::LeftButton);
    EXPECT_EQ(p->Master, nullptr);
    EXPECT_EQ(Form->Button1->text(), "Correct point");
}

TEST_F(FormMainCommandsTest, UnitPathDialogRenamesOnOkOnly) {
    LoadPair(0, 90);
    LoadPair(30, 90);
    LoadPair(60, 90);
    Form->Doc.Units.List().First()->DescPath = u"b.txt";
    Form->DocState.MarkClean();

    // Cancel after an edit changes nothing.
    Runner = [](QDialog& dialog) {
        auto& d = dynamic_cast<TFormUnitPath&>(dialog);
        d.show();
        EXPECT_EQ(d.windowTitle(), "Unit Path");
        EXPECT_EQ(d.DGL->model()->rowCount(), 2);
        d.DGL->model()->setData(d.DGL->model()->index(0, 0), "zzz.txt");
        QTest::mouseClick(d.BitBtn2, Qt::LeftButton);
        EXPECT_EQ(d.Rows().PathCount(), 0); // lists freed on hide
        return d.result();
    };
    Form->MM_Unit_Path->trigger();
    EXPECT_EQ(Form->Doc.Units.List().First()->DescPath, u"b.txt");
    EXPECT_FALSE(Form->DocState.Modified());

    // Find, then an edit left open in its row, then OK.
    Files = {UnitPath + u"/Ships/A.txt"};
    Runner = [](QDialog& dialog) {
        auto& d = dynamic_cast<TFormUnitPath&>(dialog);
        d.show();
        QAbstractItemModel* m = d.DGL->model();
        EXPECT_EQ(m->index(0, 0).data().toString(), "b.txt");
        EXPECT_EQ(m->index(1, 0).data().toString(), "sub\\pair.txt");
        d.DGL->setCurrentIndex(m->index(1, 0));
        QTest::mouseClick(d.Button1, Qt::LeftButton);
        EXPECT_EQ(m->index(1, 0).data().toString(), "ships\\a.txt");
        d.DGL->setCurrentIndex(m->index(0, 0));
        d.DGL->edit(m->index(0, 0));
        auto* editor = qobject_cast<QLineEdit*>(d.DGL->indexWidget(m->index(0, 0)));
        EXPECT_NE(editor, nullptr);
        if (editor) editor->setText("C.txt");
        QTest::mouseClick(d.BitBtn1, Qt::LeftButton);
        return d.result();
    };
    Form->MM_Unit_Path->trigger();
    std::vector<std::u16string> names;
    for (const TgmWorldUnit* u : Form->Doc.Units.List())
        names.push_back(u->DescPath);
    EXPECT_EQ(names, (std::vector<std::u16string>{u"C.txt", u"ships\\a.txt", u"ships\\a.txt"}));
    EXPECT_TRUE(Form->DocState.Modified());
}

TEST_F(FormMainCommandsTest, AboutShowsTitleWithShadowAndVersion) {
    bool shown = false;
    Runner = [&](QDialog& dialog) {
        auto& d = dynamic_cast<TFormAbout&>(dialog);
        d.show();
        shown = true;
        EXPECT_EQ(d.windowTitle(), "About Gridmoor");
        EXPECT_EQ(d.size(), QSize(316, 154));
        EXPECT_EQ(d.Label1->text(), "Gridmoor for game Skyhaul");
        EXPECT_EQ(d.Label2->text(), d.Label1->text());
        EXPECT_EQ(d.Label2->pos(), d.Label1->pos() + QPoint(1, 1));
        EXPECT_TRUE(d.Label1->font().bold());
        EXPECT_EQ(d.Label1->font().pixelSize(), 16);
        EXPECT_NE(d.Label2->palette().color(QPalette::WindowText),
                  d.Label1->palette().color(QPalette::WindowText));
        EXPECT_EQ(d.Label3->text(), "Version:");
        EXPECT_EQ(d.Label4->text(), "0.3");
        QTest::mouseClick(d.BitBtn1, Qt::LeftButton);
        return d.result();
    };
    Form->About1->trigger();
    EXPECT_TRUE(shown);
}

TEST_F(FormMainCommandsTest, ZonePageShowsAndStoresTheCurrentZone) {
    QStringList graphs;
    for (int i = 0; i < Form->ComboBoxZoneGraph->count(); ++i)
        graphs << Form->ComboBoxZoneGraph->itemText(i);
    EXPECT_EQ(graphs, QStringList({"Plain", "Ridge", "Crater", "Harbour", "Marsh", "Spire",
                                   "Canyon", "Glacier"}));
    EXPECT_EQ(Form->ComboBoxZoneType->count(), 11);
    EXPECT_EQ(Form->ComboBoxZoneType->itemText(10), "Exclude");
    EXPECT_EQ(Form->ComboBoxZoneType->maxVisibleItems(), 15);

    TgmZone* zone = ZoneCreateAt(Form->Doc, Form->Flags, 30, 60);
    zone->Mass = -4;
    zone->Graph = u"Ridge";
    zone->ItemFlags = (1u << 3) | (1u << 31);
    zone->ItemFreq = 1;
    Form->DocState.MarkClean();
    Form->PanelRefresh();
    EXPECT_EQ(Page(), "Zone");
    EXPECT_EQ(Form->EditZoneRadius->text(), "50");
    EXPECT_EQ(Form->EditZoneMass->text(), "-4");
    EXPECT_EQ(Form->ComboBoxZoneGraph->currentText(), "Ridge");
    EXPECT_EQ(Form->ComboBoxZoneIFreq->currentText(), "Average");
    QStringList checked;
    for (QCheckBox* box : Form->CheckBoxZoneItems)
        if (box->isChecked()) checked << box->text();
    EXPECT_EQ(checked, QStringList({"Lock", "No show"}));
    EXPECT_FALSE(Form->DocState.Modified()); // showing a whole-number zone stores nothing new

    Type(Form->EditZoneRadius, "12a5");
    EXPECT_NEAR(zone->RadiusLen, 125, 1e-3);
    Type(Form->EditZoneHitpoints, "-30");
    EXPECT_EQ(zone->Hitpoints, 30);
    Type(Form->EditZoneMass, "-30");
    EXPECT_EQ(zone->Mass, -30);
    Type(Form->EditZoneDamage, "2x");
    EXPECT_EQ(zone->Damage, 2);
    Form->ComboBoxZoneGraph->setEditText("  Marsh ");
    EXPECT_EQ(zone->Graph, u"Marsh");
    Form->CheckBoxZoneItems[0]->click(); // "Life", bit 0
    EXPECT_EQ(zone->ItemFlags, (1u << 0) | (1u << 3) | (1u << 31));
    Form->CheckBoxZoneItems[8]->click(); // "No show", bit 31
    EXPECT_EQ(zone->ItemFlags, (1u << 0) | (1u << 3));
    Form->ComboBoxZoneType->activated(5);
    EXPECT_EQ(zone->ZoneType, 5u);
    EXPECT_TRUE(Form->DocState.Modified());
}

TEST_F(FormMainCommandsTest, ShowingAZoneRoundsItsArcRadius) {
    TgmZone* zone = ZoneCreateAt(Form->Doc, Form->Flags, 30, 60);
    Form->PanelRefresh(); // the box shows 50
    Form->Doc.Zones.SetZoneCurrent(nullptr);
    Form->PanelRefresh();
    Form->EditZoneRadius->blockSignals(true);
    Form->EditZoneRadius->setText("70"); // another number than the zone's
    Form->EditZoneRadius->blockSignals(false);
    zone->RadiusAngle = static_cast<float>(50.4 * 180 / (1000 * 3.141592653589793));
    Form->Doc.Zones.ZoneUpdate(zone);
    Form->Doc.Zones.SetZoneCurrent(zone);
    Form->PanelRefresh();
    EXPECT_NEAR(zone->RadiusLen, 50, 1e-3);
    EXPECT_EQ(Form->EditZoneRadius->text(), "50");
}

TEST_F(FormMainCommandsTest, UnitPageWinsOverZoneAndLinkPageShowsItsType) {
    TgmZone* a = ZoneCreateAt(Form->Doc, Form->Flags, 30, 60);
    TgmZone* b = ZoneCreateAt(Form->Doc, Form->Flags, 35, 60);
    TgmZoneLink* link = Form->Doc.Zones.ZoneLinkMake(a, b);
    ASSERT_NE(link, nullptr);
    link->LinkType = 1;
    TgmWorldUnit* u = LoadPair();
    Form->Doc.Zones.SetZoneCurrent(b);
    Form->Doc.Units.SetCurrentUnit(u);
    Form->PanelRefresh();
    EXPECT_EQ(Page(), "Unit");
    Form->Doc.Units.SetCurrentUnit(nullptr);
    Form->Doc.Zones.SetZoneCurrent(nullptr);
    Form->Doc.Zones.SetZoneLinkCurrent(link);
    Form->PanelRefresh();
    EXPECT_EQ(Page(), "ZoneLink");
    EXPECT_EQ(Form->ComboBoxZoneLinkType->currentText(), "StopLine");
    Form->ComboBoxZoneLinkType->activated(0);
    EXPECT_EQ(link->LinkType, 0);
}

// Runs the Save End dialog from the menu; during the showing, act(dialog) presses its buttons.
class SaveEndTest : public FormMainCommandsTest {
protected:
    void RunSaveEnd(const std::function<void(TFormSaveEnd&)>& act) {
        bool shown = false;
        Runner = [&](QDialog& dialog) {
            auto& d = dynamic_cast<TFormSaveEnd&>(dialog);
            d.show();
            shown = true;
            act(d);
            QTest::mouseClick(d.BitBtn1, Qt::LeftButton);
            return d.result();
        };
        Form->MM_File_SaveEnd->trigger();
        EXPECT_TRUE(shown);
    }
    bool Exported() const {
        return std::filesystem::exists(Game / "DATA" / "edit.map") &&
               std::filesystem::exists(Game / "DATA" / "edit.opt");
    }
};

TEST_F(SaveEndTest, LayoutAndHeaderRow) {
    RunSaveEnd([this](TFormSaveEnd& d) {
        EXPECT_EQ(d.windowTitle(), "Save End");
        EXPECT_EQ(d.size(), QSize(381, 329));
        // Where "Save test" writes, before it writes.
        EXPECT_EQ(d.LabelTarget->toolTip(),
                  QDir::toNativeSeparators(QString::fromStdString((Game / "DATA").string())));
        QStringList header;
        for (int c = 0; c < d.DGL->columnCount(); ++c)
            header << d.DGL->horizontalHeaderItem(c)->text();
        EXPECT_EQ(header, QStringList({"Name", "Portal", "Priority"}));
        EXPECT_EQ(d.DGL->rowCount(), 0);
        EXPECT_EQ(d.DGL->columnWidth(0), 156);
        EXPECT_EQ(d.BitBtnSaveTest->text(), "Save test");
        EXPECT_EQ(d.Label2->text(), "Opt size:");
        EXPECT_EQ(d.Label1->text(), "0");
    });
}

TEST_F(SaveEndTest, SaveTestWritesBothFilesAndComputesOncePerShowing) {
    // The designer's view, which the visibility pass must give back.
    auto viewIs = [this](float lon, float polar, float distance) {
        EXPECT_EQ(Form->Cam.CamLongitude, lon);
        EXPECT_EQ(Form->Cam.CamPolar, polar);
        EXPECT_EQ(Form->Cam.CamDistance, distance);
    };
    Form->Cam.CamLongitude = 123;
    Form->Cam.CamPolar = 67;
    Form->Cam.CamDistance = 1800;
    RunSaveEnd([&](TFormSaveEnd& d) {
        QTest::mouseClick(d.BitBtnSaveTest, Qt::LeftButton);
        EXPECT_TRUE(Exported());
        EXPECT_EQ(d.Label1->text(), "21312");
        viewIs(123, 67, 1800);
        // A second export reuses the build.
        Form->Cam.CamLongitude = 10;
        std::filesystem::remove(Game / "DATA" / "edit.map");
        QTest::mouseClick(d.BitBtnSaveTest, Qt::LeftButton);
        EXPECT_TRUE(Exported());
        viewIs(10, 67, 1800);
        EXPECT_EQ(d.Label1->text(), "21312");
    });
    EXPECT_TRUE(Messages.empty());
    EXPECT_FALSE(Form->FormSaveEnd().Opt().Built); // discarded on hide
    EXPECT_NE(Form->LabelStatus->text().indexOf("edit.map"), -1);
    // The next command takes it down.
    Form->MM_View_Point->trigger();
    EXPECT_EQ(Form->LabelStatus->text(), "");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // A new showing computes again; a failed export gives the view back too, and the earlier
    // success no longer stands in the status bar.
    std::filesystem::remove(Game / "DATA" / "edit.map");
    std::filesystem::create_directory(Game / "DATA" / "edit.map");
    RunSaveEnd([&](TFormSaveEnd& d) {
        EXPECT_EQ(d.Label1->text(), "0");
        QTest::mouseClick(d.BitBtnSaveTest, Qt::LeftButton);
        viewIs(10, 67, 1800);
    });
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Form->LabelStatus->text(), "");
}

TEST_F(SaveEndTest, CancelledProgressWritesNothing) {
    int reports = 0;
    Form->FormSaveEnd().SetProgressHook([&](int done, int total) {
        ++reports;
        EXPECT_EQ(total, 2664);
        return done < 100;
    });
    RunSaveEnd([&](TFormSaveEnd& d) {
        QTest::mouseClick(d.BitBtnSaveTest, Qt::LeftButton);
        EXPECT_EQ(d.Label1->text(), "0");
    });
    EXPECT_EQ(reports, 101);
    EXPECT_FALSE(std::filesystem::exists(Game / "DATA" / "edit.map"));
    EXPECT_FALSE(std::filesystem::exists(Game / "DATA" / "edit.opt"));
    EXPECT_TRUE(Messages.empty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(SaveEndTest, ExportErrorIsShownOnceAndTheCursorRestored) {
    std::filesystem::remove_all(Game / "DATA");
    RunSaveEnd([&](TFormSaveEnd& d) {
        QTest::mouseClick(d.BitBtnSaveTest, Qt::LeftButton);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        // The optimisation ran before the files could not be made: its figure shows.
        EXPECT_EQ(d.Label1->text(), "21312");
    });
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_NE(Messages[0].find("edit.map"), std::string::npos) << Messages[0];
    EXPECT_TRUE(Form->LabelStatus->text().isEmpty());
}

} // namespace
} // namespace gm
