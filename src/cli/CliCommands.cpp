#include "cli/CliCommands.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <memory>
#include <ostream>
#include <system_error>

#include <nlohmann/json.hpp>

#include "cli/WorldJson.h"
#include "foundation/Codec.h"
#include "foundation/PathResolver.h"
#include "foundation/QX_Buf.h"
#include "foundation/QX_Error.h"
#include "foundation/QX_Str.h"
#include "foundation/Sanitized.h"
#include "render/Camera.h"
#include "world/WorldDoc.h"
#include "zones/GMOpt.h"

namespace gm {

namespace {

// The whole of text as a finite number, or nothing.
std::optional<float> StrictFloat(std::string_view text) {
    float v = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, v);
    if (ec != std::errc() || ptr != end || !std::isfinite(v)) return std::nullopt;
    return v;
}

// Reads through buf, which then holds the file's bytes.
void LoadWorld(WorldDoc& doc, const std::string& file, TBufQX& buf) {
    buf.LoadFromFile(file);
    doc.WorldFileName = AnsiToWideQX(file);
    doc.WorldRead(buf);
}

void LoadWorld(WorldDoc& doc, const std::string& file) {
    TBufQX buf;
    LoadWorld(doc, file, buf);
}

void SaveWorld(WorldDoc& doc, const std::string& file) {
    TBufQX buf;
    doc.WorldWrite(buf);
    buf.SaveToFile(file);
}

struct WorldRelease {
    WorldAfter After = WorldAfter::Free;
    void operator()(WorldDoc* doc) const noexcept {
        if (After == WorldAfter::Free || AddressSanitized) delete doc;
    }
};
using CommandWorld = std::unique_ptr<WorldDoc, WorldRelease>;

// A command's world, freed unless the command ends well and sets After: the error of a failed
// command goes out to a caller that may go on.
CommandWorld NewWorld() {
    return CommandWorld(new WorldDoc, WorldRelease{});
}

// The form the editor stores: relative, "\" separated, lower case.
std::u16string StoredDescPath(std::string_view desc) {
    std::u16string path = LowerQX(AnsiToWideQX(desc));
    for (char16_t& c : path)
        if (c == u'/') c = u'\\';
    return path;
}

} // namespace

std::optional<CliPlacement> ParsePlacement(const std::string& text, std::string* why) {
    auto fail = [why](std::string message) -> std::optional<CliPlacement> {
        if (why) *why = std::move(message);
        return std::nullopt;
    };
    const std::size_t at = text.rfind('@');
    if (at == std::string::npos) return fail("expected DESC@LON,POLAR");
    if (at == 0) return fail("no unit description before '@'");
    const std::string_view angles = std::string_view(text).substr(at + 1);
    const std::size_t comma = angles.find(',');
    if (comma == std::string_view::npos || angles.find(',', comma + 1) != std::string_view::npos)
        return fail("expected two angles LON,POLAR after '@'");
    const std::optional<float> lon = StrictFloat(angles.substr(0, comma));
    const std::optional<float> polar = StrictFloat(angles.substr(comma + 1));
    if (!lon) return fail("longitude is not a number");
    if (!polar) return fail("polar angle is not a number");
    if (*polar < 0 || *polar > 180) return fail("polar angle must lie between 0 and 180");
    CliPlacement p;
    p.Desc = StoredDescPath(std::string_view(text).substr(0, at));
    float l = std::fmod(*lon, 360.0f);
    if (l < 0) l += 360.0f;
    p.Longitude = l >= 360.0f ? 0.0f : l; // a tiny negative angle rounds up to 360
    p.Polar = *polar;
    return p;
}

std::optional<float> ParseRadius(const std::string& text, std::string* why) {
    const std::optional<float> r = StrictFloat(text);
    if (r && *r >= WorldDoc::MinRadius) return r;
    if (why)
        *why = "radius must be a number of at least " +
               std::to_string(static_cast<int>(WorldDoc::MinRadius));
    return std::nullopt;
}

void CmdDump(const std::string& worldFile, std::ostream& out, WorldAfter after) {
    CommandWorld world = NewWorld();
    WorldDoc& doc = *world;
    LoadWorld(doc, worldFile);
    WorldJsonStream(doc, doc.LoadVersion, out);
    out << '\n';
    out.flush();
    if (!out) RaiseQX("Cannot write to standard output");
    world.get_deleter().After = after;
}

void CmdResave(const std::string& inFile, const std::string& outFile, WorldAfter after) {
    CommandWorld world = NewWorld();
    TBufQX buf;
    LoadWorld(*world, inFile, buf);
    // The file's own buffer takes the new bytes: its memory is already the process's, where a
    // new one would be fetched from the system page by page again.
    buf.Rewind();
    world->WorldWrite(buf);
    buf.SaveToFile(outFile);
    world.get_deleter().After = after;
}

int64_t CmdExport(const std::string& worldFile, const std::string& mapFile,
                  const std::string& optFile, WorldAfter after) {
    CommandWorld world = NewWorld();
    LoadWorld(*world, worldFile);
    Camera camera;
    OptState opt;
    const int64_t size = EndExport(*world, camera, opt, mapFile, optFile);
    world.get_deleter().After = after;
    return size;
}

CheckCounts CmdCheck(const CliCheckOptions& options, std::ostream& out) {
    WorldDoc doc;
    LoadWorld(doc, options.WorldFile);
    doc.Units.UnitPath = options.UnitPath;
    CheckOptions check;
    if (!options.UnitPath.empty()) check.UnitFolder = options.UnitPath;
    if (!options.GamePath.empty()) check.TextureFolder = options.GamePath;
    const std::vector<CheckProblem> problems = WorldCheck(doc, check);
    const CheckCounts counts = CountProblems(problems);
    // Messages are in the system code page; JSON is UTF-8.
    const auto utf8 = [](const std::string& text) { return WideToUtf8QX(AnsiToWideQX(text)); };
    if (options.Json) {
        nlohmann::ordered_json list = nlohmann::ordered_json::array();
        for (const CheckProblem& p : problems) {
            nlohmann::ordered_json objects = nlohmann::ordered_json::array();
            for (const CheckObject& o : p.Objects)
                objects.push_back({{"kind", CheckObjectKindName(o.Kind)}, {"index", o.Index}});
            list.push_back({{"severity", CheckSeverityName(p.Severity)},
                            {"code", p.Code},
                            {"message", utf8(p.Message)},
                            {"objects", std::move(objects)}});
        }
        const nlohmann::ordered_json result = {{"world", utf8(options.WorldFile)},
                                               {"errors", counts.Errors},
                                               {"warnings", counts.Warnings},
                                               {"problems", std::move(list)}};
        out << result.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
    } else {
        for (const CheckProblem& p : problems)
            out << CheckProblemText(p) << '\n';
        out << counts.Errors << (counts.Errors == 1 ? " error, " : " errors, ") << counts.Warnings
            << (counts.Warnings == 1 ? " warning\n" : " warnings\n");
    }
    out.flush();
    if (!out) RaiseQX("Cannot write to standard output");
    return counts;
}

void CmdPlace(const CliPlaceOptions& options) {
    WorldDoc doc;
    if (!options.InFile.empty()) {
        LoadWorld(doc, options.InFile);
    } else {
        doc.WorldRadius = options.Radius.value_or(WorldDoc::DefaultRadius);
    }
    doc.Units.UnitPath = options.UnitPath;
    for (const CliPlacement& p : options.Placements) {
        std::string reason;
        if (!doc.Units.UnitCreateAt(p.Desc, p.Longitude, p.Polar, &reason))
            RaiseQX("Cannot load unit description " +
                    ResolvePathQX(options.UnitPath, WideToAnsiQX(p.Desc)) + ": " + reason);
    }
    SaveWorld(doc, options.OutFile);
}

} // namespace gm
