#pragma once
// Small worlds for the export tests, built object by object so that every stored number is known
// exactly, plus the little-endian pieces the expected files are made of.

#include <cstring>
#include <string>
#include <vector>

#include <zlib.h>

#include "world/WorldDoc.h"

namespace gm::test {

inline std::string U32(uint32_t v) {
    std::string s(4, '\0');
    for (std::size_t i = 0; i < 4; ++i)
        s[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}
inline std::string U16(uint32_t v) {
    return U32(v).substr(0, 2);
}
inline std::string F32(float f) {
    uint32_t v;
    std::memcpy(&v, &f, 4);
    return U32(v);
}
inline std::string Words(std::initializer_list<uint32_t> words) {
    std::string s;
    for (uint32_t w : words)
        s += U32(w);
    return s;
}

inline TgmWorldUnit* AddUnit(WorldDoc& doc, const std::u16string& desc, int32_t type = 0,
                             std::initializer_list<const char16_t*> groups = {u"0"}) {
    TgmWorldUnit* u = doc.Units.UnitAdd();
    u->DescPath = desc;
    u->UnitType = type;
    TKeyGroupList* list = doc.Keys.KeyGroupListAdd(u);
    for (const char16_t* name : groups)
        list->GroupInsert(list->GroupCount())->Name = name;
    return u;
}

inline TPointGM* AddPoint(WorldDoc& doc, TgmWorldUnit* u, float lon, float polar,
                          float radius = 1000) {
    TPointGM* p = doc.Points.PointAdd();
    doc.Points.UnitAttach(p, u);
    p->Longitude = lon;
    p->Polar = polar;
    p->Radius = radius;
    p->CalcPos();
    return p;
}

inline TLineGM* AddLine(WorldDoc& doc, TgmWorldUnit* u, TPointGM* a, TPointGM* b,
                        const std::u16string& keyStart, const std::u16string& keyEnd) {
    TLineGM* line = doc.Lines.LineAdd(doc.Keys.KeyGroupListOfUnit(u));
    doc.Lines.SetUnit(line, u);
    line->PointStart = a;
    line->PointEnd = b;
    line->KeyStart->Load(keyStart);
    line->KeyEnd->Load(keyEnd);
    return line;
}

inline TTriangleGM* AddTriangle(WorldDoc& doc, TgmWorldUnit* u, TPointGM* a, TPointGM* b,
                                TPointGM* c, const std::u16string& key) {
    TTriangleGM* tri = doc.Triangles.TriangleAdd(doc.Keys.KeyGroupListOfUnit(u));
    doc.Triangles.SetUnit(tri, u);
    TPointGM* pts[3] = {a, b, c};
    for (std::size_t i = 0; i < 3; ++i) {
        tri->Corner[i].Point = pts[i];
        tri->Corner[i].Key->Load(key);
    }
    return tri;
}

// A unit of three points round (lon, polar) with one triangle over them, so it gets a box.
inline TgmWorldUnit* AddPatch(WorldDoc& doc, float lon, float polar,
                              const std::u16string& desc = u"patch.txt") {
    TgmWorldUnit* u = AddUnit(doc, desc);
    TPointGM* a = AddPoint(doc, u, lon, polar - 0.5f);
    TPointGM* b = AddPoint(doc, u, lon - 0.5f < 0 ? lon + 359.5f : lon - 0.5f, polar + 0.5f);
    TPointGM* c = AddPoint(doc, u, lon + 0.5f >= 360 ? lon - 359.5f : lon + 0.5f, polar + 0.5f);
    AddTriangle(doc, u, a, b, c, u"1,0,ff ff ff ff");
    return u;
}

inline std::string Inflate(const std::string& packed) {
    std::string out(16u << 20, '\0');
    uLongf len = static_cast<uLongf>(out.size());
    if (uncompress(reinterpret_cast<Bytef*>(out.data()), &len,
                   reinterpret_cast<const Bytef*>(packed.data()),
                   static_cast<uLong>(packed.size())) != Z_OK)
        return "not a zlib stream";
    out.resize(len);
    return out;
}

// The raw visibility data, taken apart.
struct OptFile {
    struct Group {
        std::vector<uint16_t> Triangles;
        float Corners[12];
    };
    struct Direction {
        std::vector<uint16_t> Points;
        std::vector<uint16_t> Groups;
    };
    uint32_t LonCount = 0;
    uint32_t PolarCount = 0;
    std::vector<Group> Groups;
    std::vector<Direction> Directions;
    bool Whole = false; // every byte used, none missing

    explicit OptFile(const std::string& raw) {
        std::size_t at = 0;
        auto u32 = [&](uint32_t& v) {
            if (at + 4 > raw.size()) return false;
            std::memcpy(&v, raw.data() + at, 4);
            at += 4;
            return true;
        };
        auto u16 = [&](uint16_t& v) {
            if (at + 2 > raw.size()) return false;
            std::memcpy(&v, raw.data() + at, 2);
            at += 2;
            return true;
        };
        auto list = [&](std::vector<uint16_t>& v) {
            uint16_t n = 0;
            if (!u16(n)) return false;
            v.resize(n);
            for (uint16_t& e : v)
                if (!u16(e)) return false;
            return true;
        };
        uint32_t groups = 0;
        if (!u32(LonCount) || !u32(PolarCount) || !u32(groups)) return;
        for (uint32_t g = 0; g < groups; ++g) {
            Group& gr = Groups.emplace_back();
            if (!list(gr.Triangles) || at + 48 > raw.size()) return;
            std::memcpy(gr.Corners, raw.data() + at, 48);
            at += 48;
        }
        for (uint32_t d = 0; d < LonCount * PolarCount; ++d) {
            Direction& dir = Directions.emplace_back();
            if (!list(dir.Points) || !list(dir.Groups)) return;
        }
        Whole = at == raw.size();
    }
    const Direction& At(int lon, int polar) const {
        return Directions[static_cast<std::size_t>(lon / 5 * 37 + polar / 5)];
    }
};

} // namespace gm::test
