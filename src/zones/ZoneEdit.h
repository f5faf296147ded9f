#pragma once
// The panel's zone edits as plain operations on the document (linking zones is
// ZoneStore::ZoneLinkMake).

namespace gm {

class WorldDoc;
class TgmZone;
struct ViewFlags;

// Shows zones, deselects the current link, zone, unit and every point, and appends a current
// zone centred at (longitude, polar) with an arc radius of 50.
TgmZone* ZoneCreateAt(WorldDoc& doc, ViewFlags& flags, float longitude, float polar);

// The Delete key: the current unit, else the current zone, else the current link. False when
// nothing was current.
bool DeleteCurrent(WorldDoc& doc);

} // namespace gm
