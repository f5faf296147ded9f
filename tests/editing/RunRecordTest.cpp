// Recovery after runs that died: which worlds are offered, to whom, and how often. Other runs
// are real processes, so their locks are released the way a crash releases them.

#include "editing/RunRecord.h"

#include <chrono>
#include <filesystem>

#include <gtest/gtest.h>

#include "editing/Autosave.h"
#include "foundation/Codec.h"
#include "support/TempDir.h"
#include "world/WorldDoc.h"

#ifndef _WIN32
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace gm {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class RunRecordTest : public test::TempDirTest {
protected:
    std::string Backups() const { return Dir.File("backups"); }
    std::u16string World(const std::string& name) {
        WorldDoc doc;
        doc.WorldSaveAs(AnsiToWideQX(Dir.File(name)));
        // Saved well before any backup of it.
        fs::last_write_time(Dir.File(name), fs::file_time_type::clock::now() - 1h);
        return doc.WorldFileName;
    }

    // Another editor: opens world, writes a backup of it stamped `stamp`, then either dies at
    // once (as kill -9 leaves it: no clean exit) or keeps running until killed. Returns its pid.
    pid_t Editor(const std::u16string& world, int64_t stamp, bool dies) {
        int ready[2];
        EXPECT_EQ(::pipe(ready), 0);
        const pid_t pid = ::fork();
        if (pid == 0) {
            auto* run = new RunRecord(Backups(), NewRunId(::getpid()));
            run->Begin();
            Autosave saver(Backups(), AutosavePolicy{}, run->Id());
            saver.SetRecord(run);
            run->SetOpen(saver.Key(world));
            WorldDoc doc;
            doc.WorldFileName = world;
            doc.WorldRadius = 1000 + static_cast<float>(stamp % 1000);
            saver.Write(doc, 0, 1, stamp);
            (void)!::write(ready[1], "x", 1);
            if (!dies) ::pause();
            ::_exit(0);
        }
        char c = 0;
        EXPECT_EQ(::read(ready[0], &c, 1), 1);
        ::close(ready[0]);
        ::close(ready[1]);
        if (dies) ::waitpid(pid, nullptr, 0);
        Living.push_back(pid);
        return pid;
    }
    void Kill(pid_t pid) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
    void TearDown() override {
        for (const pid_t pid : Living)
            Kill(pid);
    }
    std::vector<std::u16string> Offered() {
        std::vector<std::u16string> worlds;
        for (const RecoveryOffer& o : RecoveryFind(Backups(), "own"))
            worlds.push_back(o.Origin);
        return worlds;
    }

    std::vector<pid_t> Living;
};

TEST_F(RunRecordTest, OnlyTheWorldsOfRunsThatDiedAreOfferedEachOnce) {
    const std::u16string x = World("x.raw"), y = World("y.raw");
    Editor(x, 1000, true);                  // dies
    const pid_t b = Editor(y, 2000, false); // newer backup, still running
    ASSERT_EQ(Offered(), std::vector<std::u16string>{x});

    // Offered once: what the answer did not take back stays for the next start.
    const std::vector<RecoveryOffer> offers = RecoveryFind(Backups(), "own");
    RecoveryDone(Backups(), offers[0], false);
    EXPECT_TRUE(Offered().empty());
    EXPECT_FALSE(Autosave::BackupsOfKey(Backups(), offers[0].Key).empty());

    Kill(b); // now Y's editor has died too
    EXPECT_EQ(Offered(), std::vector<std::u16string>{y});
}

TEST_F(RunRecordTest, NewestFirstAndAWorldOfTwoDeadRunsOnce) {
    const std::u16string x = World("x.raw"), z = World("z.raw");
    Editor(x, 1000, true);
    fs::file_time_type t = fs::file_time_type::clock::now() - 30min;
    for (const std::string& b : Autosave::BackupsOfKey(Backups(), Autosave::WorldKey(x)))
        fs::last_write_time(b, t);
    Editor(z, 2000, true);
    Editor(x, 3000, true);
    const std::vector<RecoveryOffer> offers = RecoveryFind(Backups(), "own");
    ASSERT_EQ(offers.size(), 2u);
    EXPECT_EQ(offers[0].Origin, x);
    EXPECT_EQ(offers[0].Backup.substr(offers[0].Backup.size() - 8), "3000.raw");
    EXPECT_EQ(offers[0].Runs.size(), 2u);
    EXPECT_EQ(offers[1].Origin, z);

    // Declined: never offered again, and its backups go.
    RecoveryDone(Backups(), offers[0], true);
    EXPECT_EQ(Offered(), std::vector<std::u16string>{z});
    EXPECT_TRUE(Autosave::BackupsOfKey(Backups(), offers[0].Key).empty());
}

TEST_F(RunRecordTest, SavedDiscardedOrOpenElsewhereIsNotOffered) {
    const std::u16string x = World("x.raw"), y = World("y.raw");
    // A world saved after its backup has nothing to restore.
    Editor(x, 1000, true);
    fs::last_write_time(Dir.File("x.raw"), fs::file_time_type::clock::now() + 1min);
    EXPECT_TRUE(Offered().empty());

    // Work this run settled (saved or discarded) is not offered after its own crash.
    const pid_t pid = ::fork();
    if (pid == 0) {
        auto* run = new RunRecord(Backups(), NewRunId(::getpid()));
        run->Begin();
        Autosave saver(Backups(), AutosavePolicy{}, run->Id());
        saver.SetRecord(run);
        WorldDoc doc;
        doc.WorldFileName = y;
        saver.Write(doc, 0, 1, 5000);
        saver.Retire(y);
        ::_exit(0);
    }
    ::waitpid(pid, nullptr, 0);
    EXPECT_TRUE(Offered().empty());

    // A world another live editor has open is left to it.
    Editor(y, 6000, true);
    const pid_t live = Editor(y, 100, false);
    fs::remove_all(Autosave::BackupsOfKey(Backups(), Autosave::WorldKey(y)).front());
    EXPECT_TRUE(Offered().empty());
    Kill(live);
    EXPECT_EQ(Offered(), std::vector<std::u16string>{y});
}

TEST_F(RunRecordTest, ACleanExitLeavesNothingBehind) {
    {
        RunRecord run(Backups(), NewRunId(1));
        ASSERT_TRUE(run.Begin());
        RunRecord same(Backups(), run.Id());
        EXPECT_FALSE(same.Begin()); // one run, one lock
        run.AddBackup("x-00000000");
    }
    EXPECT_TRUE(fs::is_empty(Backups()));
    EXPECT_NE(NewRunId(7), NewRunId(7));
}

} // namespace
} // namespace gm
#endif
