#include "foundation/PathResolver.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

namespace gm {

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
constexpr char Sep = '\\';
#else
constexpr char Sep = '/';
#endif

bool IsSep(char c) noexcept {
    return c == '\\' || c == '/';
}

char LowerAscii(char c) noexcept {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

bool SameIgnoringAsciiCase(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

// Length of the root part of an absolute stored name, 0 when the name is relative. A single
// leading "\" is not a root: stored names such as "\units\a.txt" were written to be appended to a
// folder, so they stay relative to base on every system.
std::size_t RootLength(std::string_view s) {
#ifdef _WIN32
    if (s.size() >= 2 && IsSep(s[0]) && IsSep(s[1])) return 2; // UNC \\server\share
    if (s.size() >= 2 && s[1] == ':' &&
        ((s[0] >= 'A' && s[0] <= 'Z') || (s[0] >= 'a' && s[0] <= 'z')))
        return s.size() >= 3 && IsSep(s[2]) ? 3 : 2;
    return 0;
#else
    return !s.empty() && s[0] == '/' ? 1 : 0;
#endif
}

// The entry of folder whose name matches name ignoring ASCII case; when several do, the one that
// sorts first, so the answer does not depend on the order the folder lists its entries in.
bool FindIgnoringCase(const std::string& folder, std::string_view name, std::string& found) try {
    std::error_code ec;
    fs::directory_iterator it(folder.empty() ? fs::path(".") : fs::path(folder), ec);
    bool any = false;
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const std::string entry = it->path().filename().string();
        if (SameIgnoringAsciiCase(entry, name) && (!any || entry < found)) {
            found = entry;
            any = true;
        }
    }
    return any;
} catch (const std::exception&) {
    // A name the system cannot convert is no match; the component stays as written.
    return false;
}

bool Exists(const std::string& path) {
    std::error_code ec;
    return fs::exists(fs::path(path.empty() ? "." : path), ec);
}

} // namespace

std::string ResolvePathQX(std::string_view base, std::string_view stored) {
    const std::size_t root = RootLength(stored);
    std::string result;
    if (root > 0) {
        result.assign(stored.substr(0, root));
#ifdef _WIN32
        std::replace(result.begin(), result.end(), '/', '\\');
#endif
    } else {
        result.assign(base);
    }

    // Once one component is missing nothing below it can be found, so the rest is kept as written.
    bool searching = true;
    std::size_t i = root;
    while (i < stored.size()) {
        std::size_t j = i;
        while (j < stored.size() && !IsSep(stored[j]))
            ++j;
        const std::string_view comp = stored.substr(i, j - i);
        i = j + 1;
        if (comp.empty()) continue;

        std::string name(comp);
        const std::string folder = result;
        if (!result.empty() && !IsSep(result.back()) && result.back() != ':') result += Sep;
        if (searching && comp != "." && comp != ".." && !Exists(result + name)) {
            std::string found;
            if (FindIgnoringCase(folder, comp, found))
                name = found;
            else
                searching = false;
        }
        result += name;
    }
    return result;
}

std::string NativeSeparatorsQX(std::string path) {
#ifdef _WIN32
    const char from = '/', to = '\\';
#else
    const char from = '\\', to = '/';
#endif
    for (char& c : path)
        if (c == from) c = to;
    return path;
}

} // namespace gm
