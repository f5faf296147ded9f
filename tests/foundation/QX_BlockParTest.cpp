#include "foundation/QX_BlockPar.h"
#include "foundation/QX_Buf.h"
#include "foundation/QX_Error.h"

#include "support/ErrorOf.h"
#include "support/SystemReason.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace gm {
namespace {

using BlockParFiles = test::TempDirTest;

using test::MessageOf;

std::string Narrow(const std::u16string& s) {
    std::string r;
    for (char16_t c : s)
        r += c < 128 ? static_cast<char>(c) : '?';
    return r;
}

// Compact picture of a tree: parameters as name=[value], blocks as name{...}.
std::string Dump(const TBlockParQX& b) {
    std::string r;
    for (TBlockParElQX* el = b.First(); el; el = el->Next) {
        EXPECT_EQ(el->Owner, &b);
        if (el->Kind == TBlockParElQX::KindBlock)
            r += Narrow(el->Name) + "{" + Dump(*el->Block) + "}";
        else
            r += Narrow(el->Name) + "=[" + Narrow(el->Value) + "]";
    }
    return r;
}

std::string Parse(const std::string& text) {
    TBufQX buf;
    buf.AddStr(text);
    buf.PointerSet(0);
    TBlockParQX root;
    root.LoadFromBuf(buf);
    return Dump(root);
}

std::string Saved(const TBlockParQX& b) {
    TBufQX buf;
    b.SaveToBuf(buf);
    return std::string(reinterpret_cast<const char*>(buf.Data), buf.Len);
}

std::string Utf16(const std::u16string& s) {
    std::string r;
    for (char16_t c : s) {
        r += static_cast<char>(c & 0xFF);
        r += static_cast<char>(c >> 8);
    }
    return r;
}

TEST(TBlockParQX, ReaderClassifiesLines) {
    struct Case {
        const char* text;
        const char* tree;
    };
    const Case cases[] = {
        {"A { x=1\n}\n", "A{x=[1]}"},
        {"A {}\ny=2\n", "A{}y=[2]"},
        {"A {\nx=1 }\ny=2\n", "A{}y=[2]"},
        {"a = b = c\n", "a=[ b = c]"},
        {"dir=a//b\n", "dir=[a]"},
        {"x=1 // c=2\n", "x=[1]"},
        {"A=b=c {\n}\n", "A=b=c{}"},
        {"  x=1  \n// only a comment\n\njunk line\n", "x=[1]"},
        {"x=1\n}\ny=2\n", "x=[1]"}, // a top-level } ends the load
        {"A {\nB {\nz=3\n}\nw=4\n}\nv=5", "A{B{z=[3]}w=[4]}v=[5]"},
        {"A { B { c=1\n}\n}\nd=2\n", "A{B{c=[1]}}d=[2]"},
        {"A {\nx=1", "A{x=[1]}"}, // open blocks close at the end
        {"A { x=1", "A{}"},       // text after the brace on the very last line is not read
        {"\tA\t{\t\r\n\tk = v\r\n\t}\r\n", "A{k=[ v]}"},
        {"x=\n=5\n", "x=[]=[5]"},
        {"a=1\na=2\n", "a=[1]a=[2]"},
        {"ab", ""}, // two bytes or fewer: nothing
        {"x=1", "x=[1]"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Parse(c.text), c.tree) << c.text;
}

TEST(TBlockParQX, HeaderWithoutNameFails) {
    TBufQX buf;
    buf.AddStr("a=1\n  { x=1 // note\nb=2\n");
    buf.PointerSet(0);
    TBlockParQX root;
    EXPECT_EQ(MessageOf([&] { root.LoadFromBuf(buf); }), "TBlockParQX.LoadFromBuf_r. tstr={ x=1");
    EXPECT_EQ(Dump(root), "a=[1]"); // what was read before stays
}

TEST(TBlockParQX, EightBitTextUsesTheCodePage) {
    TBufQX buf;
#ifdef _WIN32
    buf.AddStr("n=\xE9\n"); // the ANSI code page (Windows-1252 under Wine and in the West)
#else
    buf.AddStr("n=\xC3\xA9\n"); // UTF-8
#endif
    buf.PointerSet(0);
    TBlockParQX root;
    root.LoadFromBuf(buf);
    EXPECT_EQ(root.Par_Get(u"n"), u"\u00e9");
}

TEST(TBlockParQX, Utf16WithByteOrderMark) {
    TBufQX buf;
    buf.AddStr(Utf16(u"\uFEFFA {\r\n  k=\u4e2d // c\r\n}\r\nz=9"));
    buf.PointerSet(0);
    TBlockParQX root;
    root.LoadFromBuf(buf);
    EXPECT_EQ(Dump(root), "A{k=[?]}z=[9]");
    EXPECT_EQ(root.Block_Get(u"A")->Par_Get(u"k"), u"\u4e2d");
}

TEST(TBlockParQX, Utf16OfOddLengthEndsAtTheStrayByte) {
    TBufQX buf;
    buf.AddStr(Utf16(u"\uFEFFx=1\r\ny=2") + "!");
    buf.PointerSet(0);
    TBlockParQX root;
    root.LoadFromBuf(buf); // used to spin for ever on the last byte
    EXPECT_EQ(Dump(root), "x=[1]y=[2]");
}

TEST(TBlockParQX, NestingIsLimited) {
    std::string ok;
    for (int i = 0; i < 256; ++i)
        ok += "A {\n";
    ok += "deep=1\n";
    TBufQX buf;
    buf.AddStr(ok);
    buf.PointerSet(0);
    TBlockParQX root;
    root.LoadFromBuf(buf);
    const TBlockParQX* b = &root;
    for (int i = 0; i < 256; ++i)
        b = b->Block_Get(0);
    EXPECT_EQ(b->Par_Get(u"deep"), u"1");

    for (const std::string& one : {std::string("A {\n"), std::string("A { ")}) {
        std::string deep;
        for (int i = 0; i < 1000; ++i)
            deep += one;
        deep += "\nx=1\n";
        TBufQX d;
        d.AddStr(deep);
        d.PointerSet(0);
        TBlockParQX r;
        EXPECT_EQ(MessageOf([&] { r.LoadFromBuf(d); }), "TBlockParQX.LoadFromBuf_r. depth>256");
    }
}

TEST(TBlockParQX, LookupsTakeFirstMatchAndCountByKind) {
    TBlockParQX b;
    b.Par_Add(u"p", u"1");
    TBlockParQX* a1 = b.Block_Add(u"A");
    b.Par_Add(u"q", u"2");
    TBlockParQX* a2 = b.Block_Add(u"A");
    b.Par_Add(u"p", u"3");
    b.Block_Add(u"B")->Par_Add(u"inner", u"x");
    b.Par_Add(u"A", u"param named like a block");

    EXPECT_EQ(b.Par_Count(), 4);
    EXPECT_EQ(b.Block_Count(), 3);
    EXPECT_EQ(b.Par_CountName(u"p"), 2);
    EXPECT_EQ(b.Block_CountName(u"A"), 2);
    EXPECT_EQ(b.Par_Get(u"p"), u"1");
    EXPECT_EQ(b.Par_Get(u"A"), u"param named like a block");
    EXPECT_EQ(b.Block_Get(u"A"), a1);
    EXPECT_EQ(b.Block_Get(1), a2);
    EXPECT_EQ(b.Block_GetName(2), u"B");
    EXPECT_EQ(b.Par_GetName(1), u"q");
    EXPECT_EQ(b.Block_Find(u"q"), nullptr);
    EXPECT_EQ(b.Block_Find(u"a"), nullptr); // exact case

    b.Par_Set(u"p", u"one");
    b.Par_SetName(u"q", u"r");
    b.Block_SetName(1, u"C");
    b.Par_Delete(u"p");
    b.Block_Delete(0);
    EXPECT_EQ(Dump(b), "r=[2]C{}p=[3]B{inner=[x]}A=[param named like a block]");
}

TEST(TBlockParQX, LookupMessages) {
    TBlockParQX b;
    b.Par_Add(u"x", u"1");
    b.Par_Add(u"y", u"2");
    for (int i = 0; i < 3; ++i)
        b.Block_Add(u"B");
    struct Case {
        const char* expected;
        void (*call)(TBlockParQX&);
    };
    const Case cases[] = {
        {"TBlockParQX.Block_Get. no=2", [](TBlockParQX& t) { t.Block_Get(5); }},
        {"TBlockParQX.Block_Get. no=-4", [](TBlockParQX& t) { t.Block_Get(-1); }},
        {"TBlockParQX.Block_GetName. no=0", [](TBlockParQX& t) { t.Block_GetName(3); }},
        {"TBlockParQX.Block_SetName. no=1", [](TBlockParQX& t) { t.Block_SetName(4, u"z"); }},
        {"TBlockParQX.Block_Get. no=0", [](TBlockParQX& t) { t.Block_Delete(3); }},
        {"TBlockParQX.Par_GetName. no=0", [](TBlockParQX& t) { t.Par_GetName(2); }},
        {"TBlockParQX.Block_Get. name=B", [](TBlockParQX& t) { t.Par_Get(u"B"); }},
        {"TBlockParQX.Block_Get. name=q", [](TBlockParQX& t) { t.Par_Set(u"q", u"1"); }},
        {"TBlockParQX.Block_Get. name=q", [](TBlockParQX& t) { t.Par_Delete(u"q"); }},
        {"TBlockParQX.Block_SetName. oldname=q", [](TBlockParQX& t) { t.Par_SetName(u"q", u"r"); }},
        {"TBlockParQX.Block_Get. name=x", [](TBlockParQX& t) { t.Block_Get(u"x"); }},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MessageOf([&] { c.call(b); }), c.expected);
    EXPECT_EQ(Dump(b), "x=[1]y=[2]B{}B{}B{}");
}

TEST(TBlockParQX, WriterExactBytes) {
    TBlockParQX root;
    root.Block_Add(u"A")->Par_Add(u"x", u"1");
    EXPECT_EQ(Saved(root), "A {\r\n    x=1\r\n}\r\n");

    const std::string sample = "Name=Sample\r\n"
                               "Sizes {\r\n"
                               "    Width=10\r\n"
                               "    Height=20\r\n"
                               "    Inner {\r\n"
                               "        Flag=1\r\n"
                               "    }\r\n"
                               "}\r\n";
    EXPECT_EQ(Parse(sample), "Name=[Sample]Sizes{Width=[10]Height=[20]Inner{Flag=[1]}}");
    TBufQX buf;
    buf.AddStr(sample);
    buf.PointerSet(0);
    TBlockParQX back;
    back.LoadFromBuf(buf);
    EXPECT_EQ(Saved(back), sample);
}

TEST(TBlockParQX, ReadWriteKeepsNamesAndValues) {
    const std::string text = "a= spaced value \n// gone\nB{c =x=y\n}\n";
    TBufQX buf;
    buf.AddStr(text);
    buf.PointerSet(0);
    TBlockParQX first;
    first.LoadFromBuf(buf);
    EXPECT_EQ(Saved(first), "a= spaced value\r\nB {\r\n    c=x=y\r\n}\r\n");
    TBufQX again;
    first.SaveToBuf(again);
    again.PointerSet(0);
    TBlockParQX second;
    second.LoadFromBuf(again);
    EXPECT_EQ(Dump(second), Dump(first));
}

TEST(TBlockParQX, BlockWithoutNameIsWrittenSoThatItReadsBack) {
    TBufQX buf;
    buf.AddStr("= {\nx=1\n}\nA {={\n}\n}\n");
    buf.PointerSet(0);
    TBlockParQX first;
    first.LoadFromBuf(buf);
    ASSERT_EQ(first.Block_Count(), 2);
    EXPECT_EQ(first.Block_GetName(0), u"");
    EXPECT_EQ(first.Block_Get(1)->Block_GetName(0), u"");
    const std::string text = Saved(first);
    EXPECT_EQ(text, "= {\r\n    x=1\r\n}\r\nA {\r\n    = {\r\n    }\r\n}\r\n");
    TBufQX again;
    again.AddStr(text);
    again.PointerSet(0);
    TBlockParQX second;
    second.LoadFromBuf(again);
    EXPECT_EQ(Dump(second), Dump(first));
}

TEST_F(BlockParFiles, IncludesResolveAgainstTheIncludingFile) {
    Dir.Write("Units/main.txt", "A=sub\\Inc.txt {\nx=1\n}\nafter=1\n");
    Dir.Write("Units/Sub/inc.TXT", "y=2\nC=deeper.txt {\n}\n}\nignored=1\n");
    Dir.Write("Units/Sub/deeper.txt", Utf16(u"\uFEFFz=3\r\n"));
    TBlockParQX root;
    root.LoadFromFile(Dir.File("Units/main.txt"));
    EXPECT_EQ(Dump(root), "A{x=[1]y=[2]C{z=[3]}}after=[1]");
    EXPECT_EQ(Saved(root), "A {\r\n    x=1\r\n    y=2\r\n    C {\r\n        z=3\r\n    }\r\n}\r\n"
                           "after=1\r\n");

    root.LoadFromFile(Dir.File("Units/main.txt")); // appends
    EXPECT_EQ(root.Block_CountName(u"A"), 2);
    EXPECT_EQ(root.Par_CountName(u"after"), 2);
}

TEST_F(BlockParFiles, IncludesNamedFromTheStartFolderComeFirst) {
    // Descriptions for the original layout name includes from the start folder.
    Dir.Write("start/shared/pts.txt", "from=start\n");
    Dir.Write("start/Units/shared/pts.txt", "from=units\n");
    Dir.Write("start/Units/only.txt", "from=units\n");
    Dir.Write("start/Units/u.txt", "Point=shared\\pts.txt {\n}\nB=only.txt {\n}\n");
    const std::filesystem::path old = std::filesystem::current_path();
    std::filesystem::current_path(Dir.File("start"));
    TBlockParQX root;
    std::string error;
    try {
        root.LoadFromFile(Dir.File("start/Units/u.txt"));
    } catch (const ErrorQX& e) {
        error = e.Message();
    }
    std::filesystem::current_path(old);
    EXPECT_EQ(error, "");
    EXPECT_EQ(Dump(root), "Point{from=[start]}B{from=[units]}");
}

TEST_F(BlockParFiles, IncludeFailures) {
    const std::string missing = Dir.Write("m.txt", "A=nothere.txt {\n}\n");
    TBlockParQX root;
    EXPECT_EQ(MessageOf([&] { root.LoadFromFile(missing); }),
              "TFileQX.Open. FileName=" + Dir.File("nothere.txt") +
                  test::Reason(test::Why::MissingFile));

    const std::string self = Dir.Write("self.txt", "A=self.txt {\n}\n");
    EXPECT_EQ(MessageOf([&] { TBlockParQX().LoadFromFile(self); }),
              "TBlockParQX.LoadFromFile. include cycle FileName=" + Dir.File("self.txt"));

    Dir.Write("one.txt", "B=two.txt {\n}\n");
    Dir.Write("two.txt", "C=one.txt {\n}\n");
    EXPECT_EQ(MessageOf([&] { TBlockParQX().LoadFromFile(Dir.File("one.txt")); }),
              "TBlockParQX.LoadFromFile. include cycle FileName=" + Dir.File("one.txt"));

    // The same file twice side by side is no cycle.
    Dir.Write("leaf.txt", "v=1\n");
    TBlockParQX twice;
    twice.LoadFromFile(Dir.Write("twice.txt", "A=leaf.txt {\n}\nB=leaf.txt {\n}\n"));
    EXPECT_EQ(Dump(twice), "A{v=[1]}B{v=[1]}");
}

// Blocks that each include file, `times` times.
std::string Includes(const std::string& file, int times) {
    std::string text;
    for (int i = 0; i < times; ++i)
        text += "A=" + file + " {\n}\n";
    return text;
}

TEST_F(BlockParFiles, OneLoadReadsAtMost256FilesAnd4MiB) {
    const std::string leaf = Dir.Write("leaf.txt", "v=1\n");
    TBlockParQX full;
    full.LoadFromFile(Dir.Write("full.txt", Includes("leaf.txt", 255))); // 256 files in all
    EXPECT_EQ(full.Block_Count(), 255);
    EXPECT_EQ(MessageOf([&] {
                  TBlockParQX().LoadFromFile(Dir.Write("over.txt", Includes("leaf.txt", 256)));
              }),
              "TBlockParQX.LoadFromFile. files>256 FileName=" + leaf);

    // No cycle, but without the limit three files of 30 includes each would read 27931 files.
    Dir.Write("n1.txt", Includes("n2.txt", 30));
    Dir.Write("n2.txt", Includes("n3.txt", 30));
    Dir.Write("n3.txt", "v=1\n");
    EXPECT_EQ(MessageOf([&] {
                  TBlockParQX().LoadFromFile(Dir.Write("fan.txt", Includes("n1.txt", 30)));
              }),
              "TBlockParQX.LoadFromFile. files>256 FileName=" + Dir.File("n3.txt"));

    // One big file included twice: the second is refused before it is read.
    const std::string big = Dir.Write("big.txt", std::string(3 << 20, 'x'));
    EXPECT_EQ(MessageOf([&] {
                  TBlockParQX().LoadFromFile(Dir.Write("twice.txt", Includes("big.txt", 2)));
              }),
              "TBlockParQX.LoadFromFile. bytes>4194304 FileName=" + big);

    // A caller may set tighter limits.
    const int64_t room =
        static_cast<int64_t>(std::filesystem::file_size(Dir.File("full.txt"))) + 10;
    EXPECT_EQ(MessageOf([&] {
                  TBlockParQX().LoadFromFile(Dir.File("full.txt"), {.Files = 10, .Bytes = 1 << 20});
              }),
              "TBlockParQX.LoadFromFile. files>10 FileName=" + leaf);
    EXPECT_EQ(MessageOf([&] {
                  TBlockParQX().LoadFromFile(Dir.File("full.txt"), {.Files = 300, .Bytes = room});
              }),
              "TBlockParQX.LoadFromFile. bytes>" + std::to_string(room) + " FileName=" + leaf);
}

TEST_F(BlockParFiles, SaveToFileRoundTrips) {
    TBlockParQX root;
    root.Par_Add(u"k", u" v");
    root.Block_Add(u"E");
    const std::string name = Dir.File("out.txt");
    root.SaveToFile(name);
    EXPECT_EQ(test::TempDir::Read(name), "k= v\r\nE {\r\n}\r\n");
    TBlockParQX back;
    back.LoadFromFile(name);
    EXPECT_EQ(Dump(back), "k=[ v]E{}");
}

} // namespace
} // namespace gm
