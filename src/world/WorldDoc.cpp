#include "world/WorldDoc.h"

#include <algorithm>
#include <cmath>

#include "foundation/Codec.h"
#include "foundation/QX_Error.h"
#include "foundation/QX_Str.h"

namespace gm {

namespace {

uint32_t UnitNumberOf(const TgmWorldUnit* u) {
    return static_cast<uint32_t>(u->Number);
}

} // namespace

void WorldDoc::WorldWrite(TBufQX& buf) {
    TBufQX* const bufs[SectionCount] = {&buf, &buf, &buf, &buf, &buf, &buf, &buf};
    SectionsWrite((1u << SectionCount) - 1, bufs);
}

void WorldDoc::SectionsWrite(uint32_t mask, TBufQX* const (&bufs)[SectionCount]) {
    // Later parts refer to units, key group lists and points by the numbers that writing the
    // earlier parts gives them; a part written alone numbers what it refers to (and only that:
    // an undo step of a zone edit should not walk every point).
    auto want = [mask](Section s) { return (mask >> s & 1u) != 0; };
    const bool geometry = want(PointSection) || want(TriangleSection) || want(LineSection);
    // Writing a part numbers its own kind.
    if (!want(UnitSection) && (geometry || want(KeyGroupSection))) Units.UnitsNumber();
    if (!want(KeyGroupSection) && (want(TriangleSection) || want(LineSection)))
        Keys.KeyGroupListsNumber();
    if (!want(PointSection) && geometry) Points.PointsNumber();
    if (want(Head)) {
        bufs[Head]->AddInt(WorldMagic);
        bufs[Head]->AddInt(WorldVersion);
        bufs[Head]->AddSingle(WorldRadius);
    }
    if (want(UnitSection)) UnitsWrite(*bufs[UnitSection]);
    if (want(KeyGroupSection)) KeyGroupsWrite(*bufs[KeyGroupSection]);
    if (want(PointSection)) PointsWrite(*bufs[PointSection]);
    if (want(TriangleSection)) TrianglesWrite(*bufs[TriangleSection]);
    if (want(LineSection)) LinesWrite(*bufs[LineSection]);
    if (want(ZoneSection)) ZonesWrite(*bufs[ZoneSection]);
    // Description loading relies on existing points having no number.
    if (geometry) Points.PointNumbersReset();
}

void WorldDoc::WorldRead(TBufQX& buf) {
    if (buf.GetInt() != WorldMagic) RaiseQX("Incorrect format");
    LoadVersion = buf.GetInt();
    if (LoadVersion > WorldVersion) RaiseQX("Incorrect version");
    const float radius = buf.GetSingle();
    // A damaged radius would poison every position computed from it.
    if (!std::isfinite(radius) || radius <= 0.0f) RaiseQX("Incorrect format");
    WorldRadius = radius;
    UnitsRead(buf);
    KeyGroupsRead(buf);
    PointsRead(buf);
    TrianglesRead(buf);
    LinesRead(buf);
    ZonesRead(buf);
    Points.PointTableClear();
    Points.PointNumbersReset();
    Units.UnitCentreAll();
}

std::string WorldDoc::WorldOpen(const std::u16string& fileName) {
    WorldClear();
    WorldFileName = fileName;
    try {
        TBufQX buf;
        buf.LoadFromFile(WideToAnsiQX(fileName));
        WorldRead(buf);
        return {};
    } catch (const ErrorQX& e) {
        WorldFileName.clear();
        WorldClear();
        return "Error : " + e.Message();
    }
}

void WorldDoc::WorldSave() {
    TBufQX buf;
    // A large world's file runs to tens of megabytes: grow the buffer in large steps, not by a
    // few hundred bytes at a time.
    buf.Grow = 4 << 20;
    WorldWrite(buf);
    buf.SaveToFile(WideToAnsiQX(WorldFileName));
}

void WorldDoc::WorldSaveAs(const std::u16string& fileName) {
    WorldFileName = fileName;
    WorldSave();
}

void WorldDoc::SetScene(Scene* scene) noexcept {
    Scene_ = scene;
    Points.SetScene(scene);
    Triangles.SetScene(scene);
    Lines.SetScene(scene);
    Units.SetScene(scene);
    Zones.SetScene(scene);
}

void WorldDoc::WorldClear() {
    // Dependency order: zones and links, lines, triangles, points, units (with their key group
    // lists), then the grid and other world lines.
    Zones.ClearAll();
    Lines.LineClearAll();
    Triangles.TriangleClearAll();
    Points.PointClearAll();
    Units.UnitClearAll();
    WorldLines.WorldGridFree();
    if (Scene_) {
        WorldLines.WorldLineClearAll(*Scene_);
    } else {
        while (TgmWorldLine* line = WorldLines.Lines().First())
            WorldLines.WorldLineDelete(line);
    }
    LoadVersion = 0;
}

float WorldDoc::WorldRadiusSet(const std::u16string& text) {
    const float next = std::max(MinRadius, static_cast<float>(StrToUIntQX(text)));
    const float delta = next - WorldRadius;
    WorldRadius = next;
    // Every point keeps its height above or below the surface; groups move alike.
    for (TPointGM* p : Points.List()) {
        p->Radius += delta;
        p->CalcPos();
    }
    // Zones keep their angular radius; the arc length grows with the sphere.
    Zones.ZoneUpdateAll();
    Units.UnitCentreAll();
    return delta;
}

// --- Section slots, in file order. Each kind's module fills its pair. ---

TgmWorldUnit* WorldDoc::UnitOf(uint32_t n) {
    return n <= 0x7FFFFFFF ? Units.UnitByNumber(static_cast<int32_t>(n)) : nullptr;
}

void WorldDoc::UnitsWrite(TBufQX& buf) {
    Units.UnitsWrite(buf);
}
void WorldDoc::KeyGroupsWrite(TBufQX& buf) {
    Units.KeyGroupsWrite(buf);
}
void WorldDoc::PointsWrite(TBufQX& buf) {
    Points.PointsWrite(buf, UnitNumberOf);
}
void WorldDoc::TrianglesWrite(TBufQX& buf) {
    Triangles.TrianglesWrite(buf, UnitNumberOf);
}
void WorldDoc::LinesWrite(TBufQX& buf) {
    Lines.LinesWrite(buf, UnitNumberOf);
}
void WorldDoc::ZonesWrite(TBufQX& buf) {
    Zones.ZonesWrite(buf);
}

void WorldDoc::UnitsRead(TBufQX& buf) {
    Units.UnitsRead(buf, LoadVersion);
}
void WorldDoc::KeyGroupsRead(TBufQX& buf) {
    Units.KeyGroupsRead(buf);
}
void WorldDoc::PointsRead(TBufQX& buf) {
    Points.PointsRead(buf, [this](uint32_t n) { return UnitOf(n); });
}
void WorldDoc::TrianglesRead(TBufQX& buf) {
    Triangles.TrianglesRead(buf, Points, [this](uint32_t n) { return UnitOf(n); });
}
void WorldDoc::LinesRead(TBufQX& buf) {
    Lines.LinesRead(buf, Points, [this](uint32_t n) { return UnitOf(n); });
}
void WorldDoc::ZonesRead(TBufQX& buf) {
    Zones.ZonesRead(buf, LoadVersion);
}

} // namespace gm
