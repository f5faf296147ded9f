#include "editing/Outline.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>

#include "editing/GroupEdit.h"
#include "render/VOper.h"
#include "world/WorldDoc.h"
#include "world/WorldUnit.h"
#include "zones/WorldZone.h"

namespace gm {

namespace {

constexpr int TypeCount = static_cast<int>(ZoneTypeCount);

// Types outside the list draw as "Exclude"; they are listed under it.
int ZoneTypeIndex(int type) {
    return type >= 0 && type < TypeCount ? type : TypeCount - 1;
}

// 8-bit text for display; the names here are ASCII.
std::string Narrow(std::u16string_view s) {
    std::string out;
    for (const char16_t c : s)
        out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string Place(float longitude, float polar) {
    char text[48];
    std::snprintf(text, sizeof text, "(%.2f, %.2f)", static_cast<double>(longitude),
                  static_cast<double>(polar));
    return text;
}

// The file name of a description path, 8-bit for display.
std::string DescName(const std::u16string& path) {
    const std::size_t slash = path.find_last_of(u"\\/");
    const std::string out =
        Narrow(slash == std::u16string::npos ? path : std::u16string_view(path).substr(slash + 1));
    return out.empty() ? std::string("(no description)") : out;
}

class Filter {
public:
    explicit Filter(std::string_view text) : Text_(Lower(text)) {}
    bool Matches(const std::string& title, const std::string& row) const {
        return Text_.empty() || Lower(title).find(Text_) != std::string::npos ||
               Lower(row).find(Text_) != std::string::npos;
    }

private:
    std::string Text_;
};

} // namespace

std::vector<OutlineGroup> OutlineBuild(const WorldDoc& doc, std::string_view filterText) {
    const Filter filter(filterText);
    std::vector<OutlineGroup> groups;

    std::map<std::string, OutlineGroup> units; // sorted by title
    int n = 0;
    for (TgmWorldUnit* u : doc.Units.List()) {
        ++n;
        const std::string title = DescName(u->DescPath);
        std::string text = "unit " + std::to_string(n);
        if (u->Centre.x != 0 || u->Centre.y != 0 || u->Centre.z != 0) {
            float longitude = 0, polar = 0;
            VecToSphere(u->Centre, longitude, polar);
            text += "  " + Place(longitude, polar);
        }
        if (!filter.Matches(title, text)) continue;
        OutlineGroup& g = units[title];
        g.Title = title;
        g.Rows.push_back({u, text, u->Current || u->Grouped});
    }
    for (auto& [title, g] : units)
        groups.push_back(std::move(g));

    std::vector<OutlineGroup> zones(ZoneTypeCount);
    std::vector<std::string> typeNames;
    for (const char16_t* caption : ZoneTypeCaptions)
        typeNames.push_back(Narrow(caption));
    n = 0;
    for (TgmZone* z : doc.Zones.Zones()) {
        ++n;
        const int type = ZoneTypeIndex(z->ZoneType);
        const std::string text = "zone " + std::to_string(n) + "  " + Place(z->Longitude, z->Polar);
        if (!filter.Matches(typeNames[type], text)) continue;
        zones[type].Title = typeNames[type];
        zones[type].Rows.push_back({z, text, z->Current || z->Grouped});
    }
    for (OutlineGroup& g : zones)
        if (!g.Rows.empty()) groups.push_back(std::move(g));

    // Zones are named by their number in the list, as the file numbers them.
    std::map<const TgmZone*, int> number;
    n = 0;
    for (const TgmZone* z : doc.Zones.Zones())
        number[z] = ++n;
    OutlineGroup links{"Zone links", {}};
    for (TgmZoneLink* l : doc.Zones.Links()) {
        const std::string text = "zone " + std::to_string(number[l->ZoneA]) + " - zone " +
                                 std::to_string(number[l->ZoneB]) +
                                 (l->LinkType == 1 ? "  StopLine" : "  Normal");
        if (filter.Matches(links.Title, text)) links.Rows.push_back({l, text, l->Current});
    }
    if (!links.Rows.empty()) groups.push_back(std::move(links));
    return groups;
}

void OutlineSelect(WorldDoc& doc, const std::vector<OutlineObject>& objects) {
    GroupClear(doc);
    doc.Zones.SetZoneLinkCurrent(nullptr);
    doc.Zones.SetZoneCurrent(nullptr);
    doc.Units.SetCurrentUnit(nullptr);
    bool first = true;
    for (const OutlineObject& object : objects) {
        if (const auto* u = std::get_if<TgmWorldUnit*>(&object)) {
            if (first) doc.Units.SetCurrentUnit(*u);
            (*u)->Grouped = !first;
        } else if (const auto* z = std::get_if<TgmZone*>(&object)) {
            if (first) doc.Zones.SetZoneCurrent(*z);
            (*z)->Grouped = !first;
        } else if (first) {
            doc.Zones.SetZoneLinkCurrent(std::get<TgmZoneLink*>(object));
        }
        first = false;
    }
}

} // namespace gm
