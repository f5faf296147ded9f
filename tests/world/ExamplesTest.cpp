// The bundled example content stays usable: every unit description loads, the demo world opens,
// matches the descriptions it was built from and names only textures that exist, and the game
// folder's graph list has names.

#include <filesystem>
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "foundation/Codec.h"
#include "foundation/PathResolver.h"
#include "foundation/QX_BlockPar.h"
#include "support/TempDir.h"
#include "world/WorldDoc.h"

namespace gm {
namespace {

namespace fs = std::filesystem;

const std::string Examples = GM_SOURCE_DIR "/examples";

struct UnitShape {
    std::size_t Points = 0, Triangles = 0, Lines = 0;
    int32_t Groups = 0;
    bool operator==(const UnitShape&) const = default;
};

UnitShape ShapeOf(WorldDoc& doc, const TgmWorldUnit* u) {
    UnitShape s;
    s.Points = doc.Points.PointsOfUnit(u).size();
    s.Triangles = doc.Triangles.TrianglesOfUnit(u).size();
    for (const TLineGM* l : doc.Lines.List())
        if (l->Unit == u) ++s.Lines;
    s.Groups = doc.Keys.KeyGroupListOfUnit(u)->GroupCount();
    return s;
}

TEST(ExamplesTest, EveryUnitDescriptionLoads) {
    WorldDoc doc;
    doc.Units.UnitPath = Examples + "/units";
    int count = 0;
    for (const fs::directory_entry& e : fs::directory_iterator(doc.Units.UnitPath)) {
        if (e.path().extension() != ".txt") continue;
        std::string reason;
        EXPECT_NE(
            doc.Units.UnitCreateAt(AnsiToWideQX(e.path().filename().string()), 45, 45, &reason),
            nullptr)
            << e.path() << ": " << reason;
        ++count;
    }
    EXPECT_GE(count, 5);
}

class DemoTest : public test::TempDirTest {
protected:
    WorldDoc Doc;
    void SetUp() override {
        ASSERT_EQ(Doc.WorldOpen(AnsiToWideQX(Examples + "/worlds/demo.raw")), "");
    }
};

TEST_F(DemoTest, MatchesTheDescriptionsItWasBuiltFrom) {
    EXPECT_GE(Doc.Units.UnitCount(), 5);
    WorldDoc fresh;
    fresh.Units.UnitPath = Examples + "/units";
    std::map<std::u16string, UnitShape> described;
    for (const TgmWorldUnit* u : Doc.Units.List()) {
        if (!described.count(u->DescPath)) {
            std::string reason;
            const TgmWorldUnit* f = fresh.Units.UnitCreateAt(u->DescPath, 0, 90, &reason);
            ASSERT_NE(f, nullptr) << WideToAnsiQX(u->DescPath) << ": " << reason;
            described[u->DescPath] = ShapeOf(fresh, f);
        }
        const UnitShape& want = described[u->DescPath];
        const UnitShape got = ShapeOf(Doc, u);
        EXPECT_EQ(got.Points, want.Points) << WideToAnsiQX(u->DescPath);
        EXPECT_EQ(got.Triangles, want.Triangles) << WideToAnsiQX(u->DescPath);
        EXPECT_EQ(got.Lines, want.Lines) << WideToAnsiQX(u->DescPath);
        EXPECT_EQ(got.Groups, want.Groups) << WideToAnsiQX(u->DescPath);
    }
    // Ports were joined when it was built: some points follow a master.
    EXPECT_LT(Doc.Points.PointMasterCount(), Doc.Points.PointCount());
}

TEST_F(DemoTest, NamesOnlyTexturesThatExistAndSavesAsItWasRead) {
    int textured = 0;
    for (const TTriangleGM* t : Doc.Triangles.List()) {
        if (t->Texture.empty()) continue;
        ++textured;
        // Texture names count from the editor's start folder, the examples folder for ./dev run.
        EXPECT_TRUE(fs::is_regular_file(ResolvePathQX(Examples, WideToAnsiQX(t->Texture))))
            << WideToAnsiQX(t->Texture);
    }
    EXPECT_GT(textured, 0);
    const std::string copy = Dir.File("copy.raw");
    Doc.WorldSaveAs(AnsiToWideQX(copy));
    EXPECT_EQ(test::TempDir::Read(copy), test::TempDir::Read(Examples + "/worlds/demo.raw"));
}

TEST(ExamplesTest, GameFolderListsZoneGraphNames) {
    TBlockParQX list;
    list.LoadFromFile(ResolvePathQX(Examples + "/game", "CFG\\CD\\GMWall.txt"));
    EXPECT_GE(list.Block_Get(u"2")->Par_Count(), 1);
    EXPECT_TRUE(fs::is_directory(Examples + "/game/DATA"));
}

} // namespace
} // namespace gm
