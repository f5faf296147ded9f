#include "foundation/QX_Str.h"

#include <algorithm>
#include <vector>

#include "foundation/Codec.h"
#include "foundation/QX_Error.h"

namespace gm {

namespace {

bool IsSep(char16_t c, const std::u16string& seps) {
    return seps.find(c) != std::u16string::npos;
}
bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}
bool IsSlash(char16_t c) {
    return c == u'\\' || c == u'/';
}
bool IsTrimmed(char16_t c) {
    return c == 0 || c == 9 || c == 10 || c == 13 || c == 32;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// TStringsQX

TStringsQX::~TStringsQX() {
    Clear();
}

void TStringsQX::Clear() {
    while (First) {
        TStringsElQX* next = First->Next;
        delete First;
        First = next;
    }
    Last = nullptr;
}

int TStringsQX::Count() const {
    int n = 0;
    for (const TStringsElQX* el = First; el; el = el->Next)
        ++n;
    return n;
}

void TStringsQX::Add(const std::u16string& s) {
    auto* el = new TStringsElQX;
    el->Text = s;
    el->Prev = Last;
    if (Last)
        Last->Next = el;
    else
        First = el;
    Last = el;
}

TStringsElQX* TStringsQX::El_GetEx(int i) {
    if (i < 0) RaiseQX("TStringsQX.El_GetEx. i=" + std::to_string(i));
    TStringsElQX* el = First;
    for (int k = 0; k < i && el; ++k)
        el = el->Next;
    if (el) return el;
    // Reading or writing past the end lengthens the list up to index i.
    for (int n = Count(); n <= i; ++n)
        Add(std::u16string());
    return Last;
}

std::u16string TStringsQX::Get(int i) {
    return El_GetEx(i)->Text;
}

void TStringsQX::Set(int i, const std::u16string& s) {
    El_GetEx(i)->Text = s;
}

int TStringsQX::IndexOf(const std::u16string& s) const {
    int i = 0;
    for (const TStringsElQX* el = First; el; el = el->Next, ++i)
        if (el->Text == s) return i;
    return -1;
}

void TStringsQX::Sort() {
    // Equal texts are indistinguishable, so any correct sort gives the exchange sort's result.
    std::vector<std::u16string> texts;
    for (const TStringsElQX* el = First; el; el = el->Next)
        texts.push_back(el->Text);
    std::sort(texts.begin(), texts.end(),
              [](const std::u16string& a, const std::u16string& b) { return CompareQX(a, b) < 0; });
    std::size_t k = 0;
    for (TStringsElQX* el = First; el; el = el->Next)
        el->Text = std::move(texts[k++]);
}

// ---------------------------------------------------------------------------------------------
// Field parsing

int GetCountParQX(const std::u16string& s, const std::u16string& seps) {
    if (s.empty()) return 0;
    int n = 1;
    for (char16_t c : s)
        if (IsSep(c, seps)) ++n;
    return n;
}

int GetSmeParQX(const std::u16string& s, int np, const std::u16string& seps) {
    if (np <= 0) return 1;
    int found = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (IsSep(s[i], seps) && ++found == np) return static_cast<int>(i) + 2;
    }
    RaiseQX("GetSmeParQX. Str=" + WideToAnsiQX(s) + " np=" + std::to_string(np - found) +
            " raz=" + WideToAnsiQX(seps));
}

int GetLenParQX(const std::u16string& s, int start, const std::u16string& seps) {
    if (start < 1) start = 1;
    int n = 0;
    for (std::size_t i = static_cast<std::size_t>(start - 1); i < s.size() && !IsSep(s[i], seps);
         ++i)
        ++n;
    return n;
}

std::u16string GetStrParQX(const std::u16string& s, int np, const std::u16string& seps) {
    const int start = GetSmeParQX(s, np, seps);
    const int len = GetLenParQX(s, start, seps);
    if (static_cast<std::size_t>(start - 1) >= s.size()) return {};
    return s.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(len));
}

std::u16string GetStrParExQX(const std::u16string& s, int np1, int np2,
                             const std::u16string& seps) {
    const int start = GetSmeParQX(s, np1, seps);
    const int lastStart = GetSmeParQX(s, np2, seps);
    const int end = lastStart + GetLenParQX(s, lastStart, seps); // 1-based, exclusive
    if (end <= start || static_cast<std::size_t>(start - 1) >= s.size()) return {};
    return s.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(end - start));
}

// ---------------------------------------------------------------------------------------------
// Comments and trimming

std::u16string_view TrimViewQX(std::u16string_view s) {
    while (!s.empty() && IsTrimmed(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsTrimmed(s.back()))
        s.remove_suffix(1);
    return s;
}

std::u16string TrimQX(const std::u16string& s) {
    return std::u16string(TrimViewQX(s));
}

std::u16string DelCommentQX(const std::u16string& s) {
    const std::size_t at = s.find(u"//");
    if (at == std::u16string::npos) return s;
    std::size_t e = at;
    while (e > 0 && s[e - 1] <= 32)
        --e;
    return s.substr(0, e);
}

// ---------------------------------------------------------------------------------------------
// Numbers

bool IsIntQX(const std::u16string& s) {
    if (s.empty()) return false;
    return std::all_of(s.begin(), s.end(), [](char16_t c) { return IsDigit(c) || c == u'-'; });
}

uint32_t StrToUIntQX(std::u16string_view s) {
    uint32_t v = 0;
    for (char16_t c : s)
        if (IsDigit(c)) v = v * 10u + static_cast<uint32_t>(c - u'0');
    return v;
}

int32_t StrToIntQX(const std::u16string& s) {
    uint32_t v = 0;
    bool negative = false;
    for (char16_t c : s) {
        if (IsDigit(c))
            v = v * 10u + static_cast<uint32_t>(c - u'0');
        else if (c == u'-' && v == 0)
            negative = true;
    }
    if (negative) v = 0u - v;
    return static_cast<int32_t>(v);
}

float StrToFloatQX(const std::u16string& s) {
    float value = 0.0f;
    std::size_t i = 0;
    for (; i < s.size() && s[i] != u'.'; ++i)
        if (IsDigit(s[i])) value = value * 10.0f + static_cast<float>(s[i] - u'0');
    float f = 10.0f;
    for (++i; i < s.size(); ++i) {
        if (!IsDigit(s[i])) continue;
        value = value + static_cast<float>(s[i] - u'0') / f;
        f = f * 10.0f;
    }
    if (s.find(u'-') != std::u16string::npos) value = -value;
    return value;
}

std::u16string ByteToHexQX(uint8_t b) {
    static constexpr char16_t Digits[] = u"0123456789abcdef";
    return std::u16string{Digits[b >> 4], Digits[b & 15]};
}

uint32_t HexToIntQX(std::u16string_view s) {
    uint32_t v = 0;
    for (char16_t c : s) {
        uint32_t d;
        if (IsDigit(c))
            d = static_cast<uint32_t>(c - u'0');
        else if (c >= u'a' && c <= u'f')
            d = static_cast<uint32_t>(c - u'a' + 10);
        else if (c >= u'A' && c <= u'F')
            d = static_cast<uint32_t>(c - u'A' + 10);
        else
            continue;
        v = v * 16u + d;
    }
    return v;
}

std::u16string IntToWideQX(int64_t v) {
    const std::string text = std::to_string(v);
    return std::u16string(text.begin(), text.end());
}

// ---------------------------------------------------------------------------------------------
// Other text functions

std::u16string LowerQX(const std::u16string& s) {
    std::string ansi = WideToAnsiQX(s);
    for (char& c : ansi)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return AnsiToWideQX(ansi);
}

int CompareQX(const std::u16string& a, const std::u16string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

int FindQX(const std::u16string& s, const std::u16string& sub, int start) {
    if (start < 0) start = 0;
    if (static_cast<std::size_t>(start) > s.size() ||
        s.size() - static_cast<std::size_t>(start) < sub.size())
        return -1;
    const std::size_t at = s.find(sub, static_cast<std::size_t>(start));
    return at == std::u16string::npos ? -1 : static_cast<int>(at);
}

std::u16string FileBaseNameQX(const std::u16string& path) {
    std::size_t from = 0;
    for (std::size_t i = 0; i < path.size(); ++i)
        if (IsSlash(path[i])) from = i + 1;
    std::u16string name = path.substr(from);
    const std::size_t dot = name.rfind(u'.');
    if (dot != std::u16string::npos) name.resize(dot);
    return name;
}

std::u16string PathNoSlashQX(const std::u16string& path) {
    std::u16string s = TrimQX(path);
    while (!s.empty() && IsSlash(s.back()))
        s.pop_back();
    return s;
}

std::u16string RelativePathQX(const std::u16string& path, const std::u16string& base) {
    if (path.empty() || base.empty()) return {};
    auto componentEnd = [](const std::u16string& s, std::size_t from) {
        while (from < s.size() && !IsSlash(s[from]))
            ++from;
        return from;
    };
    std::size_t p = 0, b = 0;
    while (p < path.size() && b < base.size()) {
        const std::size_t pe = componentEnd(path, p);
        const std::size_t be = componentEnd(base, b);
        if (LowerQX(TrimQX(path.substr(p, pe - p))) != LowerQX(TrimQX(base.substr(b, be - b))))
            break;
        p = pe + 1;
        b = be + 1;
    }
    std::u16string result;
    if (b < base.size()) {
        const auto slashes =
            std::count_if(base.begin() + static_cast<std::ptrdiff_t>(b), base.end(), IsSlash);
        for (std::ptrdiff_t k = 0; k < 1 + slashes; ++k)
            result += u"..\\";
    }
    if (p < path.size()) result += path.substr(p);
    return result;
}

} // namespace gm
