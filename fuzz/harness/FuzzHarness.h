#pragma once
// The bodies of the fuzz targets. Each takes one input and runs it through what the editor does
// with such a file; the sanitizers catch crashes, leaks and undefined behaviour, and the bodies
// check what the editor promises on top (a failed open leaves an empty untitled world, a saved
// world reads back the same, a refused description leaves the world unchanged ...). The libFuzzer
// entry points in fuzz/targets/ call them, and so does the test that replays the inputs kept
// under tests/data/malformed/, so a finding stays fixed without the fuzzer.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace gm::fuzz {

// A broken promise of the code under test (not a rejected input: rejecting is allowed).
class HarnessFailure : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

// What the bodies share across inputs: a private folder for the files an input becomes (under
// the system's temporary folder, TMPDIR; removed with everything in it at the end), and the
// fuzzer's budget.
class FuzzContext {
public:
    // Bytes of key samples an export may make. Under the fuzzer's instrumentation a sample costs
    // about a microsecond, so RunFuzzInput sets a budget that keeps the time-out meaning a hang;
    // exports beyond it are skipped there (sampling works alike for a few samples and for
    // millions). Replays keep a budget too: the product's pool may reach a gigabyte, which a
    // corpus of damaged worlds would otherwise sample again and again.
    int64_t SampleBudget = int64_t{64} << 20;
    // Bytes of parameter-block text a load may read, includes counted. Instrumented, each byte
    // costs some 60 bytes of memory and a few hundred nanoseconds, so texts beyond it are skipped
    // while fuzzing (the reader and its limits work alike for small and big texts). Replays have
    // none.
    int64_t TextBudget = std::numeric_limits<int64_t>::max();

    FuzzContext();
    ~FuzzContext();
    FuzzContext(const FuzzContext&) = delete;
    FuzzContext& operator=(const FuzzContext&) = delete;

    const std::filesystem::path& Path() const noexcept { return Path_; }
    // Full path of name inside the folder, in the system code page.
    std::string File(std::string_view name) const;
    // Writes the bytes to name (folders made as needed) and returns its full path.
    std::string Write(std::string_view name, std::string_view bytes) const;
    // Removes everything inside the folder.
    void Clean() const;

private:
    std::filesystem::path Path_;
};

// One input as several text files: the parts between separator lines. The first part is the
// file that is loaded; the others get the names in IncludeNames, in order, so that include
// headers ("Name=a.txt {") in any part can reach them.
inline constexpr std::string_view FileSeparator = "\n#--file--\n";
inline constexpr const char* IncludeNames[] = {"a.txt", "b.txt", "sub/c.txt", "sub/d.txt"};
std::vector<std::string_view> SplitFiles(std::string_view input);

// A world file, opened as File > Open does; then drawn, saved and read back.
void WorldOpenOne(FuzzContext& ctx, std::string_view input);
// Parameter-block text files (see SplitFiles), loaded as 8-bit text and again widened to UTF-16;
// then written and read back.
void BlockParOne(FuzzContext& ctx, std::string_view input);
// A key text (8-bit), loaded into keys of lists with no, one and three key groups, then saved,
// reloaded, evaluated and sampled for the end file.
void KeyLoadOne(FuzzContext& ctx, std::string_view input);
// A unit description (see SplitFiles) placed with Unit > Load; then drawn, reloaded, saved and
// read back, and deleted.
void UnitDescOne(FuzzContext& ctx, std::string_view input);
// A world file that opens, exported to the end file and the visibility file; both are then
// checked against the world.
void ExportOne(FuzzContext& ctx, std::string_view input);

using FuzzBody = void (*)(FuzzContext&, std::string_view);

struct FuzzTarget {
    const char* Name; // also the folder of its inputs under tests/data/malformed/
    FuzzBody Body;
};

inline constexpr FuzzTarget FuzzTargets[] = {
    {"world_open", WorldOpenOne}, {"blockpar", BlockParOne}, {"key_load", KeyLoadOne},
    {"unit_desc", UnitDescOne},   {"export", ExportOne},
};

// Runs body on the input; a broken promise is printed and aborts, as libFuzzer expects of a
// finding. Every entry point ends here.
int RunFuzzInput(FuzzBody body, const uint8_t* data, std::size_t size);

} // namespace gm::fuzz
