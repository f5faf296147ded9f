#pragma once
// 8-bit text written on Windows in a legacy code page (Windows-1252 and the like). Text that is
// valid UTF-8 is read as UTF-8; other 8-bit text goes through the system's converter (iconv, or
// the Windows API on Windows) with the code page the user chose.

#include <string>
#include <string_view>

namespace gm {

inline constexpr const char* DefaultLegacyCodePage = "Windows-1252";

// Whether the bytes are well-formed UTF-8 (plain ASCII is).
bool IsUtf8QX(std::string_view text) noexcept;

// Whether the converter knows the code page (a name such as "Windows-1252", "CP1250" or a
// Windows code page number such as "1251").
bool LegacyCodePageKnownQX(std::string_view codePage);

// Decodes text in the code page. Fails with "Unknown code page: <name>" when the converter does
// not know it; bytes the code page does not define become U+FFFD.
std::u16string LegacyToWideQX(std::string_view text, std::string_view codePage);
// Encodes text in the code page; characters it cannot hold become '?'. Fails like
// LegacyToWideQX.
std::string WideToLegacyQX(std::u16string_view text, std::string_view codePage);

} // namespace gm
