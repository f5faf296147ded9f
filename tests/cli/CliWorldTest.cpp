// resave and place: what they write, and that a failure leaves no output file behind.

#include <cmath>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "cli/CliRun.h"

namespace gm::test {
namespace {

using nlohmann::ordered_json;
using CliWorld = TempDirTest;

TEST_F(CliWorld, ResaveUpgradesAnOldFileToVersion3) {
    const std::string v1 = Dir.Write(
        "v1.raw", RawWorld(1, 1500).U32(1).Wide(u"u.txt").U32(3).U32(9).U32(0).Zeros(6).Bytes());
    const std::string out = Dir.File("v3.raw");
    const CliResult r = RunCli(Dir, {"resave", v1, out});
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(r.Out, "");
    // The same unit with its time length now present, and every later section empty.
    EXPECT_EQ(TempDir::Read(out),
              RawWorld(3, 1500).U32(1).Wide(u"u.txt").U32(3).U32(9).U32(0).U32(0).Zeros(6).Bytes());
    const ordered_json j = DumpWorld(Dir, out);
    EXPECT_EQ(j["version"], 3);
    EXPECT_EQ(j["units"][0]["unitType"], 3);
}

TEST_F(CliWorld, ResaveOntoItselfWorks) {
    const std::string in = Dir.Write("self.raw", RawWorld(2, 800).Zeros(7).Bytes());
    ASSERT_EQ(RunCli(Dir, {"resave", in, in}).Code, 0);
    EXPECT_EQ(TempDir::Read(in), RawWorld(3, 800).Zeros(7).Bytes());
}

TEST_F(CliWorld, FailedResaveLeavesTheTargetAlone) {
    const std::string bad = Dir.Write("bad.raw", RawWorld(9, 1000).Zeros(7).Bytes());
    const std::string fresh = Dir.File("fresh.raw");
    const std::string existing = Dir.Write("existing.raw", "keep me");
    for (const std::string& out : {fresh, existing}) {
        const CliResult r = RunCli(Dir, {"resave", bad, out});
        EXPECT_EQ(r.Code, 1);
        EXPECT_EQ(r.Err, "Error : Incorrect version\n");
    }
    EXPECT_FALSE(FileExists(fresh));
    EXPECT_EQ(TempDir::Read(existing), "keep me");

    const std::string good = Dir.Write("good.raw", RawWorld(3, 1000).Zeros(7).Bytes());
    const std::string noDir = Dir.File("no/such/dir/out.raw");
    const CliResult r = RunCli(Dir, {"resave", good, noDir});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Err.rfind("Error : ", 0), 0u) << r.Err;
    EXPECT_NE(r.Err.find(noDir), std::string::npos) << r.Err;
}

TEST_F(CliWorld, PlaceBuildsAWorldThatDumpsBack) {
    const std::string out = Dir.File("placed.raw");
    const CliResult r = RunCli(Dir, {"place", "--unit-path", UnitsDir(), "--radius", "2000",
                                     "--out", out, "Sub/Pair.TXT@370,90", "sub/pair.txt@-90,45"});
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(r.Out, "");
    const ordered_json j = DumpWorld(Dir, out);
    EXPECT_EQ(j["version"], 3);
    EXPECT_EQ(j["radius"], 2000.0);
    ASSERT_EQ(j["units"].size(), 2u);
    // Stored the way the editor stores description paths.
    EXPECT_EQ(j["units"][0]["descPath"], "sub\\pair.txt");
    EXPECT_EQ(j["units"][1]["descPath"], "sub\\pair.txt");
    ASSERT_EQ(j["points"].size(), 6u);
    // Unit 0 at longitude 370 = 10 on the equator: west and east lie 10 units to either side
    // (10 / 2000 rad = 0.2865 degrees), the deep point at the centre, 5 below the surface.
    const ordered_json& pts = j["points"];
    EXPECT_NEAR(pts[0]["longitude"].get<double>(), 10 - 0.2865, 1e-3);
    EXPECT_NEAR(pts[1]["longitude"].get<double>(), 10 + 0.2865, 1e-3);
    EXPECT_NEAR(pts[2]["longitude"].get<double>(), 10, 1e-3);
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(pts[i]["polar"].get<double>(), 90, 1e-3);
    EXPECT_EQ(pts[0]["radius"], 2000.0);
    EXPECT_EQ(pts[2]["radius"], 1995.0);
    // Unit 1 at longitude -90 = 270, polar 45: west and east lie either side of it.
    EXPECT_NEAR((pts[3]["longitude"].get<double>() + pts[4]["longitude"].get<double>()) / 2, 270,
                1e-3);
    EXPECT_NEAR(pts[3]["polar"].get<double>(), 45, 1e-2);
    EXPECT_EQ(pts[5]["units"], ordered_json::array({1}));
    EXPECT_EQ(j["triangles"].size(), 2u);
    EXPECT_EQ(j["lines"].size(), 4u);

    // A resave of the placed world changes nothing.
    const std::string again = Dir.File("again.raw");
    ASSERT_EQ(RunCli(Dir, {"resave", out, again}).Code, 0);
    EXPECT_EQ(TempDir::Read(again), TempDir::Read(out));
}

TEST_F(CliWorld, PlaceAddsToAnExistingWorld) {
    const std::string first = Dir.File("first.raw");
    ASSERT_EQ(RunCli(Dir, {"place", "--unit-path", UnitsDir(), "--radius", "1200", "--out", first,
                           "sub/pair.txt@0,60"})
                  .Code,
              0);
    const ordered_json before = DumpWorld(Dir, first);
    const std::string second = Dir.File("second.raw");
    const CliResult r = RunCli(Dir, {"place", "--unit-path", UnitsDir(), "--in", first, "--out",
                                     second, "sub/pair.txt@180,120"});
    ASSERT_EQ(r.Code, 0) << r.Err;
    const ordered_json after = DumpWorld(Dir, second);
    EXPECT_EQ(after["radius"], 1200.0);
    ASSERT_EQ(after["units"].size(), 2u);
    EXPECT_EQ(after["units"][0], before["units"][0]);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(after["points"][i], before["points"][i]) << i;
    EXPECT_NEAR((after["points"][3]["longitude"].get<double>() +
                 after["points"][4]["longitude"].get<double>()) /
                    2,
                180, 1e-3);
    EXPECT_EQ(after["keyGroupLists"][1]["unit"], 1);
}

TEST_F(CliWorld, PlaceWithoutUnitsWritesAnEmptyWorldOfTheDefaultRadius) {
    const std::string out = Dir.File("empty.raw");
    ASSERT_EQ(RunCli(Dir, {"place", "--unit-path", UnitsDir(), "--out", out}).Code, 0);
    EXPECT_EQ(TempDir::Read(out), RawWorld(3, 1000).Zeros(7).Bytes());
}

TEST_F(CliWorld, AFailingDescriptionNamesItsFileAndWritesNothing) {
    const std::string units = UnitsDir();
    struct Case {
        std::string Desc;
        std::string File;   // as the message names it
        std::string Reason; // part of the reason
    };
    const std::vector<Case> cases = {
        {"missing.txt@1,2", (std::filesystem::path(units) / "missing.txt").string(),
         "TFileQX.Open. FileName="},
        {"nopoint.txt@1,2", (std::filesystem::path(units) / "nopoint.txt").string(),
         "has no point"},
        {"nogroup.txt@1,2", (std::filesystem::path(units) / "nogroup.txt").string(),
         "no key group"},
    };
    const std::string existing = Dir.Write("existing.raw", "keep me");
    for (const Case& c : cases) {
        const std::string out = Dir.File("out.raw");
        // The good unit placed first must not reach any file either.
        for (const std::string& target : {out, existing}) {
            const CliResult r = RunCli(
                Dir, {"place", "--unit-path", units, "--out", target, "sub/pair.txt@1,2", c.Desc});
            EXPECT_EQ(r.Code, 1) << c.Desc;
            EXPECT_EQ(r.Err.rfind("Error : Cannot load unit description " + c.File + ": ", 0), 0u)
                << r.Err;
            EXPECT_NE(r.Err.find(c.Reason), std::string::npos) << r.Err;
        }
        EXPECT_FALSE(FileExists(out)) << c.Desc;
        EXPECT_EQ(TempDir::Read(existing), "keep me");
    }
}

TEST_F(CliWorld, PlaceOnAnUnreadableWorldFails) {
    const std::string out = Dir.File("out.raw");
    const CliResult r = RunCli(Dir, {"place", "--unit-path", UnitsDir(), "--in",
                                     Dir.File("nothing.raw"), "--out", out, "sub/pair.txt@1,2"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Err, "Error : TFileQX.Open. FileName=" + Dir.File("nothing.raw") + "\n");
    EXPECT_FALSE(FileExists(out));
}

} // namespace
} // namespace gm::test
