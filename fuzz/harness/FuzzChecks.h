#pragma once
// What the fuzz bodies share: the check that raises a broken promise, the state of an empty
// world, and a few frames of the editor's drawing without a display.

#include <cstdint>
#include <string>
#include <string_view>

#include "foundation/QX_Buf.h"
#include "harness/FuzzHarness.h"

namespace gm {
class WorldDoc;
}

namespace gm::fuzz {

inline void Require(bool ok, const std::string& promise) {
    if (!ok) throw HarnessFailure(promise);
}

// Nothing of a world is left: no unit, key group list, key, point, triangle, line, zone or link.
bool WorldIsEmpty(const WorldDoc& doc);

// A world that failed to open: a message the user can act on ("Error : " and the reason) and an
// empty untitled world.
void RequireFailedOpen(const WorldDoc& doc, const std::string& message);

// Draws a few frames of the document as the editor would (grid, every list, keys at several
// clock values, the current unit's outline) on a device that draws nothing. Textures are never
// read: their loads fail as for a missing file, so an input cannot make the harness open files
// outside its folder.
void DrawFrames(WorldDoc& doc);

// The document saved into a buffer.
std::string WorldBytes(WorldDoc& doc);

// A saved world must read back into a world that saves to the same bytes.
void RequireRoundTrip(WorldDoc& doc);

} // namespace gm::fuzz
