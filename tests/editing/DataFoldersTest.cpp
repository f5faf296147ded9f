// Finding the bundled data, the start folder and the first-start folders from any current folder.

#include "editing/DataFolders.h"

#include <filesystem>
#include <vector>

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace gm {
namespace {

namespace fs = std::filesystem;

class DataFoldersTest : public test::TempDirTest {
protected:
    std::u16string U(const fs::path& p) const { return p.u16string(); }
    fs::path MakeDir(const std::string& name) const {
        fs::create_directories(Dir.Path() / name);
        return Dir.Path() / name;
    }
};

TEST_F(DataFoldersTest, BundledDataIsFoundInAnInstallAndInABuildTree) {
    // An install: <prefix>/bin beside <prefix>/share/gridmoor.
    MakeDir("prefix/bin");
    MakeDir("prefix/share/gridmoor/units");
    EXPECT_EQ(fs::path(BundledDataFolder(U(Dir.Path() / "prefix/bin")).value_or(u"")),
              Dir.Path() / "prefix/share/gridmoor");
    // A build tree: the gridmoor-data link beside the executable.
    MakeDir("examples/units");
    MakeDir("build/src/editor");
    std::error_code noLinks; // where links cannot be made, the build copies the folder
    fs::create_directory_symlink(Dir.Path() / "examples",
                                 Dir.Path() / "build/src/editor/gridmoor-data", noLinks);
    if (noLinks)
        fs::copy(Dir.Path() / "examples", Dir.Path() / "build/src/editor/gridmoor-data",
                 fs::copy_options::recursive);
    EXPECT_EQ(fs::path(BundledDataFolder(U(Dir.Path() / "build/src/editor")).value_or(u"")),
              Dir.Path() / "build/src/editor/gridmoor-data");
    // A folder without units is no data folder.
    MakeDir("bare/bin");
    MakeDir("bare/share/gridmoor");
    EXPECT_EQ(BundledDataFolder(U(Dir.Path() / "bare/bin")), std::nullopt);
    EXPECT_EQ(BundledDataFolder(u""), std::nullopt);
}

TEST_F(DataFoldersTest, StartFolderPrecedence) {
    const fs::path withBg = MakeDir("with-bg");
    Dir.Write("with-bg/bg.jpg", "x");
    const fs::path empty = MakeDir("empty");
    const std::u16string bundled = u"/opt/gm/share/gridmoor";
    struct Case {
        const char* what;
        StartFolderChoice choice;
        std::u16string expected;
    };
    // A vector, not an array: GCC's optimiser takes a member of the last array element for
    // uninitialised (a false warning, an error here).
    const std::vector<Case> cases = {
        {"given for the run", {U(empty), u"/stored", U(withBg), bundled}, U(empty)},
        {"stored", {u"", u"/stored/", U(withBg), bundled}, u"/stored"},
        {"current folder holding bg.jpg", {u"", u"", U(withBg), bundled}, U(withBg)},
        {"bundled data", {u"", u"", U(empty), bundled}, bundled},
        {"current folder at last", {u"", u"", U(empty), std::nullopt}, U(empty)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(StartFolderChoose(c.choice), c.expected) << c.what;
    EXPECT_EQ(StartFolderAutomatic(cases[0].choice), U(withBg)) << "ignores run and stored";
}

TEST_F(DataFoldersTest, FirstStartUsesBundledUnitsAndTheUsersOwnGameFolder) {
    const SettingsDefaults d = FirstStartDefaults(u"/opt/gm/share/gridmoor", u"/home/u/data");
    EXPECT_EQ(fs::path(d.UnitPath), fs::path("/opt/gm/share/gridmoor/units"));
    EXPECT_EQ(fs::path(d.SkyhaulPath), fs::path("/home/u/data/game"));
    EXPECT_EQ(FirstStartDefaults(std::nullopt, u"/home/u/data").SkyhaulPath, u"c:\\Skyhaul");
}

TEST_F(DataFoldersTest, UserGameFolderIsCopiedOnceAndNeverOverwritten) {
    const fs::path data = MakeDir("data");
    MakeDir("data/game/DATA");
    Dir.Write("data/game/CFG/CD/GMWall.txt", "2 {\n}\n");
    const fs::path game = Dir.Path() / "user/share/game";
    EXPECT_EQ(UserGameFolderEnsure(U(data), U(game)), "");
    EXPECT_TRUE(fs::is_directory(game / "DATA"));
    EXPECT_EQ(test::TempDir::Read((game / "CFG/CD/GMWall.txt").string()), "2 {\n}\n");
    EXPECT_FALSE(fs::exists(Dir.Path() / "user/share/game.partial"));
    // The user's files stay as they are at the next start.
    Dir.Write("user/share/game/CFG/CD/GMWall.txt", "mine");
    EXPECT_EQ(UserGameFolderEnsure(U(data), U(game)), "");
    EXPECT_EQ(test::TempDir::Read((game / "CFG/CD/GMWall.txt").string()), "mine");
}

TEST_F(DataFoldersTest, UserGameFolderThatCannotBeMadeIsReported) {
    const fs::path data = MakeDir("data");
    MakeDir("data/game/DATA");
    // A file where the user's data folder should be.
    const fs::path blocked = Dir.Write("blocked", "");
    const std::string error = UserGameFolderEnsure(U(data), U(blocked / "game"));
    EXPECT_NE(error.find("Cannot make the game folder"), std::string::npos) << error;
    EXPECT_NE(error.find("Options"), std::string::npos) << error;
}

TEST(StartDirFromText, OnlyAChangedFolderIsStored) {
    EXPECT_EQ(StartDirFromText(u"/data/gm", u"/data/gm"), std::nullopt);
    EXPECT_EQ(StartDirFromText(u" /data/gm/ ", u"/data/gm"), std::nullopt);
    EXPECT_EQ(StartDirFromText(u"/data/GM", u"/data/gm"), u"/data/GM"); // case kept
    EXPECT_EQ(StartDirFromText(u"", u"/data/gm"), u"");                 // back to automatic
}

} // namespace
} // namespace gm
