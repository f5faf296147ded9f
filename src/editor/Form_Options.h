#pragma once
// The Options dialog: the two directories on the "Path" page and the world-line grid's count and
// colours on the "WorldLine" page. OK takes the fields into the settings and writes them to the
// store at once; Cancel leaves both alone. Either way the grid is to be rebuilt afterwards.

#include "editing/Settings.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QShowEvent;
class QTabWidget;
class QWidget;

namespace gm {

class TFormOptions : public QDialog {
    Q_OBJECT

public:
    // The dialog edits settings in place and writes through store; both must outlive it.
    TFormOptions(Settings& settings, ISettingsStore& store, QWidget* parent = nullptr);

    // Controls, owned by the dialog.
    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr; // "Path"
    QWidget* TabSheet2 = nullptr; // "WorldLine"
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLineEdit* EditUnitPath = nullptr;
    QLineEdit* EditSkyhaulPath = nullptr;
    QLabel* Label6 = nullptr;
    QLineEdit* EditStartDir = nullptr; // the start folder in use; empty: found at each start
    QLabel* Label7 = nullptr;
    QLineEdit* EditLegacyCodePage = nullptr; // code page of 8-bit text that is not UTF-8
    QLineEdit* EditWLCount = nullptr;
    QLineEdit* EditWLFront = nullptr;
    QLineEdit* EditWLBack = nullptr;
    QPushButton* BitBtn1 = nullptr; // OK
    QPushButton* BitBtn2 = nullptr; // Cancel

    // The start folder the editor uses now, shown in its field.
    void ShowStartDir(const std::u16string& dir) { StartDirInUse_ = dir; }

    // Fills the fields from the settings; runs each time the dialog is shown.
    void FormShow();
    // OK: stores every field and closes with Accepted.
    void BitBtn1Click();

    void done(int result) override;

signals:
    // The dialog has closed (OK or Cancel): the world-line grid must be rebuilt from the settings.
    void WorldLineRebuild();
    // OK changed the start folder setting (Settings::StartDir; empty for automatic).
    void StartDirChosen();

protected:
    void showEvent(QShowEvent* event) override;

private:
    Settings& Settings_;
    ISettingsStore& Store_;
    std::u16string StartDirInUse_;
};

} // namespace gm
