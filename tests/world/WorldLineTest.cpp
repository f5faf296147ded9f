#include "world/WorldLine.h"

#include <climits>
#include <cmath>
#include <set>

#include <gtest/gtest.h>

#include "render/Camera.h"
#include "render/MemoryDecoder.h"
#include "render/Scene.h"
#include "render/VOper.h"
#include "world/WorldDoc.h"

namespace gm {
namespace {

double Length(const TVec3& v) {
    return std::sqrt(double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z);
}

double Distance(const TVec3& a, const TVec3& b) {
    return Length(MakeVec3(a.x - b.x, a.y - b.y, a.z - b.z));
}

double PolarDeg(const TVec3& v) {
    float lon = 0, polar = 0;
    VecToSphere(v, lon, polar);
    return polar;
}

// --- The grid's segments ---

TEST(WorldGridSegmentsTest, CountsOfMeridianAndParallelSegments) {
    // Meridian segments change the polar angle (and so y); parallel segments keep it.
    struct Case {
        int count;
        std::size_t meridian;
        std::size_t parallel;
    };
    const Case cases[] = {
        {32, 32 * 28, 15 * 32},     // 1376 in all
        {4, 0, 4},                  // the meridians have no room; one parallel at 90 degrees
        {8, 8 * 4, 3 * 8},          // polar 45..135 in 4 steps; parallels at 45, 90, 135
        {512, 512 * 508, 255 * 512} // the finest grid the builder makes
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.count);
        const auto segments = WorldGridSegments(1000, c.count);
        std::size_t meridian = 0, parallel = 0;
        for (const TWorldSegment& s : segments)
            (s.P1.y == s.P2.y ? parallel : meridian)++;
        EXPECT_EQ(meridian, c.meridian);
        EXPECT_EQ(parallel, c.parallel);
        // Meridian segments all come first.
        ASSERT_EQ(segments.size(), c.meridian + c.parallel);
        for (std::size_t i = 0; i < c.meridian; ++i)
            ASSERT_NE(segments[i].P1.y, segments[i].P2.y) << i;
    }
}

TEST(WorldGridSegmentsTest, DefaultGridSpansPolar11To169OnTheSphere) {
    const float radius = 750;
    const auto segments = WorldGridSegments(radius, 32);
    ASSERT_EQ(segments.size(), 1376u);
    double lowest = 180, highest = 0;
    std::set<long> parallels; // polar angles in hundredths of a degree
    for (const TWorldSegment& s : segments) {
        EXPECT_NEAR(Length(s.P1), radius, 1e-3);
        EXPECT_NEAR(Length(s.P2), radius, 1e-3);
        if (s.P1.y == s.P2.y) {
            parallels.insert(std::lround(PolarDeg(s.P1) * 100));
        } else {
            lowest = std::min({lowest, PolarDeg(s.P1), PolarDeg(s.P2)});
            highest = std::max({highest, PolarDeg(s.P1), PolarDeg(s.P2)});
            EXPECT_NEAR(PolarDeg(s.P2) - PolarDeg(s.P1), 5.625, 1e-3);
        }
    }
    EXPECT_NEAR(lowest, 11.25, 1e-3);
    EXPECT_NEAR(highest, 168.75, 1e-3);
    ASSERT_EQ(parallels.size(), 15u);
    EXPECT_EQ(*parallels.begin(), 1125);
    EXPECT_EQ(*parallels.rbegin(), 16875);
}

TEST(WorldGridSegmentsTest, FourDivisionsGiveAClosedSquareOnTheEquator) {
    const auto segments = WorldGridSegments(1000, 4);
    ASSERT_EQ(segments.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_NEAR(PolarDeg(segments[i].P1), 90, 1e-4);
        EXPECT_NEAR(Distance(segments[i].P1, segments[i].P2), 1000 * std::sqrt(2.0), 1e-2);
        EXPECT_NEAR(Distance(segments[i].P2, segments[(i + 1) % 4].P1), 0, 1e-2);
    }
}

TEST(WorldGridSegmentsTest, CountsThatWouldNeverFinishGiveNothing) {
    for (int count : {0, -1, -32, INT_MIN, WorldGridMaxCount + 1, INT_MAX}) {
        SCOPED_TRACE(count);
        EXPECT_TRUE(WorldGridSegments(1000, count).empty());
    }
}

// --- The store ---

class WorldLineTest : public ::testing::Test {
protected:
    WorldLineTest() {
        Cam.CameraUpdate(1000);
        Cam.HorizonUpdate(1000);
    }
    test::MemoryDecoder Decoder;
    Scene TheScene{Decoder, test::TestNaming()};
    Camera Cam;
    WorldLineStore Store;

    TgmWorldLine* AddLine(float x) {
        TgmWorldLine* line = Store.WorldLineAdd();
        line->P1 = MakeVec3(x, 0, 1000);
        line->P2 = MakeVec3(x, 100, 1000);
        return line;
    }

    // The shared object holds one line-list node over 2n vertices, indices 0..2n-1, and the lines
    // own consecutive vertex pairs in list order.
    void ExpectFreshIndices() {
        const TgmObj3D* obj = Store.WorldLineObj();
        ASSERT_NE(obj, nullptr);
        const int n = int(Store.Lines().Size());
        EXPECT_EQ(obj->VertexCount(), 2 * n);
        ASSERT_EQ(obj->Prims().Size(), 1u);
        const TPrimNode* node = obj->Prims().First();
        EXPECT_EQ(node->PrimType, PrimitiveType::LineList);
        EXPECT_EQ(node->PrimCount, n);
        ASSERT_EQ(node->IndexCount(), 2 * n);
        for (int i = 0; i < 2 * n; ++i)
            ASSERT_EQ(node->Indices[std::size_t(i)], std::uint32_t(i));
        int k = 0;
        for (const TgmWorldLine* line : Store.Lines()) {
            ASSERT_EQ(line->V1, 2 * k) << k;
            ASSERT_EQ(line->V2, 2 * k + 1) << k;
            ++k;
        }
        EXPECT_FALSE(Store.WorldLineRebuild());
    }
};

TEST_F(WorldLineTest, SharedObjectExistsOnlyWhileThereAreLines) {
    Store.WorldLineDrawAll(TheScene, Cam);
    EXPECT_EQ(Store.WorldLineObj(), nullptr);
    EXPECT_TRUE(TheScene.Objects().Empty());

    TgmWorldLine* a = AddLine(0);
    AddLine(50);
    Store.WorldLineDrawAll(TheScene, Cam);
    ASSERT_EQ(TheScene.Objects().Size(), 1u);
    EXPECT_EQ(TheScene.Objects().First(), Store.WorldLineObj());
    EXPECT_EQ(Store.WorldLineObj()->Layer, 0);
    EXPECT_TRUE(Store.WorldLineObj()->DepthTest);
    ExpectFreshIndices();

    // Nothing changed: the node is kept, only vertices are rewritten.
    const TPrimNode* node = Store.WorldLineObj()->Prims().First();
    Store.WorldLineDrawAll(TheScene, Cam);
    EXPECT_EQ(Store.WorldLineObj()->Prims().First(), node);

    Store.WorldLineDelete(a);
    Store.WorldLineDelete(Store.Lines().First());
    Store.WorldLineDrawAll(TheScene, Cam);
    EXPECT_EQ(Store.WorldLineObj(), nullptr);
    EXPECT_TRUE(TheScene.Objects().Empty());
}

TEST_F(WorldLineTest, DeletedLineLeavesTheSharedObject) {
    TgmWorldLine* first = AddLine(0);
    TgmWorldLine* second = AddLine(50);
    Store.WorldLineDrawAll(TheScene, Cam);
    Store.WorldLineDelete(first);
    Store.WorldLineDrawAll(TheScene, Cam);
    ExpectFreshIndices();
    EXPECT_EQ(second->V1, 0);
    // The survivor's ends are what the object holds now.
    const TVec3 q = Cam.ProjectToScreen(second->P1);
    EXPECT_EQ(Store.WorldLineObj()->Vertices()[0].x, q.x);
    EXPECT_EQ(Store.WorldLineObj()->Vertices()[0].y, q.y);
}

TEST_F(WorldLineTest, EachEndTakesTheColourOfItsSideOfTheHorizon) {
    // Straight below the default eye (longitude 45, polar 45) and its antipode.
    const TVec3 front = SphereToVec(DegToRadSigned(45), DegToRadSigned(45), 1000);
    const TVec3 back = MakeVec3(-front.x, -front.y, -front.z);
    TgmWorldLine* out = Store.WorldLineAdd();
    out->P1 = front;
    out->P2 = back;
    TgmWorldLine* in = Store.WorldLineAdd();
    in->P1 = back;
    in->P2 = front;
    for (TgmWorldLine* line : {out, in}) {
        line->FrontColor = 0xC0FFFFFF;
        line->BackColor = 0x00FFFFFF;
    }
    Store.WorldLineDrawAll(TheScene, Cam);

    const TVertex3D* v = Store.WorldLineObj()->Vertices();
    struct Case {
        int vertex;
        TColor32 colour;
        float tu;
    };
    const Case cases[] = {
        {0, 0xC0FFFFFF, 0}, {1, 0x00FFFFFF, 1}, {2, 0x00FFFFFF, 0}, {3, 0xC0FFFFFF, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.vertex);
        EXPECT_EQ(v[c.vertex].diffuse, c.colour);
        EXPECT_EQ(v[c.vertex].tu, c.tu);
        EXPECT_EQ(v[c.vertex].tv, c.tu);
        EXPECT_EQ(v[c.vertex].rhw, 1.0f);
    }
    // The point below the eye is drawn at the panel's centre.
    EXPECT_NEAR(v[0].x, 400, 1e-2);
    EXPECT_NEAR(v[0].y, 300, 1e-2);
    EXPECT_LT(v[0].z, v[1].z);
}

TEST_F(WorldLineTest, GridBuildClampsItsCount) {
    struct Case {
        int count;
        std::size_t lines;
    };
    const Case cases[] = {{32, 1376},    {8, 56},          {4, 56},
                          {0, 56},       {-7, 56},         {INT_MIN, 56},
                          {512, 390656}, {100000, 390656}, {INT_MAX, 390656}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.count);
        Store.WorldGridBuild(1000, c.count, 0xC0FFFFFF, 0x00FFFFFF);
        EXPECT_TRUE(Store.GridExists());
        EXPECT_EQ(Store.Lines().Size(), c.lines);
        EXPECT_EQ(Store.Grid().size(), c.lines);
    }
}

TEST_F(WorldLineTest, GridLinesCarryTheGivenColoursAndRebuildReplacesThem) {
    TgmWorldLine* own = AddLine(0);
    Store.WorldGridBuild(1000, 8, 0x11223344, 0x55667788);
    Store.WorldGridBuild(1000, 8, 0xC0FFFFFF, 0x00FFFFFF);
    ASSERT_EQ(Store.Lines().Size(), 57u);
    EXPECT_EQ(Store.Lines().First(), own);
    EXPECT_EQ(Store.Grid().front(), own->Next);
    for (const TgmWorldLine* line : Store.Grid()) {
        ASSERT_EQ(line->FrontColor, 0xC0FFFFFFu);
        ASSERT_EQ(line->BackColor, 0x00FFFFFFu);
    }
    Store.WorldGridFree();
    EXPECT_FALSE(Store.GridExists());
    ASSERT_EQ(Store.Lines().Size(), 1u);
    EXPECT_EQ(Store.Lines().First(), own);
}

TEST_F(WorldLineTest, GridOffAndOnRebuildsWithFreshIndices) {
    Store.WorldGridBuild(1000, 32, 0xC0FFFFFF, 0x00FFFFFF);
    Store.WorldLineDrawAll(TheScene, Cam);
    ExpectFreshIndices();

    Store.WorldGridFree();
    Store.WorldLineDrawAll(TheScene, Cam);
    EXPECT_EQ(Store.WorldLineObj(), nullptr);
    EXPECT_TRUE(TheScene.Objects().Empty());

    Store.WorldGridBuild(1000, 8, 0xC0FFFFFF, 0x00FFFFFF);
    for (const TgmWorldLine* line : Store.Grid())
        ASSERT_EQ(line->V1, -1);
    Store.WorldLineDrawAll(TheScene, Cam);
    ExpectFreshIndices();
    EXPECT_EQ(Store.WorldLineObj()->VertexCount(), 112);
}

TEST_F(WorldLineTest, GridFreedUnderOtherLinesReindexesThem) {
    TgmWorldLine* own = AddLine(0);
    Store.WorldGridBuild(1000, 8, 0xC0FFFFFF, 0x00FFFFFF);
    TgmWorldLine* late = AddLine(50);
    Store.WorldLineDrawAll(TheScene, Cam);
    EXPECT_EQ(late->V1, 114);
    Store.WorldGridFree();
    Store.WorldLineDrawAll(TheScene, Cam);
    ExpectFreshIndices();
    EXPECT_EQ(own->V1, 0);
    EXPECT_EQ(late->V1, 2);
}

TEST_F(WorldLineTest, GridLineDeletedOnItsOwnLeavesTheGridList) {
    Store.WorldGridBuild(1000, 8, 0xC0FFFFFF, 0x00FFFFFF);
    TgmWorldLine* victim = Store.Grid()[10];
    Store.WorldLineDelete(victim);
    EXPECT_EQ(Store.Grid().size(), 55u);
    for (const TgmWorldLine* line : Store.Grid())
        ASSERT_NE(line, victim);
    Store.WorldGridFree();
    EXPECT_TRUE(Store.Lines().Empty());
}

TEST_F(WorldLineTest, ClearAllTakesEveryLineAndTheSharedObject) {
    AddLine(0);
    Store.WorldGridBuild(1000, 8, 0xC0FFFFFF, 0x00FFFFFF);
    Store.WorldLineDrawAll(TheScene, Cam);
    TgmObj3D* other = TheScene.Obj3DNew();
    Store.WorldLineClearAll(TheScene);
    EXPECT_TRUE(Store.Lines().Empty());
    EXPECT_FALSE(Store.GridExists());
    EXPECT_EQ(Store.WorldLineObj(), nullptr);
    ASSERT_EQ(TheScene.Objects().Size(), 1u);
    EXPECT_EQ(TheScene.Objects().First(), other);
}

TEST_F(WorldLineTest, WorldClearFreesTheGrid) {
    WorldDoc doc;
    doc.SetScene(&TheScene);
    doc.WorldLines.WorldGridBuild(doc.WorldRadius, 32, 0xC0FFFFFF, 0x00FFFFFF);
    doc.WorldLines.WorldLineAdd();
    doc.WorldLines.WorldLineDrawAll(TheScene, Cam);
    ASSERT_EQ(TheScene.Objects().Size(), 1u);
    doc.WorldClear();
    EXPECT_TRUE(doc.WorldLines.Lines().Empty());
    EXPECT_FALSE(doc.WorldLines.GridExists());
    EXPECT_EQ(doc.WorldLines.WorldLineObj(), nullptr);
    EXPECT_TRUE(TheScene.Objects().Empty());
}

TEST_F(WorldLineTest, WorldClearWithoutSceneLeavesTheObjectToTheNextDraw) {
    WorldDoc doc;
    doc.WorldLines.WorldGridBuild(doc.WorldRadius, 8, 0xC0FFFFFF, 0x00FFFFFF);
    doc.WorldLines.WorldLineDrawAll(TheScene, Cam);
    doc.WorldClear();
    EXPECT_TRUE(doc.WorldLines.Lines().Empty());
    EXPECT_FALSE(doc.WorldLines.GridExists());
    doc.WorldLines.WorldLineDrawAll(TheScene, Cam);
    EXPECT_EQ(doc.WorldLines.WorldLineObj(), nullptr);
    EXPECT_TRUE(TheScene.Objects().Empty());
}

} // namespace
} // namespace gm
