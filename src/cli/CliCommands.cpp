#include "cli/CliCommands.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <ostream>
#include <system_error>

#include <nlohmann/json.hpp>

#include "cli/WorldJson.h"
#include "foundation/Codec.h"
#include "foundation/PathResolver.h"
#include "foundation/QX_Buf.h"
#include "foundation/QX_Error.h"
#include "foundation/QX_Str.h"
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

void LoadWorld(WorldDoc& doc, const std::string& file) {
    TBufQX buf;
    buf.LoadFromFile(file);
    doc.WorldFileName = AnsiToWideQX(file);
    doc.WorldRead(buf);
}

void SaveWorld(WorldDoc& doc, const std::string& file) {
    TBufQX buf;
    doc.WorldWrite(buf);
    buf.SaveToFile(file);
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

void CmdDump(const std::string& worldFile, std::ostream& out) {
    WorldDoc doc;
    LoadWorld(doc, worldFile);
    WorldJsonStream(doc, doc.LoadVersion, out);
    out << '\n';
    out.flush();
    if (!out) RaiseQX("Cannot write to standard output");
}

void CmdResave(const std::string& inFile, const std::string& outFile) {
    WorldDoc doc;
    LoadWorld(doc, inFile);
    SaveWorld(doc, outFile);
}

int64_t CmdExport(const std::string& worldFile, const std::string& mapFile,
                  const std::string& optFile) {
    std::error_code mapEc, optEc;
    const auto mapPath = std::filesystem::weakly_canonical(mapFile, mapEc);
    const auto optPath = std::filesystem::weakly_canonical(optFile, optEc);
    if (!mapEc && !optEc && mapPath == optPath)
        RaiseQX("The end file and the visibility file must be different files: " + mapFile);
    WorldDoc doc;
    LoadWorld(doc, worldFile);
    Camera camera;
    OptState opt;
    return EndExport(doc, camera, opt, mapFile, optFile);
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
