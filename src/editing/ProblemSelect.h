#pragma once
// Going from a problem of the world checker to the world: the object it names becomes the only
// selection and the camera turns to face it.

#include "zones/WorldCheck.h"

namespace gm {

class Camera;
class WorldDoc;

// Selects the object (a line or triangle selects its unit) and centres the camera on it. False,
// with nothing changed, when the object is no longer in the world (it changed since the check).
bool ProblemObjectSelect(WorldDoc& doc, Camera& camera, const CheckObject& object);

} // namespace gm
