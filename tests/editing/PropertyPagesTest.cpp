#include "editing/PropertyPages.h"

#include <cmath>

#include <gtest/gtest.h>

#include "foundation/Codec.h"
#include "world/WorldDoc.h"

namespace gm {
namespace {

class PropertyPagesTest : public ::testing::Test {
protected:
    PropertyPagesTest() { Doc.Units.UnitPath = GM_TEST_DATA "/units"; }
    TgmWorldUnit* Pair() {
        std::string reason;
        TgmWorldUnit* u = Doc.Units.UnitCreateAt(u"sub\\pair.txt", 0, 90, &reason);
        EXPECT_NE(u, nullptr) << reason;
        return u;
    }
    WorldDoc Doc;
};

TEST_F(PropertyPagesTest, PageFollowsTheSelection) {
    EXPECT_EQ(PagePick(Doc), PropertyPage::Main);
    TgmWorldUnit* u = Pair();
    EXPECT_EQ(PagePick(Doc), PropertyPage::Unit);
    Doc.Units.SetCurrentUnit(nullptr);
    EXPECT_EQ(PagePick(Doc), PropertyPage::Main);
    Doc.Units.SetCurrentUnit(u);
    EXPECT_EQ(PagePick(Doc), PropertyPage::Unit);
}

TEST(RoundedText, RoundsHalvesToEven) {
    const struct {
        double value;
        const char16_t* text;
    } cases[] = {{1000, u"1000"}, {2.5, u"2"},     {3.5, u"4"},  {-2.5, u"-2"},
                 {50.4, u"50"},   {499.5, u"500"}, {0.49, u"0"}, {4294967295.0, u"4294967295"}};
    for (const auto& c : cases)
        EXPECT_EQ(RoundedText(c.value), c.text) << c.value;
    EXPECT_EQ(RoundedText(std::nan("")), u"0");
}

TEST_F(PropertyPagesTest, UnitPageShowsTheCurrentUnit) {
    TgmWorldUnit* u = Pair();
    u->UnitType = 2;
    u->TimeOffset = -40;
    u->TimeLength = 900;
    Doc.Units.SetKeyGroup(u, 1);
    const UnitPageView view = UnitPageFill(Doc, *u);
    EXPECT_EQ(view.UnitType, 2);
    EXPECT_EQ(view.TimeOffset, u"-40");
    EXPECT_EQ(view.TimeLength, u"900");
    EXPECT_EQ(view.KeyGroups, (std::vector<std::u16string>{u"day", u"night", u""}));
    EXPECT_EQ(view.KeyGroup, 1);
}

TEST_F(PropertyPagesTest, TimeFieldsParseLenientlyBySign) {
    TgmWorldUnit* u = Pair();
    const struct {
        const char16_t* text;
        int32_t offset; // signed field
        int32_t length; // digits only
    } cases[] = {{u"12a3", 123, 123}, {u"-5", -5, 5},  {u"5-", 5, 5},         {u"", 0, 0},
                 {u"x-0-7", -7, 7},   {u"--3", -3, 3}, {u"1 000", 1000, 1000}};
    for (const auto& c : cases) {
        UnitTimeOffsetChange(Doc, c.text);
        UnitTimeLengthChange(Doc, c.text);
        EXPECT_EQ(u->TimeOffset, c.offset) << WideToAnsiQX(c.text);
        EXPECT_EQ(u->TimeLength, c.length) << WideToAnsiQX(c.text);
    }
}

TEST_F(PropertyPagesTest, HandlersReportRealChangesOnly) {
    TgmWorldUnit* u = Pair();
    EXPECT_TRUE(UnitTimeLengthChange(Doc, u"40"));
    EXPECT_FALSE(UnitTimeLengthChange(Doc, u"4x0"));
    EXPECT_TRUE(UnitTypeChange(Doc, 3));
    EXPECT_FALSE(UnitTypeChange(Doc, 3));
    EXPECT_EQ(u->UnitType, 3);
    EXPECT_TRUE(UnitKeyGroupChange(Doc, 7)); // clamped to the last of three groups
    EXPECT_EQ(u->KeyGroup, 2);
    EXPECT_FALSE(UnitKeyGroupChange(Doc, 9));
}

TEST_F(PropertyPagesTest, HandlersWithoutACurrentUnitDoNothing) {
    TgmWorldUnit* u = Pair();
    Doc.Units.SetCurrentUnit(nullptr);
    EXPECT_FALSE(UnitTypeChange(Doc, 1));
    EXPECT_FALSE(UnitTimeOffsetChange(Doc, u"7"));
    EXPECT_FALSE(UnitTimeLengthChange(Doc, u"7"));
    EXPECT_FALSE(UnitKeyGroupChange(Doc, 1));
    EXPECT_EQ(u->UnitType, 0);
    EXPECT_EQ(u->TimeOffset, 0);
    EXPECT_EQ(u->TimeLength, 0);
    EXPECT_EQ(u->KeyGroup, 0);
}

} // namespace
} // namespace gm
