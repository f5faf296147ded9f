#pragma once
// The panel's edits of units and points on the sphere: moving with the cursor, turning a unit
// about its centre, and copying a unit to another place.

#include <string>
#include <vector>

namespace gm {

class WorldDoc;
class TPointGM;
class TgmWorldUnit;

// Moves every point by the cursor's step from the anchor to (longitude, polar): each travels the
// same arc length, in the direction of the step carried to its own place. The units of the moved
// points are recentred; the anchor becomes the cursor position.
void MoveWithAnchor(WorldDoc& doc, const std::vector<TPointGM*>& points, float& anchorLongitude,
                    float& anchorPolar, float longitude, float polar);

// Turns the unit by angle degrees about the axis through its points' average. Points that another
// unit shares stay where they are.
void UnitTurn(WorldDoc& doc, TgmWorldUnit* unit, double angle);

// A copy of the current unit (description, type, times, key group) placed at (longitude, polar)
// and turned so that it keeps the original's orientation relative to the direction of travel.
// The copy becomes current. Null with the reason when the description cannot be loaded; null
// and no reason when there is no current unit.
TgmWorldUnit* UnitCopyAt(WorldDoc& doc, float longitude, float polar, std::string* reason);

} // namespace gm
