#pragma once
// The editor's only document window: the 3D panel, the property pages on the right, the status
// bar with the frame rate and cursor coordinates, and the main menu. Handlers translate Qt events
// into calls of the editing layer; what needs a person (file dialogs, the unsaved-changes
// question, modal dialogs, message boxes) goes through hooks that tests replace.

#include <QElapsedTimer>
#include <QMainWindow>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "editing/Autosave.h"
#include "editing/DocumentCommands.h"
#include "editing/FrameLoop.h"
#include "editing/RecentFiles.h"
#include "editing/Settings.h"
#include "editing/StepRecorder.h"
#include "render/Camera.h"
#include "world/ViewFlags.h"
#include "world/WorldDoc.h"

class QAction;
class QCheckBox;
class QCloseEvent;
class QComboBox;
class QDialog;
class QDragEnterEvent;
class QDropEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QStackedWidget;
class QWidget;

namespace gm {

class Device;
class Panel3DWidget;
class PanelController;
class QImageDecoder;
class Scene;
class TFormAbout;
class TFormOptions;
class TFormSaveEnd;
class TFormUnitPath;
class TProblemsDock;
class TgmObj3D;
struct CheckOptions;

class TFormMain : public QMainWindow, private FrameHost, private CommandHost {
    Q_OBJECT

public:
    // store keeps the settings; startDir is where "bg.jpg" is looked for; defaults name the
    // folders used when no setting is stored.
    TFormMain(ISettingsStore& store, std::u16string startDir, const SettingsDefaults& defaults,
              QWidget* parent = nullptr);
    ~TFormMain() override;

    // The document and view state the commands act on.
    WorldDoc Doc;
    Camera Cam;
    ViewFlags Flags;
    Settings Opts;
    DocumentState DocState;

    // --- Menu items ---
    QAction* Open1 = nullptr;
    QAction* Save1 = nullptr;
    QAction* SaveAs1 = nullptr;
    QAction* MM_File_SaveEnd = nullptr;
    QAction* MM_File_Clear = nullptr;
    QAction* Exit1 = nullptr;
    QMenu* MM_File_Recent = nullptr; // the last worlds opened or saved
    QAction* MM_Edit_Undo = nullptr;
    QAction* MM_Edit_Redo = nullptr;
    QAction* MM_Unit_Load = nullptr;
    QAction* MM_Unit_Path = nullptr;
    QAction* MM_Unit_BBCalcCurrent = nullptr;
    QAction* MM_Unit_BBCalcAll = nullptr;
    QAction* MM_Unit_ReloadCur = nullptr;
    QAction* MM_Unit_ReloadCurType = nullptr;
    QAction* MM_Unit_ReloadAll = nullptr;
    QAction* MM_View_WorldLine = nullptr;
    QAction* MM_View_Point = nullptr;
    QAction* MM_View_Zone = nullptr;
    QAction* MM_View_Background = nullptr;
    QAction* MM_View_SLDefault = nullptr;
    QAction* MM_View_SLShow = nullptr;
    QAction* MM_View_SLHide = nullptr;
    QAction* MM_Options_Options = nullptr;
    QAction* About1 = nullptr;

    // --- Window parts and property pages ---
    Panel3DWidget* Panel3D = nullptr;
    TProblemsDock* DockProblems = nullptr;
    QStackedWidget* NotebookAction = nullptr;
    QLabel* LabelFPS = nullptr;
    QLabel* LabelCoord = nullptr;
    QLabel* LabelStatus = nullptr; // the last command's message (see SetStatus)
    // "Main"
    QLineEdit* EditMainWorldRadius = nullptr;
    QPushButton* Button1 = nullptr;
    // "Unit"
    QComboBox* ComboBoxUnitType = nullptr;
    QLineEdit* EditUnitTimeOffset = nullptr;
    QLineEdit* EditUnitTimeLength = nullptr;
    QComboBox* ComboBoxUnitKeyGroup = nullptr;
    // "Zone"
    QComboBox* ComboBoxZoneType = nullptr;
    QLineEdit* EditZoneRadius = nullptr;
    QComboBox* ComboBoxZoneGraph = nullptr;
    QLineEdit* EditZoneHitpoints = nullptr;
    QLineEdit* EditZoneMass = nullptr;
    QLineEdit* EditZoneDamage = nullptr;
    // CheckBoxZoneI0 .. CheckBoxZoneI7, then CheckBoxZoneI31.
    std::array<QCheckBox*, 9> CheckBoxZoneItems{};
    QComboBox* ComboBoxZoneIFreq = nullptr;
    // "ZoneLink"
    QComboBox* ComboBoxZoneLinkType = nullptr;

    Scene& GetScene() { return *Scene_; }
    FrameLoop& Loop() { return Loop_; }
    DocumentCommands& Commands() { return Commands_; }
    TFormOptions& FormOptions() { return *FormOptions_; }
    TFormUnitPath& FormUnitPath() { return *FormUnitPath_; }
    TFormAbout& FormAbout() { return *FormAbout_; }
    TFormSaveEnd& FormSaveEnd() { return *FormSaveEnd_; }

    // Shows the page of the selected object and fills it from the document.
    void PanelRefresh() override;
    // "Skyhaul Gridmoor v0.3", the world's name in brackets, and " *" while modified.
    void CaptionRefresh() override;
    // Opens a world named on the command line; failures are shown like File > Open's.
    void OpenAtStart(const std::u16string& fileName);

    // --- Undo, backups, recent files ---
    // The shortcuts of Edit > Undo and Redo: the 3D panel owns Ctrl+Z and Z (and every other
    // Ctrl+letter it knows), so the history takes keys the panel never reads.
    static constexpr const char* UndoKeys = "Alt+Backspace";
    static constexpr const char* RedoKeys = "Ctrl+Y";
    static constexpr const char* RedoKeysOther = "Alt+Shift+Backspace";
    static constexpr int AutosavePollMs = 5000;
    static constexpr int MessageGatherMs = 200;
    // Starts backups of unsaved work into folder and leaves this run's session mark there.
    // alive tells whether another run's process still runs (defaults to the system's answer).
    void StartSession(const std::u16string& folder, std::function<bool(int64_t)> alive = nullptr);
    // After a crash of an earlier run: offers the newest backup newer than its world's file and
    // restores it when the designer agrees. True when a backup was restored. Asks once.
    bool OfferRecovery();
    // Ends the session: removes the mark, so the next start offers nothing (a clean exit).
    void EndSession();
    // One poll of the backup timer; writes a backup when one is due.
    void AutosaveTick();
    Autosave* Backups() { return Autosave_.get(); }
    // Makes undo steps of the 3D panel's edits; every panel event passes it (Form_MainPanel.cpp).
    StepRecorder& PanelSteps() { return PanelSteps_; }
    const RecentFiles& Recent() const { return Recent_; }
    // Opens the first world file (*.raw) of the dropped files, after the unsaved-changes question.
    void OpenDropped(const std::vector<std::u16string>& files);

    // --- The status bar ---
    static constexpr int StatusTimeoutMs = 15000;
    static constexpr const char* ZonesHiddenNote =
        "Zones hidden (Ctrl+Z shows them again; Undo is Alt+Backspace)";
    // A command starts: the text the last one left goes.
    void StatusClear();

    // --- Hooks for what needs a person; tests replace them so nothing modal blocks ---
    // Messages shown to the user.
    void SetMessageSink(std::function<void(const std::string&)> sink) { Sink_ = std::move(sink); }
    // The file dialogs: (kind, save) gives the chosen file or nullopt.
    using FileAsker = std::function<std::optional<std::u16string>(FileKind, bool)>;
    void SetFileAsker(FileAsker asker) { FileAsker_ = std::move(asker); }
    void SetSavePrompt(std::function<SaveChoice()> prompt) { SavePrompt_ = std::move(prompt); }
    // Runs a modal dialog of the window (Options, Unit Path, About, Save End); returns its result.
    void SetDialogRunner(std::function<int(QDialog&)> runner) { RunDialog_ = std::move(runner); }
    // The question whether to restore a backup: (text) gives the answer.
    void SetRecoveryPrompt(std::function<bool(const std::string&)> prompt) {
        RecoveryPrompt_ = std::move(prompt);
    }

    // The start folder: where "bg.jpg" and the texture names of descriptions are looked up.
    const std::u16string& StartDir() const noexcept { return StartDir_; }
    // Looks up the background and every texture in dir from now on.
    void StartDirSet(const std::u16string& dir);
    // The start folder to use when Options names none (as found at start-up).
    void SetStartDirAutomatic(std::u16string dir) { StartDirAuto_ = std::move(dir); }
    // For messages raised while the window is set up, shown, or drawn: a modal box there would
    // run the event loop inside a show or paint. They are shown together once the loop is idle.
    void QueueMessage(const std::string& text);
    // Messages waiting to be shown once the window is up and idle.
    const std::vector<std::string>& PendingMessages() const noexcept { return PendingMessages_; }

    // The world checker's folders: the unit path for descriptions, the start folder for
    // textures (the Problems dock and the Save End dialog check alike).
    CheckOptions ProblemCheckOptions() const;

    // The sphere point at the centre of the 3D panel, where Unit > Load... places a unit.
    TSpherePick PanelCentrePick();

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void BuildMenus();
    void BuildFileMenu();
    void BuildEditMenu();
    void RecentMenuRefresh();
    void OpenRecent(const std::u16string& fileName);
    // Edit > Undo / Redo: the pages show the restored document without storing anything back.
    void EditRestore(bool undo);
    void BuildUnitMenu();
    void BuildViewMenu();
    void BuildPanels();
    QWidget* BuildMainPage();
    QWidget* BuildUnitPage();
    QWidget* BuildZonePage();
    QWidget* BuildZoneLinkPage();
    void ConnectPages();
    void FillUnitPage();
    void FillZonePage();
    // Updates the lists and repaints the 3D panel now rather than at the next tick.
    void RedrawNow();
    // The graph box's list from the game folder's GMWall.txt; a damaged file is reported.
    void LoadZoneGraphs();
    void ShowMessage(const std::string& text);
    void FlushMessages();
    // The status bar's text belongs to the command that showed it: it goes at the next command,
    // after StatusTimeoutMs, and whenever a failure is shown. While Ctrl+Z in the panel keeps
    // the zones hidden, a note says so when nothing else is showing.
    void SetStatus(const QString& text);
    void StatusRefresh();
    void ShowTextureFailures();
    void BackgroundMake();
    void MM_View_BackgroundClick();
    void MM_Options_OptionsClick();
    int RunDialog(QDialog& dialog);
    // Records a page edit as an undo step (label in the Edit menu; edits of one field with the
    // same mergeKey in a row are one step) and marks the document modified.
    // sections: the file parts the page's field writes (see UndoStack::Commit).
    void Edited(bool changed, const char* label, const char* mergeKey = "",
                uint32_t sections = EditSections::All);
    void PaintPanel(Device& device);
    // Mouse and keyboard work in the 3D panel (Form_MainPanel.cpp).
    void ConnectPanel();

    // FrameHost
    uint64_t NowMs() override;
    bool ApplicationActive() override;
    void ProcessPendingEvents() override;
    void RunFrame(uint64_t animClock) override;
    void ReportFrameError(const std::string& message) override;
    void ShowFps(int frames) override;

    // CommandHost
    std::optional<std::u16string> AskOpenFile(FileKind kind) override;
    std::optional<std::u16string> AskSaveFile(FileKind kind) override;
    SaveChoice AskSaveChanges() override;
    void ShowError(const std::string& text) override { ShowMessage(text); }
    void WorldFileUsed(const std::u16string& fileName) override;
    void HistoryChanged() override;
    std::optional<std::u16string> AskFile(FileKind kind, bool save);

    ISettingsStore& Store_;
    std::u16string StartDir_;
    std::u16string StartDirAuto_;
    std::vector<std::string> PendingMessages_;
    bool FlushPosted_ = false;
    std::unique_ptr<QImageDecoder> Decoder_;
    std::unique_ptr<Scene> Scene_;
    DocumentCommands Commands_;
    TFormOptions* FormOptions_ = nullptr;
    TFormUnitPath* FormUnitPath_ = nullptr;
    TFormAbout* FormAbout_ = nullptr;
    TFormSaveEnd* FormSaveEnd_ = nullptr;
    TgmObj3D* BackgroundObj_ = nullptr;
    std::unique_ptr<PanelController> Panel_; // before the scene frees its objects
    FrameLoop Loop_{*this};
    QElapsedTimer Clock_;
    QTimer Timer_;
    std::string PaintError_;
    QString StatusText_;
    QTimer StatusTimer_;
    bool ZonesHiddenByKey_ = false;
    std::function<void(const std::string&)> Sink_;
    FileAsker FileAsker_;
    std::function<SaveChoice()> SavePrompt_;
    std::function<int(QDialog&)> RunDialog_;
    std::function<bool(const std::string&)> RecoveryPrompt_;

    RecentFiles Recent_;
    StepRecorder PanelSteps_{Commands_};
    bool QuietPages_ = false; // PanelRefresh shows without running the page handlers
    std::unique_ptr<Autosave> Autosave_;
    std::unique_ptr<SessionMark> Session_;
    std::function<bool(int64_t)> Alive_;
    std::unique_ptr<QObject> InputWatch_; // notes the designer's last key or mouse action
    uint64_t LastInputMs_ = 0;
    bool AutosaveBusy_ = false;
    QTimer AutosaveTimer_;
};

} // namespace gm
