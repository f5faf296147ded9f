#include "editing/DocumentCommands.h"

#include <deque>
#include <filesystem>

#include <gtest/gtest.h>

#include "editing/Settings.h"
#include "foundation/Codec.h"
#include "render/Camera.h"
#include "render/VOper.h"
#include "support/SystemReason.h"
#include "support/TempDir.h"
#include "world/WorldDoc.h"

namespace gm {
namespace {

namespace fs = std::filesystem;

// Answers queued by the test; a question without a queued answer fails the test.
class FakeHost : public CommandHost {
public:
    std::deque<std::optional<std::u16string>> FileAnswers;
    std::deque<SaveChoice> Choices;
    std::vector<std::pair<FileKind, bool>> FileQuestions; // kind, save
    int Prompts = 0;
    std::vector<std::string> Errors;
    int PanelRefreshes = 0;
    int CaptionRefreshes = 0;

    std::optional<std::u16string> AskOpenFile(FileKind kind) override { return File(kind, false); }
    std::optional<std::u16string> AskSaveFile(FileKind kind) override { return File(kind, true); }
    SaveChoice AskSaveChanges() override {
        ++Prompts;
        if (Choices.empty()) {
            ADD_FAILURE() << "unexpected prompt";
            return SaveChoice::Cancel;
        }
        const SaveChoice c = Choices.front();
        Choices.pop_front();
        return c;
    }
    void ShowError(const std::string& text) override { Errors.push_back(text); }
    void PanelRefresh() override { ++PanelRefreshes; }
    void CaptionRefresh() override { ++CaptionRefreshes; }
    void WorldFileUsed(const std::u16string& name) override { Used.push_back(name); }
    void HistoryChanged() override { ++HistoryChanges; }
    std::vector<std::u16string> Used;
    int HistoryChanges = 0;

private:
    std::optional<std::u16string> File(FileKind kind, bool save) {
        FileQuestions.emplace_back(kind, save);
        if (FileAnswers.empty()) {
            ADD_FAILURE() << "unexpected file dialog";
            return std::nullopt;
        }
        auto answer = FileAnswers.front();
        FileAnswers.pop_front();
        return answer;
    }
};

class DocumentCommandsTest : public test::TempDirTest {
protected:
    DocumentCommandsTest() {
        Opts.UnitPath = AnsiToWideQX(GM_TEST_DATA "/units");
        Opts.WLCount = 8; // 56 grid lines
        Commands.UnitPathFromSettings();
    }

    std::u16string Path(const std::string& name) { return AnsiToWideQX(Dir.File(name)); }
    // A saved world with one unit, named name.
    std::u16string SavedWorld(const std::string& name) {
        WorldDoc other;
        other.Units.UnitPath = GM_TEST_DATA "/units";
        EXPECT_NE(other.Units.UnitCreateAt(u"sub\\pair.txt", 10, 80), nullptr);
        other.WorldSaveAs(Path(name));
        return Path(name);
    }
    TgmWorldUnit* LoadPair(float lon = 0, float polar = 90) {
        const std::size_t before = Doc.Units.List().Size();
        EXPECT_TRUE(Commands.UnitLoadFile(Opts.UnitPath + u"/Sub/Pair.TXT", lon, polar));
        EXPECT_EQ(Doc.Units.List().Size(), before + 1);
        return Doc.Units.UnitCurrent();
    }
    std::size_t GridLines() const { return Doc.WorldLines.Lines().Size(); }

    WorldDoc Doc;
    Camera Cam;
    ViewFlags Flags;
    Settings Opts;
    DocumentState State;
    FakeHost Host;
    DocumentCommands Commands{Doc, Cam, Flags, Opts, State, Host};
};

TEST(CaptionText, ShowsVersionNameAndUnsavedMark) {
    WorldDoc doc;
    EXPECT_EQ(CaptionText(doc, false), u"Skyhaul Gridmoor v0.3");
    EXPECT_EQ(CaptionText(doc, true), u"Skyhaul Gridmoor v0.3 *");
    doc.WorldFileName = u"/worlds/desert.raw";
    EXPECT_EQ(CaptionText(doc, false), u"Skyhaul Gridmoor v0.3 [desert]");
    EXPECT_EQ(CaptionText(doc, true), u"Skyhaul Gridmoor v0.3 [desert] *");
    doc.WorldFileName = u"c:\\worlds\\old.world.raw";
    EXPECT_EQ(CaptionText(doc, false), u"Skyhaul Gridmoor v0.3 [old.world]");
}

TEST(DocumentState, NotifiesOnlyWhenTheFlagFlips) {
    DocumentState state;
    int changes = 0;
    state.OnChange = [&] { ++changes; };
    state.MarkModified();
    state.MarkModified();
    EXPECT_TRUE(state.Modified());
    state.MarkClean();
    state.MarkClean();
    EXPECT_FALSE(state.Modified());
    EXPECT_EQ(changes, 2);
}

TEST_F(DocumentCommandsTest, OpenReplacesTheDocumentAndResetsTheView) {
    const std::u16string world = SavedWorld("desert.raw");
    Cam.CamDistance = 50;
    Host.FileAnswers = {world};
    Commands.FileOpen();
    EXPECT_EQ(Host.Prompts, 0); // nothing to lose
    ASSERT_EQ(Host.FileQuestions.size(), 1u);
    EXPECT_EQ(Host.FileQuestions[0], std::make_pair(FileKind::World, false));
    EXPECT_TRUE(Host.Errors.empty());
    EXPECT_EQ(Doc.WorldFileName, world);
    EXPECT_EQ(Doc.Units.UnitCount(), 1);
    EXPECT_FALSE(State.Modified());
    EXPECT_EQ(Cam.CamDistance, 2300);
    EXPECT_EQ(GridLines(), 56u);
    EXPECT_GE(Host.CaptionRefreshes, 1);
    EXPECT_EQ(Host.PanelRefreshes, 1);
}

TEST_F(DocumentCommandsTest, CancelledOpenDialogChangesNothing) {
    LoadPair();
    Doc.WorldFileName = u"kept.raw";
    State.MarkClean();
    Host.FileAnswers = {std::nullopt};
    Commands.FileOpen();
    EXPECT_EQ(Doc.Units.UnitCount(), 1);
    EXPECT_EQ(Doc.WorldFileName, u"kept.raw");
    EXPECT_EQ(Host.PanelRefreshes, 1); // the load's only
}

TEST_F(DocumentCommandsTest, FailedOpenIsShownOnceAndLeavesAnEmptyUntitledWorld) {
    LoadPair();
    Host.Choices = {SaveChoice::Discard};
    Host.FileAnswers = {Path("missing.raw")};
    Commands.FileOpen();
    ASSERT_EQ(Host.Errors.size(), 1u);
    EXPECT_EQ(Host.Errors[0], "Error : TFileQX.Open. FileName=" + Dir.File("missing.raw") +
                                  test::Reason(test::Why::MissingFile));
    EXPECT_TRUE(Doc.WorldFileName.empty());
    EXPECT_EQ(Doc.Units.UnitCount(), 0);
    EXPECT_FALSE(State.Modified());
    EXPECT_EQ(GridLines(), 56u); // the clear freed it; the open builds it again
}

TEST_F(DocumentCommandsTest, UnsavedChangesAskBeforeOpenClearAndExit) {
    const std::u16string world = SavedWorld("other.raw");
    LoadPair();
    ASSERT_TRUE(State.Modified());

    // Cancel keeps everything, for each of the three.
    Host.Choices = {SaveChoice::Cancel, SaveChoice::Cancel, SaveChoice::Cancel};
    Commands.FileOpen();
    Commands.FileClear();
    EXPECT_FALSE(Commands.ConfirmClose());
    EXPECT_EQ(Host.Prompts, 3);
    EXPECT_TRUE(Host.FileQuestions.empty());
    EXPECT_EQ(Doc.Units.UnitCount(), 1);
    EXPECT_TRUE(State.Modified());

    // Discard goes ahead without saving.
    Host.Choices = {SaveChoice::Discard};
    Host.FileAnswers = {world};
    Commands.FileOpen();
    EXPECT_EQ(Doc.WorldFileName, world);
    EXPECT_FALSE(State.Modified());

    // A clean document asks nothing.
    EXPECT_TRUE(Commands.ConfirmClose());
    Commands.FileClear();
    EXPECT_EQ(Host.Prompts, 4);
}

TEST_F(DocumentCommandsTest, SaveChoiceSavesFirstAndGoesAheadOnlyWhenTheSaveWorked) {
    LoadPair();
    // Untitled: Save asks for a name; cancelling that cancels the clear.
    Host.Choices = {SaveChoice::Save};
    Host.FileAnswers = {std::nullopt};
    Commands.FileClear();
    EXPECT_EQ(Doc.Units.UnitCount(), 1);
    EXPECT_TRUE(State.Modified());

    // With a name the clear follows the save.
    Host.Choices = {SaveChoice::Save};
    Host.FileAnswers = {Path("saved.raw")};
    Commands.FileClear();
    EXPECT_TRUE(fs::exists(Dir.File("saved.raw")));
    EXPECT_EQ(Doc.Units.UnitCount(), 0);
    EXPECT_TRUE(Doc.WorldFileName.empty());
    EXPECT_TRUE(Host.Errors.empty());

    // The saved world holds the unit.
    WorldDoc check;
    EXPECT_EQ(check.WorldOpen(Path("saved.raw")), "");
    EXPECT_EQ(check.Units.UnitCount(), 1);
}

TEST_F(DocumentCommandsTest, FailedSaveIsReportedOnceAndKeepsTheDocumentModified) {
    LoadPair();
    const std::u16string unwritable = Path("no-such-folder/w.raw");
    Host.FileAnswers = {unwritable};
    EXPECT_FALSE(Commands.FileSaveAs());
    ASSERT_EQ(Host.Errors.size(), 1u);
    EXPECT_NE(Host.Errors[0].find("no-such-folder"), std::string::npos) << Host.Errors[0];
    EXPECT_TRUE(State.Modified());
    EXPECT_TRUE(Doc.WorldFileName.empty()); // a failed Save As does not rename the document

    // Exit with Save chosen and a failing save: the window stays.
    Doc.WorldFileName = unwritable;
    Host.Choices = {SaveChoice::Save};
    EXPECT_FALSE(Commands.ConfirmClose());
    EXPECT_EQ(Host.Errors.size(), 2u);
    EXPECT_TRUE(State.Modified());
    EXPECT_EQ(Doc.Units.UnitCount(), 1);
}

TEST_F(DocumentCommandsTest, SaveWritesToTheNameWithoutAskingAndSaveAsRenames) {
    LoadPair();
    Host.FileAnswers = {Path("first.raw")};
    EXPECT_TRUE(Commands.FileSave()); // untitled: asks
    EXPECT_EQ(Doc.WorldFileName, Path("first.raw"));
    EXPECT_FALSE(State.Modified());
    const int captions = Host.CaptionRefreshes;

    State.MarkModified();
    EXPECT_TRUE(Commands.FileSave()); // named: no dialog
    EXPECT_EQ(Host.FileQuestions.size(), 1u);
    EXPECT_FALSE(State.Modified());

    Host.FileAnswers = {Path("second.raw")};
    EXPECT_TRUE(Commands.FileSaveAs());
    EXPECT_EQ(Doc.WorldFileName, Path("second.raw"));
    EXPECT_GT(Host.CaptionRefreshes, captions);
    EXPECT_EQ(test::TempDir::Read(Dir.File("first.raw")),
              test::TempDir::Read(Dir.File("second.raw")));
}

TEST_F(DocumentCommandsTest, ClearKeepsTheRadiusAndRefreshesCaptionAndPage) {
    LoadPair();
    Doc.WorldRadius = 1500;
    Doc.WorldFileName = u"w.raw";
    Host.Choices = {SaveChoice::Discard};
    const int pages = Host.PanelRefreshes;
    Commands.FileClear();
    EXPECT_TRUE(Doc.WorldFileName.empty());
    EXPECT_EQ(Doc.WorldRadius, 1500);
    EXPECT_EQ(Doc.Units.UnitCurrent(), nullptr);
    EXPECT_EQ(Host.PanelRefreshes, pages + 1);
    EXPECT_EQ(GridLines(), 56u);

    Flags.WorldLine = false;
    Commands.FileClear();
    EXPECT_EQ(GridLines(), 0u);
}

TEST_F(DocumentCommandsTest, UnitLoadPlacesAtThePickAndStoresTheRelativeName) {
    Host.FileAnswers = {Opts.UnitPath + u"/Sub/Pair.TXT"};
    Commands.UnitLoad([] { return TSpherePick{true, 20, 70}; });
    ASSERT_EQ(Host.FileQuestions.size(), 1u);
    EXPECT_EQ(Host.FileQuestions[0], std::make_pair(FileKind::Unit, false));
    const TgmWorldUnit* u = Doc.Units.UnitCurrent();
    ASSERT_NE(u, nullptr);
    EXPECT_EQ(u->DescPath, u"sub\\pair.txt");
    float lon = 0, polar = 0;
    VecToSphere(u->Centre, lon, polar);
    EXPECT_NEAR(lon, 20, 0.05);
    EXPECT_NEAR(polar, 70, 0.05);
    EXPECT_TRUE(State.Modified());
    EXPECT_EQ(Host.PanelRefreshes, 1);
}

TEST_F(DocumentCommandsTest, UnitLoadOffTheSphereOrCancelledDoesNothing) {
    Host.FileAnswers = {Opts.UnitPath + u"/Sub/Pair.TXT", std::nullopt};
    Commands.UnitLoad([] { return TSpherePick{}; });
    bool picked = false;
    Commands.UnitLoad([&] {
        picked = true;
        return TSpherePick{true, 0, 90};
    });
    EXPECT_FALSE(picked);
    EXPECT_EQ(Doc.Units.UnitCount(), 0);
    EXPECT_FALSE(State.Modified());
    EXPECT_TRUE(Host.Errors.empty());
}

TEST_F(DocumentCommandsTest, RefusedUnitLoadSaysWhy) {
    EXPECT_FALSE(Commands.UnitLoadFile(Opts.UnitPath + u"/absent.txt", 0, 90));
    ASSERT_EQ(Host.Errors.size(), 1u);
    EXPECT_EQ(Host.Errors[0].rfind("Error : ", 0), 0u);
    EXPECT_NE(Host.Errors[0].find("absent.txt"), std::string::npos) << Host.Errors[0];
    EXPECT_EQ(Doc.Units.UnitCount(), 0);
    EXPECT_FALSE(State.Modified());
}

TEST_F(DocumentCommandsTest, ReloadCurrentTypeReplacesOnlyUnitsOfThatFile) {
    // A unit folder of our own, so one description can vanish.
    fs::create_directories(Dir.Path() / "units" / "sub");
    fs::copy_file(fs::path(GM_TEST_DATA) / "units" / "Sub" / "Pair.TXT",
                  Dir.Path() / "units" / "sub" / "pair.txt");
    fs::copy_file(fs::path(GM_TEST_DATA) / "units" / "Sub" / "Pair.TXT",
                  Dir.Path() / "units" / "other.txt");
    Opts.UnitPath = AnsiToWideQX((Dir.Path() / "units").string());
    TgmWorldUnit* a = LoadPair(0, 90);
    ASSERT_TRUE(Commands.UnitLoadFile(Opts.UnitPath + u"/other.txt", 30, 90));
    TgmWorldUnit* other = Doc.Units.UnitCurrent();
    LoadPair(60, 90);
    const int pages = Host.PanelRefreshes;
    State.MarkClean();

    Doc.Units.SetCurrentUnit(a);
    Commands.UnitReloadCurrentType();
    EXPECT_EQ(Doc.Units.UnitCount(), 3);
    // A reloaded unit is a new one at the end of the list: only the other file's unit stays first.
    EXPECT_EQ(Doc.Units.List().First(), other);
    EXPECT_EQ(Doc.Units.UnitCurrent(), nullptr);
    EXPECT_TRUE(State.Modified());
    EXPECT_EQ(Host.PanelRefreshes, pages + 1);
    EXPECT_TRUE(Host.Errors.empty());

    // Both pair units fail alike once their file is gone: one message, nothing lost.
    fs::remove(Dir.Path() / "units" / "sub" / "pair.txt");
    State.MarkClean();
    Commands.UnitReloadAll();
    ASSERT_EQ(Host.Errors.size(), 1u);
    EXPECT_NE(Host.Errors[0].find("pair.txt"), std::string::npos) << Host.Errors[0];
    EXPECT_EQ(Doc.Units.UnitCount(), 3);
    EXPECT_TRUE(State.Modified()); // the other unit was reloaded
}

TEST_F(DocumentCommandsTest, ReloadWithoutCurrentUnitOnlyRefreshesThePage) {
    LoadPair();
    Doc.Units.SetCurrentUnit(nullptr);
    State.MarkClean();
    Commands.UnitReloadCurrent();
    Commands.UnitReloadCurrentType();
    EXPECT_FALSE(State.Modified());
    EXPECT_TRUE(Host.Errors.empty());
}

TEST_F(DocumentCommandsTest, RadiusEnterTakesTheDigitsWithAFloorAndMovesTheCamera) {
    const struct {
        std::u16string text;
        float radius;
        bool modified;
    } cases[] = {
        {u"300", 500, true}, {u"1a2b0c0", 1200, true}, {u"1200", 1200, false}, {u"", 500, true}};
    for (const auto& c : cases) {
        State.MarkClean();
        const float before = Doc.WorldRadius;
        const float distance = Cam.CamDistance;
        const int pages = Host.PanelRefreshes;
        Commands.WorldRadiusEnter(c.text);
        EXPECT_EQ(Doc.WorldRadius, c.radius) << WideToAnsiQX(c.text);
        EXPECT_EQ(Cam.CamDistance, distance + (c.radius - before));
        EXPECT_EQ(State.Modified(), c.modified);
        EXPECT_EQ(Host.PanelRefreshes, pages + 1);
        EXPECT_EQ(GridLines(), 56u);
    }
}

TEST_F(DocumentCommandsTest, WorldLineFreesAndBuildsTheGridWithTheCurrentSettings) {
    Commands.ViewWorldLine(false);
    EXPECT_FALSE(Flags.WorldLine);
    EXPECT_EQ(GridLines(), 0u);
    Opts.WLCount = 16;
    Commands.ViewWorldLine(true);
    EXPECT_GT(GridLines(), 56u);
    EXPECT_FALSE(State.Modified()); // a view, not an edit
}

TEST_F(DocumentCommandsTest, CorrectPointMarksOnlyARealRepair) {
    TPointGM* p = Doc.Points.PointAdd();
    Commands.History().Reset(true); // as if the world had been opened so
    Commands.PointCorrect();
    EXPECT_FALSE(State.Modified());
    Doc.Points.SetMaster(p, p); // as a damaged file can leave it
    Commands.History().Reset(true);
    Commands.PointCorrect();
    EXPECT_EQ(p->Master, nullptr);
    EXPECT_TRUE(State.Modified());
}

// --- Undo and redo through the commands ---

std::string SavedBytes(WorldDoc& doc) {
    TBufQX buf;
    doc.WorldWrite(buf);
    return std::string(reinterpret_cast<const char*>(buf.Data), static_cast<std::size_t>(buf.Len));
}

TEST_F(DocumentCommandsTest, UndoToTheSavedStateClearsTheModifiedFlag) {
    LoadPair();
    Host.FileAnswers = {Path("w.raw")};
    ASSERT_TRUE(Commands.FileSaveAs());
    const std::string saved = test::TempDir::Read(Dir.File("w.raw"));
    const float distance = Cam.CamDistance;

    Commands.WorldRadiusEnter(u"1500");
    LoadPair(40, 80);
    EXPECT_TRUE(State.Modified());
    EXPECT_EQ(Commands.History().UndoLabel(), "Load unit");
    ASSERT_TRUE(Commands.EditUndo());
    EXPECT_TRUE(State.Modified());
    ASSERT_TRUE(Commands.EditUndo());
    EXPECT_FALSE(State.Modified());
    EXPECT_EQ(SavedBytes(Doc), saved);
    // The camera keeps its height above the surface as the radius goes back.
    EXPECT_EQ(Cam.CamDistance, distance);
    EXPECT_EQ(GridLines(), 56u);
    // Beyond the save: the load made before it, back to the empty world.
    ASSERT_TRUE(Commands.EditUndo());
    EXPECT_EQ(Doc.Units.UnitCount(), 0);
    EXPECT_TRUE(State.Modified());
    EXPECT_FALSE(Commands.EditUndo());

    ASSERT_TRUE(Commands.EditRedo());
    EXPECT_FALSE(State.Modified());
    ASSERT_TRUE(Commands.EditRedo());
    EXPECT_EQ(Doc.WorldRadius, 1500);
    EXPECT_TRUE(State.Modified());
    EXPECT_GT(Host.HistoryChanges, 0);
    EXPECT_TRUE(Host.Errors.empty());
}

TEST_F(DocumentCommandsTest, UndoOfAUnitLoadBringsBackTheSelectionBeforeIt) {
    TgmWorldUnit* first = LoadPair(0, 90);
    ASSERT_EQ(Doc.Units.UnitCurrent(), first);
    LoadPair(60, 90);
    ASSERT_TRUE(Commands.EditUndo());
    EXPECT_EQ(Doc.Units.UnitCount(), 1);
    ASSERT_NE(Doc.Units.UnitCurrent(), nullptr); // a new object in the first unit's place
    EXPECT_EQ(Doc.Units.UnitCurrent(), Doc.Units.List().First());
    ASSERT_TRUE(Commands.EditRedo());
    EXPECT_EQ(Doc.Units.UnitCount(), 2);
    EXPECT_EQ(Doc.Units.UnitCurrent(), Doc.Units.List().First()->Next);
}

TEST_F(DocumentCommandsTest, OpenAndClearStartANewHistoryAndTheRecentFilesHearOfOpenAndSave) {
    const std::u16string world = SavedWorld("a.raw");
    LoadPair();
    Host.Choices = {SaveChoice::Discard};
    EXPECT_TRUE(Commands.OpenFileConfirmed(world));
    EXPECT_FALSE(Commands.History().CanUndo());
    EXPECT_EQ(Host.Used, std::vector<std::u16string>{world});
    Commands.WorldRadiusEnter(u"900");
    EXPECT_TRUE(Commands.FileSave());
    EXPECT_EQ(Host.Used.size(), 2u);
    Commands.FileClear();
    EXPECT_FALSE(Commands.History().CanUndo());
    EXPECT_FALSE(Commands.OpenFile(Path("missing.raw")));
    EXPECT_EQ(Host.Used.size(), 2u); // a failed open is no recent file
}

TEST_F(DocumentCommandsTest, ARecoveredBackupIsUnsavedUnderTheOriginalName) {
    const std::u16string backup = SavedWorld("backup.raw");
    EXPECT_TRUE(Commands.RecoverBackup(backup, Path("mine.raw")));
    EXPECT_EQ(Doc.WorldFileName, Path("mine.raw"));
    EXPECT_EQ(Doc.Units.UnitCount(), 1);
    EXPECT_TRUE(State.Modified());
    EXPECT_FALSE(Commands.History().CanUndo());
    // Save writes the original file, not the backup.
    EXPECT_TRUE(Commands.FileSave());
    EXPECT_EQ(test::TempDir::Read(Dir.File("mine.raw")),
              test::TempDir::Read(Dir.File("backup.raw")));

    EXPECT_FALSE(Commands.RecoverBackup(Path("gone.raw"), Path("mine.raw")));
    EXPECT_EQ(Host.Errors.size(), 1u);
    EXPECT_FALSE(State.Modified());
}

} // namespace
} // namespace gm
