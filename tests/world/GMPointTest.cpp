#include "world/GMPoint.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "foundation/QX_BlockPar.h"
#include "render/Camera.h"
#include "render/MemoryDecoder.h"
#include "render/Scene.h"
#include "world/FakeUnits.h"
#include "world/KeyTestUnit.h"
#include "world/ViewFlags.h"

namespace gm {
namespace {

using test::ErrorOf;

using FakeUnits = test::FakeUnits<8>;

class PointTest : public ::testing::Test {
protected:
    PointStore Points;
    FakeUnits Units;

    TPointGM* Add(const char16_t* id, int unit, float lon = 10, float polar = 20) {
        TPointGM* p = Points.PointAdd();
        p->Id = id;
        p->Longitude = lon;
        p->Polar = polar;
        p->Radius = 1000;
        p->CalcPos();
        Points.UnitAttach(p, Units[unit]);
        return p;
    }

    void Write(TBufQX& buf) {
        Points.PointsWrite(buf, [this](const TgmWorldUnit* u) { return Units.NumberOf(u); });
    }
    void Read(TBufQX& buf) {
        buf.PointerSet(0);
        Points.PointsRead(buf, [this](uint32_t n) { return Units.ByNumber(n); });
    }

    // Stars only: a master has no master, members refer to it directly, share its place, and
    // appear in its member index exactly once.
    void ExpectStars() {
        for (TPointGM* p : Points.List()) {
            if (!p->Master) continue;
            EXPECT_NE(p->Master, p) << "own master";
            EXPECT_EQ(p->Master->Master, nullptr) << "chain";
            EXPECT_EQ(p->Longitude, p->Master->Longitude);
            EXPECT_EQ(p->Polar, p->Master->Polar);
            EXPECT_EQ(p->Radius, p->Master->Radius);
            const auto& m = p->Master->Members();
            EXPECT_EQ(std::count(m.begin(), m.end(), p), 1);
        }
    }
};

bool Near(const TVec3& v, float x, float y, float z) {
    return std::fabs(v.x - x) < 0.01f && std::fabs(v.y - y) < 0.01f && std::fabs(v.z - z) < 0.01f;
}

TEST(PointPosTest, AnglesGivePositionOnTheSphere) {
    struct Case {
        float lon, polar, radius, x, y, z;
    } cases[] = {
        {90, 90, 1000, 1000, 0, 0}, {0, 0, 1000, 0, -1000, 0},  {0, 180, 1000, 0, 1000, 0},
        {0, 90, 1000, 0, 0, -1000}, {270, 90, 500, -500, 0, 0}, {180, 90, 995, 0, 0, 995},
    };
    for (const Case& c : cases) {
        TPointGM p;
        p.Longitude = c.lon;
        p.Polar = c.polar;
        p.Radius = c.radius;
        p.CalcPos();
        EXPECT_TRUE(Near(p.Pos, c.x, c.y, c.z))
            << c.lon << "/" << c.polar << " -> " << p.Pos.x << "," << p.Pos.y << "," << p.Pos.z;
    }
}

TEST_F(PointTest, LinkJoinsWholeGroupsAsOneStar) {
    TPointGM* a = Add(u"a", 0, 1);
    TPointGM* b = Add(u"b", 1, 2);
    TPointGM* c = Add(u"c", 2, 3);
    TPointGM* d = Add(u"d", 3, 4);
    Points.PointLink(a, b); // b follows a
    Points.PointLink(c, d); // d follows c
    EXPECT_EQ(b->Master, a);
    EXPECT_EQ(b->Longitude, 1);
    // Linking c's group to a member of a's group puts all four under a.
    Points.PointLink(b, c);
    for (TPointGM* p : {b, c, d})
        EXPECT_EQ(p->Master, a);
    EXPECT_EQ(a->Master, nullptr);
    EXPECT_EQ(d->Longitude, 1);
    ExpectStars();
}

TEST_F(PointTest, LinkWithinOneGroupChangesNothing) {
    TPointGM* a = Add(u"a", 0, 1);
    TPointGM* b = Add(u"b", 1, 2);
    TPointGM* c = Add(u"c", 2, 3);
    Points.PointLink(a, b);
    Points.PointLink(a, c);
    struct Case {
        TPointGM *x, *y;
    } cases[] = {{a, a}, {a, b}, {b, a}, {b, c}, {c, b}, {c, a}};
    for (const Case& k : cases) {
        Points.PointLink(k.x, k.y);
        EXPECT_EQ(a->Master, nullptr);
        EXPECT_EQ(b->Master, a);
        EXPECT_EQ(c->Master, a);
        ExpectStars();
    }
}

TEST_F(PointTest, DeletingMasterHandsGroupToEarliestMember) {
    TPointGM* a = Add(u"a", 0, 1);
    TPointGM* b = Add(u"b", 1, 2);
    TPointGM* c = Add(u"c", 2, 3);
    // Link c before b, so the member index order differs from list order.
    Points.PointLink(a, c);
    Points.PointLink(a, b);
    Points.PointDelete(a);
    EXPECT_EQ(b->Master, nullptr);
    EXPECT_EQ(c->Master, b);
    ExpectStars();
    // A deleted member changes nothing else.
    Points.PointDelete(c);
    EXPECT_TRUE(b->Members().empty());
    EXPECT_EQ(Points.PointCount(), 1);
}

TEST_F(PointTest, SetAnglesMovesTheGroupAndFollowsOneStepOnly) {
    TPointGM* a = Add(u"a", 0);
    TPointGM* b = Add(u"b", 1);
    Points.PointLink(a, b);
    Points.SetAngles(b, 90, 90); // a member moves its master
    EXPECT_TRUE(Near(a->Pos, 1000, 0, 0));
    EXPECT_TRUE(Near(b->Pos, 1000, 0, 0));
    EXPECT_EQ(b->Longitude, 90);

    // Damaged links: a self-master and a chain end without recursion.
    TPointGM* s = Add(u"s", 2);
    Points.SetMaster(s, s);
    Points.SetAngles(s, 0, 0);
    EXPECT_TRUE(Near(s->Pos, 0, -1000, 0));
    TPointGM* x = Add(u"x", 3);
    TPointGM* y = Add(u"y", 3);
    TPointGM* z = Add(u"z", 3);
    Points.SetMaster(y, z);
    Points.SetMaster(x, y);
    Points.SetAngles(x, 90, 90);
    EXPECT_EQ(y->Longitude, 90);
    EXPECT_EQ(z->Longitude, 10);
}

TEST_F(PointTest, SelfMasterIsHiddenUnselectableAndCorrectFreesIt) {
    TPointGM* s = Add(u"s", 0);
    Points.SetMaster(s, s);
    Points.SetCurrent(s, true);
    EXPECT_FALSE(s->Current);
    // Deleting or linking it never leaves another point its own master.
    TPointGM* t = Add(u"t", 1);
    Points.PointLink(t, s);
    EXPECT_EQ(s->Master, t);
    ExpectStars();
    Points.SetMaster(s, s);
    Points.PointCorrect();
    EXPECT_EQ(s->Master, nullptr);
    EXPECT_TRUE(t->Members().empty());
}

TEST_F(PointTest, CurrentPointsAreFoundInListOrder) {
    TPointGM* a = Add(u"a", 0);
    TPointGM* b = Add(u"b", 0);
    TPointGM* c = Add(u"c", 0);
    TPointGM* m = Add(u"m", 0);
    Points.PointLink(a, m);
    Points.SetCurrent(a, true);
    Points.SetCurrent(c, true);
    Points.SetCurrent(m, true); // members cannot be selected
    EXPECT_FALSE(m->Current);
    EXPECT_EQ(Points.PointCurrentNext(nullptr), a);
    EXPECT_EQ(Points.PointCurrentNext(a), c);
    EXPECT_EQ(Points.PointCurrentNext(b), c);
    EXPECT_EQ(Points.PointCurrentNext(c), nullptr);
}

TEST_F(PointTest, ByNumberFindsFirstInListOrderAndSeesDeletes) {
    TPointGM* a = Add(u"a", 0);
    TPointGM* b = Add(u"b", 0);
    TPointGM* c = Add(u"c", 0);
    Points.PointsNumber();
    EXPECT_EQ(Points.PointByNumber(2), b);
    EXPECT_EQ(Points.PointByNumber(4), nullptr);
    a->Number = 7;
    c->Number = 7;
    Points.NumbersChanged();
    EXPECT_EQ(Points.PointByNumber(7), a);
    Points.PointDelete(a);
    EXPECT_EQ(Points.PointByNumber(7), c);
    Points.PointNumbersReset();
    EXPECT_EQ(Points.PointByNumber(7), nullptr);
    EXPECT_EQ(Points.PointByNumber(-1), b);
}

TEST_F(PointTest, UnitRemovalRestoresSavedPortsAndDeletesOrphans) {
    TPointGM* shared = Add(u"s", 0);
    Points.UnitAttach(shared, Units[1]);
    shared->PortId = u"new";
    shared->SavedPortId = u"old";
    shared->SavedPortLink = u"L";
    TPointGM* own = Add(u"o", 1);
    own->PortId = u"x";
    EXPECT_EQ(Points.PointsOfUnitCount(Units[1]), 2);

    Points.UnitRemove(Units[1]); // not the shared point's first unit
    EXPECT_EQ(shared->PortId, u"new");
    EXPECT_EQ(Points.PointCount(), 1);
    EXPECT_EQ(Points.PointsOfUnitCount(Units[1]), 0);

    Points.UnitRemove(Units[0]);
    EXPECT_EQ(Points.PointCount(), 0);
}

TEST_F(PointTest, PointsOfUnitKeepListOrder) {
    TPointGM* a = Add(u"a", 0);
    TPointGM* b = Add(u"b", 1);
    TPointGM* c = Add(u"c", 0);
    Points.UnitAttach(b, Units[0]);
    EXPECT_EQ(Points.PointsOfUnit(Units[0]), (std::vector<TPointGM*>{a, b, c}));
}

TEST_F(PointTest, DescriptionBlockMakesNumberedPoints) {
    TBlockParQX desc;
    TBlockParQX* block = desc.Block_Add(u"Point");
    TBlockParQX* p1 = block->Block_Add(u"1");
    p1->Par_Add(u"Id", u"left");
    p1->Par_Add(u"Pos", u"1.5,-2,0");
    p1->Par_Add(u"PortId", u"a,b");
    p1->Par_Add(u"PortLink", u"road");
    block->Par_Add(u"Comment", u"ignored");
    block->Block_Add(u"abc")->Par_Add(u"Id", u"not a point");
    TBlockParQX* p2 = block->Block_Add(u"-5");
    p2->Par_Add(u"Id", u"right");
    p2->Par_Add(u"Pos", u"3, 4 ,5");

    const auto made = Points.PointsLoadDesc(desc, Units[0]);
    ASSERT_EQ(made.size(), 2u);
    EXPECT_EQ(made[0]->Number, 1);
    EXPECT_EQ(made[1]->Number, 5);
    EXPECT_TRUE(Near(made[0]->Pos, 1.5f, -2, 0));
    EXPECT_TRUE(Near(made[1]->Pos, 3, 4, 5));
    EXPECT_EQ(made[0]->PortId, u"a,b");
    EXPECT_EQ(made[0]->PortType, u"");
    EXPECT_EQ(made[0]->PortLink, u"road");
    EXPECT_EQ(made[1]->Units, std::vector<TgmWorldUnit*>{Units[0]});
}

TEST_F(PointTest, DescriptionWithoutRequiredPartsFails) {
    TBlockParQX none;
    EXPECT_NE(ErrorOf([&] { Points.PointsLoadDesc(none, Units[0]); }), "");
    TBlockParQX noPos;
    noPos.Block_Add(u"Point")->Block_Add(u"1")->Par_Add(u"Id", u"a");
    EXPECT_NE(ErrorOf([&] { Points.PointsLoadDesc(noPos, Units[0]); }), "");
}

TEST_F(PointTest, SectionRoundTripsByteForByte) {
    TPointGM* a = Add(u"a", 0, 12.5f, 33);
    TPointGM* b = Add(u"b\u00e9", 1, 40, 50);
    TPointGM* c = Add(u"", 2, 60, 70);
    Points.UnitAttach(b, Units[2]);
    b->PortId = u"p1, p2";
    b->PortType = u"t";
    b->PortLink = u"road";
    b->SavedPortId = u"s";
    c->Radius = 990;
    c->CalcPos();
    Points.PointLink(c, a); // a master later in the list
    Points.PointLink(c, b);

    TBufQX first;
    Write(first);
    // The master is written with its 1-based number: a's record follows the count.
    EXPECT_EQ(first.GetDWordAt(4 + 4 + 12), 3u);
    Points.PointNumbersReset();
    const TVec3 cPos = c->Pos; // reading deletes the points written
    Read(first);
    ASSERT_EQ(Points.PointCount(), 3);
    TPointGM* ra = Points.First();
    TPointGM* rb = ra->Next;
    TPointGM* rc = rb->Next;
    EXPECT_EQ(ra->Master, rc);
    EXPECT_EQ(rb->Master, rc);
    EXPECT_EQ(rc->Master, nullptr);
    EXPECT_EQ(rb->Units, (std::vector<TgmWorldUnit*>{Units[1], Units[2]}));
    EXPECT_TRUE(Near(rc->Pos, cPos.x, cPos.y, cPos.z));
    EXPECT_EQ(Points.PointFromTable(2), rb);
    EXPECT_EQ(Points.PointFromTable(0), nullptr);
    ExpectStars();

    TBufQX second;
    Write(second);
    ASSERT_EQ(first.Len, second.Len);
    EXPECT_EQ(0, std::memcmp(first.Data, second.Data, static_cast<std::size_t>(first.Len)));
}

TEST_F(PointTest, DamagedSectionFailsWithWhereItBroke) {
    Add(u"a", 0);
    Add(u"b", 1);
    TBufQX good;
    Write(good);
    // The first record's master field, then its unit number.
    const int32_t masterAt = 4 + 4 + 12;
    const int32_t unitAt = masterAt + 4 + 6 * 2 + 4;
    struct Case {
        int32_t at;
        uint32_t value;
        std::string message;
    } cases[] = {
        {masterAt, 3, "PointsRead. master=3"},
        {unitAt, 8, "PointsRead. unit=8"},
        {0, 1000000, "TBufQX.TestGet. len="},
    };
    for (const Case& c : cases) {
        TBufQX bad;
        bad.TestAddLenBuf(0, good.Len);
        std::memcpy(bad.Data, good.Data, static_cast<std::size_t>(good.Len));
        bad.SetDWordAt(c.at, c.value);
        const std::string msg = ErrorOf([&] { Read(bad); });
        EXPECT_EQ(msg.substr(0, c.message.size()), c.message);
    }
}

TEST_F(PointTest, ReaderKeepsAStoredSelfMaster) {
    Add(u"a", 0);
    TBufQX buf;
    Write(buf);
    buf.SetDWordAt(4 + 4 + 12, 1);
    Read(buf);
    TPointGM* p = Points.First();
    EXPECT_EQ(p->Master, p);
    Points.PointCorrect();
    EXPECT_EQ(p->Master, nullptr);
    Points.PointDelete(p);
    EXPECT_EQ(Points.PointCount(), 0);
}

class PointMarkerTest : public PointTest {
protected:
    test::MemoryDecoder Decoder;
    Scene TheScene{Decoder, test::TestNaming()};
    Camera Cam;
    ViewFlags Flags;

    void SetUp() override {
        Points.SetScene(&TheScene);
        Cam.CameraUpdate(1000);
        Cam.HorizonUpdate(1000);
        Flags.Point = true;
    }
    void TearDown() override { Points.PointClearAll(); }
};

TEST_F(PointMarkerTest, MarkerShowsFreeFrontPointsWhenViewed) {
    // The camera looks at longitude 45, polar 45: a point there faces it, its antipode not.
    TPointGM* front = Add(u"f", 0, 45, 45);
    TPointGM* back = Add(u"b", 0, 225, 135);
    TPointGM* member = Add(u"m", 0, 45, 45);
    Points.PointLink(front, member);
    ASSERT_NE(front->MarkerObj, nullptr);
    EXPECT_EQ(front->MarkerObj->Layer, 1);
    EXPECT_FALSE(front->MarkerObj->DepthTest);
    EXPECT_EQ(TheScene.Objects().Size(), 3u);

    Points.PointUpdateAll(Cam, Flags);
    EXPECT_TRUE(front->MarkerObj->Visible);
    EXPECT_FALSE(back->MarkerObj->Visible);
    EXPECT_FALSE(member->MarkerObj->Visible);
    // Seen at the middle of the panel, drawn on top of everything.
    EXPECT_NEAR(front->MarkerObj->Position.x, 400, 1);
    EXPECT_NEAR(front->MarkerObj->Position.y, 300, 1);
    EXPECT_EQ(front->MarkerObj->Position.z, 0);

    Flags.Point = false;
    Points.PointUpdateAll(Cam, Flags);
    EXPECT_FALSE(front->MarkerObj->Visible);

    Points.SetCurrent(front, true);
    EXPECT_EQ(front->MarkerObj->Vertices()[0].diffuse, TPointGM::CurrentColor);
    Points.SetCurrent(front, false);
    EXPECT_EQ(front->MarkerObj->Vertices()[0].diffuse, TPointGM::MarkerColor);

    Points.PointDelete(back);
    EXPECT_EQ(TheScene.Objects().Size(), 2u);
}

} // namespace
} // namespace gm
