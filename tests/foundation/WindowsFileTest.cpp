// How the file layer behaves on Windows, where the POSIX cases (modes, links, case-sensitive
// folders) do not apply: share modes, backslashes and case, and names in the ANSI code page.
#ifdef _WIN32

#include "foundation/Codec.h"
#include "foundation/PathResolver.h"
#include "foundation/QX_Buf.h"
#include "foundation/QX_Error.h"
#include "foundation/QX_File.h"

#include "support/ErrorOf.h"
#include "support/SystemReason.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <windows.h>

namespace gm {
namespace {

namespace fs = std::filesystem;
using WindowsFileTest = test::TempDirTest;

using test::MessageOf;

using test::Entries;

// Another program holding the file open decides by its share mode whether it may be replaced;
// either way the file is old or new as a whole, and nothing is left beside it.
TEST_F(WindowsFileTest, ReplacingAFileThatAnotherHandleHoldsOpen) {
    const std::string name = Dir.Write("edit.map", "old");
    for (DWORD share : {DWORD{FILE_SHARE_READ}, DWORD{FILE_SHARE_READ | FILE_SHARE_DELETE}}) {
        HANDLE held = CreateFileA(name.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        const std::string message = MessageOf([&] { SaveFileAtomicQX(name, "new", 3); });
        CloseHandle(held);
        if (share == FILE_SHARE_READ ||
            message != "(no error)") { // as a running game holds its files
            // The reason is the system's: a sharing violation or access denied.
            EXPECT_EQ(message.rfind("TFileQX.CreateNew. FileName=" + name + " (", 0), 0u)
                << message;
            EXPECT_EQ(test::TempDir::Read(name), "old");
        } else {
            EXPECT_EQ(test::TempDir::Read(name), "new");
            SaveFileAtomicQX(name, "old", 3);
        }
        EXPECT_EQ(Entries(Dir.Path()), std::vector<std::string>{"edit.map"}) << share;
    }
}

TEST_F(WindowsFileTest, BackslashesSlashesAndMixedCaseOpenTheSameFile) {
    Dir.Write("Data/Units/Tower.TXT", "x");
    const std::string base = Dir.Path().string();
    for (const char* stored :
         {"data\\UNITS\\tower.txt", "Data/Units/Tower.TXT", "\\data/units\\TOWER.txt"}) {
        const std::string path = ResolvePathQX(base, stored);
        EXPECT_EQ(path.find('/'), std::string::npos) << path;
        TBufQX b;
        b.LoadFromFile(path);
        EXPECT_EQ(b.Len, 1) << stored;
    }
    EXPECT_EQ(NativeSeparatorsQX("c:/game/Data\\edit.map"), "c:\\game\\Data\\edit.map");
}

TEST_F(WindowsFileTest, NonAsciiNamesInTheAnsiCodePage) {
    const std::u16string wide = u"Caf\u00e9 \u00e0 la r\u00f4tisserie.raw";
    const std::string ansi = WideToAnsiQX(wide);
    if (AnsiToWideQX(ansi) != wide)
        GTEST_SKIP() << "the ANSI code page " << GetACP() << " lacks these";
    // Joined as 8-bit text: the standard library would read a narrow name as UTF-8.
    const std::string folder = Dir.Path().string() + "\\";
    const std::string name = folder + ansi;
    SaveFileAtomicQX(name, "12345", 5);
    // The file has the wide name, not a mangled 8-bit one.
    EXPECT_TRUE(fs::exists(Dir.Path() / fs::path(wide)));
    TBufQX b;
    b.LoadFromFile(name);
    EXPECT_EQ(b.Len, 5);
    const std::string missing = folder + "\xe9t\xe9.raw";
    EXPECT_EQ(MessageOf([&] { TBufQX().LoadFromFile(missing); }),
              "TFileQX.Open. FileName=" + missing + test::Reason(test::Why::MissingFile));
}

} // namespace
} // namespace gm

#endif
