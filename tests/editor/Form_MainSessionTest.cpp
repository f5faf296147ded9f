// The window's safety nets, driven as a designer would: Edit > Undo and Redo after page edits,
// backups of unsaved work, the restore offer after a crash, File > Recent and dropped worlds.
// Every question is answered by the test; nothing modal opens.

#include "editor/Form_Main.h"

#include <QAction>
#include <QComboBox>
#include <QDropEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QStackedWidget>
#include <QTest>
#include <QUrl>
#include <deque>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include "editing/FrameRender.h"
#include "editing/RunRecord.h"
#include "foundation/Codec.h"
#include "foundation/QX_Str.h"
#include "render/Scene.h"
#include "render/gm_Tex.h"
#include "support/TempDir.h"
#include "zones/ZoneEdit.h"

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace gm {
namespace {

namespace fs = std::filesystem;

class FormMainSessionTest : public test::TempDirTest {
protected:
    FormMainSessionTest() { Form = NewForm(); }

    std::unique_ptr<TFormMain> NewForm() {
        Store.Put(SettingUnitPath, UnitPath);
        auto form = std::make_unique<TFormMain>(Store, AnsiToWideQX(Dir.Path().string()),
                                                SettingsDefaults::Bundled(u"/nowhere"));
        form->SetMessageSink([this](const std::string& text) { Messages.push_back(text); });
        form->SetSavePrompt([this] {
            ++Prompts;
            if (Choices.empty()) {
                ADD_FAILURE() << "unexpected prompt";
                return SaveChoice::Cancel;
            }
            const SaveChoice c = Choices.front();
            Choices.pop_front();
            return c;
        });
        form->SetFileAsker([](FileKind, bool) -> std::optional<std::u16string> {
            ADD_FAILURE() << "unexpected file dialog";
            return std::nullopt;
        });
        form->SetRecoveryPrompt([this](const std::string& text) {
            RecoveryTexts.push_back(text);
            return RestoreAnswer;
        });
        return form;
    }
    TgmWorldUnit* LoadPair(float lon = 0, float polar = 90) {
        EXPECT_TRUE(Form->Commands().UnitLoadFile(UnitPath + u"/Sub/Pair.TXT", lon, polar));
        return Form->Doc.Units.UnitCurrent();
    }
    std::string Bytes() {
        TBufQX buf;
        Form->Doc.WorldWrite(buf);
        return std::string(reinterpret_cast<const char*>(buf.Data),
                           static_cast<std::size_t>(buf.Len));
    }
    std::u16string SavedWorld(const std::string& name) {
        WorldDoc doc;
        doc.Units.UnitPath = GM_TEST_DATA "/units";
        EXPECT_NE(doc.Units.UnitCreateAt(u"sub\\pair.txt", 10, 80), nullptr);
        doc.WorldSaveAs(AnsiToWideQX(Dir.File(name)));
        return AnsiToWideQX(Dir.File(name));
    }
    std::u16string BackupFolder() const { return AnsiToWideQX(Dir.File("backups")); }

    const std::u16string UnitPath = AnsiToWideQX(GM_TEST_DATA "/units");
    MemorySettingsStore Store;
    std::unique_ptr<TFormMain> Form;
    std::vector<std::string> Messages;
    std::deque<SaveChoice> Choices;
    int Prompts = 0;
    std::vector<std::string> RecoveryTexts;
    bool RestoreAnswer = true;
};

TEST_F(FormMainSessionTest, UndoAndRedoHaveKeysThePanelDoesNotUse) {
    EXPECT_EQ(Form->MM_Edit_Undo->shortcut(), QKeySequence("Alt+Backspace"));
    EXPECT_EQ(Form->MM_Edit_Redo->shortcuts(),
              (QList<QKeySequence>{QKeySequence("Ctrl+Y"), QKeySequence("Alt+Shift+Backspace")}));
    // The panel's keys: Ctrl with P, W, B or Z, and plain Z, C, Space, Delete, arrows, Home, Page.
    for (const char* taken :
         {"Ctrl+Z", "Z", "Ctrl+Shift+Z", "Ctrl+Alt+Z", "C", "Delete", "Space"}) {
        EXPECT_NE(Form->MM_Edit_Undo->shortcut(), QKeySequence(taken)) << taken;
        for (const QKeySequence& k : Form->MM_Edit_Redo->shortcuts())
            EXPECT_NE(k, QKeySequence(taken)) << taken;
    }
    EXPECT_FALSE(Form->MM_Edit_Undo->isEnabled());
    EXPECT_FALSE(Form->MM_Edit_Redo->isEnabled());
}

TEST_F(FormMainSessionTest, TypingInAFieldIsOneStepAndUndoShowsTheOldValue) {
    TgmWorldUnit* unit = LoadPair();
    Form->Doc.WorldFileName = AnsiToWideQX(Dir.File("w.raw"));
    ASSERT_TRUE(Form->Commands().FileSave());
    ASSERT_FALSE(Form->DocState.Modified());
    const std::string saved = Bytes();

    const std::size_t steps = Form->Commands().History().UndoCount();
    Form->EditUnitTimeOffset->clear(); // stores 0, which it already is: no step
    EXPECT_EQ(Form->Commands().History().UndoCount(), steps);
    QTest::keyClicks(Form->EditUnitTimeOffset, "-125");
    ASSERT_EQ(unit->TimeOffset, -125);
    EXPECT_EQ(Form->Commands().History().UndoCount(), steps + 1);
    EXPECT_TRUE(Form->DocState.Modified());
    EXPECT_EQ(Form->MM_Edit_Undo->text(), "Undo Time offset");
    EXPECT_TRUE(Form->MM_Edit_Undo->isEnabled());

    Form->MM_Edit_Undo->trigger();
    EXPECT_EQ(Bytes(), saved); // all four keystrokes at once
    EXPECT_FALSE(Form->DocState.Modified());
    EXPECT_EQ(Form->windowTitle(), "Skyhaul Gridmoor v0.3 [w]");
    EXPECT_EQ(Form->EditUnitTimeOffset->text(), "0");
    EXPECT_EQ(Form->MM_Edit_Redo->text(), "Redo Time offset");

    Form->MM_Edit_Redo->trigger();
    EXPECT_EQ(Form->Doc.Units.UnitCurrent()->TimeOffset, -125);
    EXPECT_EQ(Form->EditUnitTimeOffset->text(), "-125");
    EXPECT_TRUE(Form->DocState.Modified());
    EXPECT_TRUE(Messages.empty());
}

TEST_F(FormMainSessionTest, UndoOfAZoneEditRestoresTheExactRadius) {
    // A radius the page's rounded text would not give back, as a drag can leave it.
    TgmZone* zone = ZoneCreateAt(Form->Doc, Form->Flags, 30, 60);
    zone->RadiusAngle = 3.14159f;
    Form->Doc.Zones.ZoneUpdate(zone);
    Form->Commands().History().Reset(true);
    const std::string before = Bytes();

    Form->Doc.Zones.SetZoneCurrent(nullptr);
    Form->PanelRefresh(); // the Main page
    Form->Doc.Zones.SetZoneCurrent(zone);
    Form->Commands().BeforeChange();
    Form->Doc.Zones.ZoneDelete(zone);
    Form->Commands().AfterChange("Delete");
    Form->PanelRefresh();

    Form->MM_Edit_Undo->trigger();
    EXPECT_EQ(Form->NotebookAction->currentWidget()->objectName(), "Zone");
    EXPECT_EQ(Bytes(), before); // showing the zone stored nothing back
    EXPECT_FALSE(Form->DocState.Modified());
    EXPECT_FALSE(Form->MM_Edit_Undo->isEnabled());
}

TEST_F(FormMainSessionTest, UndoKeepsTheLoadedTextures) {
    TgmWorldUnit* unit = LoadPair(45, 45); // in the starting view
    FrameUpdateLists(Form->Doc, Form->GetScene(), Form->Cam, Form->Flags);
    const TexList& textures = Form->GetScene().Textures;
    const auto stone = [&]() -> TgmTex* {
        for (TgmTex* tex : textures.Entries())
            if (tex->TexFileName.find(u"stone") != std::u16string::npos) return tex;
        return nullptr;
    };
    ASSERT_NE(stone(), nullptr);
    const std::size_t entries = textures.Entries().Size();
    // A mark that a fresh load of the entry would clear.
    stone()->Error = "kept";
    Form->Commands().BeforeChange();
    unit->TimeOffset = 5;
    Form->Commands().AfterChange("Time offset");

    Form->MM_Edit_Undo->trigger();
    ASSERT_NE(stone(), nullptr);
    EXPECT_EQ(stone()->Error, "kept");
    EXPECT_EQ(textures.Entries().Size(), entries);
}

TEST_F(FormMainSessionTest, BackupsAreWrittenWhileIdleBesideTheWorld) {
    const std::u16string world = SavedWorld("mine.raw");
    Form->OpenAtStart(world);
    const std::string original = test::TempDir::Read(Dir.File("mine.raw"));
    Form->StartSession(BackupFolder());
    Form->Backups()->SetPolicy(AutosavePolicy{0, 0, 5});

    Form->AutosaveTick(); // nothing unsaved
    EXPECT_TRUE(Form->Backups()->BackupsOf(world).empty());
    Form->Commands().WorldRadiusEnter(u"1500");
    Form->AutosaveTick();
    const std::vector<std::string> backups = Form->Backups()->BackupsOf(world);
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(test::TempDir::Read(backups[0]), Bytes());
    EXPECT_EQ(test::TempDir::Read(Dir.File("mine.raw")), original);
    EXPECT_EQ(Form->Doc.WorldFileName, world);
    EXPECT_TRUE(Form->DocState.Modified());
    Form->AutosaveTick(); // nothing new since
    EXPECT_EQ(Form->Backups()->BackupsOf(world).size(), 1u);
}

TEST_F(FormMainSessionTest, AFailingBackupIsReportedOnce) {
    Dir.Write("backups", "a file, not a folder");
    Form->StartSession(BackupFolder());
    Form->Backups()->SetPolicy(AutosavePolicy{0, 0, 5});
    LoadPair();
    for (int i = 0; i < 5; ++i) {
        Form->Commands().WorldRadiusEnter(IntToWideQX(1000 + i));
        Form->AutosaveTick();
    }
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_NE(Messages[0].find("automatic backup"), std::string::npos) << Messages[0];
}

#ifndef _WIN32 // the crashed editor is a child process
TEST_F(FormMainSessionTest, RestoreIsOfferedAfterACrashButNotAfterACleanExit) {
    const std::u16string world = SavedWorld("mine.raw");
    Form->StartSession(BackupFolder());
    Form->Backups()->SetPolicy(AutosavePolicy{0, 0, 5});
    Form->OpenAtStart(world);
    Form->Commands().WorldRadiusEnter(u"1750");
    Form->AutosaveTick();
    fs::last_write_time(Dir.File("mine.raw"),
                        fs::file_time_type::clock::now() - std::chrono::hours(1));

    // Discarded at exit: the backup is retired and the next start asks nothing.
    Choices = {SaveChoice::Discard};
    ASSERT_TRUE(Form->close());
    EXPECT_TRUE(Form->Backups()->BackupsOf(world).empty());
    Form.reset();
    Form = NewForm();
    Form->StartSession(BackupFolder());
    EXPECT_FALSE(Form->OfferRecovery());
    EXPECT_TRUE(RecoveryTexts.empty());

    // The same edit in an editor that was killed: its lock goes with it, its record stays.
    const std::string folder = Dir.File("backups");
    const pid_t pid = ::fork();
    if (pid == 0) {
        auto* run = new RunRecord(folder, NewRunId(::getpid()));
        run->Begin();
        Autosave saver(folder, AutosavePolicy{}, run->Id());
        saver.SetRecord(run);
        WorldDoc doc;
        doc.Units.UnitPath = GM_TEST_DATA "/units";
        doc.WorldOpen(world);
        doc.WorldRadius = 1750;
        saver.Write(doc, 0, 1, 5000);
        ::_exit(0);
    }
    ::waitpid(pid, nullptr, 0);
    Form.reset();

    Form = NewForm();
    Form->StartSession(BackupFolder());
    ASSERT_TRUE(Form->OfferRecovery());
    ASSERT_EQ(RecoveryTexts.size(), 1u);
    EXPECT_NE(RecoveryTexts[0].find("\"mine\""), std::string::npos) << RecoveryTexts[0];
    EXPECT_EQ(Form->Doc.WorldRadius, 1750);
    EXPECT_EQ(Form->Doc.WorldFileName, world);
    EXPECT_TRUE(Form->DocState.Modified());
    EXPECT_EQ(Form->windowTitle(), "Skyhaul Gridmoor v0.3 [mine] *");
    EXPECT_FALSE(Form->OfferRecovery()); // once

    // This run lists the world until it is saved: should it die first, the work is offered again.
    const std::string list = Dir.File("backups/run-" + Form->Run()->Id() + ".worlds");
    EXPECT_NE(test::TempDir::Read(list).find("backup "), std::string::npos);
    ASSERT_TRUE(Form->Commands().FileSave());
    EXPECT_EQ(test::TempDir::Read(list).find("backup "), std::string::npos);
}
#endif

TEST_F(FormMainSessionTest, RecentWorldsAreListedNewestFirstAndKept) {
    std::vector<std::u16string> worlds;
    for (int i = 0; i < 11; ++i) {
        worlds.push_back(SavedWorld("w" + std::to_string(i) + ".raw"));
        Form->OpenAtStart(worlds.back());
    }
    QList<QAction*> items = Form->MM_File_Recent->actions();
    ASSERT_EQ(items.size(), 10);
    EXPECT_EQ(items[0]->text(), "&1 " + QString::fromStdU16String(worlds[10]));
    EXPECT_EQ(items[9]->text(), "1&0 " + QString::fromStdU16String(worlds[1]));

    // Kept with the settings: a new window lists them too.
    auto second = NewForm();
    EXPECT_EQ(second->Recent().Files().front(), worlds[10]);
    EXPECT_EQ(second->Recent().Files().size(), 10u);

    // Choosing one asks about unsaved changes, then opens it and moves it to the top.
    LoadPair();
    Choices = {SaveChoice::Discard};
    items[4]->trigger();
    EXPECT_EQ(Prompts, 1);
    EXPECT_EQ(Form->Doc.WorldFileName, worlds[6]);
    EXPECT_EQ(Form->MM_File_Recent->actions()[0]->text(),
              "&1 " + QString::fromStdU16String(worlds[6]));

    // One that has gone is reported and leaves the list.
    fs::remove(WideToAnsiQX(worlds[9]));
    ASSERT_EQ(Form->MM_File_Recent->actions()[2]->text(),
              "&3 " + QString::fromStdU16String(worlds[9]));
    Form->MM_File_Recent->actions()[2]->trigger();
    EXPECT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Form->Recent().Files().size(), 9u);
    EXPECT_EQ(Form->MM_File_Recent->actions().size(), 9);
}

TEST_F(FormMainSessionTest, ADroppedWorldOpensAfterTheUnsavedChangesQuestion) {
    const std::u16string world = SavedWorld("dropped.raw");
    LoadPair();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(Dir.File("notes.txt"))),
                  QUrl::fromLocalFile(QString::fromStdU16String(world))});
    // Each drop as a real one comes: the drag enters, then the files are let go.
    const auto dropIt = [&] {
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QCoreApplication::sendEvent(Form.get(), &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(Form.get(), &drop);
        QCoreApplication::processEvents();
    };
    Choices = {SaveChoice::Cancel};
    dropIt();
    EXPECT_EQ(Prompts, 1);
    EXPECT_TRUE(Form->Doc.WorldFileName.empty()); // cancelled: the unit stays
    EXPECT_EQ(Form->Doc.Units.UnitCount(), 1);

    Choices = {SaveChoice::Discard};
    dropIt();
    EXPECT_EQ(Prompts, 2);
    EXPECT_EQ(Messages, std::vector<std::string>{});
    EXPECT_EQ(Form->Doc.WorldFileName, world);

    QMimeData text;
    text.setUrls({QUrl::fromLocalFile(QString::fromStdString(Dir.File("unit.txt")))});
    QDragEnterEvent refused(QPoint(10, 10), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(Form.get(), &refused);
    EXPECT_FALSE(refused.isAccepted());
}

} // namespace
} // namespace gm
