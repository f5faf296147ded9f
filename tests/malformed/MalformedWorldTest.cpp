// Damaged world files, one case per kind of damage, opened as File > Open opens them: each ends
// with "Error : " and the reason, and an empty untitled world; never a crash, a hang or a world
// loaded in part.

#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/Codec.h"
#include "harness/FuzzChecks.h"
#include "support/SystemReason.h"
#include "support/TempDir.h"
#include "world/WorldDoc.h"
#include "zones/ExportWorld.h"

namespace gm {
namespace {

using test::F32;
using test::U32;

std::string Wide(const std::u16string& s) {
    std::string out;
    for (char16_t c : s)
        out += test::U16(c);
    return out + test::U16(0);
}

std::string Byte(uint8_t b) {
    return std::string(1, static_cast<char>(b));
}

const std::u16string Red = u"1,0,00 00 ff ff";

// A world with a record in every section, written field by field as the world file lays them
// out: one unit with a key group list of two groups, three points (the third linked to the
// first), a triangle, a line, two zones and a link between them. Each section is kept apart so
// that a case can damage one of them.
struct WorldFile {
    std::string Header = U32(0x5A564B48) + U32(3) + F32(1000.0f);
    std::string Units = U32(1) + Wide(u"sub\\pair.txt") + U32(2) + U32(0) + U32(1) + U32(0);
    std::string Lists = U32(1) + U32(0) + U32(2) + Wide(u"day") + Wide(u"night");
    std::string Points =
        U32(3) + Point(u"a", 10, 80, 0) + Point(u"b", 11, 80, 0) + Point(u"c", 10, 80, 1);
    std::string Triangles =
        U32(1) + U32(1) + Wide(u"stone.png") + Byte(1) + U32(0) + Corner(1) + Corner(2) + Corner(3);
    std::string Lines = U32(1) + U32(1) + U32(1) + U32(2) + Wide(Keys(Red)) + Wide(Keys(Red)) +
                        Byte(1) + Byte(0) + U32(0);
    std::string Zones = U32(2) + Zone(u"road") + Zone(u"") + U32(1) + U32(1) + U32(2) + U32(0);

    static std::string Point(const std::u16string& id, float lon, float polar, uint32_t master) {
        return Wide(id) + F32(lon) + F32(polar) + F32(1000.0f) + U32(master) + Wide(u"p") +
               Wide(u"") + Wide(u"road") + Wide(u"") + Wide(u"") + Wide(u"") + U32(1) + U32(0);
    }
    static std::string Corner(uint32_t point) {
        return U32(point) + F32(0.5f) + F32(0.25f) + Wide(Keys(Red));
    }
    // A key of the unit's list: the same colour in both groups.
    static std::u16string Keys(const std::u16string& oneGroup) {
        return oneGroup + u",ff 00 00 ff";
    }
    static std::string Zone(const std::u16string& graph) {
        return F32(10.0f) + F32(80.0f) + F32(2.5f) + U32(5) + Wide(graph) + U32(100) + U32(1) +
               U32(static_cast<uint32_t>(-3)) + U32(0x81) + U32(2);
    }

    std::vector<const std::string*> Sections() const {
        return {&Header, &Units, &Lists, &Points, &Triangles, &Lines, &Zones};
    }
    std::string Bytes() const {
        std::string all;
        for (const std::string* s : Sections())
            all += *s;
        return all;
    }
};

class MalformedWorldTest : public test::TempDirTest {
protected:
    // Opens bytes as a world file into a document that held a world before.
    std::string Open(const std::string& bytes) {
        Doc.WorldFileName = u"previous.raw";
        const std::string path = Dir.Write("world.raw", bytes);
        return Doc.WorldOpen(AnsiToWideQX(path));
    }
    // The failure as the user sees it, and the document it leaves.
    void ExpectFailure(const std::string& bytes, const std::string& message) {
        EXPECT_EQ(Open(bytes), "Error : " + message);
        EXPECT_TRUE(Doc.WorldFileName.empty());
        EXPECT_TRUE(fuzz::WorldIsEmpty(Doc));
    }

    WorldDoc Doc;
    WorldFile File;
};

TEST_F(MalformedWorldTest, TheUndamagedWorldOpensWhole) {
    ASSERT_EQ(Open(File.Bytes()), "");
    EXPECT_EQ(Doc.Units.UnitCount(), 1);
    EXPECT_EQ(Doc.Keys.Lists().Size(), 1u);
    EXPECT_EQ(Doc.Points.PointCount(), 3);
    EXPECT_EQ(Doc.Points.PointMasterCount(), 2);
    EXPECT_EQ(Doc.Triangles.TriangleCount(), 1);
    EXPECT_EQ(Doc.Lines.LineCount(), 1);
    EXPECT_EQ(Doc.Zones.ZoneCount(), 2);
    EXPECT_EQ(Doc.Zones.ZoneLinkCount(), 1);
    // The file is exactly what the editor writes.
    EXPECT_EQ(fuzz::WorldBytes(Doc), File.Bytes());
}

TEST_F(MalformedWorldTest, WrongMagic) {
    File.Header[3] = 'Y';
    ExpectFailure(File.Bytes(), "Incorrect format");
}

TEST_F(MalformedWorldTest, FutureVersion) {
    File.Header = U32(0x5A564B48) + U32(4) + F32(1000.0f);
    ExpectFailure(File.Bytes(), "Incorrect version");
}

TEST_F(MalformedWorldTest, EmptyFile) {
    ExpectFailure("", "TBufQX.TestGet. len=4");
}

TEST_F(MalformedWorldTest, TruncatedAtEverySectionBoundary) {
    // Cut after the magic, after the version, and at the end of every section but the last:
    // the next thing to read is a 32-bit number that is not there.
    std::vector<std::size_t> cuts = {4, 8};
    std::size_t at = 0;
    const auto sections = File.Sections();
    for (std::size_t i = 0; i + 1 < sections.size(); ++i)
        cuts.push_back(at += sections[i]->size());
    // Inside the zone section: after the zones, before the link count.
    cuts.push_back(File.Bytes().size() - 4 - 12);
    for (std::size_t cut : cuts) {
        SCOPED_TRACE(cut);
        ExpectFailure(File.Bytes().substr(0, cut), "TBufQX.TestGet. len=4");
    }
}

TEST_F(MalformedWorldTest, TruncatedAnywhere) {
    const std::string whole = File.Bytes();
    for (std::size_t cut = 0; cut < whole.size(); ++cut) {
        SCOPED_TRACE(cut);
        // Mostly the buffer's read check; a cut just before a key text reads it as empty.
        const std::string message = Open(whole.substr(0, cut));
        EXPECT_TRUE(message.rfind("Error : TBufQX.TestGet. len=", 0) == 0 ||
                    message == "Error : TKeyGM.KeyDelete")
            << message;
        EXPECT_TRUE(Doc.WorldFileName.empty());
        EXPECT_TRUE(fuzz::WorldIsEmpty(Doc));
    }
}

TEST_F(MalformedWorldTest, CountsFarLargerThanTheFile) {
    // Each count of the file in turn becomes 4294967295; the records it promises cannot be in
    // the file. Reading stops at the first value that does not fit, or at a record read from
    // the bytes that follow which names nothing.
    struct Case {
        const char* name;
        std::string WorldFile::*section;
        std::size_t offset; // of the count inside the section
        std::string message;
    };
    const std::size_t groupCount = 8; // after the list count and the unit
    // After the point count, the first point's name "a", three floats, the master and its six
    // port texts "p", "", "road", "", "", "".
    const std::size_t pointUnits = 4 + 4 + 12 + 4 + 4 + 2 + 10 + 2 + 2 + 2;
    const std::size_t linkCount = File.Zones.size() - 12 - 4; // before the one link record
    const std::vector<Case> cases = {
        {"units", &WorldFile::Units, 0, "TBufQX.TestGet. len=4"},
        {"key group lists", &WorldFile::Lists, 0, "KeyGroupsRead. unit=3"},
        {"groups of a list", &WorldFile::Lists, groupCount, "TBufQX.TestGet. len=2"},
        {"points", &WorldFile::Points, 0, "PointsRead. unit=2147483711"},
        {"units of a point", &WorldFile::Points, pointUnits, "PointsRead. unit=98"},
        {"triangles", &WorldFile::Triangles, 0, "TrianglesRead. unit=33554432"},
        {"lines", &WorldFile::Lines, 0, "LinesRead. list=2"},
        {"zones", &WorldFile::Zones, 0, "TBufQX.TestGet. len=4"},
        {"zone links", &WorldFile::Zones, linkCount, "TBufQX.TestGet. len=4"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WorldFile damaged;
        (damaged.*c.section).replace(c.offset, 4, U32(0xFFFFFFFF));
        ExpectFailure(damaged.Bytes(), c.message);
    }
}

TEST_F(MalformedWorldTest, ReferencesToObjectsThatDoNotExist) {
    struct Case {
        const char* name;
        std::string WorldFile::*section;
        std::string from, to; // the first `from` of the section becomes `to`
        std::string message;
    };
    const std::string pointC = WorldFile::Point(u"c", 10, 80, 1);
    const std::vector<Case> cases = {
        {"unit of a key group list", &WorldFile::Lists, U32(1) + U32(0), U32(1) + U32(1),
         "KeyGroupsRead. unit=1"},
        {"key group of a unit", &WorldFile::Units, U32(0) + U32(1) + U32(0),
         U32(0) + U32(2) + U32(0), "KeyGroupsRead. group=2"},
        {"unit of a point", &WorldFile::Points, U32(1) + U32(0) + Wide(u"b"),
         U32(1) + U32(7) + Wide(u"b"), "PointsRead. unit=7"},
        {"master of a point", &WorldFile::Points, pointC, WorldFile::Point(u"c", 10, 80, 4),
         "PointsRead. master=4"},
        {"key group list of a triangle", &WorldFile::Triangles, U32(1) + U32(1), U32(1) + U32(9),
         "TrianglesRead. list=9"},
        {"unit of a triangle", &WorldFile::Triangles, Byte(1) + U32(0), Byte(1) + U32(3),
         "TrianglesRead. unit=3"},
        {"point of a triangle", &WorldFile::Triangles, WorldFile::Corner(3), WorldFile::Corner(4),
         "PointsRead. point=4"},
        {"key group list of a line", &WorldFile::Lines, U32(1) + U32(1) + U32(1),
         U32(1) + U32(2) + U32(1), "LinesRead. list=2"},
        {"point of a line", &WorldFile::Lines, U32(1) + U32(2), U32(1) + U32(5),
         "PointsRead. point=5"},
        {"unit of a line", &WorldFile::Lines, Byte(0) + U32(0), Byte(0) + U32(1),
         "LinesRead. unit=1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WorldFile damaged;
        std::string& s = damaged.*c.section;
        const std::size_t at = s.find(c.from);
        ASSERT_NE(at, std::string::npos);
        s.replace(at, c.from.size(), c.to);
        ExpectFailure(damaged.Bytes(), c.message);
    }
}

TEST_F(MalformedWorldTest, NonFiniteFloatsInAnyField) {
    // Each float the file stores in turn becomes a NaN or an infinity; left in, it would be
    // drawn, saved and exported as it is.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const std::string point = F32(10) + F32(80) + F32(1000), corner = F32(0.5f) + F32(0.25f);
    const std::string zone = F32(10) + F32(80) + F32(2.5f);
    struct Case {
        const char* name;
        std::string WorldFile::*section;
        std::string from, to;
    };
    const std::vector<Case> cases = {
        {"world radius", &WorldFile::Header, F32(1000), F32(inf)},
        {"point longitude", &WorldFile::Points, point, F32(nan) + F32(80) + F32(1000)},
        {"point polar", &WorldFile::Points, point, F32(10) + F32(-inf) + F32(1000)},
        {"point radius", &WorldFile::Points, point, F32(10) + F32(80) + F32(inf)},
        {"corner u", &WorldFile::Triangles, corner, F32(nan) + F32(0.25f)},
        {"corner v", &WorldFile::Triangles, corner, F32(0.5f) + F32(inf)},
        {"zone longitude", &WorldFile::Zones, zone, F32(inf) + F32(80) + F32(2.5f)},
        {"zone polar", &WorldFile::Zones, zone, F32(10) + F32(nan) + F32(2.5f)},
        {"zone radius angle", &WorldFile::Zones, zone, F32(10) + F32(80) + F32(nan)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WorldFile damaged;
        std::string& s = damaged.*c.section;
        const std::size_t at = s.find(c.from);
        ASSERT_NE(at, std::string::npos);
        s.replace(at, c.from.size(), c.to);
        ExpectFailure(damaged.Bytes(), "Incorrect format");
    }
}

TEST_F(MalformedWorldTest, ALinkToAZoneThatDoesNotExistIsLeftOut) {
    // The one reference the reader forgives, as the zone section is documented: the world opens
    // without that link.
    const std::string link = U32(1) + U32(1) + U32(2) + U32(0);
    File.Zones.replace(File.Zones.size() - link.size(), link.size(),
                       U32(1) + U32(1) + U32(3) + U32(0));
    ASSERT_EQ(Open(File.Bytes()), "");
    EXPECT_EQ(Doc.Zones.ZoneCount(), 2);
    EXPECT_EQ(Doc.Zones.ZoneLinkCount(), 0);
}

TEST_F(MalformedWorldTest, StringWithoutItsTerminator) {
    // The file ends inside the unit's description name: its 12 units and the missing
    // terminator are asked for.
    const std::string cut = File.Header + U32(1) + Wide(u"sub\\pair.txt").substr(0, 24);
    ExpectFailure(cut, "TBufQX.TestGet. len=26");
}

TEST_F(MalformedWorldTest, KeyTextsWithWrongItemCountsAndAbsurdCounts) {
    struct Case {
        const char* name;
        std::u16string key;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"a value missing", u"1,0,00 00 ff ff", "TKeyGM.Load"},
        {"a value of three bytes", u"1,0,00 00 ff,00 00 ff ff", "TKeyGM.Load"},
        {"bytes separated by two spaces", u"1,0,00  00 ff ff,00 00 ff ff", "TKeyGM.Load"},
        {"no keys", u"0", "TKeyGM.KeyDelete"},
        {"an empty text", u"", "TKeyGM.KeyDelete"},
        {"an absurd count", u"4294967295,0,00 00 ff ff,00 00 ff ff", "TKeyGM.Load"},
        {"more keys than the text holds", u"100000,1,2,00 00 ff ff,00 00 ff ff", "TKeyGM.Load"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WorldFile damaged;
        const std::string good = Wide(WorldFile::Keys(Red));
        damaged.Lines.replace(damaged.Lines.find(good), good.size(), Wide(c.key));
        ExpectFailure(damaged.Bytes(), c.message);
    }
}

TEST_F(MalformedWorldTest, DirectoryWhereTheFileShouldBe) {
    const std::string folder = Dir.File("folder.raw");
    std::filesystem::create_directory(folder);
    Doc.WorldFileName = u"previous.raw";
    EXPECT_EQ(Doc.WorldOpen(AnsiToWideQX(folder)),
              "Error : TFileQX.Open. FileName=" + folder + test::Reason(test::Why::Folder));
    EXPECT_TRUE(Doc.WorldFileName.empty());
    EXPECT_TRUE(fuzz::WorldIsEmpty(Doc));
}

TEST_F(MalformedWorldTest, AFailedOpenDropsTheWorldThatWasOpen) {
    ASSERT_EQ(Open(File.Bytes()), "");
    WorldFile damaged;
    // The one link record is a byte short: its last number does not fit.
    damaged.Zones.resize(damaged.Zones.size() - 1);
    ExpectFailure(damaged.Bytes(), "TBufQX.TestGet. len=4");
}

} // namespace
} // namespace gm
