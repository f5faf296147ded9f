#include "world/GMKey.h"

#include "foundation/QX_BlockPar.h"

#include "KeyTestUnit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace gm {
namespace {

using test::ErrorOf;

TEST(KeyGroupListTest, GroupInsertGivesEveryKeyOfTheListARow) {
    KeyStore store;
    test::KeyTestUnit unit, other;
    TKeyGroupList* list = store.KeyGroupListAdd(&unit);
    TKeyGroupList* otherList = store.KeyGroupListAdd(&other);
    list->GroupInsert(0);
    list->GroupInsert(1);
    otherList->GroupInsert(0);
    TKeyGM* key = store.KeyCreate(list);
    key->Load(u"1,0,01 01 01 01,02 02 02 02");
    TKeyGM* untouched = store.KeyCreate(otherList);

    ASSERT_NE(list->GroupInsert(1), nullptr); // copy of the row that was at 1
    EXPECT_EQ(key->Save(), u"1,0,01 01 01 01,02 02 02 02,02 02 02 02");
    ASSERT_NE(list->GroupInsert(3), nullptr); // new last row: copy of the one before
    ASSERT_NE(list->GroupInsert(0), nullptr);
    EXPECT_EQ(key->Save(), u"1,0,01 01 01 01,01 01 01 01,02 02 02 02,02 02 02 02,02 02 02 02");
    EXPECT_EQ(list->GroupInsert(-1), nullptr);
    EXPECT_EQ(list->GroupInsert(6), nullptr);
    EXPECT_EQ(list->GroupCount(), 5);
    EXPECT_EQ(untouched->Rows(), 1);
}

TEST(KeyGroupListTest, WriteGroupsAndReadGroupsRoundTrip) {
    test::KeyTestUnit unit;
    unit.Group = 1;
    TKeyGroupList written(&unit);
    written.GroupInsert(0)->Name = u"ab";
    written.GroupInsert(1);
    TBufQX buf;
    written.WriteGroups(buf);
    const std::vector<uint8_t> expected = {2, 0, 0, 0, 'a', 0, 'b', 0, 0, 0, 0, 0};
    EXPECT_EQ(std::vector<uint8_t>(buf.Data, buf.Data + buf.Len), expected);

    TKeyGroupList read(&unit);
    buf.PointerSet(0);
    read.ReadGroups(buf);
    ASSERT_EQ(read.GroupCount(), 2);
    EXPECT_EQ(read.Groups[0]->Name, u"ab");
    EXPECT_EQ(read.Groups[1]->Name, u"");
    EXPECT_EQ(read.CurrentGroup, 1);
    EXPECT_TRUE(buf.IsEnd());
}

TEST(KeyGroupListTest, ReadGroupsStopsAtTheFirstNameThatDoesNotFit) {
    // Names read past the end would come back empty: the loop must stop there, not run on.
    TBufQX buf;
    buf.AddDWord(1000000);
    buf.AddWideStr(u"a");
    buf.PointerSet(0);
    TKeyGroupList list(nullptr);
    EXPECT_EQ(ErrorOf([&] { list.ReadGroups(buf); }), "TBufQX.TestGet. len=2");
    EXPECT_EQ(list.GroupCount(), 1);
}

TEST(KeyGroupListTest, LoadDescTakesNumberedGroupBlocks) {
    TBlockParQX desc;
    TBlockParQX* groups = desc.Block_Add(u"KeyGroup");
    groups->Block_Add(u"1")->Par_Add(u"Name", u"red");
    groups->Block_Add(u"x")->Par_Add(u"Name", u"skipped");
    groups->Par_Add(u"Name", u"not a group");
    groups->Block_Add(u"2-3");
    groups->Block_Add(u"");
    groups->Block_Add(u"4")->Par_Add(u"Name", u" spaced");

    TKeyGroupList list(nullptr);
    list.GroupInsert(0)->Name = u"old";
    list.CurrentGroup = 2;
    list.LoadDesc(desc);
    ASSERT_EQ(list.GroupCount(), 3);
    EXPECT_EQ(list.Groups[0]->Name, u"red");
    EXPECT_EQ(list.Groups[1]->Name, u"");
    EXPECT_EQ(list.Groups[2]->Name, u" spaced");
    EXPECT_EQ(list.CurrentGroup, 0);

    TBlockParQX empty;
    EXPECT_EQ(ErrorOf([&] { list.LoadDesc(empty); }), "TBlockParQX.Block_Get. name=KeyGroup");
}

TEST(KeyStoreTest, ListsAreFoundByUnitAndDeletedWithIt) {
    KeyStore store;
    test::KeyTestUnit a, b;
    TKeyGroupList* a1 = store.KeyGroupListAdd(&a);
    TKeyGroupList* b1 = store.KeyGroupListAdd(&b);
    store.KeyGroupListAdd(&a);
    EXPECT_EQ(store.KeyGroupListOfUnit(&a), a1);
    EXPECT_EQ(store.KeyGroupListOfUnit(&b), b1);

    store.KeyGroupListDeleteUnit(&a);
    EXPECT_EQ(store.KeyGroupListOfUnit(&a), nullptr);
    ASSERT_EQ(store.Lists().Size(), 1u);
    EXPECT_EQ(store.Lists().First(), b1);
    store.KeyGroupListDeleteUnit(&a); // nothing left: no effect
    EXPECT_EQ(store.Lists().Size(), 1u);
}

TEST(KeyStoreTest, ListsAreFoundByNumber) {
    KeyStore store;
    test::KeyTestUnit a, b, c;
    TKeyGroupList* la = store.KeyGroupListAdd(&a);
    TKeyGroupList* lb = store.KeyGroupListAdd(&b);
    store.KeyGroupListsNumber();
    EXPECT_EQ(store.KeyGroupListByNumber(1), la);
    EXPECT_EQ(store.KeyGroupListByNumber(2), lb);
    EXPECT_EQ(store.KeyGroupListByNumber(0), nullptr);
    EXPECT_EQ(store.KeyGroupListByNumber(3), nullptr);

    // A reader numbers each list as it adds it.
    TKeyGroupList* lc = store.KeyGroupListAdd(&c);
    lc->Number = 3;
    EXPECT_EQ(store.KeyGroupListByNumber(3), lc);
    lb->Number = 7; // changed after a lookup
    EXPECT_EQ(store.KeyGroupListByNumber(7), lb);
    EXPECT_EQ(store.KeyGroupListByNumber(2), nullptr);
    lc->Number = 1; // a duplicate: the first list wins
    EXPECT_EQ(store.KeyGroupListByNumber(1), la);

    store.KeyGroupListDeleteUnit(&a);
    EXPECT_EQ(store.KeyGroupListByNumber(1), lc);
}

TEST(KeyStoreTest, KeysOutlivingTheirListAreDetached) {
    KeyStore store;
    test::KeyTestUnit unit;
    TKeyGroupList* list = store.KeyGroupListAdd(&unit);
    list->GroupInsert(0);
    TKeyGM* key = store.KeyCreate(list);
    key->Load(u"2,10,10,01 01 01 01,02 02 02 02");
    store.KeyGroupListDeleteUnit(&unit);
    EXPECT_EQ(key->List, nullptr);
    store.KeyUpdateAll(5); // skips it
    EXPECT_EQ(key->Calc(5).Index, 0);
    key->Update(15);
    EXPECT_EQ(key->ValueColor(), 0u);
}

TEST(KeyStoreTest, KeyUpdateAllEvaluatesKeysOfVisibleUnitsOnly) {
    KeyStore store;
    test::KeyTestUnit shown, hidden;
    hidden.Shown = false;
    std::vector<TKeyGM*> keys;
    for (test::KeyTestUnit* u : {&shown, &hidden}) {
        TKeyGroupList* list = store.KeyGroupListAdd(u);
        list->GroupInsert(0);
        KeyPtr owned = store.KeyNew(list);
        owned->Load(u"2,100,50,00 00 ff ff,00 ff 00 ff");
        keys.push_back(owned.release());
    }
    store.KeyUpdateAll(100);
    EXPECT_EQ(keys[0]->ValueColor(), 0xFF00FF00u);
    EXPECT_EQ(keys[1]->ValueColor(), 0u);
}

TEST(KeyStoreTest, OwnedKeysLeaveTheStoreWithTheirOwner) {
    KeyStore store;
    test::KeyTestUnit unit;
    TKeyGroupList* list = store.KeyGroupListAdd(&unit);
    {
        KeyPtr a = store.KeyNew(list);
        KeyPtr b = store.KeyNew(list);
        EXPECT_EQ(store.Keys().Size(), 2u);
        EXPECT_EQ(store.Keys().First(), a.get());
    }
    EXPECT_TRUE(store.Keys().Empty());
}

} // namespace
} // namespace gm
