#include "editing/ProblemSelect.h"

#include "editing/UndoStack.h"
#include "foundation/QX_Error.h"
#include "render/Camera.h"
#include "render/VOper.h"
#include "world/WorldDoc.h"

namespace gm {

namespace {

// The problem list may be older than the world: an object is used only if its list still holds
// it (or, named by position, if the list is that long).
template <class List> auto Find(const List& list, const CheckObject& object) {
    int32_t at = 0;
    for (auto* item : list) {
        if (object.Object ? item == object.Object : at == object.Index) return item;
        ++at;
    }
    return static_cast<decltype(*list.begin())>(nullptr);
}

void SelectNothing(WorldDoc& doc) {
    doc.Units.SetCurrentUnit(nullptr);
    for (TPointGM* p : doc.Points.List())
        if (p->Current) doc.Points.SetCurrent(p, false);
    doc.Zones.SetZoneCurrent(nullptr);
    doc.Zones.SetZoneLinkCurrent(nullptr);
}

void Face(Camera& camera, const TVec3& pos, float worldRadius) {
    float lon = 0, polar = 0;
    VecToSphere(pos, lon, polar);
    camera.CamLongitude = lon;
    camera.CamPolar = polar;
    camera.CameraUpdate(worldRadius);
}

} // namespace

std::vector<CheckProblem> WorldCheckSnapshot(const WorldSnapshot& snapshot,
                                             const CheckOptions& options) {
    std::vector<CheckProblem> problems;
    try {
        WorldDoc doc;
        WorldSnapshotRead(snapshot, doc);
        problems = WorldCheck(doc, options);
    } catch (const ErrorQX& e) {
        return {{CheckSeverity::Error,
                 "check-failed",
                 "The world could not be checked: " + e.Message(),
                 {}}};
    }
    for (CheckProblem& p : problems)
        for (CheckObject& o : p.Objects)
            o.Object = nullptr;
    return problems;
}

bool ProblemObjectSelect(WorldDoc& doc, Camera& camera, const CheckObject& object) {
    TgmWorldUnit* unit = nullptr;
    switch (object.Kind) {
    case CheckObjectKind::Unit:
        unit = Find(doc.Units.List(), object);
        break;
    case CheckObjectKind::Line:
        if (TLineGM* line = Find(doc.Lines.List(), object)) unit = line->Unit;
        break;
    case CheckObjectKind::Triangle:
        if (TTriangleGM* tri = Find(doc.Triangles.List(), object)) unit = tri->Unit;
        break;
    case CheckObjectKind::Point: {
        TPointGM* p = Find(doc.Points.List(), object);
        if (!p) return false;
        SelectNothing(doc);
        // A member cannot be selected; its group's master stands for it.
        doc.Points.SetCurrent(p->Master ? p->Master : p, true);
        Face(camera, p->Pos, doc.WorldRadius);
        return true;
    }
    case CheckObjectKind::Zone: {
        TgmZone* z = Find(doc.Zones.Zones(), object);
        if (!z) return false;
        SelectNothing(doc);
        doc.Zones.SetZoneCurrent(z);
        Face(camera, z->Centre, doc.WorldRadius);
        return true;
    }
    case CheckObjectKind::ZoneLink: {
        TgmZoneLink* link = Find(doc.Zones.Links(), object);
        if (!link || !link->ZoneA) return false;
        SelectNothing(doc);
        doc.Zones.SetZoneLinkCurrent(link);
        Face(camera, link->ZoneA->Centre, doc.WorldRadius);
        return true;
    }
    }
    if (!unit) return false;
    SelectNothing(doc);
    doc.Units.SetCurrentUnit(unit);
    Face(camera, doc.Units.CalcCentre(unit), doc.WorldRadius);
    return true;
}

} // namespace gm
