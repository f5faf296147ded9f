#include "editor/Form_Options.h"
#include "editor/CentreOnDesktop.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QShowEvent>
#include <QString>
#include <QTabWidget>
#include <QVBoxLayout>

namespace gm {

namespace {

QString ToQ(const std::u16string& s) {
    return QString::fromStdU16String(s);
}

std::u16string FromQ(const QLineEdit* edit) {
    return edit->text().toStdU16String();
}

QLineEdit* AddField(QGridLayout* grid, int row, QLabel*& label, const char* labelName,
                    const QString& caption, const char* editName, int width) {
    label = new QLabel(caption);
    label->setObjectName(QString::fromLatin1(labelName));
    auto* edit = new QLineEdit;
    edit->setObjectName(QString::fromLatin1(editName));
    edit->setFixedWidth(width);
    label->setBuddy(edit);
    grid->addWidget(label, row, 0);
    grid->addWidget(edit, row, 1);
    return edit;
}

QWidget* MakePage(const char* name, QGridLayout*& grid) {
    auto* page = new QWidget;
    page->setObjectName(QString::fromLatin1(name));
    grid = new QGridLayout(page);
    grid->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    return page;
}

} // namespace

TFormOptions::TFormOptions(Settings& settings, ISettingsStore& store, QWidget* parent)
    : QDialog(parent), Settings_(settings), Store_(store) {
    setObjectName(QStringLiteral("FormOptions"));
    setWindowTitle(QStringLiteral("Options"));

    QGridLayout* pathGrid = nullptr;
    TabSheet1 = MakePage("TabSheet1", pathGrid);
    EditUnitPath = AddField(pathGrid, 0, Label1, "Label1", QStringLiteral("Relative path:"),
                            "EditUnitPath", 280);
    EditSkyhaulPath = AddField(pathGrid, 1, Label2, "Label2", QStringLiteral("Skyhaul path:"),
                               "EditSkyhaulPath", 280);
    EditStartDir = AddField(pathGrid, 2, Label6, "Label6", QStringLiteral("Start folder:"),
                            "EditStartDir", 280);
    EditStartDir->setToolTip(QStringLiteral(
        "Where bg.jpg and the textures of unit descriptions are looked up. Leave empty to use "
        "the current folder when it holds bg.jpg, else the bundled examples."));
    EditLegacyCodePage = AddField(pathGrid, 3, Label7, "Label7", QStringLiteral("Code page:"),
                                  "EditLegacyCodePage", 120);
    EditLegacyCodePage->setToolTip(QStringLiteral(
        "How descriptions and GMWall.txt saved on Windows are read when their text is not UTF-8, "
        "for example Windows-1252 or Windows-1251. They are written back the same way."));

    QGridLayout* lineGrid = nullptr;
    TabSheet2 = MakePage("TabSheet2", lineGrid);
    EditWLCount =
        AddField(lineGrid, 0, Label3, "Label3", QStringLiteral("Count:"), "EditWLCount", 120);
    EditWLFront =
        AddField(lineGrid, 1, Label4, "Label4", QStringLiteral("Front color:"), "EditWLFront", 120);
    EditWLBack =
        AddField(lineGrid, 2, Label5, "Label5", QStringLiteral("Back color:"), "EditWLBack", 120);

    PageControl1 = new QTabWidget;
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->addTab(TabSheet1, QStringLiteral("Path"));
    PageControl1->addTab(TabSheet2, QStringLiteral("WorldLine"));

    BitBtn1 = new QPushButton(QStringLiteral("OK"));
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton(QStringLiteral("Cancel"));
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    connect(BitBtn1, &QPushButton::clicked, this, &TFormOptions::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(PageControl1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize); // a fixed-size dialog
}

void TFormOptions::FormShow() {
    const OptionsTexts texts = OptionsTextsFrom(Settings_);
    EditUnitPath->setText(ToQ(texts.UnitPath));
    EditSkyhaulPath->setText(ToQ(texts.SkyhaulPath));
    EditWLCount->setText(ToQ(texts.WLCount));
    EditWLFront->setText(ToQ(texts.WLFront));
    EditWLBack->setText(ToQ(texts.WLBack));
    EditStartDir->setText(ToQ(StartDirInUse_));
    EditLegacyCodePage->setText(ToQ(Settings_.LegacyCodePage));
}

void TFormOptions::BitBtn1Click() {
    const std::optional<std::u16string> codePage =
        LegacyCodePageFromText(FromQ(EditLegacyCodePage));
    if (!codePage) {
        // Nothing is taken: the user corrects the name and presses OK again.
        QMessageBox::warning(this, windowTitle(),
                             "Unknown code page: " + EditLegacyCodePage->text().trimmed() +
                                 "; use a name such as Windows-1252 or Windows-1251");
        return;
    }
    Settings_.LegacyCodePage = *codePage;
    Settings_.SaveLegacyCodePage(Store_);
    const OptionsTexts texts{FromQ(EditUnitPath), FromQ(EditSkyhaulPath), FromQ(EditWLCount),
                             FromQ(EditWLFront), FromQ(EditWLBack)};
    OptionsApply(texts, Settings_, Store_);
    const std::optional<std::u16string> startDir =
        StartDirFromText(FromQ(EditStartDir), StartDirInUse_);
    if (startDir) {
        Settings_.StartDir = *startDir;
        Settings_.SaveStartDir(Store_);
    }
    accept();
    if (startDir) emit StartDirChosen();
}

void TFormOptions::done(int result) {
    QDialog::done(result);
    emit WorldLineRebuild();
}

void TFormOptions::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        FormShow();
        CentreOnDesktop(*this);
    }
    QDialog::showEvent(event);
}

} // namespace gm
