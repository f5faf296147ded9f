#include "world/WorldUnit.h"

#include <string>

#include <gtest/gtest.h>

#include "foundation/Codec.h"
#include "support/TempDir.h"
#include "world/WorldDoc.h"

namespace gm {
namespace {

// Two points: a plain one at the centre side and a port point at local x = portX.
std::string PortDesc(int portX, const std::string& portId) {
    const int plainX = -portX;
    return "KeyGroup {\n 0 {\n }\n}\nPoint {\n 1 {\n  Id=plain\n  Pos=" + std::to_string(plainX) +
           ",0,0\n }\n 2 {\n  Id=port\n  Pos=" + std::to_string(portX) +
           ",0,0\n  PortId=" + portId + "\n  PortLink=road\n }\n}\n";
}

constexpr float DegPerUnit = 0.05729578f; // degrees of arc per world unit at radius 1000

class PortTest : public test::TempDirTest {
protected:
    WorldDoc Doc;
    void SetUp() override {
        Doc.Units.UnitPath = Dir.Path().string();
        Dir.Write("east.txt", PortDesc(10, "a,"));  // port 10 units east of its centre
        Dir.Write("west.txt", PortDesc(-10, "b"));  // port 10 units west of its centre
        Dir.Write("blank.txt", PortDesc(-10, ",")); // only empty port names
    }
    TgmWorldUnit* Load(const char* name, float lonUnits) {
        return Doc.Units.UnitCreateAt(AnsiToWideQX(name), lonUnits * DegPerUnit, 90);
    }
};

TEST_F(PortTest, AutoLinkKeepsToNearPortsOnTheSameSide) {
    struct Case {
        const char* other;
        float otherCentre; // in units of arc east of the own unit's centre
        bool linked;
    } cases[] = {
        {"west.txt", 25, true},      // ports 5 apart
        {"west.txt", 118, true},     // 98 apart
        {"west.txt", 121, false},    // 101 apart: only below 100 (squared 10000)
        {"west.txt", 20.01f, false}, // 0.01 apart: the same place already
        {"west.txt", -5, false},     // the other port lies behind the own unit's centre
        {"blank.txt", 25, false},    // an empty name matches nothing
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.otherCentre);
        Doc.WorldClear();
        TgmWorldUnit* other = Load(c.other, c.otherCentre);
        TgmWorldUnit* own = Load("east.txt", 0);
        ASSERT_TRUE(own && other);
        Doc.Units.PortAutoLink(own);
        TPointGM* mine = Doc.Units.PointById(own, u"port");
        TPointGM* theirs = Doc.Units.PointById(other, u"port");
        EXPECT_EQ(mine->Master == theirs, c.linked);
        EXPECT_EQ(Doc.Units.PointById(own, u"plain")->Master, nullptr);
        if (c.linked) {
            EXPECT_EQ(mine->Longitude, theirs->Longitude);
        }
    }
}

} // namespace
} // namespace gm
