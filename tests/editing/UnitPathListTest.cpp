#include "editing/UnitPathList.h"

#include <gtest/gtest.h>

#include "foundation/Codec.h"
#include "foundation/QX_Str.h"
#include "world/WorldDoc.h"

namespace gm {
namespace {

class UnitPathListTest : public ::testing::Test {
protected:
    // Units that only carry a file name: that is all the dialog reads and writes.
    void Units(std::initializer_list<const char16_t*> names) {
        for (const char16_t* n : names)
            Doc.Units.UnitAdd()->DescPath = n;
    }
    std::vector<std::u16string> Names() const {
        std::vector<std::u16string> out;
        for (const TgmWorldUnit* u : Doc.Units.List())
            out.push_back(u->DescPath);
        return out;
    }
    WorldDoc Doc;
    UnitPathList Rows;
};

using Strings = std::vector<std::u16string>;

TEST_F(UnitPathListTest, OneSortedRowPerDistinctNameCaseSensitive) {
    Units({u"tree.txt", u"Tree.txt", u"a\\b.txt", u"tree.txt", u"a.txt", u"B.txt"});
    Rows.Take(Doc.Units);
    EXPECT_EQ(Rows.PathCount(), 5);
    // Code-unit order: upper case before lower case, "." (46) before "\" (92).
    EXPECT_EQ(Rows.OldPaths(),
              (Strings{u"B.txt", u"Tree.txt", u"a.txt", u"a\\b.txt", u"tree.txt"}));
    for (int r = 0; r < Rows.PathCount(); ++r)
        EXPECT_EQ(Rows.NewPath(r), Rows.OldPaths()[static_cast<std::size_t>(r)]);
}

TEST_F(UnitPathListTest, SortAgreesWithAPairwiseExchangeSort) {
    const Strings names = {
        u"zeta", u"Zeta",         u"a",           u"",   u"ab", u"a b",   u"\u00e9t\u00e9",
        u"e",    u"units\\x.txt", u"units/x.txt", u"10", u"9",  u"\u4e16"};
    for (const std::u16string& n : names)
        Doc.Units.UnitAdd()->DescPath = n;
    Rows.Take(Doc.Units);
    Strings expected = names;
    for (std::size_t i = 0; i < expected.size(); ++i)
        for (std::size_t j = i + 1; j < expected.size(); ++j)
            if (CompareQX(expected[i], expected[j]) > 0) std::swap(expected[i], expected[j]);
    EXPECT_EQ(Rows.OldPaths(), expected);
}

TEST_F(UnitPathListTest, OneRowRenamesEveryUnitThatUsedIt) {
    Units({u"old.txt", u"keep.txt", u"old.txt"});
    Rows.Take(Doc.Units);
    Rows.SetNewPath(1, u"New Name.TXT"); // "old.txt" sorts after "keep.txt"; kept as typed
    EXPECT_EQ(Rows.Apply(Doc.Units), 2);
    EXPECT_EQ(Names(), (Strings{u"New Name.TXT", u"keep.txt", u"New Name.TXT"}));
}

TEST_F(UnitPathListTest, ExchangingTwoNamesExchangesThem) {
    Units({u"a.txt", u"b.txt", u"a.txt", u"b.txt"});
    Rows.Take(Doc.Units);
    Rows.SetNewPath(0, u"b.txt");
    Rows.SetNewPath(1, u"a.txt");
    EXPECT_EQ(Rows.Apply(Doc.Units), 4);
    EXPECT_EQ(Names(), (Strings{u"b.txt", u"a.txt", u"b.txt", u"a.txt"}));
}

TEST_F(UnitPathListTest, ChainedRenamesApplyToTheNamesAtOpening) {
    // a -> b and b -> c: the units that were a become b, not c.
    Units({u"a", u"b", u"c"});
    Rows.Take(Doc.Units);
    Rows.SetNewPath(0, u"b");
    Rows.SetNewPath(1, u"c");
    Rows.Apply(Doc.Units);
    EXPECT_EQ(Names(), (Strings{u"b", u"c", u"c"}));
}

TEST_F(UnitPathListTest, EditedBackOrUntouchedRowsChangeNothing) {
    Units({u"a.txt", u"b.txt"});
    Rows.Take(Doc.Units);
    Rows.SetNewPath(0, u"x.txt");
    Rows.SetNewPath(0, u"a.txt");
    EXPECT_EQ(Rows.Apply(Doc.Units), 0);
    EXPECT_EQ(Names(), (Strings{u"a.txt", u"b.txt"}));
}

TEST_F(UnitPathListTest, WithoutUnitsOneEmptyRowThatNeverApplies) {
    Rows.Take(Doc.Units);
    EXPECT_EQ(Rows.PathCount(), 0);
    EXPECT_EQ(Rows.RowCount(), 1);
    EXPECT_EQ(Rows.NewPath(0), u"");
    EXPECT_FALSE(Rows.Find(0, u"c:\\game\\units\\a.txt", u"c:\\game\\units"));
    Rows.SetNewPath(0, u"typed.txt");
    Rows.SetNewPath(3, u"far.txt");
    EXPECT_EQ(Rows.Apply(Doc.Units), 0);
}

TEST_F(UnitPathListTest, FindPutsTheNameRelativeToTheUnitFolder) {
    Units({u"one.txt", u"two.txt"});
    Rows.Take(Doc.Units);
    EXPECT_TRUE(Rows.Find(1, u"C:\\Game\\Units\\Ships\\a.txt", u"c:\\game\\units"));
    EXPECT_EQ(Rows.NewPath(1), u"ships\\a.txt");
    EXPECT_TRUE(Rows.Find(0, u"c:\\other\\b.txt", u"c:\\game\\units"));
    EXPECT_EQ(Rows.NewPath(0), u"..\\..\\other\\b.txt");
    EXPECT_FALSE(Rows.Find(2, u"c:\\game\\units\\c.txt", u"c:\\game\\units"));
}

TEST_F(UnitPathListTest, ClearForgetsTheRows) {
    Units({u"a.txt"});
    Rows.Take(Doc.Units);
    Rows.SetNewPath(0, u"b.txt");
    Rows.Clear();
    EXPECT_EQ(Rows.PathCount(), 0);
    EXPECT_EQ(Rows.Apply(Doc.Units), 0);
    EXPECT_EQ(Names(), (Strings{u"a.txt"}));
}

} // namespace
} // namespace gm
