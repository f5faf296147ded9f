#include "world/WorldUnit.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/Codec.h"
#include "render/Camera.h"
#include "render/MemoryDecoder.h"
#include "render/Scene.h"
#include "support/TempDir.h"
#include "world/ViewFlags.h"
#include "world/WorldDoc.h"

namespace gm {
namespace {

// A square of four points 20 units wide with two triangles over it.
const char* const SquareDesc = R"(KeyGroup {
    0 {
    }
}
Point {
    1 {
        Id=nw
        Pos=-10,-10,0
    }
    2 {
        Id=ne
        Pos=10,-10,0
    }
    3 {
        Id=se
        Pos=10,10,0
    }
    4 {
        Id=sw
        Pos=-10,10,0
    }
}
Polygon {
    1 {
        0 {
            Point=1
            UV=0,0
            Diffuse=1,0,ff ff ff ff
        }
        1 {
            Point=2
            UV=1,0
            Diffuse=1,0,ff ff ff ff
        }
        2 {
            Point=3
            UV=1,1
            Diffuse=1,0,ff ff ff ff
        }
    }
}
)";

class UnitDrawTest : public test::TempDirTest {
protected:
    test::MemoryDecoder Decoder;
    Scene TheScene{Decoder, test::TestNaming()};
    WorldDoc Doc;
    Camera Cam; // panel centre (400, 300)
    ViewFlags Flags;

    void SetUp() override {
        Doc.SetScene(&TheScene);
        Doc.Units.UnitPath = Dir.Path().string();
        Dir.Write("square.txt", SquareDesc);
    }
    void TearDown() override { Doc.WorldClear(); }

    TgmWorldUnit* Square(float lon, float polar) {
        std::string reason;
        TgmWorldUnit* u = Doc.Units.UnitCreateAt(u"square.txt", lon, polar, &reason);
        EXPECT_NE(u, nullptr) << reason;
        return u;
    }
    static void ExpectOutline(const TgmObj3D& obj) {
        ASSERT_EQ(obj.VertexCount(), 4);
        ASSERT_EQ(obj.Prims().Size(), 4u);
        std::vector<uint32_t> indices;
        for (const TPrimNode* n : obj.Prims()) {
            EXPECT_EQ(n->PrimType, PrimitiveType::LineList);
            indices.insert(indices.end(), n->Indices.begin(), n->Indices.end());
        }
        EXPECT_EQ(indices, (std::vector<uint32_t>{0, 1, 1, 2, 2, 3, 3, 0}));
    }
};

TEST_F(UnitDrawTest, SelectionRectangleFramesThePointsThreePixelsOut) {
    TgmWorldUnit* u = Square(0, 90);
    ASSERT_NE(u, nullptr);
    const float screen[4][2] = {{-50, 10}, {30, -20}, {0, 40}, {-10, 0}};
    int i = 0;
    for (TPointGM* p : Doc.Points.List()) {
        p->ScreenX = screen[i][0];
        p->ScreenY = screen[i][1];
        ++i;
    }
    Doc.Units.Draw(u, Cam);
    ASSERT_NE(u->SelObj, nullptr);
    EXPECT_EQ(u->BBObj, nullptr); // no box computed yet
    ExpectOutline(*u->SelObj);
    // x from -53 to 33 and y from -23 to 43, around the panel centre.
    const float corners[4][2] = {{347, 277}, {433, 277}, {433, 343}, {347, 343}};
    for (int k = 0; k < 4; ++k) {
        const TVertex3D& v = u->SelObj->Vertices()[k];
        EXPECT_EQ(v.x, corners[k][0]) << k;
        EXPECT_EQ(v.y, corners[k][1]) << k;
        EXPECT_EQ(v.z, 0) << k;
        EXPECT_EQ(v.diffuse, 0xFFFFFFFFu) << k;
    }
}

TEST_F(UnitDrawTest, BoxOutlineLiesOnTheProjectedCornersRedAndYellow) {
    // The camera looks at (45, 45) from 200 units above; the square lies there, facing it.
    Cam.CamDistance = 1200;
    Cam.CameraUpdate(Doc.WorldRadius);
    Cam.HorizonUpdate(Doc.WorldRadius);
    TgmWorldUnit* u = Square(45, 45);
    ASSERT_NE(u, nullptr);
    Doc.Units.BBCalcCurrent(Cam);
    ASSERT_EQ(u->BBState, 1);
    Doc.Points.PointUpdateAll(Cam, Flags);
    Doc.Units.UnitDrawCurrent(Cam);
    ASSERT_NE(u->BBObj, nullptr);
    ExpectOutline(*u->BBObj);
    // Rotation 0: the box corners are the square's own corners, nw first and then clockwise (up
    // to the sphere maths' float rounding, some 0.2 units here).
    const char16_t* ids[4] = {u"nw", u"ne", u"se", u"sw"};
    const uint32_t colours[4] = {0xFFFF0000, 0xFFFFFF00, 0xFFFF0000, 0xFFFFFF00};
    for (int k = 0; k < 4; ++k) {
        const TPointGM* p = Doc.Units.PointById(u, ids[k]);
        const TVertex3D& v = u->BBObj->Vertices()[k];
        EXPECT_NEAR(v.x, 400 + p->ScreenX, 0.5) << k;
        EXPECT_NEAR(v.y, 300 + p->ScreenY, 0.5) << k;
        EXPECT_EQ(v.z, 0) << k;
        EXPECT_EQ(v.diffuse, colours[k]) << k;
    }
    // Seen from above, the 20-unit square is some 40 pixels wide; the pole is up.
    const TVertex3D* bb = u->BBObj->Vertices();
    EXPECT_GT(bb[1].x - bb[0].x, 30);
    EXPECT_LT(bb[0].y, bb[2].y - 30);
    // The selection rectangle holds the box, 3 pixels out.
    const TVertex3D* sel = u->SelObj->Vertices();
    for (int k = 0; k < 4; ++k) {
        EXPECT_LE(sel[0].x, bb[k].x - 3 + 0.5f);
        EXPECT_GE(sel[2].x, bb[k].x + 3 - 0.5f);
        EXPECT_LE(sel[0].y, bb[k].y - 3 + 0.5f);
        EXPECT_GE(sel[2].y, bb[k].y + 3 - 0.5f);
    }
}

TEST_F(UnitDrawTest, OutlinesGoWithTheSelection) {
    const std::size_t bare = TheScene.Objects().Size();
    TgmWorldUnit* a = Square(0, 90);
    const std::size_t markers = TheScene.Objects().Size() - bare; // one per point
    Doc.Units.BBCalcCurrent(Cam);
    EXPECT_EQ(TheScene.Objects().Size(), bare + markers + 2);
    // Selecting another unit releases the first one's outlines.
    TgmWorldUnit* b = Square(20, 90);
    EXPECT_EQ(a->SelObj, nullptr);
    EXPECT_EQ(a->BBObj, nullptr);
    EXPECT_EQ(TheScene.Objects().Size(), bare + 2 * markers);
    // A unit without a box (never computed, or computed empty) has only the rectangle.
    Doc.Units.UnitDrawCurrent(Cam);
    EXPECT_NE(b->SelObj, nullptr);
    EXPECT_EQ(b->BBObj, nullptr);
    // Drawing a unit that is no longer current releases what it still holds.
    b->Current = false;
    Doc.Units.Draw(b, Cam);
    EXPECT_EQ(b->SelObj, nullptr);
    EXPECT_EQ(TheScene.Objects().Size(), bare + 2 * markers);
    // Deleting the current unit frees its outlines with it.
    Doc.Units.SetCurrentUnit(a);
    Doc.Units.BBCalcCurrent(Cam);
    Doc.Units.UnitDelete(a);
    EXPECT_EQ(TheScene.Objects().Size(), bare + markers);
}

} // namespace
} // namespace gm
