#include "foundation/QX_Str.h"
#include "foundation/QX_Error.h"
#include "support/ErrorOf.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace gm {
namespace {

using test::MessageOf;

std::vector<std::u16string> Texts(const TStringsQX& l) {
    std::vector<std::u16string> r;
    for (const TStringsElQX* el = l.First; el; el = el->Next)
        r.push_back(el->Text);
    return r;
}

TEST(TStringsQX, ReadingOrWritingPastTheEndLengthens) {
    TStringsQX l;
    EXPECT_EQ(l.Count(), 0);
    TStringsElQX* el = l.El_GetEx(3);
    EXPECT_EQ(l.Count(), 4);
    EXPECT_EQ(el, l.Last);
    EXPECT_EQ(Texts(l), (std::vector<std::u16string>{u"", u"", u"", u""}));
    l.Set(1, u"b");
    EXPECT_EQ(l.Get(1), u"b");
    EXPECT_EQ(l.Get(5), u"");
    EXPECT_EQ(l.Count(), 6);
    EXPECT_EQ(MessageOf([&] { l.El_GetEx(-1); }), "TStringsQX.El_GetEx. i=-1");
    EXPECT_EQ(l.Count(), 6);
    l.Clear();
    EXPECT_EQ(l.First, nullptr);
    EXPECT_EQ(l.Last, nullptr);
}

TEST(TStringsQX, IndexOfIsExact) {
    TStringsQX l;
    l.Add(u"a");
    l.Add(u"b");
    l.Add(u"a");
    EXPECT_EQ(l.IndexOf(u"a"), 0);
    EXPECT_EQ(l.IndexOf(u"b"), 1);
    EXPECT_EQ(l.IndexOf(u"A"), -1);
    EXPECT_EQ(l.IndexOf(u"a "), -1);
}

TEST(TStringsQX, SortOrdersByCodeUnits) {
    TStringsQX l;
    for (const char16_t* s : {u"b", u"\u00e9", u"ab", u"B", u"", u"a", u"b"})
        l.Add(s);
    TStringsElQX* first = l.First;
    l.Sort();
    EXPECT_EQ(Texts(l),
              (std::vector<std::u16string>{u"", u"B", u"a", u"ab", u"b", u"b", u"\u00e9"}));
    EXPECT_EQ(l.First, first); // texts move, elements stay
}

TEST(FieldParsing, CountsAndFields) {
    EXPECT_EQ(GetCountParQX(u"", u","), 0);
    EXPECT_EQ(GetCountParQX(u"a", u","), 1);
    EXPECT_EQ(GetCountParQX(u",", u","), 2);
    EXPECT_EQ(GetCountParQX(u"1,,3", u","), 3);
    EXPECT_EQ(GetCountParQX(u"a\\b/c", u"\\/"), 3);

    EXPECT_EQ(GetSmeParQX(u"10,20,30", 0, u","), 1);
    EXPECT_EQ(GetSmeParQX(u"10,20,30", -3, u","), 1);
    EXPECT_EQ(GetSmeParQX(u"10,20,30", 1, u","), 4);
    EXPECT_EQ(GetSmeParQX(u"10,20,30", 2, u","), 7);
    EXPECT_EQ(GetLenParQX(u"10,20,30", 4, u","), 2);
    EXPECT_EQ(GetLenParQX(u"10,20,300", 7, u","), 3);

    struct Case {
        std::u16string s;
        int np;
        std::u16string seps;
        std::u16string field;
    };
    const Case cases[] = {
        {u"10,20,30", 0, u",", u"10"}, {u"10,20,30", 2, u",", u"30"}, {u"1,,3", 1, u",", u""},
        {u" a , b ", 1, u",", u" b "}, {u"a\\b/c", 2, u"\\/", u"c"},  {u"x", 0, u",", u"x"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GetStrParQX(c.s, c.np, c.seps), c.field);

    EXPECT_EQ(GetStrParExQX(u"a=b=c", 1, 2, u"="), u"b=c");
    EXPECT_EQ(GetStrParExQX(u"1,2,3,4", 0, 1, u","), u"1,2");
    EXPECT_EQ(GetStrParExQX(u"1,2,3,4", 2, 2, u","), u"3");
}

TEST(FieldParsing, FieldBeyondTheLastFails) {
    EXPECT_EQ(MessageOf([] { GetStrParQX(u"10,20,30", 3, u","); }),
              "GetSmeParQX. Str=10,20,30 np=1 raz=,");
    EXPECT_EQ(MessageOf([] { GetSmeParQX(u"a", 4, u";"); }), "GetSmeParQX. Str=a np=4 raz=;");
    EXPECT_EQ(MessageOf([] { GetStrParExQX(u"a,b", 0, 2, u","); }),
              "GetSmeParQX. Str=a,b np=1 raz=,");
}

TEST(TextFunctions, TrimAndComments) {
    EXPECT_EQ(TrimQX(u"\t x\r\n"), u"x");
    EXPECT_EQ(TrimQX(std::u16string(u"\0 a b\0", 6)), u"a b");
    EXPECT_EQ(TrimQX(u"\x01x\x0B"), u"\x01x\x0B"); // other control characters stay
    EXPECT_EQ(TrimQX(u" \t\r\n"), u"");

    EXPECT_EQ(DelCommentQX(u"abc "), u"abc ");
    EXPECT_EQ(DelCommentQX(u"//x"), u"");
    EXPECT_EQ(DelCommentQX(u"a \t\x01// c"), u"a");
    EXPECT_EQ(DelCommentQX(u"a//b//c"), u"a");
    EXPECT_EQ(DelCommentQX(u"http://x"), u"http:");
    EXPECT_EQ(DelCommentQX(u"a/b"), u"a/b");
}

TEST(TextFunctions, LenientIntegers) {
    struct Case {
        std::u16string s;
        bool isInt;
        uint32_t u;
        int32_t i;
    };
    const Case cases[] = {
        {u"", false, 0, 0},
        {u"-5", true, 5, -5},
        {u"+5", false, 5, 5},
        {u"-", true, 0, 0},
        {u"1-2", true, 12, 12},
        {u"0-5", true, 5, -5},
        {u"-12", true, 12, -12},
        {u"a1b2", false, 12, 12},
        {u"1.0", false, 10, 10},
        {u"x-7", false, 7, -7},
        {u"007", true, 7, 7},
        {u"4294967297", true, 1, 1},
        {u"2147483647", true, 2147483647u, 2147483647},
    };
    for (const Case& c : cases) {
        const std::string label(c.s.begin(), c.s.end());
        EXPECT_EQ(IsIntQX(c.s), c.isInt) << label;
        EXPECT_EQ(StrToUIntQX(c.s), c.u) << label;
        EXPECT_EQ(StrToIntQX(c.s), c.i) << label;
    }
}

TEST(TextFunctions, LenientFloats) {
    struct Case {
        std::u16string s;
        float v;
    };
    const Case cases[] = {
        {u"", 0.0f},       {u"1.5", 1.5f},         {u"-0.25", -0.25f}, {u"12a.5x", 12.5f},
        {u"1,5", 15.0f},   {u"5-", -5.0f},         {u".5", 0.5f},      {u"1e5", 15.0f},
        {u"1.2.3", 1.23f}, {u"3.14159", 3.14159f}, {u"0.x0x1", 0.01f},
    };
    for (const Case& c : cases)
        EXPECT_FLOAT_EQ(StrToFloatQX(c.s), c.v) << std::string(c.s.begin(), c.s.end());
}

TEST(TextFunctions, Hex) {
    EXPECT_EQ(ByteToHexQX(255), u"ff");
    EXPECT_EQ(ByteToHexQX(10), u"0a");
    EXPECT_EQ(ByteToHexQX(0), u"00");
    EXPECT_EQ(ByteToHexQX(0xA7), u"a7");
    EXPECT_EQ(HexToIntQX(u"ff"), 255u);
    EXPECT_EQ(HexToIntQX(u"FF"), 255u);
    EXPECT_EQ(HexToIntQX(u"0x1A"), 26u);
    EXPECT_EQ(HexToIntQX(u"g1 z"), 1u);
    EXPECT_EQ(HexToIntQX(u""), 0u);
    EXPECT_EQ(HexToIntQX(u"123456789"), 0x23456789u); // the high digit falls off
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(HexToIntQX(ByteToHexQX(static_cast<uint8_t>(b))), uint32_t(b));
}

TEST(TextFunctions, LowerCompareFind) {
    EXPECT_EQ(LowerQX(u"Hello WORLD 09_Z"), u"hello world 09_z");
    EXPECT_EQ(LowerQX(u"\u00c9A"), u"\u00c9a"); // only ASCII letters change

    EXPECT_EQ(CompareQX(u"abc", u"abc"), 0);
    EXPECT_EQ(CompareQX(u"a", u"b"), -1);
    EXPECT_EQ(CompareQX(u"b", u"a"), 1);
    EXPECT_EQ(CompareQX(u"a", u"ab"), -1);
    EXPECT_EQ(CompareQX(u"ab", u"a"), 1);
    EXPECT_EQ(CompareQX(u"", u"a"), -1);
    EXPECT_EQ(CompareQX(u"Z", u"a"), -1);
    EXPECT_EQ(CompareQX(u"\uFFFF", u"a"), 1); // units compare unsigned

    EXPECT_EQ(FindQX(u"abcabc", u"bc", 0), 1);
    EXPECT_EQ(FindQX(u"abcabc", u"bc", 2), 4);
    EXPECT_EQ(FindQX(u"abcabc", u"bc", 5), -1);
    EXPECT_EQ(FindQX(u"abc", u"abcd", 0), -1);
    EXPECT_EQ(FindQX(u"abc", u"x", 0), -1);
}

TEST(TextFunctions, Paths) {
    EXPECT_EQ(FileBaseNameQX(u"data\\units\\tower.b.txt"), u"tower.b");
    EXPECT_EQ(FileBaseNameQX(u"a/b\\c.txt"), u"c");
    EXPECT_EQ(FileBaseNameQX(u"name"), u"name");
    EXPECT_EQ(FileBaseNameQX(u"dir.d\\file"), u"file");

    EXPECT_EQ(PathNoSlashQX(u" c:\\x\\\\ "), u"c:\\x");
    EXPECT_EQ(PathNoSlashQX(u"a/b/\\/"), u"a/b");
    EXPECT_EQ(PathNoSlashQX(u"c:\\x"), u"c:\\x");

    const std::u16string path = u"C:\\Game\\Data\\Units\\a.txt";
    struct Case {
        std::u16string base;
        std::u16string rel;
    };
    const Case cases[] = {
        {u"c:\\game\\data", u"Units\\a.txt"},   {u"c:\\game\\other", u"..\\Data\\Units\\a.txt"},
        {u"c:\\game\\data\\", u"Units\\a.txt"}, {u"c:\\game\\data\\units\\a.txt\\x", u"..\\"},
        {u" C:/GAME / data", u"Units\\a.txt"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RelativePathQX(path, c.base), c.rel) << std::string(c.base.begin(), c.base.end());
    EXPECT_EQ(RelativePathQX(u"", u"c:\\"), u"");
    EXPECT_EQ(RelativePathQX(path, u""), u"");
}

TEST(TextFunctions, IntToWide) {
    EXPECT_EQ(IntToWideQX(0), u"0");
    EXPECT_EQ(IntToWideQX(-12), u"-12");
    EXPECT_EQ(IntToWideQX(INT64_MIN), u"-9223372036854775808");
}

} // namespace
} // namespace gm
