#pragma once
// Runs the built gridmoor-cli and captures what it printed, plus small world-building helpers for
// the command-line tests.

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/TempDir.h"

namespace gm::test {

struct CliResult {
    int Code = -1;
    std::string Out;
    std::string Err;
};

// Runs the tool with args; the captured output lives in a folder of its own inside dir.
// shellPrefix runs before it in the same shell (such as "ulimit -f 8;").
CliResult RunCli(const TempDir& dir, const std::vector<std::string>& args,
                 const std::string& shellPrefix = {});

// The fixture unit folder (tests/data/units).
std::string UnitsDir();

// Output of a successful dump, parsed with its key order kept. Fails the test otherwise.
nlohmann::ordered_json DumpWorld(const TempDir& dir, const std::string& world);

bool FileExists(const std::string& path);

// Raw world file bytes: header (magic, version, radius) and appended little-endian values.
class RawWorld {
public:
    RawWorld(int32_t version, float radius);
    RawWorld& U32(uint32_t v);
    RawWorld& F32(float v);
    RawWorld& Wide(const std::u16string& s);
    RawWorld& Zeros(int counts); // that many empty sections' counts
    const std::string& Bytes() const { return Bytes_; }

private:
    std::string Bytes_;
};

} // namespace gm::test
