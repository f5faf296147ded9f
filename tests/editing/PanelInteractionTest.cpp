#include "editing/PanelInteraction.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>

#include "editing/GroupEdit.h"
#include "editing/PanelPick.h"
#include "editing/PanelTestWorld.h"
#include "render/MemoryDecoder.h"
#include "render/Scene.h"

namespace gm {
namespace {

using test::ArcBetween;
using test::BearingOf;
using test::TurnBetween;
namespace K = PanelKeyCode;

class InteractionTest : public test::PanelWorldTest {
protected:
    InteractionTest() { Doc.SetScene(&TheScene); }
    ~InteractionTest() override {
        Panel.CancelAll();
        Doc.WorldClear();
        Doc.SetScene(nullptr);
    }

    TPointGM* PointAt(float lon, float polar) {
        TPointGM* p = Doc.Points.PointAdd();
        p->Radius = Doc.WorldRadius;
        Doc.Points.SetAngles(p, lon, polar);
        return p;
    }
    PanelResult Click(Pixel p, bool ctrl = false) {
        Panel.MouseDown(Press(PanelButton::Left, p, true, false, ctrl));
        return Panel.MouseUp(Press(PanelButton::Left, p, false, false, ctrl));
    }
    PanelResult KeyDown(int code, bool shift = false, bool ctrl = false, Pixel at = {400, 300}) {
        return Panel.Key(PanelKey{code, shift, ctrl, at.X, at.Y});
    }
    // Inside the square's south-west triangle (its centre lies on the diagonal both share).
    Pixel InsideSquare(const TgmWorldUnit* u) {
        const Pixel sw = PixelOf(PointOf(u, u"sw")->Pos), ne = PixelOf(PointOf(u, u"ne")->Pos);
        const Pixel mid{(sw.X + ne.X) / 2, (sw.Y + ne.Y) / 2};
        return {(sw.X + mid.X) / 2, (sw.Y + mid.Y) / 2};
    }
    std::size_t SceneObjects() const { return TheScene.Objects().Size(); }

    test::MemoryDecoder Decoder;
    Scene TheScene{Decoder, test::TestNaming()};
    PanelInteraction Panel{Doc, Cam, Flags};
};

TEST_F(InteractionTest, RepeatedClicksCycleThroughZoneAndPoint) {
    TgmZone* zone = ZoneAt(45, 45);
    TPointGM* point = PointAt(45, 45.01f);
    Frame();
    const Pixel at{400, 300};
    for (int round = 0; round < 2; ++round) {
        const PanelResult r = Click(at);
        EXPECT_TRUE(r.Refresh);
        EXPECT_FALSE(r.Modified);
        EXPECT_TRUE(zone->Current);
        EXPECT_FALSE(point->Current);
        Click(at);
        EXPECT_FALSE(zone->Current);
        EXPECT_TRUE(point->Current);
    }
    // A click on nothing clears the selection.
    Click({100, 100});
    EXPECT_FALSE(zone->Current);
    EXPECT_FALSE(point->Current);
}

TEST_F(InteractionTest, CtrlClickLinksZonesThenTogglesThePointWhenLinked) {
    TgmZone* a = ZoneAt(45, 45);
    TgmZone* b = ZoneAt(50, 45);
    TPointGM* point = PointAt(45, 45);
    Frame();
    const Pixel pa{400, 300}, pb = PixelOf(50, 45);
    Click(pa);
    ASSERT_TRUE(a->Current);

    PanelResult r = Click(pb, true);
    EXPECT_TRUE(r.Modified);
    ASSERT_EQ(Doc.Zones.ZoneLinkCount(), 1);
    EXPECT_EQ(Doc.Zones.Links().First()->ZoneA, a);
    EXPECT_EQ(Doc.Zones.Links().First()->ZoneB, b);
    EXPECT_EQ(Doc.Zones.Links().First()->LinkType, 0);
    EXPECT_TRUE(b->Current);

    // b to a is linked already (the other way round): the point there is toggled instead.
    r = Click(pa, true);
    EXPECT_FALSE(r.Modified);
    EXPECT_EQ(Doc.Zones.ZoneLinkCount(), 1);
    EXPECT_EQ(Doc.Zones.ZoneCurrent(), nullptr);
    EXPECT_TRUE(point->Current);
    Click(pa, true);
    EXPECT_FALSE(point->Current);
}

TEST_F(InteractionTest, HiddenZonesCannotBePickedOrLinkedButZStillMakesOne) {
    TgmZone* a = ZoneAt(45, 45);
    ZoneAt(50, 45);
    Frame();
    Flags.Zone = false;
    Doc.Zones.SetZoneCurrent(a);
    Click(PixelOf(50, 45), true);
    EXPECT_EQ(Doc.Zones.ZoneLinkCount(), 0);
    Click({400, 300});
    EXPECT_EQ(Doc.Zones.ZoneCurrent(), nullptr);

    const PanelResult r = KeyDown(K::Z, false, false, PixelOf(40, 50));
    EXPECT_TRUE(r.Modified);
    EXPECT_TRUE(r.ViewChecksChanged);
    EXPECT_TRUE(Flags.Zone);
    ASSERT_EQ(Doc.Zones.ZoneCount(), 3);
    const TgmZone* made = Doc.Zones.Zones().Last();
    EXPECT_TRUE(made->Current);
    EXPECT_LT(ArcBetween(made->Longitude, made->Polar, 40, 50, Doc.WorldRadius), 3);
    // Off the sphere no zone is made.
    KeyDown(K::Z, false, false, {0, 0});
    EXPECT_EQ(Doc.Zones.ZoneCount(), 3);
}

TEST_F(InteractionTest, ARectangleOfOnePixelIsAClickOneOfThreeSelects) {
    TgmWorldUnit* u = Square(60, 60); // away from the points below
    TPointGM* inside = PointAt(45, 45);
    TPointGM* other = PointAt(45, 40);
    Frame();
    const std::size_t objects = SceneObjects();

    // One pixel: a click, which selects what lies under the start... nothing here but the point.
    Panel.MouseDown(Press(PanelButton::Left, {400, 300}, true, false));
    Panel.MouseMove(Move({401, 300}, true, false));
    EXPECT_EQ(Panel.RubberObj(), nullptr);
    PanelResult r = Panel.MouseUp(Press(PanelButton::Left, {401, 300}, false, false));
    EXPECT_TRUE(r.Refresh);
    EXPECT_TRUE(inside->Current);
    EXPECT_FALSE(u->Current);

    // Three pixels: the points inside become the selection; no click follows.
    Doc.Units.SetCurrentUnit(u);
    Doc.Points.SetCurrent(inside, false);
    Doc.Points.SetCurrent(other, true);
    Panel.MouseDown(Press(PanelButton::Left, {399, 299}, true, false));
    Panel.MouseMove(Move({402, 301}, true, false));
    ASSERT_NE(Panel.RubberObj(), nullptr);
    EXPECT_EQ(SceneObjects(), objects + 1);
    r = Panel.MouseUp(Press(PanelButton::Left, {402, 301}, false, false));
    EXPECT_FALSE(r.Refresh);
    EXPECT_TRUE(inside->Current);
    EXPECT_FALSE(other->Current);
    EXPECT_FALSE(u->Current);
    EXPECT_EQ(SceneObjects(), objects);
    EXPECT_FALSE(Panel.RubberBand());

    // With Ctrl the points inside are toggled and the others kept.
    Doc.Points.SetCurrent(other, true);
    Panel.MouseDown(Press(PanelButton::Left, {402, 301}, true, false, true));
    Panel.MouseMove(Move({398, 299}, true, false));
    Panel.MouseUp(Press(PanelButton::Left, {398, 299}, false, false, true));
    EXPECT_FALSE(inside->Current);
    EXPECT_TRUE(other->Current);
}

TEST_F(InteractionTest, CameraKeysStepClampWrapAndZoom) {
    struct Case {
        int Code;
        bool Shift, Ctrl;
        float Lon, Polar;       // before
        float WantLon, WantPol; // after
    };
    const Case cases[] = {
        {K::Up, true, false, 45, 2, 45, 0},           {K::Up, false, false, 45, 0.5f, 45, 0},
        {K::Down, false, false, 45, 179.5f, 45, 180}, {K::Down, false, true, 45, 100, 45, 105},
        {K::Right, false, true, 358, 90, 3, 90},      {K::Left, false, false, 0.5f, 90, 359.5f, 90},
        {K::Left, true, false, 10, 90, 5, 90},        {K::End, false, false, 10, 90, 10, 90},
    };
    for (const Case& c : cases) {
        Cam.CamLongitude = c.Lon;
        Cam.CamPolar = c.Polar;
        const PanelResult r = KeyDown(c.Code, c.Shift, c.Ctrl);
        EXPECT_TRUE(r.Refresh);
        EXPECT_FLOAT_EQ(Cam.CamLongitude, c.WantLon) << c.Code;
        EXPECT_FLOAT_EQ(Cam.CamPolar, c.WantPol) << c.Code;
    }
    Cam.CamDistance = 2300;
    for (int i = 0; i < 14; ++i)
        KeyDown(K::PageUp);
    EXPECT_FLOAT_EQ(Cam.CamDistance, 900); // below the radius: nothing stops it
    KeyDown(K::PageDown);
    EXPECT_FLOAT_EQ(Cam.CamDistance, 1000);
    KeyDown(K::Home);
    EXPECT_FLOAT_EQ(Cam.CamDistance, 2300);
}

TEST_F(InteractionTest, CtrlLettersToggleViewItemsThroughTheWindow) {
    const std::pair<int, ViewItem> keys[] = {{K::P, ViewItem::Point},
                                             {K::W, ViewItem::WorldLine},
                                             {K::B, ViewItem::Background},
                                             {K::Z, ViewItem::Zone}};
    for (const auto& [code, item] : keys) {
        const PanelResult r = KeyDown(code, false, true);
        EXPECT_EQ(r.Toggle, item);
        EXPECT_TRUE(r.Refresh);
        EXPECT_EQ(KeyDown(code).Toggle, ViewItem::None);
    }
    EXPECT_EQ(Doc.Zones.ZoneCount(), 1); // the plain Z made one; Ctrl-Z did not
}

TEST_F(InteractionTest, TurningTenPixelsLeftTurnsFiveDegreesAndLeavesSharedPoints) {
    TgmWorldUnit* u = Square(45, 45);
    TgmWorldUnit* other = Square(70, 45);
    ASSERT_TRUE(u && other);
    TPointGM* shared = PointOf(u, u"ne");
    Doc.Points.UnitAttach(shared, other);
    Doc.Units.SetCurrentUnit(u);
    Frame();
    // The axis: the average of the unit's points.
    float axisLon = 0, axisPolar = 0;
    VecToSphere(Doc.Units.CalcCentre(u), axisLon, axisPolar);
    std::map<const TPointGM*, std::pair<double, double>> before; // bearing and distance
    for (const TPointGM* p : Doc.Points.PointsOfUnit(u))
        before[p] = {BearingOf(axisLon, axisPolar, p->Longitude, p->Polar),
                     ArcBetween(axisLon, axisPolar, p->Longitude, p->Polar, Doc.WorldRadius)};
    const float sharedLon = shared->Longitude, sharedPolar = shared->Polar;

    const Pixel on = InsideSquare(u);
    PanelResult r = Panel.MouseDown(Press(PanelButton::Right, on, false, true));
    EXPECT_EQ(r.Cursor, PanelCursor::Drag);
    ASSERT_TRUE(Panel.DragMove());
    Panel.MouseDown(Press(PanelButton::Left, on, true, true));
    r = Panel.MouseMove(Move({on.X - 10, on.Y}, true, true));
    EXPECT_TRUE(r.Modified);
    EXPECT_TRUE(Panel.DragRotated());

    // About the outward axis in the left-handed sense: east turns towards north, so every
    // bearing from the axis drops by 5 degrees.
    for (const TPointGM* p : Doc.Points.PointsOfUnit(u)) {
        if (p == shared) continue;
        EXPECT_NEAR(
            TurnBetween(BearingOf(axisLon, axisPolar, p->Longitude, p->Polar), before[p].first), -5,
            0.02);
        EXPECT_NEAR(ArcBetween(axisLon, axisPolar, p->Longitude, p->Polar, Doc.WorldRadius),
                    before[p].second, 0.02);
    }
    EXPECT_EQ(shared->Longitude, sharedLon);
    EXPECT_EQ(shared->Polar, sharedPolar);

    // Releasing the left button ends the turn, not the drag, and is no click.
    r = Panel.MouseUp(Press(PanelButton::Left, {on.X - 10, on.Y}, false, true));
    EXPECT_FALSE(r.Refresh);
    EXPECT_TRUE(u->Current);
    EXPECT_TRUE(Panel.DragMove());
    r = Panel.MouseUp(Press(PanelButton::Right, {on.X - 10, on.Y}, false, false));
    EXPECT_EQ(r.Cursor, PanelCursor::Normal);
    EXPECT_FALSE(Panel.Dragging());
}

TEST_F(InteractionTest, RightDragMovesTheCurrentUnitWithTheCursor) {
    TgmWorldUnit* u = Square(45, 45);
    Frame();
    const TPointGM* nw = PointOf(u, u"nw");
    const float lon0 = nw->Longitude, polar0 = nw->Polar;
    const Pixel from = InsideSquare(u), to{from.X + 70, from.Y + 40};
    Panel.MouseDown(Press(PanelButton::Right, from, false, true));
    ASSERT_TRUE(Panel.DragMove());
    const PanelResult r = Panel.MouseMove(Move(to, false, true));
    EXPECT_TRUE(r.Modified);
    const TSpherePick a = PanelPick(Cam, Doc.WorldRadius, from.X, from.Y);
    const TSpherePick b = PanelPick(Cam, Doc.WorldRadius, to.X, to.Y);
    EXPECT_NEAR(ArcBetween(lon0, polar0, nw->Longitude, nw->Polar, Doc.WorldRadius),
                ArcBetween(a.Longitude, a.Polar, b.Longitude, b.Polar, Doc.WorldRadius), 0.05);
    char coord[64];
    std::snprintf(coord, sizeof coord, "%.2f,%.2f", b.Longitude, b.Polar);
    EXPECT_EQ(r.Coord, coord);
    EXPECT_FALSE(Panel.MouseUp(Press(PanelButton::Right, to, false, false)).Refresh);
}

TEST_F(InteractionTest, ADragThatDoesNotMoveChangesNothing) {
    TgmWorldUnit* u = Square(45, 45);
    TgmZone* zone = ZoneAt(60, 40);
    TPointGM* free = PointAt(30, 50);
    Frame();
    auto bytes = [this] {
        TBufQX buf;
        Doc.WorldWrite(buf);
        return std::string(reinterpret_cast<const char*>(buf.Data), std::size_t(buf.Len));
    };
    const std::string before = bytes();
    struct Case {
        const char* what;
        std::function<void()> select;
        Pixel at;
        bool ctrl;
    };
    const Case cases[] = {
        {"unit", [&] { Doc.Units.SetCurrentUnit(u); }, InsideSquare(u), false},
        {"point", [&] { Doc.Points.SetCurrent(free, true); }, PixelOf(30, 50), false},
        {"zone", [&] { Doc.Zones.SetZoneCurrent(zone); }, PixelOf(60, 40), false},
        {"zone radius", [&] { Doc.Zones.SetZoneCurrent(zone); }, PixelOf(60, 40), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Doc.Units.SetCurrentUnit(nullptr);
        Doc.Zones.SetZoneCurrent(nullptr);
        Doc.Points.SetCurrent(free, false);
        c.select();
        Panel.MouseDown(Press(PanelButton::Right, c.at, false, true, c.ctrl));
        ASSERT_TRUE(Panel.DragMove() || Panel.DragZone() != 0);
        EXPECT_FALSE(Panel.MouseMove(Move(c.at, false, true)).Modified);
        EXPECT_FALSE(Panel.MouseMove(Move(c.at, false, true)).Modified);
        Panel.MouseUp(Press(PanelButton::Right, c.at, false, false));
        EXPECT_TRUE(bytes() == before);
    }
}

TEST_F(InteractionTest, CameraDragAndDeactivation) {
    PanelResult r = Panel.MouseDown(Press(PanelButton::Right, {30, 30}, false, true));
    EXPECT_EQ(r.Cursor, PanelCursor::Drag);
    EXPECT_TRUE(Panel.DragCamera());
    r = Panel.MouseMove(Move({40, 25}, false, true));
    EXPECT_FLOAT_EQ(Cam.CamLongitude, 43);
    EXPECT_FLOAT_EQ(Cam.CamPolar, 46);
    EXPECT_TRUE(r.Coord.empty()); // the corner looks past the sphere
    EXPECT_FALSE(r.Modified);
    EXPECT_EQ(Panel.Deactivated().Cursor, PanelCursor::Normal);
    EXPECT_FALSE(Panel.Dragging());
    // A rectangle outlives deactivation.
    Panel.MouseDown(Press(PanelButton::Left, {100, 100}, true, false));
    EXPECT_EQ(Panel.Deactivated().Cursor, PanelCursor::Unchanged);
    EXPECT_TRUE(Panel.RubberBand());
}

TEST_F(InteractionTest, ZoneDragsMoveAndResizeAndEndWhenTheZoneIsDeleted) {
    TgmZone* zone = ZoneAt(45, 45);
    Doc.Zones.SetZoneCurrent(zone);
    Frame();
    const Pixel on{400, 300};
    Panel.MouseDown(Press(PanelButton::Right, on, false, true));
    ASSERT_EQ(Panel.DragZone(), 1);
    const Pixel to = PixelOf(50, 40);
    EXPECT_TRUE(Panel.MouseMove(Move(to, false, true)).Modified);
    EXPECT_LT(ArcBetween(zone->Longitude, zone->Polar, 50, 40, Doc.WorldRadius), 3);
    Panel.MouseUp(Press(PanelButton::Right, to, false, false));

    // With Ctrl the radius follows: the arc from the centre to the cursor as an angle.
    Frame();
    Panel.MouseDown(Press(PanelButton::Right, to, false, true, true));
    ASSERT_EQ(Panel.DragZone(), 2);
    const Pixel edge{to.X + 40, to.Y};
    Panel.MouseMove(Move(edge, false, true));
    const TSpherePick e = PanelPick(Cam, Doc.WorldRadius, edge.X, edge.Y);
    EXPECT_NEAR(zone->RadiusAngle,
                ArcBetween(zone->Longitude, zone->Polar, e.Longitude, e.Polar, 1) * 180 / PiFull,
                1e-3);
    // The release leaves the page alone: its refresh would store the radius back rounded.
    EXPECT_FALSE(Panel.MouseUp(Press(PanelButton::Right, edge, false, false)).Refresh);

    // Delete during a drag: the zone goes, the drag ends, later moves find nothing to move.
    Panel.MouseDown(Press(PanelButton::Right, to, false, true));
    ASSERT_EQ(Panel.DragZone(), 1);
    const PanelResult r = KeyDown(K::Delete);
    EXPECT_TRUE(r.Modified);
    EXPECT_EQ(r.Cursor, PanelCursor::Normal);
    EXPECT_EQ(Doc.Zones.ZoneCount(), 0);
    EXPECT_FALSE(Panel.Dragging());
    EXPECT_FALSE(Panel.MouseMove(Move(on, false, true)).Modified);
    EXPECT_FALSE(KeyDown(K::Delete).Modified); // nothing current
}

TEST_F(InteractionTest, ClearingTheWorldDuringADragOrRectangleIsSafe) {
    TgmWorldUnit* u = Square(45, 45);
    ASSERT_NE(u, nullptr);
    Frame();
    const std::size_t before = SceneObjects();
    Panel.MouseDown(Press(PanelButton::Right, InsideSquare(u), false, true));
    ASSERT_TRUE(Panel.DragMove());
    // A window that forgets CancelAll: the next step finds no unit and nothing to move.
    Doc.WorldClear();
    EXPECT_FALSE(Panel.MouseMove(Move({420, 310}, false, true)).Modified);
    Panel.MouseUp(Press(PanelButton::Right, {420, 310}, false, false));

    Panel.MouseDown(Press(PanelButton::Left, {100, 100}, true, false));
    Panel.MouseMove(Move({150, 150}, true, false));
    ASSERT_NE(Panel.RubberObj(), nullptr);
    EXPECT_EQ(Panel.CancelAll().Cursor, PanelCursor::Normal);
    EXPECT_EQ(Panel.RubberObj(), nullptr);
    EXPECT_FALSE(Panel.RubberBand());
    EXPECT_LT(SceneObjects(), before); // the unit's objects and the rectangle are gone
    // The release after the cancel is a click on nothing.
    EXPECT_TRUE(Panel.MouseUp(Press(PanelButton::Left, {150, 150}, false, false)).Refresh);
}

TEST_F(InteractionTest, CopyKeyPlacesACopyAtTheCursorOrSaysWhyNot) {
    TgmWorldUnit* u = Square(45, 45);
    Frame();
    PanelResult r = KeyDown(K::C, false, true, PixelOf(40, 50));
    EXPECT_TRUE(r.Modified);
    ASSERT_EQ(Doc.Units.UnitCount(), 2);
    EXPECT_NE(Doc.Units.UnitCurrent(), u);
    // Space links ports; the square has none.
    EXPECT_FALSE(KeyDown(K::Space).Modified);

    std::filesystem::remove(Dir.Path() / "square.txt");
    r = KeyDown(K::C, false, false, PixelOf(50, 50));
    EXPECT_FALSE(r.Modified);
    EXPECT_NE(r.Message.find("square.txt"), std::string::npos) << r.Message;
    EXPECT_EQ(Doc.Units.UnitCount(), 2);
}

TEST_F(InteractionTest, ShiftBuildsAGroupThatDragsAndDeletesAsOne) {
    // Far enough apart that no square or line covers another's pixels.
    TgmWorldUnit* a = Square(45, 40);
    TgmWorldUnit* b = Square(45, 50);
    TgmWorldUnit* apart = Square(45, 57);
    Frame();
    const auto shift = [](PanelMouse m) {
        m.Shift = true;
        return m;
    };
    Click(InsideSquare(a));
    ASSERT_EQ(Doc.Units.UnitCurrent(), a);
    Panel.MouseDown(shift(Press(PanelButton::Left, InsideSquare(b), true, false)));
    Panel.MouseUp(shift(Press(PanelButton::Left, InsideSquare(b), false, false)));
    EXPECT_EQ(Doc.Units.UnitCurrent(), b); // the pages show the one added last
    EXPECT_TRUE(InGroup(Doc, a));
    EXPECT_FALSE(InGroup(Doc, apart));

    // Dragging a keeps b at its distance.
    const double arc =
        ArcBetween(PointOf(a, u"nw")->Longitude, PointOf(a, u"nw")->Polar,
                   PointOf(b, u"nw")->Longitude, PointOf(b, u"nw")->Polar, Doc.WorldRadius);
    const float bBefore = PointOf(b, u"nw")->Longitude;
    const Pixel from = InsideSquare(a);
    Panel.MouseDown(Press(PanelButton::Right, from, false, true));
    for (int step = 1; step <= 4; ++step)
        Panel.MouseMove(Move({from.X + 10 * step, from.Y + 5 * step}, false, true));
    Panel.MouseUp(Press(PanelButton::Right, {from.X + 40, from.Y + 20}, false, false));
    EXPECT_GT(std::abs(PointOf(b, u"nw")->Longitude - bBefore), 0.1f);
    EXPECT_NEAR(ArcBetween(PointOf(a, u"nw")->Longitude, PointOf(a, u"nw")->Polar,
                           PointOf(b, u"nw")->Longitude, PointOf(b, u"nw")->Polar, Doc.WorldRadius),
                arc, arc * 1e-3);

    EXPECT_TRUE(KeyDown(K::Delete).Modified);
    ASSERT_EQ(Doc.Units.List().Size(), 1u);
    EXPECT_EQ(Doc.Units.List().First(), apart);

    // A plain click forgets the group; Shift and a rectangle build one again.
    TgmWorldUnit* c = Square(45, 40);
    TgmWorldUnit* d = Square(45, 50);
    Frame();
    Click(InsideSquare(apart));
    const Pixel pc = PixelOf(PointOf(c, u"nw")->Pos), pd = PixelOf(PointOf(d, u"se")->Pos);
    const Pixel lo{std::min(pc.X, pd.X) - 20, std::min(pc.Y, pd.Y) - 20};
    const Pixel hi{std::max(pc.X, pd.X) + 20, std::max(pc.Y, pd.Y) + 20};
    Panel.MouseDown(shift(Press(PanelButton::Left, lo, true, false)));
    Panel.MouseMove(shift(Move(hi, true, false)));
    Panel.MouseUp(shift(Press(PanelButton::Left, hi, false, false)));
    EXPECT_TRUE(c->Grouped && d->Grouped);
    EXPECT_EQ(GroupOf(Doc).Size(), 3u); // with the current unit
}

} // namespace
} // namespace gm
