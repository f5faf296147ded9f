#pragma once
// Lenient text utilities (stray characters are skipped, never rejected) and the string list.
// Positions called 1-based are character positions with the first character at 1; a separator
// set is a string whose every character separates fields.

#include <cstdint>
#include <string>
#include <string_view>

namespace gm {

// --- Ordered string list (owns its elements; indexes are 0-based and found by walking) ---
struct TStringsElQX {
    TStringsElQX* Prev = nullptr;
    TStringsElQX* Next = nullptr;
    std::u16string Text;
};

class TStringsQX {
public:
    TStringsElQX* First = nullptr;
    TStringsElQX* Last = nullptr;

    TStringsQX() = default;
    TStringsQX(const TStringsQX&) = delete;
    TStringsQX& operator=(const TStringsQX&) = delete;
    ~TStringsQX();

    void Clear();
    int Count() const;
    void Add(const std::u16string& s);
    TStringsElQX* El_GetEx(int i); // lengthens the list up to i; i < 0 fails
    std::u16string Get(int i);
    void Set(int i, const std::u16string& s);
    int IndexOf(const std::u16string& s) const;
    void Sort(); // ascending by CompareQX, same order as an exchange sort
};

// --- Field parsing ---
int GetCountParQX(const std::u16string& s, const std::u16string& seps);
int GetSmeParQX(const std::u16string& s, int np, const std::u16string& seps);
int GetLenParQX(const std::u16string& s, int start, const std::u16string& seps);
std::u16string GetStrParQX(const std::u16string& s, int np, const std::u16string& seps);
std::u16string GetStrParExQX(const std::u16string& s, int np1, int np2, const std::u16string& seps);

// --- Comments and trimming ---
std::u16string TrimQX(const std::u16string& s);
// TrimQX without a copy, for readers that must not allocate.
std::u16string_view TrimViewQX(std::u16string_view s);
std::u16string DelCommentQX(const std::u16string& s);

// --- Numbers ---
bool IsIntQX(const std::u16string& s);
uint32_t StrToUIntQX(std::u16string_view s);
int32_t StrToIntQX(const std::u16string& s);
float StrToFloatQX(const std::u16string& s);
std::u16string ByteToHexQX(uint8_t b);
uint32_t HexToIntQX(std::u16string_view s);

// --- Other text functions ---
std::u16string LowerQX(const std::u16string& s);
int CompareQX(const std::u16string& a, const std::u16string& b);
int FindQX(const std::u16string& s, const std::u16string& sub, int start);
std::u16string FileBaseNameQX(const std::u16string& path);
std::u16string PathNoSlashQX(const std::u16string& path);
std::u16string RelativePathQX(const std::u16string& path, const std::u16string& base);

// Decimal text of a number, for messages and fields.
std::u16string IntToWideQX(int64_t v);

} // namespace gm
