#pragma once
// The command-line tool's commands on a world document without a display. Every command raises
// ErrorQX on failure and then has written no output file; outputs are built in memory and
// written in one atomic replace.

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "zones/WorldCheck.h"

namespace gm {

// One unit to place: a description path relative to the unit folder (stored form: lower case,
// "\" separated) and the surface position in degrees.
struct CliPlacement {
    std::u16string Desc;
    float Longitude = 0; // brought into [0, 360)
    float Polar = 0;     // [0, 180]
};

// "DESC@LON,POLAR": the last '@' separates the description from the two angles. On a malformed
// text the result is empty and *why says what is wrong.
std::optional<CliPlacement> ParsePlacement(const std::string& text, std::string* why = nullptr);

// A world radius as the editor allows it: a number of at least WorldDoc::MinRadius.
std::optional<float> ParseRadius(const std::string& text, std::string* why = nullptr);

// What a command does with the world it opened once it is done. A process that ends right after
// the command leaves it to the system, which takes the memory back at once: freeing a large
// world object by object costs about as long as reading it. (Builds with a leak checker free it.)
enum class WorldAfter { Free, LeaveToExit };

// Prints the world as JSON (see WorldJson.h) followed by a newline.
void CmdDump(const std::string& worldFile, std::ostream& out, WorldAfter after = WorldAfter::Free);

// Reads and writes the world again; the result has the current file version.
void CmdResave(const std::string& inFile, const std::string& outFile,
               WorldAfter after = WorldAfter::Free);

// The end-file export of "Save test" (units' bounding boxes included) into mapFile and
// optFile; returns the "Opt size:" figure. Either both files are written or neither.
int64_t CmdExport(const std::string& worldFile, const std::string& mapFile,
                  const std::string& optFile, WorldAfter after = WorldAfter::Free);

struct CliCheckOptions {
    std::string WorldFile;
    std::string UnitPath; // empty: descriptions are not looked for
    std::string GamePath; // the folder texture names count from; empty: textures not looked for
    bool Json = false;
};

// Prints the world's problems (text lines and a count line, or one JSON object: "world",
// "errors", "warnings" and "problems", each with "severity", "code", "message" and "objects" of
// "kind" and "index") and returns how many of each there are.
CheckCounts CmdCheck(const CliCheckOptions& options, std::ostream& out);

struct CliPlaceOptions {
    std::string UnitPath;
    std::string InFile;          // empty: start from an empty world
    std::optional<float> Radius; // of the empty world; default WorldDoc::DefaultRadius
    std::string OutFile;
    std::vector<CliPlacement> Placements;
};

// Places every unit in order, then saves. A description that fails to load names its file.
void CmdPlace(const CliPlaceOptions& options);

} // namespace gm
