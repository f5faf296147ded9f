#pragma once
// Several units and zones edited as one: the group is every object marked Grouped plus the
// current unit or zone. A drag moves it rigidly over the sphere (each object keeps its bearing
// and distance from the dragged one), Delete removes it, C copies it with the port links between
// its units. Fewer than two objects make no group: the single-object edits apply.

#include <string>
#include <vector>

namespace gm {

class TgmWorldUnit;
class TgmZone;
class WorldDoc;

struct Group {
    std::vector<TgmWorldUnit*> Units; // in list order
    std::vector<TgmZone*> Zones;      // in list order
    std::size_t Size() const noexcept { return Units.size() + Zones.size(); }
};

Group GroupOf(const WorldDoc& doc);
// True when the group has at least two objects and obj is one of them.
bool InGroup(const WorldDoc& doc, const TgmWorldUnit* unit);
bool InGroup(const WorldDoc& doc, const TgmZone* zone);

// Unmarks every object (the current one stays current).
void GroupClear(WorldDoc& doc);
// Adds the object to the group or takes it out. The current unit or zone joins the group first,
// then the toggled object becomes current when it joined (the pages show it), or the current
// object is given up when it left.
void GroupToggle(WorldDoc& doc, TgmWorldUnit* unit);
void GroupToggle(WorldDoc& doc, TgmZone* zone);

// Turns the whole group about the sphere's centre so that the sphere point (fromLongitude,
// fromPolar) comes to (toLongitude, toPolar). Points shared with units outside the group go
// along, as they do when one unit moves.
void GroupMove(WorldDoc& doc, const Group& group, float fromLongitude, float fromPolar,
               float toLongitude, float toPolar);

// Deletes every unit and zone of the group (and the zone links that end at them). False when
// the group was empty.
bool GroupDelete(WorldDoc& doc, const Group& group);

// Copies the group so that the reference unit's copy lies at (longitude, polar) and the rest
// keep their bearings and distances from it; port links between copied units and zone links
// between copied zones are copied too. The copies become the group, the reference's copy
// current. False, with nothing added and the reason in *reason, when a description cannot be
// loaded.
bool GroupCopyAt(WorldDoc& doc, const Group& group, TgmWorldUnit& reference, float longitude,
                 float polar, std::string* reason);

} // namespace gm
