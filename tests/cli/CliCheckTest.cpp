// check: the problems printed as text or JSON, and the exit status they give.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/CliRun.h"
#include "foundation/QX_Buf.h"
#include "world/WorldDoc.h"
#include "zones/ExportWorld.h"

namespace gm::test {
namespace {

using nlohmann::ordered_json;
using CliCheck = TempDirTest;

const std::u16string Red = u"1,0,ff 00 00 ff";

// A sound unit, plus on request a line without its end point (an error) and a zone of radius
// zero (a warning).
std::string WriteWorld(const TempDir& dir, const std::string& name, bool error, bool warning) {
    WorldDoc doc;
    TgmWorldUnit* u = AddPatch(doc, 40, 60);
    if (error) AddLine(doc, u, doc.Points.First(), nullptr, Red, Red);
    if (warning) doc.Zones.ZoneAdd();
    TBufQX buf;
    doc.WorldWrite(buf);
    const std::string file = dir.File(name);
    buf.SaveToFile(file);
    return file;
}

TEST_F(CliCheck, ExitStatusFollowsErrorsAndStrictWarnings) {
    const std::string clean = WriteWorld(Dir, "clean.raw", false, false);
    const std::string warned = WriteWorld(Dir, "warned.raw", false, true);
    const std::string broken = WriteWorld(Dir, "broken.raw", true, true);
    const struct {
        std::vector<std::string> Args;
        int Code;
    } cases[] = {
        {{"check", clean}, 0},
        {{"check", clean, "--strict"}, 0},
        {{"check", warned}, 0},
        {{"check", warned, "--strict"}, 1},
        {{"check", broken}, 1},
        {{"check", broken, "--json"}, 1},
        {{"check"}, 2},
        {{"check", clean, "--bogus"}, 2},
        {{"check", Dir.File("missing.raw")}, 1},
    };
    for (const auto& c : cases) {
        const CliResult r = RunCli(Dir, c.Args);
        EXPECT_EQ(r.Code, c.Code) << c.Args.back() << "\n" << r.Out << r.Err;
    }
}

TEST_F(CliCheck, TextListsEachProblemThenTheCounts) {
    const CliResult r = RunCli(Dir, {"check", WriteWorld(Dir, "w.raw", true, true)});
    EXPECT_EQ(r.Out.rfind("error line-without-point: A line of unit \"patch.txt\" has no end "
                          "point",
                          0),
              0u)
        << r.Out;
    EXPECT_NE(r.Out.find("(line 0, unit 0)\nwarning zone-radius-zero: "), std::string::npos);
    EXPECT_NE(r.Out.find("(zone 0)\n1 error, 1 warning\n"), std::string::npos) << r.Out;
}

TEST_F(CliCheck, JsonHasTheSameFields) {
    const std::string world = WriteWorld(Dir, "w.raw", true, true);
    const CliResult r = RunCli(Dir, {"check", world, "--json"});
    const ordered_json j = ordered_json::parse(r.Out);
    EXPECT_EQ(j["world"], world);
    EXPECT_EQ(j["errors"], 1);
    EXPECT_EQ(j["warnings"], 1);
    ASSERT_EQ(j["problems"].size(), 2u);
    const ordered_json& e = j["problems"][0];
    EXPECT_EQ(e["severity"], "error");
    EXPECT_EQ(e["code"], "line-without-point");
    EXPECT_NE(e["message"].get<std::string>().find("has no end point"), std::string::npos);
    EXPECT_EQ(e["objects"], ordered_json::parse(R"([{"kind": "line", "index": 0},
                                                     {"kind": "unit", "index": 0}])"));
    EXPECT_EQ(j["problems"][1]["severity"], "warning");
    EXPECT_EQ(j["problems"][1]["objects"][0]["kind"], "zone");
}

TEST_F(CliCheck, FoldersReportMissingDescriptions) {
    const std::string world = WriteWorld(Dir, "w.raw", false, false);
    const CliResult none = RunCli(Dir, {"check", world, "--unit-path", Dir.Path().string()});
    EXPECT_NE(none.Out.find("warning unit-desc-missing: "), std::string::npos) << none.Out;
    Dir.Write("patch.txt", "");
    const CliResult found = RunCli(Dir, {"check", world, "--unit-path", Dir.Path().string()});
    EXPECT_EQ(found.Out, "0 errors, 0 warnings\n");
}

} // namespace
} // namespace gm::test
