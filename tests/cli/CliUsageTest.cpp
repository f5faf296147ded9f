// Help and wrong usage: exit status 2 with the usage on stderr, and nothing written.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/CliRun.h"

namespace gm::test {
namespace {

using CliUsage = TempDirTest;

TEST_F(CliUsage, HelpDocumentsEveryCommandAndTheExitStatus) {
    const CliResult r = RunCli(Dir, {"--help"});
    EXPECT_EQ(r.Code, 0);
    EXPECT_EQ(r.Err, "");
    for (const char* text :
         {"dump WORLD.raw", "resave IN.raw OUT.raw", "export WORLD.raw OUT.map OUT.opt",
          "place [--unit-path DIR]", "--radius R", "DESC@LON,POLAR", "Opt size: N",
          "Error : ", "Exit status"})
        EXPECT_NE(r.Out.find(text), std::string::npos) << text;
}

TEST_F(CliUsage, CommandHelpShowsItsArguments) {
    const CliResult r = RunCli(Dir, {"place", "--help"});
    EXPECT_EQ(r.Code, 0);
    for (const char* text : {"--unit-path", "--in", "--radius", "--out", "PLACEMENT"})
        EXPECT_NE(r.Out.find(text), std::string::npos) << text;
}

TEST_F(CliUsage, WrongUsageExitsWithTwoAndWritesNothing) {
    const std::string units = UnitsDir();
    const std::string world = Dir.Write("w.raw", RawWorld(3, 1000).Zeros(7).Bytes());
    const std::string out = Dir.File("out.raw");
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frobnicate"},
        {"dump"},
        {"dump", world, "extra"},
        {"resave", world},
        {"export", world, Dir.File("a.map")},
        {"place", "--unit-path", units, "sub/pair.txt@1,2"},                 // no --out
        {"place", "--unit-path", units, "--out", out, "sub/pair.txt"},       // no angles
        {"place", "--unit-path", units, "--out", out, "sub/pair.txt@1"},     // one angle
        {"place", "--unit-path", units, "--out", out, "sub/pair.txt@1,2,3"}, // three
        {"place", "--unit-path", units, "--out", out, "sub/pair.txt@x,2"},
        {"place", "--unit-path", units, "--out", out, "sub/pair.txt@1,2y"},
        {"place", "--unit-path", units, "--out", out, "sub/pair.txt@1,181"},
        {"place", "--unit-path", units, "--out", out, "sub/pair.txt@1,-0.5"},
        {"place", "--unit-path", units, "--out", out, "sub/pair.txt@nan,2"},
        {"place", "--unit-path", units, "--out", out, "@1,2"},
        {"place", "--unit-path", units, "--out", out, "--radius", "499", "sub/pair.txt@1,2"},
        {"place", "--unit-path", units, "--out", out, "--radius", "5e2x", "sub/pair.txt@1,2"},
        {"place", "--unit-path", units, "--out", out, "--in", world, "--radius", "900"},
    };
    for (const auto& args : cases) {
        std::string line;
        for (const std::string& a : args)
            line += a + " ";
        const CliResult r = RunCli(Dir, args);
        EXPECT_EQ(r.Code, 2) << line;
        EXPECT_NE(r.Err.find("Usage: gridmoor-cli"), std::string::npos) << line;
        EXPECT_EQ(r.Out, "") << line;
        EXPECT_FALSE(FileExists(out)) << line;
    }
}

// Without --unit-path the example units bundled with the program are used, from any folder.
TEST_F(CliUsage, PlaceWithoutUnitPathTakesTheBundledUnits) {
    const std::string out = Dir.File("out.raw");
    const CliResult r = RunCli(Dir, {"place", "--out", out, "tower.txt@45,45"});
    ASSERT_EQ(r.Code, 0) << r.Err;
    const auto world = DumpWorld(Dir, out);
    ASSERT_EQ(world["units"].size(), 1u);
    EXPECT_EQ(world["units"][0]["descPath"], "tower.txt");
}

} // namespace
} // namespace gm::test
