#pragma once
// Colour keys of lines and triangles, a unit's key groups, and the store that owns both lists.
// A key is a run of timed values, one row per key group; evaluating it at the animation clock
// gives the current value (a 32-bit colour for every key of the editor).

#include "foundation/QX_Buf.h"
#include "foundation/QX_List.h"

#include <cstdint>
#include <memory>
#include <string>
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

    // Offsets of blobs by what was sampled to make them (see TKeyGM::KeyBlobAdd): null when no
    // blob of those inputs is in the pool.
    const int32_t* FindSampled(const std::string& inputs);
    void RememberSampled(std::string inputs, int32_t offset);

private:
    void Sync();
    struct Entry {
        int32_t Offset;
        int32_t Len;
    };
    std::unordered_map<std::size_t, std::vector<Entry>> Index_; // blob hash -> blobs, in order
    int32_t Indexed_ = 0;                                       // bytes of Buf covered by Index_
    std::unordered_map<std::string, int32_t> Sampled_;
};

class TKeyGM {
public:
    TKeyGM* Prev = nullptr;
    TKeyGM* Next = nullptr;
    TKeyGroupList* List = nullptr; // null once the list was deleted under the key
    int32_t Count = 1;
    int32_t Size = 4;
    std::vector<std::vector<uint8_t>> Values; // [group][key * Size + byte]
    // As loaded: text values of 2^31 and more wrap to negative numbers; evaluation reads them as 0.
    std::vector<int32_t> Durations;
    std::vector<uint8_t> Value; // result of the last evaluation, Size bytes
    TKeyInterpolate Interpolate = nullptr;
    int64_t Total = 0; // sum of Durations, negative ones counted as 0

    // One zero-filled key per group of the list; size < 1 fails with "TKeyGM.Create. size=".
    TKeyGM(TKeyGroupList* list, TKeyInterpolate interpolate, int32_t size);
    ~TKeyGM();
    TKeyGM(const TKeyGM&) = delete;
    TKeyGM& operator=(const TKeyGM&) = delete;

    uint8_t* ValueAt(int32_t group, int32_t index) {
        return Values[static_cast<std::size_t>(group)].data() +
               static_cast<std::size_t>(index) * static_cast<std::size_t>(Size);
    }
    const uint8_t* ValueAt(int32_t group, int32_t index) const {
        return Values[static_cast<std::size_t>(group)].data() +
               static_cast<std::size_t>(index) * static_cast<std::size_t>(Size);
    }
    uint32_t ValueColor() const; // Value as a little-endian 32-bit colour

    // Inserts a copy of entry i (of i - 1 when i == Count) at i; 0 <= i <= Count.
    void KeyInsert(int32_t i);
    // Fails with "TKeyGM.KeyDelete" out of range or on the last key.
    void KeyDelete(int32_t i);

    // Text form: count, durations, then group by group one item of Size hex bytes per key.
    void Load(const std::u16string& text);
    std::u16string Save() const;

    TKeyCalc Calc(float time) const;
    void Update(int32_t animClock);

    // End-file blobs: samples every 20 time units, one run per group for typed units.
    void KeySample(TBufQX& buf);
    void KeyBlobBuild(TBufQX& scratch);
    // The length KeyBlobBuild would give, found without sampling; saturates far above any
    // buffer's reach, so an animation too long to sample can be refused before it is.
    int64_t KeyBlobSize() const;
    // The pool offset of the key's blob. A key whose sampling inputs equal those of a key added
    // before is not sampled again (scratch then keeps what it held): many equal keys of a long
    // animation cost one sampling, not one each.
    int32_t KeyBlobAdd(TBufQX& scratch, KeyPool& pool);

private:
    // Everything KeyBlobBuild reads, as bytes; empty when the blob cannot be told from them.
    std::string SampleInputs() const;
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

    // Keys of a list created with a store live in that store; GroupInsert reaches them there.
    // Without a store, the keys made on the list must die before it.
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

private:
    friend class TKeyGM;
    friend class KeyStore;
    KeyStore* Store_ = nullptr;
    int32_t KeyCount_ = 0; // live keys whose List is this list
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

    void KeyUpdateAll(int32_t animClock);

private:
    friend class TKeyGroupList;
    void DetachKeys(TKeyGroupList* list) noexcept;
    void RebuildByNumber();

    ListQX<TKeyGroupList> Lists_;
    ListQX<TKeyGM> Keys_; // declared last: destroyed before the lists they refer to
    std::unordered_map<const IKeyUnit*, std::vector<TKeyGroupList*>> ByUnit_;
    std::unordered_map<int32_t, TKeyGroupList*> ByNumber_;
    bool ByNumberValid_ = false;
};

} // namespace gm
