// Every input a fuzz target found a fault with, kept under tests/data/malformed/<target>/, runs
// again through that target's body: the same code paths and checks, without the fuzzer. Under the
// asan preset the sanitizers watch them as they watched the fuzzer.

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "harness/FuzzHarness.h"

namespace gm::fuzz {
namespace {

namespace fs = std::filesystem;

struct Finding {
    std::string Target;
    FuzzBody Body = nullptr;
    fs::path File;
};

void PrintTo(const Finding& f, std::ostream* os) {
    *os << f.File.string();
}

std::vector<Finding> Findings() {
    std::vector<Finding> all;
    for (const FuzzTarget& t : FuzzTargets) {
        const fs::path dir = fs::path(GM_TEST_DATA) / "malformed" / t.Name;
        std::error_code ec;
        std::vector<fs::path> files;
        for (const fs::directory_entry& e : fs::directory_iterator(dir, ec))
            // Dot files keep otherwise empty folders in git.
            if (e.is_regular_file() && e.path().filename().string()[0] != '.')
                files.push_back(e.path());
        std::sort(files.begin(), files.end());
        for (const fs::path& f : files)
            all.push_back({t.Name, t.Body, f});
    }
    return all;
}

std::string TestName(const testing::TestParamInfo<Finding>& info) {
    std::string name = info.param.Target + "_" + info.param.File.stem().string();
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

class ReplayTest : public testing::TestWithParam<Finding> {};

TEST_P(ReplayTest, KeepsEveryPromise) {
    std::ifstream in(GetParam().File, std::ios::binary);
    const std::string input((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_TRUE(in.good() || in.eof()) << GetParam().File;
    FuzzContext ctx;
    try {
        GetParam().Body(ctx, input);
    } catch (const HarnessFailure& e) {
        FAIL() << "broken promise: " << e.what();
    } catch (const std::exception& e) {
        FAIL() << "unexpected exception: " << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(Malformed, ReplayTest, testing::ValuesIn(Findings()), TestName);

// The folders exist for every target, so a finding is never dropped by a misspelt folder.
TEST(ReplayFolders, OneFolderPerTarget) {
    std::vector<std::string> expected, found;
    for (const FuzzTarget& t : FuzzTargets)
        expected.push_back(t.Name);
    for (const fs::directory_entry& e :
         fs::directory_iterator(fs::path(GM_TEST_DATA) / "malformed"))
        if (e.is_directory()) found.push_back(e.path().filename().string());
    std::sort(expected.begin(), expected.end());
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, expected);
}

} // namespace
} // namespace gm::fuzz
