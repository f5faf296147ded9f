#include "zones/GMOpt.h"

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "foundation/QX_Error.h"
#include "render/Camera.h"
#include "support/TempDir.h"
#include "world/KeyTestUnit.h"
#include "zones/ExportWorld.h"

namespace gm {
namespace {

using test::F32;
using test::U32;
using test::Words;

const std::u16string Red = u"1,0,ff 00 00 ff";
const std::u16string Green = u"1,0,00 ff 00 ff";
// An untyped unit's blob of a one-key animation: header, one table entry, one sample.
const std::string RedBlob = Words({0, 1, 0, 36, 24, 0, 0, 1, 0xFF0000FF});
const std::string GreenBlob = Words({0, 1, 0, 36, 24, 0, 0, 1, 0xFF00FF00});
const std::string EmptyBody = Words({0, 0, 0, 0, 0}); // points, lines, zones, links, triangles

std::string MapHead(uint32_t poolLen, float radius = 1000) {
    return std::string("gmwm") + U32(1) + F32(radius) + U32(poolLen);
}

class EndExportTest : public test::TempDirTest {
protected:
    WorldDoc Doc;
    Camera Cam;
    OptState Opt;
    std::string MapPath = Dir.File("edit.map");
    std::string OptPath = Dir.File("edit.opt");

    int64_t Export() { return EndExport(Doc, Cam, Opt, MapPath, OptPath); }
    std::string Map() const { return test::TempDir::Read(MapPath); }
    test::OptFile OptRaw() const {
        return test::OptFile(test::Inflate(test::TempDir::Read(OptPath)));
    }
    std::string FailureOf() {
        return test::ErrorOf([&] { Export(); });
    }
    bool AllPointsUnnumbered() const {
        for (const TPointGM* p : Doc.Points.List())
            if (p->Number != -1) return false;
        return true;
    }
};

TEST_F(EndExportTest, EmptyWorldHasEmptySectionsAndFigure21312) {
    Doc.WorldRadius = 750;
    EXPECT_EQ(Export(), 21312);
    EXPECT_EQ(Map(), MapHead(0, 750) + EmptyBody);
    // Every direction record is two 16-bit zeros; the file holds them compressed.
    const std::string raw = Words({72, 37, 0}) + std::string(72 * 37 * 4, '\0');
    const std::string packed = test::TempDir::Read(OptPath);
    EXPECT_LT(packed.size(), raw.size());
    EXPECT_EQ(test::Inflate(packed), raw);
    // The camera stays at the last direction, at the Home key's distance.
    EXPECT_EQ(Cam.CamLongitude, 355);
    EXPECT_EQ(Cam.CamPolar, 180);
    EXPECT_EQ(Cam.CamDistance, 750 + 1300);
}

TEST_F(EndExportTest, EndFileBytesOfASmallWorld) {
    TgmWorldUnit* u = test::AddUnit(Doc, u"u.txt");
    TgmWorldUnit* v = test::AddUnit(Doc, u"v.txt");
    TPointGM* p0 = test::AddPoint(Doc, u, 10, 90);
    TPointGM* p1 = test::AddPoint(Doc, u, 11, 90);
    TPointGM* q = test::AddPoint(Doc, v, 11.5f, 91);
    TPointGM* p2 = test::AddPoint(Doc, u, 12, 90.5f);
    Doc.Points.PointLink(p1, q); // q follows p1 and is not written
    test::AddLine(Doc, u, p0, p1, Red, Green);
    test::AddLine(Doc, v, q, p0, Red, Green); // another unit, the same animations
    TLineGM* hidden = test::AddLine(Doc, u, p0, q, Red, Green);
    hidden->Visible = 0;
    hidden->Stop = 1;
    TgmZone* z1 = Doc.Zones.ZoneAdd();
    z1->Longitude = 5;
    z1->Polar = 6;
    z1->RadiusAngle = 2;
    z1->ZoneType = 3;
    z1->Graph = u"g";
    z1->Hitpoints = 1;
    z1->Mass = -2;
    z1->Damage = 3;
    z1->ItemFlags = 0x80000001;
    z1->ItemFreq = 2;
    TgmZone* z2 = Doc.Zones.ZoneAdd();
    z2->Longitude = 7;
    z2->Polar = 8;
    z2->RadiusAngle = 1;
    Doc.Zones.ZoneLinkAdd()->ZoneA = z2;
    Doc.Zones.Links().First()->ZoneB = z1;
    Doc.Zones.Links().First()->LinkType = 1;
    test::AddTriangle(Doc, v, q, p2, p0, Red);

    Export();
    const std::string points = U32(3) + F32(10) + F32(90) + F32(1000) + F32(11) + F32(90) +
                               F32(1000) + F32(12) + F32(90.5f) + F32(1000);
    const std::string lines = U32(3) + Words({0, 1}) + std::string("\x01\x00", 2) + Words({0, 36}) +
                              Words({1, 0}) + std::string("\x01\x00", 2) + Words({0, 36}) +
                              Words({0, 1}) + std::string("\x00\x01", 2);
    const std::string zones = U32(2) + F32(5) + F32(6) + F32(2) + U32(3) +
                              std::string("g\0\0\0", 4) + Words({1, 0xFFFFFFFE, 3, 0x80000001, 2}) +
                              F32(7) + F32(8) + F32(1) + U32(0) + std::string(2, '\0') +
                              Words({0, 0, 0, 0, 0}) + U32(1) + Words({1, 0, 1});
    const std::string triangles = U32(1) + Words({1, 1, 0, 2, 0, 0, 0});
    EXPECT_EQ(Map(), MapHead(72) + RedBlob + GreenBlob + points + lines + zones + triangles);
    EXPECT_TRUE(AllPointsUnnumbered());

    // In the visibility file too the linked point is its master's entry.
    const test::OptFile opt = OptRaw();
    ASSERT_TRUE(opt.Whole);
    ASSERT_EQ(opt.Groups.size(), 1u); // only v's triangle gives a box
    EXPECT_EQ(opt.Groups[0].Triangles, std::vector<uint16_t>{0});
    EXPECT_EQ(opt.At(10, 90).Points, std::vector<uint16_t>{1});
    EXPECT_EQ(opt.At(10, 90).Groups, std::vector<uint16_t>{0});
}

TEST_F(EndExportTest, TypedUnitSamplesEveryGroupWithItsNumber) {
    // "Exit 2" with groups named 1, 2 and x: the table gives numbers 1, 2 and 0.
    TgmWorldUnit* u = test::AddUnit(Doc, u"exit.txt", 2, {u"1", u"2", u"x"});
    TPointGM* a = test::AddPoint(Doc, u, 0, 90);
    TPointGM* b = test::AddPoint(Doc, u, 1, 90);
    test::AddLine(Doc, u, a, b, u"1,0,10 00 00 00,20 00 00 00,30 00 00 00",
                  u"1,0,10 00 00 00,20 00 00 00,30 00 00 00");
    Export();
    const std::string blob =
        Words({0, 3, 2, 76, 40, 1, 52, 2, 64, 0, 0, 1, 0x10, 0, 1, 0x20, 0, 1, 0x30});
    const std::string expected = MapHead(76) + blob + U32(2) + F32(0) + F32(90) + F32(1000) +
                                 F32(1) + F32(90) + F32(1000) + U32(1) + Words({0, 1}) +
                                 std::string("\x01\x00", 2) + Words({0, 0}) + Words({0, 0, 0});
    EXPECT_EQ(Map(), expected);
}

TEST_F(EndExportTest, AnimationsShorterThan20GetOneSample) {
    TgmWorldUnit* u = test::AddUnit(Doc, u"short.txt");
    TPointGM* a = test::AddPoint(Doc, u, 0, 90);
    TPointGM* b = test::AddPoint(Doc, u, 1, 90);
    // Two keys of 5 and 10: one sample, at time 0 (the first key). Two keys of 20 each: samples
    // at 0 and 20, the second on the second key.
    test::AddLine(Doc, u, a, b, u"2,5,10,ff 00 00 ff,00 ff 00 ff",
                  u"2,20,20,ff 00 00 ff,00 ff 00 ff");
    Export();
    const std::string shortBlob = Words({0, 1, 0, 36, 24, 0, 0, 1, 0xFF0000FF});
    const std::string longBlob = Words({0, 1, 0, 40, 24, 0, 0, 2, 0xFF0000FF, 0xFF00FF00});
    const std::string map = Map();
    ASSERT_GE(map.size(), 16u + 76u);
    EXPECT_EQ(map.substr(0, 16 + 76), MapHead(76) + shortBlob + longBlob);
}

TEST_F(EndExportTest, VisibilityFromEveryDirection) {
    // A small patch facing longitude 0, polar 90, and one at the south pole.
    TgmWorldUnit* a = test::AddPatch(Doc, 0, 90);
    test::AddPatch(Doc, 200, 179);
    // A third patch beside the first shares a point with it: the shared point is listed once.
    TgmWorldUnit* c = test::AddPatch(Doc, 3, 90);
    Doc.Points.PointLink(Doc.Points.PointsOfUnit(a)[2], Doc.Points.PointsOfUnit(c)[0]);
    const int64_t size = Export();
    const test::OptFile opt = OptRaw();
    ASSERT_TRUE(opt.Whole);
    EXPECT_EQ(opt.LonCount, 72u);
    EXPECT_EQ(opt.PolarCount, 37u);
    ASSERT_EQ(opt.Directions.size(), 72u * 37u);
    ASSERT_EQ(opt.Groups.size(), 3u);
    EXPECT_EQ(opt.Groups[0].Triangles, std::vector<uint16_t>{0});
    EXPECT_EQ(opt.Groups[1].Triangles, std::vector<uint16_t>{1});

    const std::vector<uint16_t> none;
    EXPECT_EQ(opt.At(0, 90).Groups, (std::vector<uint16_t>{0, 2}));
    // Points 0..5 belong to the first two patches; the third's own points are 6 and 7.
    EXPECT_EQ(opt.At(0, 90).Points, (std::vector<uint16_t>{0, 1, 2, 6, 7}));
    // The horizon seen from 1300 above a sphere of 1000 lies 64.2 degrees off the view axis.
    EXPECT_EQ(opt.At(0, 30).Groups, (std::vector<uint16_t>{0, 2}));
    EXPECT_EQ(opt.At(60, 90).Groups, (std::vector<uint16_t>{0, 2}));
    // The patches reach from longitude 359.5 to 3.5 (the linked point moved to 0.5).
    EXPECT_EQ(opt.At(65, 90).Groups, none);
    EXPECT_EQ(opt.At(300, 90).Groups, (std::vector<uint16_t>{0, 2}));
    EXPECT_EQ(opt.At(295, 90).Groups, none);
    EXPECT_EQ(opt.At(180, 90).Groups, none);
    EXPECT_EQ(opt.At(180, 90).Points, none);
    // Polar 180 is a direction of its own at every longitude.
    for (int lon = 0; lon < 360; lon += 5)
        EXPECT_EQ(opt.At(lon, 180).Groups, std::vector<uint16_t>{1}) << lon;

    // The figure counts 8 bytes a direction, 4 a triangle and 48 a group, and 4 for each group
    // and point seen.
    int64_t seen = 0;
    for (const auto& d : opt.Directions)
        seen += static_cast<int64_t>(d.Groups.size() + d.Points.size());
    EXPECT_EQ(size, 21312 + 3 * 52 + 4 * seen);
}

TEST_F(EndExportTest, ExcludeZonesEmptyTheirDirections) {
    test::AddPatch(Doc, 0, 90);
    const int64_t before = Export();
    ASSERT_EQ(OptRaw().At(5, 90).Groups, std::vector<uint16_t>{0});

    // Six degrees round (0, 90) hold five directions; a zone of another type excludes nothing.
    for (uint32_t type : {9u, 10u}) {
        TgmZone* z = Doc.Zones.ZoneAdd();
        z->Longitude = 0;
        z->Polar = 90;
        z->RadiusAngle = 6;
        z->ZoneType = type;
        Doc.Zones.ZoneUpdate(z);
    }
    OptClear(Opt);
    const int64_t after = Export();
    const test::OptFile opt = OptRaw();
    for (auto [lon, polar] : {std::pair{0, 90}, {5, 90}, {355, 90}, {0, 85}, {0, 95}}) {
        EXPECT_TRUE(opt.At(lon, polar).Groups.empty()) << lon << "," << polar;
        EXPECT_TRUE(opt.At(lon, polar).Points.empty()) << lon << "," << polar;
    }
    EXPECT_EQ(opt.At(5, 85).Groups, std::vector<uint16_t>{0});
    EXPECT_EQ(opt.At(10, 90).Groups, std::vector<uint16_t>{0});
    EXPECT_EQ(after, before - 5 * 16);
}

TEST_F(EndExportTest, OptimisationIsKeptUntilCleared) {
    test::AddPatch(Doc, 0, 90);
    EXPECT_EQ(Export(), Export());
    Cam.CamLongitude = 100;
    Cam.CamDistance = 5000;
    test::AddPatch(Doc, 180, 90); // not seen while the kept optimisation is used
    Export();
    EXPECT_EQ(Cam.CamLongitude, 100); // no directions were visited
    EXPECT_EQ(OptRaw().Groups.size(), 1u);
    OptClear(Opt);
    Export();
    EXPECT_EQ(OptRaw().Groups.size(), 2u);
    EXPECT_EQ(Cam.CamLongitude, 355);
}

// --- Failures: a clear message, no file touched, no number left behind ----------------------

class EndExportFailureTest : public EndExportTest {
protected:
    void SetUp() override {
        Dir.Write("edit.map", "old map");
        Dir.Write("edit.opt", "old opt");
    }
    void ExpectFilesUntouched() {
        EXPECT_EQ(Map(), "old map");
        EXPECT_EQ(test::TempDir::Read(OptPath), "old opt");
        EXPECT_TRUE(AllPointsUnnumbered());
        std::size_t files = 0;
        for (const auto& e : std::filesystem::directory_iterator(Dir.Path()))
            files += e.path().filename() != ".gridmoor-save.lock";
        EXPECT_EQ(files, 2u); // no temporary left over
    }
};

TEST_F(EndExportFailureTest, LineOrTriangleWithoutItsPointNamesTheUnit) {
    TgmWorldUnit* u = test::AddUnit(Doc, u"sub\\pair.txt");
    TPointGM* a = test::AddPoint(Doc, u, 0, 90);
    TLineGM* line = test::AddLine(Doc, u, a, nullptr, Red, Red);
    line->Visible = 0; // even a hidden line needs both ends in the end file
    EXPECT_EQ(FailureOf(),
              "A line of unit \"sub\\pair.txt\" has no end point; the end file cannot hold it");
    ExpectFilesUntouched();
    EXPECT_FALSE(Opt.Built); // refused before the optimisation was computed

    Doc.Lines.LineDelete(line);
    test::AddTriangle(Doc, u, a, a, nullptr, Red);
    EXPECT_EQ(FailureOf(), "A triangle of unit \"sub\\pair.txt\" has a corner without a point; "
                           "the end file cannot hold it");
    ExpectFilesUntouched();
}

TEST_F(EndExportFailureTest, AnimationTooLongToSampleFailsBeforeSampling) {
    // Typed with three groups and the longest time lengths: 105 million samples a group.
    TgmWorldUnit* u = test::AddUnit(Doc, u"slow.txt", 1, {u"0", u"1", u"2"});
    TPointGM* a = test::AddPoint(Doc, u, 0, 90);
    const std::u16string red3 = u"1,0,ff 00 00 ff,ff 00 00 ff,ff 00 00 ff";
    test::AddLine(Doc, u, a, a, red3, red3);
    u->TimeLength = 2100000000;
    EXPECT_EQ(FailureOf(), "The colour animation of unit \"slow.txt\" needs 1260000064 bytes of "
                           "samples, more than the end file's limit of 1073741824; shorten its "
                           "time length");
    ExpectFilesUntouched();
    // A hidden line's keys are not sampled, so they cannot fail.
    Doc.Lines.List().First()->Visible = 0;
    Export();
}

TEST_F(EndExportTest, ManyUnitsWithMinuteLongOffsetAnimationsExport) {
    // Every unit samples its own three-group minute (its time offset differs), three keys each:
    // about 24 MB of samples, ordinary content that must not reach the pool's limit.
    for (int i = 0; i < 220; ++i) {
        TgmWorldUnit* u = test::AddUnit(Doc, u"u.txt", 1, {u"0", u"1", u"2"});
        u->TimeLength = 60000;
        u->TimeOffset = i * 37;
        TPointGM* p = test::AddPoint(Doc, u, static_cast<float>(i), 90);
        TTriangleGM* tri = test::AddTriangle(Doc, u, p, p, p, u"1,0,0 0 0 0,0 0 0 0,0 0 0 0");
        for (int c = 0; c < 3; ++c) {
            const std::u16string fade = c == 0   ? u"ff 00 00 ff,00 ff 00 ff"
                                        : c == 1 ? u"00 ff 00 ff,00 00 ff ff"
                                                 : u"00 00 ff ff,ff 00 00 ff";
            tri->Corner[c].Key->Load(u"2,30000,30000," + fade + u"," + fade + u"," + fade);
        }
    }
    Export();
    EXPECT_GT(test::TempDir::Read(MapPath).size(), 3u * 220 * 36064);
}

TEST_F(EndExportFailureTest, SixteenBitLimitsOfTheVisibilityFile) {
    TgmWorldUnit* u = test::AddUnit(Doc, u"many.txt");
    for (int i = 0; i < 65535; ++i)
        test::AddPoint(Doc, u, static_cast<float>(i % 360), 90);
    TPointGM* linked = test::AddPoint(Doc, u, 1, 90);
    Doc.Points.PointLink(Doc.Points.First(), linked); // members take no number of their own
    Export();
    EXPECT_EQ(test::TempDir::Read(MapPath).size(), 16u + 4 + 65535u * 12 + 16);

    Dir.Write("edit.map", "old map");
    Dir.Write("edit.opt", "old opt");
    test::AddPoint(Doc, u, 2, 90);
    EXPECT_EQ(FailureOf(),
              "The visibility file can number at most 65535 points; this world has 65536");
    ExpectFilesUntouched();
}

TEST_F(EndExportFailureTest, TooManyTrianglesFail) {
    TgmWorldUnit* u = test::AddUnit(Doc, u"many.txt");
    TPointGM* a = test::AddPoint(Doc, u, 0, 90);
    for (int i = 0; i < 65536; ++i)
        test::AddTriangle(Doc, u, a, a, a, Red);
    EXPECT_EQ(FailureOf(),
              "The visibility file can number at most 65535 triangles; this world has 65536");
    ExpectFilesUntouched();
}

TEST_F(EndExportFailureTest, DamagedPointLinkNamesThePoint) {
    TgmWorldUnit* u = test::AddUnit(Doc, u"u.txt");
    TPointGM* a = test::AddPoint(Doc, u, 0, 90);
    a->Id = u"gate";
    Doc.Points.SetMaster(a, a); // as a damaged file can leave it
    EXPECT_EQ(FailureOf(), "Point \"gate\" of unit \"u.txt\" has a damaged link; the end file "
                           "cannot number it");
    ExpectFilesUntouched();
    Doc.Points.PointCorrect();
    Export();
}

TEST_F(EndExportFailureTest, UnwritableTargetRaisesTheFileError) {
    MapPath = Dir.File("missing/edit.map");
    const std::string message = FailureOf();
    EXPECT_NE(message.find(Dir.File("missing/edit.map")), std::string::npos) << message;
    MapPath = Dir.File("edit.map");
    ExpectFilesUntouched();

    // The end file is written first: it must not be replaced when the visibility file fails.
    OptPath = Dir.File("missing/edit.opt");
    const std::string second = FailureOf();
    EXPECT_NE(second.find(Dir.File("missing/edit.opt")), std::string::npos) << second;
    OptPath = Dir.File("edit.opt");
    ExpectFilesUntouched();
}

// --- The pieces ---------------------------------------------------------------------------

TEST(KeyBlobSize, MatchesTheBuiltBlob) {
    KeyStore keys;
    test::KeyTestUnit unit;
    TKeyGroupList* list = keys.KeyGroupListAdd(&unit);
    for (const char16_t* name : {u"1", u"2"})
        list->GroupInsert(list->GroupCount())->Name = name;
    TKeyGM* key = keys.KeyCreate(list);
    key->Load(u"3,7,50,13,01 02 03 04,05 06 07 08,09 0a 0b 0c,01 01 01 01,02 02 02 02,03 03 03 03");
    TBufQX scratch;
    for (int32_t type : {0, 3})
        for (int32_t length : {0, 19, 70, 1001}) {
            unit.Type = type;
            unit.Length = length;
            key->KeyBlobBuild(scratch);
            EXPECT_EQ(key->KeyBlobSize(), scratch.Len) << type << "," << length;
        }
}

TEST(KeyPoolLimit, EqualBlobsStillFitAndNewOnesBeyondTheLimitFail) {
    KeyPool pool;
    pool.Limit = 39;
    TBufQX blob;
    for (uint32_t w : {0u, 1u, 0u, 20u, 7u})
        blob.AddDWord(w);
    EXPECT_EQ(pool.Add(blob), 0);
    EXPECT_EQ(pool.Add(blob), 0);
    blob.SetDWordAt(16, 8);
    EXPECT_NE(test::ErrorOf([&] { pool.Add(blob); }), "");
    EXPECT_EQ(pool.Buf.Len, 20);
}

TEST(EndDataFile, ResolvesTheDataFolderWhateverItsCase) {
    test::TempDir dir;
    std::filesystem::create_directories(dir.Path() / "game" / "Data");
#ifdef _WIN32
    // The file system ignores case: the name as asked opens the folder whatever its case.
    EXPECT_EQ(EndDataFile(dir.File("game"), "edit.map"), dir.File("game/DATA/edit.map"));
#else
    EXPECT_EQ(EndDataFile(dir.File("game"), "edit.map"), dir.File("game/Data/edit.map"));
#endif
}

} // namespace
} // namespace gm
