#include "BenchWorld.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "foundation/Codec.h"
#include "foundation/PathResolver.h"
#include "foundation/QX_BlockPar.h"
#include "foundation/QX_Error.h"
#include "foundation/QX_Str.h"
#include "world/WorldDoc.h"

namespace gm {

namespace {

constexpr int32_t Columns = 5;
constexpr int32_t Rows = 4;
constexpr double Pitch = 12;     // between neighbouring points of a unit, world units
constexpr int32_t Patterns = 12; // colour animations per description

// Deterministic mixing of small numbers into 32 bits (a finaliser of a well-known hash).
uint32_t Mix(uint32_t a, uint32_t b = 0, uint32_t c = 0, uint32_t d = 0) {
    uint32_t h = a * 0x9E3779B1u ^ (b + 0x7F4A7C15u) * 0x85EBCA6Bu ^
                 (c + 0x165667B1u) * 0xC2B2AE35u ^ (d + 0x27D4EB2Fu) * 0x27D4EB2Du;
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}

class Rng {
public:
    explicit Rng(uint32_t seed) : State_(Mix(seed) | 1u) {}
    uint32_t Next() {
        State_ ^= State_ << 13;
        State_ ^= State_ >> 17;
        State_ ^= State_ << 5;
        return State_;
    }
    // Uniform in [0, 1).
    double Unit() { return static_cast<double>(Next() >> 8) / static_cast<double>(1u << 24); }

private:
    uint32_t State_;
};

std::u16string Wide(const std::string& s) {
    return AnsiToWideQX(s);
}

std::u16string Num(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return Wide(buf);
}

std::u16string Hex2(uint32_t b) {
    return ByteToHexQX(static_cast<uint8_t>(b & 0xFF));
}

// A colour key of 2 to 4 steps with a row of colours for each key group, in key text form.
std::u16string KeyText(int32_t kind, int32_t pattern) {
    const int32_t count = 2 + pattern % 3;
    std::u16string s = IntToWideQX(count);
    for (int32_t i = 0; i < count; ++i)
        s += u"," + IntToWideQX(200 + 100 * ((pattern + i) % 4));
    for (int32_t g = 0; g < BenchWorldOptions::GroupsPerUnit; ++g) {
        for (int32_t i = 0; i < count; ++i) {
            const uint32_t h = Mix(static_cast<uint32_t>(kind), static_cast<uint32_t>(pattern),
                                   static_cast<uint32_t>(g), static_cast<uint32_t>(i));
            const uint32_t alpha = (h >> 24) % 4 == 0 ? 0x80 : 0xFF;
            s += u"," + Hex2(h) + u" " + Hex2(h >> 8) + u" " + Hex2(h >> 16) + u" " + Hex2(alpha);
        }
    }
    return s;
}

std::u16string PointName(int32_t row, int32_t col) {
    return IntToWideQX(row * Columns + col + 1);
}

void AddCorner(TBlockParQX& tri, int32_t corner, int32_t row, int32_t col, int32_t kind,
               int32_t pattern) {
    TBlockParQX* c = tri.Block_Add(IntToWideQX(corner));
    c->Par_Add(u"Point", PointName(row, col));
    c->Par_Add(u"UV", Num(col / 4.0) + u"," + Num(row / 3.0));
    c->Par_Add(u"Diffuse", KeyText(kind, pattern % Patterns));
}

void WriteDescription(const std::string& file, int32_t kind, const std::u16string& texture) {
    TBlockParQX desc;
    TBlockParQX* groups = desc.Block_Add(u"KeyGroup");
    for (int32_t g = 0; g < BenchWorldOptions::GroupsPerUnit; ++g)
        groups->Block_Add(IntToWideQX(g))->Par_Add(u"Name", IntToWideQX(g + 1));

    // Inner points rise a little above the surface (negative depth), differently per kind.
    TBlockParQX* points = desc.Block_Add(u"Point");
    for (int32_t r = 0; r < Rows; ++r) {
        for (int32_t c = 0; c < Columns; ++c) {
            TBlockParQX* p = points->Block_Add(PointName(r, c));
            p->Par_Add(u"Id", u"p" + IntToWideQX(r) + IntToWideQX(c));
            const bool inner = c > 0 && c < Columns - 1 && r > 0 && r < Rows - 1;
            const double depth = inner ? -(3 + kind % 4) : 0;
            p->Par_Add(u"Pos",
                       Num((c - 2) * Pitch) + u"," + Num((r - 1.5) * Pitch) + u"," + Num(depth));
            if (c == 0 || c == Columns - 1) {
                p->Par_Add(u"PortId", c == 0 ? u"west" : u"east");
                p->Par_Add(u"PortType", u"road");
                p->Par_Add(u"PortLink", u"r" + IntToWideQX(r));
            }
        }
    }

    TBlockParQX* polygons = desc.Block_Add(u"Polygon");
    int32_t t = 0;
    auto triangle = [&](int32_t r0, int32_t c0, int32_t r1, int32_t c1, int32_t r2, int32_t c2,
                        bool backFace) {
        TBlockParQX* tri = polygons->Block_Add(IntToWideQX(++t));
        tri->Par_Add(u"Texture", texture);
        if (backFace) tri->Par_Add(u"BackFace", u"1");
        AddCorner(*tri, 0, r0, c0, kind, 3 * t);
        AddCorner(*tri, 1, r1, c1, kind, 3 * t + 1);
        AddCorner(*tri, 2, r2, c2, kind, 3 * t + 2);
    };
    for (int32_t r = 0; r + 1 < Rows; ++r) {
        for (int32_t c = 0; c + 1 < Columns; ++c) {
            triangle(r, c, r, c + 1, r + 1, c + 1, false);
            triangle(r, c, r + 1, c + 1, r + 1, c, false);
        }
    }
    // Two-sided panels across the other diagonal of six cells.
    const int32_t extra[6][2] = {{1, 0}, {1, 1}, {1, 2}, {1, 3}, {0, 1}, {2, 2}};
    for (const auto& cell : extra)
        triangle(cell[0], cell[1] + 1, cell[0] + 1, cell[1], cell[0], cell[1], true);

    // The outline: both long edges, one step up each short edge. One line stops, one is hidden.
    TBlockParQX* lines = desc.Block_Add(u"Line");
    int32_t l = 0;
    auto line = [&](int32_t r0, int32_t c0, int32_t r1, int32_t c1) {
        TBlockParQX* lb = lines->Block_Add(IntToWideQX(++l));
        lb->Par_Add(u"PointStart", PointName(r0, c0));
        lb->Par_Add(u"PointEnd", PointName(r1, c1));
        lb->Par_Add(u"DiffuseStart", KeyText(kind, (2 * l) % Patterns));
        lb->Par_Add(u"DiffuseEnd", KeyText(kind, (2 * l + 1) % Patterns));
        if (l == 3) lb->Par_Add(u"Type", u"stop");
        if (l == 8) lb->Par_Add(u"Type", u"hide");
    };
    for (int32_t c = 0; c + 1 < Columns; ++c)
        line(0, c, 0, c + 1);
    for (int32_t c = 0; c + 1 < Columns; ++c)
        line(Rows - 1, c, Rows - 1, c + 1);
    line(1, 0, 2, 0);
    line(1, Columns - 1, 2, Columns - 1);

    desc.SaveToFile(file);
}

void CheckOptions(const BenchWorldOptions& o) {
    if (o.Units < 1 || o.Kinds < 1 || o.Zones < 0 || o.ZoneLinks < 0)
        RaiseQX("BenchWorld. units=" + std::to_string(o.Units) +
                " kinds=" + std::to_string(o.Kinds) + " zones=" + std::to_string(o.Zones) +
                " links=" + std::to_string(o.ZoneLinks));
}

// Units per ring of constant polar angle, roughly proportional to the ring's circumference so
// that units lie about as far apart along a ring as the rings do; the total is exact.
std::vector<int32_t> RingCounts(int32_t units) {
    const int32_t rings =
        std::max(1, static_cast<int32_t>(std::lround(std::sqrt(3.14159265358979 * units / 4))));
    std::vector<double> weight(static_cast<std::size_t>(rings));
    double sum = 0;
    for (int32_t j = 0; j < rings; ++j) {
        weight[static_cast<std::size_t>(j)] = std::sin((j + 0.5) * 3.14159265358979 / rings);
        sum += weight[static_cast<std::size_t>(j)];
    }
    std::vector<int32_t> counts(static_cast<std::size_t>(rings));
    std::vector<std::pair<double, int32_t>> rest;
    int32_t given = 0;
    for (int32_t j = 0; j < rings; ++j) {
        const double exact = units * weight[static_cast<std::size_t>(j)] / sum;
        counts[static_cast<std::size_t>(j)] = static_cast<int32_t>(exact);
        given += counts[static_cast<std::size_t>(j)];
        rest.emplace_back(exact - std::floor(exact), j);
    }
    // Largest remainders first; ties to the earlier ring.
    std::stable_sort(rest.begin(), rest.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    for (std::size_t k = 0; given < units; ++k, ++given)
        ++counts[static_cast<std::size_t>(rest[k % rest.size()].second)];
    return counts;
}

void AddZones(WorldDoc& doc, const BenchWorldOptions& o, Rng& rng, BenchWorldCounts& counts) {
    std::vector<TgmZone*> zones;
    for (int32_t i = 0; i < o.Zones; ++i) {
        TgmZone* z = doc.Zones.ZoneAdd();
        z->Longitude = static_cast<float>(rng.Unit() * 360);
        z->Polar = static_cast<float>(std::acos(1 - 2 * rng.Unit()) * 180 / 3.14159265358979);
        z->RadiusAngle = static_cast<float>(0.5 + 2 * rng.Unit());
        z->ZoneType = static_cast<uint32_t>(i) % ZoneTypeCount;
        z->Graph = z->ZoneType == 6 ? u"wall" + IntToWideQX(i % 3) : u"";
        z->Hitpoints = 100 * (i % 5);
        z->Mass = 10 * (i % 7) - 20;
        z->Damage = i % 4;
        z->ItemFlags = i % 4 == 0 ? 1u << (i % 8) : 0;
        z->ItemFreq = i % 3;
        doc.Zones.ZoneUpdate(z);
        zones.push_back(z);
    }
    const int64_t n = static_cast<int64_t>(zones.size());
    const int64_t possible = n * (n - 1) / 2;
    const int64_t wanted = std::min<int64_t>(o.ZoneLinks, possible);
    int64_t made = 0;
    auto link = [&](TgmZone* a, TgmZone* b) {
        if (a == b || doc.Zones.ZoneLinkFind(a, b) || doc.Zones.ZoneLinkFind(b, a)) return;
        TgmZoneLink* l = doc.Zones.ZoneLinkAdd();
        l->ZoneA = a;
        l->ZoneB = b;
        l->LinkType = made % 10 == 9 ? 1 : 0;
        ++made;
    };
    for (int64_t i = 0; i + 1 < n && made < wanted; ++i)
        link(zones[static_cast<std::size_t>(i)], zones[static_cast<std::size_t>(i + 1)]);
    // Then random pairs; the attempts are bounded, as few pairs may be left in a small world.
    for (int64_t tries = 0; made < wanted && tries < 100 * wanted; ++tries)
        link(zones[rng.Next() % static_cast<uint32_t>(n)],
             zones[rng.Next() % static_cast<uint32_t>(n)]);
    counts.Zones = static_cast<int32_t>(n);
    counts.ZoneLinks = static_cast<int32_t>(made);
}

} // namespace

std::u16string BenchWorldUnitName(int32_t kind) {
    return u"bench" + IntToWideQX(kind) + u".txt";
}

void BenchWorldWriteUnits(const std::string& unitFolder, const BenchWorldOptions& options) {
    CheckOptions(options);
    for (int32_t k = 0; k < options.Kinds; ++k)
        WriteDescription(ResolvePathQX(unitFolder, WideToAnsiQX(BenchWorldUnitName(k))), k,
                         options.Texture);
}

BenchWorldCounts BenchWorldBuild(WorldDoc& doc, const std::string& unitFolder,
                                 const BenchWorldOptions& options) {
    CheckOptions(options);
    doc.WorldClear();
    doc.Units.UnitPath = unitFolder;
    Rng rng(options.Seed);
    BenchWorldCounts counts;

    const std::vector<int32_t> rings = RingCounts(options.Units);
    std::vector<std::vector<TgmWorldUnit*>> placed(rings.size());
    int32_t index = 0;
    for (std::size_t j = 0; j < rings.size(); ++j) {
        const float polar = static_cast<float>((static_cast<double>(j) + 0.5) * 180.0 /
                                               static_cast<double>(rings.size()));
        const int32_t n = rings[j];
        for (int32_t k = 0; k < n; ++k, ++index) {
            const double shift = j % 2 == 0 ? 0.0 : 0.5;
            const float lon = static_cast<float>((k + shift) * 360.0 / n);
            std::string reason;
            TgmWorldUnit* u = doc.Units.UnitCreateAt(BenchWorldUnitName(index % options.Kinds), lon,
                                                     polar, &reason);
            if (!u) RaiseQX(reason);
            u->UnitType = index % 5 == 0 ? 1 : 0;
            u->TimeOffset = 250 * (index % 4);
            u->TimeLength = index % 3 == 0 ? 3000 : 0;
            doc.Units.SetKeyGroup(u, index % BenchWorldOptions::GroupsPerUnit);
            placed[j].push_back(u);
        }
    }
    doc.Units.SetCurrentUnit(nullptr);

    // Each unit's east ports join the west ports of the next unit in its ring, row by row.
    for (const std::vector<TgmWorldUnit*>& ring : placed) {
        for (std::size_t k = 0; k + 1 < ring.size(); ++k) {
            const std::vector<TPointGM*> a = doc.Points.PointsOfUnit(ring[k]);
            const std::vector<TPointGM*> b = doc.Points.PointsOfUnit(ring[k + 1]);
            if (a.size() != static_cast<std::size_t>(Rows * Columns) || a.size() != b.size())
                continue;
            for (int32_t r = 0; r < Rows; ++r) {
                doc.Points.PointLink(a[static_cast<std::size_t>(r * Columns + Columns - 1)],
                                     b[static_cast<std::size_t>(r * Columns)]);
                ++counts.LinkedPoints;
            }
        }
    }
    doc.Units.UnitCentreAll();
    AddZones(doc, options, rng, counts);

    counts.Units = doc.Units.UnitCount();
    counts.Points = doc.Points.PointCount();
    counts.Triangles = doc.Triangles.TriangleCount();
    counts.Lines = doc.Lines.LineCount();
    counts.Keys = static_cast<int32_t>(doc.Keys.Keys().Size());
    return counts;
}

} // namespace gm
