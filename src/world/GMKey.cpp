#include "world/GMKey.h"

#include "foundation/QX_BlockPar.h"
#include "foundation/QX_Error.h"
#include "foundation/QX_Str.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string_view>

namespace gm {

namespace {

constexpr int64_t kInt32Max = std::numeric_limits<int32_t>::max();

// Round half to even, independent of the FPU rounding mode. Values beyond the int64 range (and
// NaN) cannot come from real clocks or colours; they are clamped (NaN gives 0) so that callers
// never convert an out-of-range double.
int64_t RoundHalfEven(double v) {
    if (std::isnan(v)) return 0;
    constexpr double kLimit = 9.0e18;
    if (v >= kLimit) return static_cast<int64_t>(kLimit);
    if (v <= -kLimit) return -static_cast<int64_t>(kLimit);
    double r = std::floor(v);
    const double diff = v - r;
    if (diff > 0.5 || (diff == 0.5 && std::fmod(r, 2.0) != 0.0)) r += 1.0;
    return static_cast<int64_t>(r);
}

// Durations that wrapped to negative numbers when loaded are walked as zero.
int64_t Walked(int32_t duration) {
    return duration > 0 ? duration : 0;
}

// Items of a comma-separated key text: none for an empty text, else one more than the commas.
std::vector<std::u16string_view> SplitItems(const std::u16string& text) {
    std::vector<std::u16string_view> items;
    if (text.empty()) return items;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(u',', start);
        if (comma == std::u16string::npos) {
            items.emplace_back(text.data() + start, text.size() - start);
            return items;
        }
        items.emplace_back(text.data() + start, comma - start);
        start = comma + 1;
    }
}

bool IsGroupBlockName(const std::u16string& name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char16_t c) {
        return (c >= u'0' && c <= u'9') || c == u'-';
    });
}

uint32_t GroupNumber(const std::u16string& name) {
    const std::u16string n = TrimQX(name);
    return IsIntQX(n) ? StrToUIntQX(n) : 0;
}

// Puts the list's current group back when a blob build ends, also on failure.
class CurrentGroupGuard {
public:
    explicit CurrentGroupGuard(TKeyGroupList* list)
        : List_(list), Saved_(list ? list->CurrentGroup : 0) {}
    ~CurrentGroupGuard() {
        if (List_) List_->CurrentGroup = Saved_;
    }
    CurrentGroupGuard(const CurrentGroupGuard&) = delete;
    CurrentGroupGuard& operator=(const CurrentGroupGuard&) = delete;

private:
    TKeyGroupList* List_;
    int32_t Saved_;
};

} // namespace

// --- TKeyGM ---------------------------------------------------------------------------------

TKeyGM::TKeyGM(TKeyGroupList* list, TKeyInterpolate interpolate, int32_t size)
    : List(list), Size(size), Interpolate(interpolate) {
    if (size < 1) RaiseQX("TKeyGM.Create. size=" + std::to_string(size));
    const std::size_t rows = list ? static_cast<std::size_t>(list->GroupCount()) : 0;
    Values.assign(rows, std::vector<uint8_t>(static_cast<std::size_t>(size), 0));
    Durations.assign(1, 0);
    Value.assign(static_cast<std::size_t>(size), 0);
    if (List) ++List->KeyCount_;
}

TKeyGM::~TKeyGM() {
    if (List) --List->KeyCount_;
}

uint32_t TKeyGM::ValueColor() const {
    uint32_t v = 0;
    for (std::size_t b = 0; b < 4 && b < Value.size(); ++b)
        v |= static_cast<uint32_t>(Value[b]) << (8 * b);
    return v;
}

void TKeyGM::KeyInsert(int32_t i) {
    if (i < 0 || i > Count || Count >= kInt32Max) RaiseQX("TKeyGM.KeyInsert");
    const std::size_t size = static_cast<std::size_t>(Size);
    const std::size_t at = static_cast<std::size_t>(i) * size;
    const std::size_t from = static_cast<std::size_t>(i < Count ? i : i - 1) * size;
    for (auto& row : Values) {
        // Copy first: inserting may reallocate the row the source bytes live in.
        const std::vector<uint8_t> copy(row.begin() + static_cast<std::ptrdiff_t>(from),
                                        row.begin() + static_cast<std::ptrdiff_t>(from + size));
        row.insert(row.begin() + static_cast<std::ptrdiff_t>(at), copy.begin(), copy.end());
    }
    const int32_t d = Durations[static_cast<std::size_t>(i < Count ? i : i - 1)];
    Durations.insert(Durations.begin() + i, d);
    ++Count;
}

void TKeyGM::KeyDelete(int32_t i) {
    if (i < 0 || i >= Count || Count <= 1) RaiseQX("TKeyGM.KeyDelete");
    const std::ptrdiff_t size = Size;
    for (auto& row : Values)
        row.erase(row.begin() + i * size, row.begin() + (i + 1) * size);
    Durations.erase(Durations.begin() + i);
    --Count;
}

void TKeyGM::Load(const std::u16string& text) {
    const std::vector<std::u16string_view> items = SplitItems(text);
    const auto item = [&items](uint64_t k) {
        return k < items.size() ? std::u16string(items[k]) : std::u16string();
    };
    const uint64_t n = StrToUIntQX(item(0));
    const uint64_t rows = Values.size();
    // Every key needs a duration and a value per group: a count the text cannot back is damage,
    // and is rejected before the key grows to it.
    if (n > 0 && (n > static_cast<uint64_t>(kInt32Max) || items.size() < 1 + n + rows * n))
        RaiseQX("TKeyGM.Load");
    const int64_t count = static_cast<int64_t>(n);
    if (count > Count) {
        Durations.reserve(static_cast<std::size_t>(count));
        for (auto& row : Values)
            row.reserve(static_cast<std::size_t>(count) * static_cast<std::size_t>(Size));
    }
    while (Count < count)
        KeyInsert(Count);
    while (Count > count)
        KeyDelete(Count - 1); // a count of 0 ends here with "TKeyGM.KeyDelete"

    Total = 0;
    for (int32_t i = 0; i < Count; ++i) {
        Durations[static_cast<std::size_t>(i)] =
            static_cast<int32_t>(StrToUIntQX(item(1 + static_cast<uint64_t>(i))));
        Total += Walked(Durations[static_cast<std::size_t>(i)]);
    }

    uint64_t next = 1 + n;
    std::u16string part;
    for (std::size_t g = 0; g < Values.size(); ++g) {
        for (int32_t k = 0; k < Count; ++k) {
            const std::u16string value = TrimQX(item(next++));
            // Parts are separated by single spaces; an empty item has no parts.
            const int32_t parts =
                value.empty()
                    ? 0
                    : 1 + static_cast<int32_t>(std::count(value.begin(), value.end(), u' '));
            if (parts != Size) RaiseQX("TKeyGM.Load");
            uint8_t* out = ValueAt(static_cast<int32_t>(g), k);
            std::size_t start = 0;
            for (int32_t b = 0; b < Size; ++b) {
                std::size_t end = value.find(u' ', start);
                if (end == std::u16string::npos) end = value.size();
                part.assign(value, start, end - start);
                out[b] = static_cast<uint8_t>(HexToIntQX(part) & 0xffu);
                start = end + 1;
            }
        }
    }
}

std::u16string TKeyGM::Save() const {
    std::u16string s = IntToWideQX(Count);
    // Durations are written back as the unsigned numbers they were read from, so a wrapped
    // duration reloads with the same stored value.
    for (int32_t d : Durations) {
        s += u',';
        s += IntToWideQX(static_cast<uint32_t>(d));
    }
    for (std::size_t g = 0; g < Values.size(); ++g) {
        for (int32_t k = 0; k < Count; ++k) {
            s += u',';
            const uint8_t* v = ValueAt(static_cast<int32_t>(g), k);
            for (int32_t b = 0; b < Size; ++b) {
                if (b > 0) s += u' ';
                s += ByteToHexQX(v[b]);
            }
        }
    }
    return s;
}

TKeyCalc TKeyGM::Calc(float time) const {
    const TKeyCalc first;
    if (Count <= 1 || Durations.size() < static_cast<std::size_t>(Count)) return first;
    const IKeyUnit* unit = List ? List->Unit : nullptr;
    const float shifted = time + (unit ? static_cast<float>(unit->KeyTimeOffset()) : 0.0f);
    int64_t t = RoundHalfEven(shifted);
    const int64_t length = unit ? unit->KeyTimeLength() : 0;
    if (length <= Total) {
        // A zero period (all durations 0, no longer time length) has no time to reduce by.
        if (Total <= 0) return first;
        t %= Total;
    } else {
        const int64_t inPeriod = t % length;
        const int64_t pause = length - Total;
        if (pause > inPeriod) return first;
        t = inPeriod - pause;
    }

    int32_t zero = 0;
    int64_t passed = 0; // time walked in the current pass
    for (int32_t i = 0;;) {
        const int64_t d = Walked(Durations[static_cast<std::size_t>(i)]);
        if (t - d < 0) {
            TKeyCalc r;
            r.Index = i;
            r.Next = i + 1 == Count ? 0 : i + 1;
            // Only a negative time meets a zero duration here; it stays on that key.
            r.Fraction =
                d > 0 ? static_cast<float>(static_cast<double>(t) / static_cast<double>(d)) : 0.0f;
            return r;
        }
        if (d <= 0) ++zero;
        t -= d;
        passed += d;
        if (++i == Count) {
            if (zero == Count) return first;
            // Another pass would subtract `passed` again; skipping the whole passes at once
            // keeps a stale Total (durations edited without Load) from walking for ages.
            t %= passed;
            i = 0;
            zero = 0;
            passed = 0;
        }
    }
}

void TKeyGM::Update(int32_t animClock) {
    const TKeyCalc c = Calc(static_cast<float>(animClock));
    if (Interpolate) Interpolate(*this, c.Index, c.Next, c.Fraction);
}

void ColorLerp(TKeyGM& key, int32_t i, int32_t j, float f) {
    const TKeyGroupList* list = key.List;
    if (!list || key.Size != 4 || key.Value.size() < 4) return;
    const int32_t g = list->CurrentGroup;
    if (g < 0 || static_cast<std::size_t>(g) >= key.Values.size()) return;
    if (i < 0 || j < 0 || i >= key.Count || j >= key.Count) return;
    if (key.Values[static_cast<std::size_t>(g)].size() < static_cast<std::size_t>(key.Count) * 4)
        return;
    const uint8_t* a = key.ValueAt(g, i);
    const uint8_t* b = key.ValueAt(g, j);
    for (std::size_t c = 0; c < 4; ++c) {
        const int64_t delta = static_cast<int64_t>(b[c]) - static_cast<int64_t>(a[c]);
        const int64_t v = a[c] + RoundHalfEven(static_cast<double>(delta) * static_cast<double>(f));
        key.Value[c] = static_cast<uint8_t>(std::clamp<int64_t>(v, 0, 255));
    }
}

// --- End-file blobs ---------------------------------------------------------------------------

void TKeyGM::KeySample(TBufQX& buf) {
    const IKeyUnit* unit = List ? List->Unit : nullptr;
    const int64_t length = unit ? unit->KeyTimeLength() : 0;
    const int64_t n = std::max<int64_t>(1, std::max(length, Total) / 20);
    // A run must fit the buffer's 32-bit length; only absurd durations get here.
    if (static_cast<int64_t>(buf.Pointer) + 8 + 4 * n > kInt32Max)
        RaiseQX("TKeyGM.KeySample. n=" + std::to_string(n));
    // The whole run at once: growing by the buffer's small step would copy a long run over and
    // over.
    const int32_t at = buf.Pointer;
    buf.TestAddLenBuf(static_cast<int32_t>(8 + 4 * n));
    buf.Pointer = at;
    buf.AddDWord(0);
    buf.AddDWord(static_cast<uint32_t>(n));
    for (int64_t s = 0; s < n; ++s) {
        const TKeyCalc c = Calc(static_cast<float>(20 * s));
        if (Interpolate) Interpolate(*this, c.Index, c.Next, c.Fraction);
        buf.AddDWord(ValueColor());
    }
}

void TKeyGM::KeyBlobBuild(TBufQX& scratch) {
    scratch.Clear();
    const IKeyUnit* unit = List ? List->Unit : nullptr;
    const int32_t type = unit ? unit->KeyUnitType() : 0;
    const int32_t groups = List ? List->GroupCount() : 0;
    scratch.AddDWord(0);
    scratch.AddDWord(static_cast<uint32_t>(groups));
    scratch.AddDWord(static_cast<uint32_t>(type));
    scratch.AddDWord(0); // total length, filled in last
    if (type != 0) {
        for (int32_t g = 0; g < groups; ++g) {
            scratch.AddDWord(0); // offset of the group's samples, filled in below
            scratch.AddDWord(GroupNumber(List->Groups[static_cast<std::size_t>(g)]->Name));
        }
        const CurrentGroupGuard guard(List);
        for (int32_t g = 0; g < groups; ++g) {
            scratch.SetDWordAt(16 + 8 * g, static_cast<uint32_t>(scratch.Pointer));
            List->CurrentGroup = g;
            KeySample(scratch);
        }
    } else {
        // One table entry even though offset 4 holds the group count.
        scratch.AddDWord(24);
        scratch.AddDWord(0);
        KeySample(scratch);
    }
    scratch.SetDWordAt(12, static_cast<uint32_t>(scratch.Len));
}

int64_t TKeyGM::KeyBlobSize() const {
    const IKeyUnit* unit = List ? List->Unit : nullptr;
    const int64_t length = unit ? unit->KeyTimeLength() : 0;
    // Total is at most 2^31 per key; bounding it keeps the products below in range.
    constexpr int64_t kCap = int64_t{1} << 40;
    const int64_t n = std::min(kCap, std::max<int64_t>(1, std::max(length, Total) / 20));
    const int64_t run = 8 + 4 * n;
    const bool typed = unit && unit->KeyUnitType() != 0;
    if (!typed) return 24 + run;
    const int64_t groups = List ? List->GroupCount() : 0;
    // In floating point: many groups of a capped run would overflow; exact where it matters.
    const double size = 16.0 + static_cast<double>(groups) * static_cast<double>(8 + run);
    return size < 4.0e18 ? static_cast<int64_t>(size) : static_cast<int64_t>(4.0e18);
}

namespace {

template <typename T> void AppendBytes(std::string& out, const T& v) {
    out.append(reinterpret_cast<const char*>(&v), sizeof v);
}

} // namespace

std::string TKeyGM::SampleInputs() const {
    // Without an interpolation the samples repeat whatever Value held: nothing to compare by.
    if (!Interpolate) return {};
    const IKeyUnit* unit = List ? List->Unit : nullptr;
    const int32_t type = unit ? unit->KeyUnitType() : 0;
    const int32_t groups = List ? List->GroupCount() : 0;
    const int32_t current = List ? List->CurrentGroup : 0;
    std::string in;
    AppendBytes(in, Interpolate);
    for (const int64_t v :
         {int64_t{Size}, int64_t{Count}, Total, int64_t{type}, int64_t{groups},
          int64_t{unit ? unit->KeyTimeOffset() : 0}, int64_t{unit ? unit->KeyTimeLength() : 0}})
        AppendBytes(in, v);
    for (const int32_t d : Durations)
        AppendBytes(in, d);
    // A typed unit's blob holds every group with its number; an untyped one only the current
    // group. Value is what a sample repeats when there is no such group to interpolate in.
    in.append(reinterpret_cast<const char*>(Value.data()), Value.size());
    const auto row = [&in, this](std::size_t g) {
        AppendBytes(in, g);
        if (g < Values.size())
            in.append(reinterpret_cast<const char*>(Values[g].data()), Values[g].size());
    };
    if (type != 0) {
        for (int32_t g = 0; g < groups; ++g) {
            AppendBytes(in, GroupNumber(List->Groups[static_cast<std::size_t>(g)]->Name));
            row(static_cast<std::size_t>(g));
        }
    } else {
        AppendBytes(in, current);
        if (current >= 0) row(static_cast<std::size_t>(current));
    }
    return in;
}

int32_t TKeyGM::KeyBlobAdd(TBufQX& scratch, KeyPool& pool) {
    std::string inputs = SampleInputs();
    if (!inputs.empty())
        if (const int32_t* off = pool.FindSampled(inputs)) return *off;
    KeyBlobBuild(scratch);
    const int32_t off = pool.Add(scratch);
    if (!inputs.empty()) pool.RememberSampled(std::move(inputs), off);
    return off;
}

namespace {

std::size_t HashBytes(const uint8_t* data, int32_t len) {
    return std::hash<std::string_view>{}(
        std::string_view(reinterpret_cast<const char*>(data), static_cast<std::size_t>(len)));
}

} // namespace

// The pool is a plain run of blobs, each carrying its length at +12; the index maps a hash of
// a blob's bytes to the offsets of the blobs with that hash in pool order, so the first equal
// blob found is the one a walk from offset 0 would find.
void KeyPool::Sync() {
    if (Buf.Len < Indexed_) {
        Index_.clear();
        Sampled_.clear();
        Indexed_ = 0;
    }
    while (Indexed_ < Buf.Len) {
        const int32_t left = Buf.Len - Indexed_;
        const uint32_t len = left >= 16 ? Buf.GetDWordAt(Indexed_ + 12) : 0;
        if (len < 16 || len > static_cast<uint32_t>(left)) {
            Indexed_ = Buf.Len; // not a blob run: nothing in it can be matched
            break;
        }
        const int32_t blobLen = static_cast<int32_t>(len);
        Index_[HashBytes(Buf.Data + Indexed_, blobLen)].push_back({Indexed_, blobLen});
        Indexed_ += blobLen;
    }
}

int32_t KeyPool::Add(const TBufQX& blob) {
    if (blob.Len < 1) RaiseQX("KeyPool.Add. len=" + std::to_string(blob.Len));
    Sync();
    std::vector<Entry>& entries = Index_[HashBytes(blob.Data, blob.Len)];
    for (const Entry& e : entries) {
        if (e.Len == blob.Len &&
            std::memcmp(Buf.Data + e.Offset, blob.Data, static_cast<std::size_t>(blob.Len)) == 0)
            return e.Offset;
    }
    const int32_t off = Buf.Len;
    if (static_cast<int64_t>(off) + blob.Len > std::min<int64_t>(Limit, kInt32Max))
        RaiseQX("The colour animations of the world need more than " + std::to_string(Limit) +
                " bytes of samples in the end file; shorten the longest time lengths");
    Buf.LenSet(off + blob.Len);
    std::memcpy(Buf.Data + off, blob.Data, static_cast<std::size_t>(blob.Len));
    entries.push_back({off, blob.Len});
    Indexed_ = Buf.Len;
    return off;
}

const int32_t* KeyPool::FindSampled(const std::string& inputs) {
    Sync();
    const auto it = Sampled_.find(inputs);
    return it == Sampled_.end() ? nullptr : &it->second;
}

void KeyPool::RememberSampled(std::string inputs, int32_t offset) {
    Sampled_.emplace(std::move(inputs), offset);
}

// --- TKeyGroupList ----------------------------------------------------------------------------

TKeyGroupList::TKeyGroupList(IKeyUnit* unit, KeyStore* store) : Unit(unit), Store_(store) {}

TKeyGroupList::~TKeyGroupList() {
    // Keys that outlive their list must not keep a dangling reference to it.
    if (Store_ && KeyCount_ > 0) Store_->DetachKeys(this);
}

void TKeyGroupList::Clear() {
    Groups.clear();
    CurrentGroup = 0;
}

TKeyGroup* TKeyGroupList::GroupInsert(int32_t row) {
    if (row < 0 || row > GroupCount()) return nullptr;
    if (Store_ && KeyCount_ > 0) {
        for (TKeyGM* key : Store_->Keys_) {
            if (key->List != this) continue;
            auto& rows = key->Values;
            const std::size_t at = std::min(static_cast<std::size_t>(row), rows.size());
            std::vector<uint8_t> copy =
                at < rows.size() ? rows[at]
                : at > 0         ? rows[at - 1]
                                 : std::vector<uint8_t>(static_cast<std::size_t>(key->Count) *
                                                    static_cast<std::size_t>(key->Size),
                                                0);
            rows.insert(rows.begin() + static_cast<std::ptrdiff_t>(at), std::move(copy));
        }
    }
    const auto it = Groups.insert(Groups.begin() + row, std::make_unique<TKeyGroup>());
    return it->get();
}

void TKeyGroupList::LoadDesc(TBlockParQX& desc) {
    Clear();
    const TBlockParQX* groups = desc.Block_Get(u"KeyGroup");
    for (const TBlockParElQX* el = groups->First(); el; el = el->Next) {
        if (el->Kind != TBlockParElQX::KindBlock || !IsGroupBlockName(el->Name)) continue;
        TKeyGroup* group = GroupInsert(GroupCount());
        if (el->Block->Par_CountName(u"Name") > 0) group->Name = el->Block->Par_Get(u"Name");
    }
}

void TKeyGroupList::ReadGroups(TBufQX& buf) {
    CurrentGroup = Unit ? Unit->KeyGroupIndex() : 0;
    const uint32_t n = buf.GetDWord();
    buf.TestCount(n, 2); // a name is at least its terminator
    for (uint32_t i = 0; i < n; ++i) {
        TKeyGroup* group = GroupInsert(GroupCount());
        group->Name = buf.GetWideStr();
    }
}

void TKeyGroupList::WriteGroups(TBufQX& buf) const {
    buf.AddDWord(static_cast<uint32_t>(Groups.size()));
    for (const auto& group : Groups)
        buf.AddWideStr(group->Name);
}

// --- KeyStore ---------------------------------------------------------------------------------

void KeyDeleter::operator()(TKeyGM* key) const noexcept {
    if (Store)
        Store->KeyDestroy(key);
    else
        delete key;
}

KeyStore::~KeyStore() {
    Keys_.Clear();
    Lists_.Clear();
}

TKeyGM* KeyStore::KeyCreate(TKeyGroupList* list, TKeyInterpolate interpolate, int32_t size) {
    return Keys_.Append(std::make_unique<TKeyGM>(list, interpolate, size));
}

KeyPtr KeyStore::KeyNew(TKeyGroupList* list, TKeyInterpolate interpolate, int32_t size) {
    return KeyPtr(KeyCreate(list, interpolate, size), KeyDeleter{this});
}

void KeyStore::KeyDestroy(TKeyGM* key) noexcept {
    if (key) Keys_.Erase(key);
}

TKeyGroupList* KeyStore::KeyGroupListAdd(IKeyUnit* unit) {
    TKeyGroupList* list = Lists_.Append(std::make_unique<TKeyGroupList>(unit, this));
    ByUnit_[unit].push_back(list);
    ByNumberValid_ = false;
    return list;
}

void KeyStore::KeyGroupListDeleteUnit(const IKeyUnit* unit) {
    const auto it = ByUnit_.find(unit);
    if (it == ByUnit_.end()) return;
    const std::vector<TKeyGroupList*> lists = std::move(it->second);
    ByUnit_.erase(it);
    ByNumberValid_ = false;
    for (TKeyGroupList* list : lists)
        Lists_.Erase(list);
}

TKeyGroupList* KeyStore::KeyGroupListOfUnit(const IKeyUnit* unit) const {
    const auto it = ByUnit_.find(unit);
    return it == ByUnit_.end() || it->second.empty() ? nullptr : it->second.front();
}

void KeyStore::RebuildByNumber() {
    ByNumber_.clear();
    for (TKeyGroupList* list : Lists_)
        ByNumber_.emplace(list->Number, list); // keeps the first list of each number
    ByNumberValid_ = true;
}

TKeyGroupList* KeyStore::KeyGroupListByNumber(int32_t n) {
    if (!ByNumberValid_) RebuildByNumber();
    auto it = ByNumber_.find(n);
    if (it != ByNumber_.end() && it->second->Number == n) return it->second;
    // Numbers may have been assigned directly since the index was built: look once more.
    RebuildByNumber();
    it = ByNumber_.find(n);
    return it == ByNumber_.end() ? nullptr : it->second;
}

void KeyStore::KeyGroupListsNumber() {
    int32_t n = 1;
    for (TKeyGroupList* list : Lists_)
        list->Number = n++;
    ByNumberValid_ = false;
}

void KeyStore::KeyUpdateAll(int32_t animClock) {
    for (TKeyGM* key : Keys_) {
        const TKeyGroupList* list = key->List;
        if (list && list->Unit && list->Unit->KeyVisible()) key->Update(animClock);
    }
}

void KeyStore::DetachKeys(TKeyGroupList* list) noexcept {
    for (TKeyGM* key : Keys_)
        if (key->List == list) key->List = nullptr;
    list->KeyCount_ = 0;
}

} // namespace gm
