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

// KeyBlobAdd reuses the blob of a key sampled before when every input of the sampling is the
// same. Against keys added by building each blob and adding it to a pool of its own: the same
// offsets, the same pool and the same values left in the keys, for keys that repeat and keys that
// differ from an earlier one in a single input.
TEST(KeyBlobReuseTest, ReusedBlobsAreTheBlobsSamplingWouldGive) {
    struct World {
        KeyStore Store;
        test::KeyTestUnit Units[6];
        std::vector<TKeyGM*> Keys;
        World() {
            Units[1].Offset = 30;
            Units[2].Length = 200;
            Units[3].Type = 1;
            Units[4].Type = 1;
            Units[5].Offset = 30;
            const std::u16string texts[] = {
                u"2,20,40,10 00 00 ff,90 00 00 ff,20 00 00 ff,a0 00 00 ff",
                u"2,20,40,10 00 00 ff,90 00 00 ff,20 00 00 ff,a0 00 00 fe", // one byte
                u"2,20,41,10 00 00 ff,90 00 00 ff,20 00 00 ff,a0 00 00 ff", // one duration
                u"1,20,10 00 00 ff,20 00 00 ff",
            };
            for (int round = 0; round < 3; ++round) {
                for (int u = 0; u < 6; ++u) {
                    for (const std::u16string& text : texts) {
                        TKeyGroupList* list = Store.KeyGroupListAdd(&Units[u]);
                        // Unit 4 differs from unit 3 only in a group's name.
                        list->GroupInsert(0)->Name = u"1";
                        list->GroupInsert(1)->Name = u == 4 ? u"7" : u"2";
                        list->CurrentGroup = round == 2 ? 1 : 0;
                        TKeyGM* key = Store.KeyCreate(list);
                        key->Load(text);
                        if (round == 1) key->Value()[0] = 0x55; // a value left from before
                        Keys.push_back(key);
                    }
                }
            }
            // A stale total (durations edited without Load) is an input too.
            Keys.back()->Total = 999;
            // With no such group the colour is never interpolated: samples repeat the value the
            // key had.
            for (const uint8_t value : {0x11, 0x22, 0x11}) {
                TKeyGroupList* list = Store.KeyGroupListAdd(&Units[0]);
                list->GroupInsert(0);
                list->CurrentGroup = 7;
                TKeyGM* key = Store.KeyCreate(list);
                key->Load(texts[0]);
                key->Value()[1] = value;
                Keys.push_back(key);
            }
        }
    };
    World reused, built;
    KeyPool reusedPool, builtPool;
    TBufQX scratch, blob;
    int shared = 0;
    for (std::size_t i = 0; i < reused.Keys.size(); ++i) {
        SCOPED_TRACE(i);
        const int32_t before = reusedPool.Buf.Len;
        const int32_t off = reused.Keys[i]->KeyBlobAdd(scratch, reusedPool);
        built.Keys[i]->KeyBlobBuild(blob);
        EXPECT_EQ(off, builtPool.Add(blob));
        EXPECT_EQ(reused.Keys[i]->ValueColor(), built.Keys[i]->ValueColor());
        shared += reusedPool.Buf.Len == before;
    }
    ASSERT_EQ(reusedPool.Buf.Len, builtPool.Buf.Len);
    EXPECT_EQ(std::memcmp(reusedPool.Buf.Data, builtPool.Buf.Data, std::size_t(builtPool.Buf.Len)),
              0);
    EXPECT_GT(shared, 20);
}

} // namespace
} // namespace gm
