// gridmoor-cli: the world editor's operations without a display, for batch pipelines and checks.

#include <exception>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "cli/CliCommands.h"
#include "editing/DataFolders.h"
#include "foundation/QX_Error.h"
#include "foundation/QX_File.h"

namespace {

constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;

constexpr const char* Description =
    "Gridmoor's command-line tool: reads, converts, exports and builds Skyhaul battle worlds "
    "(*.raw) without a display.";

constexpr const char* Footer = R"(Commands:
  dump WORLD.raw
      Prints the whole world as JSON on stdout: version (of the file), radius, and the arrays
      units, keyGroupLists, points, triangles, lines, zones and zoneLinks. Objects refer to each
      other by their 0-based index in these arrays (null for none). Floats print in their
      shortest form that reads back to the same 32-bit float.
  resave IN.raw OUT.raw
      Opens IN and saves it as OUT in the current file version (3).
  export WORLD.raw OUT.map OUT.opt
      Writes the game's end file and visibility file exactly as "Save test" does (bounding
      boxes of every unit computed first) and prints "Opt size: N".
  check WORLD.raw [--unit-path DIR] [--game-path DIR] [--json] [--strict]
      Checks the world as the editor's Problems list does and prints one line per problem:
      severity, code, message and in brackets the objects involved, numbered as dump numbers
      them; then a count line. With --json: one object {world, errors, warnings, problems:
      [{severity, code, message, objects: [{kind, index}]}]}. With --unit-path, units whose
      description is missing there are reported; with --game-path (the folder texture names
      count from, the editor's start folder), missing textures. Exit status 0 without errors,
      1 with errors (with --strict also with warnings), 2 wrong usage.
  place [--unit-path DIR] [--in WORLD.raw | --radius R] --out OUT.raw DESC@LON,POLAR ...
      Starts from an empty world of radius R (at least 500, default 1000) or from WORLD.raw,
      places each unit description DESC (relative to DIR, by default the bundled example
      units; stored lower case with "\") at longitude LON and polar angle POLAR (degrees,
      0..180), in order, and saves OUT.

Each command's own options: gridmoor-cli COMMAND --help.

Exit status: 0 success; 1 failure, with "Error : " and the reason on stderr and no output file
written (outputs replace their target only once complete); 2 wrong usage, with the usage on
stderr.)";

} // namespace

int main(int argc, char** argv) {
    gm::IgnoreFileSizeSignalQX();
    CLI::App app{Description, "gridmoor-cli"};
    app.require_subcommand(1);
    // Windows paths may start with a slash ("/worlds/a.raw"): only "--name" and "-n" are options.
    app.allow_windows_style_options(false);

    std::string world, inFile, outFile, mapFile, optFile;
    gm::CliPlaceOptions place;
    std::vector<std::string> placements;
    std::string radius;

    CLI::App* dump = app.add_subcommand("dump", "Print the whole world as JSON on stdout");
    dump->add_option("WORLD", world, "World file (*.raw)")->required();

    CLI::App* resave = app.add_subcommand("resave", "Open a world and save it in version 3");
    resave->add_option("IN", inFile, "World file to read")->required();
    resave->add_option("OUT", outFile, "World file to write")->required();

    CLI::App* exportCmd =
        app.add_subcommand("export", "Write the game's end file and visibility file");
    exportCmd->add_option("WORLD", world, "World file (*.raw)")->required();
    exportCmd->add_option("MAP", mapFile, "End file to write (*.map)")->required();
    exportCmd->add_option("OPT", optFile, "Visibility file to write (*.opt)")->required();

    gm::CliCheckOptions check;
    bool strict = false;
    CLI::App* checkCmd = app.add_subcommand("check", "Print the world's problems");
    checkCmd->add_option("WORLD", check.WorldFile, "World file (*.raw)")->required();
    checkCmd->add_option("--unit-path", check.UnitPath,
                         "Folder the unit descriptions are relative to (report missing ones)");
    checkCmd->add_option("--game-path", check.GamePath,
                         "Folder the texture names count from (report missing textures)");
    checkCmd->add_flag("--json", check.Json, "Print the problems as JSON");
    checkCmd->add_flag("--strict", strict, "Warnings fail the exit status too");

    CLI::App* placeCmd = app.add_subcommand("place", "Place unit descriptions and save the world");
    placeCmd->add_option("--unit-path", place.UnitPath,
                         "Folder the descriptions are relative to (default: the bundled example "
                         "units)");
    CLI::Option* inOpt =
        placeCmd->add_option("--in", place.InFile, "World to start from (default: empty world)");
    placeCmd
        ->add_option("--radius", radius, "Radius of the empty world to start from (default 1000)")
        ->check(CLI::Validator(
            [](std::string& text) -> std::string {
                std::string why;
                return gm::ParseRadius(text, &why) ? std::string() : why;
            },
            "NUMBER"))
        ->excludes(inOpt);
    placeCmd->add_option("--out", place.OutFile, "World file to write")->required();
    placeCmd
        ->add_option("PLACEMENT", placements,
                     "DESC@LON,POLAR: description path, longitude and polar angle in degrees")
        ->check(CLI::Validator(
            [](std::string& text) -> std::string {
                std::string why;
                return gm::ParsePlacement(text, &why) ? std::string() : text + ": " + why;
            },
            "DESC@LON,POLAR"));

    // Set last: subcommands made after it would repeat it under their own help.
    app.footer(Footer);

    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {
        return app.exit(e); // --help: the usage on stdout
    } catch (const CLI::ParseError& e) {
        std::cerr << e.what() << "\n\n" << app.help();
        return ExitUsage;
    }

    try {
        if (*dump) {
            gm::CmdDump(world, std::cout, gm::WorldAfter::LeaveToExit);
        } else if (*resave) {
            gm::CmdResave(inFile, outFile, gm::WorldAfter::LeaveToExit);
        } else if (*exportCmd) {
            const int64_t size =
                gm::CmdExport(world, mapFile, optFile, gm::WorldAfter::LeaveToExit);
            std::cout << "Opt size: " << size << '\n';
        } else if (*checkCmd) {
            const gm::CheckCounts counts = gm::CmdCheck(check, std::cout);
            return counts.Errors > 0 || (strict && counts.Warnings > 0) ? ExitFailure : 0;
        } else if (*placeCmd) {
            if (!radius.empty()) place.Radius = gm::ParseRadius(radius);
            if (place.UnitPath.empty()) place.UnitPath = gm::BundledUnitFolder();
            for (const std::string& text : placements)
                place.Placements.push_back(*gm::ParsePlacement(text));
            gm::CmdPlace(place);
        }
        return 0;
    } catch (const gm::ErrorQX& e) {
        std::cerr << "Error : " << e.Message() << '\n';
    } catch (const std::bad_alloc&) {
        std::cerr << "Error : Out of memory\n";
    } catch (const std::exception& e) {
        std::cerr << "Error : " << e.what() << '\n';
    }
    return ExitFailure;
}
