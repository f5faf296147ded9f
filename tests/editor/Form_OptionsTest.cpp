#include "editor/Form_Options.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

namespace gm {
namespace {

class FormOptionsTest : public ::testing::Test {
protected:
    FormOptionsTest() {
        Values.UnitPath = u"/srv/Units";
        Values.SkyhaulPath = u"c:\\Skyhaul";
        Values.WLCount = 48;
        Values.WLFront = 0xC0FFFFFF;
        Values.WLBack = 0x00FFFFFF;
    }

    template <class T> T* Child(const char* name) {
        T* w = Form.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }

    void Type(QLineEdit* edit, const QString& text) {
        edit->clear();
        QTest::keyClicks(edit, text);
    }

    Settings Values;
    MemorySettingsStore Store;
    TFormOptions Form{Values, Store};
};

TEST_F(FormOptionsTest, ControlsAreNamedAndCaptioned) {
    EXPECT_EQ(Form.windowTitle(), "Options");
    auto* pages = Child<QTabWidget>("PageControl1");
    ASSERT_NE(pages, nullptr);
    ASSERT_EQ(pages->count(), 2);
    EXPECT_EQ(pages->tabText(0), "Path");
    EXPECT_EQ(pages->tabText(1), "WorldLine");
    EXPECT_EQ(pages->widget(0), Child<QWidget>("TabSheet1"));
    EXPECT_EQ(pages->widget(1), Child<QWidget>("TabSheet2"));

    const struct {
        const char* edit;
        QString label;
        QWidget* page;
    } fields[] = {{"EditUnitPath", "Relative path:", Form.TabSheet1},
                  {"EditSkyhaulPath", "Skyhaul path:", Form.TabSheet1},
                  {"EditWLCount", "Count:", Form.TabSheet2},
                  {"EditWLFront", "Front color:", Form.TabSheet2},
                  {"EditWLBack", "Back color:", Form.TabSheet2}};
    for (const auto& f : fields) {
        auto* edit = Child<QLineEdit>(f.edit);
        ASSERT_NE(edit, nullptr);
        EXPECT_TRUE(f.page->isAncestorOf(edit)) << f.edit;
        bool labelled = false;
        for (const QLabel* label : Form.findChildren<QLabel*>())
            labelled = labelled || (label->buddy() == edit && label->text() == f.label);
        EXPECT_TRUE(labelled) << f.edit;
    }
    EXPECT_EQ(Child<QPushButton>("BitBtn1")->text(), "OK");
    EXPECT_EQ(Child<QPushButton>("BitBtn2")->text(), "Cancel");
}

TEST_F(FormOptionsTest, ShowingFillsTheFieldsFromTheSettings) {
    Form.show();
    EXPECT_EQ(Form.EditUnitPath->text(), "/srv/Units");
    EXPECT_EQ(Form.EditSkyhaulPath->text(), "c:\\Skyhaul");
    EXPECT_EQ(Form.EditWLCount->text(), "48");
    EXPECT_EQ(Form.EditWLFront->text(), "192,255,255,255");
    EXPECT_EQ(Form.EditWLBack->text(), "0,255,255,255");
    Form.reject();
    EXPECT_EQ(Store.WriteCount(), 0);
}

TEST_F(FormOptionsTest, OkStoresTheFieldsAtOnce) {
    QSignalSpy rebuild(&Form, &TFormOptions::WorldLineRebuild);
    Form.show();
    Type(Form.EditUnitPath, " /data/Units/ ");
    Type(Form.EditWLCount, "3");
    Type(Form.EditWLFront, "255,0,0"); // too few fields: unchanged
    Type(Form.EditWLBack, "300,0,0,0");
    QTest::mouseClick(Form.BitBtn1, Qt::LeftButton);

    EXPECT_FALSE(Form.isVisible());
    EXPECT_EQ(Form.result(), QDialog::Accepted);
    EXPECT_EQ(rebuild.count(), 1);
    const std::u16string unitPath = OptionsFoldPathCase() ? u"/data/units" : u"/data/Units";
    EXPECT_EQ(Values.UnitPath, unitPath);
    EXPECT_EQ(Values.WLCount, 8);
    EXPECT_EQ(Values.WLFront, 0xC0FFFFFFu);
    EXPECT_EQ(Values.WLBack, 0x2C000000u);
    EXPECT_EQ(Store.ReadStr("UnitPath"), unitPath);
    EXPECT_EQ(Store.ReadStr("SkyhaulPath"),
              OptionsFoldPathCase() ? u"c:\\skyhaul" : u"c:\\Skyhaul");
    EXPECT_EQ(Store.ReadInt("WLCount"), 8u);
    EXPECT_EQ(Store.ReadInt("WLFront"), std::nullopt);
    EXPECT_EQ(Store.ReadInt("WLBack"), 0x2C000000u);
}

TEST_F(FormOptionsTest, CancelKeepsEverythingAndShowingAgainDiscardsTheEdits) {
    QSignalSpy rebuild(&Form, &TFormOptions::WorldLineRebuild);
    Form.show();
    Type(Form.EditUnitPath, "/elsewhere");
    Type(Form.EditWLCount, "100");
    QTest::mouseClick(Form.BitBtn2, Qt::LeftButton);

    EXPECT_FALSE(Form.isVisible());
    EXPECT_EQ(Form.result(), QDialog::Rejected);
    EXPECT_EQ(rebuild.count(), 1); // the grid is rebuilt after Cancel too
    EXPECT_EQ(Values.UnitPath, u"/srv/Units");
    EXPECT_EQ(Values.WLCount, 48);
    EXPECT_EQ(Store.WriteCount(), 0);

    Form.show();
    EXPECT_EQ(Form.EditUnitPath->text(), "/srv/Units");
    EXPECT_EQ(Form.EditWLCount->text(), "48");
    QTest::keyClick(&Form, Qt::Key_Escape);
    EXPECT_FALSE(Form.isVisible());
    EXPECT_EQ(rebuild.count(), 2);
    EXPECT_EQ(Store.WriteCount(), 0);
}

TEST_F(FormOptionsTest, EnterAcceptsLikeOk) {
    Form.show();
    Type(Form.EditWLCount, "40x");
    QTest::keyClick(Form.EditWLCount, Qt::Key_Return);
    EXPECT_EQ(Form.result(), QDialog::Accepted);
    EXPECT_EQ(Values.WLCount, 40);
    EXPECT_EQ(Store.ReadInt("WLCount"), 40u);
}

} // namespace
} // namespace gm
