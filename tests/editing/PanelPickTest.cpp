#include "editing/PanelPick.h"

#include "editing/PanelTestWorld.h"

namespace gm {
namespace {

using test::PanelWorldTest;

TEST_F(PanelWorldTest, PanelPickFindsTheSpherePointUnderThePixel) {
    // The camera at (45, 45) looks straight at the sphere point (45, 45).
    const TSpherePick centre = PanelPick(Cam, Doc.WorldRadius, 400, 300);
    ASSERT_TRUE(centre.Found);
    EXPECT_NEAR(centre.Longitude, 45, 1e-3);
    EXPECT_NEAR(centre.Polar, 45, 1e-3);
    // Points drawn at a pixel are found again there (to within the pixel's rounding).
    for (const auto& [lon, polar] : {std::pair{30.0f, 40.0f}, {60.0f, 55.0f}, {45.0f, 20.0f}}) {
        const Pixel px = PixelOf(lon, polar);
        const TSpherePick pick = PanelPick(Cam, Doc.WorldRadius, px.X, px.Y);
        ASSERT_TRUE(pick.Found) << lon << "," << polar;
        EXPECT_LT(test::ArcBetween(pick.Longitude, pick.Polar, lon, polar, Doc.WorldRadius), 2.5);
    }
    // The panel's corner looks past the sphere.
    EXPECT_FALSE(PanelPick(Cam, Doc.WorldRadius, 0, 0).Found);

    const PanelRayResult ray = PanelRay(Cam, 400, 300);
    EXPECT_NEAR(Vec3Length(ray.Origin), Cam.CamDistance, 0.5);
    EXPECT_NEAR(Vec3Length(ray.Direction), 1, 1e-5);
    EXPECT_NEAR(Vec3Dot(ray.Direction, Vec3Normalize(ray.Origin)), -1, 1e-5);
}

// Screen positions are the last frame's, relative to the panel centre; a depth below the
// horizon's is in front.
class PickTest : public PanelWorldTest {
protected:
    PickTest() { Cam.HorizonDepth = 1; }
    TPointGM* PointAt(float x, float y, float depth = 0.5f) {
        TPointGM* p = Doc.Points.PointAdd();
        p->ScreenX = x;
        p->ScreenY = y;
        p->ScreenDepth = depth;
        return p;
    }
    TgmZone* ZoneAt(float x, float y, float depth = 0.5f) {
        TgmZone* z = Doc.Zones.ZoneAdd();
        z->ScreenX = x;
        z->ScreenY = y;
        z->ScreenDepth = depth;
        return z;
    }
};

TEST_F(PickTest, PointClosestWithinFivePixelsEarlierOnATie) {
    TPointGM* four = PointAt(4, 0);
    TPointGM* three = PointAt(0, 3);
    EXPECT_EQ(PickPoint(Doc, Cam, 400, 300), three);
    // A point linked to a master or behind the horizon is skipped.
    Doc.Points.SetMaster(three, four);
    EXPECT_EQ(PickPoint(Doc, Cam, 400, 300), four);
    four->ScreenDepth = 1;
    EXPECT_EQ(PickPoint(Doc, Cam, 400, 300), nullptr);
    // Equal distances: the earlier point.
    TPointGM* left = PointAt(-2, 100);
    PointAt(2, 100);
    EXPECT_EQ(PickPoint(Doc, Cam, 400, 400), left);
    // The View menu's Point item plays no part.
    Flags.Point = false;
    EXPECT_EQ(PickPoint(Doc, Cam, 400, 400), left);
    // Exactly 5 pixels away (3 across, 4 down) is out.
    PointAt(200, 200);
    EXPECT_EQ(PickPoint(Doc, Cam, 603, 504), nullptr);
    EXPECT_NE(PickPoint(Doc, Cam, 603, 503), nullptr);
}

TEST_F(PickTest, ZonesAndLinksOnlyWhileShownLinksUpToThreePixelsLinesBelowThree) {
    TgmZone* a = ZoneAt(0, 0);
    TgmZone* b = ZoneAt(100, 0);
    TgmZoneLink* link = Doc.Zones.ZoneLinkAdd();
    link->ZoneA = a;
    link->ZoneB = b;
    TPointGM* start = PointAt(0, 50);
    TPointGM* end = PointAt(100, 50);
    TLineGM* line = Doc.Lines.LineAdd(nullptr);
    line->PointStart = start;
    line->PointEnd = end;

    EXPECT_EQ(PickZone(Doc, Cam, Flags, 404, 300), a);
    EXPECT_EQ(PickZone(Doc, Cam, Flags, 405, 300), nullptr);
    struct Case {
        int Dy;
        bool Link; // the link lies on y = 0
        bool Line; // the line on y = 50
    };
    for (const Case& c :
         {Case{0, true, true}, Case{2, true, true}, Case{3, true, false}, Case{4, false, false}}) {
        EXPECT_EQ(PickZoneLink(Doc, Cam, Flags, 450, 300 + c.Dy) == link, c.Link) << c.Dy;
        EXPECT_EQ(PickLine(Doc, Cam, 450, 350 - c.Dy) == line, c.Line) << c.Dy;
    }
    // Beyond the ends of the segments nothing is picked.
    EXPECT_EQ(PickZoneLink(Doc, Cam, Flags, 502, 301), nullptr);
    EXPECT_EQ(PickLine(Doc, Cam, 398, 350), nullptr);
    // A zone behind the horizon takes its links with it.
    b->ScreenDepth = 2;
    EXPECT_EQ(PickZoneLink(Doc, Cam, Flags, 450, 300), nullptr);
    b->ScreenDepth = 0.5f;

    Flags.Zone = false;
    EXPECT_EQ(PickZone(Doc, Cam, Flags, 400, 300), nullptr);
    EXPECT_EQ(PickZoneLink(Doc, Cam, Flags, 450, 300), nullptr);
    EXPECT_EQ(PickLine(Doc, Cam, 450, 350), line); // lines do not depend on the zone view
}

TEST_F(PanelWorldTest, UnitPickedThroughItsTrianglesFromEitherSideOrItsLine) {
    TgmWorldUnit* first = Square(45, 45);
    TgmWorldUnit* second = Square(45, 45); // the same place: the first in the list wins
    ASSERT_TRUE(first && second);
    Frame();
    // Inside the triangle nw-ne-se, and inside nw-se-sw.
    auto inside = [&](const char16_t* a, const char16_t* b, const char16_t* c) {
        const TVec3 pa = PointOf(first, a)->Pos, pb = PointOf(first, b)->Pos,
                    pc = PointOf(first, c)->Pos;
        return PixelOf(
            MakeVec3((pa.x + pb.x + pc.x) / 3, (pa.y + pb.y + pc.y) / 3, (pa.z + pb.z + pc.z) / 3));
    };
    const Pixel east = inside(u"nw", u"ne", u"se");
    const Pixel west = inside(u"nw", u"se", u"sw");
    EXPECT_EQ(PickUnit(Doc, Cam, east.X, east.Y), first);
    ASSERT_NE(PickTriangle(Doc, Cam, west.X, west.Y), nullptr);
    EXPECT_EQ(PickTriangle(Doc, Cam, west.X, west.Y)->Unit, first);

    // Halfway along the line east of the square, away from the triangles.
    const Pixel tip = PixelOf(PointOf(first, u"tip")->Pos);
    const Pixel tail = PixelOf(PointOf(first, u"tail")->Pos);
    const int mx = (tip.X + tail.X) / 2, my = (tip.Y + tail.Y) / 2;
    EXPECT_EQ(PickTriangle(Doc, Cam, mx, my), nullptr);
    EXPECT_EQ(PickUnit(Doc, Cam, mx, my), first);

    // Either side counts: with the corners of every triangle in the other order the square is
    // still found.
    for (TTriangleGM* tri : Doc.Triangles.List())
        std::swap(tri->Corner[1], tri->Corner[2]);
    EXPECT_EQ(PickUnit(Doc, Cam, east.X, east.Y), first);
    EXPECT_EQ(PickUnit(Doc, Cam, west.X, west.Y), first);
    // A triangle with a corner behind the horizon is not picked; the other one still is.
    for (TgmWorldUnit* u : {first, second})
        PointOf(u, u"ne")->ScreenDepth = Cam.HorizonDepth;
    EXPECT_EQ(PickTriangle(Doc, Cam, east.X, east.Y), nullptr);
    EXPECT_NE(PickTriangle(Doc, Cam, west.X, west.Y), nullptr);

    // Nothing under an empty pixel.
    Frame();
    EXPECT_EQ(PickUnit(Doc, Cam, 100, 100), nullptr);
    EXPECT_TRUE(PickAll(Doc, Cam, Flags, 100, 100).empty());
}

TEST_F(PanelWorldTest, PickAllListsZoneLinkUnitPointInThatOrder) {
    TgmWorldUnit* u = Square(45, 45);
    ASSERT_NE(u, nullptr);
    TPointGM* nw = PointOf(u, u"nw");
    // A zone on the corner, and a link that passes over it to a zone far away.
    float lon = 0, polar = 0;
    VecToSphere(nw->Pos, lon, polar);
    TgmZone* z1 = Doc.Zones.ZoneAdd();
    z1->Longitude = lon;
    z1->Polar = polar;
    TgmZone* z2 = Doc.Zones.ZoneAdd();
    z2->Longitude = 45;
    z2->Polar = 45;
    TgmZoneLink* link = Doc.Zones.ZoneLinkAdd();
    link->ZoneA = z1;
    link->ZoneB = z2;
    Doc.Zones.ZoneUpdateAll();
    Frame();

    // Just inside the square's corner, towards its centre at the panel centre.
    const Pixel corner = PixelOf(nw->Pos);
    const double dx = 400 - corner.X, dy = 300 - corner.Y, len = std::hypot(dx, dy);
    const Pixel at{corner.X + static_cast<int>(std::lround(3 * dx / len)),
                   corner.Y + static_cast<int>(std::lround(3 * dy / len))};
    const std::vector<PickItem> all = PickAll(Doc, Cam, Flags, at.X, at.Y);
    const std::vector<PickItem> expected = {z1, link, u, nw};
    EXPECT_EQ(all, expected);
}

} // namespace
} // namespace gm
