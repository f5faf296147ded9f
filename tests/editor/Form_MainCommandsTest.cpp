// The main window's menus, property pages and dialogs, driven as a user would, with the file
// dialogs, the unsaved-changes question and the modal dialogs answered by the test.

#include "editor/Form_Main.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableView>
#include <QTest>
#include <deque>
#include <gtest/gtest.h>

#include "editor/Form_About.h"
#include "editor/Form_UnitPath.h"
#include "foundation/Codec.h"
#include "render/VOper.h"
#include "support/TempDir.h"

namespace gm {
namespace {

class FormMainCommandsTest : public test::TempDirTest {
protected:
    FormMainCommandsTest() {
        Store.Put(SettingUnitPath, UnitPath);
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
    EXPECT_EQ(titles, QStringList({"File", "Unit", "View", "Options", "Help"}));
    EXPECT_EQ(MenuItems("File"), QStringList({"Open...=Open1", "Save=Save1", "Save As...=SaveAs1",
                                              "-", "Save end...=MM_File_SaveEnd", "-",
                                              "Clear=MM_File_Clear", "-", "Exit=Exit1"}));
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
                           "Hide StopLine=MM_View_SLHide"}));
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

} // namespace
} // namespace gm
