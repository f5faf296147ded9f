#pragma once
// The Unit Path dialog: one editable row per distinct description file name of the world's units.
// Find picks a file and puts its name relative to the unit folder into the current row; OK
// renames the units, Cancel changes nothing.

#include <QDialog>
#include <QTableView>
#include <functional>
#include <optional>
#include <string>

#include "editing/UnitPathList.h"

class QAbstractItemModel;
class QPushButton;
class QShowEvent;
class QHideEvent;

namespace gm {

class Settings;
class UnitStore;

// The grid: a table view that can hand an open in-place editor's text to the model, so that OK or
// Find pressed while a row is being edited keeps the edit.
class UnitPathGrid : public QTableView {
public:
    using QTableView::QTableView;
    void CommitOpenEditor();
};

class TFormUnitPath : public QDialog {
    Q_OBJECT

public:
    // The dialog works on units and reads the unit folder from settings; both outlive it.
    TFormUnitPath(UnitStore& units, const Settings& settings, QWidget* parent = nullptr);
    ~TFormUnitPath() override;

    UnitPathGrid* DGL = nullptr;
    QPushButton* BitBtn1 = nullptr; // OK
    QPushButton* BitBtn2 = nullptr; // Cancel
    QPushButton* Button1 = nullptr; // Find

    // The file dialog of Find (filter "*.txt"): the chosen file or nullopt.
    void SetFileAsker(std::function<std::optional<std::u16string>()> asker) {
        AskFile_ = std::move(asker);
    }

    const UnitPathList& Rows() const noexcept { return Rows_; }

    void FormShow();
    void FormHide();
    void Button1Click();
    void BitBtn1Click();

signals:
    // OK renamed this many units (more than none).
    void UnitsRenamed(int count);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    UnitStore& Units_;
    const Settings& Settings_;
    UnitPathList Rows_;
    QAbstractItemModel* Model_ = nullptr;
    std::function<std::optional<std::u16string>()> AskFile_;
};

} // namespace gm
