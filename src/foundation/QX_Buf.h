#pragma once
// Growable byte buffer with one read/write position and typed little-endian puts and gets. Wide
// strings are UTF-16LE code units plus one 16-bit zero, no length prefix. Every binary file is
// assembled in, or decoded from, one of these.

#include <cstdint>
#include <string>
#include <string_view>

namespace gm {

class TFileQX;

class TBufQX {
public:
    int32_t Len = 0;
    int32_t Capacity = 0;
    int32_t Pointer = 0;
    uint8_t* Data = nullptr;
    int32_t Grow = 256;

    TBufQX() = default;
    TBufQX(const TBufQX&) = delete;
    TBufQX& operator=(const TBufQX&) = delete;
    ~TBufQX();

    void Clear();
    // Empties the buffer but keeps its storage for what is written next.
    void Rewind() noexcept {
        Len = 0;
        Pointer = 0;
    }
    void LenSet(int32_t n);
    bool IsEnd() const noexcept { return Pointer >= Len; }
    void PointerSet(int32_t pos);

    void TestAddLenBuf(int32_t addlen);
    void TestAddLenBuf(int32_t pos, int32_t addlen);
    void TestGet(int32_t len) const;
    void TestGet(int32_t pos, int32_t len) const;
    // How many of `count` records of at least `minRecordBytes` each the bytes left can hold: a
    // bound for reserving memory ahead of a read loop, which a damaged count cannot inflate. The
    // loop itself fails with the first value that does not fit.
    uint32_t CountFitting(uint32_t count, int32_t minRecordBytes) const;

    void AddByte(uint8_t v);
    void AddBool(bool v);
    void AddWord(uint16_t v);
    void AddSmallInt(int16_t v);
    void AddInt(int32_t v);
    void AddDWord(uint32_t v);
    void AddSingle(float v);
    void AddWideStr(std::u16string_view s);
    void AddStr(const std::string& s);

    uint8_t GetByte();
    bool GetBool() { return GetByte() != 0; }
    uint16_t GetWord();
    int16_t GetSmallInt() { return static_cast<int16_t>(GetWord()); }
    int32_t GetInt();
    uint32_t GetDWord();
    float GetSingle();
    std::u16string GetWideStr();
    // The same into s, whose storage is reused: for loops that read many strings.
    void GetWideStr(std::u16string& s);
    std::string GetLine();
    std::u16string GetWideLine();

    void SetDWordAt(int32_t pos, uint32_t v);
    uint32_t GetDWordAt(int32_t pos) const;

    int32_t WideStrLen() const;
    int32_t LineLen() const;
    int32_t WideLineLen() const;

    bool Compress();

    void LoadFromFileObj(TFileQX& file);
    void LoadFromFile(const std::string& name); // read-only open
    void SaveToFileObj(TFileQX& file);
    void SaveToFile(const std::string& name); // atomic replace, see SaveFileAtomicQX
};

} // namespace gm
