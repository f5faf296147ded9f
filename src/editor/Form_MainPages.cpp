// The window's layout and the property pages of TFormMain: "Main", "Unit", "Zone", "ZoneLink".
// Edit boxes store every keystroke at once (textChanged, which also runs when PanelRefresh writes
// a different text); list boxes store only what the user picks (activated).

#include "editor/Form_Main.h"
#include "editor/OutlinerDock.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <memory>
#include <vector>

#include "editing/FrameRender.h"
#include "editing/PropertyPages.h"
#include "editing/UndoStack.h"
#include "editor/OutlinerDock.h"
#include "platform/Panel3DWidget.h"
#include "render/Scene.h"

namespace gm {

namespace {

QString ToQ(const std::u16string& s) {
    return QString::fromStdU16String(s);
}

std::u16string FromQ(const QString& s) {
    return s.toStdU16String();
}

// Page controls take the focus only when clicked, so that keys go to the 3D panel at start.
template <class W> W* Control(QWidget* page, const char* name) {
    auto* w = new W(page);
    w->setObjectName(QString::fromLatin1(name));
    w->setFocusPolicy(Qt::ClickFocus);
    return w;
}

QComboBox* ListBox(QWidget* page, const char* name, const QStringList& items) {
    auto* box = Control<QComboBox>(page, name);
    box->addItems(items);
    return box;
}

// A page whose rows are label above control, top-aligned.
QVBoxLayout* PageLayout(QWidget* page) {
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(2);
    return layout;
}

void AddRow(QVBoxLayout* layout, QWidget* page, const char* label, QWidget* control) {
    auto* caption = new QLabel(QString::fromLatin1(label), page);
    caption->setBuddy(control);
    layout->addWidget(caption);
    layout->addWidget(control);
}

void SetTextIfDifferent(QLineEdit* edit, const std::u16string& text) {
    const QString q = ToQ(text);
    if (edit->text() != q) edit->setText(q); // runs the change handler, as typing would
}

} // namespace

void TFormMain::BuildPanels() {
    auto* central = new QWidget(this);
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    auto* top = new QHBoxLayout;
    top->setSpacing(0);
    auto* panel3 = new QWidget(central);
    panel3->setObjectName("Panel3");
    panel3->setAutoFillBackground(true);
    QPalette grey = panel3->palette();
    grey.setColor(QPalette::Window, QColor(128, 128, 128));
    panel3->setPalette(grey);
    auto* panel3Layout = new QVBoxLayout(panel3);
    panel3Layout->setContentsMargins(0, 0, 0, 0);
    Panel3D = new Panel3DWidget(panel3);
    Panel3D->setObjectName("Panel3D");
    // The panel takes whatever the pages leave; the camera follows its size (panelResized).
    panel3Layout->addWidget(Panel3D);
    top->addWidget(panel3, 1);

    auto* panel1 = new QWidget(central);
    panel1->setObjectName("Panel1");
    panel1->setFixedWidth(178);
    auto* panel1Layout = new QVBoxLayout(panel1);
    panel1Layout->setContentsMargins(2, 2, 2, 2);
    NotebookAction = new QStackedWidget(panel1);
    NotebookAction->setObjectName("NotebookAction");
    NotebookAction->addWidget(BuildMainPage());
    NotebookAction->addWidget(BuildUnitPage());
    NotebookAction->addWidget(BuildZonePage());
    NotebookAction->addWidget(BuildZoneLinkPage());
    // The pages scroll rather than keep a short window from shrinking the panel.
    auto* pages = new QScrollArea(panel1);
    pages->setObjectName("PagesScroll");
    pages->setFrameShape(QFrame::NoFrame);
    pages->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    pages->setWidgetResizable(true);
    pages->setWidget(NotebookAction);
    panel1Layout->addWidget(pages);
    top->addWidget(panel1);
    outer->addLayout(top, 1);

    auto* panel2 = new QWidget(central);
    panel2->setObjectName("Panel2");
    panel2->setFixedHeight(26);
    auto* bar = new QHBoxLayout(panel2);
    bar->setContentsMargins(6, 2, 6, 2);
    bar->addWidget(new QLabel("FPS:", panel2));
    LabelFPS = new QLabel("0", panel2);
    LabelFPS->setObjectName("LabelFPS");
    LabelFPS->setMinimumWidth(40);
    bar->addWidget(LabelFPS);
    bar->addWidget(new QLabel("Coord:", panel2));
    LabelCoord = new QLabel(panel2);
    LabelCoord->setObjectName("LabelCoord");
    bar->addWidget(LabelCoord, 1);
    LabelStatus = new QLabel(panel2);
    LabelStatus->setObjectName("LabelStatus");
    bar->addWidget(LabelStatus);
    outer->addWidget(panel2);

    setCentralWidget(central);
    ConnectPages();
}

QWidget* TFormMain::BuildMainPage() {
    auto* page = new QWidget(NotebookAction);
    page->setObjectName("Main");
    QVBoxLayout* layout = PageLayout(page);
    EditMainWorldRadius = Control<QLineEdit>(page, "EditMainWorldRadius");
    AddRow(layout, page, "World radius:", EditMainWorldRadius);
    Button1 = Control<QPushButton>(page, "Button1");
    Button1->setText("Correct point");
    layout->addSpacing(8);
    layout->addWidget(Button1);
    layout->addStretch(1);
    return page;
}

QWidget* TFormMain::BuildUnitPage() {
    auto* page = new QWidget(NotebookAction);
    page->setObjectName("Unit");
    QVBoxLayout* layout = PageLayout(page);
    // Which description the unit was loaded from: copies look alike in the panel.
    LabelUnitDesc = new QLabel(page);
    LabelUnitDesc->setObjectName("LabelUnitDesc");
    LabelUnitDesc->setWordWrap(true);
    LabelUnitDesc->setTextInteractionFlags(Qt::TextSelectableByMouse);
    AddRow(layout, page, "Description:", LabelUnitDesc);
    ComboBoxUnitType = ListBox(page, "ComboBoxUnitType", {"None", "Exit 1", "Exit 2", "Exit 3"});
    AddRow(layout, page, "Type:", ComboBoxUnitType);
    EditUnitTimeOffset = Control<QLineEdit>(page, "EditUnitTimeOffset");
    AddRow(layout, page, "Time offset:", EditUnitTimeOffset);
    EditUnitTimeLength = Control<QLineEdit>(page, "EditUnitTimeLength");
    AddRow(layout, page, "Time lengh:", EditUnitTimeLength);
    ComboBoxUnitKeyGroup = ListBox(page, "ComboBoxUnitKeyGroup", {});
    AddRow(layout, page, "Key group:", ComboBoxUnitKeyGroup);
    layout->addStretch(1);
    return page;
}

QWidget* TFormMain::BuildZonePage() {
    auto* page = new QWidget(NotebookAction);
    page->setObjectName("Zone");
    QVBoxLayout* layout = PageLayout(page);
    ComboBoxZoneType = ListBox(page, "ComboBoxZoneType",
                               {"Path", "Entry", "Exit 1", "Exit 2", "Exit 3", "Wall",
                                "Wall Exit 1", "Wall Exit 2", "Wall Exit 3", "Other", "Exclude"});
    ComboBoxZoneType->setMaxVisibleItems(15);
    AddRow(layout, page, "Type :", ComboBoxZoneType);
    EditZoneRadius = Control<QLineEdit>(page, "EditZoneRadius");
    AddRow(layout, page, "Radius :", EditZoneRadius);
    ComboBoxZoneGraph = Control<QComboBox>(page, "ComboBoxZoneGraph");
    ComboBoxZoneGraph->setEditable(true);
    ComboBoxZoneGraph->setInsertPolicy(QComboBox::NoInsert);
    AddRow(layout, page, "Graph :", ComboBoxZoneGraph);
    EditZoneHitpoints = Control<QLineEdit>(page, "EditZoneHitpoints");
    AddRow(layout, page, "Hitpoints :", EditZoneHitpoints);
    EditZoneMass = Control<QLineEdit>(page, "EditZoneMass");
    AddRow(layout, page, "Mass :", EditZoneMass);
    EditZoneDamage = Control<QLineEdit>(page, "EditZoneDamage");
    AddRow(layout, page, "Damage :", EditZoneDamage);

    auto* items = new QGroupBox("Items", page);
    items->setObjectName("GroupBoxItems");
    auto* grid = new QGridLayout(items);
    grid->setContentsMargins(4, 4, 4, 4);
    grid->setSpacing(1);
    const struct {
        const char* name;
        const char* caption;
    } boxes[] = {{"CheckBoxZoneI0", "Life"},    {"CheckBoxZoneI1", "Fast"},
                 {"CheckBoxZoneI2", "Slow"},    {"CheckBoxZoneI3", "Lock"},
                 {"CheckBoxZoneI4", "Damage"},  {"CheckBoxZoneI5", "Reload"},
                 {"CheckBoxZoneI6", "Defence"}, {"CheckBoxZoneI7", "Invisible"},
                 {"CheckBoxZoneI31", "No show"}};
    for (std::size_t i = 0; i < CheckBoxZoneItems.size(); ++i) {
        QCheckBox* box = Control<QCheckBox>(items, boxes[i].name);
        box->setText(QString::fromLatin1(boxes[i].caption));
        CheckBoxZoneItems[i] = box;
        grid->addWidget(box, static_cast<int>(i / 2), static_cast<int>(i % 2));
    }
    ComboBoxZoneIFreq = ListBox(items, "ComboBoxZoneIFreq", {"Fast", "Average", "Slow"});
    grid->addWidget(ComboBoxZoneIFreq, 5, 0, 1, 2);
    layout->addSpacing(4);
    layout->addWidget(items);
    layout->addStretch(1);
    return page;
}

QWidget* TFormMain::BuildZoneLinkPage() {
    auto* page = new QWidget(NotebookAction);
    page->setObjectName("ZoneLink");
    QVBoxLayout* layout = PageLayout(page);
    ComboBoxZoneLinkType = ListBox(page, "ComboBoxZoneLinkType", {"Normal", "StopLine"});
    AddRow(layout, page, "Type :", ComboBoxZoneLinkType);
    layout->addStretch(1);
    return page;
}

void TFormMain::ConnectPages() {
    // Main: only Enter sets the radius; typing alone changes nothing.
    connect(EditMainWorldRadius, &QLineEdit::returnPressed, this,
            [this] { Commands_.WorldRadiusEnter(FromQ(EditMainWorldRadius->text())); });
    connect(Button1, &QPushButton::clicked, this, [this] { Commands_.PointCorrect(); });

    // Unit
    connect(ComboBoxUnitType, &QComboBox::activated, this,
            [this](int index) { Edited(UnitTypeChange(Doc, index), "Unit type"); });
    connect(EditUnitTimeOffset, &QLineEdit::textChanged, this, [this](const QString& text) {
        Edited(UnitTimeOffsetChange(Doc, FromQ(text)), "Time offset", "EditUnitTimeOffset");
    });
    connect(EditUnitTimeLength, &QLineEdit::textChanged, this, [this](const QString& text) {
        Edited(UnitTimeLengthChange(Doc, FromQ(text)), "Time length", "EditUnitTimeLength");
    });
    connect(ComboBoxUnitKeyGroup, &QComboBox::activated, this,
            [this](int index) { Edited(UnitKeyGroupChange(Doc, index), "Key group"); });

    // Zone: these fields write the zone part of the file only.
    connect(ComboBoxZoneType, &QComboBox::activated, this, [this](int index) {
        Edited(ZoneTypeChange(Doc, index), "Zone type", "", EditSections::Zones);
    });
    connect(EditZoneRadius, &QLineEdit::textChanged, this, [this](const QString& text) {
        Edited(ZoneRadiusChange(Doc, FromQ(text)), "Zone radius", "EditZoneRadius",
               EditSections::Zones);
        RedrawNow(); // the circle follows the typing at once
    });
    connect(ComboBoxZoneGraph, &QComboBox::editTextChanged, this, [this](const QString& text) {
        Edited(ZoneGraphChange(Doc, FromQ(text)), "Graph", "ComboBoxZoneGraph",
               EditSections::Zones);
    });
    connect(EditZoneHitpoints, &QLineEdit::textChanged, this, [this](const QString& text) {
        Edited(ZoneHitpointsChange(Doc, FromQ(text)), "Hitpoints", "EditZoneHitpoints",
               EditSections::Zones);
    });
    connect(EditZoneMass, &QLineEdit::textChanged, this, [this](const QString& text) {
        Edited(ZoneMassChange(Doc, FromQ(text)), "Mass", "EditZoneMass", EditSections::Zones);
    });
    connect(EditZoneDamage, &QLineEdit::textChanged, this, [this](const QString& text) {
        Edited(ZoneDamageChange(Doc, FromQ(text)), "Damage", "EditZoneDamage", EditSections::Zones);
    });
    // One handler for all item boxes: the bit is the number at the end of the box's name.
    for (QCheckBox* box : CheckBoxZoneItems)
        connect(box, &QCheckBox::clicked, this, [this, box](bool on) {
            Edited(ZoneItemChange(Doc, ItemBitFromName(FromQ(box->objectName())), on), "Items", "",
                   EditSections::Zones);
        });
    connect(ComboBoxZoneIFreq, &QComboBox::activated, this, [this](int index) {
        Edited(ZoneItemFreqChange(Doc, index), "Item frequency", "", EditSections::Zones);
    });

    // ZoneLink
    connect(ComboBoxZoneLinkType, &QComboBox::activated, this, [this](int index) {
        Edited(ZoneLinkTypeChange(Doc, index), "Link type", "", EditSections::Zones);
    });

    // Leaving a field ends its burst of keystrokes: typing there again is a new undo step.
    for (QLineEdit* edit : {EditUnitTimeOffset, EditUnitTimeLength, EditZoneRadius,
                            EditZoneHitpoints, EditZoneMass, EditZoneDamage})
        connect(edit, &QLineEdit::editingFinished, this,
                [this] { Commands_.History().SealBurst(); });
    if (QLineEdit* graph = ComboBoxZoneGraph->lineEdit())
        connect(graph, &QLineEdit::editingFinished, this,
                [this] { Commands_.History().SealBurst(); });
}

void TFormMain::PanelRefresh() {
    // After undo and redo the pages only show: the handlers that writing a text runs would store
    // values back and make the document differ from the state just restored.
    std::vector<std::unique_ptr<QSignalBlocker>> quiet;
    if (QuietPages_)
        for (QObject* control : std::initializer_list<QObject*>{
                 EditMainWorldRadius, EditUnitTimeOffset, EditUnitTimeLength, EditZoneRadius,
                 ComboBoxZoneGraph, EditZoneHitpoints, EditZoneMass, EditZoneDamage})
            quiet.push_back(std::make_unique<QSignalBlocker>(control));
    // The selection may have changed: the outliner shows it.
    if (DockOutliner) DockOutliner->WorldChanged();
    const PropertyPage page = PagePick(Doc);
    NotebookAction->setCurrentIndex(static_cast<int>(page));
    switch (page) {
    case PropertyPage::Unit:
        FillUnitPage();
        break;
    case PropertyPage::Zone:
        FillZonePage();
        break;
    case PropertyPage::ZoneLink:
        if (const TgmZoneLink* link = Doc.Zones.ZoneLinkCurrent())
            ComboBoxZoneLinkType->setCurrentIndex(link->LinkType);
        break;
    case PropertyPage::Main:
        SetTextIfDifferent(EditMainWorldRadius, RoundedText(Doc.WorldRadius));
        break;
    }
}

void TFormMain::FillUnitPage() {
    const TgmWorldUnit* unit = Doc.Units.UnitCurrent();
    if (!unit) return;
    const UnitPageView view = UnitPageFill(Doc, *unit);
    LabelUnitDesc->setText(ToQ(unit->DescPath));
    ComboBoxUnitType->setCurrentIndex(view.UnitType < ComboBoxUnitType->count() ? view.UnitType
                                                                                : -1);
    SetTextIfDifferent(EditUnitTimeOffset, view.TimeOffset);
    SetTextIfDifferent(EditUnitTimeLength, view.TimeLength);
    ComboBoxUnitKeyGroup->clear();
    for (const std::u16string& name : view.KeyGroups)
        ComboBoxUnitKeyGroup->addItem(ToQ(name));
    ComboBoxUnitKeyGroup->setCurrentIndex(
        view.KeyGroup < ComboBoxUnitKeyGroup->count() ? view.KeyGroup : -1);
}

void TFormMain::FillZonePage() {
    const TgmZone* zone = Doc.Zones.ZoneCurrent();
    if (!zone) return;
    const ZonePageView view = ZonePageFill(*zone);
    ComboBoxZoneType->setCurrentIndex(view.ZoneType);
    // Each box's handler runs when its text changes, so the fields are filled one by one from the
    // view taken before any of them stored anything back.
    SetTextIfDifferent(EditZoneRadius, view.Radius);
    if (ComboBoxZoneGraph->currentText() != ToQ(view.Graph))
        ComboBoxZoneGraph->setEditText(ToQ(view.Graph));
    SetTextIfDifferent(EditZoneHitpoints, view.Hitpoints);
    SetTextIfDifferent(EditZoneMass, view.Mass);
    SetTextIfDifferent(EditZoneDamage, view.Damage);
    for (QCheckBox* box : CheckBoxZoneItems) {
        const int bit = ItemBitFromName(FromQ(box->objectName()));
        box->setChecked(((view.ItemFlags >> bit) & 1u) != 0);
    }
    ComboBoxZoneIFreq->setCurrentIndex(view.ItemFreq);
}

void TFormMain::RedrawNow() {
    FrameUpdateLists(Doc, *Scene_, Cam, Flags);
    Panel3D->RequestFrame();
}

} // namespace gm
