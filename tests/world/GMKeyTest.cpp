#include "world/GMKey.h"

#include "KeyTestUnit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace gm {
namespace {

using test::ErrorOf;

class KeyTest : public ::testing::Test {
protected:
    // A key on a list with `groups` groups of the test unit, loaded from text.
    TKeyGM* MakeKey(int groups, const std::u16string& text) {
        TKeyGroupList* list = store.KeyGroupListAdd(&unit);
        for (int g = 0; g < groups; ++g)
            list->GroupInsert(list->GroupCount());
        TKeyGM* key = store.KeyCreate(list);
        if (!text.empty()) key->Load(text);
        return key;
    }

    KeyStore store;
    test::KeyTestUnit unit;
};

std::vector<uint8_t> ValueOf(const TKeyGM& key) {
    return std::vector<uint8_t>(key.Value(), key.Value() + key.Size());
}

// Opaque red (bytes b g r a = 00 00 ff ff) for 100, then opaque green for 50.
const std::u16string kRedGreen = u"2,100,50,00 00 ff ff,00 ff 00 ff";

struct CalcCase {
    int32_t offset;
    int32_t length;
    float time;
    int32_t index;
    int32_t next;
    float fraction;
};

TEST_F(KeyTest, CalcWalksDurationsPausesAndOffsets) {
    const CalcCase cases[] = {
        // Period 150 = Total.
        {0, 0, 30, 0, 1, 0.3f},
        {0, 0, 120, 1, 0, 0.4f},
        {0, 0, 150, 0, 1, 0.0f},
        {0, 0, 449, 1, 0, 0.98f},
        {0, 0, 29.5f, 0, 1, 0.3f}, // half to even: 30
        {0, 0, 30.5f, 0, 1, 0.3f}, // half to even: 30
        {0, 150, 120, 1, 0, 0.4f}, // a length not above Total keeps the key's own period
        // Length 200: the first 50 of each period rest on key 0.
        {0, 200, 30, 0, 0, 0.0f},
        {0, 200, 49, 0, 0, 0.0f},
        {0, 200, 50, 0, 1, 0.0f},
        {0, 200, 80, 0, 1, 0.3f},
        {0, 200, 199, 1, 0, 0.98f},
        {0, 200, 230, 0, 0, 0.0f},
        // The offset moves the clock; a negative result extrapolates before key 0.
        {-30, 0, 0, 0, 1, -0.3f},
        {100, 0, 20, 1, 0, 0.4f},
        {-30, 200, 0, 0, 0, 0.0f},
    };
    TKeyGM* key = MakeKey(1, kRedGreen);
    for (const CalcCase& c : cases) {
        unit.Offset = c.offset;
        unit.Length = c.length;
        const TKeyCalc r = key->Calc(c.time);
        SCOPED_TRACE(testing::Message()
                     << "offset " << c.offset << " length " << c.length << " time " << c.time);
        EXPECT_EQ(r.Index, c.index);
        EXPECT_EQ(r.Next, c.next);
        EXPECT_FLOAT_EQ(r.Fraction, c.fraction);
    }
}

TEST_F(KeyTest, SingleKeyAlwaysEvaluatesToItself) {
    TKeyGM* key = MakeKey(1, u"1,0,ff ff ff ff");
    for (float t : {0.0f, 17.0f, 1e6f}) {
        const TKeyCalc r = key->Calc(t);
        EXPECT_EQ(r.Index, 0);
        EXPECT_EQ(r.Next, 0);
        EXPECT_EQ(r.Fraction, 0.0f);
    }
    key->Update(12345);
    EXPECT_EQ(key->ValueColor(), 0xFFFFFFFFu);
}

TEST_F(KeyTest, UpdateInterpolatesColoursAndClampsExtrapolation) {
    TKeyGM* key = MakeKey(1, kRedGreen);
    // 30% of the way: green 0 + 76.5000003 -> 77 (0x4d), red 255 - 77 = 178 (0xb2).
    key->Update(30);
    EXPECT_EQ(key->ValueColor(), 0xFFB24D00u);
    key->Update(100);
    EXPECT_EQ(key->ValueColor(), 0xFF00FF00u);
    // Fraction -0.3: green would go to -77 and red to 332; both clamp.
    unit.Offset = -30;
    key->Update(0);
    EXPECT_EQ(key->ValueColor(), 0xFFFF0000u);
}

TEST_F(KeyTest, ColorLerpRoundsHalfToEven) {
    TKeyGM* key = MakeKey(1, u"2,10,10,00 00 00 ff,ff 01 03 00");
    ColorLerp(*key, 0, 1, 0.5f);
    // 127.5 -> 128, 0.5 -> 0, 1.5 -> 2, 255 - 127.5 -> 255 - 128.
    EXPECT_EQ(ValueOf(*key), (std::vector<uint8_t>{0x80, 0x00, 0x02, 0x7f}));
    ColorLerp(*key, 1, 0, 0.5f);
    EXPECT_EQ(ValueOf(*key), (std::vector<uint8_t>{0x7f, 0x01, 0x01, 0x80})); // 1 - 0.5 -> 1
    ColorLerp(*key, 0, 1, 2.0f);
    EXPECT_EQ(ValueOf(*key), (std::vector<uint8_t>{0xff, 0x02, 0x06, 0x00}));
}

// The library's rounding (half to even in the default mode) as an independent reference, over
// every byte difference and fractions on and between keys, halfway points, extrapolation and -0.
TEST_F(KeyTest, ColorLerpAgreesWithTheLibraryRounding) {
    ASSERT_EQ(std::fegetround(), FE_TONEAREST);
    std::vector<float> fractions = {0.0f, -0.0f, 1.0f, 0.5f, -0.5f, 0.25f, 1e10f, -1e10f};
    for (int k = -96; k <= 160; ++k)
        fractions.push_back(static_cast<float>(k) / 64.0f);
    fractions.push_back(1.0f / 3.0f);
    fractions.push_back(0.3f);
    // Every scale a float has, from subnormal to far beyond a byte, with two mantissas.
    for (int e = -149; e <= 40; ++e) {
        fractions.push_back(std::ldexp(1.0f, e));
        fractions.push_back(-std::ldexp(1.5f, e));
        fractions.push_back(std::ldexp(1.2345678f, e));
    }
    fractions.push_back(std::numeric_limits<float>::infinity());
    fractions.push_back(std::numeric_limits<float>::quiet_NaN());
    TKeyGM* key = MakeKey(1, u"2,10,10,00 00 00 00,00 00 00 00");
    for (int a = 0; a < 256; a += 3) {
        for (int b = 0; b < 256; b += 5) {
            uint8_t* from = key->ValueAt(0, 0);
            uint8_t* to = key->ValueAt(0, 1);
            from[0] = from[1] = from[2] = from[3] = static_cast<uint8_t>(a);
            to[0] = static_cast<uint8_t>(b);
            to[1] = static_cast<uint8_t>(255 - b);
            to[2] = static_cast<uint8_t>(a);
            to[3] = static_cast<uint8_t>((a + b) & 0xFF);
            for (float f : fractions) {
                ColorLerp(*key, 0, 1, f);
                for (int c = 0; c < 4; ++c) {
                    const double delta = double(key->ValueAt(0, 1)[c]) - double(a);
                    const double product = delta * double(f);
                    // A step that is not a number (0 times infinity) is no step.
                    const double step = std::isnan(product) ? 0.0 : std::nearbyint(product);
                    const double want = std::clamp(double(a) + step, 0.0, 255.0);
                    ASSERT_EQ(key->Value()[c], static_cast<uint8_t>(want))
                        << "a=" << a << " b=" << b << " f=" << f << " byte " << c;
                }
            }
        }
    }
}

TEST_F(KeyTest, ColorLerpUsesTheCurrentGroupAndSurvivesAMissingOne) {
    TKeyGM* key = MakeKey(2, u"1,0,01 02 03 04,05 06 07 08");
    key->List->CurrentGroup = 1;
    key->Update(0);
    EXPECT_EQ(key->ValueColor(), 0x08070605u);
    key->List->CurrentGroup = 2; // no such group: the value stays
    key->Update(0);
    EXPECT_EQ(key->ValueColor(), 0x08070605u);
    key->List->CurrentGroup = -1;
    key->Update(0);
    EXPECT_EQ(key->ValueColor(), 0x08070605u);
}

TEST_F(KeyTest, LoadReadsLenientlyAndSaveIsCanonical) {
    struct Case {
        int groups;
        std::u16string text;
        std::u16string saved;
    };
    const Case cases[] = {
        {1, kRedGreen, kRedGreen},
        {1, u" 2x,1 00,5a0,\t00 00 FF ff\r\n,0 ff 00 f0f,ignored,more",
         u"2,100,50,00 00 ff ff,00 ff 00 0f"},
        {2, u"1,5,01 02 03 04,05 06 07 08", u"1,5,01 02 03 04,05 06 07 08"},
        {2, u"2,1,2,a a a a,b b b b,c c c c,d d d d",
         u"2,1,2,0a 0a 0a 0a,0b 0b 0b 0b,0c 0c 0c 0c,0d 0d 0d 0d"},
        {0, u"3,7,8,9", u"3,7,8,9"},
        // Values close to the saved form "hh hh hh hh" but not quite it.
        {1, u"1,0,ff ff ff ffx", u"1,0,ff ff ff ff"},
        {1, u"1,0,ab cd ef 1", u"1,0,ab cd ef 01"},
        {1, u"1,0,1ab CD ef 01 ,9", u"1,0,ab cd ef 01"},
        {1, u"1,0,ab cd ef 0g", u"1,0,ab cd ef 00"},
    };
    for (const Case& c : cases) {
        TKeyGM* key = MakeKey(c.groups, c.text);
        EXPECT_EQ(key->Save(), c.saved);
        TKeyGM* again = MakeKey(c.groups, key->Save());
        EXPECT_EQ(again->Save(), c.saved);
    }
}

TEST_F(KeyTest, LoadShrinksAndGrowsTheKey) {
    TKeyGM* key = MakeKey(1, u"3,1,2,3,01 01 01 01,02 02 02 02,03 03 03 03");
    EXPECT_EQ(key->Count(), 3);
    EXPECT_EQ(key->Total, 6);
    key->Load(u"1,7,aa bb cc dd");
    EXPECT_EQ(key->Count(), 1);
    EXPECT_EQ(key->Rows(), 1);
    EXPECT_EQ(key->Total, 7);
    EXPECT_EQ(key->Save(), u"1,7,aa bb cc dd");
}

TEST_F(KeyTest, LoadRejectsItemsThatDoNotFit) {
    struct Case {
        std::u16string text;
        std::string error;
    };
    const Case cases[] = {
        {u"1,0,ff  ff ff ff", "TKeyGM.Load"}, // doubled space: five parts
        {u"1,0,ff ff ff", "TKeyGM.Load"},
        {u"1,0,ff ff ff ff ff", "TKeyGM.Load"},
        {u"1,0,", "TKeyGM.Load"},                 // an empty item has no parts
        {u"2,100,50,00 00 ff ff", "TKeyGM.Load"}, // fewer value items than keys
        {u"2,100", "TKeyGM.Load"},
        {u"0", "TKeyGM.KeyDelete"},
        {u"0,1,ff ff ff ff", "TKeyGM.KeyDelete"},
        {u"", "TKeyGM.KeyDelete"},
        {u"4000000000,1,00 00 00 00", "TKeyGM.Load"},
        {u"2147483648", "TKeyGM.Load"},
    };
    for (const Case& c : cases) {
        TKeyGM* key = MakeKey(1, u"");
        SCOPED_TRACE(std::string(c.text.begin(), c.text.end()));
        EXPECT_EQ(ErrorOf([&] { key->Load(c.text); }), c.error);
    }
}

TEST_F(KeyTest, WithoutGroupsMissingDurationsAreZero) {
    TKeyGM* key = MakeKey(0, u"");
    key->Load(u"2");
    EXPECT_EQ(key->Count(), 2);
    EXPECT_EQ(key->Save(), u"2,0,0");
    key->Load(u"3,5");
    EXPECT_EQ(key->Save(), u"3,5,0,0");
    EXPECT_EQ(key->Total, 5);
}

TEST_F(KeyTest, AbsurdCountFailsWithoutGrowingTheKey) {
    for (int groups : {0, 1, 3}) {
        TKeyGM* key = MakeKey(groups, u"");
        EXPECT_EQ(ErrorOf([&] { key->Load(u"4000000000"); }), "TKeyGM.Load");
        EXPECT_EQ(ErrorOf([&] { key->Load(u"100000000,1,2,3"); }), "TKeyGM.Load");
        EXPECT_EQ(key->Count(), 1);
    }
}

TEST_F(KeyTest, KeysGrowAndShrinkAcrossTheirInlineStorage) {
    // Three groups: four keys fit inside the key, five do not.
    TKeyGM* key = MakeKey(3, u"4,1,2,3,4,01 01 01 01,02 02 02 02,03 03 03 03,04 04 04 04,"
                             u"11 11 11 11,12 12 12 12,13 13 13 13,14 14 14 14,"
                             u"21 21 21 21,22 22 22 22,23 23 23 23,24 24 24 24");
    const std::u16string four = key->Save();
    key->KeyInsert(4);
    EXPECT_EQ(key->Save(), u"5,1,2,3,4,4,01 01 01 01,02 02 02 02,03 03 03 03,04 04 04 04,"
                           u"04 04 04 04,11 11 11 11,12 12 12 12,13 13 13 13,14 14 14 14,"
                           u"14 14 14 14,21 21 21 21,22 22 22 22,23 23 23 23,24 24 24 24,"
                           u"24 24 24 24");
    key->KeyDelete(4);
    EXPECT_EQ(key->Save(), four);
    key->Load(key->Save()); // same size: loads in place
    EXPECT_EQ(key->Save(), four);
}

TEST_F(KeyTest, KeyInsertCopiesTheEntryItDisplaces) {
    TKeyGM* key = MakeKey(2, u"2,100,50,01 01 01 01,02 02 02 02,0a 0a 0a 0a,0b 0b 0b 0b");
    key->KeyInsert(1); // copy of the entry at 1
    EXPECT_EQ(key->Save(), u"3,100,50,50,01 01 01 01,02 02 02 02,02 02 02 02,"
                           u"0a 0a 0a 0a,0b 0b 0b 0b,0b 0b 0b 0b");
    key->Load(u"2,100,50,01 01 01 01,02 02 02 02,0a 0a 0a 0a,0b 0b 0b 0b");
    key->KeyInsert(2); // new last entry: copy of the one before
    EXPECT_EQ(key->Save(), u"3,100,50,50,01 01 01 01,02 02 02 02,02 02 02 02,"
                           u"0a 0a 0a 0a,0b 0b 0b 0b,0b 0b 0b 0b");
    key->KeyInsert(0);
    EXPECT_EQ(key->Save(), u"4,100,100,50,50,01 01 01 01,01 01 01 01,02 02 02 02,02 02 02 02,"
                           u"0a 0a 0a 0a,0a 0a 0a 0a,0b 0b 0b 0b,0b 0b 0b 0b");
    EXPECT_EQ(ErrorOf([&] { key->KeyInsert(-1); }), "TKeyGM.KeyInsert");
    EXPECT_EQ(ErrorOf([&] { key->KeyInsert(5); }), "TKeyGM.KeyInsert");
}

TEST_F(KeyTest, KeyDeleteClosesTheGapAndKeepsTheLastKey) {
    TKeyGM* key = MakeKey(1, u"3,1,2,3,01 01 01 01,02 02 02 02,03 03 03 03");
    key->KeyDelete(1);
    EXPECT_EQ(key->Save(), u"2,1,3,01 01 01 01,03 03 03 03");
    EXPECT_EQ(ErrorOf([&] { key->KeyDelete(2); }), "TKeyGM.KeyDelete");
    EXPECT_EQ(ErrorOf([&] { key->KeyDelete(-1); }), "TKeyGM.KeyDelete");
    key->KeyDelete(0);
    EXPECT_EQ(key->Save(), u"1,3,03 03 03 03");
    EXPECT_EQ(ErrorOf([&] { key->KeyDelete(0); }), "TKeyGM.KeyDelete");
}

// --- Keys that once divided by zero or walked forever ---

TEST_F(KeyTest, ZeroOrNegativePeriodEvaluatesToTheFirstKey) {
    TKeyGM* key = MakeKey(1, u"2,0,0,00 00 00 00,ff ff ff ff");
    EXPECT_EQ(key->Total, 0);
    for (int32_t length : {0, -5, 100}) {
        unit.Length = length;
        for (float t : {0.0f, 35.0f, -35.0f}) {
            const TKeyCalc r = key->Calc(t);
            EXPECT_EQ(r.Index, 0);
            EXPECT_EQ(r.Next, 0);
            EXPECT_EQ(r.Fraction, 0.0f);
        }
    }
}

TEST_F(KeyTest, WrappedDurationsAreWalkedAsZeroAndSavedAsRead) {
    const std::u16string text = u"3,3000000000,100,4294967295,00 00 00 00,ff ff ff ff,01 01 01 01";
    TKeyGM* key = MakeKey(1, text);
    EXPECT_LT(key->Duration(0), 0); // stored value as loaded
    EXPECT_EQ(key->Total, 100);
    EXPECT_EQ(key->Save(), text);
    const TKeyCalc mid = key->Calc(50);
    EXPECT_EQ(mid.Index, 1);
    EXPECT_EQ(mid.Next, 2);
    EXPECT_FLOAT_EQ(mid.Fraction, 0.5f);
    const TKeyCalc wrap = key->Calc(100);
    EXPECT_EQ(wrap.Index, 1);
    EXPECT_EQ(wrap.Fraction, 0.0f);

    TKeyGM* none = MakeKey(1, u"2,2147483648,4294967295,00 00 00 00,ff ff ff ff");
    EXPECT_EQ(none->Total, 0);
    EXPECT_EQ(none->Calc(77).Index, 0);
}

TEST_F(KeyTest, ZeroDurationsAmongOthersAreSkipped) {
    TKeyGM* key = MakeKey(1, u"4,0,100,0,50,00 00 00 00,01 01 01 01,02 02 02 02,03 03 03 03");
    const struct {
        float time;
        int32_t index, next;
        float fraction;
    } cases[] = {{0, 1, 2, 0.0f},    {99, 1, 2, 0.99f}, {100, 3, 0, 0.0f},
                 {149, 3, 0, 0.98f}, {150, 1, 2, 0.0f}, {275, 3, 0, 0.5f}};
    for (const auto& c : cases) {
        const TKeyCalc r = key->Calc(c.time);
        EXPECT_EQ(r.Index, c.index) << c.time;
        EXPECT_EQ(r.Next, c.next) << c.time;
        EXPECT_FLOAT_EQ(r.Fraction, c.fraction) << c.time;
    }
    // Before the start, a zero first duration holds key 0 instead of dividing by zero.
    unit.Offset = -30;
    const TKeyCalc before = key->Calc(0);
    EXPECT_EQ(before.Index, 0);
    EXPECT_EQ(before.Next, 1);
    EXPECT_EQ(before.Fraction, 0.0f);
}

TEST_F(KeyTest, HugeDurationsSumWithoutOverflow) {
    TKeyGM* key =
        MakeKey(1, u"3,2147483647,2147483647,2147483647,00 00 00 00,01 01 01 01,02 02 02 02");
    EXPECT_EQ(key->Total, 6442450941LL);
    const TKeyCalc r = key->Calc(1e9f);
    EXPECT_EQ(r.Index, 0);
    EXPECT_EQ(r.Next, 1);
    EXPECT_NEAR(r.Fraction, 1e9 / 2147483647.0, 1e-6);
}

TEST_F(KeyTest, DurationsEditedAfterLoadStillTerminate) {
    TKeyGM* key = MakeKey(1, kRedGreen); // Total 150
    key->SetDuration(0, 1);              // Total is now stale
    key->SetDuration(1, 1);
    const TKeyCalc r = key->Calc(149);
    EXPECT_EQ(r.Index, 1);
    EXPECT_EQ(r.Next, 0);
    EXPECT_EQ(r.Fraction, 0.0f);
    key->SetDuration(0, -1); // nothing left to walk
    key->SetDuration(1, 0);
    EXPECT_EQ(key->Calc(149).Index, 0);
}

} // namespace
} // namespace gm
