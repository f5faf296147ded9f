#include "zones/WorldCheck.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <system_error>
#include <unordered_map>
#include <unordered_set>

#include "foundation/Codec.h"
#include "foundation/PathResolver.h"
#include "foundation/QX_Error.h"
#include "world/WorldDoc.h"
#include "zones/GMOpt.h"

namespace gm {

namespace {

using Kind = CheckObjectKind;

std::string Quoted(std::u16string_view text) {
    return "\"" + WideToAnsiQX(text) + "\"";
}

const TPointGM* GroupOf(const TPointGM* p) {
    return p->Master ? p->Master : p;
}

double Dist2(const TVec3& a, const TVec3& b) {
    const double dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
    return dx * dx + dy * dy + dz * dz;
}

// Pairs of positions closer than a distance, through a grid of cells of that size: each pair
// (earlier, later) once, in the order of the later one.
class NearPairs {
public:
    explicit NearPairs(double cell) : Cell_(cell) {}

    template <class Fn> void Add(const TVec3& pos, std::size_t id, Fn&& onNear) {
        const Key k = KeyOf(pos);
        for (int dx = -1; dx <= 1; ++dx)
            for (int dy = -1; dy <= 1; ++dy)
                for (int dz = -1; dz <= 1; ++dz) {
                    const auto it = Cells_.find(Key{k.x + dx, k.y + dy, k.z + dz});
                    if (it == Cells_.end()) continue;
                    for (const auto& [other, otherPos] : it->second)
                        if (Dist2(pos, otherPos) < Cell_ * Cell_) onNear(other);
                }
        Cells_[k].push_back({id, pos});
    }

private:
    struct Key {
        int64_t x, y, z;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        std::size_t operator()(const Key& k) const noexcept {
            return std::hash<int64_t>()(k.x * 73856093 ^ k.y * 19349663 ^ k.z * 83492791);
        }
    };
    Key KeyOf(const TVec3& p) const {
        // Positions that are not finite all share one cell rather than overflow the cast.
        const auto cell = [this](float v) {
            return std::isfinite(v) ? static_cast<int64_t>(std::floor(v / Cell_)) : INT64_MIN / 2;
        };
        return Key{cell(p.x), cell(p.y), cell(p.z)};
    }

    double Cell_;
    std::unordered_map<Key, std::vector<std::pair<std::size_t, TVec3>>, KeyHash> Cells_;
};

class Checker {
public:
    Checker(WorldDoc& doc, const CheckOptions& options) : Doc_(doc), Options_(options) {}

    std::vector<CheckProblem> Run() {
        LinesAndTriangles();
        Points();
        Counts();
        Keys();
        Stacked();
        Ports();
        Files();
        Zones();
        KeyGroups();
        std::stable_sort(
            Problems_.begin(), Problems_.end(), [](const CheckProblem& a, const CheckProblem& b) {
                return a.Severity == CheckSeverity::Error && b.Severity != CheckSeverity::Error;
            });
        Number();
        return std::move(Problems_);
    }

private:
    void Add(CheckSeverity severity, const char* code, std::string message,
             std::vector<CheckObject> objects) {
        Problems_.push_back({severity, code, std::move(message), std::move(objects)});
    }
    static CheckObject Obj(Kind kind, const void* object) { return {kind, object, -1}; }

    void LinesAndTriangles() {
        for (const TLineGM* line : Doc_.Lines.List())
            if (!LineHasEnds(*line))
                Add(CheckSeverity::Error, "line-without-point",
                    "A line of unit " + UnitDescForMessage(line->Unit) +
                        " has no end point; the end file cannot hold it. Reload the unit to "
                        "rebuild it from its description",
                    {Obj(Kind::Line, line), Obj(Kind::Unit, line->Unit)});
        for (const TTriangleGM* tri : Doc_.Triangles.List()) {
            if (!tri->Unit)
                Add(CheckSeverity::Error, "triangle-without-unit",
                    "A triangle has no unit; the end file cannot hold it. Save the world and "
                    "open it again, or rebuild the damaged world",
                    {Obj(Kind::Triangle, tri)});
            else if (!TriangleHasCorners(*tri))
                Add(CheckSeverity::Error, "triangle-without-point",
                    "A triangle of unit " + UnitDescForMessage(tri->Unit) +
                        " has a corner without a point; the end file cannot hold it. Reload "
                        "the unit to rebuild it from its description",
                    {Obj(Kind::Triangle, tri), Obj(Kind::Unit, tri->Unit)});
        }
    }

    void Points() {
        for (const TPointGM* p : Doc_.Points.List()) {
            const TgmWorldUnit* owner = p->Units.empty() ? nullptr : p->Units.front();
            if (PointLinkDamaged(*p)) {
                std::vector<CheckObject> objects{Obj(Kind::Point, p)};
                if (owner) objects.push_back(Obj(Kind::Unit, owner));
                Add(CheckSeverity::Error, "point-link-damaged",
                    "Point " + Quoted(p->Id) + " of unit " + UnitDescForMessage(owner) +
                        " has a damaged link; the end file cannot number it. Reload the unit "
                        "and link its ports again",
                    std::move(objects));
            }
            if (!owner)
                Add(CheckSeverity::Warning, "point-without-unit",
                    "Point " + Quoted(p->Id) +
                        " belongs to no unit; it is exported but nothing uses it. Delete it or "
                        "rebuild the damaged world",
                    {Obj(Kind::Point, p)});
        }
    }

    void Counts() {
        int64_t boxed = 0;
        for (const TgmWorldUnit* u : Doc_.Units.List())
            if (HasBox(u)) ++boxed;
        const std::pair<int64_t, const char*> counts[] = {
            {Doc_.Triangles.TriangleCount(), "triangles"},
            {Doc_.Points.PointMasterCount(), "points"},
            {boxed, "units with a bounding box"},
        };
        for (const auto& [count, what] : counts) {
            std::string message = OptCountProblem(count, what);
            if (!message.empty())
                Add(CheckSeverity::Error, "visibility-limit",
                    message + ". Split the world or remove units", {});
        }
    }

    // As "BB calc" finds it: some triangle of the unit has a corner among the unit's points.
    bool HasBox(const TgmWorldUnit* u) const {
        for (const TTriangleGM* t : Doc_.Triangles.TrianglesOfUnit(u))
            for (const TTriangleCorner& c : t->Corner)
                if (c.Point && std::find(c.Point->Units.begin(), c.Point->Units.end(), u) !=
                                   c.Point->Units.end())
                    return true;
        return false;
    }

    void Keys() {
        int64_t bound = 0;
        bool tooLong = false;
        std::unordered_set<const TgmWorldUnit*> reported;
        EndKeysForEach(Doc_, [&](const TKeyGM& key, const TgmWorldUnit* unit) {
            bound = std::min<int64_t>(bound + key.KeyBlobSize(), INT64_MAX / 4);
            std::string message = EndKeySizeProblem(key, unit);
            if (message.empty()) return;
            tooLong = true;
            if (!reported.insert(unit).second) return; // once per unit
            std::vector<CheckObject> objects;
            if (unit) objects.push_back(Obj(Kind::Unit, unit));
            Add(CheckSeverity::Error, "key-too-long", std::move(message), std::move(objects));
        });
        // Equal animations share their samples, so the sum of all keys only bounds the pool; only
        // past the limit is the pool built to know. A single key too long fails it anyway.
        if (tooLong || bound <= EndKeyPoolLimit) return;
        KeyPool pool;
        pool.Limit = EndKeyPoolLimit;
        pool.Buf.Grow = OptBufGrow;
        TBufQX scratch;
        try {
            EndKeysForEach(
                Doc_, [&](TKeyGM& key, const TgmWorldUnit*) { key.KeyBlobAdd(scratch, pool); });
        } catch (const ErrorQX& e) {
            Add(CheckSeverity::Error, "key-pool-limit", e.Message(), {});
        }
    }

    void Stacked() {
        std::vector<const TgmWorldUnit*> units;
        for (const TgmWorldUnit* u : Doc_.Units.List())
            units.push_back(u);
        NearPairs near(CheckStackDistance);
        for (std::size_t i = 0; i < units.size(); ++i) {
            const TgmWorldUnit* u = units[i];
            const TgmWorldUnit* first = nullptr;
            near.Add(u->Centre, i, [&](std::size_t j) {
                if (!first && units[j]->DescPath == u->DescPath) first = units[j];
            });
            if (first)
                Add(CheckSeverity::Warning, "units-stacked",
                    "Unit " + UnitDescForMessage(u) +
                        " lies on another unit of the same description; delete one of them",
                    {Obj(Kind::Unit, u), Obj(Kind::Unit, first)});
        }
        std::vector<const TgmZone*> zones;
        for (const TgmZone* z : Doc_.Zones.Zones())
            zones.push_back(z);
        NearPairs nearZones(CheckStackDistance);
        for (std::size_t i = 0; i < zones.size(); ++i) {
            const TgmZone* z = zones[i];
            const TgmZone* first = nullptr;
            nearZones.Add(z->Centre, i, [&](std::size_t j) {
                if (!first && zones[j]->ZoneType == z->ZoneType) first = zones[j];
            });
            if (first)
                Add(CheckSeverity::Warning, "zones-stacked",
                    "A zone of type " + ZoneTypeName(z->ZoneType) +
                        " lies on another zone of the same type; delete one of them",
                    {Obj(Kind::Zone, z), Obj(Kind::Zone, first)});
        }
    }

    static std::string ZoneTypeName(uint32_t type) {
        if (type < ZoneTypeCount) return Quoted(ZoneTypeCaptions[type]);
        return std::to_string(type);
    }

    // A port whose nearest port of another unit (the one auto-link would join it to) lies within
    // auto-link reach on the same side, and has a point of the same link name that is not in
    // one group with it. A port already joined to a neighbour has that neighbour nearest.
    void Ports() {
        const std::vector<TgmWorldPort> ports = Doc_.Units.PortsCollect();
        std::vector<std::size_t> nearest(ports.size(), ports.size());
        std::vector<double> nearestD2(ports.size(), 1e20);
        NearPairs near(std::sqrt(PortAutoLinkMaxDist2));
        for (std::size_t i = 0; i < ports.size(); ++i)
            near.Add(ports[i].Pos, i, [&](std::size_t j) {
                if (ports[j].Unit == ports[i].Unit) return;
                const double d2 = Dist2(ports[i].Pos, ports[j].Pos);
                for (const auto& [from, to] : {std::pair{i, j}, std::pair{j, i}})
                    if (d2 < nearestD2[from]) {
                        nearestD2[from] = d2;
                        nearest[from] = to;
                    }
            });
        std::unordered_map<const TgmWorldUnit*, std::vector<TPointGM*>> pointsOf;
        const auto pointsOfUnit = [&](const TgmWorldUnit* u) -> const std::vector<TPointGM*>& {
            auto [it, fresh] = pointsOf.try_emplace(u);
            if (fresh) it->second = Doc_.Points.PointsOfUnit(u);
            return it->second;
        };
        std::set<std::pair<std::size_t, std::size_t>> reported;
        for (std::size_t i = 0; i < ports.size(); ++i) {
            const std::size_t j = nearest[i];
            if (j == ports.size() || nearestD2[i] <= PortAutoLinkMinDist2) continue;
            const TgmWorldPort& a = ports[i];
            const TgmWorldPort& b = ports[j];
            if (!SameSide(a, b) || reported.count({std::min(i, j), std::max(i, j)})) continue;
            const TPointGM* loose =
                UnlinkedPartner(pointsOfUnit(a.Unit), a.Name, pointsOfUnit(b.Unit), b.Name);
            if (!loose) continue;
            reported.insert({std::min(i, j), std::max(i, j)});
            Add(CheckSeverity::Warning, "port-not-linked",
                "Port " + Quoted(a.Name) + " of unit " + UnitDescForMessage(a.Unit) +
                    " is close to port " + Quoted(b.Name) + " of unit " +
                    UnitDescForMessage(b.Unit) +
                    " but not linked to it; move the unit a little to link them, or further away",
                {Obj(Kind::Unit, a.Unit), Obj(Kind::Unit, b.Unit), Obj(Kind::Point, loose)});
        }
    }

    // Auto-link joins only a port on the same side of its unit as the other port.
    static bool SameSide(const TgmWorldPort& own, const TgmWorldPort& other) {
        const TVec3& c = own.Unit->Centre;
        return (own.Pos.x - c.x) * (other.Pos.x - c.x) + (own.Pos.y - c.y) * (other.Pos.y - c.y) +
                   (own.Pos.z - c.z) * (other.Pos.z - c.z) >=
               0;
    }

    static bool InPort(const TPointGM* p, const std::u16string& name) {
        return p->PortId.find(name) != std::u16string::npos;
    }

    static const TPointGM* UnlinkedPartner(const std::vector<TPointGM*>& mine,
                                           const std::u16string& myName,
                                           const std::vector<TPointGM*>& theirs,
                                           const std::u16string& theirName) {
        for (const TPointGM* p : mine) {
            if (!InPort(p, myName)) continue;
            bool partner = false, joined = false;
            for (const TPointGM* q : theirs) {
                if (!InPort(q, theirName) || q->PortLink != p->PortLink) continue;
                partner = true;
                joined = joined || GroupOf(q) == GroupOf(p);
            }
            if (partner && !joined) return p;
        }
        return nullptr;
    }

    // What a reload of each unit would look for: its description and the textures it names.
    void Files() {
        if (Options_.UnitFolder) {
            std::map<std::u16string, std::vector<CheckObject>> missing;
            std::unordered_map<std::u16string, bool> known;
            for (const TgmWorldUnit* u : Doc_.Units.List()) {
                auto [it, fresh] = known.try_emplace(u->DescPath, true);
                if (fresh) it->second = FileExists(*Options_.UnitFolder, u->DescPath);
                if (!it->second) missing[u->DescPath].push_back(Obj(Kind::Unit, u));
            }
            for (auto& [desc, units] : missing)
                Add(CheckSeverity::Warning, "unit-desc-missing",
                    "The description " + Quoted(desc) + " of " + UnitsText(units.size()) +
                        " is not in the unit folder " + *Options_.UnitFolder +
                        "; a reload would fail. Restore the file or set the unit path",
                    std::move(units));
        }
        if (Options_.TextureFolder) {
            std::map<std::u16string, std::vector<CheckObject>> missing;
            std::unordered_map<std::u16string, bool> known;
            std::unordered_set<const void*> listed;
            for (const TTriangleGM* t : Doc_.Triangles.List()) {
                if (t->Texture.empty() || !t->Unit) continue;
                auto [it, fresh] = known.try_emplace(t->Texture, true);
                if (fresh) it->second = FileExists(*Options_.TextureFolder, t->Texture);
                if (!it->second && listed.insert(t->Unit).second)
                    missing[t->Texture].push_back(Obj(Kind::Unit, t->Unit));
            }
            for (auto& [texture, units] : missing)
                Add(CheckSeverity::Warning, "unit-texture-missing",
                    "The texture " + Quoted(texture) + " of " + UnitsText(units.size()) +
                        " is not in the folder " + *Options_.TextureFolder +
                        "; a reload would fail. Restore the file or fix the description",
                    std::move(units));
        }
    }

    static std::string UnitsText(std::size_t n) {
        return n == 1 ? std::string("1 unit") : std::to_string(n) + " units";
    }

    static bool FileExists(const std::string& folder, const std::u16string& stored) {
        std::error_code ec;
        return std::filesystem::is_regular_file(ResolvePathQX(folder, WideToAnsiQX(stored)), ec);
    }

    void Zones() {
        for (const TgmZoneLink* link : Doc_.Zones.Links())
            if (link->ZoneA && link->ZoneA == link->ZoneB)
                Add(CheckSeverity::Warning, "zone-link-same-zone",
                    "A zone link joins a zone to itself; delete the link",
                    {Obj(Kind::ZoneLink, link), Obj(Kind::Zone, link->ZoneA)});
        for (const TgmZone* z : Doc_.Zones.Zones())
            if (!(z->RadiusLen > 0))
                Add(CheckSeverity::Warning, "zone-radius-zero",
                    "A zone of type " + ZoneTypeName(z->ZoneType) +
                        " has a radius of zero and covers nothing; give it a radius on the Zone "
                        "page",
                    {Obj(Kind::Zone, z)});
    }

    void KeyGroups() {
        for (const TgmWorldUnit* u : Doc_.Units.List()) {
            const TKeyGroupList* list = Doc_.Keys.KeyGroupListOfUnit(u);
            if (!list) continue;
            const int32_t count = list->GroupCount();
            if (u->KeyGroup >= 0 && u->KeyGroup < std::max(count, 1)) continue;
            Add(CheckSeverity::Warning, "key-group-out-of-range",
                "Unit " + UnitDescForMessage(u) + " uses key group " + std::to_string(u->KeyGroup) +
                    " of a list of " + std::to_string(count) +
                    "; choose a key group on the Unit page",
                {Obj(Kind::Unit, u)});
        }
    }

    // List positions of the objects named, one walk of each list that has any.
    void Number() {
        std::unordered_map<const void*, int32_t> index;
        for (const CheckProblem& p : Problems_)
            for (const CheckObject& o : p.Objects)
                index.emplace(o.Object, -1);
        if (index.empty()) return;
        const auto walk = [&index](const auto& list) {
            int32_t n = 0;
            for (const auto* item : list) {
                const auto it = index.find(item);
                if (it != index.end()) it->second = n;
                ++n;
            }
        };
        walk(Doc_.Units.List());
        walk(Doc_.Points.List());
        walk(Doc_.Lines.List());
        walk(Doc_.Triangles.List());
        walk(Doc_.Zones.Zones());
        walk(Doc_.Zones.Links());
        for (CheckProblem& p : Problems_) {
            std::erase_if(p.Objects, [](const CheckObject& o) { return !o.Object; });
            for (CheckObject& o : p.Objects)
                o.Index = index[o.Object];
        }
    }

    WorldDoc& Doc_;
    const CheckOptions& Options_;
    std::vector<CheckProblem> Problems_;
};

} // namespace

std::vector<CheckProblem> WorldCheck(WorldDoc& doc, const CheckOptions& options) {
    return Checker(doc, options).Run();
}

CheckCounts CountProblems(const std::vector<CheckProblem>& problems) {
    CheckCounts c;
    for (const CheckProblem& p : problems)
        ++(p.Severity == CheckSeverity::Error ? c.Errors : c.Warnings);
    return c;
}

std::string_view CheckSeverityName(CheckSeverity severity) {
    return severity == CheckSeverity::Error ? "error" : "warning";
}

std::string_view CheckObjectKindName(CheckObjectKind kind) {
    switch (kind) {
    case Kind::Unit:
        return "unit";
    case Kind::Point:
        return "point";
    case Kind::Line:
        return "line";
    case Kind::Triangle:
        return "triangle";
    case Kind::Zone:
        return "zone";
    case Kind::ZoneLink:
        return "zoneLink";
    }
    return "object";
}

std::string CheckProblemText(const CheckProblem& problem) {
    std::string text = std::string(CheckSeverityName(problem.Severity)) + " " + problem.Code +
                       ": " + problem.Message;
    if (problem.Objects.empty()) return text;
    text += " (";
    for (std::size_t i = 0; i < problem.Objects.size(); ++i) {
        if (i) text += ", ";
        text += std::string(CheckObjectKindName(problem.Objects[i].Kind)) + " " +
                std::to_string(problem.Objects[i].Index);
    }
    return text + ")";
}

} // namespace gm
