#include "platform/QSettingsStore.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace gm {
namespace {

class QSettingsStoreTest : public test::TempDirTest {
protected:
    QString Ini(const std::string& text = {}) {
        const std::string path = text.empty() ? Dir.File("s.conf") : Dir.Write("s.conf", text);
        return QString::fromStdString(path);
    }
};

TEST_F(QSettingsStoreTest, MissingFileOrValueReadsAsAbsent) {
    const QSettingsStore store(Ini());
    EXPECT_EQ(store.ReadInt("WLCount"), std::nullopt);
    EXPECT_EQ(store.ReadStr("UnitPath"), std::nullopt);
}

TEST_F(QSettingsStoreTest, WritesReachTheFileAtOnce) {
    const QString file = Ini();
    QSettingsStore writer(file);
    writer.WriteStr("UnitPath", u"c:\\Game\\\u00dcnits");
    writer.WriteStr("SkyhaulPath", u"@odd, name");
    writer.WriteInt("WLCount", 40);
    writer.WriteInt("WLFront", 0xC0FFFFFF);
    writer.WriteInt("WLBack", 0);

    // A second store on the same file sees the values while the writer is still alive.
    const QSettingsStore reader(file);
    EXPECT_EQ(reader.ReadStr("UnitPath"), u"c:\\Game\\\u00dcnits");
    EXPECT_EQ(reader.ReadStr("SkyhaulPath"), u"@odd, name");
    EXPECT_EQ(reader.ReadInt("WLCount"), 40u);
    EXPECT_EQ(reader.ReadInt("WLFront"), 0xC0FFFFFFu);
    EXPECT_EQ(reader.ReadInt("WLBack"), 0u);
}

TEST_F(QSettingsStoreTest, IniNumbersMustBeWholeIntegers) {
    const QSettingsStore store(Ini("[General]\n"
                                   "a=40\n"
                                   "b=-5\n"
                                   "c=40x\n"
                                   "d=\n"
                                   "e=4294967295\n"
                                   "f=4294967296\n"
                                   "g=-2147483649\n"
                                   "h=1,2\n"
                                   "i=0x10\n"));
    EXPECT_EQ(store.ReadInt("a"), 40u);
    EXPECT_EQ(store.ReadInt("b"), 0xFFFFFFFBu);
    EXPECT_EQ(store.ReadInt("c"), std::nullopt);
    EXPECT_EQ(store.ReadInt("d"), std::nullopt);
    EXPECT_EQ(store.ReadInt("e"), 0xFFFFFFFFu);
    EXPECT_EQ(store.ReadInt("f"), std::nullopt);
    EXPECT_EQ(store.ReadInt("g"), std::nullopt);
    EXPECT_EQ(store.ReadInt("h"), std::nullopt);
    EXPECT_EQ(store.ReadInt("i"), std::nullopt);
}

TEST_F(QSettingsStoreTest, IniStringsAreSingleTextValues) {
    const QSettingsStore store(Ini("[General]\n"
                                   "a=/srv/units\n"
                                   "b=123\n"
                                   "c=a,b\n"
                                   "d=\"a,b\"\n"));
    EXPECT_EQ(store.ReadStr("a"), u"/srv/units");
    EXPECT_EQ(store.ReadStr("b"), u"123");
    EXPECT_EQ(store.ReadStr("c"), std::nullopt); // read as a list
    EXPECT_EQ(store.ReadStr("d"), u"a,b");
}

TEST_F(QSettingsStoreTest, LoadsSettingsThroughTheStore) {
    const QSettingsStore store(Ini("[General]\n"
                                   "UnitPath=/srv/units\n"
                                   "WLCount=-1\n"
                                   "WLFront=oops\n"
                                   "WLBack=16777216\n"));
    Settings s;
    s.Load(store, SettingsDefaults::Bundled(u"/opt/gm"));
    EXPECT_EQ(s.UnitPath, u"/srv/units");
    EXPECT_EQ(s.SkyhaulPath, u"/opt/gm/examples/game");
    EXPECT_EQ(s.WLCount, 8);
    EXPECT_EQ(s.WLFront, 0xC0FFFFFFu);
    EXPECT_EQ(s.WLBack, 0x01000000u);
}

#ifndef _WIN32
TEST(QSettingsStoreUser, KeepsTheUsersSettingsUnderTheMakersFolder) {
    const QSettingsStore store; // only asks for the file name: nothing is read or written
    EXPECT_TRUE(store.FileName().endsWith("/kwr/SkyhaulGridmoor.conf"))
        << store.FileName().toStdString();
}
#endif

} // namespace
} // namespace gm
