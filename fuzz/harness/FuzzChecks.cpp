#include "harness/FuzzChecks.h"

#include <cstring>

#include "doubles/RecordingDevice.h"
#include "editing/FrameRender.h"
#include "foundation/QX_Error.h"
#include "render/Camera.h"
#include "render/Scene.h"
#include "world/ViewFlags.h"
#include "world/WorldDoc.h"

namespace gm::fuzz {

namespace {

// Every image "fails to load", as a missing file does.
class NoImages : public ImageDecoder {
public:
    bool ReadStart(const std::string&, int&, int&) override { return false; }
    bool Read(void*, int, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
              int) override {
        return false;
    }
};

} // namespace

bool WorldIsEmpty(const WorldDoc& doc) {
    return doc.Units.UnitCount() == 0 && doc.Keys.Lists().Size() == 0 &&
           doc.Keys.Keys().Size() == 0 && doc.Points.PointCount() == 0 &&
           doc.Triangles.TriangleCount() == 0 && doc.Lines.LineCount() == 0 &&
           doc.Zones.ZoneCount() == 0 && doc.Zones.ZoneLinkCount() == 0;
}

void RequireFailedOpen(const WorldDoc& doc, const std::string& message) {
    const std::string prefix = "Error : ";
    Require(message.size() > prefix.size() && message.compare(0, prefix.size(), prefix) == 0,
            "a failed open says why: \"" + message + "\"");
    Require(doc.WorldFileName.empty(), "a failed open leaves an untitled world");
    Require(WorldIsEmpty(doc), "a failed open leaves an empty world (" + message + ")");
}

void DrawFrames(WorldDoc& doc) {
    NoImages decoder;
    // Counts, not text: every draw is checked against its vertex range.
    RecordingDevice device;
    device.SetKeepText(false);
    device.Create(800, 600);
    Scene scene(decoder, SystemTexFileNaming(std::string()));
    scene.SetDevice(&device);
    doc.SetScene(&scene);

    Camera camera;
    camera.SetPanelSize(800, 600);
    camera.Reset(doc.WorldRadius);
    ViewFlags flags;
    flags.Point = true;
    doc.WorldLines.WorldGridBuild(doc.WorldRadius, 32, 0xFFFFFFFF, 0x80FFFFFF);
    // Something of every kind is current, as after the designer's clicks.
    if (TgmWorldUnit* u = doc.Units.List().First()) doc.Units.SetCurrentUnit(u);
    if (TgmZone* z = doc.Zones.Zones().First()) doc.Zones.SetZoneCurrent(z);
    if (TgmZoneLink* l = doc.Zones.Links().First()) doc.Zones.SetZoneLinkCurrent(l);
    if (TPointGM* p = doc.Points.First()) doc.Points.SetCurrent(p, true);
    doc.Units.BBCalcAll(camera);

    for (const uint64_t clock : {uint64_t{0}, uint64_t{1237}, uint64_t{0xFFFFFFF0}}) {
        FrameTick(doc, clock);
        FrameUpdateLists(doc, scene, camera, flags);
        FrameDraw(device, scene);
        camera.OrbitLongitude(97);
        camera.OrbitPolar(31);
    }

    Require(device.BadDraws() == 0, "every draw's indices stay within its vertices");

    // The world's scene objects go before the scene.
    doc.WorldLines.WorldLineClearAll(scene);
    doc.SetScene(nullptr);
    scene.Obj3DFreeAll();
    scene.SetDevice(nullptr);
}

std::string WorldBytes(WorldDoc& doc) {
    TBufQX buf;
    buf.Grow = 1 << 20; // big steps: growing by the default 256 bytes copies the file over and over
    doc.WorldWrite(buf);
    return std::string(reinterpret_cast<const char*>(buf.Data), static_cast<std::size_t>(buf.Len));
}

void RequireRoundTrip(WorldDoc& doc) {
    const std::string first = WorldBytes(doc);
    TBufQX buf;
    buf.LenSet(static_cast<int32_t>(first.size()));
    std::memcpy(buf.Data, first.data(), first.size());
    WorldDoc again;
    try {
        again.WorldRead(buf);
    } catch (const ErrorQX& e) {
        throw HarnessFailure("a saved world opens again, but: " + e.Message());
    }
    Require(buf.Pointer == buf.Len, "a saved world is read to its end");
    Require(WorldBytes(again) == first, "a saved world reads back into the same world");
}

} // namespace gm::fuzz
