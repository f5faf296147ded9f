#pragma once
// Going from a problem of the world checker to the world: the object it names becomes the only
// selection and the camera turns to face it.

#include "zones/WorldCheck.h"

#include <vector>

namespace gm {

class Camera;
class WorldDoc;
struct WorldSnapshot;

// Checks the world a snapshot holds, on any thread. The objects of the problems are named by
// their positions only (the snapshot's objects are gone when it returns); a snapshot that cannot
// be read gives one error that says why.
std::vector<CheckProblem> WorldCheckSnapshot(const WorldSnapshot& snapshot,
                                             const CheckOptions& options);

// Selects the object (a line or triangle selects its unit) and centres the camera on it; an
// object without its pointer is found by its position in its list. False, with nothing changed,
// when the object is no longer in the world (it changed since the check).
bool ProblemObjectSelect(WorldDoc& doc, Camera& camera, const CheckObject& object);

} // namespace gm
