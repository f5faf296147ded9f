#pragma once
// The Save End dialog: "Save test" exports the world into the game's data folder (edit.map and
// edit.opt) with a progress dialog over the view directions, and shows the visibility figure.
// The figure's computation is kept for the dialog's showing and discarded when it is hidden.

#include <QDialog>
#include <functional>
#include <string>

#include <vector>

#include "zones/GMOpt.h"
#include "zones/WorldCheck.h"

class QHideEvent;
class QLabel;
class QPushButton;
class QShowEvent;
class QTableWidget;

namespace gm {

class Camera;
class Settings;
class WorldDoc;

class TFormSaveEnd : public QDialog {
    Q_OBJECT

public:
    // The dialog exports doc from camera into the game folder of settings; all outlive it.
    TFormSaveEnd(WorldDoc& doc, Camera& camera, const Settings& settings,
                 QWidget* parent = nullptr);

    QTableWidget* DGL = nullptr;
    QPushButton* BitBtnSaveTest = nullptr;
    QLabel* Label2 = nullptr;        // "Opt size:"
    QLabel* Label1 = nullptr;        // the figure
    QPushButton* BitBtn1 = nullptr;  // OK
    QLabel* LabelTarget = nullptr;   // the folder "Save test" writes into
    QLabel* LabelProblems = nullptr; // the checker's counts when the dialog was shown

    // Errors are shown through here (a message box unless replaced).
    void SetMessageSink(std::function<void(const std::string&)> sink) { Sink_ = std::move(sink); }
    // The world checker as the editor runs it; without one the world is checked without folders.
    void SetProblemCheck(std::function<std::vector<CheckProblem>()> check) {
        Check_ = std::move(check);
    }
    // Replaces the progress dialog (tests): told before each view direction, false cancels.
    void SetProgressHook(OptProgress hook) { ProgressHook_ = std::move(hook); }

    const OptState& Opt() const noexcept { return Opt_; }

    void FormShow();
    void FormHide();
    // Checks the world and shows the counts.
    void ProblemsRefresh();
    void BitBtnSaveTestClick();

signals:
    // Both files were written: where they went, for the status bar.
    void Exported(const QString& where);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    WorldDoc& Doc_;
    Camera& Camera_;
    const Settings& Settings_;
    OptState Opt_;
    std::function<void(const std::string&)> Sink_;
    OptProgress ProgressHook_;
    std::function<std::vector<CheckProblem>()> Check_;
    std::vector<CheckProblem> Problems_;
};

} // namespace gm
