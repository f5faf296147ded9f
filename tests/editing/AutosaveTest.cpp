// Backups of unsaved work: when they are due, where they go, how many stay, how a failing write
// is reported.

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
    // Untitled worlds of two runs keep apart; neither run prunes the other's backups.
    Autosave first(Backups(), AutosavePolicy{1000, 0, 1}, "1-a"), second(Backups(), {}, "2-b");
    WorldDoc untitled;
    const std::string mine = first.Write(untitled, 0, 1, 10).File;
    ASSERT_FALSE(mine.empty());
    second.Write(untitled, 0, 1, 11);
    first.Write(untitled, 0, 2, 12);
    EXPECT_NE(first.Key(u""), second.Key(u""));
    EXPECT_EQ(first.BackupsOf(u"").size(), 1u);
    EXPECT_EQ(second.BackupsOf(u"").size(), 1u);
}

TEST_F(AutosaveTest, RetiringAWorldRemovesOnlyThisRunsBackupsOfIt) {
    Autosave mine(Backups(), {}, "1-a"), other(Backups(), {}, "2-b");
    WorldDoc untitled;
    const std::string kept = mine.Write(untitled, 0, 1, 9).File;
    const std::string gone = mine.Write(Doc, 0, 2, 10).File;
    const std::string theirs = other.Write(Doc, 0, 1, 11).File;
    mine.Retire(Doc.WorldFileName);
    EXPECT_FALSE(fs::exists(gone));
    EXPECT_TRUE(fs::exists(theirs)); // another editor on the same world keeps its work
    EXPECT_TRUE(fs::exists(kept));
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

} // namespace
} // namespace gm
