#pragma once
// A tree of named blocks holding ordered name/value parameters: the brace text format of unit
// description files and the game's lists. Names are not unique and are compared exactly; every
// lookup by name takes the first match in list order. Parameters and blocks are looked up, counted
// and indexed separately (indexes from 0). Loading appends; it never clears first.

#include "foundation/LegacyText.h"
#include "foundation/QX_List.h"

#include <cstdint>
#include <memory>
#include <string>

namespace gm {

class TBufQX;
class TBlockParQX;

class TBlockParElQX {
public:
    static constexpr int32_t KindPar = 1;
    static constexpr int32_t KindBlock = 2;

    TBlockParElQX* Prev = nullptr;
    TBlockParElQX* Next = nullptr;
    TBlockParQX* Owner = nullptr;
    int32_t Kind = KindPar;
    std::u16string Name;
    std::u16string Value;               // parameters only
    std::unique_ptr<TBlockParQX> Block; // blocks only; owned

    TBlockParElQX();
    ~TBlockParElQX();
    TBlockParElQX(const TBlockParElQX&) = delete;
    TBlockParElQX& operator=(const TBlockParElQX&) = delete;
};

// What one load from a file may read. Files that each include the next several times multiply
// without a cycle (four files of thirty includes each would read 810000 files), and every byte
// read becomes tree memory (a line "a=b" of four bytes costs a parameter of some 150 bytes).
// Also how 8-bit text that is not UTF-8 is read: in this legacy code page.
struct BlockParLimits {
    int Files = 256;
    int64_t Bytes = 4 * 1024 * 1024;
    std::string LegacyCodePage = DefaultLegacyCodePage;
};

class TBlockParQX {
public:
    TBlockParQX() = default;
    TBlockParQX(const TBlockParQX&) = delete;
    TBlockParQX& operator=(const TBlockParQX&) = delete;
    ~TBlockParQX() = default;

    // Elements in file order, parameters and blocks interleaved.
    TBlockParElQX* First() const noexcept { return Els_.First(); }
    TBlockParElQX* Last() const noexcept { return Els_.Last(); }

    void Clear() noexcept { Els_.Clear(); }

    TBlockParElQX* Par_Add(const std::u16string& name, const std::u16string& value);
    void Par_Set(const std::u16string& name, const std::u16string& value);
    void Par_Delete(const std::u16string& name);
    std::u16string Par_Get(const std::u16string& name) const;
    int Par_Count() const noexcept;
    int Par_CountName(const std::u16string& name) const noexcept;
    std::u16string Par_GetName(int no) const;
    void Par_SetName(const std::u16string& oldname, const std::u16string& newname);

    TBlockParQX* Block_Add(const std::u16string& name);
    TBlockParQX* Block_Get(const std::u16string& name) const;
    TBlockParQX* Block_Find(const std::u16string& name) const noexcept; // null when absent
    int Block_Count() const noexcept;
    int Block_CountName(const std::u16string& name) const noexcept;
    TBlockParQX* Block_Get(int no) const;
    std::u16string Block_GetName(int no) const;
    void Block_SetName(int no, const std::u16string& name);
    void Block_Delete(int no);

    // Reads 8-bit text, or UTF-16LE text after a byte-order mark, from buf's Pointer on. Include
    // names in headers ("Name=file {") resolve against the current folder, and when no file is
    // there, against the including file's folder (when loading from a file). Damage fails the
    // load: a file that
    // includes itself ("include cycle"), nesting deeper than 256 blocks ("depth>256"), and more
    // than 256 files or 4 MiB read by one load ("files>256", "bytes>4194304", or the limits
    // given).
    // 8-bit text that is not valid UTF-8 is read in the limits' legacy code page, and written
    // back in it; text that is, as UTF-8.
    void LoadFromBuf(TBufQX& buf, const BlockParLimits& limits = {});
    void LoadFromFile(const std::string& fileName, const BlockParLimits& limits = {});
    // Writes 8-bit text: four spaces per level, Name=Value and "Name {" ... "}", CR LF line ends;
    // a block without a name is written "= {", which reads back as one. Text is written in the
    // encoding the first load's text came in (the system code page when nothing was loaded).
    void SaveToBuf(TBufQX& buf) const;
    void SaveToFile(const std::string& fileName) const; // atomic replace

private:
    struct LoadCtx;
    void LoadBuf(TBufQX& buf, LoadCtx& ctx, int depth);
    void LoadFile(const std::string& fileName, LoadCtx& ctx, int depth);
    enum class TextForm { System, Utf8, Legacy, Utf16 };
    void LoadFromBuf_r(TBufQX& buf, const std::u16string& pending, TextForm form, LoadCtx& ctx,
                       int depth);
    std::string Encode(std::u16string_view text) const;
    void SaveEls(TBufQX& buf, int depth, const TBlockParQX& root) const;
    TBlockParElQX* FindEl(int32_t kind, const std::u16string& name) const noexcept;
    TBlockParElQX* NthEl(int32_t kind, int no) const noexcept;

    ListQX<TBlockParElQX> Els_;
    TextForm Form_ = TextForm::System; // of the first text loaded at the top level
    std::string CodePage_;             // its legacy code page
};

} // namespace gm
