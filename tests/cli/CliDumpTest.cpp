// dump: the document as JSON, the file's own version, shortest round-trip floats, references as
// array indices, and read failures.

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/CliRun.h"
#include "foundation/Codec.h"
#include "foundation/QX_Buf.h"
#include "support/SystemReason.h"
#include "world/WorldDoc.h"

namespace gm::test {
namespace {

using nlohmann::ordered_json;
using CliDump = TempDirTest;

std::vector<std::string> KeysOf(const ordered_json& object) {
    std::vector<std::string> keys;
    for (const auto& item : object.items())
        keys.push_back(item.key());
    return keys;
}

// A world with two units of the fixture description; a point of the second unit is linked to
// one of the first, so it has a master.
std::string LinkedWorld(const TempDir& dir) {
    WorldDoc doc;
    doc.Units.UnitPath = UnitsDir();
    TgmWorldUnit* a = doc.Units.UnitCreateAt(u"sub\\pair.txt", 10, 90);
    TgmWorldUnit* b = doc.Units.UnitCreateAt(u"sub\\pair.txt", 10.5f, 90);
    EXPECT_TRUE(a && b);
    TPointGM* eastA = doc.Units.PointById(a, u"east");
    TPointGM* westB = doc.Units.PointById(b, u"west");
    doc.Points.PointLink(eastA, westB);
    b->UnitType = 2;
    b->TimeOffset = -40;
    b->TimeLength = 1234;
    doc.Units.SetKeyGroup(b, 1);
    TBufQX buf;
    doc.WorldWrite(buf);
    const std::string path = dir.File("linked.raw");
    buf.SaveToFile(path);
    return path;
}

TEST_F(CliDump, EmptyWorldHasEveryArrayInTheContractOrder) {
    const std::string world = Dir.Write("e.raw", RawWorld(3, 1000).Zeros(7).Bytes());
    const ordered_json j = DumpWorld(Dir, world);
    ASSERT_TRUE(j.is_object());
    EXPECT_EQ(KeysOf(j),
              (std::vector<std::string>{"version", "radius", "units", "keyGroupLists", "points",
                                        "triangles", "lines", "zones", "zoneLinks"}));
    EXPECT_EQ(j["version"], 3);
    EXPECT_EQ(j["radius"], 1000.0);
    for (const char* a :
         {"units", "keyGroupLists", "points", "triangles", "lines", "zones", "zoneLinks"})
        EXPECT_TRUE(j[a].is_array() && j[a].empty()) << a;
}

TEST_F(CliDump, ReportsTheFilesOwnVersion) {
    // Version 2 has no time length in unit records.
    const std::string v2 = Dir.Write(
        "v2.raw", RawWorld(2, 1000).U32(1).Wide(u"a\\b.txt").U32(1).U32(7).U32(0).Zeros(6).Bytes());
    const ordered_json j = DumpWorld(Dir, v2);
    EXPECT_EQ(j["version"], 2);
    ASSERT_EQ(j["units"].size(), 1u);
    EXPECT_EQ(j["units"][0]["descPath"], "a\\b.txt");
    EXPECT_EQ(j["units"][0]["unitType"], 1);
    EXPECT_EQ(j["units"][0]["timeOffset"], 7);
    EXPECT_EQ(j["units"][0]["timeLength"], 0);
}

TEST_F(CliDump, FloatsPrintInShortestFormAndReadBackExactly) {
    for (const float radius : {1000.1f, 0.1f, 1e-7f, 3.4028235e38f, 16777217.0f, 1234.5678f}) {
        const std::string world = Dir.Write("f.raw", RawWorld(3, radius).Zeros(7).Bytes());
        const CliResult r = RunCli(Dir, {"dump", world});
        ASSERT_EQ(r.Code, 0) << r.Err;
        const ordered_json j = ordered_json::parse(r.Out);
        EXPECT_EQ(static_cast<float>(j["radius"].get<double>()), radius) << r.Out;
        // The printed token is no longer than the shortest decimal that identifies the float.
        const auto at = r.Out.find("\"radius\": ");
        ASSERT_NE(at, std::string::npos);
        const std::string token = r.Out.substr(at + 10, r.Out.find_first_of(",\n", at) - at - 10);
        EXPECT_LE(token.size(), 15u) << token;
    }
    const std::string world = Dir.Write("g.raw", RawWorld(3, 1000.1f).Zeros(7).Bytes());
    const CliResult r = RunCli(Dir, {"dump", world});
    EXPECT_NE(r.Out.find("\"radius\": 1000.1,"), std::string::npos) << r.Out;
}

TEST_F(CliDump, ObjectsCarryTheirFieldsAndReferToEachOtherByIndex) {
    const ordered_json j = DumpWorld(Dir, LinkedWorld(Dir));
    ASSERT_EQ(j["units"].size(), 2u);
    ASSERT_EQ(j["keyGroupLists"].size(), 2u);
    ASSERT_EQ(j["points"].size(), 6u);
    ASSERT_EQ(j["triangles"].size(), 2u);
    ASSERT_EQ(j["lines"].size(), 4u);

    const ordered_json& u1 = j["units"][1];
    EXPECT_EQ(KeysOf(u1), (std::vector<std::string>{"descPath", "unitType", "timeOffset",
                                                    "keyGroup", "timeLength", "centre"}));
    EXPECT_EQ(u1["descPath"], "sub\\pair.txt");
    EXPECT_EQ(u1["unitType"], 2);
    EXPECT_EQ(u1["timeOffset"], -40);
    EXPECT_EQ(u1["timeLength"], 1234);
    EXPECT_EQ(u1["keyGroup"], 1);
    EXPECT_EQ(u1["centre"].size(), 3u);

    EXPECT_EQ(j["keyGroupLists"][1]["unit"], 1);
    EXPECT_EQ(j["keyGroupLists"][1]["groups"], ordered_json::array({"day", "night", ""}));

    // Points in list order: west, east, deep of unit 0, then of unit 1.
    const ordered_json& east0 = j["points"][1];
    const ordered_json& west1 = j["points"][3];
    EXPECT_EQ(KeysOf(west1),
              (std::vector<std::string>{"id", "longitude", "polar", "radius", "pos", "master",
                                        "portId", "portType", "portLink", "savedPortId",
                                        "savedPortType", "savedPortLink", "units"}));
    EXPECT_EQ(west1["id"], "west");
    EXPECT_EQ(west1["master"], 1);
    EXPECT_TRUE(east0["master"].is_null());
    EXPECT_EQ(west1["longitude"], east0["longitude"]); // a member sits on its master
    EXPECT_EQ(west1["portId"], "a");
    EXPECT_EQ(west1["portLink"], "road");
    EXPECT_EQ(west1["units"], ordered_json::array({1}));
    EXPECT_EQ(j["points"][2]["radius"], 995.0); // local depth 5 below a radius of 1000

    const ordered_json& t1 = j["triangles"][1];
    EXPECT_EQ(KeysOf(t1),
              (std::vector<std::string>{"unit", "keyGroupList", "texture", "backFace", "corners"}));
    EXPECT_EQ(t1["unit"], 1);
    EXPECT_EQ(t1["keyGroupList"], 1);
    EXPECT_EQ(t1["texture"], "stone.png");
    EXPECT_EQ(t1["backFace"], 1);
    ASSERT_EQ(t1["corners"].size(), 3u);
    EXPECT_EQ(t1["corners"][0], (ordered_json{{"point", 3},
                                              {"u", 0.0},
                                              {"v", 0.0},
                                              {"key", "1,0,ff ff ff ff,ff 00 00 ff,00 ff 00 ff"}}));
    EXPECT_EQ(t1["corners"][2]["point"], 5);
    EXPECT_EQ(t1["corners"][2]["v"], 1.0);
    EXPECT_EQ(t1["corners"][2]["key"],
              "2,100,50,ff ff ff ff,00 00 00 ff,ff 00 00 ff,00 00 00 ff,00 ff 00 ff,00 00 00 ff");

    // Unit 1's lines: a stop line west-east, and a hidden line whose end point does not exist.
    const ordered_json& stop = j["lines"][2];
    const ordered_json& hidden = j["lines"][3];
    EXPECT_EQ(KeysOf(stop),
              (std::vector<std::string>{"unit", "keyGroupList", "pointStart", "pointEnd",
                                        "keyStart", "keyEnd", "visible", "stop"}));
    EXPECT_EQ(stop["unit"], 1);
    EXPECT_EQ(stop["keyGroupList"], 1);
    EXPECT_EQ(stop["pointStart"], 3);
    EXPECT_EQ(stop["pointEnd"], 4);
    EXPECT_EQ(stop["visible"], 1);
    EXPECT_EQ(stop["stop"], 1);
    EXPECT_EQ(stop["keyEnd"], "1,0,00 00 00 ff,00 00 00 ff,00 00 00 ff");
    EXPECT_EQ(hidden["pointStart"], 4);
    EXPECT_TRUE(hidden["pointEnd"].is_null());
    EXPECT_EQ(hidden["visible"], 0);
    EXPECT_EQ(hidden["stop"], 0);
}

TEST_F(CliDump, NonAsciiTextIsUtf8) {
    const std::string world = Dir.Write("n.raw", RawWorld(3, 1000)
                                                     .U32(1)
                                                     .Wide(u"d\u00e9j\u00e0\\\u6f22.txt")
                                                     .U32(0)
                                                     .U32(0)
                                                     .U32(0)
                                                     .U32(0)
                                                     .Zeros(6)
                                                     .Bytes());
    const ordered_json j = DumpWorld(Dir, world);
    ASSERT_EQ(j["units"].size(), 1u);
    EXPECT_EQ(j["units"][0]["descPath"], "d\xc3\xa9j\xc3\xa0\\\xe6\xbc\xa2.txt");
}

TEST_F(CliDump, UnreadableWorldsFailWithTheReaderMessage) {
    const std::string missing = Dir.File("missing.raw");
    struct Case {
        std::string File;
        std::string Message;
    };
    const std::vector<Case> cases = {
        {missing, "TFileQX.Open. FileName=" + missing + test::Reason(test::Why::MissingFile)},
        {Dir.Write("magic.raw", std::string("HKVY") + std::string(36, '\0')), "Incorrect format"},
        {Dir.Write("v4.raw", RawWorld(4, 1000).Zeros(7).Bytes()), "Incorrect version"},
        {Dir.Write("short.raw", "HKVZ"), "TBufQX.TestGet. len=4"},
        {Dir.Write("cut.raw", RawWorld(3, 1000).Zeros(6).Bytes()), "TBufQX.TestGet. len=4"},
    };
    for (const Case& c : cases) {
        const CliResult r = RunCli(Dir, {"dump", c.File});
        EXPECT_EQ(r.Code, 1) << c.File;
        EXPECT_EQ(r.Err, "Error : " + c.Message + "\n") << c.File;
        EXPECT_EQ(r.Out, "") << c.File;
    }
}

} // namespace
} // namespace gm::test
