#include "editing/CameraFrame.h"

#include <cmath>

#include "editing/PanelPick.h"
#include "editing/PanelTestWorld.h"
#include "world/GMPoint.h"
#include "zones/WorldZone.h"

namespace gm {
namespace {

class CameraFrameTest : public test::PanelWorldTest {
protected:
    ~CameraFrameTest() override { Doc.WorldClear(); }

    TgmZone* ZoneAt(float lon, float polar, float radiusAngle) {
        TgmZone* z = Doc.Zones.ZoneAdd();
        z->Longitude = lon;
        z->Polar = polar;
        z->RadiusAngle = radiusAngle;
        Doc.Zones.ZoneUpdate(z);
        return z;
    }
    bool Inside(const TVec3& pos) const {
        const TVec3 q = Cam.ProjectToScreen(pos);
        return q.x >= 0 && q.y >= 0 && q.x <= static_cast<float>(Cam.PanelWidth) &&
               q.y <= static_cast<float>(Cam.PanelHeight) && Cam.IsFrontDepth(q.z);
    }
};

struct PanelSize {
    int Width;
    int Height;
};
constexpr PanelSize Sizes[] = {{800, 600}, {1917, 1043}, {320, 240}, {500, 900}};

TEST_F(CameraFrameTest, AFramedUnitSitsAtThePanelCentreAndFitsAtEverySize) {
    TgmWorldUnit* u = Square(130, 100);
    for (const PanelSize s : Sizes) {
        Cam.SetPanelSize(s.Width, s.Height);
        ASSERT_TRUE(CameraFrameUnit(Cam, Doc, *u));
        Frame();
        // The centre pixel picks the middle of the unit's points (the square and its line).
        const TSpherePick centre =
            PanelPick(Cam, Doc.WorldRadius, Cam.ScreenCentreX, Cam.ScreenCentreY);
        ASSERT_TRUE(centre.Found);
        const TPointGM* nw = PointOf(u, u"nw");
        const TPointGM* tail = PointOf(u, u"tail");
        EXPECT_LT(test::ArcBetween(centre.Longitude, centre.Polar, nw->Longitude, nw->Polar,
                                   Doc.WorldRadius),
                  200)
            << s.Width;
        for (const char16_t* id : {u"nw", u"ne", u"se", u"sw", u"tip", u"tail"})
            EXPECT_TRUE(Inside(PointOf(u, id)->Pos)) << s.Width << " x " << s.Height;
        // Not from afar: the unit spans a good part of the shorter side.
        const TVec3 a = Cam.ProjectToScreen(nw->Pos), b = Cam.ProjectToScreen(tail->Pos);
        EXPECT_GT(std::hypot(a.x - b.x, a.y - b.y), std::min(s.Width, s.Height) / 4.0) << s.Width;
        // Picking works at this size: the unit lies under its own triangle's pixel.
        const TVec3 sw = Cam.ProjectToScreen(PointOf(u, u"sw")->Pos);
        const TVec3 ne = Cam.ProjectToScreen(PointOf(u, u"ne")->Pos);
        EXPECT_EQ(PickUnit(Doc, Cam, static_cast<int>((3 * sw.x + ne.x) / 4),
                           static_cast<int>((3 * sw.y + ne.y) / 4)),
                  u)
            << s.Width;
    }
}

TEST_F(CameraFrameTest, ZonesLinksAndTheCurrentObjectAreFramedNothingCurrentChangesNothing) {
    TgmZone* a = ZoneAt(200, 60, 2);
    TgmZone* b = ZoneAt(204, 62, 1);
    const Camera before = Cam;
    EXPECT_FALSE(CameraFrameCurrent(Cam, Doc));
    EXPECT_EQ(Cam.CamLongitude, before.CamLongitude);
    EXPECT_EQ(Cam.CamDistance, before.CamDistance);

    Doc.Zones.SetZoneCurrent(a);
    ASSERT_TRUE(CameraFrameCurrent(Cam, Doc));
    EXPECT_NEAR(Cam.CamLongitude, 200, 1e-3);
    EXPECT_NEAR(Cam.CamPolar, 60, 1e-3);
    Frame();
    // The whole circle shows: its edge points north and south of the centre.
    for (const float dp : {-2.0f, 2.0f})
        EXPECT_TRUE(
            Inside(SphereToVec(DegToRadSigned(200.0), DegToRadSigned(60.0 + dp), Doc.WorldRadius)));

    Doc.Zones.SetZoneCurrent(nullptr);
    TgmZoneLink* link = Doc.Zones.ZoneLinkMake(a, b);
    ASSERT_NE(link, nullptr);
    Doc.Zones.SetZoneCurrent(nullptr);
    Doc.Zones.SetZoneLinkCurrent(link);
    ASSERT_TRUE(CameraFrameCurrent(Cam, Doc));
    Frame();
    EXPECT_TRUE(Inside(a->Centre));
    EXPECT_TRUE(Inside(b->Centre));
}

TEST_F(CameraFrameTest, ResetViewAndTheWheelWorkAsTheirKeys) {
    Cam.CamLongitude = 300;
    Cam.CamPolar = 170;
    Cam.CamRoll = 12;
    Cam.CamDistance = 90000;
    CameraResetView(Cam, Doc.WorldRadius);
    EXPECT_EQ(Cam.CamLongitude, StartLongitude);
    EXPECT_EQ(Cam.CamPolar, StartPolar);
    EXPECT_EQ(Cam.CamRoll, 0);
    EXPECT_EQ(Cam.CamDistance, Doc.WorldRadius + Cam.CamDistanceOffset);

    PanelInteraction panel(Doc, Cam, Flags);
    Camera keys = Cam;
    PanelInteraction byKeys(Doc, keys, Flags);
    const struct {
        int Notches;
        int Key;
        int Presses;
    } steps[] = {{2, PanelKeyCode::PageUp, 2}, {-3, PanelKeyCode::PageDown, 3}};
    for (const auto& s : steps) {
        EXPECT_FALSE(panel.Wheel(s.Notches).Modified);
        for (int i = 0; i < s.Presses; ++i)
            byKeys.Key(PanelKey{s.Key, false, false, 400, 300});
        EXPECT_EQ(Cam.CamDistance, keys.CamDistance) << s.Notches;
    }
}

} // namespace
} // namespace gm
