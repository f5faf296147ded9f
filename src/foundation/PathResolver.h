#pragma once
// Turns (base folder, stored name) into a real path on any system. Stored names use "\" as
// Windows wrote them; both "\" and "/" separate components, and on a case-sensitive file system a
// component that does not exist as written is matched case-insensitively (ASCII) within its folder.
// Stored names themselves are never rewritten.

#include <string>
#include <string_view>

namespace gm {

// An absolute stored name ignores base. Components that cannot be found are kept as written, so
// opening the result fails with the file layer's ordinary message naming that path.
std::string ResolvePathQX(std::string_view base, std::string_view stored);

// The path with the platform's separators ("\" on Windows, "/" elsewhere), for messages.
std::string NativeSeparatorsQX(std::string path);

} // namespace gm
