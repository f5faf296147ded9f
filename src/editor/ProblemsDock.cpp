#include "editor/ProblemsDock.h"

#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include "foundation/Codec.h"

namespace gm {

QString ProblemCountsText(const CheckCounts& counts) {
    return QString("Errors: %1   Warnings: %2").arg(counts.Errors).arg(counts.Warnings);
}

TProblemsDock::TProblemsDock(std::function<CheckJob()> prepare,
                             std::function<void(const CheckObject&)> select, QWidget* parent)
    : QDockWidget("Problems", parent), Prepare_(std::move(prepare)), Select_(std::move(select)) {
    setObjectName("DockProblems");
    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(2, 2, 2, 2);
    LabelCounts = new QLabel(ProblemCountsText({}), body);
    LabelCounts->setObjectName("LabelCounts");
    ListProblems = new QTreeWidget(body);
    ListProblems->setObjectName("ListProblems");
    ListProblems->setColumnCount(3);
    ListProblems->setHeaderLabels({"Severity", "Code", "Message"});
    ListProblems->setRootIsDecorated(false);
    ListProblems->setUniformRowHeights(true); // thousands of rows stay quick to show
    ListProblems->header()->setStretchLastSection(true);
    layout->addWidget(LabelCounts);
    layout->addWidget(ListProblems);
    setWidget(body);

    Settle_.setSingleShot(true);
    Settle_.setInterval(SettleMs);
    connect(&Settle_, &QTimer::timeout, this, &TProblemsDock::CheckNow);
    connect(ListProblems, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item, int) { Activated(item); });
    connect(&Watcher_, &QFutureWatcher<std::vector<CheckProblem>>::finished, this,
            &TProblemsDock::Finished);
}

TProblemsDock::~TProblemsDock() {
    Watcher_.waitForFinished(); // the job holds only its snapshot, but must end before the dock
}

void TProblemsDock::WorldChanged() {
    Settle_.start(); // restarts: edits in a row are checked once
}

void TProblemsDock::CheckNow() {
    Settle_.stop();
    if (Watcher_.isRunning()) {
        Again_ = true;
        return;
    }
    CheckJob job = Prepare_ ? Prepare_() : CheckJob();
    if (!job) job = [] { return std::vector<CheckProblem>{}; };
    Watcher_.setFuture(QtConcurrent::run(std::move(job)));
}

void TProblemsDock::Finished() {
    Problems_ = Watcher_.result();
    if (Again_) {
        Again_ = false;
        CheckNow();
    }
    LabelCounts->setText(ProblemCountsText(CountProblems(Problems_)));
    ListProblems->clear();
    QList<QTreeWidgetItem*> rows;
    rows.reserve(static_cast<int>(Problems_.size()));
    for (std::size_t i = 0; i < Problems_.size(); ++i) {
        const CheckProblem& p = Problems_[i];
        auto* row = new QTreeWidgetItem(
            {QString::fromLatin1(CheckSeverityName(p.Severity).data(),
                                 static_cast<int>(CheckSeverityName(p.Severity).size())),
             QString::fromStdString(p.Code), QString::fromStdU16String(AnsiToWideQX(p.Message))});
        row->setToolTip(2, row->text(2));
        row->setData(0, Qt::UserRole, static_cast<int>(i));
        rows.push_back(row);
    }
    ListProblems->addTopLevelItems(rows);
}

void TProblemsDock::ActivateRow(int i) {
    Activated(ListProblems->topLevelItem(i));
}

void TProblemsDock::Activated(QTreeWidgetItem* item) {
    if (!item) return;
    const int i = item->data(0, Qt::UserRole).toInt();
    if (i < 0 || static_cast<std::size_t>(i) >= Problems_.size()) return;
    const CheckProblem& p = Problems_[static_cast<std::size_t>(i)];
    if (!p.Objects.empty() && Select_) Select_(p.Objects.front());
}

} // namespace gm
