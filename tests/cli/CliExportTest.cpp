// export: the files "Save test" writes, the size figure, and failures that write nothing.

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <zlib.h>

#include "cli/CliRun.h"
#include "foundation/QX_Buf.h"
#include "world/WorldDoc.h"

namespace gm::test {
namespace {

using nlohmann::ordered_json;
using CliExport = TempDirTest;

// A square unit of two triangles, two lines with equal colours and a hidden line.
constexpr const char* SquareDesc = R"(KeyGroup {
    0 {
        Name=day
    }
}
Point {
    1 {
        Id=nw
        Pos=-10,-10,0
    }
    2 {
        Id=ne
        Pos=10,-10,0
    }
    3 {
        Id=se
        Pos=10,10,0
    }
    4 {
        Id=sw
        Pos=-10,10,0
    }
}
Polygon {
    1 {
        0 {
            Point=1
            UV=0,0
            Diffuse=1,0,ff 00 00 ff
        }
        1 {
            Point=2
            UV=0,0
            Diffuse=1,0,ff 00 00 ff
        }
        2 {
            Point=3
            UV=0,0
            Diffuse=1,0,ff 00 00 ff
        }
    }
    2 {
        0 {
            Point=1
            UV=0,0
            Diffuse=1,0,00 ff 00 ff
        }
        1 {
            Point=3
            UV=0,0
            Diffuse=1,0,00 ff 00 ff
        }
        2 {
            Point=4
            UV=0,0
            Diffuse=1,0,00 ff 00 ff
        }
    }
}
Line {
    1 {
        PointStart=1
        PointEnd=2
        DiffuseStart=1,0,ff ff ff ff
        DiffuseEnd=1,0,ff ff ff ff
    }
    2 {
        PointStart=3
        PointEnd=4
        DiffuseStart=1,0,ff ff ff ff
        DiffuseEnd=1,0,ff ff ff ff
        Type=hide
    }
}
)";

// Little-endian reader over a file's bytes.
struct Reader {
    std::string Bytes;
    std::size_t Pos = 0;
    uint32_t U32() {
        EXPECT_LE(Pos + 4, Bytes.size());
        uint32_t v = 0;
        if (Pos + 4 <= Bytes.size()) std::memcpy(&v, Bytes.data() + Pos, 4);
        Pos += 4;
        return v;
    }
    float F32() {
        const uint32_t bits = U32();
        float f = 0;
        std::memcpy(&f, &bits, 4);
        return f;
    }
    uint8_t Byte() { return Pos < Bytes.size() ? static_cast<uint8_t>(Bytes[Pos++]) : 0; }
    uint16_t U16() {
        const uint16_t lo = Byte();
        return static_cast<uint16_t>(lo | (Byte() << 8));
    }
};

std::string Inflate(const std::string& packed, std::size_t size) {
    std::string out(size, '\0');
    uLongf len = static_cast<uLongf>(size);
    const int rc = uncompress(reinterpret_cast<Bytef*>(out.data()), &len,
                              reinterpret_cast<const Bytef*>(packed.data()),
                              static_cast<uLong>(packed.size()));
    EXPECT_EQ(rc, Z_OK);
    out.resize(len);
    return out;
}

// The visibility data of a world whose directions all see nothing: 72, 37, the groups, then two
// zero words per direction.
constexpr std::size_t EmptyDirections = 72 * 37 * 4;

class CliExportWorld : public TempDirTest {
protected:
    std::string Units;

    void SetUp() override { Units = Dir.Write("units/square.txt", SquareDesc); }

    // The square at (lon, polar) and, when excludeAll, an "Exclude" zone wider than the sphere.
    std::string Build(bool excludeAll) {
        WorldDoc doc;
        doc.Units.UnitPath = Dir.File("units");
        EXPECT_NE(doc.Units.UnitCreateAt(u"square.txt", 30, 60), nullptr);
        TgmZone* a = doc.Zones.ZoneAdd();
        a->Longitude = 30;
        a->Polar = 60;
        a->RadiusAngle = excludeAll ? 181.0f : 2.0f;
        a->ZoneType = excludeAll ? 10u : 0u;
        a->Graph = u"gate";
        a->Hitpoints = 7;
        TgmZone* b = doc.Zones.ZoneAdd();
        b->Longitude = 200;
        b->Polar = 100;
        b->RadiusAngle = 1;
        b->ZoneType = 5;
        TgmZoneLink* link = doc.Zones.ZoneLinkAdd();
        link->ZoneA = b;
        link->ZoneB = a;
        link->LinkType = 1;
        doc.Zones.ZoneUpdateAll();
        TBufQX buf;
        doc.WorldWrite(buf);
        const std::string path = Dir.File(excludeAll ? "excluded.raw" : "square.raw");
        buf.SaveToFile(path);
        return path;
    }
};

TEST_F(CliExport, EmptyWorldGivesTheBareFilesAndTheFigure21312) {
    const std::string world = Dir.Write("e.raw", RawWorld(3, 1000).Zeros(7).Bytes());
    const std::string map = Dir.File("edit.map"), opt = Dir.File("edit.opt");
    const CliResult r = RunCli(Dir, {"export", world, map, opt});
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(r.Out, "Opt size: 21312\n");
    EXPECT_EQ(r.Err, "");
    // Tag, format 1, radius, empty pool; no points, lines, zones, links or triangles.
    EXPECT_EQ(TempDir::Read(map),
              "gmwm" + RawWorld(1, 1000).Bytes().substr(4) + std::string(4 * 6, '\0'));
    const std::string raw = Inflate(TempDir::Read(opt), 12 + EmptyDirections + 64);
    Reader v{raw};
    EXPECT_EQ(v.U32(), 72u);
    EXPECT_EQ(v.U32(), 37u);
    EXPECT_EQ(v.U32(), 0u);
    EXPECT_EQ(raw.size(), 12 + EmptyDirections);
    EXPECT_EQ(raw.find_first_not_of('\0', 12), std::string::npos);
}

TEST_F(CliExportWorld, ExportAgreesWithTheDumpAndComputesBoundingBoxes) {
    const std::string world = Build(false);
    const ordered_json j = DumpWorld(Dir, world);
    const std::string map = Dir.File("edit.map"), opt = Dir.File("edit.opt");
    const CliResult r = RunCli(Dir, {"export", world, map, opt});
    ASSERT_EQ(r.Code, 0) << r.Err;
    ASSERT_EQ(r.Out.rfind("Opt size: ", 0), 0u) << r.Out;
    // One unit with a box (48 + 4 per triangle) seen from some directions.
    EXPECT_GT(std::stoll(r.Out.substr(10)), 21312 + 48 + 8);

    Reader m{TempDir::Read(map)};
    EXPECT_EQ(m.Bytes.substr(0, 4), "gmwm");
    m.Pos = 4;
    EXPECT_EQ(m.U32(), 1u);
    EXPECT_EQ(m.F32(), 1000.0f);
    m.Pos += m.U32(); // the key pool
    ASSERT_EQ(m.U32(), 4u);
    for (int i = 0; i < 4; ++i) {
        const ordered_json& p = j["points"][i];
        EXPECT_EQ(m.F32(), p["longitude"].get<float>()) << i;
        EXPECT_EQ(m.F32(), p["polar"].get<float>()) << i;
        EXPECT_EQ(m.F32(), p["radius"].get<float>()) << i;
    }
    ASSERT_EQ(m.U32(), 2u);
    const uint32_t start = m.U32(), end = m.U32();
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 1u);
    EXPECT_EQ(m.Byte(), 1);
    EXPECT_EQ(m.Byte(), 0);
    m.Pos += 8; // two pool offsets
    EXPECT_EQ(m.U32(), 2u);
    EXPECT_EQ(m.U32(), 3u);
    EXPECT_EQ(m.Byte(), 0); // hidden: no offsets follow
    EXPECT_EQ(m.Byte(), 0);
    // The zone section as the dump shows it, zones numbered from 0 in the link.
    ASSERT_EQ(m.U32(), 2u);
    for (int i = 0; i < 2; ++i) {
        const ordered_json& z = j["zones"][i];
        EXPECT_EQ(m.F32(), z["longitude"].get<float>());
        EXPECT_EQ(m.F32(), z["polar"].get<float>());
        EXPECT_EQ(m.F32(), z["radiusAngle"].get<float>());
        EXPECT_EQ(m.U32(), z["type"].get<uint32_t>());
        std::u16string graph;
        while (const uint16_t c = m.U16())
            graph += static_cast<char16_t>(c);
        EXPECT_EQ(graph, i == 0 ? u"gate" : u"");
        EXPECT_EQ(m.U32(), z["hitpoints"].get<uint32_t>());
        m.Pos += 16; // mass, damage, flags, frequency
    }
    ASSERT_EQ(m.U32(), 1u);
    EXPECT_EQ(m.U32(), 1u);
    EXPECT_EQ(m.U32(), 0u);
    EXPECT_EQ(m.U32(), 1u);
    ASSERT_EQ(m.U32(), 2u); // triangles, 28 bytes each
    EXPECT_EQ(m.Pos + 2 * 28, m.Bytes.size());

    // The unit's box made it into the visibility file as one group of two triangles.
    Reader v{Inflate(TempDir::Read(opt), 1 << 20)};
    EXPECT_EQ(v.U32(), 72u);
    EXPECT_EQ(v.U32(), 37u);
    EXPECT_EQ(v.U32(), 1u);
    EXPECT_EQ(v.U16(), 2u);
}

TEST_F(CliExportWorld, AnExcludeZoneOverTheWholeSphereEmptiesEveryDirection) {
    const std::string world = Build(true);
    const std::string map = Dir.File("x.map"), opt = Dir.File("x.opt");
    const CliResult r = RunCli(Dir, {"export", world, map, opt});
    ASSERT_EQ(r.Code, 0) << r.Err;
    // The group is still counted (48 + 4 per triangle); no direction adds anything.
    EXPECT_EQ(r.Out, "Opt size: 21368\n");
    const std::string raw = Inflate(TempDir::Read(opt), 1 << 20);
    const std::size_t group = 2 + 2 * 2 + 12 * 4;
    EXPECT_EQ(raw.size(), 12 + group + EmptyDirections);
    EXPECT_EQ(raw.find_first_not_of('\0', 12 + group), std::string::npos);
}

TEST_F(CliExportWorld, ZonesAndLinksDumpWithTheirFields) {
    const ordered_json j = DumpWorld(Dir, Build(false));
    ASSERT_EQ(j["zones"].size(), 2u);
    const ordered_json& a = j["zones"][0];
    std::vector<std::string> keys;
    for (const auto& item : a.items())
        keys.push_back(item.key());
    EXPECT_EQ(keys, (std::vector<std::string>{"longitude", "polar", "radiusAngle", "radiusLen",
                                              "type", "graph", "hitpoints", "mass", "damage",
                                              "itemFlags", "itemFreq"}));
    EXPECT_EQ(a["longitude"], 30.0);
    EXPECT_EQ(a["radiusAngle"], 2.0);
    // 2 degrees of a sphere of radius 1000: 1000 * pi * 2 / 180.
    EXPECT_NEAR(a["radiusLen"].get<double>(), 34.9066, 1e-3);
    EXPECT_EQ(a["graph"], "gate");
    EXPECT_EQ(a["hitpoints"], 7);
    EXPECT_EQ(j["zones"][1]["type"], 5);
    EXPECT_EQ(j["zoneLinks"], ordered_json::array({{{"zoneA", 1}, {"zoneB", 0}, {"linkType", 1}}}));
}

TEST_F(CliExport, AWorldTheEndFileCannotHoldWritesNothing) {
    // The fixture's second line names a point its description does not have.
    const std::string world = Dir.File("pair.raw");
    ASSERT_EQ(
        RunCli(Dir, {"place", "--unit-path", UnitsDir(), "--out", world, "sub/pair.txt@5,5"}).Code,
        0);
    const std::string map = Dir.File("edit.map"), opt = Dir.File("edit.opt");
    const std::string oldMap = Dir.Write("old.map", "old map"), oldOpt = Dir.Write("old.opt", "o");
    for (const auto& [m, o] : {std::pair{map, opt}, std::pair{oldMap, oldOpt}}) {
        const CliResult r = RunCli(Dir, {"export", world, m, o});
        EXPECT_EQ(r.Code, 1);
        EXPECT_EQ(r.Out, "");
        EXPECT_EQ(r.Err.rfind("Error : ", 0), 0u);
        EXPECT_NE(r.Err.find("sub\\pair.txt"), std::string::npos) << r.Err;
    }
    EXPECT_FALSE(FileExists(map));
    EXPECT_FALSE(FileExists(opt));
    EXPECT_EQ(TempDir::Read(oldMap), "old map");
    EXPECT_EQ(TempDir::Read(oldOpt), "o");
}

TEST_F(CliExport, AVisibilityFileThatCannotBeWrittenLeavesNoEndFile) {
    const std::string world = Dir.Write("e.raw", RawWorld(3, 1000).Zeros(7).Bytes());
    const std::string map = Dir.File("edit.map"), opt = Dir.File("missing/dir/edit.opt");
    const CliResult r = RunCli(Dir, {"export", world, map, opt});
    EXPECT_EQ(r.Code, 1);
    EXPECT_NE(r.Err.find(opt), std::string::npos) << r.Err;
    EXPECT_FALSE(FileExists(map));
    // Nor any temporary file beside it.
    for (const auto& entry : std::filesystem::directory_iterator(Dir.Path()))
        EXPECT_EQ(entry.path().filename().string().find("edit.map"), std::string::npos)
            << entry.path();
}

TEST_F(CliExport, TheTwoFilesMustDiffer) {
    const std::string world = Dir.Write("e.raw", RawWorld(3, 1000).Zeros(7).Bytes());
    const std::string same = Dir.File("edit.out");
    const CliResult r = RunCli(Dir, {"export", world, same, same});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Err.rfind("Error : ", 0), 0u);
    EXPECT_FALSE(FileExists(same));
}

TEST_F(CliExport, TheDemoWorldExports) {
    const std::string map = Dir.File("demo.map"), opt = Dir.File("demo.opt");
    const CliResult r =
        RunCli(Dir, {"export", std::string(GM_SOURCE_DIR) + "/examples/worlds/demo.raw", map, opt});
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_GT(std::stoll(r.Out.substr(10)), 21312);
    EXPECT_EQ(TempDir::Read(map).substr(0, 4), "gmwm");
}

} // namespace
} // namespace gm::test
