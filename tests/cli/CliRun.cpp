#include "cli/CliRun.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace gm::test {

namespace {

std::string Quote(const std::string& s) {
#ifdef _WIN32
    return "\"" + s + "\"";
#else
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
#endif
}

} // namespace

CliResult RunCli(const TempDir& dir, const std::vector<std::string>& args) {
    const std::filesystem::path cap = dir.Path() / "captured";
    std::filesystem::create_directories(cap);
    const std::string out = (cap / "stdout").string(), err = (cap / "stderr").string();
    std::string cmd = Quote(GM_CLI_PATH);
    for (const std::string& a : args)
        cmd += " " + Quote(a);
    cmd += " >" + Quote(out) + " 2>" + Quote(err);
#ifdef _WIN32
    // cmd.exe drops the first and last quote of a line that starts with one.
    cmd = "\"" + cmd + "\"";
#endif
    const int status = std::system(cmd.c_str());
    CliResult r;
#ifdef _WIN32
    r.Code = status;
#else
    r.Code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    r.Out = TempDir::Read(out);
    r.Err = TempDir::Read(err);
#ifdef _WIN32
    // The console streams are text streams: lines end in CR LF there.
    for (std::string* text : {&r.Out, &r.Err})
        for (size_t at = 0; (at = text->find("\r\n", at)) != std::string::npos;)
            text->erase(at, 1);
#endif
    return r;
}

std::string UnitsDir() {
    return std::filesystem::path(GM_TEST_DATA "/units").make_preferred().string();
}

nlohmann::ordered_json DumpWorld(const TempDir& dir, const std::string& world) {
    const CliResult r = RunCli(dir, {"dump", world});
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(r.Err, "");
    return nlohmann::ordered_json::parse(r.Out, nullptr, false);
}

bool FileExists(const std::string& path) {
    return std::filesystem::exists(path);
}

RawWorld::RawWorld(int32_t version, float radius) {
    U32(0x5A564B48);
    U32(static_cast<uint32_t>(version));
    F32(radius);
}

RawWorld& RawWorld::U32(uint32_t v) {
    for (int i = 0; i < 4; ++i)
        Bytes_ += static_cast<char>((v >> (8 * i)) & 0xFF);
    return *this;
}

RawWorld& RawWorld::F32(float v) {
    uint32_t bits = 0;
    std::memcpy(&bits, &v, 4);
    return U32(bits);
}

RawWorld& RawWorld::Wide(const std::u16string& s) {
    for (char16_t c : s) {
        Bytes_ += static_cast<char>(c & 0xFF);
        Bytes_ += static_cast<char>(c >> 8);
    }
    Bytes_ += std::string(2, '\0');
    return *this;
}

RawWorld& RawWorld::Zeros(int counts) {
    for (int i = 0; i < counts; ++i)
        U32(0);
    return *this;
}

} // namespace gm::test
