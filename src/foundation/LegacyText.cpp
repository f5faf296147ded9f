#include "foundation/LegacyText.h"

#include "foundation/Codec.h"
#include "foundation/QX_Error.h"

#include <cctype>
#include <cstdint>

#ifdef _WIN32
#include "foundation/WinApi.h"
#else
#include <cerrno>
#include <iconv.h>
#endif

namespace gm {

namespace {

[[noreturn]] void Unknown(std::string_view codePage) {
    RaiseQX("Unknown code page: " + std::string(codePage) +
            "; choose another in Options (for example Windows-1252)");
}

// "Windows-1252", "cp1252" and "1252" all name code page 1252; 0 when no number is given.
unsigned CodePageNumber(std::string_view name) {
    std::string lower;
    for (char c : name)
        lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    std::string_view digits = lower;
    for (std::string_view prefix : {"windows-", "cp"})
        if (digits.substr(0, prefix.size()) == prefix) digits.remove_prefix(prefix.size());
    if (digits.empty() || digits.size() > 5) return 0;
    unsigned n = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return 0;
        n = n * 10 + static_cast<unsigned>(c - '0');
    }
    return n;
}

#ifdef _WIN32

bool Known(unsigned cp) {
    CPINFO info;
    return cp != 0 && GetCPInfo(cp, &info) != 0;
}

#else

// iconv names the Windows code pages "CP1252"; other names are passed as given.
std::string IconvName(std::string_view codePage) {
    const unsigned n = CodePageNumber(codePage);
    return n != 0 ? "CP" + std::to_string(n) : std::string(codePage);
}

class Converter {
public:
    Converter(const std::string& to, const std::string& from)
        : Cd_(iconv_open(to.c_str(), from.c_str())) {}
    ~Converter() {
        if (Ok()) iconv_close(Cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool Ok() const { return Cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts in; a byte sequence the source cannot decode is skipped and `bad` appended.
    std::string Run(std::string_view in, std::string_view bad, std::size_t unit) {
        std::string out;
        char buf[4096];
        char* src = const_cast<char*>(in.data());
        std::size_t left = in.size();
        while (left > 0) {
            char* dst = buf;
            std::size_t room = sizeof buf;
            const std::size_t r = iconv(Cd_, &src, &left, &dst, &room);
            out.append(buf, static_cast<std::size_t>(dst - buf));
            if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
                // EILSEQ or EINVAL: this unit cannot be converted; mark it and go on.
                const std::size_t skip = std::min(unit, left);
                src += skip;
                left -= skip;
                out.append(bad);
                iconv(Cd_, nullptr, nullptr, nullptr, nullptr);
            }
        }
        return out;
    }

private:
    iconv_t Cd_;
};

#endif

} // namespace

bool IsUtf8QX(std::string_view text) noexcept {
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        const auto b0 = static_cast<unsigned char>(text[i]);
        if (b0 < 0x80) {
            ++i;
            continue;
        }
        int extra = 0;
        uint32_t cp = 0, min = 0;
        if ((b0 & 0xE0) == 0xC0)
            extra = 1, cp = b0 & 0x1Fu, min = 0x80;
        else if ((b0 & 0xF0) == 0xE0)
            extra = 2, cp = b0 & 0x0Fu, min = 0x800;
        else if ((b0 & 0xF8) == 0xF0)
            extra = 3, cp = b0 & 0x07u, min = 0x10000;
        else
            return false;
        if (n - i <= static_cast<std::size_t>(extra)) return false;
        for (int k = 1; k <= extra; ++k) {
            const auto b = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            if ((b & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (b & 0x3Fu);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += static_cast<std::size_t>(extra) + 1;
    }
    return true;
}

#ifdef _WIN32

bool LegacyCodePageKnownQX(std::string_view codePage) {
    return Known(CodePageNumber(codePage));
}

std::u16string LegacyToWideQX(std::string_view text, std::string_view codePage) {
    const unsigned cp = CodePageNumber(codePage);
    if (!Known(cp)) Unknown(codePage);
    if (text.empty()) return {};
    const int len = static_cast<int>(text.size());
    const int n = MultiByteToWideChar(cp, 0, text.data(), len, nullptr, 0);
    std::u16string out(static_cast<std::size_t>(n), u'\0');
    MultiByteToWideChar(cp, 0, text.data(), len, reinterpret_cast<wchar_t*>(out.data()), n);
    return out;
}

std::string WideToLegacyQX(std::u16string_view text, std::string_view codePage) {
    const unsigned cp = CodePageNumber(codePage);
    if (!Known(cp)) Unknown(codePage);
    if (text.empty()) return {};
    const auto* src = reinterpret_cast<const wchar_t*>(text.data());
    const int len = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(cp, 0, src, len, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(cp, 0, src, len, out.data(), n, nullptr, nullptr);
    return out;
}

#else

bool LegacyCodePageKnownQX(std::string_view codePage) {
    return Converter("UTF-8", IconvName(codePage)).Ok();
}

std::u16string LegacyToWideQX(std::string_view text, std::string_view codePage) {
    Converter c("UTF-8", IconvName(codePage));
    if (!c.Ok()) Unknown(codePage);
    return Utf8ToWideQX(c.Run(text, "\xEF\xBF\xBD", 1));
}

std::string WideToLegacyQX(std::u16string_view text, std::string_view codePage) {
    Converter c(IconvName(codePage), "UTF-8");
    if (!c.Ok()) Unknown(codePage);
    // One character at a time, so one the code page lacks becomes a single '?'.
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::size_t len = 1;
        if (text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size()) len = 2;
        const std::string utf8 = WideToUtf8QX(text.substr(i, len));
        out += c.Run(utf8, "?", utf8.size());
        i += len - 1;
    }
    return out;
}

#endif

} // namespace gm
