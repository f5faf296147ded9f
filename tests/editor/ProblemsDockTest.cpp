// The Problems dock and the Save End dialog's use of the world checker.

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>

#include <gtest/gtest.h>

#include "editor/Form_Main.h"
#include "editor/Form_SaveEnd.h"
#include "editor/ProblemsDock.h"
#include "foundation/Codec.h"
#include "render/VOper.h"
#include "support/TempDir.h"
#include "world/WorldDoc.h"

namespace gm {
namespace {

class ProblemsTest : public test::TempDirTest {
protected:
    ProblemsTest() {
        std::filesystem::create_directories(Game / "DATA");
        Store.Put(SettingUnitPath, UnitPath);
        Store.Put(SettingSkyhaulPath, AnsiToWideQX(Game.string()));
        Form = std::make_unique<TFormMain>(Store, AnsiToWideQX(Dir.Path().string()),
                                           SettingsDefaults::Bundled(u"/nowhere"));
        Form->SetMessageSink([this](const std::string& text) { Messages.push_back(text); });
    }

    TgmWorldUnit* LoadPair(float lon, float polar) {
        EXPECT_TRUE(Form->Commands().UnitLoadFile(UnitPath + u"/Sub/Pair.TXT", lon, polar));
        return Form->Doc.Units.UnitCurrent();
    }

    int RowOf(const char* code) const {
        const std::vector<CheckProblem>& problems = Form->DockProblems->Problems();
        for (std::size_t i = 0; i < problems.size(); ++i)
            if (problems[i].Code == code) return static_cast<int>(i);
        return -1;
    }

    const std::u16string UnitPath = AnsiToWideQX(GM_TEST_DATA "/units");
    const std::filesystem::path Game = Dir.Path() / "game";
    MemorySettingsStore Store;
    std::unique_ptr<TFormMain> Form;
    std::vector<std::string> Messages;
};

TEST_F(ProblemsTest, DockFollowsChangesAndActivationSelectsAndFaces) {
    TProblemsDock& dock = *Form->DockProblems;
    TgmWorldUnit* first = LoadPair(30, 60);
    LoadPair(30, 60); // the same unit placed again on top of it
    // Checked once the edits settle, not at once.
    EXPECT_EQ(RowOf("units-stacked"), -1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return RowOf("units-stacked") >= 0; }, 3000));
    EXPECT_EQ(dock.ListProblems->topLevelItemCount(), static_cast<int>(dock.Problems().size()));
    EXPECT_EQ(dock.LabelCounts->text(), ProblemCountsText(CountProblems(dock.Problems())));
    // The same list as the checker gives with the editor's folders (and as the command-line
    // tool gives with the same folders).
    EXPECT_EQ(dock.Problems().size(), WorldCheck(Form->Doc, Form->ProblemCheckOptions()).size());

    const int row = RowOf("units-stacked");
    Form->Doc.Units.SetCurrentUnit(nullptr);
    Form->Cam.CamLongitude = 200;
    dock.ActivateRow(row);
    const CheckObject& target = dock.Problems()[static_cast<std::size_t>(row)].Objects.front();
    // Checked on a snapshot: the object is named by its place in the list.
    EXPECT_EQ(target.Object, nullptr);
    EXPECT_EQ(Form->Doc.Units.UnitCurrent(),
              target.Index == 0 ? first : Form->Doc.Units.List().Last());
    EXPECT_NEAR(Form->Cam.CamLongitude, 30, 1);
    EXPECT_NEAR(Form->Cam.CamPolar, 60, 1);

    // An object gone since the check is not selected, and the camera stays.
    Form->Doc.Units.UnitDelete(Form->Doc.Units.List().Last());
    Form->Doc.Units.SetCurrentUnit(first);
    Form->Cam.CamLongitude = 200;
    dock.ActivateRow(row);
    EXPECT_EQ(Form->Cam.CamLongitude, 200);
    EXPECT_EQ(Form->Doc.Units.UnitCurrent(), first);
}

TEST_F(ProblemsTest, SaveEndListsEveryErrorInsteadOfExporting) {
    TgmWorldUnit* u = LoadPair(30, 60);
    WorldDoc& doc = Form->Doc;
    doc.Lines.SetUnit(doc.Lines.LineAdd(doc.Keys.KeyGroupListOfUnit(u)), u); // no end points
    doc.Points.SetMaster(doc.Points.First(), doc.Points.First());
    Form->SetDialogRunner([&](QDialog& dialog) {
        auto& d = dynamic_cast<TFormSaveEnd&>(dialog);
        d.show();
        EXPECT_TRUE(d.LabelProblems->text().startsWith("Errors: 3\n"))
            << d.LabelProblems->text().toStdString();
        QTest::mouseClick(d.BitBtnSaveTest, Qt::LeftButton);
        QTest::mouseClick(d.BitBtn1, Qt::LeftButton);
        return d.result();
    });
    Form->MM_File_SaveEnd->trigger();
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0].rfind("The world cannot be exported:\nerror line-without-point: ", 0), 0u)
        << Messages[0];
    EXPECT_NE(Messages[0].find("\nerror point-link-damaged: "), std::string::npos) << Messages[0];
    EXPECT_FALSE(std::filesystem::exists(Game / "DATA" / "edit.map"));
    doc.Points.SetMaster(doc.Points.First(), nullptr); // the world must be sound to be cleared
}

} // namespace
} // namespace gm
