#pragma once
// Where the camera goes to show one object: it turns until the object lies at the panel's centre
// and comes as close as the object's size allows. Also the camera's start view.

#include "render/VecTypes.h"

namespace gm {

class Camera;
class TgmWorldUnit;
class TgmZone;
class WorldDoc;

// The camera angles of a new window.
inline constexpr float StartLongitude = 45;
inline constexpr float StartPolar = 45;

// Angles and distance back to their start values (the distance as the Home key sets it).
void CameraResetView(Camera& camera, float worldRadius);

// Turns the camera towards centre (a point of or above the sphere) and puts the eye high enough
// above the surface for a circle of extent world units around it to fill most of the panel's
// shorter side. A zero centre leaves the camera as it is; false then.
bool CameraFrameAt(Camera& camera, float worldRadius, const TVec3& centre, float extent);
// The same for a unit (its points) or a zone (its circle).
bool CameraFrameUnit(Camera& camera, const WorldDoc& doc, const TgmWorldUnit& unit);
bool CameraFrameZone(Camera& camera, const WorldDoc& doc, const TgmZone& zone);
// The current unit, else the current zone, else the current zone link's two zones; false when
// nothing is current.
bool CameraFrameCurrent(Camera& camera, const WorldDoc& doc);

} // namespace gm
