#include "editing/RecentFiles.h"

#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

#include "editing/Settings.h"
#include "foundation/Codec.h"
#include "foundation/QX_Str.h"
#include "support/TempDir.h"

namespace gm {
namespace {

std::u16string World(int n) {
    return u"/worlds/w" + IntToWideQX(n) + u".raw";
}

TEST(RecentFiles, NewestFirstWithoutDuplicatesAndAtMostTen) {
    RecentFiles recent;
    for (int i = 1; i <= 12; ++i)
        recent.Add(World(i));
    ASSERT_EQ(recent.Files().size(), 10u);
    EXPECT_EQ(recent.Files().front(), World(12));
    EXPECT_EQ(recent.Files().back(), World(3)); // w1 and w2 fell off

    recent.Add(World(5)); // used again: to the front, once
    EXPECT_EQ(recent.Files().front(), World(5));
    EXPECT_EQ(recent.Files()[1], World(12));
    EXPECT_EQ(recent.Files().size(), 10u);
    EXPECT_EQ(std::count(recent.Files().begin(), recent.Files().end(), World(5)), 1);

    // The same file written with the other separator is the same entry.
    recent.Add(u"\\worlds\\w7.raw");
    EXPECT_EQ(recent.Files().front(), u"\\worlds\\w7.raw");
    EXPECT_EQ(recent.Files().size(), 10u);

    recent.Remove(World(12));
    EXPECT_EQ(recent.Files().size(), 9u);
    recent.Add(u"");
    EXPECT_EQ(recent.Files().size(), 9u);
}

TEST(RecentFiles, KeptInTheSettingsStore) {
    RecentFiles recent;
    recent.Add(World(1));
    recent.Add(u"/home/d\u00e9signer/\u4e16\u754c.raw");
    MemorySettingsStore store;
    recent.Save(store);
    EXPECT_EQ(store.Size(), 10u); // every place written, the unused ones empty

    RecentFiles loaded;
    loaded.Load(store);
    EXPECT_EQ(loaded.Files(), recent.Files());

    // Gaps, values of another type and repeated names are skipped.
    MemorySettingsStore odd;
    odd.Put("RecentFile1", std::u16string(u"/a.raw"));
    odd.Put("RecentFile2", MemorySettingsStore::OtherType{});
    odd.Put("RecentFile4", std::u16string(u"/b.raw"));
    odd.Put("RecentFile5", std::u16string(u"/a.raw"));
    odd.Put("RecentFile11", std::u16string(u"/c.raw"));
    loaded.Load(odd);
    EXPECT_EQ(loaded.Files(), (std::vector<std::u16string>{u"/a.raw", u"/b.raw"}));
}

TEST(RecentFiles, CaptionsNumberTheEntriesAndShowAmpersands) {
    EXPECT_EQ(RecentCaption(0, u"/w/a&b.raw"), u"&1 /w/a&&b.raw");
    EXPECT_EQ(RecentCaption(9, u"x.raw"), u"1&0 x.raw");
}

TEST(RecentFiles, OnlyWorldFilesAreTakenFromADrop) {
    EXPECT_EQ(DroppedWorldFile({u"/a/unit.txt", u"/a/B.RAW", u"/a/c.raw"}), u"/a/B.RAW");
    EXPECT_EQ(DroppedWorldFile({u"/a/unit.txt", u"raw", u"/a/x.raw.txt"}), u"");
    EXPECT_EQ(DroppedWorldFile({}), u"");
}

TEST(RecentFiles, FileDialogsStartInTheWorldsFolderOrTheLastOneUsed) {
    const test::TempDir dir;
    const std::u16string a = AnsiToWideQX(dir.File("a")), b = AnsiToWideQX(dir.File("b"));
    std::filesystem::create_directory(dir.File("a"));
    std::filesystem::create_directory(dir.File("b"));
    RecentFiles recent;
    recent.Add(u"/gone/old.raw");
    recent.Add(b + u"/older.raw");
    recent.Add(u"/gone/newest.raw");
    EXPECT_EQ(WorldDialogFolder(a + u"/open.raw", recent), a);
    EXPECT_EQ(WorldDialogFolder(u"", recent), b); // the newest whose folder is still there
    EXPECT_EQ(WorldDialogFolder(u"/gone/open.raw", recent), b);
    EXPECT_EQ(WorldDialogFolder(u"", RecentFiles()), u"");
}

} // namespace
} // namespace gm
