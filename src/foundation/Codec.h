#pragma once
// The system code page: UTF-8 on Linux and macOS, the ANSI code page on Windows. Every place where
// 8-bit text (file names, parameter-block text, error messages) meets wide text goes through here.

#include <string>
#include <string_view>

namespace gm {

// 8-bit text in the system code page to UTF-16. Malformed input never fails: bytes that do not
// decode become U+FFFD.
std::u16string AnsiToWideQX(std::string_view text);
// UTF-16 to the system code page. Characters the code page cannot hold become '?'; unpaired
// surrogates likewise.
std::string WideToAnsiQX(std::u16string_view text);

// UTF-8 conversions independent of the platform, for JSON and Qt boundaries.
std::u16string Utf8ToWideQX(std::string_view text);
std::string WideToUtf8QX(std::u16string_view text);

} // namespace gm
