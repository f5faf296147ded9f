#pragma once
// Colour keys of lines and triangles, a unit's key groups, and the store that owns both lists.
// A key is a run of timed values, one row per key group; evaluating it at the animation clock
// gives the current value (a 32-bit colour for every key of the editor).

#include "foundation/QX_Buf.h"
#include "foundation/QX_List.h"
#include "foundation/QX_Slab.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace gm {

class TBlockParQX;
class TKeyGM;
class TKeyGroupList;
class KeyStore;

// What keys need from the world unit that owns their key group list. The names differ from the
// unit's own fields so that a unit can implement this next to them.
class IKeyUnit {
public:
    virtual ~IKeyUnit() = default;
    virtual int32_t KeyTimeOffset() const = 0; // added to the clock before evaluation
    virtual int32_t KeyTimeLength() const = 0; // period when longer than a key's Total
    virtual int32_t KeyUnitType() const = 0;   // 0 untyped; otherwise changes the blob layout
    virtual bool KeyVisible() const = 0;       // keys of invisible units are not evaluated
    virtual int32_t KeyGroupIndex() const = 0; // current group as stored in the world file
};

// Result of evaluating a key: interpolate from key Index towards key Next by Fraction.
struct TKeyCalc {
    int32_t Index = 0;
    int32_t Next = 0;
    float Fraction = 0.0f;
};

// Computes key.Value from keys i and j of the list's current group at fraction f.
using TKeyInterpolate = void (*)(TKeyGM& key, int32_t i, int32_t j, float f);

// Per-byte linear interpolation of 32-bit colours, rounded half to even and clamped to [0, 255]
// (a negative or >1 fraction extrapolates). Leaves Value alone when the list has no such group.
void ColorLerp(TKeyGM& key, int32_t i, int32_t j, float f);

// The end file's pool of key blobs. Equal blobs are stored once; a hash index finds an equal
// blob without walking the pool. Fill Buf only through Add (or TKeyGM::KeyBlobAdd).
class KeyPool {
public:
    TBufQX Buf;
    // Add fails rather than let the pool grow beyond this many bytes.
    int64_t Limit = 0x7FFFFFFF;

    // Offset of a blob with the same bytes as blob[0, blob.Len), appending it when none exists.
    int32_t Add(const TBufQX& blob);

private:
    friend class TKeyGM;
    void Sync();
    struct Entry {
        int32_t Offset;
        int32_t Len;
    };
    std::unordered_map<std::size_t, std::vector<Entry>> Index_; // blob hash -> blobs, in order
    int32_t Indexed_ = 0;                                       // bytes of Buf covered by Index_
    // Keys whose blob follows from the same inputs get the same blob: the offset it was given
    // and the value sampling left in the key, by the inputs written out (TKeyGM::KeyBlobAdd).
    struct Made {
        int32_t Offset;
        uint32_t Value;
    };
    std::unordered_map<std::string, Made> Made_;
    std::string Inputs_; // scratch
};

// A key's storage is one block (durations, then one row of values per key group) and, for
// values of up to 8 bytes, the evaluated value inside the key itself: a frame evaluates every key
// of every unit in sight and reads back its value, so each key is kept to a few cache lines.
class TKeyGM : public SlabObjectQX {
    // First what a frame reads of every key (its value, through Size_) and evaluates it by, so
    // that reading the value touches a single cache line.
    uint8_t SmallValue_[8] = {};
    int32_t Size_ = 4;
    int32_t Count_ = 1;
    int32_t Rows_ = 0;
    uint32_t ListSlot_ = 0; // index in List's key index

public:
    TKeyGM* Prev = nullptr;
    TKeyGM* Next = nullptr;
    TKeyGroupList* List = nullptr; // null once the list was deleted under the key
    TKeyInterpolate Interpolate = nullptr;
    int64_t Total = 0; // sum of the durations, negative ones counted as 0 (Load sets it)

    // One zero-filled key per group of the list; size < 1 fails with "TKeyGM.Create. size=".
    TKeyGM(TKeyGroupList* list, TKeyInterpolate interpolate, int32_t size);
    ~TKeyGM();
    TKeyGM(const TKeyGM&) = delete;
    TKeyGM& operator=(const TKeyGM&) = delete;

    int32_t Count() const noexcept { return Count_; } // keys, at least 1
    int32_t Size() const noexcept { return Size_; }   // bytes of one value
    // Rows of values: the list's groups when the key was made, and one more per GroupInsert.
    int32_t Rows() const noexcept { return Rows_; }

    // As loaded: text values of 2^31 and more wrap to negative numbers; evaluation reads them as
    // 0. 0 <= i < Count(). SetDuration leaves Total as it was.
    const int32_t& Duration(int32_t i) const noexcept { return Data_[static_cast<std::size_t>(i)]; }
    void SetDuration(int32_t i, int32_t d) noexcept { Data_[static_cast<std::size_t>(i)] = d; }

    // Value bytes of key `index` in row `group`; 0 <= group < Rows(), 0 <= index < Count().
    uint8_t* ValueAt(int32_t group, int32_t index) noexcept {
        return RowsData() + (static_cast<std::size_t>(group) * static_cast<std::size_t>(Count_) +
                             static_cast<std::size_t>(index)) *
                                static_cast<std::size_t>(Size_);
    }
    const uint8_t* ValueAt(int32_t group, int32_t index) const noexcept {
        return const_cast<TKeyGM*>(this)->ValueAt(group, index);
    }
    // The result of the last evaluation, Size() bytes.
    uint8_t* Value() noexcept { return Size_ <= SmallValueSize ? SmallValue_ : BigValue_.get(); }
    const uint8_t* Value() const noexcept {
        return Size_ <= SmallValueSize ? SmallValue_ : BigValue_.get();
    }
    uint32_t ValueColor() const noexcept; // Value as a little-endian 32-bit colour

    // Inserts a copy of entry i (of i - 1 when i == Count) at i; 0 <= i <= Count.
    void KeyInsert(int32_t i);
    // Fails with "TKeyGM.KeyDelete" out of range or on the last key.
    void KeyDelete(int32_t i);

    // Text form: count, durations, then group by group one item of Size hex bytes per key.
    void Load(std::u16string_view text);
    std::u16string Save() const;
    // Save into text, whose storage is reused (writing a world saves every key).
    void SaveTo(std::u16string& text) const;

    TKeyCalc Calc(float time) const;
    void Update(int32_t animClock);
    // Calc with the owning unit's time offset and length given (as the unit reports them).
    TKeyCalc CalcFor(float time, int32_t timeOffset, int64_t timeLength) const;

    // End-file blobs: samples every 20 time units, one run per group for typed units.
    void KeySample(TBufQX& buf);
    void KeyBlobBuild(TBufQX& scratch);
    // The length KeyBlobBuild would give, found without sampling; saturates far above any
    // buffer's reach, so an animation too long to sample can be refused before it is.
    int64_t KeyBlobSize() const;
    int32_t KeyBlobAdd(TBufQX& scratch, KeyPool& pool);

private:
    friend class TKeyGroupList;
    friend class KeyStore;
    static constexpr int32_t SmallValueSize = sizeof(SmallValue_);

    // Calc at the unit's clock t (the clock plus the unit's offset, rounded) and time length.
    TKeyCalc CalcAt(int64_t t, int64_t timeLength) const;

    uint8_t* RowsData() noexcept {
        return reinterpret_cast<uint8_t*>(Data_ + static_cast<std::size_t>(Count_));
    }
    // New storage of count keys and rows rows, entry k and row r taken from entry from(k) and
    // row fromRow(r) of the present storage (-1: zeros).
    template <class FromKey, class FromRow>
    void Relayout(int32_t count, int32_t rows, FromKey fromKey, FromRow fromRow);
    void InsertRow(int32_t at); // for GroupInsert

    // Count_ durations, then Rows_ x Count_ x Size_ bytes: inside the key while they fit (a few
    // keys of a few groups, the usual case; a world holds hundreds of thousands of keys, and a
    // block of their own would cost each an allocation and a cache miss), else on the heap.
    static constexpr std::size_t InlineWords = 16;
    int32_t* Data_ = Inline_;
    std::unique_ptr<int32_t[]> Heap_;
    std::unique_ptr<uint8_t[]> BigValue_; // the value when Size_ > SmallValueSize
    int32_t Inline_[InlineWords] = {};
};

struct TKeyGroup {
    std::u16string Name;
};

class TKeyGroupList {
public:
    TKeyGroupList* Prev = nullptr;
    TKeyGroupList* Next = nullptr;
    int32_t Number = 0; // reference number in the world file, 1-based
    std::vector<std::unique_ptr<TKeyGroup>> Groups;
    int32_t CurrentGroup = 0;
    IKeyUnit* Unit = nullptr;

    // Keys made for a list usually live in a store (KeyStore::KeyCreate); keys that outlive
    // their list lose it (their List becomes null). The store argument is accepted for callers
    // that name it; the list keeps its own index of its keys.
    explicit TKeyGroupList(IKeyUnit* unit, KeyStore* store = nullptr);
    ~TKeyGroupList();
    TKeyGroupList(const TKeyGroupList&) = delete;
    TKeyGroupList& operator=(const TKeyGroupList&) = delete;

    int32_t GroupCount() const noexcept { return static_cast<int32_t>(Groups.size()); }
    void Clear();
    // New group at row (none when row is outside [0, GroupCount]); every key of the list gets a
    // copy of the row that was there (of the previous row when the new one is last).
    TKeyGroup* GroupInsert(int32_t row);
    // Groups from the description's "KeyGroup" block: children named with digits and '-'.
    void LoadDesc(TBlockParQX& desc);
    void ReadGroups(TBufQX& buf);
    void WriteGroups(TBufQX& buf) const;

    // The live keys whose List is this list, in no particular order.
    const std::vector<TKeyGM*>& Keys() const noexcept { return Keys_; }

private:
    friend class TKeyGM;
    void InsertRowAll(int32_t row);
    void AttachKey(TKeyGM* key);
    void DetachKey(TKeyGM* key) noexcept;

    std::vector<TKeyGM*> Keys_;
};

struct KeyDeleter {
    KeyStore* Store = nullptr;
    void operator()(TKeyGM* key) const noexcept;
};
// A key owned by a line or triangle; destroying it removes the key from its store. The store
// must outlive every KeyPtr it made.
using KeyPtr = std::unique_ptr<TKeyGM, KeyDeleter>;

// The key list and the key-group-list list of one world document, in creation order.
class KeyStore {
public:
    KeyStore() = default;
    KeyStore(const KeyStore&) = delete;
    KeyStore& operator=(const KeyStore&) = delete;
    ~KeyStore();

    const ListQX<TKeyGM>& Keys() const noexcept { return Keys_; }
    const ListQX<TKeyGroupList>& Lists() const noexcept { return Lists_; }

    TKeyGM* KeyCreate(TKeyGroupList* list, TKeyInterpolate interpolate = ColorLerp,
                      int32_t size = 4);
    KeyPtr KeyNew(TKeyGroupList* list, TKeyInterpolate interpolate = ColorLerp, int32_t size = 4);
    void KeyDestroy(TKeyGM* key) noexcept;

    TKeyGroupList* KeyGroupListAdd(IKeyUnit* unit);
    void KeyGroupListDeleteUnit(const IKeyUnit* unit);
    TKeyGroupList* KeyGroupListOfUnit(const IKeyUnit* unit) const;
    // First list with that Number. Numbers set directly after a lookup may be missed if an
    // earlier list takes a number a later one still has: call NumbersChanged() after such edits.
    TKeyGroupList* KeyGroupListByNumber(int32_t n);
    void KeyGroupListsNumber(); // Number := 1, 2, 3 ... in list order
    void NumbersChanged() noexcept { ByNumberValid_ = false; }

    // Evaluates every key of this store's lists whose unit is visible (keys of a unit out of
    // sight keep their value).
    void KeyUpdateAll(int32_t animClock);

private:
    void RebuildByNumber();

    ListQX<TKeyGroupList> Lists_;
    SlabQX KeySlab_{sizeof(TKeyGM)}; // outlives the keys
    ListQX<TKeyGM> Keys_;            // declared last: destroyed before the lists they refer to
    std::unordered_map<const IKeyUnit*, std::vector<TKeyGroupList*>> ByUnit_;
    std::unordered_map<int32_t, TKeyGroupList*> ByNumber_;
    bool ByNumberValid_ = false;
};

} // namespace gm
