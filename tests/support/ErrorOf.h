#pragma once
// What tests of failures ask again and again: the message a call fails with, and what a folder
// holds afterwards.

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "foundation/QX_Error.h"

namespace gm::test {

// The message of the ErrorQX the call raises, or "(no error)".
template <class F> std::string MessageOf(F&& f) {
    try {
        f();
    } catch (const ErrorQX& e) {
        return e.Message();
    }
    return "(no error)";
}

// The names in a folder, sorted.
inline std::vector<std::string> Entries(const std::filesystem::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace gm::test
