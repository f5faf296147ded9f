#include "world/GMKey.h"

#include "foundation/Prefetch.h"
#include "foundation/QX_BlockPar.h"
#include "foundation/QX_Error.h"
#include "foundation/QX_Str.h"

#include <algorithm>
#include <bit>
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
    // Floor and parity in integers: exact within the clamp above, and far cheaper than
    // std::floor and std::fmod, which keys call several times a frame.
    int64_t r = static_cast<int64_t>(v); // towards zero
    if (static_cast<double>(r) > v) --r;
    const double diff = v - static_cast<double>(r);
    if (diff > 0.5 || (diff == 0.5 && (r & 1) != 0)) ++r;
    return r;
}

// Durations that wrapped to negative numbers when loaded are walked as zero.
int64_t Walked(int32_t duration) {
    return duration > 0 ? duration : 0;
}

// The items of a comma-separated key text, read one after the other in a single pass: none for
// an empty text, else one more than the commas; past the last item, empty ones. Keys are read by
// the hundred thousand when a world opens, so items are parsed where they stand.
class KeyItems {
public:
    explicit KeyItems(std::u16string_view text)
        : At_(text.data()), End_(text.data() + text.size()),
          Count_(text.empty()
                     ? 0
                     : 1 + static_cast<uint64_t>(std::count(text.begin(), text.end(), u','))) {}
    uint64_t Count() const noexcept { return Count_; }

    // The next item's decimal digits as one number, other characters skipped (StrToUIntQX).
    uint32_t NextUInt() noexcept {
        uint32_t v = 0;
        for (; At_ < End_ && *At_ != u','; ++At_)
            if (*At_ >= u'0' && *At_ <= u'9') v = v * 10u + static_cast<uint32_t>(*At_ - u'0');
        Skip();
        return v;
    }

    // The next item as a value: trimmed, then exactly `size` parts separated by single spaces,
    // each read as hexadecimal (other characters skipped, the low byte kept) into out. False when
    // the part count differs; out may then be partly written.
    bool NextHexBytes(uint8_t* out, int32_t size) noexcept {
        if (NextPlainHexBytes(out, size)) return true;
        int32_t part = 0;
        int32_t spaces = 0; // after the last character kept; they end parts only if more follows
        bool started = false;
        uint32_t v = 0;
        for (; At_ < End_ && *At_ != u','; ++At_) {
            const char16_t c = *At_;
            if (c == 0 || c == 9 || c == 10 || c == 13 || c == 32) {
                if (started && c == u' ') ++spaces;
                continue;
            }
            started = true;
            for (; spaces > 0; --spaces) {
                if (part >= size) return false;
                out[part++] = static_cast<uint8_t>(v & 0xffu);
                v = 0;
            }
            if (c >= u'0' && c <= u'9')
                v = v * 16u + static_cast<uint32_t>(c - u'0');
            else if (c >= u'a' && c <= u'f')
                v = v * 16u + static_cast<uint32_t>(c - u'a' + 10);
            else if (c >= u'A' && c <= u'F')
                v = v * 16u + static_cast<uint32_t>(c - u'A' + 10);
        }
        Skip();
        if (!started || part + 1 != size) return false;
        out[part] = static_cast<uint8_t>(v & 0xffu);
        return true;
    }

private:
    static int Hex(char16_t c) noexcept {
        if (c >= u'0' && c <= u'9') return c - u'0';
        if (c >= u'a' && c <= u'f') return c - u'a' + 10;
        if (c >= u'A' && c <= u'F') return c - u'A' + 10;
        return -1;
    }
    // The form every saved key has, "hh hh hh hh", read without the general rules' bookkeeping;
    // false (nothing taken) for anything else.
    bool NextPlainHexBytes(uint8_t* out, int32_t size) noexcept {
        const std::size_t chars = static_cast<std::size_t>(size) * 3 - 1;
        if (static_cast<std::size_t>(End_ - At_) < chars) return false;
        if (At_ + chars < End_ && At_[chars] != u',') return false;
        for (int32_t b = 0; b < size; ++b) {
            const char16_t* at = At_ + 3 * b;
            const int high = Hex(at[0]);
            const int low = Hex(at[1]);
            if (high < 0 || low < 0 || (b + 1 < size && at[2] != u' ')) return false;
            out[b] = static_cast<uint8_t>(high << 4 | low);
        }
        At_ += chars;
        Skip();
        return true;
    }
    void Skip() noexcept { At_ += At_ < End_ ? 1 : 0; } // the comma, when there is one
    const char16_t* At_;
    const char16_t* End_;
    uint64_t Count_;
};

// Decimal digits of v, as IntToWideQX writes them, at `at`; returns the end.
char16_t* AppendDecimal(char16_t* at, uint32_t v) {
    char16_t digits[10];
    int n = 0;
    do {
        digits[n++] = static_cast<char16_t>(u'0' + v % 10);
        v /= 10;
    } while (v != 0);
    while (n > 0)
        *at++ = digits[--n];
    return at;
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

// A float fraction as M * 2^E with integers, so that RoundHalfEven(delta * f) for a byte
// difference delta can be found without floating point: the product of an 8-bit and a 24-bit
// number is exact in a double, and so it is in 64-bit integers; rounding half to even of
// M * delta / 2^s is then a shift and a look at the bits shifted out. Fractions too large for that
// (or not finite) are left to the floating-point path.
struct ScaledFraction {
    bool Exact = false;
    int64_t M = 0; // signed mantissa
    int Shift = 0; // E = -Shift when positive; E = 0 .. 20 is a left shift of -Shift

    static ScaledFraction Of(float f) {
        ScaledFraction r;
        const uint32_t bits = std::bit_cast<uint32_t>(f);
        const int exponent = static_cast<int>((bits >> 23) & 0xFF);
        if (exponent == 0xFF) return r; // infinite or NaN
        int64_t m = bits & 0x7FFFFF;
        int e = -149; // subnormal
        if (exponent != 0) {
            m |= 0x800000;
            e = exponent - 150;
        }
        if (e > 20) return r;
        r.Exact = true;
        r.M = (bits >> 31) ? -m : m;
        r.Shift = -e;
        return r;
    }

    int64_t Times(int64_t delta) const {
        const int64_t x = M * delta; // |x| < 2^32
        if (Shift <= 0) return x << -Shift;
        if (Shift > 33) return 0;     // |x| / 2^Shift < 1/2
        const int64_t q = x >> Shift; // floor
        const int64_t rest = x - (q << Shift);
        const int64_t half = int64_t{1} << (Shift - 1);
        return rest > half || (rest == half && (q & 1) != 0) ? q + 1 : q;
    }
};

} // namespace

// --- TKeyGM ---------------------------------------------------------------------------------

TKeyGM::TKeyGM(TKeyGroupList* list, TKeyInterpolate interpolate, int32_t size)
    : Size_(size), List(list), Interpolate(interpolate) {
    if (size < 1) RaiseQX("TKeyGM.Create. size=" + std::to_string(size));
    const int32_t rows = list ? list->GroupCount() : 0;
    Relayout(
        1, rows, [](int32_t) { return -1; }, [](int32_t) { return -1; });
    if (size > SmallValueSize)
        BigValue_ = std::make_unique<uint8_t[]>(static_cast<std::size_t>(size));
    if (List) List->AttachKey(this);
}

TKeyGM::~TKeyGM() {
    if (List) List->DetachKey(this);
}

template <class FromKey, class FromRow>
void TKeyGM::Relayout(int32_t count, int32_t rows, FromKey fromKey, FromRow fromRow) {
    const std::size_t size = static_cast<std::size_t>(Size_);
    const std::size_t rowBytes = static_cast<std::size_t>(count) * size;
    const std::size_t bytes = static_cast<std::size_t>(rows) * rowBytes;
    const std::size_t words = static_cast<std::size_t>(count) + (bytes + 3) / 4;
    // Built beside the present storage (which it is made from), then put in its place.
    int32_t small[InlineWords] = {};
    std::unique_ptr<int32_t[]> heap(words > InlineWords ? new int32_t[words]() : nullptr);
    int32_t* data = heap ? heap.get() : small;
    auto* out = reinterpret_cast<uint8_t*>(data + count);
    for (int32_t k = 0; k < count; ++k) {
        const int32_t from = fromKey(k);
        if (from >= 0) data[static_cast<std::size_t>(k)] = Duration(from);
    }
    for (int32_t r = 0; r < rows; ++r) {
        const int32_t row = fromRow(r);
        if (row < 0) continue;
        for (int32_t k = 0; k < count; ++k) {
            const int32_t from = fromKey(k);
            if (from >= 0)
                std::memcpy(out + static_cast<std::size_t>(r) * rowBytes +
                                static_cast<std::size_t>(k) * size,
                            ValueAt(row, from), size);
        }
    }
    if (heap) {
        Heap_ = std::move(heap);
        Data_ = Heap_.get();
    } else {
        std::memcpy(Inline_, small, sizeof small);
        Data_ = Inline_;
        Heap_.reset();
    }
    Count_ = count;
    Rows_ = rows;
}

uint32_t TKeyGM::ValueColor() const noexcept {
    const uint8_t* v = Value();
    uint32_t c = 0;
    for (int32_t b = 0; b < 4 && b < Size_; ++b)
        c |= static_cast<uint32_t>(v[b]) << (8 * b);
    return c;
}

void TKeyGM::KeyInsert(int32_t i) {
    if (i < 0 || i > Count_ || Count_ >= kInt32Max) RaiseQX("TKeyGM.KeyInsert");
    const int32_t source = i < Count_ ? i : i - 1;
    Relayout(
        Count_ + 1, Rows_, [&](int32_t k) { return k < i    ? k
                                                   : k == i ? source
                                                            : k - 1; },
        [](int32_t r) { return r; });
}

void TKeyGM::KeyDelete(int32_t i) {
    if (i < 0 || i >= Count_ || Count_ <= 1) RaiseQX("TKeyGM.KeyDelete");
    Relayout(
        Count_ - 1, Rows_, [&](int32_t k) { return k < i ? k : k + 1; },
        [](int32_t r) { return r; });
}

void TKeyGroupList::InsertRowAll(int32_t row) {
    for (TKeyGM* key : Keys_)
        key->InsertRow(row);
}

void TKeyGM::InsertRow(int32_t row) {
    const int32_t at = std::min(row, Rows_);
    // A copy of the row that was there, of the one before when the new row is last, zeros when
    // there was none.
    const int32_t source = at < Rows_ ? at : at - 1;
    Relayout(
        Count_, Rows_ + 1, [](int32_t k) { return k; },
        [&](int32_t r) { return r < at    ? r
                                : r == at ? source
                                          : r - 1; });
}

void TKeyGM::Load(std::u16string_view text) {
    KeyItems items(text);
    const uint64_t n = items.NextUInt();
    const uint64_t rows = static_cast<uint64_t>(Rows_);
    // With groups, every key needs a value item per group after its duration: a count the text
    // cannot back is damage, rejected before the key grows to it. Without groups a missing
    // duration reads as 0 ("2" is two keys of duration 0); only a count far beyond the text's
    // items is refused there, so a damaged one cannot grow the key without bound.
    constexpr uint64_t kMissingDurationsMax = 65536;
    const bool unbacked =
        rows > 0 ? items.Count() < 1 + n + rows * n : n + 1 > items.Count() + kMissingDurationsMax;
    if (n > 0 && (n > static_cast<uint64_t>(kInt32Max) || unbacked)) RaiseQX("TKeyGM.Load");
    // Growing copies the last entry into the new ones, as KeyInsert at the end would; a count
    // of 0 shrinks to one key and then fails as KeyDelete of the last key does.
    const int32_t count = n == 0 ? 1 : static_cast<int32_t>(n);
    if (count != Count_) {
        const int32_t last = Count_ - 1;
        Relayout(
            count, Rows_, [last](int32_t k) { return std::min(k, last); },
            [](int32_t r) { return r; });
    }
    if (n == 0) RaiseQX("TKeyGM.KeyDelete");

    Total = 0;
    for (int32_t i = 0; i < Count_; ++i) {
        SetDuration(i, static_cast<int32_t>(items.NextUInt()));
        Total += Walked(Duration(i));
    }

    for (int32_t g = 0; g < Rows_; ++g)
        for (int32_t k = 0; k < Count_; ++k)
            if (!items.NextHexBytes(ValueAt(g, k), Size_)) RaiseQX("TKeyGM.Load");
}

std::u16string TKeyGM::Save() const {
    std::u16string s;
    SaveTo(s);
    return s;
}

void TKeyGM::SaveTo(std::u16string& s) const {
    static constexpr char16_t Hex[] = u"0123456789abcdef";
    const std::size_t values = static_cast<std::size_t>(Rows_) * static_cast<std::size_t>(Count_);
    // The longest text: ten digits per number, three characters per value byte. Written through
    // a pointer and cut to length after: a world's save writes every key.
    s.resize(11 * (1 + static_cast<std::size_t>(Count_)) +
             values * 3 * static_cast<std::size_t>(Size_));
    char16_t* at = s.data();
    at = AppendDecimal(at, static_cast<uint32_t>(Count_));
    // Durations are written back as the unsigned numbers they were read from, so a wrapped
    // duration reloads with the same stored value.
    for (int32_t i = 0; i < Count_; ++i) {
        *at++ = u',';
        at = AppendDecimal(at, static_cast<uint32_t>(Duration(i)));
    }
    for (int32_t g = 0; g < Rows_; ++g) {
        for (int32_t k = 0; k < Count_; ++k) {
            *at++ = u',';
            const uint8_t* v = ValueAt(g, k);
            for (int32_t b = 0; b < Size_; ++b) {
                if (b > 0) *at++ = u' ';
                *at++ = Hex[v[b] >> 4];
                *at++ = Hex[v[b] & 15];
            }
        }
    }
    s.resize(static_cast<std::size_t>(at - s.data()));
}

TKeyCalc TKeyGM::Calc(float time) const {
    const IKeyUnit* unit = List ? List->Unit : nullptr;
    if (!unit) return CalcFor(time, 0, 0);
    return CalcFor(time, unit->KeyTimeOffset(), unit->KeyTimeLength());
}

TKeyCalc TKeyGM::CalcFor(float time, int32_t timeOffset, int64_t length) const {
    if (Count_ <= 1) return TKeyCalc{};
    return CalcAt(RoundHalfEven(time + static_cast<float>(timeOffset)), length);
}

namespace {

// a % b, in 32 bits where both fit (the usual case, and a cheaper division).
inline int64_t Mod(int64_t a, int64_t b) {
    if (a >= 0 && b > 0 && a <= 0xFFFFFFFF && b <= 0xFFFFFFFF)
        return static_cast<uint32_t>(a) % static_cast<uint32_t>(b);
    return a % b;
}

} // namespace

TKeyCalc TKeyGM::CalcAt(int64_t t, int64_t length) const {
    const TKeyCalc first;
    if (Count_ <= 1) return first;
    if (length <= Total) {
        // A zero period (all durations 0, no longer time length) has no time to reduce by.
        if (Total <= 0) return first;
        t = Mod(t, Total);
    } else {
        const int64_t inPeriod = Mod(t, length);
        const int64_t pause = length - Total;
        if (pause > inPeriod) return first;
        t = inPeriod - pause;
    }

    int32_t zero = 0;
    int64_t passed = 0; // time walked in the current pass
    for (int32_t i = 0;;) {
        const int64_t d = Walked(Duration(i));
        if (t - d < 0) {
            TKeyCalc r;
            r.Index = i;
            r.Next = i + 1 == Count_ ? 0 : i + 1;
            // Only a negative time meets a zero duration here; it stays on that key.
            r.Fraction =
                d > 0 ? static_cast<float>(static_cast<double>(t) / static_cast<double>(d)) : 0.0f;
            return r;
        }
        if (d <= 0) ++zero;
        t -= d;
        passed += d;
        if (++i == Count_) {
            if (zero == Count_) return first;
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
    if (!list || key.Size() != 4) return;
    const int32_t g = list->CurrentGroup;
    if (g < 0 || g >= key.Rows()) return;
    if (i < 0 || j < 0 || i >= key.Count() || j >= key.Count()) return;
    const uint8_t* a = key.ValueAt(g, i);
    const uint8_t* b = key.ValueAt(g, j);
    // On a key (most frames of a slow animation land on none exactly, but every still key
    // does) the rounding below would add nothing.
    if (f == 0.0f) {
        std::memcpy(key.Value(), a, 4);
        return;
    }
    const ScaledFraction sf = ScaledFraction::Of(f);
    uint8_t* out = key.Value();
    for (std::size_t c = 0; c < 4; ++c) {
        const int64_t delta = static_cast<int64_t>(b[c]) - static_cast<int64_t>(a[c]);
        const int64_t step =
            sf.Exact ? sf.Times(delta)
                     : RoundHalfEven(static_cast<double>(delta) * static_cast<double>(f));
        out[c] = static_cast<uint8_t>(std::clamp<int64_t>(a[c] + step, 0, 255));
    }
}

// --- End-file blobs
// ---------------------------------------------------------------------------

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

// Sampling is most of an export's work, and a world repeats its units: a key whose blob follows
// from exactly the inputs of a key sampled before (its own numbers and value, and what it reads
// of its list and unit) takes that key's offset and final value instead. ColorLerp reads
// nothing else; keys with another interpolation are always sampled.
int32_t TKeyGM::KeyBlobAdd(TBufQX& scratch, KeyPool& pool) {
    if (Interpolate != ColorLerp || Size_ != 4) {
        KeyBlobBuild(scratch);
        return pool.Add(scratch);
    }
    pool.Sync();
    std::string& in = pool.Inputs_;
    in.clear();
    auto put = [&in](const void* p, std::size_t n) { in.append(static_cast<const char*>(p), n); };
    auto putValue = [&put](const auto& v) { put(&v, sizeof v); };
    putValue(Count_);
    putValue(Rows_);
    putValue(Total);
    put(Value(), 4);
    put(Data_, static_cast<std::size_t>(Count_) * sizeof(int32_t));
    put(RowsData(), static_cast<std::size_t>(Rows_) * static_cast<std::size_t>(Count_) * 4);
    const IKeyUnit* unit = List ? List->Unit : nullptr;
    const int32_t flags = (List ? 1 : 0) | (unit ? 2 : 0);
    putValue(flags);
    if (List) {
        putValue(List->CurrentGroup);
        const int32_t groups = List->GroupCount();
        putValue(groups);
        for (const auto& g : List->Groups) {
            const uint32_t n = static_cast<uint32_t>(g->Name.size());
            putValue(n);
            put(g->Name.data(), g->Name.size() * sizeof(char16_t));
        }
    }
    if (unit) {
        putValue(unit->KeyTimeOffset());
        putValue(unit->KeyTimeLength());
        putValue(unit->KeyUnitType());
    }
    const auto found = pool.Made_.find(in);
    if (found != pool.Made_.end()) {
        std::memcpy(Value(), &found->second.Value, 4);
        return found->second.Offset;
    }
    KeyBlobBuild(scratch);
    const int32_t offset = pool.Add(scratch);
    uint32_t value = 0;
    std::memcpy(&value, Value(), 4);
    pool.Made_.emplace(in, KeyPool::Made{offset, value});
    return offset;
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
        Made_.clear();
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

// --- TKeyGroupList
// ----------------------------------------------------------------------------

TKeyGroupList::TKeyGroupList(IKeyUnit* unit, KeyStore*) : Unit(unit) {}

TKeyGroupList::~TKeyGroupList() {
    // Keys that outlive their list must not keep a dangling reference to it.
    for (TKeyGM* key : Keys_)
        key->List = nullptr;
}

void TKeyGroupList::AttachKey(TKeyGM* key) {
    key->ListSlot_ = static_cast<uint32_t>(Keys_.size());
    Keys_.push_back(key);
}

// The last key takes the leaving key's slot, so that a unit's keys go in constant time each.
void TKeyGroupList::DetachKey(TKeyGM* key) noexcept {
    const std::size_t slot = key->ListSlot_;
    if (slot >= Keys_.size() || Keys_[slot] != key) return;
    Keys_[slot] = Keys_.back();
    Keys_[slot]->ListSlot_ = static_cast<uint32_t>(slot);
    Keys_.pop_back();
}

void TKeyGroupList::Clear() {
    Groups.clear();
    CurrentGroup = 0;
}

TKeyGroup* TKeyGroupList::GroupInsert(int32_t row) {
    if (row < 0 || row > GroupCount()) return nullptr;
    InsertRowAll(row);
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
    for (uint32_t i = 0; i < n; ++i) {
        // A string read past the end comes back empty, so a damaged count would make empty
        // groups without end: a name is at least its terminator.
        buf.TestGet(2);
        TKeyGroup* group = GroupInsert(GroupCount());
        group->Name = buf.GetWideStr();
    }
}

void TKeyGroupList::WriteGroups(TBufQX& buf) const {
    buf.AddDWord(static_cast<uint32_t>(Groups.size()));
    for (const auto& group : Groups)
        buf.AddWideStr(group->Name);
}

// --- KeyStore
// ---------------------------------------------------------------------------------

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
    return Keys_.Append(std::unique_ptr<TKeyGM>(new (KeySlab_) TKeyGM(list, interpolate, size)));
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

// List by list rather than key by key: the keys of a unit out of sight are not touched at all,
// and the unit's clock values are asked for once. Keys are independent of each other, so the
// order in which they are evaluated changes nothing.
void KeyStore::KeyUpdateAll(int32_t animClock) {
    const float time = static_cast<float>(animClock);
    for (const TKeyGroupList* list : Lists_) {
        const IKeyUnit* unit = list->Unit;
        if (!unit || !unit->KeyVisible()) continue;
        // The unit's clock, as every key's Calc would work it out.
        const int64_t t = RoundHalfEven(time + static_cast<float>(unit->KeyTimeOffset()));
        const int64_t length = unit->KeyTimeLength();
        const std::vector<TKeyGM*>& keys = list->Keys();
        const std::size_t n = keys.size();
        // A key's durations, rows and value each live in their own block: ask for them ahead.
        for (std::size_t i = 0; i < n; ++i) {
            if (i + 8 < n) PrefetchQX(keys[i + 8]);
            if (i + 4 < n) {
                const TKeyGM* ahead = keys[i + 4];
                PrefetchQX(&ahead->Duration(0));
                if (list->CurrentGroup >= 0 && list->CurrentGroup < ahead->Rows())
                    PrefetchQX(ahead->ValueAt(list->CurrentGroup, 0));
            }
            TKeyGM* key = keys[i];
            const TKeyCalc c = key->CalcAt(t, length);
            if (key->Interpolate) key->Interpolate(*key, c.Index, c.Next, c.Fraction);
        }
    }
}

} // namespace gm
