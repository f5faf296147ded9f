#pragma once
// The outliner: every unit, zone and zone link of the world in groups with their counts, with a
// filter box. Choosing rows selects the objects (several rows make a group), a double-click
// frames one. It follows the world from the window's change notifications (edits, undo, redo,
// selection), coalesced into one rebuild when the window is next idle: it never polls.

#include <QDockWidget>
#include <QStandardItemModel>
#include <QTimer>
#include <functional>
#include <vector>

#include "editing/Outline.h"

class QLineEdit;
class QTreeView;

namespace gm {

class WorldDoc;

class TOutlinerDock : public QDockWidget {
    Q_OBJECT

public:
    struct Hooks {
        std::function<void(const std::vector<OutlineObject>&)> Select;
        std::function<void(const OutlineObject&)> Frame;
    };
    TOutlinerDock(const WorldDoc& doc, Hooks hooks, QWidget* parent = nullptr);

    QLineEdit* EditFilter = nullptr;
    QTreeView* TreeOutline = nullptr;

    // The world or its selection changed: the rows follow when the window is next idle.
    void WorldChanged();
    // Rebuilds the rows now.
    void Refresh();
    int Rebuilds() const noexcept { return Rebuilds_; }
    // The model index of the row of an object; invalid when it has no row (filtered out).
    QModelIndex IndexOf(const OutlineObject& object) const;

private:
    void SelectionChanged();
    void DoubleClicked(const QModelIndex& index);
    const OutlineObject* ObjectAt(const QModelIndex& index) const;

    const WorldDoc& Doc_;
    Hooks Hooks_;
    QStandardItemModel Model_;
    std::vector<OutlineObject> Objects_; // a row's UserRole data indexes it
    QTimer Pending_;
    bool Filling_ = false;   // the rows are being rebuilt: their selection is not the user's
    bool Selecting_ = false; // our own selection is being applied: no rebuild for it
    int Rebuilds_ = 0;
};

} // namespace gm
