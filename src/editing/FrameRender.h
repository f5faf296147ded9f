#pragma once
// One frame in two halves: the list updates (camera, horizon, every world list writing its scene
// objects) run in the tick; the drawing steps run where the platform lets us draw (inside the GL
// widget's paint), in the fixed order clear, begin, states, layer 0, layer 1, end, present.

#include <cstdint>

namespace gm {

class Camera;
class Device;
class Scene;
class WorldDoc;
struct ViewFlags;

// The tick's own work before the frame: the animation clock drives every visible unit's keys.
void FrameTick(WorldDoc& doc, uint64_t animClock);

void FrameUpdateLists(WorldDoc& doc, Scene& scene, Camera& camera, const ViewFlags& flags);

// Raises "TgmObj3D Dev.Clear", "TgmObj3D BeginScene", "TgmObj3D EndScene" or "TgmObj3D Present"
// when that step fails.
void FrameDraw(Device& device, Scene& scene);

} // namespace gm
