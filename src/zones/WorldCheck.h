#pragma once
// The world checker: everything that would make the end-file export fail (errors) and what
// exports but probably plays badly (warnings), found in one pass and reported all at once, with
// a stable code, a message a designer can act on and the objects involved. The editor's Problems
// dock, the Save End dialog and `gridmoor-cli check` all show its result.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace gm {

class WorldDoc;

enum class CheckSeverity { Error, Warning };

enum class CheckObjectKind { Unit, Point, Line, Triangle, Zone, ZoneLink };

struct CheckObject {
    CheckObjectKind Kind = CheckObjectKind::Unit;
    // Identity only, for finding the object again while the world has not changed since.
    const void* Object = nullptr;
    // Position in its list (0-based, as `gridmoor-cli dump` numbers the arrays).
    int32_t Index = -1;
};

struct CheckProblem {
    CheckSeverity Severity = CheckSeverity::Warning;
    std::string Code;    // stable, e.g. "line-without-point"
    std::string Message; // in the system code page
    std::vector<CheckObject> Objects;
};

struct CheckOptions {
    // Folder the units' descriptions are named relative to; none: descriptions are not looked
    // for on disk.
    std::optional<std::string> UnitFolder;
    // Folder the triangles' texture names count from (the editor's start folder); none:
    // textures are not looked for on disk.
    std::optional<std::string> TextureFolder;
};

// Units (of one description) or zones (of one type) closer than this are stacked.
inline constexpr float CheckStackDistance = 0.5f;

// Errors first, then warnings, each in the order of the lists. May sample colour keys (as the
// export does) when the key pool's size cannot be bounded without doing so; otherwise reads only.
std::vector<CheckProblem> WorldCheck(WorldDoc& doc, const CheckOptions& options = {});

struct CheckCounts {
    int32_t Errors = 0;
    int32_t Warnings = 0;
};
CheckCounts CountProblems(const std::vector<CheckProblem>& problems);

std::string_view CheckSeverityName(CheckSeverity severity); // "error" or "warning"
std::string_view CheckObjectKindName(CheckObjectKind kind); // "unit", "point", ... "zoneLink"

// One line: "error line-without-point: <message> (unit 3, line 12)".
std::string CheckProblemText(const CheckProblem& problem);

} // namespace gm
