#pragma once
// The Problems dock: the world checker's list with its counts, checked again a moment after the
// world stops changing (a burst of edits costs one check, never a check per frame). The check runs
// on another thread, on a snapshot of the world, so a large world's check never holds up a frame.
// Activating a row selects the first object of the problem.

#include <QDockWidget>
#include <QFutureWatcher>
#include <QTimer>
#include <functional>
#include <vector>

#include "zones/WorldCheck.h"

class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

namespace gm {

class TProblemsDock : public QDockWidget {
    Q_OBJECT

public:
    static constexpr int SettleMs = 300;

    // A check ready to run on another thread: it must not touch the live world.
    using CheckJob = std::function<std::vector<CheckProblem>()>;

    // prepare (on this thread) returns the check of the current world; select is told the
    // object of an activated row.
    TProblemsDock(std::function<CheckJob()> prepare, std::function<void(const CheckObject&)> select,
                  QWidget* parent = nullptr);
    ~TProblemsDock() override;

    QLabel* LabelCounts = nullptr; // "Errors: N   Warnings: M"
    QTreeWidget* ListProblems = nullptr;

    // The world changed: check again once it has been still for SettleMs.
    void WorldChanged();
    // Starts a check now (also what the settle timer runs); while one runs, another follows it.
    void CheckNow();
    bool Checking() const { return Watcher_.isRunning(); }
    const std::vector<CheckProblem>& Problems() const noexcept { return Problems_; }
    // Activates row i, as a double-click does.
    void ActivateRow(int i);

private:
    void Activated(QTreeWidgetItem* item);
    void Finished();

    std::function<CheckJob()> Prepare_;
    QFutureWatcher<std::vector<CheckProblem>> Watcher_;
    bool Again_ = false; // the world changed while a check ran
    std::function<void(const CheckObject&)> Select_;
    std::vector<CheckProblem> Problems_;
    QTimer Settle_;
};

// "Errors: N   Warnings: M", as the dock and the Save End dialog show the counts.
QString ProblemCountsText(const CheckCounts& counts);

} // namespace gm
