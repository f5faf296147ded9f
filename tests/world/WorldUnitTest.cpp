#include "world/WorldUnit.h"

#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "foundation/Codec.h"
#include "support/TempDir.h"
#include "world/WorldDoc.h"

namespace gm {
namespace {

// Stored names are lower case with "\"; the fixture on disk is "Sub/Pair.TXT".
const std::u16string PairPath = u"sub\\pair.txt";
constexpr double ArcDeg10 = 0.5729578; // 10 units of arc on a sphere of 1000, in degrees

class WorldUnitTest : public test::TempDirTest {
protected:
    WorldDoc Doc;
    void SetUp() override { Doc.Units.UnitPath = GM_TEST_DATA "/units"; }

    TgmWorldUnit* Pair(float lon = 0, float polar = 90) {
        std::string reason;
        TgmWorldUnit* u = Doc.Units.UnitCreateAt(PairPath, lon, polar, &reason);
        EXPECT_NE(u, nullptr) << reason;
        return u;
    }
    std::string Save(const char* name) {
        const std::string path = Dir.File(name);
        Doc.WorldSaveAs(AnsiToWideQX(path));
        return test::TempDir::Read(path);
    }
    std::string Open(const std::string& bytes) {
        return Doc.WorldOpen(AnsiToWideQX(Dir.Write("open.raw", bytes)));
    }
};

TEST_F(WorldUnitTest, PlacementPutsLocalAxesOnTheSphere) {
    TgmWorldUnit* u = Pair(0, 90);
    ASSERT_NE(u, nullptr);
    const TPointGM* west = Doc.Units.PointById(u, u"west");
    const TPointGM* east = Doc.Units.PointById(u, u"east");
    const TPointGM* deep = Doc.Units.PointById(u, u"deep");
    ASSERT_TRUE(west && east && deep);
    // Local -x goes to bearing 270 (decreasing longitude), +x to 90; both on the surface.
    EXPECT_NEAR(west->Longitude, 360 - ArcDeg10, 1e-3);
    EXPECT_NEAR(west->Polar, 90, 1e-3);
    EXPECT_NEAR(east->Longitude, ArcDeg10, 1e-3);
    EXPECT_NEAR(east->Polar, 90, 1e-3);
    EXPECT_EQ(west->Radius, 1000);
    // Local z is depth below the surface.
    EXPECT_EQ(deep->Radius, 995);
    EXPECT_NEAR(deep->Pos.z, -995, 1e-2);
    // Numbers belong to loading only.
    EXPECT_EQ(west->Number, -1);
    EXPECT_TRUE(u->Current);
    EXPECT_EQ(u->DescPath, PairPath);
    EXPECT_EQ(Doc.Triangles.TriangleCount(), 1);
    EXPECT_EQ(Doc.Lines.LineCount(), 2);
    EXPECT_EQ(Doc.Units.NearestPoint(u, east->Pos), east);
}

TEST_F(WorldUnitTest, DescriptionNumbersNeverBindOtherUnitsPoints) {
    TgmWorldUnit* first = Pair();
    ASSERT_NE(first, nullptr);
    // A stray number on another unit's point (as an interrupted export could leave) and the
    // number 4294967295 that wraps to -1 must not be taken for the new unit's points.
    for (TPointGM* p : Doc.Points.List())
        p->Number = 3;
    Doc.Points.First()->Number = -1;
    Doc.Points.NumbersChanged();
    TgmWorldUnit* second = Pair(10, 90);
    ASSERT_NE(second, nullptr);
    EXPECT_FALSE(first->Current);
    const TLineGM* hidden = Doc.Lines.List().Last();
    EXPECT_EQ(hidden->Unit, second);
    EXPECT_EQ(hidden->PointEnd, nullptr);
    for (const TTriangleGM* t : Doc.Triangles.List())
        for (const TTriangleCorner& c : t->Corner)
            for (TgmWorldUnit* owner : c.Point->Units)
                EXPECT_EQ(owner, t->Unit);
}

TEST_F(WorldUnitTest, RefusedDescriptionsLeaveTheWorldUnchanged) {
    ASSERT_NE(Pair(), nullptr);
    struct Case {
        const char16_t* path;
        std::string reason;
    } cases[] = {
        {u"nopoint.txt", "Unit description has no point: nopoint.txt"},
        {u"nogroup.txt", "Unit description has triangles or lines but no key group: nogroup.txt"},
        {u"missing.txt", "TFileQX.Open"},
    };
    for (const Case& c : cases) {
        std::string reason;
        EXPECT_EQ(Doc.Units.UnitCreateAt(c.path, 0, 90, &reason), nullptr);
        EXPECT_EQ(reason.substr(0, c.reason.size()), c.reason);
        EXPECT_EQ(Doc.Units.UnitCount(), 1);
        EXPECT_EQ(Doc.Points.PointCount(), 3);
        EXPECT_EQ(Doc.Keys.Lists().Size(), 1u);
        EXPECT_TRUE(Doc.Units.UnitCurrent());
    }
}

TEST_F(WorldUnitTest, RadiusChangeKeepsEveryPointsHeight) {
    TgmWorldUnit* u = Pair(0, 90);
    ASSERT_NE(u, nullptr);
    EXPECT_EQ(Doc.WorldRadiusSet(u"2000"), 1000.0f);
    EXPECT_EQ(Doc.Units.PointById(u, u"west")->Radius, 2000.0f);
    EXPECT_EQ(Doc.Units.PointById(u, u"deep")->Radius, 1995.0f);
    EXPECT_NEAR(Doc.Units.PointById(u, u"deep")->Pos.z, -1995, 0.05);
    EXPECT_NEAR(u->Centre.z, -(2000 + 2000 + 1995) / 3.0, 0.1);
}

TEST_F(WorldUnitTest, SetKeyGroupClampsToTheGroups) {
    TgmWorldUnit* u = Pair();
    ASSERT_NE(u, nullptr);
    struct Case {
        int32_t index, expected;
    } cases[] = {{1, 1}, {7, 2}, {-1, 0}, {2, 2}, {3, 2}};
    for (const Case& c : cases) {
        Doc.Units.SetKeyGroup(u, c.index);
        EXPECT_EQ(u->KeyGroup, c.expected);
        EXPECT_EQ(Doc.Keys.KeyGroupListOfUnit(u)->CurrentGroup, c.expected);
    }
}

TEST_F(WorldUnitTest, DeletingAUnitKeepsSharedPointsWithTheirSavedPorts) {
    TgmWorldUnit* a = Pair(0, 90);
    TgmWorldUnit* b = Pair(20, 90);
    TPointGM* shared = Doc.Units.PointById(b, u"west");
    Doc.Points.UnitAttach(shared, a);
    shared->SavedPortId = u"saved";
    Doc.Units.UnitDelete(b);
    EXPECT_EQ(Doc.Points.PointCount(), 4);
    EXPECT_EQ(shared->PortId, u"saved");
    EXPECT_EQ(shared->Units, std::vector<TgmWorldUnit*>{a});
    EXPECT_EQ(Doc.Lines.LineCount(), 2);
    EXPECT_EQ(Doc.Keys.Lists().Size(), 1u);
    Doc.Units.UnitDelete(a);
    EXPECT_EQ(Doc.Points.PointCount(), 0);
    EXPECT_EQ(Doc.Keys.Keys().Size(), 0u);
}

TEST_F(WorldUnitTest, WorldWithEveryKindRoundTripsByteForByte) {
    TgmWorldUnit* a = Pair(0, 90);
    TgmWorldUnit* b = Pair(30, 60);
    ASSERT_TRUE(a && b);
    a->UnitType = 2;
    a->TimeOffset = -30;
    a->TimeLength = 400;
    Doc.Units.SetKeyGroup(b, 1);
    Doc.Points.PointLink(Doc.Units.PointById(a, u"east"), Doc.Units.PointById(b, u"west"));
    Doc.Points.UnitAttach(Doc.Units.PointById(b, u"deep"), a);
    const std::string first = Save("first.raw");
    ASSERT_EQ(Open(first), "");
    EXPECT_EQ(Doc.Units.UnitCount(), 2);
    EXPECT_EQ(Doc.Points.PointCount(), 6);
    EXPECT_EQ(Doc.Lines.LineCount(), 4);
    EXPECT_EQ(Doc.Triangles.TriangleCount(), 2);
    const TgmWorldUnit* ra = Doc.Units.List().First();
    EXPECT_EQ(ra->TimeLength, 400);
    EXPECT_EQ(ra->TimeOffset, -30);
    EXPECT_EQ(Doc.Keys.KeyGroupListOfUnit(ra->Next)->CurrentGroup, 1);
    for (const TPointGM* p : Doc.Points.List())
        EXPECT_EQ(p->Number, -1);
    EXPECT_EQ(Save("second.raw"), first);
}

TEST_F(WorldUnitTest, OldVersionsReadTimeLengthZero) {
    TgmWorldUnit* u = Pair();
    ASSERT_NE(u, nullptr);
    u->TimeLength = 77;
    std::string bytes = Save("v3.raw");
    // The unit record: path, type, offset, key group, then the time length.
    const std::size_t timeLengthAt = 12 + 4 + (PairPath.size() + 1) * 2 + 12;
    for (int version : {1, 2}) {
        std::string old = bytes;
        old[4] = static_cast<char>(version);
        old.erase(timeLengthAt, 4);
        ASSERT_EQ(Open(old), "") << version;
        EXPECT_EQ(Doc.Units.List().First()->TimeLength, 0);
        EXPECT_EQ(Doc.Points.PointCount(), 3);
    }
}

TEST_F(WorldUnitTest, OutOfRangeReferencesEndInTheErrorPath) {
    ASSERT_NE(Pair(), nullptr);
    const std::string good = Save("good.raw");
    const std::size_t unitEnd = 12 + 4 + (PairPath.size() + 1) * 2 + 16;
    auto patched = [&](std::size_t at, uint32_t v) {
        std::string s = good;
        for (int i = 0; i < 4; ++i)
            s[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
        return s;
    };
    struct Case {
        std::string bytes;
        std::string message;
    } cases[] = {
        {patched(unitEnd + 4, 1), "Error : KeyGroupsRead. unit=1"},
        {patched(unitEnd - 8, 3), "Error : KeyGroupsRead. group=3"},
        {patched(unitEnd - 8, static_cast<uint32_t>(-1)), "Error : KeyGroupsRead. group=-1"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Open(c.bytes), c.message);
        EXPECT_EQ(Doc.Units.UnitCount(), 0);
        EXPECT_EQ(Doc.Points.PointCount(), 0);
        EXPECT_TRUE(Doc.WorldFileName.empty());
    }
}

} // namespace
} // namespace gm
