// Damaged parameter-block files: unit descriptions placed with Unit > Load, the game's list of
// zone graph names, and a game folder that cannot take the export. Each ends with the error of
// its operation and leaves the world as it was.

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/Codec.h"
#include "foundation/QX_Error.h"
#include "harness/FuzzChecks.h"
#include "render/Camera.h"
#include "support/TempDir.h"
#include "world/UnitLoad.h"
#include "world/WorldDoc.h"
#include "zones/ExportWorld.h"
#include "zones/GMOpt.h"

namespace gm {
namespace {

// One group, two points, a triangle and a line: a description that loads. Cases replace a part.
struct Desc {
    std::string Groups = "KeyGroup {\n    0 {\n        Name=day\n    }\n}\n";
    std::string Points = "Point {\n    1 {\n        Id=a\n        Pos=-10,0,0\n    }\n"
                         "    2 {\n        Id=b\n        Pos=10,0,0\n    }\n}\n";
    std::string Key = "1,0,ff 00 00 ff";
    std::string BackFace = "1";
    std::string Text() const {
        std::string corners;
        for (const char* n : {"0", "1", "2"})
            corners += std::string("        ") + n +
                       " {\n            Point=" + (n[0] == '2' ? "2" : "1") +
                       "\n            UV=0,0\n            Diffuse=" + Key + "\n        }\n";
        return Groups + Points + "Polygon {\n    1 {\n        BackFace=" + BackFace + "\n" +
               corners +
               "    }\n}\nLine {\n    1 {\n        PointStart=1\n        PointEnd=2\n"
               "        DiffuseStart=" +
               Key + "\n        DiffuseEnd=" + Key + "\n    }\n}\n";
    }
};

class MalformedDescTest : public test::TempDirTest {
protected:
    void SetUp() override {
        std::filesystem::create_directories(Dir.Path() / "units");
        Dir.Write("units/good.txt", Desc().Text());
        ASSERT_EQ(Place("good.txt").Status, UnitLoadResult::Outcome::Placed);
        Before = fuzz::WorldBytes(Doc);
    }

    std::string Units() const { return Dir.File("units"); }
    UnitLoadResult Place(const std::string& name) {
        const TSpherePick pick{true, 30.0f, 70.0f};
        return UnitLoadAtPick(Doc.Units, AnsiToWideQX(Units()),
                              AnsiToWideQX(Dir.File("units/" + name)), pick);
    }
    // Placing the description fails with the message and changes nothing in the world.
    void ExpectRefused(const std::string& name, const std::string& message) {
        TgmWorldUnit* current = Doc.Units.UnitCurrent();
        const UnitLoadResult r = Place(name);
        EXPECT_EQ(r.Status, UnitLoadResult::Outcome::Failed);
        EXPECT_EQ(r.Reason, message);
        EXPECT_EQ(r.Unit, nullptr);
        EXPECT_EQ(Doc.Units.UnitCount(), 1);
        EXPECT_EQ(Doc.Units.UnitCurrent(), current);
        EXPECT_EQ(fuzz::WorldBytes(Doc), Before);
    }

    WorldDoc Doc;
    std::string Before;
};

TEST_F(MalformedDescTest, EmptyFile) {
    Dir.Write("units/empty.txt", "");
    ExpectRefused("empty.txt", "TBlockParQX.Block_Get. name=KeyGroup");
}

TEST_F(MalformedDescTest, DirectoryWhereTheDescriptionShouldBe) {
    std::filesystem::create_directory(Dir.Path() / "units" / "folder.txt");
    ExpectRefused("folder.txt", "TFileQX.Open. FileName=" + Dir.File("units/folder.txt"));
}

TEST_F(MalformedDescTest, MissingBlocksAndParameters) {
    Desc noPoints;
    noPoints.Points.clear();
    Dir.Write("units/nopoints.txt", noPoints.Text());
    ExpectRefused("nopoints.txt", "TBlockParQX.Block_Get. name=Point");

    Desc noPos;
    noPos.Points = "Point {\n    1 {\n        Id=a\n    }\n}\n";
    Dir.Write("units/nopos.txt", noPos.Text());
    ExpectRefused("nopos.txt", "TBlockParQX.Block_Get. name=Pos");

    Desc unnumbered;
    unnumbered.Points = "Point {\n    first {\n        Id=a\n        Pos=0,0,0\n    }\n}\n";
    Dir.Write("units/unnumbered.txt", unnumbered.Text());
    ExpectRefused("unnumbered.txt", "Unit description has no point: unnumbered.txt");

    Desc noGroup;
    noGroup.Groups = "KeyGroup {\n}\n";
    Dir.Write("units/nogroup.txt", noGroup.Text());
    ExpectRefused("nogroup.txt",
                  "Unit description has triangles or lines but no key group: nogroup.txt");
}

TEST_F(MalformedDescTest, HeaderWithoutAName) {
    Desc d;
    d.Groups += "{ x=1\n";
    Dir.Write("units/nameless.txt", d.Text());
    ExpectRefused("nameless.txt", "TBlockParQX.LoadFromBuf_r. tstr={ x=1");
}

TEST_F(MalformedDescTest, BackFaceThatIsNotANumber) {
    Desc d;
    d.BackFace = "yes";
    Dir.Write("units/backface.txt", d.Text());
    ExpectRefused("backface.txt", "TTriangleGM.LoadDesc. BackFace=yes");
}

TEST_F(MalformedDescTest, KeyTextsWithWrongItemCountsAndAbsurdCounts) {
    struct Case {
        const char* name;
        std::string key;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"no value", "1,0", "TKeyGM.Load"},
        {"a value of five bytes", "1,0,ff 00 00 ff 00", "TKeyGM.Load"},
        {"no keys", "0,ff 00 00 ff", "TKeyGM.KeyDelete"},
        {"an absurd count", "4294967295,0,ff 00 00 ff", "TKeyGM.Load"},
        {"a count beyond its durations", "3,0,ff 00 00 ff", "TKeyGM.Load"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Desc d;
        d.Key = c.key;
        Dir.Write("units/key.txt", d.Text());
        ExpectRefused("key.txt", c.message);
    }
}

TEST_F(MalformedDescTest, SelfIncludingDescriptions) {
    Desc self;
    self.Groups = "KeyGroup=self.txt {\n}\n";
    Dir.Write("units/self.txt", self.Text());
    ExpectRefused("self.txt",
                  "TBlockParQX.LoadFromFile. include cycle FileName=" + Dir.File("units/self.txt"));

    // Two files that include each other, one through a folder and another case.
    Desc a;
    a.Groups = "KeyGroup=Sub\\B.TXT {\n}\n";
    Dir.Write("units/a.txt", a.Text());
    Dir.Write("units/sub/b.txt", "Back=..\\a.txt {\n}\n");
#ifdef _WIN32
    // Windows opens names in the case they are asked for; elsewhere the case on disk is found.
    const std::string second = Dir.File("units/Sub/../a.txt");
#else
    const std::string second = Dir.File("units/sub/../a.txt");
#endif
    ExpectRefused("a.txt", "TBlockParQX.LoadFromFile. include cycle FileName=" + second);
}

TEST_F(MalformedDescTest, IncludeThatIsAFolderOrMissing) {
    std::filesystem::create_directory(Dir.Path() / "units" / "groups");
    Desc d;
    d.Groups = "KeyGroup=groups {\n}\n";
    Dir.Write("units/folder-include.txt", d.Text());
    ExpectRefused("folder-include.txt", "TFileQX.Open. FileName=" + Dir.File("units/groups"));

    d.Groups = "KeyGroup=missing.txt {\n}\n";
    Dir.Write("units/missing-include.txt", d.Text());
    ExpectRefused("missing-include.txt", "TFileQX.Open. FileName=" + Dir.File("units/missing.txt"));
}

TEST_F(MalformedDescTest, DeeplyNestedBlocks) {
    Desc d;
    for (int i = 0; i < 300; ++i)
        d.Groups += "Deeper {\n";
    Dir.Write("units/deep.txt", d.Text());
    ExpectRefused("deep.txt", "TBlockParQX.LoadFromBuf_r. depth>256");

    // Nesting through includes counts alike: each file nests two blocks and includes the next
    // in a third.
    Desc chain;
    chain.Groups = "Deeper=n0.txt {\n}\n";
    Dir.Write("units/chain.txt", chain.Text());
    for (int i = 0; i < 100; ++i)
        Dir.Write("units/n" + std::to_string(i) + ".txt",
                  "A {\nB {\nDeeper=n" + std::to_string(i + 1) + ".txt {\n}\n}\n}\n");
    ExpectRefused("chain.txt", "TBlockParQX.LoadFromBuf_r. depth>256");
}

TEST_F(MalformedDescTest, IncludesThatMultiply) {
    // No file includes itself, but each includes the next thirty times: 27931 files to read.
    const auto includes = [](const std::string& file) {
        std::string text;
        for (int i = 0; i < 30; ++i)
            text += "Part=" + file + " {\n}\n";
        return text;
    };
    Desc d;
    d.Groups += includes("f1.txt");
    Dir.Write("units/fan.txt", d.Text());
    Dir.Write("units/f1.txt", includes("f2.txt"));
    Dir.Write("units/f2.txt", includes("f3.txt"));
    Dir.Write("units/f3.txt", "x=1\n");
    ExpectRefused("fan.txt",
                  "TBlockParQX.LoadFromFile. files>256 FileName=" + Dir.File("units/f3.txt"));
}

// --- The game's list of zone graph names ----------------------------------------------------

class MalformedGraphListTest : public test::TempDirTest {
protected:
    std::string Game() const { return Dir.File("game"); }
    std::string ListFile() const { return Dir.File("game/CFG/CD/GMWall.txt"); }
};

TEST_F(MalformedGraphListTest, DamagedListsGiveNoNamesAndTheReason) {
    struct Case {
        const char* name;
        std::string text;
        std::string error; // after the file name and ": "
    };
    const std::vector<Case> cases = {
        {"empty file", "", "TBlockParQX.Block_Get. name=2"},
        {"no block 2", "1 {\nroad=1\n}\n", "TBlockParQX.Block_Get. name=2"},
        {"includes itself", "2=GMWall.txt {\n}\n",
         "TBlockParQX.LoadFromFile. include cycle FileName=" + ListFile()},
        {"header without a name", "2 {\nroad=1\n{\n", "TBlockParQX.LoadFromBuf_r. tstr={"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Dir.Write("game/CFG/CD/GMWall.txt", c.text);
        const ZoneGraphList list = ZoneGraphsLoad(Game());
        EXPECT_TRUE(list.Names.empty());
        EXPECT_EQ(list.Error, ListFile() + ": " + c.error);
    }
}

TEST_F(MalformedGraphListTest, DirectoryWhereTheListShouldBeCountsAsNoList) {
    std::filesystem::create_directories(ListFile());
    const ZoneGraphList list = ZoneGraphsLoad(Game());
    EXPECT_TRUE(list.Names.empty());
    EXPECT_EQ(list.Error, ""); // as for a missing file: the editor starts with an empty list
}

// --- A game folder that cannot take the export ----------------------------------------------

class MalformedExportTargetTest : public test::TempDirTest {
protected:
    void SetUp() override { test::AddPatch(Doc, 20, 80); }
    std::string Export(const std::string& map, const std::string& opt) {
        Camera camera;
        OptState state;
        try {
            EndExport(Doc, camera, state, map, opt);
        } catch (const ErrorQX& e) {
            return e.Message();
        }
        return {};
    }
    WorldDoc Doc;
};

TEST_F(MalformedExportTargetTest, DirectoryWhereTheEndFileShouldBe) {
    std::filesystem::create_directories(Dir.Path() / "DATA" / "edit.map");
    const std::string opt = Dir.Write("DATA/edit.opt", "old opt");
    const std::string map = Dir.File("DATA/edit.map");
    EXPECT_EQ(Export(map, opt), "TFileQX.CreateNew. FileName=" + map);
    EXPECT_TRUE(std::filesystem::is_directory(map));
    EXPECT_EQ(test::TempDir::Read(opt), "old opt");
}

TEST_F(MalformedExportTargetTest, DirectoryWhereTheVisibilityFileShouldBe) {
    std::filesystem::create_directories(Dir.Path() / "DATA" / "edit.opt");
    const std::string map = Dir.Write("DATA/edit.map", "old map");
    const std::string opt = Dir.File("DATA/edit.opt");
    EXPECT_EQ(Export(map, opt), "TFileQX.CreateNew. FileName=" + opt);
    EXPECT_EQ(test::TempDir::Read(map), "old map"); // not replaced by a half export
    EXPECT_TRUE(std::filesystem::is_directory(opt));
}

TEST_F(MalformedExportTargetTest, MissingDataFolder) {
    const std::string map = Dir.File("DATA/edit.map");
    EXPECT_EQ(Export(map, Dir.File("DATA/edit.opt")), "TFileQX.CreateNew. FileName=" + map);
    EXPECT_FALSE(std::filesystem::exists(Dir.Path() / "DATA"));
}

} // namespace
} // namespace gm
