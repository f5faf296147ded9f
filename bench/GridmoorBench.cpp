// The editor's performance on a large world: one frame, opening, saving, exporting, reloading
// every unit and clearing, the undo step of a unit move and of a zone edit, plus a reference loop
// that does only a frame's projections and vertex writes. Run through `./dev bench`, which asks for
// repetitions; the summary at the end shows the median of each figure against its target.
//
//   gridmoor-bench [--world-dir=DIR] [--units=N] [benchmark options]
//
// Without --world-dir the world is generated into a temporary folder that is removed afterwards.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "BenchSupport.h"
#include "editing/FrameRender.h"
#include "editing/UndoStack.h"
#include "foundation/Codec.h"
#include "foundation/QX_Error.h"
#include "render/BatchingDevice.h"
#include "render/Camera.h"
#include "render/GR_DirectX.h"
#include "render/Scene.h"
#include "render/gm_Obj3D.h"
#include "world/ViewFlags.h"
#include "world/WorldDoc.h"
#include "zones/GMOpt.h"
#include "zones/WorldCheck.h"
#include "zones/WorldZone.h"

namespace gm::bench {
namespace {

namespace fs = std::filesystem;

// The grid of the default settings, as the editor builds it.
constexpr int GridCount = 32;
constexpr TColor32 GridFront = 0xC0FFFFFF;
constexpr TColor32 GridBack = 0x00FFFFFF;
constexpr uint64_t FrameStepMs = 20;

struct Context {
    BenchWorldFiles Files;
};

// The editor's view of a document: a scene on a batching device, the default camera and view,
// the grid and the (hidden) background.
struct EditorRig {
    PatternDecoder Decoder;
    Scene Scn{Decoder, TexFileNaming{"", WideToAnsiQX, nullptr}};
    BatchingDevice Device;
    WorldDoc Doc;
    Camera Cam;
    ViewFlags Flags;
    uint64_t Clock = 0;

    EditorRig() {
        Device.Create(800, 600);
        Scn.SetDevice(&Device);
        Doc.SetScene(&Scn);
        Cam.SetPanelSize(800, 600);
        BackgroundObjNew(Scn, u".", Flags.Background, 800, 600);
    }
    ~EditorRig() {
        Doc.WorldClear();
        Doc.SetScene(nullptr);
        Scn.Obj3DFreeAll();
        Scn.SetDevice(nullptr);
    }

    void Open(const Context& ctx) {
        const std::string error = Doc.WorldOpen(AnsiToWideQX(ctx.Files.WorldFile));
        if (!error.empty()) RaiseQX(error);
        Doc.Units.UnitPath = ctx.Files.UnitFolder;
        Doc.WorldLines.WorldGridBuild(Doc.WorldRadius, GridCount, GridFront, GridBack);
    }

    void Frame() {
        Clock += FrameStepMs;
        FrameTick(Doc, Clock);
        FrameUpdateLists(Doc, Scn, Cam, Flags);
        FrameDraw(Device, Scn);
    }
};

void Frame(benchmark::State& state, const Context& ctx) {
    EditorRig rig;
    rig.Open(ctx);
    // The first frames make the scene objects and load the texture.
    rig.Frame();
    rig.Frame();
    for (auto _ : state)
        rig.Frame();
    const BatchingDevice::FrameStats& s = rig.Device.LastFrame();
    state.counters["gl_draw_calls"] = static_cast<double>(s.Batches);
    state.counters["device_draws"] = static_cast<double>(s.Draws);
    state.counters["vertices"] = static_cast<double>(s.Vertices);
}

// What a frame cannot avoid, with nothing else: the projections it makes and the vertex records
// it writes, counted on the frame itself. Projections: every point, unit centre and zone centre,
// the zones' outlines, both ends of every world line. Records: the vertices the lists write
// (shown triangles, lines of units in sight, zone outlines, zone links, world lines) and those
// handed to the device in batches.
struct FrameCounts {
    std::size_t Projections = 0;
    std::size_t Records = 0;
};

FrameCounts CountFrame(EditorRig& rig) {
    FrameCounts c;
    const WorldDoc& doc = rig.Doc;
    const std::size_t zones = static_cast<std::size_t>(doc.Zones.ZoneCount());
    const std::size_t worldLines = doc.WorldLines.Lines().Size();
    c.Projections = doc.Points.List().Size() + doc.Units.List().Size() +
                    zones * (1 + ZoneStore::CircleVertices) + 2 * worldLines;
    for (const TTriangleGM* t : doc.Triangles.List())
        if (t->TriObj && t->TriObj->Visible) c.Records += 3;
    for (const TLineGM* l : doc.Lines.List())
        if (l->LineObj && l->Unit && l->Unit->Visible) c.Records += 2;
    c.Records += zones * ZoneStore::CircleVertices +
                 2 * static_cast<std::size_t>(doc.Zones.ZoneLinkCount()) + 2 * worldLines;
    c.Records += rig.Device.LastFrame().Vertices;
    return c;
}

void Reference(benchmark::State& state, const Context& ctx) {
    EditorRig rig;
    rig.Open(ctx);
    rig.Frame();
    rig.Frame();
    const FrameCounts counts = CountFrame(rig);
    std::vector<TVec3> in;
    for (const TPointGM* p : rig.Doc.Points.List())
        in.push_back(p->Pos);
    for (std::size_t i = 0; in.size() < counts.Projections; ++i)
        in.push_back(in[i]);

    const Camera& cam = rig.Cam;
    std::vector<TVec3> projected(in.size());
    std::vector<TVertex3D> out(counts.Records);
    const float cx = static_cast<float>(cam.ScreenCentreX);
    const float cy = static_cast<float>(cam.ScreenCentreY);
    for (auto _ : state) {
        for (std::size_t i = 0; i < in.size(); ++i)
            projected[i] = Vec3TransformCoord(cam.ViewProjMatrix, in[i]);
        std::size_t k = 0;
        for (std::size_t i = 0; i < out.size(); ++i) {
            const TVec3& q = projected[k];
            out[i] = MakeVertex(0xFFFFFFFFu, cx + q.x, cy + q.y, q.z, 0, 0);
            if (++k == projected.size()) k = 0;
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.counters["projections"] = static_cast<double>(in.size());
    state.counters["vertices"] = static_cast<double>(out.size());
}

void Open(benchmark::State& state, const Context& ctx) {
    EditorRig rig;
    for (auto _ : state) {
        state.PauseTiming();
        rig.Doc.WorldClear();
        state.ResumeTiming();
        rig.Open(ctx);
    }
    state.counters["points"] = rig.Doc.Points.PointCount();
}

void Save(benchmark::State& state, const Context& ctx) {
    EditorRig rig;
    rig.Open(ctx);
    rig.Doc.WorldFileName = AnsiToWideQX((fs::path(ctx.Files.Folder) / "saved.raw").string());
    for (auto _ : state)
        rig.Doc.WorldSave();
}

void Export(benchmark::State& state, const Context& ctx) {
    EditorRig rig;
    rig.Open(ctx);
    const std::string map = (fs::path(ctx.Files.Folder) / "edit.map").string();
    const std::string opt = (fs::path(ctx.Files.Folder) / "edit.opt").string();
    int64_t size = 0;
    for (auto _ : state) {
        Camera cam;
        cam.SetPanelSize(800, 600);
        OptState optState;
        size = EndExport(rig.Doc, cam, optState, map, opt);
    }
    state.counters["opt_size"] = static_cast<double>(size);
}

// What the Problems list runs after each change, descriptions looked for on disk as the editor
// does.
void Check(benchmark::State& state, const Context& ctx) {
    EditorRig rig;
    rig.Open(ctx);
    CheckOptions options;
    options.UnitFolder = ctx.Files.UnitFolder;
    std::size_t problems = 0;
    for (auto _ : state)
        problems = WorldCheck(rig.Doc, options).size();
    state.counters["problems"] = static_cast<double>(problems);
}

// Reloading and clearing work on the world as the editor holds it, after frames were drawn.
void ReloadAll(benchmark::State& state, const Context& ctx) {
    EditorRig rig;
    for (auto _ : state) {
        state.PauseTiming();
        rig.Open(ctx);
        rig.Frame();
        state.ResumeTiming();
        rig.Doc.Units.UnitReloadAll();
    }
    state.counters["units"] = rig.Doc.Units.UnitCount();
}

void Clear(benchmark::State& state, const Context& ctx) {
    EditorRig rig;
    for (auto _ : state) {
        state.PauseTiming();
        rig.Open(ctx);
        rig.Frame();
        state.ResumeTiming();
        rig.Doc.WorldClear();
    }
}

// --- Undo steps, as the panel records a unit drag and a zone drag -------------------------------

// Nudges the points of the unit in the middle of the list, as one move of a drag does.
void NudgeUnit(WorldDoc& doc, float step) {
    TgmWorldUnit* unit = nullptr;
    int32_t i = 0;
    for (TgmWorldUnit* u : doc.Units.List())
        if (i++ == doc.Units.UnitCount() / 2) unit = u;
    for (TPointGM* p : doc.Points.PointsOfUnit(unit))
        if (!p->Master) doc.Points.SetAngles(p, p->Longitude + step, p->Polar);
}

void CommitMove(benchmark::State& state, const Context& ctx) {
    EditorRig rig;
    rig.Open(ctx);
    UndoStack stack(rig.Doc);
    const std::size_t world = stack.MemoryUsed();
    float step = 0.01f;
    for (auto _ : state) {
        state.PauseTiming();
        NudgeUnit(rig.Doc, step = -step);
        state.ResumeTiming();
        stack.Commit("Move unit", {}, EditSections::Points);
    }
    // What a step holds beyond the world's own state.
    state.counters["step_bytes"] = static_cast<double>(stack.MemoryUsed() - world) /
                                   static_cast<double>(std::max<std::size_t>(stack.UndoCount(), 1));
}

void CommitZone(benchmark::State& state, const Context& ctx) {
    EditorRig rig;
    rig.Open(ctx);
    UndoStack stack(rig.Doc);
    TgmZone* zone = rig.Doc.Zones.Zones().First();
    float step = 0.01f;
    for (auto _ : state) {
        state.PauseTiming();
        zone->Longitude += (step = -step);
        rig.Doc.Zones.ZoneUpdate(zone);
        state.ResumeTiming();
        stack.Commit("Move zone", {}, EditSections::Zones);
    }
}

// How many one-unit-move steps the default budget keeps (the world's own state included).
void UndoSteps(benchmark::State& state, const Context& ctx) {
    EditorRig rig;
    rig.Open(ctx);
    UndoStack stack(rig.Doc);
    constexpr int Moves = 150;
    for (auto _ : state) {
        float step = 0.01f;
        for (int i = 0; i < Moves; ++i) {
            NudgeUnit(rig.Doc, step += 0.01f);
            stack.Commit("Move unit", {}, EditSections::Points);
        }
    }
    state.counters["steps_kept"] = static_cast<double>(stack.UndoCount());
    state.counters["mb_used"] = static_cast<double>(stack.MemoryUsed()) / (1 << 20);
}

// --- The summary --------------------------------------------------------------------------------

struct Target {
    const char* Name;
    const char* Figure;
    double Ms; // at most; 0 for none
};

constexpr Target Targets[] = {
    {"frame", "frame (CPU)", 6},
    {"reference", "reference loop", 0},
    {"open", "open", 300},
    {"save", "save", 200},
    {"export", "export", 2000},
    {"reload_all", "reload all", 2000},
    {"clear", "clear", 100},
    {"commit_move", "commit move", 0},
    {"commit_zone", "commit zone", 0},
    {"check", "check", 0},
};

// The console output as usual, and the median (or the single run) of each benchmark kept.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    struct Figure {
        double RealMs = 0;
        double CpuMs = 0;
        std::map<std::string, double> Counters;
        bool FromMedian = false;
    };
    std::map<std::string, Figure> Figures;

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type == Run::RT_Aggregate && !median) continue;
            Figure& f = Figures[run.run_name.function_name];
            if (f.FromMedian && !median) continue;
            const double toMs = 1e3 / benchmark::GetTimeUnitMultiplier(run.time_unit);
            f.RealMs = run.GetAdjustedRealTime() * toMs;
            f.CpuMs = run.GetAdjustedCPUTime() * toMs;
            f.FromMedian = median;
            for (const auto& [name, counter] : run.counters)
                f.Counters[name] = counter.value;
        }
    }

    void PrintSummary() const {
        std::printf("\n%-16s %12s %12s %12s  %s\n", "figure", "median ms", "cpu ms", "target",
                    "status");
        for (const Target& t : Targets) {
            const auto it = Figures.find(t.Name);
            if (it == Figures.end()) continue;
            const Figure& f = it->second;
            char target[32] = "-";
            if (t.Ms > 0) std::snprintf(target, sizeof target, "<= %g", t.Ms);
            const char* status = t.Ms <= 0 ? "" : f.RealMs <= t.Ms ? "met" : "MISSED";
            std::printf("%-16s %12.2f %12.2f %12s  %s\n", t.Figure, f.RealMs, f.CpuMs, target,
                        status);
        }
        const auto frame = Figures.find("frame");
        const auto ref = Figures.find("reference");
        if (frame != Figures.end() && ref != Figures.end() && ref->second.RealMs > 0) {
            const double ratio = frame->second.RealMs / ref->second.RealMs;
            std::printf("%-16s %12.2f %12s %12s  %s\n", "frame/reference", ratio, "", "<= 5",
                        ratio <= 5 ? "met" : "MISSED");
        }
        const auto check = Figures.find("check");
        const auto save = Figures.find("save");
        if (check != Figures.end() && save != Figures.end() && save->second.RealMs > 0) {
            // The checker runs after every change: it must cost no more than one save.
            const double ratio = check->second.RealMs / save->second.RealMs;
            std::printf("%-16s %12.2f %12s %12s  %s\n", "check/save", ratio, "", "<= 1",
                        ratio <= 1 ? "met" : "MISSED");
        }
        // An undo step must cost far less than a save of the world.
        for (const char* name : {"commit_move", "commit_zone"}) {
            const auto it = Figures.find(name);
            if (save == Figures.end() || it == Figures.end() || it->second.RealMs <= 0) continue;
            const double ratio = save->second.RealMs / it->second.RealMs;
            std::printf("%-16s %12.1f %12s %12s  %s\n",
                        name == std::string("commit_move") ? "save/commit move"
                                                           : "save/commit zone",
                        ratio, "", ">= 10", ratio >= 10 ? "met" : "MISSED");
        }
        const auto steps = Figures.find("undo_steps");
        if (steps != Figures.end()) {
            const double kept = steps->second.Counters.at("steps_kept");
            std::printf("%-16s %12.0f %12s %12s  %s (%.0f MB held)\n", "undo steps kept", kept, "",
                        ">= 100", kept >= 100 ? "met" : "MISSED",
                        steps->second.Counters.at("mb_used"));
        }
        if (frame != Figures.end()) {
            const auto calls = frame->second.Counters.find("gl_draw_calls");
            if (calls != frame->second.Counters.end())
                std::printf("%-16s %12.0f %12s %12s  %s\n", "GL draw calls", calls->second, "",
                            "<= 64", calls->second <= 64 ? "met" : "MISSED");
        }
    }
};

std::string TakeOption(int& argc, char** argv, const char* prefix) {
    std::string value;
    const std::size_t n = std::strlen(prefix);
    int out = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], prefix, n) == 0)
            value = argv[i] + n;
        else
            argv[out++] = argv[i];
    }
    argc = out;
    return value;
}

int Main(int argc, char** argv) {
    std::string folder = TakeOption(argc, argv, "--world-dir=");
    const std::string units = TakeOption(argc, argv, "--units=");
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;

    BenchWorldOptions options;
    if (!units.empty()) options.Units = std::stoi(units);
    const bool temporary = folder.empty();
    if (temporary)
        folder =
            (fs::temp_directory_path() / ("gridmoor-bench-" + std::to_string(getpid()))).string();

    Context ctx;
    ctx.Files = BenchWorldGenerate(folder, options);
    std::printf("Benchmark world in %s: %s (built in %.1f s, %ju bytes)\n", folder.c_str(),
                CountsText(ctx.Files.Counts).c_str(), ctx.Files.BuildSeconds,
                static_cast<std::uintmax_t>(fs::file_size(ctx.Files.WorldFile)));

    auto add = [&ctx](const char* name, void (*fn)(benchmark::State&, const Context&)) {
        return benchmark::RegisterBenchmark(name, [fn, &ctx](benchmark::State& s) { fn(s, ctx); })
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    };
    add("frame", Frame);
    add("reference", Reference);
    add("open", Open);
    add("save", Save);
    add("export", Export);
    add("reload_all", ReloadAll);
    add("clear", Clear);
    add("check", Check);
    add("commit_move", CommitMove);
    add("commit_zone", CommitZone);
    add("undo_steps", UndoSteps)->Iterations(1);

    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintSummary();
    benchmark::Shutdown();
    if (temporary) fs::remove_all(folder);
    return 0;
}

} // namespace
} // namespace gm::bench

int main(int argc, char** argv) {
    try {
        return gm::bench::Main(argc, argv);
    } catch (const gm::ErrorQX& e) {
        std::fprintf(stderr, "gridmoor-bench: %s\n", e.Message().c_str());
        return 1;
    }
}
