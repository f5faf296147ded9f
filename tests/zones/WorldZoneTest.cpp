#include "zones/WorldZone.h"

#include <cmath>
#include <cstring>
#include <filesystem>
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
#include "zones/ZoneEdit.h"

namespace gm {
namespace {

// Little-endian pieces of a hand-made file.
std::string U32(uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i)
        s[static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}
std::string F32(float f) {
    uint32_t v;
    std::memcpy(&v, &f, 4);
    return U32(v);
}
std::string Wide(const std::u16string& text) {
    std::string s;
    for (char16_t c : text) {
        s.push_back(static_cast<char>(c & 0xFF));
        s.push_back(static_cast<char>(c >> 8));
    }
    return s + std::string(2, '\0');
}

// Header and the five sections before the zones, all empty.
std::string Head(uint32_t version, float radius = 1000.0f) {
    return std::string("HKVZ") + U32(version) + F32(radius) + std::string(20, '\0');
}

// A zone record; the two fields of version 2 on only when flags are given.
std::string ZoneRec(float lon, float polar, float angle, uint32_t type, const std::u16string& graph,
                    int32_t hp, int32_t mass, int32_t damage, const uint32_t* flagsAndFreq) {
    std::string s = F32(lon) + F32(polar) + F32(angle) + U32(type) + Wide(graph) +
                    U32(static_cast<uint32_t>(hp)) + U32(static_cast<uint32_t>(mass)) +
                    U32(static_cast<uint32_t>(damage));
    if (flagsAndFreq) s += U32(flagsAndFreq[0]) + U32(flagsAndFreq[1]);
    return s;
}

std::string LinkRec(uint32_t a, uint32_t b, uint32_t type) {
    return U32(a) + U32(b) + U32(type);
}

class ZoneFileTest : public test::TempDirTest {
protected:
    WorldDoc Doc;
    std::string Open(const std::string& bytes) {
        return Doc.WorldOpen(AnsiToWideQX(Dir.Write("zones.raw", bytes)));
    }
    std::string Save() {
        const std::string path = Dir.File("saved.raw");
        Doc.WorldSaveAs(AnsiToWideQX(path));
        return test::TempDir::Read(path);
    }
};

TEST_F(ZoneFileTest, EveryVersionReadsAndSavingWritesVersion3) {
    const uint32_t v2fields[2] = {0x80000081u, 2};
    const uint32_t zeroFields[2] = {0, 0};
    struct Case {
        uint32_t version;
        const uint32_t* stored;   // flags and frequency in the file, none for version 1
        const uint32_t* expected; // what the zone then holds and a save writes
    };
    for (const Case& c :
         {Case{1, nullptr, zeroFields}, Case{2, v2fields, v2fields}, Case{3, v2fields, v2fields}}) {
        SCOPED_TRACE(c.version);
        const std::string zones = U32(2) + ZoneRec(10, 20, 2, 5, u"ab", 7, -3, 9, c.stored) +
                                  ZoneRec(300, 170, 1.5f, 12, u"", 0, 0, 0, c.stored) + U32(1) +
                                  LinkRec(2, 1, 1);
        ASSERT_EQ(Open(Head(c.version) + zones), "");
        ASSERT_EQ(Doc.Zones.ZoneCount(), 2);
        const TgmZone* a = Doc.Zones.Zones().First();
        const TgmZone* b = Doc.Zones.Zones().Last();
        EXPECT_EQ(a->Longitude, 10);
        EXPECT_EQ(a->Polar, 20);
        EXPECT_EQ(a->RadiusAngle, 2);
        EXPECT_EQ(a->ZoneType, 5u);
        EXPECT_EQ(a->Graph, u"ab");
        EXPECT_EQ(a->Hitpoints, 7);
        EXPECT_EQ(a->Mass, -3);
        EXPECT_EQ(a->Damage, 9);
        EXPECT_EQ(a->ItemFlags, c.expected[0]);
        EXPECT_EQ(a->ItemFreq, static_cast<int32_t>(c.expected[1]));
        // Reading derives the arc radius (2 degrees of 1000: 34.9066) and the centre.
        EXPECT_NEAR(a->RadiusLen, 34.9066, 1e-3);
        EXPECT_NEAR(std::sqrt(a->Centre.x * a->Centre.x + a->Centre.y * a->Centre.y +
                              a->Centre.z * a->Centre.z),
                    1000, 1e-2);
        EXPECT_EQ(b->ZoneType, 12u); // kept even though no type box entry has it
        ASSERT_EQ(Doc.Zones.ZoneLinkCount(), 1);
        const TgmZoneLink* link = Doc.Zones.Links().First();
        EXPECT_EQ(link->ZoneA, b);
        EXPECT_EQ(link->ZoneB, a);
        EXPECT_EQ(link->LinkType, 1);

        const std::string v3 = U32(2) + ZoneRec(10, 20, 2, 5, u"ab", 7, -3, 9, c.expected) +
                               ZoneRec(300, 170, 1.5f, 12, u"", 0, 0, 0, c.expected) + U32(1) +
                               LinkRec(2, 1, 1);
        EXPECT_EQ(Save(), Head(3) + v3);
    }
}

TEST_F(ZoneFileTest, LinkToAMissingZoneIsDropped) {
    const uint32_t fields[2] = {0, 0};
    const std::string zones = U32(2) + ZoneRec(1, 2, 3, 0, u"", 0, 0, 0, fields) +
                              ZoneRec(4, 5, 6, 0, u"", 0, 0, 0, fields) + U32(4) +
                              LinkRec(1, 3, 0) + LinkRec(0, 2, 0) + LinkRec(1, 2, 1) +
                              LinkRec(0xFFFFFFFF, 1, 0);
    ASSERT_EQ(Open(Head(3) + zones), "");
    ASSERT_EQ(Doc.Zones.ZoneLinkCount(), 1);
    EXPECT_EQ(Doc.Zones.Links().First()->LinkType, 1);
    EXPECT_EQ(Doc.Zones.Links().First()->ZoneA, Doc.Zones.Zones().First());
}

TEST_F(ZoneFileTest, DamagedZoneSectionFailsTheOpen) {
    // A count the rest of the file cannot hold, and a link section cut short.
    EXPECT_EQ(Open(Head(3) + U32(1000)), "Error : TBufQX.TestGet. len=4");
    EXPECT_EQ(Doc.Zones.ZoneCount(), 0);
    const uint32_t fields[2] = {0, 0};
    const std::string cut =
        U32(1) + ZoneRec(1, 2, 3, 0, u"", 0, 0, 0, fields) + U32(1) + U32(1) + U32(1);
    EXPECT_EQ(Open(Head(3) + cut), "Error : TBufQX.TestGet. len=4");
    EXPECT_EQ(Doc.Zones.ZoneCount(), 0);
}

TEST_F(ZoneFileTest, ClearDeletesZonesAndLinks) {
    ViewFlags flags;
    TgmZone* a = ZoneCreateAt(Doc, flags, 10, 80);
    TgmZone* b = ZoneCreateAt(Doc, flags, 20, 80);
    ASSERT_NE(Doc.Zones.ZoneLinkMake(a, b), nullptr);
    Doc.WorldClear();
    EXPECT_EQ(Doc.Zones.ZoneCount(), 0);
    EXPECT_EQ(Doc.Zones.ZoneLinkCount(), 0);
}

// --- Editing operations -------------------------------------------------------------------

TEST(ZoneEdit, CreatedZoneHasAnArcRadiusOf50AndIsTheOnlySelection) {
    WorldDoc doc;
    ViewFlags flags;
    flags.Zone = false;
    TgmZone* first = ZoneCreateAt(doc, flags, 30, 60);
    TgmZone* second = ZoneCreateAt(doc, flags, 40, 60);
    TgmZoneLink* link = doc.Zones.ZoneLinkMake(first, second);
    ASSERT_NE(link, nullptr);
    doc.Zones.SetZoneLinkCurrent(link);

    TgmZone* z = ZoneCreateAt(doc, flags, 123.5f, 77.25f);
    EXPECT_TRUE(flags.Zone);
    EXPECT_EQ(z->Longitude, 123.5f);
    EXPECT_EQ(z->Polar, 77.25f);
    // 9000 / (pi * 1000)
    EXPECT_NEAR(z->RadiusAngle, 2.8647890, 1e-6);
    EXPECT_NEAR(z->RadiusLen, 50, 1e-4);
    EXPECT_EQ(doc.Zones.ZoneCurrent(), z);
    EXPECT_FALSE(first->Current);
    EXPECT_FALSE(second->Current);
    EXPECT_EQ(doc.Zones.ZoneLinkCurrent(), nullptr);
    // A new zone is otherwise zero: "Path", no graph, no items, "Fast".
    EXPECT_EQ(z->ZoneType, 0u);
    EXPECT_EQ(z->Graph, u"");
    EXPECT_EQ(z->ItemFlags, 0u);
    EXPECT_EQ(z->Hitpoints, 0);
}

TEST(ZoneEdit, RadiusChangeKeepsTheAngleAndScalesTheArc) {
    WorldDoc doc;
    ViewFlags flags;
    TgmZone* z = ZoneCreateAt(doc, flags, 90, 90);
    const float angle = z->RadiusAngle;
    doc.WorldRadiusSet(u"2000");
    EXPECT_EQ(z->RadiusAngle, angle);
    EXPECT_NEAR(z->RadiusLen, 100, 1e-3);
    // The centre moved out with the surface: longitude 90, polar 90 lies on +X.
    EXPECT_NEAR(z->Centre.x, 2000, 1e-2);
    EXPECT_NEAR(z->Centre.y, 0, 1e-2);
}

TEST(ZoneEdit, LinkingRefusesSelfAndExistingPairsInEitherOrder) {
    WorldDoc doc;
    ViewFlags flags;
    TgmZone* a = ZoneCreateAt(doc, flags, 0, 90);
    TgmZone* b = ZoneCreateAt(doc, flags, 10, 90);
    doc.Zones.SetZoneCurrent(a);
    EXPECT_EQ(doc.Zones.ZoneLinkMake(a, a), nullptr);
    EXPECT_EQ(doc.Zones.ZoneLinkMake(a, nullptr), nullptr);
    EXPECT_EQ(doc.Zones.ZoneLinkMake(nullptr, b), nullptr);
    EXPECT_EQ(doc.Zones.ZoneLinkCount(), 0);

    TgmZoneLink* ab = doc.Zones.ZoneLinkMake(a, b);
    ASSERT_NE(ab, nullptr);
    EXPECT_EQ(ab->ZoneA, a);
    EXPECT_EQ(ab->ZoneB, b);
    EXPECT_EQ(ab->LinkType, 0);
    EXPECT_EQ(doc.Zones.ZoneCurrent(), b);
    EXPECT_FALSE(a->Current);

    EXPECT_EQ(doc.Zones.ZoneLinkMake(b, a), nullptr);
    EXPECT_EQ(doc.Zones.ZoneLinkMake(a, b), nullptr);
    EXPECT_EQ(doc.Zones.ZoneLinkCount(), 1);
    EXPECT_EQ(doc.Zones.ZoneCurrent(), b); // a refused link changes no selection
    EXPECT_EQ(doc.Zones.ZoneLinkFind(b, a), nullptr);
    EXPECT_EQ(doc.Zones.ZoneLinkFind(a, b), ab);
}

TEST(ZoneEdit, DeletingAZoneTakesItsLinksAndDeletingALinkLeavesTheZones) {
    WorldDoc doc;
    ViewFlags flags;
    TgmZone* a = ZoneCreateAt(doc, flags, 0, 90);
    TgmZone* b = ZoneCreateAt(doc, flags, 10, 90);
    TgmZone* c = ZoneCreateAt(doc, flags, 20, 90);
    doc.Zones.ZoneLinkMake(a, b);
    doc.Zones.ZoneLinkMake(c, a);
    TgmZoneLink* bc = doc.Zones.ZoneLinkMake(b, c);
    ASSERT_EQ(doc.Zones.ZoneLinkCount(), 3);

    // Nothing current: the Delete key does nothing.
    doc.Zones.SetZoneCurrent(nullptr);
    EXPECT_FALSE(DeleteCurrent(doc));

    doc.Zones.SetZoneLinkCurrent(bc);
    EXPECT_TRUE(DeleteCurrent(doc));
    EXPECT_EQ(doc.Zones.ZoneLinkCount(), 2);
    EXPECT_EQ(doc.Zones.ZoneCount(), 3);

    // The zone goes before the link when both are current.
    doc.Zones.SetZoneLinkCurrent(doc.Zones.Links().First());
    doc.Zones.SetZoneCurrent(a);
    EXPECT_TRUE(DeleteCurrent(doc));
    EXPECT_EQ(doc.Zones.ZoneCount(), 2);
    EXPECT_EQ(doc.Zones.ZoneLinkCount(), 0);
    EXPECT_EQ(doc.Zones.Zones().First(), b);
}

// --- Zone page rules ----------------------------------------------------------------------

TEST(ZonePage, TextRules) {
    EXPECT_EQ(ZoneHitpointsFromText(u"-30"), 30);
    EXPECT_EQ(ZoneHitpointsFromText(u"1x2"), 12);
    EXPECT_EQ(ZoneHitpointsFromText(u""), 0);
    EXPECT_EQ(ZoneSignedFromText(u"-30"), -30);
    EXPECT_EQ(ZoneSignedFromText(u"4a5"), 45);
    EXPECT_EQ(ZoneGraphFromText(u" \t wall_a\r\n"), u"wall_a");
    EXPECT_EQ(ZoneItemFlagsSet(0, 31, true), 0x80000000u);
    EXPECT_EQ(ZoneItemFlagsSet(0x80000081u, 7, false), 0x80000001u);
    EXPECT_EQ(ZoneItemFlagsSet(0x100u, 0, true), 0x101u); // other bits kept
    EXPECT_EQ(ZoneItemBits.back().Bit, 31);
    EXPECT_EQ(std::u16string(ZoneTypeCaptions[3]), u"Exit 2");
}

TEST(ZonePage, RadiusBoxRoundsHalvesToEvenAndStoresWholeArcRadii) {
    WorldDoc doc;
    ViewFlags flags;
    TgmZone* z = ZoneCreateAt(doc, flags, 0, 90);
    struct Case {
        float len;
        const char16_t* shown;
    };
    for (const Case& c : {Case{50.4f, u"50"}, Case{50.5f, u"50"}, Case{51.5f, u"52"},
                          Case{0.4f, u"0"}, Case{49.6f, u"50"}}) {
        z->RadiusLen = c.len;
        EXPECT_EQ(ZoneRadiusText(*z), c.shown) << c.len;
    }
    // Showing a zone of arc radius 50.4 writes "50" into the box, whose change handler then
    // stores a whole arc radius.
    z->RadiusAngle = ZoneRadiusAngleOf(50.4, doc.WorldRadius);
    doc.Zones.ZoneUpdate(z);
    z->RadiusAngle = ZoneRadiusAngleFromText(ZoneRadiusText(*z), doc.WorldRadius);
    doc.Zones.ZoneUpdate(z);
    EXPECT_NEAR(z->RadiusLen, 50, 1e-4);

    z->RadiusAngle = ZoneRadiusAngleFromText(u"12a5", doc.WorldRadius);
    doc.Zones.ZoneUpdate(z);
    EXPECT_NEAR(z->RadiusLen, 125, 1e-3);
    // On a world of 2000 the same text is half the angle.
    EXPECT_NEAR(ZoneRadiusAngleFromText(u"125", 2000) * 2, z->RadiusAngle, 1e-6);
}

// --- Drawing ------------------------------------------------------------------------------

class ZoneDrawTest : public ::testing::Test {
protected:
    test::MemoryDecoder Decoder;
    Scene TheScene{Decoder, test::TestNaming()};
    WorldDoc Doc;
    Camera Cam; // looks at longitude 45, polar 45
    ViewFlags Flags;

    void SetUp() override {
        Doc.SetScene(&TheScene);
        Cam.CameraUpdate(Doc.WorldRadius);
        Cam.HorizonUpdate(Doc.WorldRadius);
    }
    void TearDown() override { Doc.WorldClear(); }
};

TEST_F(ZoneDrawTest, ZoneIsAMarkerAndAClosedCircleOfItsColour) {
    TgmZone* z = ZoneCreateAt(Doc, Flags, 45, 45);
    z->ZoneType = 3;
    Doc.Zones.SetZoneCurrent(nullptr);
    Doc.Zones.ZoneDrawAll(Cam, Flags);
    ASSERT_NE(z->MarkerObj, nullptr);
    ASSERT_NE(z->CircleObj, nullptr);
    EXPECT_EQ(TheScene.Objects().Size(), 2u);
    for (const TgmObj3D* obj : {z->MarkerObj, z->CircleObj}) {
        EXPECT_EQ(obj->Layer, 1);
        EXPECT_FALSE(obj->DepthTest);
        EXPECT_TRUE(obj->Visible);
    }
    // Facing the camera: the marker sits at the panel centre.
    EXPECT_NEAR(z->MarkerObj->Position.x, 400, 0.5);
    EXPECT_NEAR(z->MarkerObj->Position.y, 300, 0.5);
    EXPECT_EQ(z->MarkerObj->Vertices()[0].diffuse, 0xFFBF5E8Cu);

    const TgmObj3D& circle = *z->CircleObj;
    ASSERT_EQ(circle.VertexCount(), 32);
    const TPrimNode* prim = circle.Prims().First();
    ASSERT_NE(prim, nullptr);
    ASSERT_EQ(prim->PrimType, PrimitiveType::LineList);
    // 32 segments: 31-0 first, then each vertex to the next.
    std::vector<uint32_t> indices;
    for (const TPrimNode* p : circle.Prims())
        indices.insert(indices.end(), p->Indices.begin(), p->Indices.end());
    ASSERT_EQ(indices.size(), 64u);
    EXPECT_EQ(indices[0], 31u);
    EXPECT_EQ(indices[1], 0u);
    EXPECT_EQ(indices[62], 30u);
    EXPECT_EQ(indices[63], 31u);

    const TVertex3D* v = circle.Vertices();
    EXPECT_NEAR(v[31].x, v[0].x, 1e-3);
    EXPECT_NEAR(v[31].y, v[0].y, 1e-3);
    // The 31 distinct vertices lie around the marker, all on one side of the horizon.
    double sx = 0, sy = 0;
    for (int i = 0; i < 31; ++i) {
        sx += v[i].x;
        sy += v[i].y;
        EXPECT_EQ(v[i].diffuse, 0xFFBF5E8Cu);
        EXPECT_GT(std::hypot(v[i].x - 400, v[i].y - 300), 5);
        EXPECT_TRUE(Cam.IsFrontDepth(v[i].z));
    }
    EXPECT_NEAR(sx / 31, 400, 1);
    EXPECT_NEAR(sy / 31, 300, 1);
    EXPECT_GT(std::hypot(v[0].x - v[1].x, v[0].y - v[1].y), 0.1);
}

TEST_F(ZoneDrawTest, ColoursFollowTypeAndSelection) {
    TgmZone* z = ZoneCreateAt(Doc, Flags, 45, 45);
    struct Case {
        uint32_t type;
        bool current;
        TColor32 colour;
    };
    for (const Case& c :
         {Case{0, false, 0xFF0000FF}, Case{5, false, 0xFF00FF00}, Case{8, false, 0xFFFF0000},
          Case{9, false, 0xFFFFFF00}, Case{10, false, 0xFFFF9696}, Case{12, false, 0xFFFF9696},
          Case{10, true, 0xFFFFFFFF}}) {
        z->ZoneType = c.type;
        z->Current = c.current;
        Doc.Zones.ZoneDraw(z, Cam, Flags);
        EXPECT_EQ(z->MarkerObj->Vertices()[0].diffuse, c.colour) << c.type;
        EXPECT_EQ(z->CircleObj->Vertices()[5].diffuse, c.colour) << c.type;
    }
}

TEST_F(ZoneDrawTest, LinkJoinsTheZonesAndHidesWithEitherOrTheViewItem) {
    TgmZone* a = ZoneCreateAt(Doc, Flags, 45, 45);
    TgmZone* b = ZoneCreateAt(Doc, Flags, 50, 45);
    TgmZone* behind = ZoneCreateAt(Doc, Flags, 225, 135);
    TgmZoneLink* ab = Doc.Zones.ZoneLinkMake(a, b);
    TgmZoneLink* hidden = Doc.Zones.ZoneLinkMake(a, behind);
    ASSERT_TRUE(ab && hidden);
    Doc.Zones.ZoneDrawAll(Cam, Flags);
    Doc.Zones.ZoneLinkDrawAll(Cam, Flags);
    ASSERT_NE(ab->LineObj, nullptr);
    EXPECT_TRUE(ab->LineObj->Visible);
    EXPECT_EQ(ab->LineObj->Layer, 0);
    EXPECT_TRUE(ab->LineObj->DepthTest);
    const TVertex3D* v = ab->LineObj->Vertices();
    EXPECT_EQ(v[0].x, 400 + a->ScreenX);
    EXPECT_EQ(v[0].y, 300 + a->ScreenY);
    EXPECT_EQ(v[0].z, a->ScreenDepth);
    EXPECT_EQ(v[1].x, 400 + b->ScreenX);
    EXPECT_EQ(v[1].diffuse, ZoneStore::LinkColor);
    EXPECT_FALSE(hidden->LineObj->Visible);
    EXPECT_FALSE(behind->MarkerObj->Visible);
    EXPECT_FALSE(behind->CircleObj->Visible);

    Doc.Zones.SetZoneLinkCurrent(ab);
    Flags.Zone = false;
    Doc.Zones.ZoneDrawAll(Cam, Flags);
    Doc.Zones.ZoneLinkDrawAll(Cam, Flags);
    EXPECT_FALSE(ab->LineObj->Visible);
    EXPECT_FALSE(a->MarkerObj->Visible);
    EXPECT_FALSE(a->CircleObj->Visible);
    EXPECT_EQ(ab->LineObj->Vertices()[0].diffuse, 0xFFFFFFFFu);

    // Deleting a zone releases its objects and those of its links.
    const std::size_t before = TheScene.Objects().Size();
    Doc.Zones.ZoneDelete(a);
    EXPECT_EQ(TheScene.Objects().Size(), before - 4);
}

// --- Graph names --------------------------------------------------------------------------

class ZoneGraphTest : public test::TempDirTest {
protected:
    std::string WriteWall(const std::string& text) {
        std::filesystem::create_directories(Dir.Path() / "Game" / "cfg" / "CD");
        Dir.Write("Game/cfg/CD/gmwall.TXT", text);
        return Dir.File("Game");
    }
};

TEST_F(ZoneGraphTest, NamesOfBlock2InFileOrderFoundWhateverTheCase) {
    const std::string game =
        WriteWall("1 {\r\n    other=1\r\n}\r\n"
                  "2 {\r\n    wall_b=x\r\n    sub {\r\n        no=1\r\n    }\r\n"
                  "    wall_a=\r\n    gate=3\r\n}\r\n");
    const ZoneGraphList list = ZoneGraphsLoad(game);
    EXPECT_EQ(list.Error, "");
    EXPECT_EQ(list.Names, (std::vector<std::u16string>{u"wall_b", u"wall_a", u"gate"}));
}

TEST_F(ZoneGraphTest, MissingFileGivesNoNamesAndNoError) {
    for (const std::string& game : {Dir.File("nowhere"), std::string()}) {
        const ZoneGraphList list = ZoneGraphsLoad(game);
        EXPECT_TRUE(list.Names.empty());
        EXPECT_EQ(list.Error, "");
    }
}

TEST_F(ZoneGraphTest, FileWithoutBlock2GivesNoNamesAndTheReason) {
    const std::string game = WriteWall("1 {\r\n    wall=1\r\n}\r\n");
    const ZoneGraphList list = ZoneGraphsLoad(game);
    EXPECT_TRUE(list.Names.empty());
#ifdef _WIN32
    // Windows opens the name as asked: the message names the file in the case the code asks for.
    const std::string expected = Dir.File("Game/CFG/CD/GMWall.txt");
#else
    const std::string expected = Dir.File("Game/cfg/CD/gmwall.TXT");
#endif
    EXPECT_NE(list.Error.find(expected), std::string::npos) << list.Error;
    EXPECT_NE(list.Error.find("TBlockParQX.Block_Get. name=2"), std::string::npos) << list.Error;
}

} // namespace
} // namespace gm
