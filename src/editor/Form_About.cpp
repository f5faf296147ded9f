#include "editor/Form_About.h"
#include "editor/CentreOnDesktop.h"

#include <QLabel>
#include <QPushButton>
#include <QShowEvent>

#include "foundation/QX_Str.h"
#include "world/WorldDoc.h"

namespace gm {

namespace {

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, int x, int y) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->move(x, y);
    return label;
}

} // namespace

TFormAbout::TFormAbout(QWidget* parent) : QDialog(parent) {
    setObjectName("FormAbout");
    setWindowTitle("About Gridmoor");
    setFixedSize(316, 154);

    QFont title = font();
    title.setBold(true);
    title.setPixelSize(16);
    const QString caption = QStringLiteral("Gridmoor for game Skyhaul");
    // The shadow first, so that the main copy lies on top of it.
    Label2 = MakeLabel(this, "Label2", caption, 17, 13);
    Label1 = MakeLabel(this, "Label1", caption, 16, 12);
    for (QLabel* label : {Label2, Label1}) {
        label->setFont(title);
        label->setAttribute(Qt::WA_TranslucentBackground);
        label->adjustSize();
    }
    QPalette shadow = Label2->palette();
    shadow.setColor(QPalette::WindowText, palette().color(QPalette::Dark));
    Label2->setPalette(shadow);
    QPalette main = Label1->palette();
    main.setColor(QPalette::WindowText, palette().color(QPalette::WindowText));
    Label1->setPalette(main);

    Label3 = MakeLabel(this, "Label3", "Version:", 16, 48);
    Label3->adjustSize();
    Label4 = MakeLabel(this, "Label4", QString(), 16 + Label3->width() + 6, 48);
    Label5 = MakeLabel(this, "Label5", "An editor for the battle worlds of Skyhaul.", 16, 76);
    Label6 = MakeLabel(this, "Label6", "Worlds you make with it are yours.", 16, 94);
    Label5->adjustSize();
    Label6->adjustSize();

    BitBtn1 = new QPushButton("OK", this);
    BitBtn1->setObjectName("BitBtn1");
    BitBtn1->setDefault(true);
    BitBtn1->setGeometry(232, 120, 73, 25);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
}

void TFormAbout::FormShow() {
    Label4->setText(QString::fromStdU16String(u"0." + IntToWideQX(WorldDoc::WorldVersion)));
    Label4->adjustSize();
}

void TFormAbout::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        FormShow();
        CentreOnDesktop(*this);
    }
    QDialog::showEvent(event);
}

} // namespace gm
