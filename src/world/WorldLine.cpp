#include "world/WorldLine.h"

#include <algorithm>
#include <memory>

#include "render/Camera.h"
#include "render/Scene.h"
#include "render/VOper.h"
#include "render/gm_Obj3D.h"

namespace gm {

std::vector<TWorldSegment> WorldGridSegments(float radius, int count) {
    std::vector<TWorldSegment> out;
    // Below 1 the steps are infinite or negative and the loops below would never end; above the
    // maximum the grid is too fine to see and too large to hold.
    if (count < 1 || count > WorldGridMaxCount) return out;
    const double r = radius;
    // Steps and loop variables are floats accumulated by addition, so the limits carry 0.001 of
    // slack; the grid's exact extent has always come from this.
    const float lonStep = static_cast<float>(TwoPiFull / count);
    const float latStep = static_cast<float>(PiFull / count);

    const double meridianEnd = PiFull - 2.0 * latStep - 0.001;
    for (float lon = 0; lon < 6.282185307179587; lon += lonStep)
        for (float polar = 2 * latStep; polar < meridianEnd; polar += latStep)
            out.push_back({SphereToVec(lon, polar, r), SphereToVec(lon, polar + latStep, r)});

    const float step2 = 2 * latStep;
    const double parallelEnd = PiFull - step2 + 0.001;
    for (float polar = step2; polar < parallelEnd; polar += step2)
        for (float lon = 0; lon < TwoPiFull - 0.001; lon += lonStep)
            out.push_back({SphereToVec(lon, polar, r), SphereToVec(lon + lonStep, polar, r)});
    return out;
}

TgmWorldLine* WorldLineStore::WorldLineAdd() {
    Rebuild_ = true;
    return Lines_.Append(std::make_unique<TgmWorldLine>());
}

void WorldLineStore::WorldLineDelete(TgmWorldLine* line) {
    if (!line) return;
    if (GridExists_) {
        // Only reached for a grid line deleted on its own; WorldGridFree does not come here.
        const auto at = std::find(Grid_.begin(), Grid_.end(), line);
        if (at != Grid_.end()) Grid_.erase(at);
    }
    Lines_.Erase(line);
    // The survivors' indices would otherwise keep pointing at a vertex block that still holds the
    // deleted line, which would go on being drawn where it was last seen.
    Rebuild_ = true;
}

void WorldLineStore::WorldLineClearAll(Scene& scene) {
    WorldGridFree();
    Lines_.Clear();
    scene.Obj3DFree(Obj_);
    Obj_ = nullptr;
}

void WorldLineStore::WorldGridBuild(float radius, int count, TColor32 front, TColor32 back) {
    WorldGridFree();
    GridExists_ = true;
    const std::vector<TWorldSegment> segments =
        WorldGridSegments(radius, std::clamp(count, WorldGridMinCount, WorldGridMaxCount));
    Grid_.reserve(segments.size());
    for (const TWorldSegment& s : segments) {
        TgmWorldLine* line = WorldLineAdd();
        line->P1 = s.P1;
        line->P2 = s.P2;
        line->FrontColor = front;
        line->BackColor = back;
        Grid_.push_back(line);
    }
}

void WorldLineStore::WorldGridFree() {
    if (!GridExists_) return;
    for (TgmWorldLine* line : Grid_)
        Lines_.Erase(line);
    if (!Grid_.empty()) Rebuild_ = true;
    Grid_.clear();
    Grid_.shrink_to_fit();
    GridExists_ = false;
}

void WorldLineStore::WorldLineDrawAll(Scene& scene, const Camera& camera) {
    if (Lines_.Empty()) {
        scene.Obj3DFree(Obj_);
        Obj_ = nullptr;
        return;
    }
    if (!Obj_) {
        Obj_ = scene.Obj3DNew();
        Rebuild_ = true;
    }
    if (Rebuild_) Rebuild();
    for (TgmWorldLine* line : Lines_)
        Draw(*line, camera);
}

// One line-list node over all lines: the whole grid is a single draw call, and only the vertices
// change from frame to frame.
void WorldLineStore::Rebuild() {
    Obj_->ClearPrims();
    Obj_->ClearVertices();
    std::int32_t k = 0;
    for (TgmWorldLine* line : Lines_) {
        line->V1 = 2 * k;
        line->V2 = 2 * k + 1;
        ++k;
    }
    TPrimNode* node = Obj_->AddPrim();
    node->PrimType = PrimitiveType::LineList;
    node->PrimCount = k;
    node->Indices.resize(std::size_t(2 * k));
    for (std::uint32_t i = 0; i < node->Indices.size(); ++i)
        node->Indices[i] = i;
    Obj_->SetVertexCount(2 * k);
    Rebuild_ = false;
}

// Each end takes its own colour, so a segment that crosses the horizon fades from one to the other.
void WorldLineStore::Draw(TgmWorldLine& line, const Camera& camera) {
    if (line.V1 < 0 || line.V2 < 0) return;
    if (line.V1 >= Obj_->VertexCount() || line.V2 >= Obj_->VertexCount()) return;
    const TVec3 q1 = camera.ProjectToScreen(line.P1);
    const TVec3 q2 = camera.ProjectToScreen(line.P2);
    *Obj_->Vertex(line.V1) = MakeVertex(
        camera.IsFrontDepth(q1.z) ? line.FrontColor : line.BackColor, q1.x, q1.y, q1.z, 0, 0);
    *Obj_->Vertex(line.V2) = MakeVertex(
        camera.IsFrontDepth(q2.z) ? line.FrontColor : line.BackColor, q2.x, q2.y, q2.z, 1, 1);
}

} // namespace gm
