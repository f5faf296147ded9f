#include "foundation/QX_Buf.h"
#include "foundation/QX_Error.h"
#include "support/ErrorOf.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <zlib.h>

namespace gm {
namespace {

std::string Bytes(const TBufQX& b) {
    return std::string(reinterpret_cast<const char*>(b.Data), b.Len);
}

void Fill(TBufQX& b, const std::string& bytes) {
    b.Clear();
    b.AddStr(bytes);
    b.PointerSet(0);
}

using test::MessageOf;

TEST(TBufQX, EncodingsAreLittleEndianAndPacked) {
    TBufQX b;
    b.AddByte(0x12);
    b.AddBool(true);
    b.AddWord(0x3456);
    b.AddSmallInt(-2);
    b.AddInt(-2);
    b.AddDWord(0x89ABCDEF);
    b.AddSingle(1.0f);
    b.AddWideStr(u"abc");
    b.AddWideStr(u"");
    b.AddStr("xy");
    b.AddStr("");
    const std::string expected("\x12\x01\x56\x34\xFE\xFF\xFE\xFF\xFF\xFF\xEF\xCD\xAB\x89"
                               "\x00\x00\x80\x3F"
                               "a\0b\0c\0\0\0"
                               "\0\0"
                               "xy",
                               30);
    EXPECT_EQ(Bytes(b), expected);
    EXPECT_EQ(b.Pointer, 30);

    b.PointerSet(0);
    EXPECT_EQ(b.GetByte(), 0x12);
    EXPECT_TRUE(b.GetBool());
    EXPECT_EQ(b.GetWord(), 0x3456);
    EXPECT_EQ(b.GetSmallInt(), -2);
    EXPECT_EQ(b.GetInt(), -2);
    EXPECT_EQ(b.GetDWord(), 0x89ABCDEFu);
    EXPECT_EQ(b.GetSingle(), 1.0f);
    EXPECT_EQ(b.GetWideStr(), u"abc");
    EXPECT_EQ(b.GetWideStr(), u"");
    EXPECT_EQ(b.Pointer, 28);
}

TEST(TBufQX, NonAsciiWideTextRoundTrips) {
    TBufQX b;
    const std::u16string s = u"\u00e9\u4e2d\xD83D\xDE00";
    b.AddWideStr(s);
    EXPECT_EQ(b.Len, 10);
    b.PointerSet(0);
    EXPECT_EQ(b.GetWideStr(), s);
}

TEST(TBufQX, PutInTheMiddleOverwrites) {
    TBufQX b;
    Fill(b, "abcdef");
    b.PointerSet(2);
    b.AddWord(0x5958); // "XY"
    EXPECT_EQ(Bytes(b), "abXYef");
    b.PointerSet(5);
    b.AddWord(0x5A5A);
    EXPECT_EQ(Bytes(b), "abXYeZZ");
    EXPECT_EQ(b.Len, 7);
}

TEST(TBufQX, GrowthReservesGrowBytes) {
    TBufQX b;
    b.LenSet(10);
    EXPECT_EQ(b.Len, 10);
    EXPECT_EQ(b.Capacity, 266);
    b.LenSet(266);
    EXPECT_EQ(b.Capacity, 266); // fits: no reallocation
    b.LenSet(267);
    EXPECT_EQ(b.Capacity, 523);
    b.LenSet(3);
    EXPECT_EQ(b.Len, 3);
    EXPECT_EQ(b.Capacity, 523); // shrinking keeps the storage
    b.LenSet(0);
    EXPECT_EQ(b.Data, nullptr);
    EXPECT_EQ(b.Capacity, 0);

    TBufQX c;
    for (int i = 0; i < 257; ++i)
        c.AddByte(1);
    EXPECT_EQ(c.Capacity, 257); // the first put reserved 1 + 256, enough for 256 more
    c.AddByte(1);
    EXPECT_EQ(c.Capacity, 514);
    c.Grow = 0x80000;
    c.AddStr(std::string(257, 'x'));
    EXPECT_EQ(c.Len, 515);
    EXPECT_EQ(c.Capacity, 515 + 0x80000);

    // Past 64 KiB the storage grows by half its length at least, whatever Grow says: writing
    // 16 MiB byte by byte reallocates a few dozen times more, not once per Grow bytes.
    TBufQX d;
    int reallocations = 0;
    for (int i = 0; i < (16 << 20); ++i) {
        const int32_t before = d.Capacity;
        d.AddByte(static_cast<uint8_t>(i));
        reallocations += d.Capacity != before;
    }
    EXPECT_LE(reallocations, 256 + 30); // 256-byte steps to 64 KiB, then about 15
    EXPECT_LE(d.Capacity, int64_t{d.Len} * 3 / 2 + 1);
    EXPECT_EQ(d.Data[(16 << 20) - 1], static_cast<uint8_t>((16 << 20) - 1));
}

TEST(TBufQX, LenSetPullsPointerBack) {
    TBufQX b;
    Fill(b, "abcdef");
    b.PointerSet(6);
    b.LenSet(4);
    EXPECT_EQ(b.Pointer, 4);
    EXPECT_TRUE(b.IsEnd());
}

TEST(TBufQX, CheckMessages) {
    TBufQX b;
    Fill(b, "abc");
    struct Case {
        const char* expected;
        void (*call)(TBufQX&);
    };
    const Case cases[] = {
        {"TBufQX.PointerSet. zn=4", [](TBufQX& x) { x.PointerSet(4); }},
        {"TBufQX.PointerSet. zn=-1", [](TBufQX& x) { x.PointerSet(-1); }},
        {"TBufQX.TestGet. len=4", [](TBufQX& x) { x.GetInt(); }},
        {"TBufQX.TestGet. len=0", [](TBufQX& x) { x.TestGet(0); }},
        {"TBufQX.TestGet. sme=1 len=4", [](TBufQX& x) { x.GetDWordAt(1); }},
        {"TBufQX.TestGet. sme=-1 len=1", [](TBufQX& x) { x.TestGet(-1, 1); }},
        {"TBufQX.TestAddLenBuf. addlen=0", [](TBufQX& x) { x.TestAddLenBuf(0); }},
        {"TBufQX.TestAddLenBuf. sme=4 addlen=4", [](TBufQX& x) { x.SetDWordAt(4, 1); }},
        {"TBufQX.TestAddLenBuf. sme=-2 addlen=4", [](TBufQX& x) { x.SetDWordAt(-2, 1); }},
        {"TBufQX.TestGet. len=2147483647", [](TBufQX& x) { x.TestGet(INT32_MAX); }},
        {"TBufQX.TestAddLenBuf. addlen=2147483647",
         [](TBufQX& x) {
             x.PointerSet(1);
             x.TestAddLenBuf(INT32_MAX);
         }},
    };
    for (const Case& c : cases) {
        b.Pointer = 0;
        EXPECT_EQ(MessageOf([&] { c.call(b); }), c.expected);
        EXPECT_EQ(b.Len, 3) << c.expected;
    }
    EXPECT_EQ(Bytes(b), "abc");
}

TEST(TBufQX, FailedGetLeavesPointer) {
    TBufQX b;
    Fill(b, "abcd");
    b.PointerSet(1);
    EXPECT_THROW(b.GetInt(), ErrorQX);
    EXPECT_EQ(b.Pointer, 1);
    EXPECT_EQ(b.GetWord(), 0x6362);
}

TEST(TBufQX, PointerSetToLenIsAllowed) {
    TBufQX b;
    Fill(b, "ab");
    b.PointerSet(2);
    EXPECT_TRUE(b.IsEnd());
}

TEST(TBufQX, DWordAtPatchesWithoutMovingPointer) {
    TBufQX b;
    b.AddInt(0);
    b.AddInt(7);
    b.SetDWordAt(0, 0x11223344);
    b.SetDWordAt(8, 5); // pos == Len extends
    EXPECT_EQ(b.Pointer, 8);
    EXPECT_EQ(b.Len, 12);
    EXPECT_EQ(b.GetDWordAt(0), 0x11223344u);
    EXPECT_EQ(b.GetDWordAt(8), 5u);
}

TEST(TBufQX, CountFittingBoundsACountByTheBytesLeft) {
    TBufQX b;
    b.LenSet(20);
    b.PointerSet(4); // 16 bytes left
    EXPECT_EQ(b.CountFitting(3, 4), 3u);
    EXPECT_EQ(b.CountFitting(5, 4), 4u);
    EXPECT_EQ(b.CountFitting(0xFFFFFFFFu, 12), 1u); // no wrap in the product
    EXPECT_EQ(b.CountFitting(7, 0), 7u);            // empty records: the count as it is
    b.PointerSet(20);
    EXPECT_EQ(b.CountFitting(1, 1), 0u);
}

TEST(TBufQX, WideStrWithoutTerminatorFails) {
    TBufQX b;
    Fill(b, std::string("a\0b\0c", 5)); // a, b, then a lone byte
    EXPECT_EQ(b.WideStrLen(), 2);
    EXPECT_EQ(MessageOf([&] { b.GetWideStr(); }), "TBufQX.TestGet. len=6");
    EXPECT_EQ(b.Pointer, 0);
}

TEST(TBufQX, WideStrPastTheEndStaysAtTheEnd) {
    TBufQX b;
    Fill(b, std::string("x\0\0\0z", 5));
    EXPECT_EQ(b.GetWideStr(), u"x");
    EXPECT_EQ(b.Pointer, 4);
    EXPECT_EQ(b.GetWideStr(), u""); // one byte left: skips two, past Len
    EXPECT_EQ(b.Pointer, 6);
    EXPECT_TRUE(b.IsEnd());
    for (int i = 0; i < 1000; ++i)
        EXPECT_EQ(b.GetWideStr(), u"");
    EXPECT_EQ(b.Pointer, 7);
    EXPECT_TRUE(b.IsEnd());
    EXPECT_THROW(b.GetByte(), ErrorQX);
    EXPECT_EQ(b.GetLine(), "");

    // Even at the largest position the skip cannot wrap round to a negative Pointer.
    TBufQX big;
    big.Len = std::numeric_limits<int32_t>::max(); // never dereferenced: no bytes remain
    big.Pointer = big.Len;
    big.GetWideStr();
    big.GetWideStr();
    EXPECT_EQ(big.Pointer, std::numeric_limits<int32_t>::max());
    big.Len = 0;
}

TEST(TBufQX, PutAfterReadingPastTheEndZeroesTheGap) {
    TBufQX b;
    Fill(b, "q");
    b.PointerSet(1);
    b.GetWideStr();
    b.AddByte('z');
    EXPECT_EQ(Bytes(b), std::string("q\0\0z", 4));
}

TEST(TBufQX, LineRules) {
    struct Case {
        std::string text;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"a\r\nb", {"a", "b"}},
        {"a\n\nb", {"a", "b"}},       // the empty line goes with the first break
        {"a\n\n\nb", {"a", "", "b"}}, // a third break starts an empty line
        {"a\n\rb\rc", {"a", "b", "c"}},
        {std::string("a\0b", 3), {"a", "b"}},
        {"\r\nx", {"", "x"}},
        {"tail", {"tail"}},
    };
    for (const Case& c : cases) {
        TBufQX b;
        Fill(b, c.text);
        std::vector<std::string> got;
        while (!b.IsEnd())
            got.push_back(b.GetLine());
        EXPECT_EQ(got, c.lines) << c.text;
        EXPECT_EQ(b.GetLine(), "");
        EXPECT_EQ(b.Pointer, b.Len);
    }
}

TEST(TBufQX, WideLineRules) {
    TBufQX b;
    b.AddStr(std::string("a\0b\0\r\0\n\0\n\0c\0\x00\x04", 14)); // ab CR LF LF c U+0400
    b.AddByte('!');                                             // stray trailing byte
    b.PointerSet(0);
    EXPECT_EQ(b.WideLineLen(), 2);
    EXPECT_EQ(b.GetWideLine(), u"ab");
    EXPECT_EQ(b.GetWideLine(), u"");
    EXPECT_EQ(b.GetWideLine(), u"c\u0400");
    EXPECT_EQ(b.Pointer, 14);
    EXPECT_EQ(b.GetWideLine(), u""); // the stray byte is never read
    EXPECT_EQ(b.Pointer, 14);
}

TEST(TBufQX, CompressSmallBufferUnchanged) {
    TBufQX b;
    Fill(b, "1234567");
    EXPECT_FALSE(b.Compress());
    EXPECT_EQ(Bytes(b), "1234567");
}

TEST(TBufQX, CompressGivesAZlibStream) {
    TBufQX b;
    std::string text;
    for (int i = 0; i < 500; ++i)
        text += "row " + std::to_string(i % 7) + ";";
    Fill(b, text);
    b.PointerSet(100);
    ASSERT_TRUE(b.Compress());
    EXPECT_LT(b.Len, static_cast<int32_t>(text.size()));
    EXPECT_EQ(b.Pointer, 0);
    EXPECT_EQ(b.Capacity, b.Len);
    std::string back(text.size(), '\0');
    uLongf backLen = static_cast<uLongf>(back.size());
    ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(back.data()), &backLen, b.Data,
                         static_cast<uLong>(b.Len)),
              Z_OK);
    EXPECT_EQ(back, text);
}

TEST(TBufQX, IncompressibleContentIsKept) {
    TBufQX b;
    uint32_t x = 12345;
    for (int i = 0; i < 64; ++i) {
        x = x * 1103515245u + 12345u;
        b.AddByte(static_cast<uint8_t>(x >> 24));
    }
    const std::string before = Bytes(b);
    EXPECT_FALSE(b.Compress());
    EXPECT_EQ(Bytes(b), before);
}

} // namespace
} // namespace gm
