#include "editing/PanelEdit.h"

#include <filesystem>
#include <map>

#include "editing/PanelTestWorld.h"

namespace gm {
namespace {

using test::ArcBetween;
using test::BearingOf;
using test::PanelWorldTest;
using test::TurnBetween;

struct Angles {
    float Longitude;
    float Polar;
};

std::map<std::u16string, Angles> PlacesOf(const WorldDoc& doc, const TgmWorldUnit* u) {
    std::map<std::u16string, Angles> out;
    for (const TPointGM* p : doc.Points.PointsOfUnit(u))
        out[p->Id] = {p->Longitude, p->Polar};
    return out;
}

Angles CentreOf(WorldDoc& doc, TgmWorldUnit* u) {
    Angles a{};
    VecToSphere(doc.Units.CalcCentre(u), a.Longitude, a.Polar);
    return a;
}

TEST_F(PanelWorldTest, MoveWithAnchorCarriesEveryPointTheSameArcLength) {
    TgmWorldUnit* u = Square(30, 80);
    ASSERT_NE(u, nullptr);
    const std::vector<TPointGM*> points = Doc.Points.PointsOfUnit(u);
    const auto before = PlacesOf(Doc, u);
    // The anchor amid the points (a point right under it gets a bearing of float noise); the
    // cursor far to the north-east.
    float anchorLon = 30, anchorPolar = 80;
    const float toLon = 55, toPolar = 62;
    const double step = ArcBetween(anchorLon, anchorPolar, toLon, toPolar, Doc.WorldRadius);
    ASSERT_GT(step, 300);

    MoveWithAnchor(Doc, points, anchorLon, anchorPolar, toLon, toPolar);
    EXPECT_EQ(anchorLon, toLon);
    EXPECT_EQ(anchorPolar, toPolar);
    for (const TPointGM* p : points) {
        const Angles& was = before.at(p->Id);
        EXPECT_NEAR(ArcBetween(was.Longitude, was.Polar, p->Longitude, p->Polar, Doc.WorldRadius),
                    step, 0.05)
            << std::string(p->Id.begin(), p->Id.end());
    }
    // The unit's centre is recomputed.
    const TVec3 centre = u->Centre;
    const TVec3 fresh = Doc.Units.CalcCentre(u);
    EXPECT_NEAR(centre.x, fresh.x, 1e-3);
    EXPECT_NEAR(centre.z, fresh.z, 1e-3);
}

TEST_F(PanelWorldTest, UnitCopyKeepsItsOrientationRelativeToTheWayTravelled) {
    TgmWorldUnit* old = Square(10, 95);
    ASSERT_NE(old, nullptr);
    UnitTurn(Doc, old, 30);
    old->UnitType = 2;
    old->TimeOffset = -7;
    old->TimeLength = 40;
    Doc.Units.SetKeyGroup(old, 1);
    const Angles co = CentreOf(Doc, old);
    const auto oldPlaces = PlacesOf(Doc, old);

    // Along the equator, due north, and across.
    for (const auto& [lon, polar] : {std::pair{40.0f, 95.0f}, {10.0f, 50.0f}, {70.0f, 40.0f}}) {
        Doc.Units.SetCurrentUnit(old);
        std::string reason;
        TgmWorldUnit* copy = UnitCopyAt(Doc, lon, polar, &reason);
        ASSERT_NE(copy, nullptr) << reason;
        EXPECT_EQ(Doc.Units.UnitCurrent(), copy);
        EXPECT_EQ(copy->DescPath, old->DescPath);
        EXPECT_EQ(copy->UnitType, 2);
        EXPECT_EQ(copy->TimeOffset, -7);
        EXPECT_EQ(copy->TimeLength, 40);
        EXPECT_EQ(copy->KeyGroup, 1);

        // Each point keeps its distance from the centre and its angle to the direction of
        // travel: leaving the old centre towards the new, and arriving from the old.
        const Angles cn = CentreOf(Doc, copy);
        EXPECT_LT(ArcBetween(cn.Longitude, cn.Polar, lon, polar, Doc.WorldRadius), 60);
        const double leaving = BearingOf(co.Longitude, co.Polar, cn.Longitude, cn.Polar);
        const double arriving = BearingOf(cn.Longitude, cn.Polar, co.Longitude, co.Polar) + 180;
        for (const auto& [id, p2] : PlacesOf(Doc, copy)) {
            const Angles& p = oldPlaces.at(id);
            const double rel =
                TurnBetween(BearingOf(co.Longitude, co.Polar, p.Longitude, p.Polar), leaving);
            const double rel2 =
                TurnBetween(BearingOf(cn.Longitude, cn.Polar, p2.Longitude, p2.Polar), arriving);
            EXPECT_NEAR(TurnBetween(rel2, rel), 0, 0.05) << lon << "," << polar;
            EXPECT_NEAR(ArcBetween(cn.Longitude, cn.Polar, p2.Longitude, p2.Polar, 1000),
                        ArcBetween(co.Longitude, co.Polar, p.Longitude, p.Polar, 1000), 0.05);
        }
    }
}

TEST_F(PanelWorldTest, UnitCopyOfAVanishedDescriptionSaysWhyAndChangesNothing) {
    TgmWorldUnit* old = Square(10, 95);
    ASSERT_NE(old, nullptr);
    std::filesystem::remove(Dir.Path() / "square.txt");
    std::string reason;
    EXPECT_EQ(UnitCopyAt(Doc, 20, 90, &reason), nullptr);
    EXPECT_NE(reason.find("square.txt"), std::string::npos) << reason;
    EXPECT_EQ(Doc.Units.UnitCount(), 1);
    EXPECT_EQ(Doc.Units.UnitCurrent(), old);

    Doc.Units.SetCurrentUnit(nullptr);
    reason.clear();
    EXPECT_EQ(UnitCopyAt(Doc, 20, 90, &reason), nullptr);
    EXPECT_TRUE(reason.empty());
}

} // namespace
} // namespace gm
