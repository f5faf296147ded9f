#pragma once
// World lines: straight segments between two fixed points in world space, each end coloured by
// the side of the horizon it lies on. The latitude and longitude grid over the sphere is made of
// them. All world lines are drawn through one shared scene object; they are not stored in the
// world file.

#include <cstdint>
#include <vector>

#include "foundation/QX_List.h"
#include "render/GR_DirectX3D8.h"
#include "render/VecTypes.h"

namespace gm {

class Camera;
class Scene;
class TgmObj3D;

class TgmWorldLine {
public:
    TgmWorldLine* Prev = nullptr;
    TgmWorldLine* Next = nullptr;
    TVec3 P1;
    TVec3 P2;
    TColor32 FrontColor = 0xFFFFFFFF; // an end in front of the horizon
    TColor32 BackColor = 0x80FFFFFF;  // an end behind it
    // The ends' vertices in the shared object; -1 until it is rebuilt.
    std::int32_t V1 = -1;
    std::int32_t V2 = -1;
};

// Limits of the grid's division count. The builder clamps into them, whatever the settings say:
// a count outside would never finish or would exhaust memory.
inline constexpr int WorldGridMinCount = 8;
inline constexpr int WorldGridMaxCount = 512;

struct TWorldSegment {
    TVec3 P1;
    TVec3 P2;
};

// The grid's segments on a sphere of the given radius with count divisions, without the lower
// clamp: the meridian segments (one longitude after another, polar angle increasing), then the
// parallels. A count outside 1..WorldGridMaxCount gives none.
std::vector<TWorldSegment> WorldGridSegments(float radius, int count);

// Every world line of a document, the shared scene object that draws them, and the grid list
// (which exists only while the grid is shown). The shared object lives in the Scene passed to
// WorldLineDrawAll; pass that same Scene to WorldLineClearAll.
class WorldLineStore {
public:
    WorldLineStore() = default;
    WorldLineStore(const WorldLineStore&) = delete;
    WorldLineStore& operator=(const WorldLineStore&) = delete;

    // A new line at the end of the list with the default colours and no vertices yet. The caller
    // sets P1, P2 and the colours.
    TgmWorldLine* WorldLineAdd();
    // Unlinks and destroys the line (also dropping it from the grid list).
    void WorldLineDelete(TgmWorldLine* line);
    // Deletes every line, the grid list with them, and releases the shared object.
    void WorldLineClearAll(Scene& scene);

    // Once per frame, after the camera's matrices and horizon are updated: writes the vertices of
    // every line into the shared object, rebuilding its index list when lines were added or
    // deleted. With no lines the shared object is released.
    void WorldLineDrawAll(Scene& scene, const Camera& camera);

    // Replaces the grid with one of count divisions (clamped to WorldGridMinCount..
    // WorldGridMaxCount) on a sphere of the given radius, its lines coloured front and back.
    void WorldGridBuild(float radius, int count, TColor32 front, TColor32 back);
    // Deletes the grid's lines; other world lines stay.
    void WorldGridFree();

    const ListQX<TgmWorldLine>& Lines() const noexcept { return Lines_; }
    bool GridExists() const noexcept { return GridExists_; }
    const std::vector<TgmWorldLine*>& Grid() const noexcept { return Grid_; }
    TgmObj3D* WorldLineObj() const noexcept { return Obj_; }
    bool WorldLineRebuild() const noexcept { return Rebuild_; }

private:
    void Rebuild();
    void Draw(TgmWorldLine& line, const Camera& camera);

    ListQX<TgmWorldLine> Lines_;
    std::vector<TgmWorldLine*> Grid_;
    bool GridExists_ = false;
    TgmObj3D* Obj_ = nullptr;
    bool Rebuild_ = false;
};

} // namespace gm
