#include "world/WorldDoc.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "foundation/Codec.h"
#include "foundation/QX_Error.h"
#include "support/SystemReason.h"
#include "support/TempDir.h"

namespace gm {
namespace {

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values)
        s.push_back(static_cast<char>(v));
    return s;
}

// Header with the given version and radius bytes, then the seven empty counts.
std::string EmptyWorldFile(int version, std::string radiusBytes) {
    std::string s = Bytes({0x48, 0x4B, 0x56, 0x5A, version, 0, 0, 0}) + radiusBytes;
    s += std::string(28, '\0');
    return s;
}

const std::string Radius1000 = Bytes({0x00, 0x00, 0x7A, 0x44}); // 1000.0f
const std::string Radius750 = Bytes({0x00, 0x80, 0x3B, 0x44});  // 750.0f

class WorldDocTest : public test::TempDirTest {
protected:
    WorldDoc Doc;
    std::u16string Wide(const std::string& path) { return AnsiToWideQX(path); }
};

TEST_F(WorldDocTest, EmptyWorldIsFortyBytes) {
    const std::string path = Dir.File("empty.raw");
    Doc.WorldSaveAs(Wide(path));
    EXPECT_EQ(test::TempDir::Read(path), EmptyWorldFile(3, Radius1000));
    EXPECT_EQ(Doc.WorldFileName, Wide(path));
}

TEST_F(WorldDocTest, OpenAdoptsRadiusAndNameAndSaveUpgradesVersion) {
    for (int version : {1, 2, 3}) {
        SCOPED_TRACE(version);
        const std::string path = Dir.Write("old.raw", EmptyWorldFile(version, Radius750));
        EXPECT_EQ(Doc.WorldOpen(Wide(path)), "");
        EXPECT_EQ(Doc.WorldRadius, 750.0f);
        EXPECT_EQ(Doc.LoadVersion, version);
        EXPECT_EQ(Doc.WorldFileName, Wide(path));
        Doc.WorldSave();
        EXPECT_EQ(test::TempDir::Read(path), EmptyWorldFile(3, Radius750));
    }
}

TEST_F(WorldDocTest, EveryOpenFailureEndsUntitledWithItsMessage) {
    const std::string missing = Dir.File("missing.raw");
    struct Case {
        const char* name;
        std::string content;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"wrong magic",
         Bytes({'H', 'K', 'V', 'Y', 3, 0, 0, 0}) + Radius1000 + std::string(28, '\0'),
         "Error : Incorrect format"},
        {"future version", EmptyWorldFile(4, Radius1000), "Error : Incorrect version"},
        {"negative version reads as old",
         Bytes({0x48, 0x4B, 0x56, 0x5A, 0xFF, 0xFF, 0xFF, 0xFF}) + Radius1000 +
             std::string(28, '\0'),
         ""},
        {"magic only", Bytes({0x48, 0x4B, 0x56, 0x5A}), "Error : TBufQX.TestGet. len=4"},
        {"empty file", "", "Error : TBufQX.TestGet. len=4"},
        {"truncated in the zone section", EmptyWorldFile(3, Radius1000).substr(0, 38),
         "Error : TBufQX.TestGet. len=4"},
        {"zero radius", EmptyWorldFile(3, Bytes({0, 0, 0, 0})), "Error : Incorrect format"},
        {"negative radius", EmptyWorldFile(3, Bytes({0, 0, 0x7A, 0xC4})),
         "Error : Incorrect format"},
        {"NaN radius", EmptyWorldFile(3, Bytes({0, 0, 0xC0, 0x7F})), "Error : Incorrect format"},
        {"infinite radius", EmptyWorldFile(3, Bytes({0, 0, 0x80, 0x7F})),
         "Error : Incorrect format"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Doc.WorldFileName = u"previous.raw";
        const std::string path = Dir.Write("case.raw", c.content);
        EXPECT_EQ(Doc.WorldOpen(Wide(path)), c.expected);
        EXPECT_EQ(Doc.WorldFileName.empty(), !c.expected.empty());
    }
    EXPECT_EQ(Doc.WorldOpen(Wide(missing)),
              "Error : TFileQX.Open. FileName=" + missing + test::Reason(test::Why::MissingFile));
    EXPECT_TRUE(Doc.WorldFileName.empty());
}

TEST_F(WorldDocTest, DamagedRadiusIsNotAdopted) {
    Doc.WorldRadius = 1234.0f;
    const std::string path = Dir.Write("nan.raw", EmptyWorldFile(3, Bytes({0, 0, 0xC0, 0x7F})));
    EXPECT_NE(Doc.WorldOpen(Wide(path)), "");
    EXPECT_EQ(Doc.WorldRadius, 1234.0f);
}

TEST_F(WorldDocTest, ReadOnlyWorldOpens) {
    const std::string path = Dir.Write("ro.raw", EmptyWorldFile(3, Radius750));
    std::filesystem::permissions(path, std::filesystem::perms::owner_read);
    EXPECT_EQ(Doc.WorldOpen(Wide(path)), "");
    EXPECT_EQ(Doc.WorldRadius, 750.0f);
}

TEST_F(WorldDocTest, FailedSaveRaisesAndKeepsTheChosenName) {
    // A directory in the way makes the write fail, also when the tests run as root.
    const std::string blocked = Dir.File("sub");
    std::filesystem::create_directory(blocked);
    EXPECT_THROW(Doc.WorldSaveAs(Wide(blocked)), ErrorQX);
    EXPECT_TRUE(std::filesystem::is_directory(blocked));
    // The caption keeps showing the name the designer chose.
    EXPECT_EQ(Doc.WorldFileName, Wide(blocked));
}

TEST_F(WorldDocTest, ClearKeepsRadiusAndName) {
    Doc.WorldRadius = 640.0f;
    Doc.WorldFileName = u"w.raw";
    Doc.WorldClear();
    EXPECT_EQ(Doc.WorldRadius, 640.0f);
    EXPECT_EQ(Doc.WorldFileName, u"w.raw");
}

TEST(WorldRadiusSet, TakesTheDigitsWithAFloorOf500) {
    struct Case {
        std::u16string text;
        float radius;
    };
    for (const Case& c : std::vector<Case>{{u"1a2b3", 500.0f},
                                           {u"", 500.0f},
                                           {u"radius", 500.0f},
                                           {u"2000", 2000.0f},
                                           {u"-1500", 1500.0f},
                                           {u"499", 500.0f}}) {
        WorldDoc doc;
        const float delta = doc.WorldRadiusSet(c.text);
        EXPECT_EQ(doc.WorldRadius, c.radius);
        EXPECT_EQ(delta, c.radius - 1000.0f);
    }
}

} // namespace
} // namespace gm
