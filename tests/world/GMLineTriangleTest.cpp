#include "world/GMLine.h"
#include "world/GMTriangle.h"

#include <array>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "foundation/QX_BlockPar.h"
#include "render/Camera.h"
#include "render/MemoryDecoder.h"
#include "render/Scene.h"
#include "world/FakeUnits.h"
#include "world/GMPoint.h"
#include "world/KeyTestUnit.h"
#include "world/ViewFlags.h"

namespace gm {
namespace {

using test::ErrorOf;

using FakeUnits = test::FakeUnits<4>;

class LineTriangleTest : public ::testing::Test {
protected:
    test::KeyTestUnit KeyUnit;
    KeyStore Keys;
    PointStore Points;
    TriangleStore Triangles{Keys};
    LineStore Lines{Keys};
    FakeUnits Units;
    TKeyGroupList* List = nullptr;
    std::vector<TPointGM*> Pts;

    void SetUp() override {
        List = Keys.KeyGroupListAdd(&KeyUnit);
        List->GroupInsert(0);
        List->GroupInsert(1);
        List->Number = 1;
        Keys.NumbersChanged();
        for (int i = 0; i < 4; ++i) {
            TPointGM* p = Points.PointAdd();
            p->Number = i + 1;
            Points.UnitAttach(p, Units[0]);
            Pts.push_back(p);
        }
    }
    void TearDown() override {
        Lines.LineClearAll();
        Triangles.TriangleClearAll();
    }
    // Description numbers resolve among the points made here only.
    TPointGM* DescPoint(uint32_t n) { return n >= 1 && n <= Pts.size() ? Pts[n - 1] : nullptr; }
    DescPointFn Resolver() {
        return [this](uint32_t n) { return DescPoint(n); };
    }
};

TBlockParQX* AddLine(TBlockParQX& desc, const char16_t* name, const char16_t* start,
                     const char16_t* end, const char16_t* type) {
    TBlockParQX* block = desc.Block_Find(u"Line");
    if (!block) block = desc.Block_Add(u"Line");
    TBlockParQX* l = block->Block_Add(name);
    l->Par_Add(u"PointStart", start);
    l->Par_Add(u"PointEnd", end);
    l->Par_Add(u"DiffuseStart", u"1,0,ff 00 00 ff,00 ff 00 ff");
    l->Par_Add(u"DiffuseEnd", u"2,100,50,00 00 ff ff,00 ff 00 ff,01 02 03 04,05 06 07 08");
    if (type) l->Par_Add(u"Type", type);
    return l;
}

TEST_F(LineTriangleTest, LineTypeWordsAndMissingEnds) {
    TBlockParQX desc;
    AddLine(desc, u"1", u"1", u"2", u" Stop , Hide");
    AddLine(desc, u"2", u"2", u"9", u"other,stop");
    AddLine(desc, u"x", u"1", u"2", nullptr); // not a line block
    AddLine(desc, u"3", u"3", u"4", nullptr);
    Lines.LinesLoadDesc(desc, Units[0], List, Resolver());
    ASSERT_EQ(Lines.LineCount(), 3);
    const TLineGM* a = Lines.List().First();
    const TLineGM* b = a->Next;
    const TLineGM* c = b->Next;
    EXPECT_EQ(a->Stop, 1);
    EXPECT_EQ(a->Visible, 0);
    EXPECT_EQ(b->Stop, 1);
    EXPECT_EQ(b->Visible, 1);
    EXPECT_EQ(b->PointEnd, nullptr);
    EXPECT_EQ(c->Stop, 0);
    EXPECT_EQ(c->Visible, 1);
    EXPECT_EQ(a->KeyEnd->Count(), 2);
    EXPECT_EQ(a->Unit, Units[0]);
}

TEST_F(LineTriangleTest, LineWithoutRequiredParameterFails) {
    TBlockParQX desc;
    AddLine(desc, u"1", u"1", u"2", nullptr)->Par_Delete(u"DiffuseEnd");
    EXPECT_NE(ErrorOf([&] { Lines.LinesLoadDesc(desc, Units[0], List, Resolver()); }), "");
}

TBlockParQX* AddTriangle(TBlockParQX& desc, const char16_t* name, const char16_t* backFace) {
    TBlockParQX* block = desc.Block_Find(u"Polygon");
    if (!block) block = desc.Block_Add(u"Polygon");
    TBlockParQX* t = block->Block_Add(name);
    t->Par_Add(u"Texture", u"tex\\stone.png");
    if (backFace) t->Par_Add(u"BackFace", backFace);
    const char16_t* corners[3] = {u"0", u"1", u"2"};
    const char16_t* points[3] = {u"1", u"2", u"3"};
    for (int i = 0; i < 3; ++i) {
        TBlockParQX* c = t->Block_Add(corners[i]);
        c->Par_Add(u"Point", points[i]);
        c->Par_Add(u"UV", u"0.5,0.25");
        c->Par_Add(u"Diffuse", u"1,0,ff ff ff ff,80 80 80 80");
    }
    return t;
}

TEST_F(LineTriangleTest, BackFaceTakesTheLowByteOfAStrictInteger) {
    struct Case {
        const char16_t* text;
        int expected; // -1: the load fails
    } cases[] = {{nullptr, 0}, {u"0", 0},  {u"1", 1},   {u"256", 0}, {u"257", 1},
                 {u"-1", 255}, {u"x", -1}, {u"1a", -1}, {u"", -1}};
    for (const Case& c : cases) {
        Triangles.TriangleClearAll();
        TBlockParQX desc;
        AddTriangle(desc, u"1", c.text);
        const std::string err =
            ErrorOf([&] { Triangles.TrianglesLoadDesc(desc, Units[0], List, Resolver()); });
        if (c.expected < 0) {
            EXPECT_NE(err, "");
        } else {
            ASSERT_EQ(err, "");
            EXPECT_EQ(Triangles.List().First()->BackFace, c.expected);
        }
    }
}

TEST_F(LineTriangleTest, TriangleCornersAndMissingCornerBlock) {
    TBlockParQX desc;
    AddTriangle(desc, u"1", nullptr);
    Triangles.TrianglesLoadDesc(desc, Units[0], List, Resolver());
    const TTriangleGM* t = Triangles.List().First();
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->Corner[2].Point, Pts[2]);
    EXPECT_EQ(t->Corner[1].U, 0.5f);
    EXPECT_EQ(t->Corner[1].V, 0.25f);
    EXPECT_EQ(t->Texture, u"tex\\stone.png");

    TBlockParQX broken;
    AddTriangle(broken, u"2", nullptr)->Block_Delete(1);
    EXPECT_NE(ErrorOf([&] { Triangles.TrianglesLoadDesc(broken, Units[0], List, Resolver()); }),
              "");
}

TEST_F(LineTriangleTest, SectionsRoundTripByteForByte) {
    TBlockParQX desc;
    AddLine(desc, u"1", u"1", u"2", u"stop,hide");
    AddLine(desc, u"2", u"3", u"7", nullptr);
    AddTriangle(desc, u"1", u"1");
    AddTriangle(desc, u"2", nullptr)->Block_Get(u"1")->Par_Set(u"Point", u"99");
    Lines.LinesLoadDesc(desc, Units[0], List, Resolver());
    Triangles.TrianglesLoadDesc(desc, Units[0], List, Resolver());
    Lines.SetUnit(Lines.List().Last(), Units[2]);

    auto number = [this](const TgmWorldUnit* u) { return Units.NumberOf(u); };
    auto byNumber = [this](uint32_t n) { return Units.ByNumber(n); };
    auto writeAll = [&](TBufQX& buf) {
        Points.PointsWrite(buf, number);
        Triangles.TrianglesWrite(buf, number);
        Lines.LinesWrite(buf, number);
    };
    TBufQX first;
    writeAll(first);
    first.PointerSet(0);
    Points.PointsRead(first, byNumber);
    Triangles.TrianglesRead(first, Points, byNumber);
    Lines.LinesRead(first, Points, byNumber);
    EXPECT_TRUE(first.IsEnd());
    ASSERT_EQ(Lines.LineCount(), 2);
    ASSERT_EQ(Triangles.TriangleCount(), 2);
    const TLineGM* l2 = Lines.List().Last();
    EXPECT_EQ(l2->PointEnd, nullptr); // a missing end is written as point 0
    EXPECT_EQ(l2->Unit, Units[2]);
    EXPECT_EQ(Triangles.List().Last()->Corner[1].Point, nullptr);
    EXPECT_EQ(Triangles.List().First()->Corner[0].Point, Points.First());

    TBufQX second;
    writeAll(second);
    ASSERT_EQ(first.Len, second.Len);
    EXPECT_EQ(0, std::memcmp(first.Data, second.Data, static_cast<std::size_t>(first.Len)));
}

TEST_F(LineTriangleTest, DamagedReferencesFail) {
    TBlockParQX desc;
    AddLine(desc, u"1", u"1", u"2", nullptr);
    AddTriangle(desc, u"1", nullptr);
    Lines.LinesLoadDesc(desc, Units[0], List, Resolver());
    Triangles.TrianglesLoadDesc(desc, Units[0], List, Resolver());
    auto number = [this](const TgmWorldUnit* u) { return Units.NumberOf(u); };
    auto byNumber = [this](uint32_t n) { return Units.ByNumber(n); };
    Points.PointsNumber();
    TBufQX lines, tris;
    Lines.LinesWrite(lines, number);
    Triangles.TrianglesWrite(tris, number);
    TBufQX pts;
    Points.PointsWrite(pts, number);
    pts.PointerSet(0);
    Points.PointsRead(pts, byNumber); // table of 4 points

    struct Case {
        bool line;
        int32_t at;
        uint32_t value;
        std::string message;
    } cases[] = {
        {true, 4, 2, "LinesRead. list=2"},
        {true, 8, 5, "PointsRead. point=5"},
        {true, lines.Len - 4, 4, "LinesRead. unit=4"},
        {false, 4, 0, "TrianglesRead. list=0"},
    };
    for (const Case& c : cases) {
        TBufQX& src = c.line ? lines : tris;
        TBufQX bad;
        bad.TestAddLenBuf(0, src.Len);
        std::memcpy(bad.Data, src.Data, static_cast<std::size_t>(src.Len));
        bad.SetDWordAt(c.at, c.value);
        bad.PointerSet(0);
        const std::string msg = ErrorOf([&] {
            if (c.line)
                Lines.LinesRead(bad, Points, byNumber);
            else
                Triangles.TrianglesRead(bad, Points, byNumber);
        });
        EXPECT_EQ(msg, c.message);
    }
}

TEST_F(LineTriangleTest, LineHitTestInScreenSpace) {
    TBlockParQX desc;
    AddLine(desc, u"1", u"1", u"2", nullptr);
    AddLine(desc, u"2", u"3", u"3", nullptr); // seen end-on
    Lines.LinesLoadDesc(desc, Units[0], List, Resolver());
    Camera cam; // panel centre (400, 300)
    Pts[0]->ScreenX = -100;
    Pts[0]->ScreenY = 0;
    Pts[1]->ScreenX = 100;
    Pts[1]->ScreenY = 0;
    const TLineGM& l = *Lines.List().First();
    struct Case {
        float x, y;
        bool hit;
    } cases[] = {{400, 300, true},  {400, 302.9f, true}, {400, 303.1f, false}, {300, 301, true},
                 {299, 300, false}, {501, 300, false},   {500, 298, true}};
    for (const Case& c : cases)
        EXPECT_EQ(HitTest(l, cam, c.x, c.y), c.hit) << c.x << "," << c.y;
    EXPECT_FALSE(HitTest(*Lines.List().Last(), cam, 400 + Pts[2]->ScreenX, 300));
}

class LineDrawTest : public LineTriangleTest {
protected:
    test::MemoryDecoder Decoder;
    Scene TheScene{Decoder, test::TestNaming()};
    Camera Cam;
    ViewFlags Flags;

    void SetUp() override {
        LineTriangleTest::SetUp();
        Lines.SetScene(&TheScene);
        Triangles.SetScene(&TheScene);
        Cam.HorizonDepth = 0.5f;
    }
    void TearDown() override { LineTriangleTest::TearDown(); }
    void Depths(float d0, float d1, float d2) {
        Pts[0]->ScreenDepth = d0;
        Pts[1]->ScreenDepth = d1;
        Pts[2]->ScreenDepth = d2;
    }
};

TEST_F(LineDrawTest, StopLineModesAndHorizon) {
    TBlockParQX desc;
    AddLine(desc, u"1", u"1", u"2", u"stop");
    AddLine(desc, u"2", u"1", u"2", u"stop,hide");
    AddLine(desc, u"3", u"1", u"2", nullptr);
    AddLine(desc, u"4", u"1", u"2", u"hide");
    Lines.LinesLoadDesc(desc, Units[0], List, Resolver());
    std::vector<TLineGM*> l;
    for (TLineGM* line : Lines.List())
        l.push_back(line);
    struct Case {
        StopLineMode mode;
        float depth; // both ends; below 0.5 is in front
        std::array<bool, 4> shown;
    } cases[] = {
        {StopLineMode::Default, 0.1f, {true, false, true, false}},
        {StopLineMode::Default, 0.9f, {true, false, false, false}},
        {StopLineMode::Show, 0.9f, {true, true, false, false}},
        {StopLineMode::Hide, 0.1f, {false, false, true, false}},
    };
    auto visible = [](const TgmWorldUnit*) { return true; };
    for (const Case& c : cases) {
        Flags.StopLine = c.mode;
        Depths(c.depth, c.depth, c.depth);
        Lines.LineDrawAll(Cam, Flags, visible);
        for (std::size_t i = 0; i < 4; ++i) {
            ASSERT_NE(l[i]->LineObj, nullptr);
            EXPECT_EQ(l[i]->LineObj->Visible, c.shown[i]) << int(c.mode) << " line " << i;
        }
    }
    // Keys' current value colours the ends; an invisible unit hides everything.
    l[2]->KeyStart->Update(0);
    Pts[0]->ScreenX = -100;
    Lines.LineDrawAll(Cam, Flags, visible);
    EXPECT_EQ(l[2]->LineObj->Vertices()[0].diffuse, 0xFF0000FFu);
    EXPECT_EQ(l[2]->LineObj->Vertices()[0].x, 300.0f);
    Lines.LineDrawAll(Cam, Flags, [](const TgmWorldUnit*) { return false; });
    for (TLineGM* line : l)
        EXPECT_FALSE(line->LineObj->Visible);
}

TEST_F(LineDrawTest, TriangleFacesAndHorizon) {
    TBlockParQX desc;
    AddTriangle(desc, u"1", u"1");
    AddTriangle(desc, u"2", nullptr);
    Triangles.TrianglesLoadDesc(desc, Units[0], List, Resolver());
    auto visible = [](const TgmWorldUnit*) { return true; };
    Depths(0.1f, 0.1f, 0.1f);
    Triangles.TriangleDrawAll(Cam, visible);
    const TTriangleGM* both = Triangles.List().First();
    const TTriangleGM* front = both->Next;
    ASSERT_NE(both->TriObj, nullptr);
    EXPECT_EQ(both->TriObj->Prims().Size(), 2u);
    EXPECT_EQ(front->TriObj->Prims().Size(), 1u);
    EXPECT_EQ(both->TriObj->Prims().Last()->Indices, (std::vector<uint32_t>{1, 0, 2}));
    EXPECT_TRUE(front->TriObj->Visible);
    EXPECT_EQ(front->TriObj->Vertices()[1].tu, 0.5f);
    // One corner behind the horizon hides the whole triangle.
    Depths(0.1f, 0.9f, 0.1f);
    Triangles.TriangleDrawAll(Cam, visible);
    EXPECT_FALSE(front->TriObj->Visible);
    EXPECT_FALSE(both->TriObj->Visible);
}

} // namespace
} // namespace gm
