#include "cli/WorldJson.h"

#include <unordered_map>

#include "foundation/Codec.h"
#include "world/WorldDoc.h"

namespace gm {

namespace {

// Position of every object of a list, so that references print as indices in one pass.
template <typename T> std::unordered_map<const T*, int64_t> IndexOf(const ListQX<T>& list) {
    std::unordered_map<const T*, int64_t> index;
    int64_t n = 0;
    for (const T* item : list)
        index.emplace(item, n++);
    return index;
}

template <typename T>
WorldJson RefOf(const std::unordered_map<const T*, int64_t>& index, const T* item) {
    if (!item) return nullptr;
    const auto it = index.find(item);
    return it == index.end() ? WorldJson(nullptr) : WorldJson(it->second);
}

std::string Text(const std::u16string& s) {
    return WideToUtf8QX(s);
}

WorldJson Vec(const TVec3& v) {
    return WorldJson::array({v.x, v.y, v.z});
}

std::string KeyText(const KeyPtr& key) {
    return key ? Text(key->Save()) : std::string();
}

} // namespace

WorldJson WorldToJson(const WorldDoc& doc, int32_t version) {
    const auto units = IndexOf(doc.Units.List());
    const auto lists = IndexOf(doc.Keys.Lists());
    const auto points = IndexOf(doc.Points.List());
    // Lists refer to their owner through the key interface; map that back to the unit.
    std::unordered_map<const IKeyUnit*, const TgmWorldUnit*> unitOfKeyUnit;
    for (const TgmWorldUnit* u : doc.Units.List())
        unitOfKeyUnit.emplace(u, u);

    WorldJson out = WorldJson::object();
    out["version"] = version;
    out["radius"] = doc.WorldRadius;

    WorldJson& jUnits = out["units"] = WorldJson::array();
    for (const TgmWorldUnit* u : doc.Units.List()) {
        jUnits.push_back({{"descPath", Text(u->DescPath)},
                          {"unitType", u->UnitType},
                          {"timeOffset", u->TimeOffset},
                          {"keyGroup", u->KeyGroup},
                          {"timeLength", u->TimeLength},
                          {"centre", Vec(u->Centre)}});
    }

    WorldJson& jLists = out["keyGroupLists"] = WorldJson::array();
    for (const TKeyGroupList* list : doc.Keys.Lists()) {
        const auto owner = unitOfKeyUnit.find(list->Unit);
        WorldJson groups = WorldJson::array();
        for (const auto& g : list->Groups)
            groups.push_back(Text(g->Name));
        jLists.push_back({{"unit", owner == unitOfKeyUnit.end() ? WorldJson(nullptr)
                                                                : RefOf(units, owner->second)},
                          {"groups", std::move(groups)}});
    }

    WorldJson& jPoints = out["points"] = WorldJson::array();
    for (const TPointGM* p : doc.Points.List()) {
        WorldJson pointUnits = WorldJson::array();
        for (const TgmWorldUnit* u : p->Units)
            pointUnits.push_back(RefOf(units, u));
        jPoints.push_back({{"id", Text(p->Id)},
                           {"longitude", p->Longitude},
                           {"polar", p->Polar},
                           {"radius", p->Radius},
                           {"pos", Vec(p->Pos)},
                           {"master", RefOf(points, static_cast<const TPointGM*>(p->Master))},
                           {"portId", Text(p->PortId)},
                           {"portType", Text(p->PortType)},
                           {"portLink", Text(p->PortLink)},
                           {"savedPortId", Text(p->SavedPortId)},
                           {"savedPortType", Text(p->SavedPortType)},
                           {"savedPortLink", Text(p->SavedPortLink)},
                           {"units", std::move(pointUnits)}});
    }

    // A triangle's or line's keys are made on its key group list.
    auto listOf = [&lists](const KeyPtr& key) {
        return key ? RefOf(lists, static_cast<const TKeyGroupList*>(key->List))
                   : WorldJson(nullptr);
    };

    WorldJson& jTriangles = out["triangles"] = WorldJson::array();
    for (const TTriangleGM* t : doc.Triangles.List()) {
        WorldJson corners = WorldJson::array();
        for (const TTriangleCorner& c : t->Corner)
            corners.push_back({{"point", RefOf(points, static_cast<const TPointGM*>(c.Point))},
                               {"u", c.U},
                               {"v", c.V},
                               {"key", KeyText(c.Key)}});
        jTriangles.push_back({{"unit", RefOf(units, static_cast<const TgmWorldUnit*>(t->Unit))},
                              {"keyGroupList", listOf(t->Corner[0].Key)},
                              {"texture", Text(t->Texture)},
                              {"backFace", t->BackFace},
                              {"corners", std::move(corners)}});
    }

    WorldJson& jLines = out["lines"] = WorldJson::array();
    for (const TLineGM* l : doc.Lines.List()) {
        jLines.push_back(
            {{"unit", RefOf(units, static_cast<const TgmWorldUnit*>(l->Unit))},
             {"keyGroupList", listOf(l->KeyStart)},
             {"pointStart", RefOf(points, static_cast<const TPointGM*>(l->PointStart))},
             {"pointEnd", RefOf(points, static_cast<const TPointGM*>(l->PointEnd))},
             {"keyStart", KeyText(l->KeyStart)},
             {"keyEnd", KeyText(l->KeyEnd)},
             {"visible", l->Visible},
             {"stop", l->Stop}});
    }

    const auto zones = IndexOf(doc.Zones.Zones());
    WorldJson& jZones = out["zones"] = WorldJson::array();
    for (const TgmZone* z : doc.Zones.Zones()) {
        jZones.push_back({{"longitude", z->Longitude},
                          {"polar", z->Polar},
                          {"radiusAngle", z->RadiusAngle},
                          {"radiusLen", z->RadiusLen},
                          {"type", z->ZoneType},
                          {"graph", Text(z->Graph)},
                          {"hitpoints", z->Hitpoints},
                          {"mass", z->Mass},
                          {"damage", z->Damage},
                          {"itemFlags", z->ItemFlags},
                          {"itemFreq", z->ItemFreq}});
    }
    WorldJson& jLinks = out["zoneLinks"] = WorldJson::array();
    for (const TgmZoneLink* l : doc.Zones.Links()) {
        jLinks.push_back({{"zoneA", RefOf(zones, static_cast<const TgmZone*>(l->ZoneA))},
                          {"zoneB", RefOf(zones, static_cast<const TgmZone*>(l->ZoneB))},
                          {"linkType", l->LinkType}});
    }
    return out;
}

} // namespace gm
