#include <cmath>
#include <cstdint>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "MemoryDecoder.h"
#include "render/NullDevice.h"
#include "render/Scene.h"

namespace gm {
namespace {

using test::MemoryDecoder;
using test::TestNaming;

class Obj3DTest : public ::testing::Test {
protected:
    Obj3DTest() {
        Device.Create(800, 600);
        TheScene.SetDevice(&Device);
    }
    MemoryDecoder Decoder;
    NullDevice Device;
    Scene TheScene{Decoder, TestNaming()};
};

TEST_F(Obj3DTest, NewObjectsStartWithTheDefaultsAndJoinTheSceneInOrder) {
    TgmObj3D* a = TheScene.Obj3DNew();
    TgmObj3D* b = TheScene.Obj3DNew();
    EXPECT_EQ(TheScene.Objects().First(), a);
    EXPECT_EQ(TheScene.Objects().Last(), b);
    EXPECT_TRUE(a->Visible);
    EXPECT_TRUE(a->DepthTest);
    EXPECT_EQ(a->Layer, 0);
    EXPECT_EQ(a->VertexCount(), 0);
    EXPECT_TRUE(a->Prims().Empty());
    TheScene.Obj3DFree(a);
    EXPECT_EQ(TheScene.Objects().First(), b);
    TheScene.Obj3DFreeAll();
    EXPECT_TRUE(TheScene.Objects().Empty());
}

TEST_F(Obj3DTest, MarkerCounts) {
    struct Case {
        int n, vertices, triangles;
    };
    // n(2n + 1) + 2 vertices and 4n^2 triangles; n = 3 is the marker of points and zones.
    const Case cases[] = {{1, 5, 4}, {2, 12, 16}, {3, 23, 36}, {5, 57, 100}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.n);
        TgmObj3D* obj = TheScene.Obj3DNew();
        obj->BuildMarker(c.n, 0xFF00FF00u, 3.0f);
        EXPECT_EQ(obj->VertexCount(), c.vertices);
        ASSERT_EQ(obj->Prims().Size(), 1u);
        const TPrimNode& node = *obj->Prims().First();
        EXPECT_EQ(node.PrimType, PrimitiveType::TriangleList);
        EXPECT_EQ(node.PrimCount, c.triangles);
        EXPECT_EQ(node.IndexCount(), 3 * c.triangles);
        for (std::uint32_t i : node.Indices)
            EXPECT_LT(i, std::uint32_t(c.vertices));
    }
}

TEST_F(Obj3DTest, SingleRingMarkerIsFourFanTrianglesBetweenThePoles) {
    TgmObj3D* obj = TheScene.Obj3DNew();
    obj->BuildMarker(1, 0xFF0000FFu, 2.0f);
    // Ring vertices 0..2, top pole 3, bottom pole 4: bottom fan first, then top fan.
    EXPECT_EQ(obj->Prims().First()->Indices,
              (std::vector<std::uint32_t>{4, 0, 1, 4, 1, 2, 3, 0, 1, 3, 1, 2}));
    const TVertex3D& top = *obj->Vertex(3);
    const TVertex3D& bottom = *obj->Vertex(4);
    EXPECT_EQ(top.y, 2.0f);
    EXPECT_EQ(bottom.y, -2.0f);
    EXPECT_EQ(top.tv, 0.0f);
    EXPECT_EQ(bottom.tv, 1.0f);
    // The only ring lies at the bottom pole.
    EXPECT_NEAR(obj->Vertex(0)->y, -2.0f, 1e-5);
}

TEST_F(Obj3DTest, MarkerVerticesLieOnTheBallWithTheColourGiven) {
    TgmObj3D* obj = TheScene.Obj3DNew();
    obj->BuildMarker(3, 0x80123456u, 3.0f);
    for (int i = 0; i < obj->VertexCount(); ++i) {
        const TVertex3D& v = *obj->Vertex(i);
        EXPECT_NEAR(std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z), 3.0, 1e-5) << i;
        EXPECT_EQ(v.diffuse, 0x80123456u);
        EXPECT_EQ(v.rhw, 1.0f);
    }
    // Every vertex, the seam and both poles included, belongs to some triangle.
    std::set<std::uint32_t> used(obj->Prims().First()->Indices.begin(),
                                 obj->Prims().First()->Indices.end());
    EXPECT_EQ(used.size(), 23u);
}

TEST_F(Obj3DTest, MarkerRebuildReplacesAndBadRingCountsLeaveItEmpty) {
    TgmObj3D* obj = TheScene.Obj3DNew();
    obj->AddLine(0, 1);
    obj->BuildMarker(2, 0xFFFFFFFFu, 1.0f);
    EXPECT_EQ(obj->Prims().Size(), 1u);
    for (int bad : {0, -3, TgmObj3D::MarkerMaxRings + 1}) {
        obj->BuildMarker(bad, 0xFFFFFFFFu, 1.0f);
        EXPECT_EQ(obj->VertexCount(), 0) << bad;
        EXPECT_TRUE(obj->Prims().Empty()) << bad;
    }
}

TEST_F(Obj3DTest, MoveToShiftsFromTheLastPositionOnly) {
    TgmObj3D* obj = TheScene.Obj3DNew();
    obj->SetVertexCount(2);
    *obj->Vertex(0) = MakeVertex(0, 1, 2, 0.5f, 0, 0);
    *obj->Vertex(1) = MakeVertex(0, -1, -2, 0.25f, 0, 0);
    obj->MoveTo(MakeVec3(100, 200, 0));
    obj->MoveTo(MakeVec3(100, 200, 0)); // the same place again: no second shift
    EXPECT_EQ(obj->Vertex(0)->x, 101.0f);
    EXPECT_EQ(obj->Vertex(0)->y, 202.0f);
    EXPECT_EQ(obj->Vertex(1)->x, 99.0f);
    EXPECT_EQ(obj->Vertex(1)->z, 0.25f);
    obj->MoveTo(MakeVec3(10, 20, 0.125f));
    EXPECT_EQ(obj->Vertex(0)->x, 11.0f);
    EXPECT_EQ(obj->Vertex(1)->y, 18.0f);
    EXPECT_EQ(obj->Vertex(1)->z, 0.375f);

    TgmObj3D* empty = TheScene.Obj3DNew();
    empty->MoveTo(MakeVec3(5, 5, 5));
    EXPECT_EQ(empty->Position.x, 0.0f); // nothing to move, so the position is not taken
}

TEST_F(Obj3DTest, SetVertexCountKeepsExistingVerticesAndSetColorPaintsAll) {
    TgmObj3D* obj = TheScene.Obj3DNew();
    obj->SetVertexCount(1);
    *obj->Vertex(0) = MakeVertex(0xFF000000u, 7, 8, 0, 0, 0);
    obj->SetVertexCount(3);
    EXPECT_EQ(obj->Vertex(0)->x, 7.0f);
    obj->SetColor(0x40FF8000u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(obj->Vertex(i)->diffuse, 0x40FF8000u);
    obj->ClearVertices();
    EXPECT_EQ(obj->VertexCount(), 0);
}

// Small objects keep their vertices inside themselves, larger ones elsewhere: growing and
// shrinking across that boundary keeps what fits, and vertices that come back are zero.
TEST_F(Obj3DTest, SetVertexCountAcrossSizesKeepsTheKeptAndZeroesTheNew) {
    TgmObj3D* obj = TheScene.Obj3DNew();
    auto fill = [&](int from, int to) {
        for (int i = from; i < to; ++i)
            *obj->Vertex(i) = MakeVertex(0xFF000000u + std::uint32_t(i), float(i), 1, 0, 0, 0);
    };
    auto expectFilled = [&](int to) {
        for (int i = 0; i < to; ++i)
            EXPECT_EQ(obj->Vertex(i)->x, float(i)) << i;
    };
    auto expectZero = [&](int from, int to) {
        for (int i = from; i < to; ++i) {
            EXPECT_EQ(obj->Vertex(i)->x, 0.0f) << i;
            EXPECT_EQ(obj->Vertex(i)->diffuse, 0u) << i;
        }
    };
    for (const int sizes : {0, 1}) {
        SCOPED_TRACE(sizes);
        obj->SetVertexCount(3);
        fill(0, 3);
        obj->SetVertexCount(sizes == 0 ? 40 : 5); // out of the object
        expectFilled(3);
        expectZero(3, obj->VertexCount());
        fill(0, obj->VertexCount());
        obj->SetVertexCount(5); // still outside
        obj->SetVertexCount(20);
        expectFilled(5);
        expectZero(5, 20);
        obj->SetVertexCount(2); // back inside
        expectFilled(2);
        obj->SetVertexCount(4);
        expectFilled(2);
        expectZero(2, 4);
        EXPECT_NE(obj->Vertices(), nullptr);
    }
    obj->SetVertexCount(-3);
    EXPECT_EQ(obj->VertexCount(), 0);
}

TEST_F(Obj3DTest, FacesHoldTheirTexturesUntilTheObjectGoes) {
    Decoder.Files["skin.png"] = test::SolidImage(1, 1, 0xFF000000u);
    TgmObj3D* a = TheScene.Obj3DNew();
    a->SetVertexCount(3);
    a->AddTriangle(0, 1, 2, u"skin.png");
    a->AddTriangle(1, 0, 2, u"skin.png");
    TgmObj3D* b = TheScene.Obj3DNew();
    b->SetVertexCount(3);
    b->AddTriangle(0, 1, 2, u"skin.png");
    const TgmTex* tex = a->Prims().First()->Texture;
    ASSERT_NE(tex, nullptr);
    EXPECT_EQ(tex->RefCount, 3);

    TheScene.Obj3DFree(a);
    EXPECT_EQ(tex->RefCount, 1);
    b->ClearPrims();
    EXPECT_TRUE(TheScene.Textures.Entries().Empty());
}

TEST_F(Obj3DTest, FaceWithAMissingTextureIsStillAddedAndReportedOnce) {
    TgmObj3D* obj = TheScene.Obj3DNew();
    obj->SetVertexCount(3);
    obj->AddTriangle(0, 1, 2, u"gone.png");
    obj->AddTriangle(1, 0, 2, u"gone.png"); // the back face too
    EXPECT_EQ(obj->Prims().Size(), 2u);
    EXPECT_EQ(TheScene.Textures.TakeFailures(),
              std::vector<std::string>{"TgmTex.LoadFile. Error load file:gone.png"});
    EXPECT_EQ(Decoder.Opened.size(), 1u);
}

TEST_F(Obj3DTest, BackgroundAndRubberBandShapes) {
    TgmObj3D* bg = BackgroundObjNew(TheScene, u"C:\\start", false, 800, 600);
    EXPECT_FALSE(bg->Visible);
    EXPECT_EQ(bg->Layer, 0);
    EXPECT_TRUE(bg->DepthTest);
    ASSERT_EQ(bg->VertexCount(), 4);
    const float corners[4][4] = {{0, 0, 0, 0}, {800, 0, 1, 0}, {800, 600, 1, 1}, {0, 600, 0, 1}};
    for (int i = 0; i < 4; ++i) {
        const TVertex3D& v = *bg->Vertex(i);
        EXPECT_EQ(v.x, corners[i][0]);
        EXPECT_EQ(v.y, corners[i][1]);
        EXPECT_EQ(v.tu, corners[i][2]);
        EXPECT_EQ(v.tv, corners[i][3]);
        EXPECT_EQ(v.z, 1.0f);
        EXPECT_EQ(v.diffuse, 0xFFFFFFFFu);
    }
    ASSERT_EQ(bg->Prims().Size(), 2u);
    EXPECT_EQ(bg->Prims().First()->Texture->TexFileName, u"C:\\start\\bg.jpg");
    EXPECT_EQ(bg->Prims().First()->Texture, bg->Prims().Last()->Texture);

    TgmObj3D* rubber = RubberObjNew(TheScene);
    RubberObjSet(*rubber, 10, 20, 30, 40);
    std::vector<std::vector<std::uint32_t>> faces;
    for (const TPrimNode* node : rubber->Prims())
        faces.push_back(node->Indices);
    EXPECT_EQ(faces, (std::vector<std::vector<std::uint32_t>>{
                         {0, 1, 3}, {1, 2, 3}, {1, 0, 3}, {2, 1, 3}}));
    const float rect[4][2] = {{10, 20}, {30, 20}, {30, 40}, {10, 40}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(rubber->Vertex(i)->x, rect[i][0]);
        EXPECT_EQ(rubber->Vertex(i)->y, rect[i][1]);
        EXPECT_EQ(rubber->Vertex(i)->z, 0.0f);
        EXPECT_EQ(rubber->Vertex(i)->diffuse, 0x80FF0000u);
    }
}

} // namespace
} // namespace gm
