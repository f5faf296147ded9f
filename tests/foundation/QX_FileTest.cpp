#include "foundation/QX_File.h"
#include "foundation/QX_Buf.h"
#include "foundation/QX_Error.h"

#include "support/ErrorOf.h"
#include "support/SystemReason.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace gm {
namespace {

namespace fs = std::filesystem;
using FileTest = test::TempDirTest;

using test::MessageOf;

using test::Entries;

TEST_F(FileTest, OpenFailuresNameTheFile) {
    const std::string missing = Dir.File("missing.raw");
    TFileQX f(missing);
    const std::string gone = test::Reason(test::Why::MissingFile);
    EXPECT_EQ(MessageOf([&] { f.Open(); }), "TFileQX.Open. FileName=" + missing + gone);
    EXPECT_EQ(MessageOf([&] { f.OpenRead(); }), "TFileQX.Open. FileName=" + missing + gone);
    EXPECT_FALSE(f.IsOpen());
    EXPECT_EQ(f.OpenCount, 0);
    // A folder is not a file, even where the system would open it for reading.
    TFileQX d(Dir.Path().string());
    EXPECT_EQ(MessageOf([&] { d.OpenRead(); }),
              "TFileQX.Open. FileName=" + Dir.Path().string() + test::Reason(test::Why::Folder));
    EXPECT_EQ(MessageOf([&] { f.GetSize(); }), "TFileQX.Open. FileName=" + missing + gone);
    EXPECT_EQ(MessageOf([&] { f.SetPointer(0, 0); }),
              "TFileQX.SetPointer. FileName=" + missing + test::Reason(test::Why::BadHandle));
    TFileQX bad(Dir.File("no/such/folder/x"));
    EXPECT_EQ(MessageOf([&] { bad.CreateNew(); }),
              "TFileQX.CreateNew. FileName=" + Dir.File("no/such/folder/x") +
                  test::Reason(test::Why::MissingFolder));
    EXPECT_EQ(bad.OpenCount, 0);
}

TEST_F(FileTest, OpensNestAndShareOneHandle) {
    TFileQX f(Dir.Write("a.bin", "hello"));
    f.Open();
    f.Open();
    EXPECT_EQ(f.OpenCount, 2);
    f.Close();
    EXPECT_TRUE(f.IsOpen());
    EXPECT_EQ(f.GetSize(), 5); // opens and closes around itself without closing the file
    EXPECT_TRUE(f.IsOpen());
    f.Close();
    EXPECT_FALSE(f.IsOpen());
    EXPECT_EQ(f.OpenCount, 0);
    f.Close(); // an extra close is harmless
    EXPECT_EQ(f.OpenCount, 0);

    f.Open();
    f.Open();
    f.CreateNew(); // discards the nesting and truncates
    EXPECT_EQ(f.OpenCount, 1);
    EXPECT_EQ(f.GetSize(), 0);
    f.SetFileName(Dir.File("b.bin"));
    EXPECT_FALSE(f.IsOpen());
    EXPECT_EQ(f.FileName, Dir.File("b.bin"));
}

TEST_F(FileTest, ReadWriteAndPointer) {
    const std::string name = Dir.File("rw.bin");
    TFileQX f(name);
    f.CreateNew();
    f.Write("abcdef", 6);
    EXPECT_EQ(f.GetPointer(), 6);
    EXPECT_EQ(f.SetPointer(-2, 2), 4);
    char two[2];
    f.Read(two, 2);
    EXPECT_EQ(std::string(two, 2), "ef");
    EXPECT_EQ(f.SetPointer(1, 0), 1);
    EXPECT_EQ(f.SetPointer(1, 1), 2);
    char many[10];
    EXPECT_EQ(MessageOf([&] { f.Read(many, 10); }),
              "TFileQX.Read. FileName=" + name +
                  " kolbyte=10 GetLastError=0 (the file ends early)");
    EXPECT_EQ(MessageOf([&] { f.SetPointer(-100, 0); }),
              "TFileQX.SetPointer. FileName=" + name + test::Reason(test::Why::BadSeek));
    f.Close();
    f.Write(nullptr, 0); // no system call, no failure, even closed
    EXPECT_EQ(MessageOf([&] { f.Write("xyz", 3); }), "TFileQX.Write. FileName=" + name +
                                                         " kolbyte=3" +
                                                         test::Reason(test::Why::BadHandle));
}

TEST_F(FileTest, BufferLoadsWholeFileOrRest) {
    TBufQX b;
    b.LoadFromFile(Dir.Write("empty.txt", ""));
    EXPECT_EQ(b.Len, 0);

    const std::string name = Dir.Write("data.bin", "0123456789");
    b.LoadFromFile(name);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(b.Data), b.Len), "0123456789");
    EXPECT_EQ(b.Pointer, 0);

    TFileQX f(name);
    f.Open();
    f.SetPointer(7, 0);
    b.LoadFromFileObj(f);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(b.Data), b.Len), "789");
    EXPECT_EQ(f.OpenCount, 1); // the nested open was closed again
    f.Close();

    const std::string missing = Dir.File("none.bin");
    EXPECT_EQ(MessageOf([&] { b.LoadFromFile(missing); }),
              "TFileQX.Open. FileName=" + missing + test::Reason(test::Why::MissingFile));
    EXPECT_EQ(b.Len, 0);
}

// POSIX modes; Windows' share modes have their own test (WindowsFileTest).
#ifndef _WIN32
TEST_F(FileTest, ReadOnlyFileLoads) {
    const std::string name = Dir.Write("locked.txt", "content");
    fs::permissions(name, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    TBufQX b;
    b.LoadFromFile(name);
    EXPECT_EQ(b.Len, 7);
    if (::geteuid() != 0) { // root may write anything, so only a user sees the refusal
        TFileQX f(name);
        EXPECT_EQ(MessageOf([&] { f.Open(); }),
                  "TFileQX.Open. FileName=" + name + " (Permission denied)");
    }
}
#endif

TEST_F(FileTest, AtomicSaveReplacesTheWholeFile) {
    const std::string name = Dir.Write("w.raw", "old content that is long");
    TBufQX b;
    b.AddStr("new");
    b.SaveToFile(name);
    EXPECT_EQ(test::TempDir::Read(name), "new");
    EXPECT_EQ(Entries(Dir.Path()), std::vector<std::string>{"w.raw"});

    TBufQX empty;
    empty.SaveToFile(Dir.File("fresh.raw"));
    EXPECT_TRUE(fs::exists(Dir.File("fresh.raw")));
    EXPECT_EQ(fs::file_size(Dir.File("fresh.raw")), 0u);
}

TEST_F(FileTest, FailedAtomicSaveLeavesEverythingAsItWas) {
    // A folder where the file should go: the replace fails, also for root.
    fs::create_directory(Dir.File("world.raw"));
    Dir.Write("world.raw/inside.txt", "keep");
    const std::string before = "keep";
    TBufQX b;
    b.AddStr("payload");
    EXPECT_EQ(MessageOf([&] { b.SaveToFile(Dir.File("world.raw")); }),
              "TFileQX.CreateNew. FileName=" + Dir.File("world.raw") +
                  test::Reason(test::Why::Folder));
    EXPECT_EQ(test::TempDir::Read(Dir.File("world.raw/inside.txt")), before);
    EXPECT_EQ(Entries(Dir.Path()), std::vector<std::string>{"world.raw"}); // no temp file left

    const std::string lost = Dir.File("gone/x.raw");
    EXPECT_EQ(MessageOf([&] { b.SaveToFile(lost); }),
              "TFileQX.CreateNew. FileName=" + lost + test::Reason(test::Why::MissingFolder));
}

TEST_F(FileTest, FilesSavedTogetherAreReplacedOnlyWhenAllAreWritten) {
    const std::string map = Dir.Write("edit.map", "old map");
    const std::string opt = Dir.Write("edit.opt", "old opt");
    SaveFilesAtomicQX({{map, "new map", 7}, {opt, "new opt!", 8}});
    EXPECT_EQ(test::TempDir::Read(map), "new map");
    EXPECT_EQ(test::TempDir::Read(opt), "new opt!");

    // The second cannot be written: the first stays as it was, and no temporary file is left.
    const std::string lost = Dir.File("gone/edit.opt");
    EXPECT_EQ(MessageOf([&] {
                  SaveFilesAtomicQX({{map, "third", 5}, {lost, "x", 1}});
              }),
              "TFileQX.CreateNew. FileName=" + lost + test::Reason(test::Why::MissingFolder));
    EXPECT_EQ(test::TempDir::Read(map), "new map");
    EXPECT_EQ(MessageOf([&] {
                  SaveFilesAtomicQX({{map, "third", 5}, {opt, "x", -1}});
              }),
              "TFileQX.Write. FileName=" + opt + " kolbyte=-1" +
                  test::Reason(test::Why::BadArgument));
    EXPECT_EQ(test::TempDir::Read(map), "new map");
    EXPECT_EQ(test::TempDir::Read(opt), "new opt!");
    EXPECT_EQ(Entries(Dir.Path()),
              (std::vector<std::string>{".gridmoor-save.lock", "edit.map", "edit.opt"}));
}

// Modes and symbolic links are POSIX's; on Windows a replaced file takes the new file's attributes.
#ifndef _WIN32
TEST_F(FileTest, AtomicSaveKeepsModeAndLinks) {
    const std::string real = Dir.Write("real.txt", "1");
    ::chmod(real.c_str(), 0640);
    fs::create_symlink(real, Dir.File("link.txt"));
    SaveFileAtomicQX(Dir.File("link.txt"), "22", 2);
    EXPECT_TRUE(fs::is_symlink(Dir.File("link.txt")));
    EXPECT_EQ(test::TempDir::Read(real), "22");
    struct stat st {};
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}
#endif

} // namespace
} // namespace gm
