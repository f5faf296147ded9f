#include "zones/GMOpt.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <unordered_map>

#include "foundation/PathResolver.h"
#include "foundation/QX_Error.h"
#include "foundation/QX_File.h"
#include "render/Camera.h"
#include "render/VOper.h"
#include "world/WorldDoc.h"

namespace gm {

namespace {

TPointGM* MasterOf(TPointGM* p) {
    return p->Master ? p->Master : p;
}

// Point numbers belong to the export only: description loading relies on every point having
// none, so they go back to -1 on every way out, also after an error.
class EndNumbersGuard {
public:
    explicit EndNumbersGuard(WorldDoc& doc) : Doc_(doc) {}
    ~EndNumbersGuard() {
        Doc_.Points.PointNumbersReset();
        Doc_.Units.UnitsNumber();
    }
    EndNumbersGuard(const EndNumbersGuard&) = delete;
    EndNumbersGuard& operator=(const EndNumbersGuard&) = delete;

private:
    WorldDoc& Doc_;
};

// Everything the end file cannot express, found before anything is sampled or written.
void CheckWorld(const WorldDoc& doc) {
    doc.Lines.LinesCheckEnds();
    doc.Triangles.TrianglesCheckCorners();
    EndKeysForEach(doc, [](const TKeyGM& key, const TgmWorldUnit* unit) {
        const std::string problem = EndKeySizeProblem(key, unit);
        if (!problem.empty()) RaiseQX(problem);
    });
}

void CheckCount(int64_t count, const char* what) {
    const std::string problem = OptCountProblem(count, what);
    if (!problem.empty()) RaiseQX(problem);
}

void AddBytes(TBufQX& buf, const uint8_t* data, int32_t len) {
    if (len <= 0) return;
    const int32_t at = buf.Len;
    if (static_cast<int64_t>(at) + len > 0x7FFFFFFF)
        RaiseQX("The end file would exceed 2147483647 bytes");
    buf.LenSet(at + len);
    std::memcpy(buf.Data + at, data, static_cast<std::size_t>(len));
    buf.Pointer = buf.Len;
}

} // namespace

std::string EndKeySizeProblem(const TKeyGM& key, const TgmWorldUnit* unit) {
    const int64_t size = key.KeyBlobSize();
    if (size <= EndKeyPoolLimit) return {};
    return "The colour animation of unit " + UnitDescForMessage(unit) + " needs " +
           std::to_string(size) + " bytes of samples, more than the end file's limit of " +
           std::to_string(EndKeyPoolLimit) + "; shorten its time length";
}

std::string OptCountProblem(int64_t count, const char* what) {
    if (count <= OptMaxCount) return {};
    return "The visibility file can number at most " + std::to_string(OptMaxCount) + " " + what +
           "; this world has " + std::to_string(count);
}

void EndKeysForEach(const WorldDoc& doc,
                    const std::function<void(TKeyGM& key, const TgmWorldUnit* unit)>& fn) {
    for (const TLineGM* line : doc.Lines.List()) {
        if (line->Visible == 0) continue;
        fn(*line->KeyStart, line->Unit);
        fn(*line->KeyEnd, line->Unit);
    }
    for (const TTriangleGM* tri : doc.Triangles.List())
        for (const TTriangleCorner& c : tri->Corner)
            fn(*c.Key, tri->Unit);
}

void OptClear(OptState& opt) {
    opt.OptGroups.clear();
    opt.OptGroups.shrink_to_fit();
    opt.OptUnits.clear();
    opt.OptUnits.shrink_to_fit();
    opt.Size = 0;
    opt.Built = false;
}

int64_t OptBuild(WorldDoc& doc, Camera& camera, OptState& opt, const OptProgress& progress) {
    const float radius = doc.WorldRadius;
    for (TgmWorldUnit* u : doc.Units.List())
        doc.Units.CalcBB(u);
    camera.Reset(radius);
    camera.HorizonUpdate(radius);

    OptClear(opt);
    opt.OptUnits.resize(static_cast<std::size_t>(OptLonCount) * OptPolarCount);
    int64_t size = int64_t{OptLonCount} * OptPolarCount * 8;

    for (TgmWorldUnit* u : doc.Units.List()) {
        if (u->BBState != 1) continue;
        TgmOptGroup& g = opt.OptGroups.emplace_back();
        g.Unit = u;
        g.Triangles = doc.Triangles.TrianglesOfUnit(u);
        for (std::size_t k = 0; k < 4; ++k)
            g.Corners[k] = u->BBCorner[k].Pos;
        for (TPointGM* p : doc.Points.PointsOfUnit(u))
            g.Points.push_back(MasterOf(p));
        size += 4 * static_cast<int64_t>(g.Triangles.size()) + 48;
    }

    std::vector<const TgmZone*> excluded;
    for (const TgmZone* z : doc.Zones.Zones())
        if (z->ZoneType == ZoneTypeExclude) excluded.push_back(z);

    // Each group's points as the directions list them (the master of each), numbered densely, so
    // that "seen from this direction already" is a stamp in an array rather than a set.
    std::vector<std::vector<uint32_t>> groupSlots(opt.OptGroups.size());
    std::vector<TPointGM*> slotPoint;
    {
        std::unordered_map<const TPointGM*, uint32_t> slotOf;
        for (std::size_t m = 0; m < opt.OptGroups.size(); ++m) {
            for (TPointGM* p : opt.OptGroups[m].Points) {
                TPointGM* master = MasterOf(p);
                const auto [it, fresh] =
                    slotOf.try_emplace(master, static_cast<uint32_t>(slotPoint.size()));
                if (fresh) slotPoint.push_back(master);
                groupSlots[m].push_back(it->second);
            }
        }
    }
    std::vector<uint32_t> seenIn(slotPoint.size(), 0); // 1 + the direction that saw it last
    uint32_t direction = 0;
    constexpr int total = OptLonCount * OptPolarCount;
    for (int i = 0; i < OptLonCount; ++i) {
        for (int j = 0; j < OptPolarCount; ++j) {
            if (progress && !progress(i * OptPolarCount + j, total)) {
                OptClear(opt);
                return OptCancelled;
            }
            const float lon = static_cast<float>(i * OptStep);
            const float polar = static_cast<float>(j * OptStep);
            bool inside = false;
            for (const TgmZone* z : excluded) {
                float bearing = 0, dist = 0;
                SphereBearing(bearing, dist, z->Longitude, z->Polar, 0, lon, polar, radius);
                if (dist < z->RadiusLen) {
                    inside = true;
                    break;
                }
            }
            if (inside) continue;

            camera.CamLongitude = lon;
            camera.CamPolar = polar;
            camera.CamRoll = 0;
            camera.CameraUpdate(radius);
            TgmOptUnit& entry = opt.OptUnits[static_cast<std::size_t>(i * OptPolarCount + j)];
            ++direction;
            for (std::size_t m = 0; m < opt.OptGroups.size(); ++m) {
                const TgmOptGroup& g = opt.OptGroups[m];
                bool front = true;
                for (const TVec3& c : g.Corners)
                    front = front && camera.IsFrontDepth(camera.ProjectRelative(c).z);
                if (!front) continue;
                entry.Groups.push_back(static_cast<int32_t>(m));
                for (const uint32_t slot : groupSlots[m]) {
                    if (seenIn[slot] == direction) continue;
                    seenIn[slot] = direction;
                    entry.Points.push_back(slotPoint[slot]);
                }
            }
            size += 4 * static_cast<int64_t>(entry.Groups.size()) +
                    4 * static_cast<int64_t>(entry.Points.size());
        }
    }
    opt.Size = size;
    opt.Built = true;
    return size;
}

void OptWrite(const OptState& opt, TBufQX& buf) {
    // The format keeps the low 16 bits; EndExport refuses worlds that need more.
    const auto word = [&buf](int64_t v) { buf.AddWord(static_cast<uint16_t>(v & 0xFFFF)); };
    buf.AddDWord(OptLonCount);
    buf.AddDWord(OptPolarCount);
    buf.AddDWord(static_cast<uint32_t>(opt.OptGroups.size()));
    for (const TgmOptGroup& g : opt.OptGroups) {
        word(static_cast<int64_t>(g.Triangles.size()));
        for (const TTriangleGM* t : g.Triangles)
            word(t->Number);
        for (const TVec3& c : g.Corners) {
            buf.AddSingle(c.x);
            buf.AddSingle(c.y);
            buf.AddSingle(c.z);
        }
    }
    for (const TgmOptUnit& u : opt.OptUnits) {
        word(static_cast<int64_t>(u.Points.size()));
        for (const TPointGM* p : u.Points)
            word(p->Number);
        word(static_cast<int64_t>(u.Groups.size()));
        for (int32_t m : u.Groups)
            word(m);
    }
}

int64_t EndExport(WorldDoc& doc, Camera& camera, OptState& opt, const std::string& mapFile,
                  const std::string& optFile, const OptProgress& progress) {
    const EndNumbersGuard numbers(doc);
    // A folder in a file's place would fail only at the final renames, after the end file was
    // replaced already: refuse it first.
    for (const std::string* file : {&mapFile, &optFile}) {
        std::error_code ec;
        if (std::filesystem::is_directory(*file, ec))
            RaiseQX("TFileQX.CreateNew. FileName=" + *file);
    }
    CheckWorld(doc);
    if (!opt.Built && OptBuild(doc, camera, opt, progress) == OptCancelled) return OptCancelled;
    CheckCount(doc.Triangles.TriangleCount(), "triangles");
    CheckCount(doc.Points.PointMasterCount(), "points");
    CheckCount(static_cast<int64_t>(opt.OptGroups.size()), "units with a bounding box");

    // Big worlds make big buffers: grow them in large steps.
    KeyPool pool;
    pool.Limit = EndKeyPoolLimit;
    pool.Buf.Grow = OptBufGrow;
    TBufQX body;
    body.Grow = OptBufGrow;
    TBufQX scratch;
    doc.Units.UnitsNumber();
    doc.Points.PointsWriteEnd(body);
    doc.Lines.LinesWriteEnd(body, scratch, pool);
    doc.Zones.ZonesWriteEnd(body);
    doc.Triangles.TrianglesWriteEnd(body, scratch, pool);

    TBufQX vis;
    vis.Grow = OptBufGrow;
    OptWrite(opt, vis);
    // Seven bytes or fewer go raw, and so does data that does not get smaller.
    vis.Compress();

    TBufQX map;
    map.Grow =
        static_cast<int32_t>(std::min<int64_t>(int64_t{16} + pool.Buf.Len + body.Len, 0x7FFFFFFF));
    for (char c : {'g', 'm', 'w', 'm'})
        map.AddByte(static_cast<uint8_t>(c));
    map.AddDWord(1);
    map.AddSingle(doc.WorldRadius);
    map.AddDWord(static_cast<uint32_t>(pool.Buf.Len));
    AddBytes(map, pool.Buf.Data, pool.Buf.Len);
    AddBytes(map, body.Data, body.Len);

    // The two files belong together: neither is replaced unless both are written.
    SaveFilesAtomicQX({{mapFile, map.Data, map.Len}, {optFile, vis.Data, vis.Len}});
    return opt.Size;
}

std::string EndDataFile(std::string_view gameFolder, std::string_view name) {
    return ResolvePathQX(gameFolder, "\\DATA\\" + std::string(name));
}

} // namespace gm
