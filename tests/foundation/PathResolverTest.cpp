#include "foundation/PathResolver.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace gm {
namespace {

namespace fs = std::filesystem;
using PathResolverTest = test::TempDirTest;

// Case is searched for only on case-sensitive file systems with "/" paths; Windows opens any
// case and separator as written (WindowsFileTest).
#ifndef _WIN32
TEST_F(PathResolverTest, MatchesComponentsIgnoringCase) {
    Dir.Write("Data/Units/Tower.TXT", "x");
    Dir.Write("Data/units2/a.txt", "y");
    const std::string base = Dir.Path().string();
    struct Case {
        const char* stored;
        const char* expected; // relative to base
    };
    const Case cases[] = {
        {"data\\units\\tower.txt", "Data/Units/Tower.TXT"},
        {"Data/Units/Tower.TXT", "Data/Units/Tower.TXT"},
        {"\\data\\units\\tower.txt", "Data/Units/Tower.TXT"}, // a leading \ stays under base
        {"data//units\\\\tower.txt", "Data/Units/Tower.TXT"},
        {"data\\UNITS2\\A.TXT", "Data/units2/a.txt"},
        {"data\\units\\missing.txt", "Data/Units/missing.txt"},   // kept as written
        {"nothere\\units\\tower.txt", "nothere/units/tower.txt"}, // nothing below is searched
        {"data\\.\\units\\..\\units\\tower.txt", "Data/./Units/../Units/Tower.TXT"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ResolvePathQX(base, c.stored), base + "/" + c.expected) << c.stored;
    EXPECT_EQ(ResolvePathQX(base + "/", "data\\units"), base + "/Data/Units");
}

TEST_F(PathResolverTest, ExactNameWinsOverCaseVariants) {
    Dir.Write("a.txt", "lower");
    Dir.Write("A.txt", "upper");
    Dir.Write("B.TXT", "1");
    Dir.Write("b.Txt", "2");
    const std::string base = Dir.Path().string();
    EXPECT_EQ(ResolvePathQX(base, "A.txt"), base + "/A.txt");
    EXPECT_EQ(ResolvePathQX(base, "a.txt"), base + "/a.txt");
    // Neither variant exists as written: the choice does not depend on directory order.
    EXPECT_EQ(ResolvePathQX(base, "b.txt"), base + "/B.TXT");
}

TEST_F(PathResolverTest, AbsoluteNamesIgnoreBase) {
    Dir.Write("Abs/File.txt", "x");
    const std::string abs = Dir.Path().string();
    EXPECT_EQ(ResolvePathQX("/somewhere/else", abs + "/abs/file.txt"), abs + "/Abs/File.txt");
    EXPECT_EQ(ResolvePathQX("", abs + "\\ABS\\FILE.TXT"), abs + "/Abs/File.txt");
}

TEST_F(PathResolverTest, EmptyBaseIsTheCurrentFolder) {
    Dir.Write("Cur/X.txt", "x");
    const fs::path old = fs::current_path();
    fs::current_path(Dir.Path());
    const std::string got = ResolvePathQX("", "cur\\x.txt");
    fs::current_path(old);
    EXPECT_EQ(got, "Cur/X.txt");
}
#endif

} // namespace
} // namespace gm
