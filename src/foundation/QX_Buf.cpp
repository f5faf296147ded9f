#include "foundation/QX_Buf.h"

#include "foundation/QX_Error.h"
#include "foundation/QX_File.h"
#include "foundation/QX_Mem.h"
#include "foundation/TXRD_ZLib.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

namespace gm {

namespace {

constexpr int64_t MaxLen = std::numeric_limits<int32_t>::max();

bool IsBreak(uint32_t c) noexcept {
    return c == 0 || c == 13 || c == 10;
}

} // namespace

TBufQX::~TBufQX() {
    FreeQX(Data);
}

void TBufQX::Clear() {
    FreeQX(Data);
    Data = nullptr;
    Len = 0;
    Capacity = 0;
    Pointer = 0;
}

// Storage grows to the new length plus Grow, so a run of small puts reallocates once per Grow
// bytes; it never shrinks while the buffer lives. A large buffer grows by half its length at
// least, so writing a file of tens of megabytes reallocates a few dozen times whatever Grow the
// caller chose, not once per Grow bytes.
static void Reserve(TBufQX& b, int64_t need, bool exact = false) {
    constexpr int64_t Large = 64 << 10;
    int64_t extra = exact ? 0 : std::max<int32_t>(b.Grow, 0);
    if (need > Large && !exact) extra = std::max(extra, need / 2);
    const int64_t cap = std::min(need + extra, MaxLen);
    b.Data = static_cast<uint8_t*>(ReAllocRQX(b.Data, static_cast<int32_t>(cap)));
    b.Capacity = static_cast<int32_t>(cap);
    AdviseLargeQX(b.Data, cap);
}

void TBufQX::LenSet(int32_t n) {
    if (n < 1) {
        Clear();
        return;
    }
    if (n > Capacity) Reserve(*this, n);
    Len = n;
    if (Pointer > Len) Pointer = Len;
}

void TBufQX::PointerSet(int32_t pos) {
    if (pos < 0 || pos > Len) RaiseQX("TBufQX.PointerSet. zn=" + std::to_string(pos));
    Pointer = pos;
}

void TBufQX::TestAddLenBuf(int32_t addlen) {
    const int64_t end = int64_t(Pointer) + addlen;
    if (addlen < 1 || end > MaxLen)
        RaiseQX("TBufQX.TestAddLenBuf. addlen=" + std::to_string(addlen));
    if (end <= Len) return;
    if (end > Capacity) Reserve(*this, end);
    // Only a wide-string read past the end leaves Pointer beyond Len; the gap it leaves behind
    // becomes zeros rather than whatever the heap held.
    if (Pointer > Len) std::memset(Data + Len, 0, static_cast<std::size_t>(Pointer - Len));
    Len = static_cast<int32_t>(end);
}

void TBufQX::TestAddLenBuf(int32_t pos, int32_t addlen) {
    const int64_t end = int64_t(pos) + addlen;
    if (addlen < 1 || pos < 0 || pos > Len || end > MaxLen)
        RaiseQX("TBufQX.TestAddLenBuf. sme=" + std::to_string(pos) +
                " addlen=" + std::to_string(addlen));
    if (end <= Len) return;
    if (end > Capacity) Reserve(*this, end);
    Len = static_cast<int32_t>(end);
}

void TBufQX::TestGet(int32_t len) const {
    if (len < 1 || int64_t(Pointer) + len > Len)
        RaiseQX("TBufQX.TestGet. len=" + std::to_string(len));
}

void TBufQX::TestGet(int32_t pos, int32_t len) const {
    if (len < 1 || pos < 0 || int64_t(pos) + len > Len)
        RaiseQX("TBufQX.TestGet. sme=" + std::to_string(pos) + " len=" + std::to_string(len));
}

uint32_t TBufQX::CountFitting(uint32_t count, int32_t minRecordBytes) const {
    const int64_t left = std::max<int64_t>(int64_t(Len) - Pointer, 0);
    const int64_t fit = left / std::max<int32_t>(minRecordBytes, 1);
    return static_cast<uint32_t>(std::min<int64_t>(count, fit));
}

// --- puts: little-endian, packed, written byte by byte so the host's byte order never matters ---

void TBufQX::AddByte(uint8_t v) {
    TestAddLenBuf(1);
    Data[Pointer++] = v;
}

void TBufQX::AddBool(bool v) {
    AddByte(v ? 1 : 0);
}

void TBufQX::AddWord(uint16_t v) {
    TestAddLenBuf(2);
    Data[Pointer] = static_cast<uint8_t>(v);
    Data[Pointer + 1] = static_cast<uint8_t>(v >> 8);
    Pointer += 2;
}

void TBufQX::AddSmallInt(int16_t v) {
    AddWord(static_cast<uint16_t>(v));
}

void TBufQX::AddDWord(uint32_t v) {
    TestAddLenBuf(4);
    for (int i = 0; i < 4; ++i)
        Data[Pointer + i] = static_cast<uint8_t>(v >> (8 * i));
    Pointer += 4;
}

void TBufQX::AddInt(int32_t v) {
    AddDWord(static_cast<uint32_t>(v));
}

void TBufQX::AddSingle(float v) {
    AddDWord(std::bit_cast<uint32_t>(v));
}

void TBufQX::AddWideStr(std::u16string_view s) {
    const int64_t size = int64_t(s.size()) * 2 + 2;
    if (size > MaxLen) RaiseQX("TBufQX.TestAddLenBuf. addlen=" + std::to_string(size));
    TestAddLenBuf(static_cast<int32_t>(size));
    uint8_t* at = Data + Pointer;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(at, s.data(), s.size() * 2);
        at += s.size() * 2;
    } else {
        for (char16_t c : s) {
            *at++ = static_cast<uint8_t>(c);
            *at++ = static_cast<uint8_t>(c >> 8);
        }
    }
    at[0] = 0;
    at[1] = 0;
    Pointer += static_cast<int32_t>(size);
}

void TBufQX::AddStr(const std::string& s) {
    if (s.empty()) return;
    if (int64_t(s.size()) > MaxLen)
        RaiseQX("TBufQX.TestAddLenBuf. addlen=" + std::to_string(s.size()));
    TestAddLenBuf(static_cast<int32_t>(s.size()));
    std::memcpy(Data + Pointer, s.data(), s.size());
    Pointer += static_cast<int32_t>(s.size());
}

// --- gets ---

uint8_t TBufQX::GetByte() {
    TestGet(1);
    return Data[Pointer++];
}

uint16_t TBufQX::GetWord() {
    TestGet(2);
    const auto v = static_cast<uint16_t>(Data[Pointer] | (Data[Pointer + 1] << 8));
    Pointer += 2;
    return v;
}

uint32_t TBufQX::GetDWord() {
    TestGet(4);
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= uint32_t(Data[Pointer + i]) << (8 * i);
    Pointer += 4;
    return v;
}

int32_t TBufQX::GetInt() {
    return static_cast<int32_t>(GetDWord());
}

float TBufQX::GetSingle() {
    return std::bit_cast<float>(GetDWord());
}

int32_t TBufQX::WideStrLen() const {
    if (Pointer < 0 || Pointer >= Len) return 0;
    const uint8_t* at = Data + Pointer;
    const int64_t units = (int64_t(Len) - Pointer) / 2;
    int64_t n = 0;
    while (n < units && (at[2 * n] | at[2 * n + 1]) != 0)
        ++n;
    return static_cast<int32_t>(n);
}

std::u16string TBufQX::GetWideStr() {
    std::u16string s;
    GetWideStr(s);
    return s;
}

void TBufQX::GetWideStr(std::u16string& s) {
    const int32_t n = WideStrLen();
    if (n == 0) {
        // Either the terminator or fewer than two bytes left: skip two bytes. Past the end the
        // position stops at Len + 2, so repeated reads stay at the end and never wrap around.
        const int64_t next =
            std::min<int64_t>(int64_t(Pointer) + 2, std::max<int64_t>(Pointer, int64_t(Len) + 2));
        Pointer = static_cast<int32_t>(std::min(next, MaxLen));
        s.clear();
        return;
    }
    const int64_t size = int64_t(n) * 2 + 2;
    if (int64_t(Pointer) + size > Len) RaiseQX("TBufQX.TestGet. len=" + std::to_string(size));
    s.resize(static_cast<std::size_t>(n));
    const uint8_t* at = Data + Pointer;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(s.data(), at, static_cast<std::size_t>(n) * 2);
    } else {
        for (int32_t i = 0; i < n; ++i)
            s[i] = static_cast<char16_t>(at[2 * i] | (at[2 * i + 1] << 8));
    }
    Pointer += static_cast<int32_t>(size);
}

int32_t TBufQX::LineLen() const {
    int32_t p = Pointer;
    if (p < 0) return 0;
    while (p < Len && !IsBreak(Data[p]))
        ++p;
    return p > Pointer ? p - Pointer : 0;
}

int32_t TBufQX::WideLineLen() const {
    if (Pointer < 0) return 0;
    int32_t n = 0;
    for (int64_t p = Pointer; p + 2 <= Len; p += 2, ++n)
        if (IsBreak(Data[p] | (Data[p + 1] << 8))) break;
    return n;
}

// A line ends at 0, CR or LF; at most two such characters after it are taken with it, so CR LF
// and LF CR end one line and a third break starts an empty one.
std::string TBufQX::GetLine() {
    const int32_t n = LineLen();
    std::string s;
    if (n > 0) s.assign(reinterpret_cast<const char*>(Data + Pointer), static_cast<std::size_t>(n));
    Pointer += n;
    for (int k = 0; k < 2 && Pointer >= 0 && Pointer < Len && IsBreak(Data[Pointer]); ++k)
        ++Pointer;
    return s;
}

std::u16string TBufQX::GetWideLine() {
    const int32_t n = WideLineLen();
    std::u16string s(static_cast<std::size_t>(n), u'\0');
    for (int32_t i = 0; i < n; ++i)
        s[i] = static_cast<char16_t>(Data[Pointer + 2 * i] | (Data[Pointer + 2 * i + 1] << 8));
    Pointer += 2 * n;
    for (int k = 0; k < 2 && Pointer >= 0 && int64_t(Pointer) + 2 <= Len &&
                    IsBreak(Data[Pointer] | (Data[Pointer + 1] << 8));
         ++k)
        Pointer += 2;
    return s;
}

void TBufQX::SetDWordAt(int32_t pos, uint32_t v) {
    TestAddLenBuf(pos, 4);
    for (int i = 0; i < 4; ++i)
        Data[pos + i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t TBufQX::GetDWordAt(int32_t pos) const {
    TestGet(pos, 4);
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= uint32_t(Data[pos + i]) << (8 * i);
    return v;
}

bool TBufQX::Compress() {
    if (Len < 8) return false;
    auto* dst = static_cast<uint8_t*>(AllocQX(Len));
    const int32_t n = TXRD_ZLib_Compress(dst, Data, Len, 0);
    if (n == 0) {
        FreeQX(dst);
        return false;
    }
    FreeQX(Data);
    Data = dst;
    Len = n;
    Capacity = n;
    Pointer = 0;
    return true;
}

void TBufQX::LoadFromFileObj(TFileQX& file) {
    Clear();
    // Read-only, nested when the file is already open; the file is closed on every path out and a
    // failed load leaves the buffer empty.
    file.OpenRead();
    try {
        const int32_t size = file.GetSize();
        const int32_t pos = file.GetPointer();
        // A file read whole does not grow: no room beyond its bytes.
        if (size - pos > 0) Reserve(*this, size - pos, true);
        LenSet(size - pos);
        if (Len > 0) file.Read(Data, Len);
    } catch (...) {
        file.Close();
        Clear();
        throw;
    }
    file.Close();
}

void TBufQX::LoadFromFile(const std::string& name) {
    TFileQX file(name);
    LoadFromFileObj(file);
}

void TBufQX::SaveToFileObj(TFileQX& file) {
    file.Write(Data, Len);
}

void TBufQX::SaveToFile(const std::string& name) {
    SaveFileAtomicQX(name, Data, Len);
}

} // namespace gm
