#include "world/WorldUnit.h"

#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/Codec.h"
#include "support/TempDir.h"
#include "world/WorldDoc.h"

namespace gm {
namespace {

// A description with the given points (id, x, y) and, when wanted, two triangles over the
// first four.
std::string Desc(const std::vector<std::tuple<std::string, int, int>>& points, bool triangles) {
    std::string s = "KeyGroup {\n 0 {\n }\n 1 {\n }\n}\nPoint {\n";
    int n = 1;
    for (const auto& [id, x, y] : points)
        s += " " + std::to_string(n++) + " {\n  Id=" + id + "\n  Pos=" + std::to_string(x) + "," +
             std::to_string(y) + ",0\n }\n";
    s += "}\n";
    if (triangles) {
        s += "Polygon {\n";
        const int corners[2][3] = {{1, 2, 3}, {1, 3, 4}};
        for (int t = 0; t < 2; ++t) {
            s += " " + std::to_string(t) + " {\n";
            for (int c = 0; c < 3; ++c)
                s += "  " + std::to_string(c) + " {\n   Point=" + std::to_string(corners[t][c]) +
                     "\n   UV=0,0\n   Diffuse=1,0,ff ff ff ff,ff ff ff ff\n  }\n";
            s += " }\n";
        }
        s += "}\n";
    }
    return s;
}

const std::vector<std::tuple<std::string, int, int>> Square = {
    {"nw", -10, -10}, {"ne", 10, -10}, {"se", 10, 10}, {"sw", -10, 10}};

class UnitReloadTest : public test::TempDirTest {
protected:
    WorldDoc Doc;
    void SetUp() override { Doc.Units.UnitPath = Dir.Path().string(); }
    TgmWorldUnit* Load(const char* name, float lon, float polar) {
        std::string reason;
        TgmWorldUnit* u = Doc.Units.UnitCreateAt(AnsiToWideQX(name), lon, polar, &reason);
        EXPECT_NE(u, nullptr) << reason;
        return u;
    }
};

TEST_F(UnitReloadTest, BBOfASquareKeepsItsCornersAndRotationZero) {
    Dir.Write("square.txt", Desc(Square, true));
    Dir.Write("bare.txt", Desc(Square, false));
    TgmWorldUnit* sq = Load("square.txt", 0, 90);
    TgmWorldUnit* bare = Load("bare.txt", 40, 90);
    Doc.Units.CalcBB(bare);
    EXPECT_EQ(bare->BBState, -1);
    Doc.Units.CalcBB(sq);
    ASSERT_EQ(sq->BBState, 1);
    // With rotation 0 corner 0 is the north-west point (min x, min y), then clockwise.
    const char16_t* ids[4] = {u"nw", u"ne", u"se", u"sw"};
    for (int i = 0; i < 4; ++i) {
        const TPointGM* p = Doc.Units.PointById(sq, ids[i]);
        const TBBCorner& c = sq->BBCorner[static_cast<std::size_t>(i)];
        EXPECT_NEAR(c.Longitude, p->Longitude, 1e-3) << i;
        EXPECT_NEAR(c.Polar, p->Polar, 1e-3) << i;
        EXPECT_NEAR(c.Pos.x, p->Pos.x, 0.05) << i;
    }
}

TEST_F(UnitReloadTest, ReloadKeepsPlacesLinksAndSettingsAndTurnsANewPoint) {
    const std::vector<std::tuple<std::string, int, int>> pair = {{"w", -10, 0}, {"e", 10, 0}};
    Dir.Write("pair.txt", Desc(pair, false));
    TgmWorldUnit* u = Load("pair.txt", 0, 90);
    TgmWorldUnit* other = Load("pair.txt", 1.2f, 90);
    // Turn the unit by a quarter: move its points onto the meridian.
    TPointGM* w = Doc.Units.PointById(u, u"w");
    TPointGM* e = Doc.Units.PointById(u, u"e");
    Doc.Points.SetAngles(w, 0, 90 - 0.5729578f);
    Doc.Points.SetAngles(e, 0, 90 + 0.5729578f);
    Doc.Points.PointLink(e, Doc.Units.PointById(other, u"w")); // the other unit's point moves
    u->UnitType = 3;
    u->TimeOffset = 12;
    u->TimeLength = 500;
    Doc.Units.SetKeyGroup(u, 1);
    const float wPolar = w->Polar;

    // The description gains points north (local -y) and south of the centre.
    Dir.Write("pair.txt", Desc({{"w", -10, 0}, {"e", 10, 0}, {"n", 0, -10}, {"s", 0, 10}}, false));
    ASSERT_TRUE(Doc.Units.UnitReload(u));
    EXPECT_EQ(Doc.Units.UnitCount(), 2);
    EXPECT_EQ(Doc.Units.UnitCurrent(), nullptr);
    TgmWorldUnit* nu = Doc.Units.List().Last();
    EXPECT_EQ(nu->UnitType, 3);
    EXPECT_EQ(nu->TimeOffset, 12);
    EXPECT_EQ(nu->TimeLength, 500);
    EXPECT_EQ(nu->KeyGroup, 1);
    TPointGM* nw = Doc.Units.PointById(nu, u"w");
    TPointGM* ne = Doc.Units.PointById(nu, u"e");
    TPointGM* nn = Doc.Units.PointById(nu, u"n");
    ASSERT_TRUE(nw && ne && nn);
    EXPECT_NEAR(nw->Polar, wPolar, 1e-4);
    // The link to the other unit survives the old unit.
    TPointGM* ow = Doc.Units.PointById(other, u"w");
    EXPECT_TRUE(ne->Master == ow || ow->Master == ne);
    EXPECT_EQ(ne->Polar, ow->Polar);
    // The unit was turned by +90 degrees (local -x, w, went north), so the new points turn with
    // it: local north lands east of the centre and local south west, 10 units of arc away.
    // Bearings over arcs this short come out of 32-bit maths to about a degree; 0.03 degrees of
    // polar angle is half a unit here, far below the 10-unit turn being checked.
    TPointGM* ns = Doc.Units.PointById(nu, u"s");
    EXPECT_NEAR(nn->Polar, 90, 0.03);
    EXPECT_NEAR(nn->Longitude, 0.5729578, 0.01);
    EXPECT_NEAR(ns->Polar, 90, 0.03);
    EXPECT_NEAR(ns->Longitude, 360 - 0.5729578, 0.01);
}

TEST_F(UnitReloadTest, ReloadCurrentTypeReloadsEachUnitOnce) {
    Dir.Write("a.txt", Desc({{"p", 0, 0}}, false));
    Dir.Write("b.txt", Desc({{"p", 0, 0}}, false));
    Load("a.txt", 0, 90);
    Load("b.txt", 10, 90);
    Load("a.txt", 20, 90);
    TgmWorldUnit* cur = Load("a.txt", 30, 90);
    cur->TimeOffset = 5;
    Doc.Units.UnitReloadCurrentType();
    ASSERT_EQ(Doc.Units.UnitCount(), 4);
    // b stays first; the three a units follow in their old order, each reloaded once.
    std::vector<std::u16string> paths;
    for (const TgmWorldUnit* u : Doc.Units.List())
        paths.push_back(u->DescPath);
    EXPECT_EQ(paths, (std::vector<std::u16string>{u"b.txt", u"a.txt", u"a.txt", u"a.txt"}));
    EXPECT_EQ(Doc.Units.List().Last()->TimeOffset, 5);
    EXPECT_EQ(Doc.Points.PointCount(), 4);
}

TEST_F(UnitReloadTest, ReloadWithNoKeptIdDoesNotTurn) {
    Dir.Write("r.txt", Desc({{"a", 0, 0}}, false));
    TgmWorldUnit* u = Load("r.txt", 0, 90);
    Dir.Write("r.txt", Desc({{"x", -10, 0}, {"y", 10, 0}}, false));
    ASSERT_TRUE(Doc.Units.UnitReload(u));
    EXPECT_EQ(Doc.Points.PointCount(), 2);
    TgmWorldUnit* nu = Doc.Units.List().First();
    // Not turned: the points stay where the placement put them.
    EXPECT_NEAR(Doc.Units.PointById(nu, u"y")->Longitude, 0.5729578, 1e-3);
}

} // namespace
} // namespace gm
