#include "world/UnitLoad.h"

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "foundation/Codec.h"
#include "render/VOper.h"
#include "support/TempDir.h"
#include "world/WorldDoc.h"

namespace gm {
namespace {

#ifndef _WIN32
TEST(UnitDescPathTest, StoredNamesAreRelativeLowerCaseWithBackslashes) {
    struct Case {
        const char16_t* file;
        const char16_t* unitPath;
        const char16_t* stored;
    } cases[] = {
        {u"/Games/Units/Tower.TXT", u"/Games/Units", u"tower.txt"},
        {u"/Games/Units/Ships/Big/A.txt", u"/games/units", u"ships\\big\\a.txt"},
        {u"/Games/Units/Ships/A.txt", u"/Games/Units/", u"ships\\a.txt"},
        {u"\\Games\\Units\\Ships\\A.txt", u"/Games/Units", u"ships\\a.txt"},
        {u"/Games/Units/x/../Ships/./A.txt", u"/Games/Units/.", u"ships\\a.txt"},
        {u"  /Games/Units/A.txt  ", u"/Games/Units", u"a.txt"},
        // Outside the folder: "..\" steps, as the unit path dialog makes them.
        {u"/Games/Other/B.txt", u"/Games/Units", u"..\\other\\b.txt"},
        {u"/Other/B.txt", u"/Games/Units", u"..\\..\\other\\b.txt"},
        // No folder: the absolute name, which resolves without one.
        {u"/Games/Units/A.txt", u"", u"/games\\units\\a.txt"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(UnitDescPathFromFile(c.file, c.unitPath), c.stored)
            << WideToAnsiQX(c.file) << " in " << WideToAnsiQX(c.unitPath);
}
#else
TEST(UnitDescPathTest, StoredNamesAreRelativeLowerCaseWithBackslashes) {
    EXPECT_EQ(UnitDescPathFromFile(u"C:\\Game\\Units\\Ships\\a.txt", u"c:\\game\\units"),
              u"ships\\a.txt");
    EXPECT_EQ(UnitDescPathFromFile(u"c:\\other\\b.txt", u"c:\\game\\units"),
              u"..\\..\\other\\b.txt");
    // Another drive cannot be reached with "..\" steps.
    EXPECT_EQ(UnitDescPathFromFile(u"D:\\Units\\a.txt", u"c:\\game\\units"), u"d:\\units\\a.txt");
}
#endif

TEST(UnitDescPathTest, RelativeNamesCountFromTheCurrentFolder) {
    const std::u16string cwd = std::filesystem::current_path().generic_u16string();
    EXPECT_EQ(UnitDescPathFromFile(u"Sub/Pair.TXT", cwd), u"sub\\pair.txt");
    EXPECT_EQ(UnitDescPathFromFile(cwd + u"/Sub/Pair.TXT", u"."), u"sub\\pair.txt");
}

// Whatever the folder holds on disk, the stored name is lower case; the path resolver finds the
// file again.
const char* const Tiny = "KeyGroup {\n 0 {\n }\n}\nPoint {\n 1 {\n  Id=only\n  Pos=0,0,0\n }\n}\n";

class UnitLoadTest : public test::TempDirTest {
protected:
    WorldDoc Doc;
    const std::u16string Units = AnsiToWideQX(GM_TEST_DATA "/units");
    const std::u16string PairFile = AnsiToWideQX(GM_TEST_DATA "/units/Sub/Pair.TXT");
};

TEST_F(UnitLoadTest, PlacesTheNewCurrentUnitAtThePick) {
    const UnitLoadResult r = UnitLoadAtPick(Doc.Units, Units, PairFile, {true, 30, 60});
    ASSERT_EQ(r.Status, UnitLoadResult::Outcome::Placed) << r.Reason;
    EXPECT_EQ(r.DescPath, u"sub\\pair.txt");
    ASSERT_NE(r.Unit, nullptr);
    EXPECT_EQ(r.Unit->DescPath, u"sub\\pair.txt");
    EXPECT_EQ(Doc.Units.UnitCurrent(), r.Unit);
    // The description's points average to local (0, 0): its centre direction is the pick.
    float lon = 0, polar = 0;
    VecToSphere(r.Unit->Centre, lon, polar);
    EXPECT_NEAR(lon, 30, 1e-3);
    EXPECT_NEAR(polar, 60, 1e-3);
    // The store resolves the name against the same folder later (reload).
    EXPECT_EQ(Doc.Units.UnitPath, GM_TEST_DATA "/units");
    ASSERT_TRUE(Doc.Units.UnitReload(r.Unit));
    EXPECT_EQ(Doc.Units.UnitCount(), 1);
}

TEST_F(UnitLoadTest, DescriptionsSavedInACodePageKeepTheirNames) {
    // Cyrillic "Da" in Windows-1251: not UTF-8, so read in the store's code page.
    Dir.Write("ru.txt", "KeyGroup {\n 0 {\n }\n}\nPoint {\n 1 {\n  Id=\xC4\xE0\n"
                        "  Pos=0,0,0\n }\n}\n");
    Doc.Units.LegacyCodePage = "Windows-1251";
    const UnitLoadResult r = UnitLoadAtPick(Doc.Units, AnsiToWideQX(Dir.Path().string()),
                                            AnsiToWideQX(Dir.File("ru.txt")), {true, 30, 60});
    ASSERT_EQ(r.Status, UnitLoadResult::Outcome::Placed) << r.Reason;
    const std::vector<TPointGM*> pts = Doc.Points.PointsOfUnit(r.Unit);
    ASSERT_EQ(pts.size(), 1u);
    EXPECT_EQ(pts[0]->Id, u"\u0414\u0430");
}

TEST_F(UnitLoadTest, AMissedPickChangesNothing) {
    Doc.Units.UnitPath = "elsewhere";
    const UnitLoadResult r = UnitLoadAtPick(Doc.Units, Units, PairFile, {false, 30, 60});
    EXPECT_EQ(r.Status, UnitLoadResult::Outcome::Missed);
    EXPECT_EQ(r.Unit, nullptr);
    EXPECT_TRUE(r.Reason.empty());
    EXPECT_EQ(Doc.Units.UnitCount(), 0);
    EXPECT_EQ(Doc.Units.UnitPath, "elsewhere");
}

TEST_F(UnitLoadTest, RefusedFilesSayWhyAndLeaveTheWorld) {
    const UnitLoadResult first = UnitLoadAtPick(Doc.Units, Units, PairFile, {true, 0, 90});
    ASSERT_EQ(first.Status, UnitLoadResult::Outcome::Placed) << first.Reason;
    Dir.Write("noblock.txt", "KeyGroup {\n}\n");
    struct Case {
        std::u16string file;
        std::string reason;
    } cases[] = {
        {Units + u"/nopoint.txt", "Unit description has no point: nopoint.txt"},
        {Units + u"/missing.txt", "TFileQX.Open. FileName="},
        {AnsiToWideQX(Dir.File("noblock.txt")), "TBlockParQX.Block_Get. name=Point"},
        {Units + u"/Sub", "TFileQX.Open. FileName="}, // a folder is no description
    };
    for (const Case& c : cases) {
        const UnitLoadResult r = UnitLoadAtPick(Doc.Units, Units, c.file, {true, 10, 90});
        EXPECT_EQ(r.Status, UnitLoadResult::Outcome::Failed) << WideToAnsiQX(c.file);
        EXPECT_EQ(r.Unit, nullptr);
        EXPECT_EQ(r.Reason.substr(0, c.reason.size()), c.reason) << r.Reason;
        EXPECT_EQ(Doc.Units.UnitCount(), 1);
        EXPECT_EQ(Doc.Points.PointCount(), 3);
        EXPECT_EQ(Doc.Units.UnitCurrent(), first.Unit);
    }
}

TEST_F(UnitLoadTest, FilesOutsideTheFolderAndInOtherCaseAreFoundAgain) {
    std::filesystem::create_directories(Dir.Path() / "Units" / "Deep");
    Dir.Write("Outside.TXT", Tiny);
    const std::u16string unitPath = AnsiToWideQX(Dir.File("Units/Deep"));
    const UnitLoadResult r =
        UnitLoadAtPick(Doc.Units, unitPath, AnsiToWideQX(Dir.File("Outside.TXT")), {true, 5, 5});
    ASSERT_EQ(r.Status, UnitLoadResult::Outcome::Placed) << r.Reason;
    EXPECT_EQ(r.DescPath, u"..\\..\\outside.txt");
    EXPECT_EQ(Doc.Points.PointCount(), 1);
}

} // namespace
} // namespace gm
