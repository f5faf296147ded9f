#include "world/GMKey.h"

#include "KeyTestUnit.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace gm {
namespace {

std::vector<uint32_t> Words(const TBufQX& buf) {
    std::vector<uint32_t> words;
    for (int32_t pos = 0; pos + 4 <= buf.Len; pos += 4)
        words.push_back(buf.GetDWordAt(pos));
    return words;
}

// Three groups named 1, " 2 " and x; in group g key k has colour 0x10 * (g + 1) + k.
const std::u16string kThreeGroups =
    u"2,20,20,10 00 00 00,11 00 00 00,20 00 00 00,21 00 00 00,30 00 00 00,31 00 00 00";

class KeyBlobTest : public ::testing::Test {
protected:
    TKeyGM* MakeKey(test::KeyTestUnit& owner, const std::u16string& text) {
        TKeyGroupList* list = store.KeyGroupListAdd(&owner);
        for (const char16_t* name : {u"1", u" 2 ", u"x"})
            list->GroupInsert(list->GroupCount())->Name = name;
        TKeyGM* key = store.KeyCreate(list);
        key->Load(text);
        return key;
    }

    KeyStore store;
    test::KeyTestUnit unit;
    TBufQX scratch;
};

TEST_F(KeyBlobTest, TypedUnitGetsOneSampleRunPerGroup) {
    unit.Type = 2;
    TKeyGM* key = MakeKey(unit, kThreeGroups);
    key->List->CurrentGroup = 1;
    key->KeyBlobBuild(scratch);
    // Total 40: two samples per group, at 0 (key 0) and 20 (key 1).
    const std::vector<uint32_t> expected = {
        0,  3, 2,    88,          // header, total length 88
        40, 1, 56,   2,    72, 0, // (offset, number) per group; x is not a number
        0,  2, 0x10, 0x11, 0,  2, 0x20, 0x21, 0, 2, 0x30, 0x31,
    };
    EXPECT_EQ(Words(scratch), expected);
    EXPECT_EQ(key->List->CurrentGroup, 1);
}

TEST_F(KeyBlobTest, UntypedUnitGetsOneRunOfTheCurrentGroup) {
    TKeyGM* key = MakeKey(unit, kThreeGroups);
    key->List->CurrentGroup = 1;
    key->KeyBlobBuild(scratch);
    const std::vector<uint32_t> expected = {0, 3, 0, 40, 24, 0, 0, 2, 0x20, 0x21};
    EXPECT_EQ(Words(scratch), expected);
}

TEST_F(KeyBlobTest, SamplesFollowTheUnitsTimeLengthAndOffset) {
    TKeyGM* key = MakeKey(unit, kThreeGroups);
    TBufQX buf;
    unit.Length = 100; // period 100, the first 60 rest on key 0
    key->KeySample(buf);
    EXPECT_EQ(Words(buf), (std::vector<uint32_t>{0, 5, 0x10, 0x10, 0x10, 0x10, 0x11}));

    buf.Clear();
    unit.Length = 0;
    unit.Offset = 20;
    key->KeySample(buf);
    EXPECT_EQ(Words(buf), (std::vector<uint32_t>{0, 2, 0x11, 0x10}));

    buf.Clear();
    unit.Offset = 0;
    key->Load(u"2,5,5,10 00 00 00,11 00 00 00,0 0 0 0,0 0 0 0,0 0 0 0,0 0 0 0");
    key->KeySample(buf); // shorter than one step: one sample
    EXPECT_EQ(Words(buf), (std::vector<uint32_t>{0, 1, 0x10}));
}

TEST_F(KeyBlobTest, EqualBlobsArePooledOnce) {
    test::KeyTestUnit other;
    KeyPool pool;
    TKeyGM* a = MakeKey(unit, kThreeGroups);
    TKeyGM* b = MakeKey(other, kThreeGroups); // another unit, same settings
    TKeyGM* c = MakeKey(unit, u"1,0,01 02 03 04,0 0 0 0,0 0 0 0");
    TKeyGM* d = MakeKey(other, u"1,0,01 02 03 04,0 0 0 0,0 0 0 0");

    EXPECT_EQ(a->KeyBlobAdd(scratch, pool), 0);
    const int32_t aLen = scratch.Len;
    EXPECT_EQ(b->KeyBlobAdd(scratch, pool), 0);
    EXPECT_EQ(c->KeyBlobAdd(scratch, pool), aLen);
    const int32_t cLen = scratch.Len;
    EXPECT_EQ(d->KeyBlobAdd(scratch, pool), aLen);
    EXPECT_EQ(a->KeyBlobAdd(scratch, pool), 0);
    EXPECT_EQ(pool.Buf.Len, aLen + cLen);

    other.Offset = 20; // now b samples differently
    EXPECT_EQ(b->KeyBlobAdd(scratch, pool), aLen + cLen);
    EXPECT_EQ(std::memcmp(pool.Buf.Data + aLen + cLen, scratch.Data, scratch.Len), 0);

    pool.Buf.Clear(); // a pool emptied by hand starts over
    EXPECT_EQ(c->KeyBlobAdd(scratch, pool), 0);
    EXPECT_EQ(pool.Buf.Len, cLen);
}

TEST_F(KeyBlobTest, EqualKeysOfALongAnimationAreSampledOnce) {
    test::KeyTestUnit other;
    unit.Length = other.Length = 20000000; // a million samples a key
    KeyPool pool;
    TKeyGM* a = MakeKey(unit, kThreeGroups);
    EXPECT_EQ(a->KeyBlobAdd(scratch, pool), 0);
    const int32_t aLen = scratch.Len;
    // Equal inputs: the pooled blob is reused without sampling again (scratch stays as it was).
    for (int i = 0; i < 1000; ++i) {
        scratch.Clear();
        EXPECT_EQ(MakeKey(other, kThreeGroups)->KeyBlobAdd(scratch, pool), 0);
        ASSERT_EQ(scratch.Len, 0);
    }
    // Anything that changes the samples makes a new blob.
    other.Offset = 20;
    EXPECT_EQ(MakeKey(other, kThreeGroups)->KeyBlobAdd(scratch, pool), aLen);
    other.Offset = 0;
    other.Type = 1;
    EXPECT_EQ(MakeKey(other, kThreeGroups)->KeyBlobAdd(scratch, pool), 2 * aLen);
    EXPECT_EQ(pool.Buf.Len, 2 * aLen + scratch.Len);
}

// The offset of the first blob equal to `blob`, walking the pool blob by blob; -1 when none.
int32_t LinearFind(const TBufQX& pool, const TBufQX& blob) {
    for (int32_t off = 0; off < pool.Len;) {
        const int32_t len = static_cast<int32_t>(pool.GetDWordAt(off + 12));
        if (len == blob.Len && std::memcmp(pool.Data + off, blob.Data, len) == 0) return off;
        off += len;
    }
    return -1;
}

TEST_F(KeyBlobTest, PoolOffsetsMatchALinearWalk) {
    std::mt19937 rng(7);
    test::KeyTestUnit units[3];
    units[1].Type = 1;
    units[2].Offset = 10;
    KeyPool pool;
    TBufQX copy;
    int reused = 0;
    for (int i = 0; i < 300; ++i) {
        const char16_t* values[] = {u"00 00 00 00", u"ff 00 00 ff", u"01 02 03 04"};
        std::u16string text = u"2,20,";
        text += (rng() % 2) ? u"20" : u"40";
        for (int v = 0; v < 6; ++v) {
            text += u',';
            text += values[rng() % 3];
        }
        TKeyGM* key = MakeKey(units[rng() % 3], text);
        key->KeyBlobBuild(copy);
        const int32_t before = pool.Buf.Len;
        const int32_t expected = LinearFind(pool.Buf, copy);
        const int32_t off = key->KeyBlobAdd(scratch, pool);
        EXPECT_EQ(off, expected >= 0 ? expected : before);
        reused += expected >= 0;
    }
    EXPECT_GT(reused, 100); // the untyped keys repeat often
}

} // namespace
} // namespace gm
