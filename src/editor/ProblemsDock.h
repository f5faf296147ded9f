#pragma once
// The Problems dock: the world checker's list with its counts, checked again a moment after the
// world stops changing (a burst of edits costs one check, never a check per frame). Activating a
// row selects the first object of the problem.

#include <QDockWidget>
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

    // check runs the checker on the current world; select is told the object of an activated row.
    TProblemsDock(std::function<std::vector<CheckProblem>()> check,
                  std::function<void(const CheckObject&)> select, QWidget* parent = nullptr);

    QLabel* LabelCounts = nullptr; // "Errors: N   Warnings: M"
    QTreeWidget* ListProblems = nullptr;

    // The world changed: check again once it has been still for SettleMs.
    void WorldChanged();
    // Checks now (also what the settle timer runs).
    void CheckNow();
    const std::vector<CheckProblem>& Problems() const noexcept { return Problems_; }
    // Activates row i, as a double-click does.
    void ActivateRow(int i);

private:
    void Activated(QTreeWidgetItem* item);

    std::function<std::vector<CheckProblem>()> Check_;
    std::function<void(const CheckObject&)> Select_;
    std::vector<CheckProblem> Problems_;
    QTimer Settle_;
};

// "Errors: N   Warnings: M", as the dock and the Save End dialog show the counts.
QString ProblemCountsText(const CheckCounts& counts);

} // namespace gm
