// Bodies of the world_open and export targets.

#include <algorithm>
#include <fstream>
#include <iterator>

#include "foundation/Codec.h"
#include "foundation/QX_Error.h"
#include "harness/FuzzChecks.h"
#include "harness/FuzzEndFile.h"
#include "render/Camera.h"
#include "world/WorldDoc.h"
#include "zones/GMOpt.h"

namespace gm::fuzz {

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Bytes of samples the export would make at most (before equal blobs are shared), and whether
// one blob alone passes the end file's limit (which the export refuses before sampling).
struct SampleVolume {
    int64_t Bytes = 0;
    bool OverLimit = false;
};

SampleVolume SamplesOf(const WorldDoc& doc) {
    SampleVolume v;
    const auto add = [&v](const TKeyGM& key) {
        const int64_t size = key.KeyBlobSize();
        v.OverLimit = v.OverLimit || size > EndKeyPoolLimit;
        v.Bytes = std::min<int64_t>(v.Bytes + size, int64_t{1} << 60);
    };
    for (const TLineGM* line : doc.Lines.List()) {
        if (line->Visible == 0) continue;
        add(*line->KeyStart);
        add(*line->KeyEnd);
    }
    for (const TTriangleGM* tri : doc.Triangles.List())
        for (const TTriangleCorner& c : tri->Corner)
            add(*c.Key);
    return v;
}

bool PointNumbersAreReset(const WorldDoc& doc) {
    for (const TPointGM* p : doc.Points.List())
        if (p->Number != -1) return false;
    return true;
}

} // namespace

void WorldOpenOne(FuzzContext& ctx, std::string_view input) {
    const std::u16string path = AnsiToWideQX(ctx.Write("world.raw", input));
    WorldDoc doc;
    doc.WorldFileName = u"previous.raw";
    const std::string message = doc.WorldOpen(path);
    if (!message.empty()) {
        RequireFailedOpen(doc, message);
        return;
    }
    Require(doc.WorldFileName == path, "an opened world takes the file's name");
    Require(PointNumbersAreReset(doc), "an opened world's points have no number");
    RequireRoundTrip(doc);
    DrawFrames(doc);
    // Drawing changes nothing that is saved.
    RequireRoundTrip(doc);
    doc.WorldClear();
    Require(WorldIsEmpty(doc), "File > Clear leaves nothing behind");
}

void ExportOne(FuzzContext& ctx, std::string_view input) {
    WorldDoc doc;
    if (!doc.WorldOpen(AnsiToWideQX(ctx.Write("world.raw", input))).empty()) return;
    const SampleVolume samples = SamplesOf(doc);
    // Refusals come before sampling, so they are never over the budget.
    if (samples.Bytes > ctx.SampleBudget && !samples.OverLimit) return;

    const std::string oldMap = "the previous end file";
    const std::string oldOpt = "the previous visibility file";
    const std::string mapFile = ctx.Write("DATA/edit.map", oldMap);
    const std::string optFile = ctx.Write("DATA/edit.opt", oldOpt);
    Camera camera;
    OptState opt;
    int64_t size = 0;
    try {
        size = EndExport(doc, camera, opt, mapFile, optFile);
    } catch (const ErrorQX& e) {
        Require(!e.Message().empty(), "a failed export says why");
        Require(ReadFile(mapFile) == oldMap && ReadFile(optFile) == oldOpt,
                "a failed export leaves both files as they were (" + e.Message() + ")");
        Require(PointNumbersAreReset(doc), "a failed export resets the point numbers");
        return;
    }
    Require(PointNumbersAreReset(doc), "an export resets the point numbers");
    Require(opt.Built && size == opt.Size, "the export returns the size figure it built");
    CheckEndFile(doc, ReadFile(mapFile));
    CheckVisibilityFile(doc, opt, ReadFile(optFile));
}

} // namespace gm::fuzz
