// Backups of unsaved work: when they are due, where they go, how many stay, how a failing write
// is reported, and when a backup is offered after a crash.

#include "editing/Autosave.h"

#include <chrono>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "foundation/Codec.h"
#include "support/TempDir.h"
#include "world/WorldDoc.h"

namespace gm {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string Examples = GM_SOURCE_DIR "/examples";

class AutosaveTest : public test::TempDirTest {
protected:
    void SetUp() override {
        ASSERT_EQ(Doc.WorldOpen(AnsiToWideQX(Examples + "/worlds/demo.raw")), "");
        Doc.WorldSaveAs(AnsiToWideQX(Dir.File("mine.raw")));
        Doc.WorldRadius = 1234; // an unsaved change
    }
    std::string Backups() const { return Dir.File("backups"); }
    std::string Bytes() {
        TBufQX buf;
        Doc.WorldWrite(buf);
        return std::string(reinterpret_cast<const char*>(buf.Data),
                           static_cast<std::size_t>(buf.Len));
    }
    static void SetTime(const std::string& file, fs::file_time_type t) {
        fs::last_write_time(file, t);
    }

    WorldDoc Doc;
};

TEST_F(AutosaveTest, DueOnceTheIntervalHasPassedAndTheDesignerPauses) {
    Autosave saver(Backups(), AutosavePolicy{1000, 100, 5});
    struct Poll {
        uint64_t Now;
        bool Modified;
        uint64_t Generation;
        uint64_t LastInput;
        bool Due;
    };
    const Poll polls[] = {
        {0, false, 1, 0, false},     // nothing unsaved
        {10, true, 2, 10, false},    // first seen unsaved: the interval starts
        {1009, true, 2, 0, false},   // not yet an interval
        {1010, true, 2, 950, false}, // the designer is busy
        {1060, true, 2, 950, true},  // paused for 110 ms
    };
    for (const Poll& p : polls)
        EXPECT_EQ(saver.Due(p.Now, p.Modified, p.Generation, p.LastInput), p.Due) << p.Now;
    ASSERT_TRUE(saver.Write(Doc, 1060, 2, 1).Written);
    EXPECT_FALSE(saver.Due(5000, true, 2, 0)); // nothing new since the backup
    EXPECT_FALSE(saver.Due(5000, true, 3, 0)); // a new change waits a whole interval
    EXPECT_FALSE(saver.Due(5999, true, 3, 0));
    EXPECT_TRUE(saver.Due(6000, true, 3, 0));
    // Saved meanwhile: nothing is due, and a later change starts the interval again.
    EXPECT_FALSE(saver.Due(6500, false, 4, 0));
    EXPECT_FALSE(saver.Due(7000, true, 5, 0));
    EXPECT_TRUE(saver.Due(8000, true, 5, 0));
}

TEST_F(AutosaveTest, WritesTheDocumentBesideNotOverTheWorldsFile) {
    const std::string original = test::TempDir::Read(Dir.File("mine.raw"));
    Autosave saver(Backups());
    const BackupResult r = saver.Write(Doc, 0, 1, 1700000000000);
    ASSERT_TRUE(r.Written) << r.Report;
    EXPECT_EQ(fs::path(r.File).parent_path(), fs::path(Backups()));
    EXPECT_EQ(test::TempDir::Read(r.File), Bytes());
    EXPECT_EQ(test::TempDir::Read(Dir.File("mine.raw")), original);
    EXPECT_EQ(saver.BackupsOf(Doc.WorldFileName), std::vector<std::string>{r.File});
    // The world the backup copies is named beside it, and the backup reads as a world.
    WorldDoc copy;
    EXPECT_EQ(copy.WorldOpen(AnsiToWideQX(r.File)), "");
    EXPECT_EQ(copy.WorldRadius, 1234);
}

TEST_F(AutosaveTest, KeepsTheLastFewPerWorld) {
    Autosave saver(Backups(), AutosavePolicy{0, 0, 3});
    std::vector<std::string> written;
    for (int64_t t = 1; t <= 5; ++t)
        written.push_back(saver.Write(Doc, 0, static_cast<uint64_t>(t), t * 1000).File);
    // Another world of the same name elsewhere keeps its own backups.
    WorldDoc other;
    other.WorldFileName = AnsiToWideQX(Dir.File("sub/mine.raw"));
    ASSERT_TRUE(saver.Write(other, 0, 1, 9000).Written);
    EXPECT_NE(Autosave::WorldKey(other.WorldFileName), Autosave::WorldKey(Doc.WorldFileName));

    EXPECT_EQ(saver.BackupsOf(Doc.WorldFileName),
              (std::vector<std::string>{written[2], written[3], written[4]}));
    EXPECT_EQ(saver.BackupsOf(other.WorldFileName).size(), 1u);
    EXPECT_EQ(Autosave::WorldKey(u""), "untitled");
}

TEST_F(AutosaveTest, AFailingWriteIsReportedOnceUntilABackupSucceeds) {
    Dir.Write("backups", "a file where the folder should be");
    Autosave saver(Backups(), AutosavePolicy{1000, 0, 5});
    const BackupResult first = saver.Write(Doc, 0, 1, 1);
    EXPECT_FALSE(first.Written);
    EXPECT_NE(first.Report.find("automatic backup"), std::string::npos) << first.Report;
    // Retried only after another interval, and then silently.
    EXPECT_FALSE(saver.Due(500, true, 1, 0));
    EXPECT_TRUE(saver.Due(1000, true, 1, 0));
    const BackupResult second = saver.Write(Doc, 1000, 1, 2);
    EXPECT_FALSE(second.Written);
    EXPECT_EQ(second.Report, "");

    fs::remove(Backups());
    EXPECT_TRUE(saver.Write(Doc, 2000, 1, 3).Written);
    fs::remove_all(Backups());
    Dir.Write("backups", "again");
    EXPECT_NE(saver.Write(Doc, 3000, 2, 4).Report, ""); // a new run of failures is reported
}

class RecoveryTest : public AutosaveTest {
protected:
    // A backup of the document written by an editor that then crashed (its mark stays).
    std::string CrashedWithBackup(int64_t pid = 111) {
        SessionMark mark(Backups(), pid);
        EXPECT_TRUE(mark.Begin());
        Autosave saver(Backups());
        const std::string file = saver.Write(Doc, 0, 1, 5000).File;
        mark.End();
        std::ofstream(mark.File()) << pid; // left behind, as a crash leaves it
        return file;
    }
    static bool NoneAlive(int64_t) { return false; }
};

TEST_F(RecoveryTest, OfferedAfterACrashForABackupNewerThanTheFile) {
    const std::string backup = CrashedWithBackup();
    SetTime(Dir.File("mine.raw"), fs::last_write_time(backup) - 10s);

    const RecoveryOffer offer = RecoveryFind(Backups(), 222, NoneAlive);
    ASSERT_TRUE(offer.Found);
    EXPECT_EQ(offer.Backup, backup);
    EXPECT_EQ(offer.Origin, Doc.WorldFileName);
    ASSERT_EQ(offer.StaleMarks.size(), 1u);

    // Offered once: the crashed run's mark goes with the offer.
    RecoveryForget(offer);
    EXPECT_FALSE(RecoveryFind(Backups(), 222, NoneAlive).Found);
    EXPECT_TRUE(fs::exists(backup)); // the backup itself stays
}

TEST_F(RecoveryTest, NotOfferedAfterACleanExitOrWhileTheOtherEditorRuns) {
    {
        SessionMark mark(Backups(), 111);
        ASSERT_TRUE(mark.Begin());
        Autosave saver(Backups());
        ASSERT_TRUE(saver.Write(Doc, 0, 1, 5000).Written);
    } // clean exit
    SetTime(Dir.File("mine.raw"), fs::file_time_type::clock::now() - 1h);
    EXPECT_FALSE(RecoveryFind(Backups(), 222, NoneAlive).Found);

    CrashedWithBackup(333);
    SetTime(Dir.File("mine.raw"), fs::file_time_type::clock::now() - 1h);
    EXPECT_FALSE(RecoveryFind(Backups(), 222, [](int64_t pid) { return pid == 333; }).Found);
    EXPECT_FALSE(RecoveryFind(Backups(), 333, NoneAlive).Found); // its own mark
    EXPECT_TRUE(RecoveryFind(Backups(), 222, NoneAlive).Found);
}

TEST_F(RecoveryTest, NotOfferedWhenTheWorldWasSavedAfterTheBackup) {
    const std::string backup = CrashedWithBackup();
    SetTime(Dir.File("mine.raw"), fs::last_write_time(backup) + 10s);
    const RecoveryOffer offer = RecoveryFind(Backups(), 222, NoneAlive);
    EXPECT_FALSE(offer.Found);
    EXPECT_EQ(offer.StaleMarks.size(), 1u); // still forgotten, so the check is not repeated
}

TEST_F(RecoveryTest, TheNewestCandidateWinsAndUntitledWorldsCount) {
    const std::string titled = CrashedWithBackup();
    SetTime(Dir.File("mine.raw"), fs::last_write_time(titled) - 1h);
    Doc.WorldFileName.clear();
    Autosave saver(Backups());
    const std::string untitled = saver.Write(Doc, 0, 1, 9000).File;
    SetTime(untitled, fs::last_write_time(titled) + 5s);

    RecoveryOffer offer = RecoveryFind(Backups(), 222, NoneAlive);
    ASSERT_TRUE(offer.Found);
    EXPECT_EQ(offer.Backup, untitled);
    EXPECT_EQ(offer.Origin, u"");

    SetTime(untitled, fs::last_write_time(titled) - 5s);
    offer = RecoveryFind(Backups(), 222, NoneAlive);
    EXPECT_EQ(offer.Backup, titled);
    // A world whose file has gone still has its backup offered.
    fs::remove(Dir.File("mine.raw"));
    EXPECT_EQ(RecoveryFind(Backups(), 222, NoneAlive).Backup, titled);
}

} // namespace
} // namespace gm
