#include "zones/ZoneEdit.h"

#include "render/VOper.h"
#include "world/ViewFlags.h"
#include "world/WorldDoc.h"
#include "zones/WorldZone.h"

namespace gm {

TgmZone* ZoneCreateAt(WorldDoc& doc, ViewFlags& flags, float longitude, float polar) {
    flags.Zone = true;
    doc.Zones.SetZoneLinkCurrent(nullptr);
    doc.Zones.SetZoneCurrent(nullptr);
    for (TPointGM* p : doc.Points.List())
        doc.Points.SetCurrent(p, false);
    doc.Units.SetCurrentUnit(nullptr);
    TgmZone* zone = doc.Zones.ZoneAdd();
    zone->Longitude = longitude;
    zone->Polar = polar;
    zone->RadiusAngle =
        static_cast<float>(9000.0 / (PiFull * static_cast<double>(doc.WorldRadius)));
    zone->Current = true;
    doc.Zones.ZoneUpdate(zone);
    return zone;
}

bool DeleteCurrent(WorldDoc& doc) {
    if (TgmWorldUnit* u = doc.Units.UnitCurrent()) {
        doc.Units.UnitDelete(u);
        return true;
    }
    if (TgmZone* zone = doc.Zones.ZoneCurrent()) {
        doc.Zones.ZoneDelete(zone);
        return true;
    }
    if (TgmZoneLink* link = doc.Zones.ZoneLinkCurrent()) {
        doc.Zones.ZoneLinkDelete(link);
        return true;
    }
    return false;
}

} // namespace gm
