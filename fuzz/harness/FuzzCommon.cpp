#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <system_error>

#include "foundation/QX_Error.h"
#include "harness/FuzzHarness.h"

namespace gm::fuzz {

namespace fs = std::filesystem;

FuzzContext::FuzzContext() {
    std::random_device rd;
    const fs::path base = fs::temp_directory_path();
    for (int attempt = 0;; ++attempt) {
        fs::path p = base / ("gm-fuzz-" + std::to_string(rd()) + std::to_string(rd()));
        std::error_code ec;
        if (fs::create_directory(p, ec)) {
            Path_ = std::move(p);
            return;
        }
        if (attempt == 16) throw fs::filesystem_error("cannot make a scratch folder", p, ec);
    }
}

FuzzContext::~FuzzContext() {
    std::error_code ec;
    fs::remove_all(Path_, ec);
}

std::string FuzzContext::File(std::string_view name) const {
    return (Path_ / fs::path(name)).string();
}

std::string FuzzContext::Write(std::string_view name, std::string_view bytes) const {
    const fs::path p = Path_ / fs::path(name);
    fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw fs::filesystem_error("cannot write a scratch file", p, std::error_code());
    return p.string();
}

void FuzzContext::Clean() const {
    for (const fs::directory_entry& e : fs::directory_iterator(Path_))
        fs::remove_all(e.path());
}

std::vector<std::string_view> SplitFiles(std::string_view input) {
    std::vector<std::string_view> parts;
    const std::size_t most = 1 + std::size(IncludeNames);
    for (;;) {
        const std::size_t at = input.find(FileSeparator);
        if (at == std::string_view::npos || parts.size() + 1 == most) {
            parts.push_back(input);
            return parts;
        }
        parts.push_back(input.substr(0, at));
        input.remove_prefix(at + FileSeparator.size());
    }
}

int RunFuzzInput(FuzzBody body, const uint8_t* data, std::size_t size) {
    // libFuzzer calls its entry point without a context, so the context of the process lives
    // here, made on the first input and removed at exit.
    static FuzzContext ctx;
    ctx.SampleBudget = 2 << 20; // half a million samples
    ctx.TextBudget = 256 << 10;
    try {
        ctx.Clean();
        body(ctx, std::string_view(reinterpret_cast<const char*>(data), size));
        return 0;
    } catch (const HarnessFailure& e) {
        std::fprintf(stderr, "\n*** broken promise: %s\n", e.what());
    } catch (const ErrorQX& e) {
        std::fprintf(stderr, "\n*** unexpected error: %s\n", e.Message().c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "\n*** unexpected exception: %s\n", e.what());
    }
    std::abort();
}

} // namespace gm::fuzz
