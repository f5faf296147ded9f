#include "editing/GroupEdit.h"

#include <string>

#include "editing/Outline.h"
#include "editing/PanelTestWorld.h"
#include "world/GMPoint.h"
#include "zones/WorldZone.h"

namespace gm {
namespace {

class GroupEditTest : public test::PanelWorldTest {
protected:
    ~GroupEditTest() override { Doc.WorldClear(); }

    double Arc(const TPointGM* a, const TPointGM* b) const {
        return test::ArcBetween(a->Longitude, a->Polar, b->Longitude, b->Polar, Doc.WorldRadius);
    }
};

TEST_F(GroupEditTest, AGroupMovesRigidlyOverTheSphere) {
    TgmWorldUnit* a = Square(40, 60);
    TgmWorldUnit* b = Square(46, 63);
    TgmZone* z = ZoneAt(43, 58);
    OutlineSelect(Doc, {a, b, z});
    ASSERT_EQ(GroupOf(Doc).Size(), 3u);
    EXPECT_TRUE(InGroup(Doc, b));

    const TPointGM* pa = PointOf(a, u"nw");
    const TPointGM* pb = PointOf(b, u"se");
    const double arcBefore = Arc(pa, pb);
    const double bearingBefore =
        test::BearingOf(pa->Longitude, pa->Polar, pb->Longitude, pb->Polar);
    const double zoneArcBefore =
        test::ArcBetween(pa->Longitude, pa->Polar, z->Longitude, z->Polar, Doc.WorldRadius);

    // A long way, across the pole's side: a plain shift of the angles would distort the group.
    GroupMove(Doc, GroupOf(Doc), pa->Longitude, pa->Polar, 200, 20);
    EXPECT_NEAR(pa->Longitude, 200, 1e-2);
    EXPECT_NEAR(pa->Polar, 20, 1e-2);
    EXPECT_NEAR(Arc(pa, pb), arcBefore, arcBefore * 1e-3);
    EXPECT_NEAR(test::ArcBetween(pa->Longitude, pa->Polar, z->Longitude, z->Polar, Doc.WorldRadius),
                zoneArcBefore, zoneArcBefore * 1e-3);
    // The bearing turns with the great circle it travelled, not with the longitude shift.
    EXPECT_GT(std::abs(test::TurnBetween(
                  test::BearingOf(pa->Longitude, pa->Polar, pb->Longitude, pb->Polar),
                  bearingBefore + (200 - 40))),
              1.0);
}

TEST_F(GroupEditTest, DeleteTakesTheWholeGroupAndItsLinks) {
    TgmWorldUnit* a = Square(40, 60);
    TgmWorldUnit* keep = Square(100, 60);
    TgmZone* z1 = ZoneAt(43, 58);
    TgmZone* z2 = ZoneAt(110, 58);
    ASSERT_NE(Doc.Zones.ZoneLinkMake(z1, z2), nullptr);
    OutlineSelect(Doc, {a, z1});
    ASSERT_TRUE(GroupDelete(Doc, GroupOf(Doc)));
    ASSERT_EQ(Doc.Units.List().Size(), 1u);
    EXPECT_EQ(Doc.Units.List().First(), keep);
    ASSERT_EQ(Doc.Zones.ZoneCount(), 1);
    EXPECT_EQ(Doc.Zones.ZoneLinkCount(), 0);
    EXPECT_EQ(Doc.Units.UnitCurrent(), nullptr);
}

TEST_F(GroupEditTest, ACopyKeepsShapeAndLinksInsideTheGroupOnly) {
    TgmWorldUnit* a = Square(40, 60);
    TgmWorldUnit* b = Square(40.5f, 60);
    TgmWorldUnit* outside = Square(80, 60);
    // a's tail to b's nw inside the group; b's tip to a unit outside it.
    Doc.Points.PointLink(PointOf(a, u"tail"), PointOf(b, u"nw"));
    Doc.Points.PointLink(PointOf(b, u"tip"), PointOf(outside, u"nw"));
    OutlineSelect(Doc, {a, b});
    std::string reason;
    ASSERT_TRUE(GroupCopyAt(Doc, GroupOf(Doc), *a, 150, 100, &reason)) << reason;
    ASSERT_EQ(Doc.Units.List().Size(), 5u);
    TgmWorldUnit* ca = Doc.Units.UnitCurrent();
    ASSERT_NE(ca, a);
    ASSERT_NE(ca, nullptr);
    TgmWorldUnit* cb = ca->Next;
    ASSERT_NE(cb, nullptr);
    const auto head = [](const TPointGM* p) { return p->Master ? p->Master : p; };
    EXPECT_EQ(head(PointOf(ca, u"tail")), head(PointOf(cb, u"nw")));
    EXPECT_NE(head(PointOf(cb, u"tip")), head(PointOf(outside, u"nw")));
    EXPECT_NE(head(PointOf(ca, u"tail")), head(PointOf(a, u"tail")));
    EXPECT_NEAR(Arc(PointOf(ca, u"nw"), PointOf(cb, u"se")),
                Arc(PointOf(a, u"nw"), PointOf(b, u"se")), 0.5);
    // The copies are the new group.
    EXPECT_TRUE(InGroup(Doc, cb));
    EXPECT_FALSE(a->Grouped || b->Grouped);

    // A description that cannot be loaded adds nothing at all.
    b->DescPath = u"missing.txt";
    OutlineSelect(Doc, {a, b});
    EXPECT_FALSE(GroupCopyAt(Doc, GroupOf(Doc), *a, 10, 100, &reason));
    EXPECT_FALSE(reason.empty());
    EXPECT_EQ(Doc.Units.List().Size(), 5u);
}

TEST_F(GroupEditTest, OutlineGroupsCountsFiltersAndSelects) {
    TgmWorldUnit* a = Square(40, 60);
    TgmWorldUnit* stacked = Square(40, 60);
    TgmZone* z1 = ZoneAt(43, 58);
    TgmZone* z2 = ZoneAt(43, 58);
    z2->ZoneType = 99; // beyond the list: shown as "Exclude"
    Doc.Zones.ZoneLinkMake(z1, z2);
    Doc.Units.SetCurrentUnit(stacked);

    std::vector<OutlineGroup> g = OutlineBuild(Doc, "");
    ASSERT_EQ(g.size(), 4u);
    EXPECT_EQ(g[0].Title, "square.txt");
    ASSERT_EQ(g[0].Rows.size(), 2u); // stacked at one place, still two rows
    EXPECT_NE(g[0].Rows[0].Text, g[0].Rows[1].Text);
    EXPECT_FALSE(g[0].Rows[0].Selected);
    EXPECT_TRUE(g[0].Rows[1].Selected);
    EXPECT_EQ(g[1].Title, "Path");
    EXPECT_EQ(g[2].Title, "Exclude");
    EXPECT_EQ(g[3].Title, "Zone links");
    EXPECT_EQ(g[3].Rows[0].Text, "zone 1 - zone 2  Normal");

    const struct {
        const char* Filter;
        std::size_t Groups;
    } filters[] = {{"SQUARE", 1}, {"unit 2", 1}, {"exclude", 1}, {"zone 2", 2}, {"nothing", 0}};
    for (const auto& f : filters)
        EXPECT_EQ(OutlineBuild(Doc, f.Filter).size(), f.Groups) << f.Filter;

    OutlineSelect(Doc, {z2, a});
    EXPECT_EQ(Doc.Zones.ZoneCurrent(), z2);
    EXPECT_EQ(Doc.Units.UnitCurrent(), nullptr);
    EXPECT_TRUE(InGroup(Doc, a));
    EXPECT_FALSE(InGroup(Doc, stacked));
    OutlineSelect(Doc, {});
    EXPECT_EQ(GroupOf(Doc).Size(), 0u);
}

} // namespace
} // namespace gm
