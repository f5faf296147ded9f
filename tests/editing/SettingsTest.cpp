#include "editing/Settings.h"

#include "foundation/Codec.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace gm {
namespace {

using Store = MemorySettingsStore;

Settings Loaded(const Store& store,
                const SettingsDefaults& d = SettingsDefaults::WindowsDefaults()) {
    Settings s;
    s.Load(store, d);
    return s;
}

TEST(SettingsLoad, FirstStartGivesDefaultsAndWritesNothing) {
    Store store;
    const Settings s = Loaded(store);
    EXPECT_EQ(s.UnitPath, u"c:");
    EXPECT_EQ(s.SkyhaulPath, u"c:\\Skyhaul");
    EXPECT_EQ(s.WLCount, 32);
    EXPECT_EQ(s.WLFront, 0xC0FFFFFFu);
    EXPECT_EQ(s.WLBack, 0x00FFFFFFu);
    EXPECT_EQ(s.LegacyCodePage, u"Windows-1252");
    EXPECT_EQ(store.Size(), 0u);
    EXPECT_EQ(store.WriteCount(), 0);
}

TEST(SettingsLoad, BundledDefaultsLieBelowTheGivenFolder) {
    Store store;
    for (const std::u16string base : {u"/opt/gridmoor", u"/opt/gridmoor/"}) {
        const Settings s = Loaded(store, SettingsDefaults::Bundled(base));
        EXPECT_EQ(s.UnitPath, u"/opt/gridmoor/examples/units");
        EXPECT_EQ(s.SkyhaulPath, u"/opt/gridmoor/examples/game");
    }
#ifndef _WIN32 // the POSIX default: Windows' defaults are drive paths
    const SettingsDefaults d = SettingsDefaults::ForPlatform(u"/x");
    EXPECT_EQ(d.UnitPath, u"/x/examples/units");
#endif
    // A stored directory wins over either kind of default.
    store.Put("UnitPath", std::u16string(u"d:\\units"));
    EXPECT_EQ(Loaded(store, SettingsDefaults::Bundled(u"/opt")).UnitPath, u"d:\\units");
}

TEST(SettingsLoad, StoredValuesAreUsedAsStored) {
    Store store;
    store.Put("UnitPath", std::u16string(u" C:\\Units\\ "));
    store.Put("SkyhaulPath", std::u16string(u""));
    store.Put("WLCount", 100u);
    store.Put("WLFront", 0x12345678u);
    store.Put("WLBack", 0xFF000000u);
    const Settings s = Loaded(store);
    EXPECT_EQ(s.UnitPath, u" C:\\Units\\ ");
    EXPECT_EQ(s.SkyhaulPath, u"");
    EXPECT_EQ(s.WLCount, 100);
    EXPECT_EQ(s.WLFront, 0x12345678u);
    EXPECT_EQ(s.WLBack, 0xFF000000u);
}

TEST(SettingsLoad, WrongTypeGivesTheDefault) {
    Store store;
    store.Put("UnitPath", 5u);
    store.Put("SkyhaulPath", Store::OtherType{}); // e.g. an expandable string
    store.Put("WLCount", std::u16string(u"64"));
    store.Put("WLFront", std::u16string(u"0"));
    store.Put("WLBack", Store::OtherType{});
    const Settings s = Loaded(store);
    EXPECT_EQ(s.UnitPath, u"c:");
    EXPECT_EQ(s.SkyhaulPath, u"c:\\Skyhaul");
    EXPECT_EQ(s.WLCount, 32);
    EXPECT_EQ(s.WLFront, 0xC0FFFFFFu);
    EXPECT_EQ(s.WLBack, 0x00FFFFFFu);
}

TEST(SettingsLoad, StringsMustFitTheBufferWithTheirTerminator) {
    struct Case {
        std::u16string stored;
        bool accepted;
    };
    const Case cases[] = {
        {std::u16string(2047, u'a'), true},
        {std::u16string(2048, u'a'), false},
        {std::u16string(3000, u'a'), false},
    };
    for (const Case& c : cases) {
        Store store;
        store.Put("UnitPath", c.stored);
        store.Put("SkyhaulPath", c.stored);
        const Settings s = Loaded(store);
        EXPECT_EQ(s.UnitPath, c.accepted ? c.stored : u"c:") << c.stored.size();
        EXPECT_EQ(s.SkyhaulPath, c.accepted ? c.stored : u"c:\\Skyhaul") << c.stored.size();
    }
}

TEST(SettingsLoad, StringLimitCountsBytesOfThe8BitForm) {
    if (WideToAnsiQX(u"\u00e9").size() != 2) GTEST_SKIP() << "code page is not UTF-8";
    Store store;
    const std::u16string fits = std::u16string(1023, u'\u00e9') + u"a"; // 2047 bytes
    const std::u16string tooLong(1024, u'\u00e9');                      // 2048 bytes
    store.Put("UnitPath", fits);
    store.Put("SkyhaulPath", tooLong);
    const Settings s = Loaded(store);
    EXPECT_EQ(s.UnitPath, fits);
    EXPECT_EQ(s.SkyhaulPath, u"c:\\Skyhaul");
}

TEST(SettingsLoad, StoredCountIsKeptWithinTheGridLimits) {
    struct Case {
        uint32_t stored;
        int32_t expected;
    };
    const Case cases[] = {
        {0xFFFFFFFBu, 8}, // -5: the grid builder would never finish
        {0x80000000u, 8}, {0u, 8},        {7u, 8},
        {8u, 8},          {9u, 9},        {512u, 512},
        {513u, 512},      {100000u, 512}, {0x7FFFFFFFu, 512},
    };
    for (const Case& c : cases) {
        Store store;
        store.Put("WLCount", c.stored);
        EXPECT_EQ(Loaded(store).WLCount, c.expected) << c.stored;
    }
}

TEST(SettingsSave, EachValueRoundTripsThroughTheStore) {
    Settings s;
    s.UnitPath = u"/data/units";
    s.SkyhaulPath = u"e:\\games\\skyhaul";
    s.WLCount = 64;
    s.WLFront = 0x80FF0000;
    s.WLBack = 0x01020304;
    s.LegacyCodePage = u"Windows-1251";
    Store store;
    s.SaveUnitPath(store);
    s.SaveSkyhaulPath(store);
    s.SaveWLCount(store);
    s.SaveWLFront(store);
    s.SaveWLBack(store);
    s.SaveLegacyCodePage(store);
    EXPECT_EQ(store.WriteCount(), 6);
    const Settings r = Loaded(store, SettingsDefaults::Bundled(u"/nowhere"));
    EXPECT_EQ(r.UnitPath, s.UnitPath);
    EXPECT_EQ(r.SkyhaulPath, s.SkyhaulPath);
    EXPECT_EQ(r.WLCount, 64);
    EXPECT_EQ(r.WLFront, 0x80FF0000u);
    EXPECT_EQ(r.WLBack, 0x01020304u);
    EXPECT_EQ(r.LegacyCodePage, u"Windows-1251");
}

TEST(OptionsRules, CodePageMustBeKnownToTheConverter) {
    EXPECT_EQ(LegacyCodePageFromText(u"  Windows-1250 "), u"Windows-1250");
    EXPECT_EQ(LegacyCodePageFromText(u"no-such-page"), std::nullopt);
    EXPECT_EQ(LegacyCodePageFromText(u""), std::nullopt);
}

TEST(OptionsRules, CountTextGivesAClampedCount) {
    struct Case {
        std::u16string text;
        int32_t expected;
    };
    const Case cases[] = {
        {u"3", 8}, {u"40x", 40}, {u"-50", 50},  {u"", 8},      {u"abc", 8},
        {u"8", 8}, {u"1 2", 12}, {u"512", 512}, {u"513", 512}, {u"99999", 512},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WLCountFromText(c.text), c.expected) << std::string(c.text.begin(), c.text.end());
}

TEST(OptionsRules, ColourText) {
    struct Case {
        std::u16string text;
        std::optional<uint32_t> expected;
    };
    const Case cases[] = {
        {u"255,0,0", std::nullopt},
        {u"", std::nullopt},
        {u"128,255,0,0", 0x80FF0000u},
        {u"300,0,0,0", 0x2C000000u}, // 300 keeps its low 8 bits
        {u"192,255,255,255", 0xC0FFFFFFu},
        {u" 1, 2 ,3,4", 0x01020304u},
        {u"1,2,3,4,5,6", 0x01020304u}, // fields after the fourth are ignored
        {u"a1,b2x,,-4", 0x01020004u},  // lenient: digits only
        {u",,,", 0u},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ColourFromText(c.text), c.expected) << std::string(c.text.begin(), c.text.end());
}

TEST(OptionsRules, ColourShowsAsAlphaRedGreenBlue) {
    EXPECT_EQ(ColourToText(0xC0FFFFFF), u"192,255,255,255");
    EXPECT_EQ(ColourToText(0x00FFFFFF), u"0,255,255,255");
    EXPECT_EQ(ColourToText(0x80FF0001), u"128,255,0,1");
    for (uint32_t c : {0u, 0xFFFFFFFFu, 0x0A141E28u})
        EXPECT_EQ(ColourFromText(ColourToText(c)), c);
}

TEST(OptionsRules, PathText) {
    EXPECT_EQ(OptionsPathFromText(u" C:\\Game\\Units\\ ", true), u"c:\\game\\units");
    EXPECT_EQ(OptionsPathFromText(u" C:\\Game\\Units\\ ", false), u"C:\\Game\\Units");
    EXPECT_EQ(OptionsPathFromText(u"/home/Ann/units//", false), u"/home/Ann/units");
    EXPECT_EQ(OptionsPathFromText(u"\u00c9T\\", true), u"\u00c9t"); // ASCII letters only
}

TEST(OptionsApply, WritesEveryFieldAndSkipsShortColours) {
    Settings s;
    Store store;
    store.Put("WLFront", 0x11111111u);
    const OptionsTexts texts{u" C:\\Game\\Units\\ ", u"D:\\Skyhaul\\", u"40x", u"255,0,0",
                             u"128,255,0,0"};
    OptionsApply(texts, s, store, true);

    EXPECT_EQ(s.UnitPath, u"c:\\game\\units");
    EXPECT_EQ(s.SkyhaulPath, u"d:\\skyhaul");
    EXPECT_EQ(s.WLCount, 40);
    EXPECT_EQ(s.WLFront, 0xC0FFFFFFu); // three fields: unchanged
    EXPECT_EQ(s.WLBack, 0x80FF0000u);

    EXPECT_EQ(store.WriteCount(), 4);
    EXPECT_EQ(store.ReadStr("UnitPath"), u"c:\\game\\units");
    EXPECT_EQ(store.ReadStr("SkyhaulPath"), u"d:\\skyhaul");
    EXPECT_EQ(store.ReadInt("WLCount"), 40u);
    EXPECT_EQ(store.ReadInt("WLFront"), 0x11111111u); // left as it was
    EXPECT_EQ(store.ReadInt("WLBack"), 0x80FF0000u);
}

TEST(OptionsApply, UnchangedFieldsKeepTheSettings) {
    Store store;
    store.Put("UnitPath", std::u16string(u"/srv/Units"));
    store.Put("WLCount", 77u);
    store.Put("WLBack", 0x7F102030u);
    Settings s = Loaded(store, SettingsDefaults::Bundled(u"/opt/Gm"));
    const Settings before = s;
    OptionsApply(OptionsTextsFrom(s), s, store, false);
    EXPECT_EQ(s.UnitPath, before.UnitPath);
    EXPECT_EQ(s.SkyhaulPath, before.SkyhaulPath);
    EXPECT_EQ(s.WLCount, before.WLCount);
    EXPECT_EQ(s.WLFront, before.WLFront);
    EXPECT_EQ(s.WLBack, before.WLBack);
    EXPECT_EQ(store.WriteCount(), 5); // every value is written, changed or not
    EXPECT_EQ(store.ReadStr("SkyhaulPath"), u"/opt/Gm/examples/game");
}

} // namespace
} // namespace gm
