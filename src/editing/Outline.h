#pragma once
// The outliner's view of a world: units grouped by description, zones by type, then the zone
// links, one row per object (objects stacked at one place are separate rows, told apart by their
// number), filtered by a text. Choosing rows makes the first one current and the rest its group.

#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace gm {

class TgmWorldUnit;
class TgmZone;
class TgmZoneLink;
class WorldDoc;

using OutlineObject = std::variant<TgmWorldUnit*, TgmZone*, TgmZoneLink*>;

struct OutlineRow {
    OutlineObject Object;
    std::string Text;      // "unit 3  (12.50, 40.00)"
    bool Selected = false; // current or in the group
};

struct OutlineGroup {
    std::string Title; // the description's file name, the zone type, or "Zone links"
    std::vector<OutlineRow> Rows;
};

// Groups in a fixed order (units by title, zones by type order, links last); a group without a
// row that matches the filter is left out. The filter matches a group's title or a row's text,
// ignoring case; an empty filter matches everything.
std::vector<OutlineGroup> OutlineBuild(const WorldDoc& doc, std::string_view filter);

// The objects become the selection: the first current (the pages show it), the other units and
// zones its group; links other than the first are ignored (a group holds no links). An empty
// list clears the selection.
void OutlineSelect(WorldDoc& doc, const std::vector<OutlineObject>& objects);

} // namespace gm
