#pragma once
// The end-file export: the game's end file (points, lines, zones and triangles in numbered form
// with pre-sampled colour keys) and its visibility file (which units and points can be seen from
// each of 72 x 37 view directions round the sphere).

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/QX_Buf.h"
#include "render/VecTypes.h"

namespace gm {

class Camera;
class TKeyGM;
class TPointGM;
class TTriangleGM;
class TgmWorldUnit;
class WorldDoc;

inline constexpr int OptStep = 5;                       // degrees between view directions
inline constexpr int OptLonCount = 360 / OptStep;       // 72: longitude 360 is longitude 0
inline constexpr int OptPolarCount = 180 / OptStep + 1; // 37: both poles included
// The visibility file numbers triangles, points and groups in 16 bits.
inline constexpr int64_t OptMaxCount = 65535;
// The end file's key pool stays below this; longer animations fail the export. The pool's
// length is 32-bit in the file; a quarter of that range (1 GiB) leaves room for the rest of the
// file and the export's copies in memory, and holds hundreds of units with long, separately
// offset animations.
inline constexpr int64_t EndKeyPoolLimit = int64_t{1} << 30;
inline constexpr int32_t OptBufGrow = 512 * 1024;

// One unit with a bounding box.
struct TgmOptGroup {
    std::vector<TPointGM*> Points; // the unit's points as masters, in point list order
    std::vector<TTriangleGM*> Triangles;
    std::array<TVec3, 4> Corners;
    TgmWorldUnit* Unit = nullptr;
};

// One view direction.
struct TgmOptUnit {
    std::vector<TPointGM*> Points; // seen from here, once each, in order of discovery
    std::vector<int32_t> Groups;   // indices into OptGroups, ascending
};

// The optimisation of one showing of the Save End dialog: built by its first export, reused by
// the later ones, discarded (OptClear) when the dialog is hidden. It refers to the world's
// objects, so the world must not change while it is kept.
struct OptState {
    bool Built = false;
    std::vector<TgmOptGroup> OptGroups;
    std::vector<TgmOptUnit> OptUnits; // direction (lon i, polar j) at i * OptPolarCount + j
    int64_t Size = 0;                 // the "Opt size:" figure
};

void OptClear(OptState& opt);

// Told before each view direction how many of total are done; answering false stops the build.
using OptProgress = std::function<bool(int done, int total)>;
inline constexpr int64_t OptCancelled = -1;

// The panel size the visibility pass projects for, whatever the editor's panel measures: the
// exported data must not depend on the window.
inline constexpr int OptPanelWidth = 800;
inline constexpr int OptPanelHeight = 600;

// "BB calc" of every unit, then the visibility of every unit with a box from every direction,
// skipping directions inside "Exclude" zones, projected for an OptPanelWidth x OptPanelHeight
// panel. Leaves the camera at the last direction, at the distance of the Home key, with its own
// panel size. Returns the size figure (21312 for an empty world), or OptCancelled
// (opt left cleared) when progress stopped it.
int64_t OptBuild(WorldDoc& doc, Camera& camera, OptState& opt, const OptProgress& progress = {});

// Why the end file cannot take this key's samples, or empty when it can.
std::string EndKeySizeProblem(const TKeyGM& key, const TgmWorldUnit* unit);
// Why the visibility file cannot number count objects of this kind, or empty when it can.
std::string OptCountProblem(int64_t count, const char* what);
// Every colour key the end file samples, in the order the export adds them to the key pool:
// both keys of each visible line, then the three corners of each triangle.
void EndKeysForEach(const WorldDoc& doc,
                    const std::function<void(TKeyGM& key, const TgmWorldUnit* unit)>& fn);

// The raw visibility data; point and triangle numbers are those of the export running.
void OptWrite(const OptState& opt, TBufQX& buf);

// The whole export into mapFile (the end file) and optFile (the visibility file), real paths.
// Builds opt when it is not built yet and returns its size figure. Targets that cannot be
// replaced, and the world's own file (doc.WorldFileName) as a target, are refused before anything
// else. Everything is assembled in memory first, and the two files are replaced together
// (SaveFilesAtomicQX): after a failure, a crash or an overlapping export they are both old or
// both new. Failures raise ErrorQX, with what to do where that is plain. Point numbers are reset
// whichever way the export ends. A build stopped by progress writes nothing and returns
// OptCancelled.
int64_t EndExport(WorldDoc& doc, Camera& camera, OptState& opt, const std::string& mapFile,
                  const std::string& optFile, const OptProgress& progress = {});

// A file of the game's data folder: gameFolder + "\DATA\" + name, through the path resolver.
std::string EndDataFile(std::string_view gameFolder, std::string_view name);

} // namespace gm
