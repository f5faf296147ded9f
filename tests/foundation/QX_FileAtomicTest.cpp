// Honest saves: targets the user protects, links, long names, leftovers of killed saves, and
// files saved together that must change together even when a save fails, crashes or overlaps.

#include "foundation/FileLock.h"
#include "foundation/QX_Error.h"
#include "foundation/QX_File.h"

#include "support/ErrorOf.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>

#ifndef _WIN32
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace gm {
namespace {

namespace fs = std::filesystem;
using AtomicSaveTest = test::TempDirTest;

using test::MessageOf;

using test::Entries;

void Save(const std::string& name, const std::string& bytes) {
    SaveFileAtomicQX(name, bytes.data(), static_cast<int32_t>(bytes.size()));
}

void SavePair(const std::string& map, const std::string& opt, const std::string& text,
              const BeforeReplaceQX& hook = {}, int waitMs = 10000) {
    const std::string a = text + " map", b = text + " opt";
    SaveFilesAtomicQX({{map, a.data(), static_cast<int32_t>(a.size())},
                       {opt, b.data(), static_cast<int32_t>(b.size())}},
                      waitMs, hook);
}

// Runs body in a child process and waits for it to end (by itself or by a kill).
template <class F> int InChild(F&& body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        body();
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

TEST_F(AtomicSaveTest, ReadOnlyTargetsAreRefusedAndReplacedFilesKeepModeAndOwner) {
    const std::string locked = Dir.Write("locked.raw", "protected");
    ::chmod(locked.c_str(), 0444);
    EXPECT_EQ(MessageOf([&] { Save(locked, "new"); }),
              "TFileQX.CreateNew. FileName=" + locked + " (Permission denied)");
    EXPECT_EQ(test::TempDir::Read(locked), "protected");
    EXPECT_EQ(Entries(Dir.Path()), std::vector<std::string>{"locked.raw"});

    const std::string shared = Dir.Write("shared.raw", "old");
    ::chmod(shared.c_str(), 0664);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(shared.c_str(), 4321, 4321), 0);
    }
    Save(shared, "new");
    struct stat st {};
    ASSERT_EQ(::stat(shared.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0664u);
    if (root) {
        EXPECT_EQ(st.st_uid, 4321u);
    }
}

TEST_F(AtomicSaveTest, ALinkToAFileNotYetThereIsWrittenThrough) {
    fs::create_directory(Dir.File("real"));
    fs::create_symlink(Dir.File("real/w.raw"), Dir.File("w.raw"));
    Save(Dir.File("w.raw"), "through");
    EXPECT_TRUE(fs::is_symlink(Dir.File("w.raw")));
    EXPECT_EQ(test::TempDir::Read(Dir.File("real/w.raw")), "through");
}

TEST_F(AtomicSaveTest, NamesUpToTheSystemsLimitSave) {
    for (const std::size_t length : {200u, 234u, 254u, 255u}) {
        const std::string name = Dir.File(std::string(length - 4, 'x') + ".raw");
        Save(name, "long " + std::to_string(length));
        EXPECT_EQ(test::TempDir::Read(name), "long " + std::to_string(length));
    }
    EXPECT_EQ(Entries(Dir.Path()).size(), 4u); // no temporary file left
}

TEST_F(AtomicSaveTest, LeftoversOfKilledSavesGoWithTheNextSave) {
    const std::string target = Dir.Write("w.raw", "old");
    const std::string stale = Dir.Write(".w.raw.0123456789abcdef.tmp", "killed half way");
    const std::string fresh = Dir.Write(".w.raw.fedcba9876543210.tmp", "being written");
    const std::string other = Dir.Write(".w.raw.notours.tmp", "someone else's");
    fs::last_write_time(stale, fs::file_time_type::clock::now() - std::chrono::hours(2));
    Save(target, "new");
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(fresh)); // may belong to a save under way
    EXPECT_TRUE(fs::exists(other));
}

TEST_F(AtomicSaveTest, AFailedReplaceOfTheSecondFileRestoresTheFirst) {
    const std::string map = Dir.Write("edit.map", "old map");
    const std::string opt = Dir.Write("edit.opt", "old opt");
    EXPECT_EQ(MessageOf([&] {
                  SavePair(map, opt, "new", [](std::size_t i) {
                      if (i == 1) RaiseQX("rename refused");
                  });
              }),
              "rename refused");
    EXPECT_EQ(test::TempDir::Read(map), "old map");
    EXPECT_EQ(test::TempDir::Read(opt), "old opt");
    EXPECT_EQ(Entries(Dir.Path()),
              (std::vector<std::string>{".gridmoor-save.lock", "edit.map", "edit.opt"}));
}

TEST_F(AtomicSaveTest, ASaveCrashedBetweenTheReplacesIsCompletedByTheNextOne) {
    const std::string map = Dir.Write("edit.map", "old map");
    const std::string opt = Dir.Write("edit.opt", "old opt");
    InChild([&] {
        SavePair(map, opt, "first", [](std::size_t i) {
            if (i == 1) ::_exit(0); // dies with only the end file replaced
        });
    });
    ASSERT_EQ(test::TempDir::Read(map), "first map");
    ASSERT_EQ(test::TempDir::Read(opt), "old opt");

    // The next save first puts the pair together, whatever becomes of its own files.
    EXPECT_EQ(
        MessageOf([&] { SavePair(map, opt, "second", [](std::size_t) { RaiseQX("stopped"); }); }),
        "stopped");
    EXPECT_EQ(test::TempDir::Read(map), "first map");
    EXPECT_EQ(test::TempDir::Read(opt), "first opt");
    SavePair(map, opt, "third");
    EXPECT_EQ(test::TempDir::Read(opt), "third opt");
    EXPECT_EQ(Entries(Dir.Path()),
              (std::vector<std::string>{".gridmoor-save.lock", "edit.map", "edit.opt"}));
}

TEST_F(AtomicSaveTest, SavesIntoOneFolderWaitForEachOther) {
    const std::string map = Dir.File("edit.map"), opt = Dir.File("edit.opt");
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    if (holder == 0) {
        FileLockQX lock(Dir.File(".gridmoor-save.lock"));
        const char ok = lock.TryLock() ? 'y' : 'n';
        (void)!::write(ready[1], &ok, 1);
        ::pause(); // holds the lock until killed
        ::_exit(0);
    }
    char ok = 0;
    ASSERT_EQ(::read(ready[0], &ok, 1), 1);
    ASSERT_EQ(ok, 'y');
    const std::string message = MessageOf([&] { SavePair(map, opt, "blocked", {}, 300); });
    EXPECT_EQ(message.rfind("Another save into the folder " + Dir.Path().string(), 0), 0u)
        << message;
    EXPECT_FALSE(fs::exists(map));

    ::kill(holder, SIGKILL); // the system releases the lock of a process that dies
    ::waitpid(holder, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);
    SavePair(map, opt, "free");
    EXPECT_EQ(test::TempDir::Read(map), "free map");
}

} // namespace
} // namespace gm
#endif
