#include "editor/Form_UnitPath.h"
#include "editor/CentreOnDesktop.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QFileDialog>
#include <QHeaderView>
#include <QHideEvent>
#include <QPainter>
#include <QPushButton>
#include <QShowEvent>
#include <QStyledItemDelegate>

#include "editing/Settings.h"
#include "editor/DrawCellText.h"
#include "world/WorldUnit.h"

namespace gm {

void UnitPathGrid::CommitOpenEditor() {
    if (state() != EditingState) return;
    if (QWidget* editor = indexWidget(currentIndex())) commitData(editor);
}

namespace {

class UnitPathModel : public QAbstractTableModel {
public:
    explicit UnitPathModel(UnitPathList& rows, QObject* parent)
        : QAbstractTableModel(parent), Rows_(rows) {}

    void Reset() {
        beginResetModel();
        endResetModel();
    }
    void RowChanged(int row) { emit dataChanged(index(row, 0), index(row, 0)); }

    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : Rows_.RowCount();
    }
    int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : 1; }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
        return QString::fromStdU16String(Rows_.NewPath(index.row()));
    }
    bool setData(const QModelIndex& index, const QVariant& value, int role) override {
        if (role != Qt::EditRole) return false;
        Rows_.SetNewPath(index.row(), value.toString().toStdU16String());
        RowChanged(index.row());
        return true;
    }
    Qt::ItemFlags flags(const QModelIndex&) const override {
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
    }

private:
    UnitPathList& Rows_;
};

// Cells are painted by the shared cell painter: clear brush and pen, no bevel, left, middle.
class UnitPathDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        opt.text.clear();
        const QWidget* widget = option.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
        painter->save();
        const bool selected = option.state & QStyle::State_Selected;
        painter->setPen(
            option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        painter->setFont(option.font);
        DrawCellText(*painter, option.rect, CellStyle{},
                     index.data(Qt::DisplayRole).toString().toStdU16String());
        painter->restore();
    }
};

} // namespace

TFormUnitPath::TFormUnitPath(UnitStore& units, const Settings& settings, QWidget* parent)
    : QDialog(parent), Units_(units), Settings_(settings) {
    setObjectName("FormUnitPath");
    setWindowTitle("Unit Path");
    setFixedSize(546, 350);

    DGL = new UnitPathGrid(this);
    DGL->setObjectName("DGL");
    Model_ = new UnitPathModel(Rows_, this);
    DGL->setModel(Model_);
    DGL->setItemDelegate(new UnitPathDelegate(DGL));
    DGL->horizontalHeader()->hide();
    DGL->verticalHeader()->hide();
    DGL->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    DGL->verticalHeader()->setDefaultSectionSize(18);
    DGL->setColumnWidth(0, 505);
    DGL->setShowGrid(true);
    DGL->setSelectionMode(QAbstractItemView::SingleSelection);
    DGL->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                         QAbstractItemView::AnyKeyPressed);
    DGL->setGeometry(8, 8, 530, 300);

    Button1 = new QPushButton("Find", this);
    Button1->setObjectName("Button1");
    Button1->setGeometry(8, 317, 75, 25);
    BitBtn1 = new QPushButton("OK", this);
    BitBtn1->setObjectName("BitBtn1");
    BitBtn1->setDefault(true);
    BitBtn1->setGeometry(382, 317, 75, 25);
    BitBtn2 = new QPushButton("Cancel", this);
    BitBtn2->setObjectName("BitBtn2");
    BitBtn2->setGeometry(463, 317, 75, 25);

    connect(Button1, &QPushButton::clicked, this, &TFormUnitPath::Button1Click);
    connect(BitBtn1, &QPushButton::clicked, this, &TFormUnitPath::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
}

TFormUnitPath::~TFormUnitPath() = default;

void TFormUnitPath::FormShow() {
    Rows_.Take(Units_);
    static_cast<UnitPathModel*>(Model_)->Reset();
    DGL->setCurrentIndex(Model_->index(0, 0));
}

void TFormUnitPath::FormHide() {
    Rows_.Clear();
    static_cast<UnitPathModel*>(Model_)->Reset();
}

void TFormUnitPath::Button1Click() {
    if (Rows_.PathCount() == 0) return;
    std::optional<std::u16string> file;
    if (AskFile_) {
        file = AskFile_();
    } else {
        const QString name = QFileDialog::getOpenFileName(
            this, QString(), QString::fromStdU16String(Settings_.UnitPath), "*.txt (*.txt)");
        if (!name.isEmpty()) file = name.toStdU16String();
    }
    if (!file) return;
    DGL->CommitOpenEditor();
    const int row = DGL->currentIndex().isValid() ? DGL->currentIndex().row() : 0;
    if (Rows_.Find(row, *file, Settings_.UnitPath))
        static_cast<UnitPathModel*>(Model_)->RowChanged(row);
}

void TFormUnitPath::BitBtn1Click() {
    DGL->CommitOpenEditor();
    const int renamed = Rows_.Apply(Units_);
    accept();
    if (renamed > 0) emit UnitsRenamed(renamed);
}

void TFormUnitPath::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        FormShow();
        CentreOnDesktop(*this);
    }
    QDialog::showEvent(event);
}

void TFormUnitPath::hideEvent(QHideEvent* event) {
    if (!event->spontaneous()) FormHide();
    QDialog::hideEvent(event);
}

} // namespace gm
