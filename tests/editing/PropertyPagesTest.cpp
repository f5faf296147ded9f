#include "editing/PropertyPages.h"

#include <cmath>

#include <gtest/gtest.h>

#include "foundation/Codec.h"
#include "world/ViewFlags.h"
#include "world/WorldDoc.h"
#include "zones/ZoneEdit.h"

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

TEST_F(PropertyPagesTest, UnitComesBeforeZoneBeforeLink) {
    ViewFlags flags;
    TgmZone* a = ZoneCreateAt(Doc, flags, 10, 80);
    TgmZone* b = ZoneCreateAt(Doc, flags, 20, 80);
    TgmZoneLink* link = Doc.Zones.ZoneLinkMake(a, b);
    ASSERT_NE(link, nullptr);
    const struct {
        bool unit, zone, link;
        PropertyPage page;
    } cases[] = {{true, true, true, PropertyPage::Unit},
                 {false, true, true, PropertyPage::Zone},
                 {false, false, true, PropertyPage::ZoneLink},
                 {true, false, false, PropertyPage::Unit},
                 {false, false, false, PropertyPage::Main}};
    TgmWorldUnit* u = Pair();
    for (const auto& c : cases) {
        Doc.Units.SetCurrentUnit(c.unit ? u : nullptr);
        Doc.Zones.SetZoneCurrent(c.zone ? a : nullptr);
        Doc.Zones.SetZoneLinkCurrent(c.link ? link : nullptr);
        EXPECT_EQ(PagePick(Doc), c.page) << c.unit << c.zone << c.link;
    }
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

class ZonePageTest : public ::testing::Test {
protected:
    ZonePageTest() { Zone = ZoneCreateAt(Doc, Flags, 30, 60); }
    WorldDoc Doc;
    ViewFlags Flags;
    TgmZone* Zone = nullptr;
};

TEST_F(ZonePageTest, FieldsParseLenientlyBySign) {
    const struct {
        const char16_t* text;
        int32_t hitpoints;   // digits only
        int32_t signedValue; // mass and damage
    } cases[] = {{u"-30", 30, -30}, {u"12a5", 125, 125}, {u"", 0, 0}, {u"7-", 7, 7}};
    for (const auto& c : cases) {
        ZoneHitpointsChange(Doc, c.text);
        ZoneMassChange(Doc, c.text);
        ZoneDamageChange(Doc, c.text);
        EXPECT_EQ(Zone->Hitpoints, c.hitpoints) << WideToAnsiQX(c.text);
        EXPECT_EQ(Zone->Mass, c.signedValue) << WideToAnsiQX(c.text);
        EXPECT_EQ(Zone->Damage, c.signedValue) << WideToAnsiQX(c.text);
    }
    ZoneGraphChange(Doc, u" \tcliff \r\n");
    EXPECT_EQ(Zone->Graph, u"cliff");
}

TEST_F(ZonePageTest, RadiusDigitsAreTheArcRadius) {
    EXPECT_NEAR(Zone->RadiusLen, 50, 1e-3);
    EXPECT_EQ(ZonePageFill(*Zone).Radius, u"50");
    EXPECT_TRUE(ZoneRadiusChange(Doc, u"12a5"));
    EXPECT_NEAR(Zone->RadiusLen, 125, 1e-3); // recomputed at once
    EXPECT_NEAR(Zone->RadiusAngle, 125 * 180 / (1000 * 3.14159265), 1e-4);
    EXPECT_FALSE(ZoneRadiusChange(Doc, u"125"));
}

TEST_F(ZonePageTest, ItemBoxesSetTheBitOfTheirName) {
    const struct {
        const char16_t* name;
        int bit;
    } names[] = {{u"CheckBoxZoneI0", 0}, {u"CheckBoxZoneI7", 7},   {u"CheckBoxZoneI31", 31},
                 {u"CheckBoxZoneI", -1}, {u"CheckBoxZoneI32", -1}, {u"CheckBoxZoneI123", -1}};
    for (const auto& n : names)
        EXPECT_EQ(ItemBitFromName(n.name), n.bit) << WideToAnsiQX(n.name);

    Zone->ItemFlags = 0x00000100; // a bit the page never sets is kept
    EXPECT_TRUE(ZoneItemChange(Doc, ItemBitFromName(u"CheckBoxZoneI31"), true));
    EXPECT_TRUE(ZoneItemChange(Doc, 2, true));
    EXPECT_FALSE(ZoneItemChange(Doc, 2, true));
    EXPECT_EQ(Zone->ItemFlags, 0x80000104u);
    EXPECT_TRUE(ZoneItemChange(Doc, 31, false));
    EXPECT_EQ(Zone->ItemFlags, 0x00000104u);
}

TEST_F(ZonePageTest, ListsStoreTheirIndexAndTheLinkItsType) {
    EXPECT_TRUE(ZoneTypeChange(Doc, 10));
    EXPECT_EQ(Zone->ZoneType, 10u);
    EXPECT_TRUE(ZoneItemFreqChange(Doc, 2));
    EXPECT_EQ(Zone->ItemFreq, 2);
    Zone->ZoneType = 14; // from a file: no entry of the box stands for it
    EXPECT_EQ(ZonePageFill(*Zone).ZoneType, -1);

    TgmZone* other = ZoneCreateAt(Doc, Flags, 40, 60);
    TgmZoneLink* link = Doc.Zones.ZoneLinkMake(Zone, other);
    Doc.Zones.SetZoneLinkCurrent(link);
    EXPECT_TRUE(ZoneLinkTypeChange(Doc, 1));
    EXPECT_EQ(link->LinkType, 1);
    Doc.Zones.SetZoneLinkCurrent(nullptr);
    EXPECT_FALSE(ZoneLinkTypeChange(Doc, 0));
    Doc.Zones.SetZoneCurrent(nullptr);
    EXPECT_FALSE(ZoneTypeChange(Doc, 1));
    EXPECT_FALSE(ZoneRadiusChange(Doc, u"80"));
    EXPECT_EQ(other->ZoneType, 0u);
}

} // namespace
} // namespace gm
