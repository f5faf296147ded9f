#pragma once
// From a panel pixel to the world: the sphere point under it, the view ray through it, and the
// objects drawn there. Screen positions are those of the last frame's list update (relative to
// the panel centre), as the designer saw them; the camera's matrices are its last CameraUpdate.

#include <optional>
#include <variant>
#include <vector>

#include "render/VecTypes.h"
#include "world/UnitLoad.h"

namespace gm {

class Camera;
class WorldDoc;
class TPointGM;
class TTriangleGM;
class TLineGM;
class TgmWorldUnit;
class TgmZone;
class TgmZoneLink;
struct ViewFlags;

// The sphere point under the pixel; Found is false when the view ray misses the sphere.
TSpherePick PanelPick(const Camera& camera, float worldRadius, int x, int y);

struct PanelRayResult {
    TVec3 Origin;    // the eye
    TVec3 Direction; // unit length
};
PanelRayResult PanelRay(const Camera& camera, int x, int y);

// Points without a master on the camera's side, closer than 5 pixels; the nearest, the earlier
// on a tie. The View menu's Point item does not matter.
TPointGM* PickPoint(const WorldDoc& doc, const Camera& camera, int x, int y);
// Only while zones are shown: zone centres closer than 5 pixels; nearest, earlier on a tie.
TgmZone* PickZone(const WorldDoc& doc, const Camera& camera, const ViewFlags& flags, int x, int y);
// Only while zones are shown: the first link (both ends in front) within 3 pixels of its segment.
TgmZoneLink* PickZoneLink(const WorldDoc& doc, const Camera& camera, const ViewFlags& flags, int x,
                          int y);
// The first triangle in list order that the view ray hits in front of the eye, from either side,
// with all three corners in front.
TTriangleGM* PickTriangle(const WorldDoc& doc, const Camera& camera, int x, int y);
// The first line (both ends in front) closer than 3 pixels to its segment.
TLineGM* PickLine(const WorldDoc& doc, const Camera& camera, int x, int y);
// The owner of the picked triangle, else the owner of the picked line.
TgmWorldUnit* PickUnit(const WorldDoc& doc, const Camera& camera, int x, int y);

using PickItem = std::variant<TgmZone*, TgmZoneLink*, TgmWorldUnit*, TPointGM*>;
// Everything under the pixel in the order zone, zone link, unit, point (each at most once).
std::vector<PickItem> PickAll(const WorldDoc& doc, const Camera& camera, const ViewFlags& flags,
                              int x, int y);

} // namespace gm
