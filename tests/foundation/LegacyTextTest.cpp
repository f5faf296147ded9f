#include "foundation/LegacyText.h"
#include "foundation/QX_BlockPar.h"
#include "foundation/QX_Buf.h"
#include "foundation/QX_Error.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <string>

namespace gm {
namespace {

TEST(LegacyText, Utf8Validity) {
    const struct {
        const char* text;
        bool utf8;
    } cases[] = {
        {"plain", true},
        {"caf\xC3\xA9", true},
        {"caf\xE9", false},
        {"\xC3", false},
        {"\xC0\xAF", false},
        {"\xED\xA0\x80", false},
        {"\xF0\x9F\x98\x80", true},
        {"\xE2\x82", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsUtf8QX(c.text), c.utf8) << c.text;
}

TEST(LegacyText, ConvertsBothWaysThroughTheCodePage) {
    // 0x80 is the euro sign in Windows-1252, 0xE9 e acute; 0x81 is not defined there.
    EXPECT_EQ(LegacyToWideQX("\x80 caf\xE9", "Windows-1252"), u"\u20AC caf\u00E9");
    EXPECT_EQ(LegacyToWideQX("\xE9", "1251"), u"\u0439"); // Cyrillic short i
    EXPECT_EQ(WideToLegacyQX(u"\u20AC caf\u00E9", "cp1252"), "\x80 caf\xE9");
    EXPECT_EQ(WideToLegacyQX(u"a\u4E2Db", "Windows-1252"), "a?b");
    EXPECT_FALSE(LegacyCodePageKnownQX("no-such-page"));
    try {
        LegacyToWideQX("x", "no-such-page");
        ADD_FAILURE() << "an unknown code page must fail";
    } catch (const ErrorQX& e) {
        EXPECT_EQ(e.Message().rfind("Unknown code page: no-such-page", 0), 0u) << e.Message();
    }
}

TEST(LegacyText, BlockTextIsWrittenBackInTheEncodingItCameIn) {
    const struct {
        std::string text;
        const char* codePage;
        std::u16string port;
    } cases[] = {
        {"Port=D\xFCne\r\n", "Windows-1252", u"D\u00FCne"},
        {"Port=D\xC3\xBCne\r\n", "Windows-1252", u"D\u00FCne"}, // valid UTF-8 stays UTF-8
        {"Port=\xC4\xE0\r\n", "Windows-1251", u"\u0414\u0430"},
    };
    for (const auto& c : cases) {
        TBufQX in;
        in.AddStr(c.text);
        in.PointerSet(0);
        TBlockParQX block;
        block.LoadFromBuf(in, {.LegacyCodePage = c.codePage});
        EXPECT_EQ(block.Par_Get(u"Port"), c.port) << c.text;
        TBufQX out;
        block.SaveToBuf(out);
        EXPECT_EQ(
            std::string(reinterpret_cast<const char*>(out.Data), static_cast<std::size_t>(out.Len)),
            c.text);
    }
}

} // namespace
} // namespace gm
