#include "editor/OutlinerDock.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QSet>
#include <QTreeView>
#include <QVBoxLayout>

namespace gm {

namespace {
constexpr int ObjectRole = Qt::UserRole + 1;
}

TOutlinerDock::TOutlinerDock(const WorldDoc& doc, Hooks hooks, QWidget* parent)
    : QDockWidget("Outliner", parent), Doc_(doc), Hooks_(std::move(hooks)) {
    setObjectName("DockOutliner");
    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(2, 2, 2, 2);
    EditFilter = new QLineEdit(body);
    EditFilter->setObjectName("EditFilter");
    EditFilter->setPlaceholderText("Filter");
    EditFilter->setClearButtonEnabled(true);
    // Only a click gives them the keyboard: at start and after Tab the keys stay the panel's.
    EditFilter->setFocusPolicy(Qt::ClickFocus);
    layout->addWidget(EditFilter);
    TreeOutline = new QTreeView(body);
    TreeOutline->setObjectName("TreeOutline");
    TreeOutline->setModel(&Model_);
    TreeOutline->header()->hide();
    TreeOutline->setSelectionMode(QAbstractItemView::ExtendedSelection);
    TreeOutline->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeOutline->setUniformRowHeights(true);
    TreeOutline->setFocusPolicy(Qt::ClickFocus);
    layout->addWidget(TreeOutline);
    setWidget(body);

    Pending_.setSingleShot(true);
    Pending_.setInterval(0);
    connect(&Pending_, &QTimer::timeout, this, &TOutlinerDock::Refresh);
    connect(EditFilter, &QLineEdit::textChanged, this, &TOutlinerDock::Refresh);
    connect(TreeOutline->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TOutlinerDock::SelectionChanged);
    connect(TreeOutline, &QTreeView::doubleClicked, this, &TOutlinerDock::DoubleClicked);
    Refresh();
}

void TOutlinerDock::WorldChanged() {
    if (!Selecting_) Pending_.start();
}

void TOutlinerDock::Refresh() {
    Pending_.stop();
    ++Rebuilds_;
    // Groups the designer folded stay folded.
    QSet<QString> folded;
    for (int i = 0; i < Model_.rowCount(); ++i) {
        const QStandardItem* group = Model_.item(i);
        if (!TreeOutline->isExpanded(group->index()))
            folded.insert(group->data(ObjectRole + 1).toString());
    }
    Filling_ = true;
    Model_.clear();
    Objects_.clear();
    QItemSelection selection;
    for (const OutlineGroup& g : OutlineBuild(Doc_, EditFilter->text().toStdString())) {
        const QString title = QString::fromStdString(g.Title);
        auto* group = new QStandardItem(QString("%1 (%2)").arg(title).arg(g.Rows.size()));
        group->setData(title, ObjectRole + 1);
        group->setSelectable(false);
        for (const OutlineRow& row : g.Rows) {
            auto* item = new QStandardItem(QString::fromStdString(row.Text));
            item->setData(static_cast<int>(Objects_.size()), ObjectRole);
            Objects_.push_back(row.Object);
            group->appendRow(item);
        }
        Model_.appendRow(group);
        for (int r = 0; r < static_cast<int>(g.Rows.size()); ++r)
            if (g.Rows[static_cast<std::size_t>(r)].Selected)
                selection.select(group->child(r)->index(), group->child(r)->index());
        if (!folded.contains(title)) TreeOutline->expand(group->index());
    }
    TreeOutline->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (!selection.isEmpty()) TreeOutline->scrollTo(selection.indexes().front());
    Filling_ = false;
}

const OutlineObject* TOutlinerDock::ObjectAt(const QModelIndex& index) const {
    const QVariant v = index.data(ObjectRole);
    if (!v.isValid()) return nullptr;
    const int i = v.toInt();
    return i >= 0 && i < static_cast<int>(Objects_.size()) ? &Objects_[static_cast<std::size_t>(i)]
                                                           : nullptr;
}

QModelIndex TOutlinerDock::IndexOf(const OutlineObject& object) const {
    for (int g = 0; g < Model_.rowCount(); ++g) {
        const QStandardItem* group = Model_.item(g);
        for (int r = 0; r < group->rowCount(); ++r)
            if (const OutlineObject* o = ObjectAt(group->child(r)->index()); o && *o == object)
                return group->child(r)->index();
    }
    return {};
}

void TOutlinerDock::SelectionChanged() {
    if (Filling_ || !Hooks_.Select) return;
    // The row clicked last leads: it becomes current and the pages show it.
    std::vector<OutlineObject> objects;
    const QModelIndex lead = TreeOutline->selectionModel()->currentIndex();
    if (const OutlineObject* o = ObjectAt(lead);
        o && TreeOutline->selectionModel()->isSelected(lead))
        objects.push_back(*o);
    for (const QModelIndex& index : TreeOutline->selectionModel()->selectedIndexes())
        if (const OutlineObject* o = ObjectAt(index); o && index != lead) objects.push_back(*o);
    Selecting_ = true;
    Hooks_.Select(objects);
    Selecting_ = false;
}

void TOutlinerDock::DoubleClicked(const QModelIndex& index) {
    if (const OutlineObject* o = ObjectAt(index); o && Hooks_.Frame) Hooks_.Frame(*o);
}

} // namespace gm
