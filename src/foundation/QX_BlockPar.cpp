#include "foundation/QX_BlockPar.h"

#include "foundation/Codec.h"
#include "foundation/LegacyText.h"
#include "foundation/PathResolver.h"
#include "foundation/QX_Buf.h"
#include "foundation/QX_Error.h"
#include "foundation/QX_File.h"
#include "foundation/QX_Str.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace gm {

namespace {

// Deeper text is damaged or hostile; the limit keeps the recursive reader off the stack's end.
constexpr int MaxDepth = 256;

std::string NoMessage(const char* what, int no, int count) {
    // The number shown is how far past the last element of that kind the request was.
    return std::string("TBlockParQX.") + what + ". no=" + std::to_string(int64_t(no) - count);
}

// Descriptions written for the original layout name their includes from the start folder (the
// process's current folder); others name them from the including file's folder. The start folder
// is tried first, so both layouts load; when neither holds the file, the including file's folder
// names it in the open failure.
std::string IncludePath(const std::string& includingFolder, const std::string& stored) {
    const std::string fromStart = ResolvePathQX("", stored);
    std::error_code ec;
    if (std::filesystem::is_regular_file(fromStart.empty() ? "." : fromStart, ec)) return fromStart;
    return ResolvePathQX(includingFolder, stored);
}

int CountKind(const TBlockParQX& b, int32_t kind) noexcept {
    int n = 0;
    for (TBlockParElQX* el = b.First(); el; el = el->Next)
        if (el->Kind == kind) ++n;
    return n;
}

int CountKindName(const TBlockParQX& b, int32_t kind, const std::u16string& name) noexcept {
    int n = 0;
    for (TBlockParElQX* el = b.First(); el; el = el->Next)
        if (el->Kind == kind && el->Name == name) ++n;
    return n;
}

} // namespace

TBlockParElQX::TBlockParElQX() = default;
TBlockParElQX::~TBlockParElQX() = default;

// Names of the files being read, outermost first, to refuse a file that includes itself; and the
// folder of the innermost one, against which its include names resolve.
struct TBlockParQX::LoadCtx {
    std::string Folder;
    std::vector<std::string> Chain;
    BlockParLimits Limits;
    int Files = 0;     // read so far
    int64_t Bytes = 0; // likewise
};

TBlockParElQX* TBlockParQX::FindEl(int32_t kind, const std::u16string& name) const noexcept {
    for (TBlockParElQX* el = First(); el; el = el->Next)
        if (el->Kind == kind && el->Name == name) return el;
    return nullptr;
}

TBlockParElQX* TBlockParQX::NthEl(int32_t kind, int no) const noexcept {
    for (TBlockParElQX* el = First(); el; el = el->Next)
        if (el->Kind == kind && no-- == 0) return el;
    return nullptr;
}

// --- parameters ---

TBlockParElQX* TBlockParQX::Par_Add(const std::u16string& name, const std::u16string& value) {
    auto el = std::make_unique<TBlockParElQX>();
    el->Owner = this;
    el->Kind = TBlockParElQX::KindPar;
    el->Name = name;
    el->Value = value;
    return Els_.Append(std::move(el));
}

void TBlockParQX::Par_Set(const std::u16string& name, const std::u16string& value) {
    TBlockParElQX* el = FindEl(TBlockParElQX::KindPar, name);
    if (!el) RaiseQX("TBlockParQX.Block_Get. name=" + WideToAnsiQX(name));
    el->Value = value;
}

void TBlockParQX::Par_Delete(const std::u16string& name) {
    TBlockParElQX* el = FindEl(TBlockParElQX::KindPar, name);
    if (!el) RaiseQX("TBlockParQX.Block_Get. name=" + WideToAnsiQX(name));
    Els_.Erase(el);
}

std::u16string TBlockParQX::Par_Get(const std::u16string& name) const {
    TBlockParElQX* el = FindEl(TBlockParElQX::KindPar, name);
    if (!el) RaiseQX("TBlockParQX.Block_Get. name=" + WideToAnsiQX(name));
    return el->Value;
}

int TBlockParQX::Par_Count() const noexcept {
    return CountKind(*this, TBlockParElQX::KindPar);
}

int TBlockParQX::Par_CountName(const std::u16string& name) const noexcept {
    return CountKindName(*this, TBlockParElQX::KindPar, name);
}

std::u16string TBlockParQX::Par_GetName(int no) const {
    TBlockParElQX* el = NthEl(TBlockParElQX::KindPar, no);
    if (!el) RaiseQX(NoMessage("Par_GetName", no, Par_Count()));
    return el->Name;
}

void TBlockParQX::Par_SetName(const std::u16string& oldname, const std::u16string& newname) {
    TBlockParElQX* el = FindEl(TBlockParElQX::KindPar, oldname);
    if (!el) RaiseQX("TBlockParQX.Block_SetName. oldname=" + WideToAnsiQX(oldname));
    el->Name = newname;
}

// --- blocks ---

TBlockParQX* TBlockParQX::Block_Add(const std::u16string& name) {
    auto el = std::make_unique<TBlockParElQX>();
    el->Owner = this;
    el->Kind = TBlockParElQX::KindBlock;
    el->Name = name;
    el->Block = std::make_unique<TBlockParQX>();
    return Els_.Append(std::move(el))->Block.get();
}

TBlockParQX* TBlockParQX::Block_Get(const std::u16string& name) const {
    TBlockParQX* b = Block_Find(name);
    if (!b) RaiseQX("TBlockParQX.Block_Get. name=" + WideToAnsiQX(name));
    return b;
}

TBlockParQX* TBlockParQX::Block_Find(const std::u16string& name) const noexcept {
    TBlockParElQX* el = FindEl(TBlockParElQX::KindBlock, name);
    return el ? el->Block.get() : nullptr;
}

int TBlockParQX::Block_Count() const noexcept {
    return CountKind(*this, TBlockParElQX::KindBlock);
}

int TBlockParQX::Block_CountName(const std::u16string& name) const noexcept {
    return CountKindName(*this, TBlockParElQX::KindBlock, name);
}

TBlockParQX* TBlockParQX::Block_Get(int no) const {
    TBlockParElQX* el = NthEl(TBlockParElQX::KindBlock, no);
    if (!el) RaiseQX(NoMessage("Block_Get", no, Block_Count()));
    return el->Block.get();
}

std::u16string TBlockParQX::Block_GetName(int no) const {
    TBlockParElQX* el = NthEl(TBlockParElQX::KindBlock, no);
    if (!el) RaiseQX(NoMessage("Block_GetName", no, Block_Count()));
    return el->Name;
}

void TBlockParQX::Block_SetName(int no, const std::u16string& name) {
    TBlockParElQX* el = NthEl(TBlockParElQX::KindBlock, no);
    if (!el) RaiseQX(NoMessage("Block_SetName", no, Block_Count()));
    el->Name = name;
}

void TBlockParQX::Block_Delete(int no) {
    TBlockParElQX* el = NthEl(TBlockParElQX::KindBlock, no);
    if (!el) RaiseQX(NoMessage("Block_Get", no, Block_Count()));
    Els_.Erase(el);
}

// --- reading ---

void TBlockParQX::LoadFromBuf(TBufQX& buf, const BlockParLimits& limits) {
    LoadCtx ctx;
    ctx.Limits = limits;
    LoadBuf(buf, ctx, 0);
}

void TBlockParQX::LoadFromFile(const std::string& fileName, const BlockParLimits& limits) {
    LoadCtx ctx;
    ctx.Limits = limits;
    LoadFile(fileName, ctx, 0);
}

void TBlockParQX::LoadBuf(TBufQX& buf, LoadCtx& ctx, int depth) {
    if (int64_t(buf.Len) - buf.Pointer <= 2) return;
    TextForm form = TextForm::Utf16;
    if (buf.GetWord() != 0xFEFF) {
        buf.Pointer -= 2;
        // Text saved in a Windows code page is seldom valid UTF-8; read as UTF-8 it would lose
        // every non-ASCII character.
        const std::string_view rest(reinterpret_cast<const char*>(buf.Data) + buf.Pointer,
                                    static_cast<std::size_t>(buf.Len - buf.Pointer));
        form = IsUtf8QX(rest) ? TextForm::Utf8 : TextForm::Legacy;
    }
    // The top level remembers how its text came, so saving writes it back the same way.
    if (depth == 0 && Form_ == TextForm::System && form != TextForm::Utf16) {
        Form_ = form;
        CodePage_ = ctx.Limits.LegacyCodePage;
    }
    LoadFromBuf_r(buf, std::u16string(), form, ctx, depth);
}

void TBlockParQX::LoadFile(const std::string& fileName, LoadCtx& ctx, int depth) {
    std::error_code ec;
    std::string key = std::filesystem::weakly_canonical(fileName, ec).string();
    if (ec) key = fileName;
    if (std::find(ctx.Chain.begin(), ctx.Chain.end(), key) != ctx.Chain.end())
        RaiseQX("TBlockParQX.LoadFromFile. include cycle FileName=" + fileName);
    if (++ctx.Files > ctx.Limits.Files)
        RaiseQX("TBlockParQX.LoadFromFile. files>" + std::to_string(ctx.Limits.Files) +
                " FileName=" + fileName);

    TFileQX file(fileName);
    ctx.Bytes += file.GetSize();
    if (ctx.Bytes > ctx.Limits.Bytes)
        RaiseQX("TBlockParQX.LoadFromFile. bytes>" + std::to_string(ctx.Limits.Bytes) +
                " FileName=" + fileName);
    TBufQX buf;
    buf.LoadFromFileObj(file);

    const std::string outerFolder = ctx.Folder;
    ctx.Folder = std::filesystem::path(fileName).parent_path().string();
    ctx.Chain.push_back(key);
    try {
        LoadBuf(buf, ctx, depth);
    } catch (...) {
        ctx.Chain.pop_back();
        ctx.Folder = outerFolder;
        throw;
    }
    ctx.Chain.pop_back();
    ctx.Folder = outerFolder;
}

// Reads the elements of this block line by line until its own "}" or the end of the input.
// `pending` is the text after the "{" of this block's header, used as its first line.
void TBlockParQX::LoadFromBuf_r(TBufQX& buf, const std::u16string& pending, TextForm form,
                                LoadCtx& ctx, int depth) {
    const bool ansi = form != TextForm::Utf16;
    bool first = true;
    // UTF-16 text ends where fewer than two bytes are left: a stray last byte is no line.
    while (ansi ? !buf.IsEnd() : int64_t(buf.Len) - buf.Pointer >= 2) {
        std::u16string s;
        if (first && !pending.empty())
            s = pending;
        else
            s = form == TextForm::Utf16 ? buf.GetWideLine()
                : form == TextForm::Legacy
                    ? LegacyToWideQX(buf.GetLine(), ctx.Limits.LegacyCodePage)
                    : Utf8ToWideQX(buf.GetLine());
        first = false;
        s = TrimQX(DelCommentQX(TrimQX(s)));

        const std::size_t brace = s.find(u'{');
        if (brace != std::u16string::npos) {
            const std::u16string namePart = TrimQX(s.substr(0, brace));
            if (namePart.empty()) RaiseQX("TBlockParQX.LoadFromBuf_r. tstr=" + WideToAnsiQX(s));
            std::u16string name = namePart;
            std::u16string include;
            if (std::count(namePart.begin(), namePart.end(), u'=') == 1) {
                const std::size_t eq = namePart.find(u'=');
                name = TrimQX(namePart.substr(0, eq));
                include = TrimQX(namePart.substr(eq + 1));
            }
            if (depth >= MaxDepth)
                RaiseQX("TBlockParQX.LoadFromBuf_r. depth>" + std::to_string(MaxDepth));
            TBlockParQX* child = Block_Add(name);
            child->LoadFromBuf_r(buf, TrimQX(s.substr(brace + 1)), form, ctx, depth + 1);
            if (!include.empty())
                child->LoadFile(IncludePath(ctx.Folder, WideToAnsiQX(include)), ctx, depth + 1);
            continue;
        }
        if (s.find(u'}') != std::u16string::npos) return;
        const std::size_t eq = s.find(u'=');
        if (eq != std::u16string::npos) Par_Add(TrimQX(s.substr(0, eq)), s.substr(eq + 1));
    }
}

// --- writing ---

void TBlockParQX::SaveToBuf(TBufQX& buf) const {
    SaveEls(buf, 0, *this);
}

std::string TBlockParQX::Encode(std::u16string_view text) const {
    switch (Form_) {
    case TextForm::Utf8:
        return WideToUtf8QX(text);
    case TextForm::Legacy:
        return WideToLegacyQX(text, CodePage_);
    default:
        return WideToAnsiQX(text);
    }
}

void TBlockParQX::SaveEls(TBufQX& buf, int depth, const TBlockParQX& root) const {
    const std::string indent(static_cast<std::size_t>(depth) * 4, ' ');
    for (TBlockParElQX* el = First(); el; el = el->Next) {
        if (el->Kind == TBlockParElQX::KindBlock) {
            // A header "= {" (or "=file {") reads as a block without a name; " {" would not
            // read back at all.
            const std::string name = el->Name.empty() ? "=" : root.Encode(el->Name);
            buf.AddStr(indent + name + " {\r\n");
            if (el->Block) el->Block->SaveEls(buf, depth + 1, root);
            buf.AddStr(indent + "}\r\n");
        } else {
            buf.AddStr(indent + root.Encode(el->Name) + "=" + root.Encode(el->Value) + "\r\n");
        }
    }
}

void TBlockParQX::SaveToFile(const std::string& fileName) const {
    TBufQX buf;
    SaveToBuf(buf);
    buf.SaveToFile(fileName);
}

} // namespace gm
