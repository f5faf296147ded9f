#include "editing/FrameRender.h"

#include "foundation/QX_Error.h"
#include "render/Camera.h"
#include "render/Device.h"
#include "render/Scene.h"
#include "world/ViewFlags.h"
#include "world/WorldDoc.h"
#include "world/WorldUnit.h"

namespace gm {

void FrameTick(WorldDoc& doc, uint64_t animClock) {
    // Keys see a 32-bit clock; it wraps only after 24 days of uninterrupted animation.
    doc.Keys.KeyUpdateAll(static_cast<int32_t>(static_cast<uint32_t>(animClock)));
}

void FrameUpdateLists(WorldDoc& doc, Scene& scene, Camera& camera, const ViewFlags& flags) {
    camera.CameraUpdate(doc.WorldRadius);
    camera.HorizonUpdate(doc.WorldRadius);
    // Lists in drawing-update order: unit visibility, zones, zone links, points, triangles,
    // lines, world lines, the current unit's outline.
    doc.Units.UnitVisibleAll(camera);
    doc.Zones.ZoneDrawAll(camera, flags);
    doc.Zones.ZoneLinkDrawAll(camera, flags);
    doc.Points.PointUpdateAll(camera, flags);
    doc.Triangles.TriangleDrawAll(camera);
    doc.Lines.LineDrawAll(camera, flags);
    doc.WorldLines.WorldLineDrawAll(scene, camera);
    doc.Units.UnitDrawCurrent(camera);
}

void FrameDraw(Device& device, Scene& scene) {
    if (!device.Clear(ClearTarget | ClearZBuffer, 0xFF000000u, 1.0f, 0))
        RaiseQX("TgmObj3D Dev.Clear");
    if (!device.BeginScene()) RaiseQX("TgmObj3D BeginScene");
    SetFrameStates(device);
    scene.DrawLayers();
    if (!device.EndScene()) RaiseQX("TgmObj3D EndScene");
    if (!device.Present()) RaiseQX("TgmObj3D Present");
}

} // namespace gm
