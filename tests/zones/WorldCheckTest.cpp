#include "zones/WorldCheck.h"

#include <cctype>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/QX_Error.h"
#include "render/Camera.h"
#include "support/TempDir.h"
#include "zones/ExportWorld.h"
#include "zones/GMOpt.h"

namespace gm {
namespace {

using test::AddLine;
using test::AddPatch;
using test::AddPoint;
using test::AddTriangle;
using test::AddUnit;

const std::u16string Red = u"1,0,ff 00 00 ff";

TgmZone* AddZone(WorldDoc& doc, float lon, float polar, float radiusAngle, uint32_t type = 0) {
    TgmZone* z = doc.Zones.ZoneAdd();
    z->Longitude = lon;
    z->Polar = polar;
    z->RadiusAngle = radiusAngle;
    z->ZoneType = type;
    doc.Zones.ZoneUpdate(z);
    return z;
}

// A unit with a port point ("a", link "road") at portLon and a plain point at centreLon.
TPointGM* AddPortUnit(WorldDoc& doc, const std::u16string& desc, float centreLon, float portLon) {
    TgmWorldUnit* u = AddUnit(doc, desc);
    AddPoint(doc, u, centreLon, 90);
    TPointGM* port = AddPoint(doc, u, portLon, 90);
    port->PortId = u"a";
    port->PortLink = u"road";
    return port;
}

std::string AllText(const std::vector<CheckProblem>& problems) {
    std::string text;
    for (const CheckProblem& p : problems)
        text += CheckProblemText(p) + "\n";
    return text;
}

struct Case {
    const char* Name;
    std::function<void(WorldDoc&)> Fault;
    const char* Code;
    CheckSeverity Severity;
};

const Case Cases[] = {
    {"line without end",
     [](WorldDoc& d) {
         TgmWorldUnit* u = d.Units.List().First();
         AddLine(d, u, d.Points.First(), nullptr, Red, Red);
     },
     "line-without-point", CheckSeverity::Error},
    {"triangle without point",
     [](WorldDoc& d) {
         TgmWorldUnit* u = d.Units.List().First();
         AddTriangle(d, u, d.Points.First(), nullptr, d.Points.First(), Red);
     },
     "triangle-without-point", CheckSeverity::Error},
    {"triangle without unit",
     [](WorldDoc& d) {
         TTriangleGM* t =
             d.Triangles.TriangleAdd(d.Keys.KeyGroupListOfUnit(d.Units.List().First()));
         for (TTriangleCorner& c : t->Corner)
             c.Point = d.Points.First();
     },
     "triangle-without-unit", CheckSeverity::Error},
    {"self-linked point",
     [](WorldDoc& d) { d.Points.SetMaster(d.Points.First(), d.Points.First()); },
     "point-link-damaged", CheckSeverity::Error},
    {"more points than 16 bits number",
     [](WorldDoc& d) {
         TgmWorldUnit* u = AddUnit(d, u"many.txt");
         for (int64_t i = d.Points.PointMasterCount(); i <= OptMaxCount; ++i)
             AddPoint(d, u, 200, 100);
     },
     "visibility-limit", CheckSeverity::Error},
    {"animation longer than the key pool",
     [](WorldDoc& d) {
         // Typed, three groups, the longest time length: past the pool's limit at any setting.
         TgmWorldUnit* u = AddUnit(d, u"long.txt", 1, {u"0", u"1", u"2"});
         u->TimeLength = 2'100'000'000;
         TPointGM* p = AddPoint(d, u, 100, 100);
         AddTriangle(d, u, p, p, p, u"1,0,ff 00 00 ff,ff 00 00 ff,ff 00 00 ff");
     },
     "key-too-long", CheckSeverity::Error},
    {"units stacked", [](WorldDoc& d) { AddPatch(d, 40, 60); }, "units-stacked",
     CheckSeverity::Warning},
    {"zones stacked",
     [](WorldDoc& d) {
         AddZone(d, 120, 30, 1);
         AddZone(d, 120, 30, 2);
     },
     "zones-stacked", CheckSeverity::Warning},
    {"zone of radius zero", [](WorldDoc& d) { AddZone(d, 120, 30, 0); }, "zone-radius-zero",
     CheckSeverity::Warning},
    {"zone link to itself",
     [](WorldDoc& d) {
         TgmZone* z = AddZone(d, 120, 30, 1);
         TgmZoneLink* l = d.Zones.ZoneLinkAdd();
         l->ZoneA = l->ZoneB = z;
     },
     "zone-link-same-zone", CheckSeverity::Warning},
    {"key group beyond its list", [](WorldDoc& d) { d.Units.List().First()->KeyGroup = 3; },
     "key-group-out-of-range", CheckSeverity::Warning},
    {"point without unit", [](WorldDoc& d) { d.Points.PointAdd(); }, "point-without-unit",
     CheckSeverity::Warning},
    {"ports close but not linked",
     [](WorldDoc& d) {
         AddPortUnit(d, u"east.txt", 200, 200.2f);
         AddPortUnit(d, u"west.txt", 200.6f, 200.4f);
     },
     "port-not-linked", CheckSeverity::Warning},
};

class WorldCheckCase : public ::testing::TestWithParam<Case> {};

// Each fault alone on a sound world: exactly its problem, with the objects found in their lists,
// and an error exactly when the export refuses the world.
TEST_P(WorldCheckCase, FindsTheFaultAndAgreesWithTheExport) {
    const Case& c = GetParam();
    WorldDoc doc;
    AddPatch(doc, 40, 60);
    c.Fault(doc);
    doc.Units.UnitCentreAll();

    const std::vector<CheckProblem> problems = WorldCheck(doc);
    ASSERT_EQ(problems.size(), 1u) << AllText(problems);
    EXPECT_EQ(problems[0].Code, c.Code);
    EXPECT_EQ(problems[0].Severity, c.Severity);
    EXPECT_FALSE(problems[0].Message.empty());
    for (const CheckObject& o : problems[0].Objects)
        EXPECT_GE(o.Index, 0) << CheckObjectKindName(o.Kind);

    test::TempDir dir;
    Camera cam;
    OptState opt;
    bool failed = false;
    try {
        EndExport(doc, cam, opt, dir.File("edit.map"), dir.File("edit.opt"));
    } catch (const ErrorQX&) {
        failed = true;
    }
    EXPECT_EQ(failed, c.Severity == CheckSeverity::Error);
}

INSTANTIATE_TEST_SUITE_P(Faults, WorldCheckCase, ::testing::ValuesIn(Cases),
                         [](const ::testing::TestParamInfo<Case>& param) {
                             std::string name = param.param.Name;
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return name;
                         });

TEST(WorldCheck, ASoundWorldHasNoProblems) {
    WorldDoc doc;
    AddPatch(doc, 40, 60);
    AddPatch(doc, 40, 120); // same description elsewhere
    AddZone(doc, 120, 30, 1);
    AddZone(doc, 120, 30, 1, 3); // same place, other type
    TPointGM* a = AddPortUnit(doc, u"east.txt", 200, 200.2f);
    TPointGM* b = AddPortUnit(doc, u"west.txt", 200.6f, 200.4f);
    doc.Points.PointLink(a, b);
    doc.Units.UnitCentreAll();
    const std::vector<CheckProblem> problems = WorldCheck(doc);
    EXPECT_TRUE(problems.empty()) << AllText(problems);
}

TEST(WorldCheck, ReportsEveryErrorAtOnceBeforeTheWarnings) {
    WorldDoc doc;
    AddZone(doc, 10, 10, 0);
    TgmWorldUnit* u = AddPatch(doc, 40, 60);
    AddLine(doc, u, nullptr, nullptr, Red, Red);
    AddLine(doc, u, doc.Points.First(), nullptr, Red, Red);
    doc.Points.SetMaster(doc.Points.First(), doc.Points.First());
    const std::vector<CheckProblem> problems = WorldCheck(doc);
    std::vector<std::string> codes;
    for (const CheckProblem& p : problems)
        codes.push_back(p.Code);
    EXPECT_EQ(codes, (std::vector<std::string>{"line-without-point", "line-without-point",
                                               "point-link-damaged", "zone-radius-zero"}));
    EXPECT_EQ(CountProblems(problems).Errors, 3);
    EXPECT_EQ(CountProblems(problems).Warnings, 1);
    EXPECT_EQ(CheckProblemText(problems[1])
                  .rfind("error line-without-point: A line of unit "
                         "\"patch.txt\"",
                         0),
              0u);
    EXPECT_NE(CheckProblemText(problems[1]).find("(line 1, unit 0)"), std::string::npos);
}

TEST(WorldCheck, MissingDescriptionsAndTexturesOnlyWhenFoldersAreGiven) {
    test::TempDir dir;
    WorldDoc doc;
    AddPatch(doc, 40, 60, u"here.txt");
    AddPatch(doc, 40, 120, u"gone.txt");
    AddPatch(doc, 40, 150, u"gone.txt");
    for (TTriangleGM* t : doc.Triangles.List())
        t->Texture = t->Unit == doc.Units.List().First() ? u"tex\\ok.png" : u"tex\\lost.png";
    dir.Write("here.txt", "");
    std::filesystem::create_directory(dir.Path() / "tex");
    dir.Write("tex/ok.png", "");
    doc.Units.UnitCentreAll();

    EXPECT_TRUE(WorldCheck(doc).empty());
    const std::vector<CheckProblem> problems =
        WorldCheck(doc, CheckOptions{dir.Path().string(), dir.Path().string()});
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_EQ(problems[0].Code, "unit-desc-missing");
    EXPECT_EQ(problems[1].Code, "unit-texture-missing");
    for (const CheckProblem& p : problems) {
        ASSERT_EQ(p.Objects.size(), 2u) << p.Message; // once per unit, not per triangle
        EXPECT_EQ(p.Objects[0].Index, 1);
        EXPECT_EQ(p.Objects[1].Index, 2);
    }
}

} // namespace
} // namespace gm
