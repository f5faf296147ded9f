// The main menu of TFormMain: File, Edit, Unit, View, Options and Help.

#include "editor/Form_Main.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>

#include "editor/Form_About.h"
#include "editor/Form_SaveEnd.h"
#include "editor/Form_UnitPath.h"
#include "editor/PanelController.h"
#include "editor/ProblemsDock.h"

namespace gm {

namespace {

// Every item is a command: it starts by taking down the status text the last one left (its own
// handler, connected after this, may show a new one).
QAction* AddItem(TFormMain* form, QMenu* menu, const char* caption, const char* name) {
    QAction* action = menu->addAction(QString::fromLatin1(caption));
    action->setObjectName(QString::fromLatin1(name));
    QObject::connect(action, &QAction::triggered, form, [form] { form->StatusClear(); });
    return action;
}

QAction* AddCheckItem(TFormMain* form, QMenu* menu, const char* caption, const char* name,
                      bool checked) {
    QAction* action = AddItem(form, menu, caption, name);
    action->setCheckable(true);
    action->setChecked(checked);
    return action;
}

} // namespace

void TFormMain::BuildMenus() {
    BuildFileMenu();
    BuildEditMenu();
    BuildUnitMenu();
    BuildViewMenu();

    QMenu* options = menuBar()->addMenu("Options");
    MM_Options_Options = AddItem(this, options, "Options...", "MM_Options_Options");
    connect(MM_Options_Options, &QAction::triggered, this, [this] { MM_Options_OptionsClick(); });

    QMenu* help = menuBar()->addMenu("Help");
    About1 = AddItem(this, help, "About", "About1");
    connect(About1, &QAction::triggered, this, [this] { RunDialog(*FormAbout_); });
}

void TFormMain::BuildFileMenu() {
    QMenu* file = menuBar()->addMenu("File");
    Open1 = AddItem(this, file, "Open...", "Open1");
    MM_File_Recent = file->addMenu("Recent");
    MM_File_Recent->setObjectName("MM_File_Recent");
    MM_File_Recent->menuAction()->setObjectName("MM_File_Recent");
    Save1 = AddItem(this, file, "Save", "Save1");
    SaveAs1 = AddItem(this, file, "Save As...", "SaveAs1");
    file->addSeparator();
    MM_File_SaveEnd = AddItem(this, file, "Save end...", "MM_File_SaveEnd");
    file->addSeparator();
    MM_File_Clear = AddItem(this, file, "Clear", "MM_File_Clear");
    file->addSeparator();
    Exit1 = AddItem(this, file, "Exit", "Exit1");

    // A drag or selection rectangle in the panel ends before the world is replaced.
    connect(Open1, &QAction::triggered, this, [this] {
        Panel_->CancelAll();
        Commands_.FileOpen();
    });
    // A drag under way is a step of its own before the save, so that the saved state is the
    // one the history marks; the drag goes on as a further step.
    connect(Save1, &QAction::triggered, this, [this] {
        PanelSteps_.Flush();
        Commands_.FileSave();
    });
    connect(SaveAs1, &QAction::triggered, this, [this] {
        PanelSteps_.Flush();
        Commands_.FileSaveAs();
    });
    connect(MM_File_SaveEnd, &QAction::triggered, this, [this] { RunDialog(*FormSaveEnd_); });
    connect(MM_File_Clear, &QAction::triggered, this, [this] {
        Panel_->CancelAll();
        Commands_.FileClear();
    });
    connect(Exit1, &QAction::triggered, this, &QWidget::close);
    connect(MM_File_Recent, &QMenu::triggered, this, [this] { StatusClear(); });
    RecentMenuRefresh();
}

void TFormMain::BuildEditMenu() {
    QMenu* edit = menuBar()->addMenu("Edit");
    MM_Edit_Undo = AddItem(this, edit, "Undo", "MM_Edit_Undo");
    MM_Edit_Redo = AddItem(this, edit, "Redo", "MM_Edit_Redo");
    MM_Edit_Undo->setShortcut(QKeySequence(QString::fromLatin1(UndoKeys)));
    MM_Edit_Redo->setShortcuts({QKeySequence(QString::fromLatin1(RedoKeys)),
                                QKeySequence(QString::fromLatin1(RedoKeysOther))});
    connect(MM_Edit_Undo, &QAction::triggered, this, [this] { EditRestore(true); });
    connect(MM_Edit_Redo, &QAction::triggered, this, [this] { EditRestore(false); });
    HistoryChanged();
}

void TFormMain::HistoryChanged() {
    if (DockProblems) DockProblems->WorldChanged();
    if (!MM_Edit_Undo) return;
    const UndoStack& history = Commands_.History();
    const auto caption = [](const char* verb, const std::string& label) {
        return QString::fromLatin1(verb) +
               (label.empty() ? QString() : " " + QString::fromStdString(label));
    };
    MM_Edit_Undo->setText(caption("Undo", history.UndoLabel()));
    MM_Edit_Undo->setEnabled(history.CanUndo());
    MM_Edit_Redo->setText(caption("Redo", history.RedoLabel()));
    MM_Edit_Redo->setEnabled(history.CanRedo());
}

void TFormMain::RecentMenuRefresh() {
    // An item may be the one whose click led here: it goes once the click is over.
    for (QAction* old : MM_File_Recent->actions()) {
        MM_File_Recent->removeAction(old);
        old->deleteLater();
    }
    std::size_t index = 0;
    for (const std::u16string& file : Recent_.Files()) {
        QAction* item =
            MM_File_Recent->addAction(QString::fromStdU16String(RecentCaption(index, file)));
        item->setObjectName(QString("MM_File_Recent%1").arg(index + 1));
        connect(item, &QAction::triggered, this, [this, file] { OpenRecent(file); });
        ++index;
    }
    MM_File_Recent->setEnabled(!Recent_.Files().empty());
}

void TFormMain::BuildUnitMenu() {
    QMenu* unit = menuBar()->addMenu("Unit");
    MM_Unit_Load = AddItem(this, unit, "Load...", "MM_Unit_Load");
    unit->addSeparator();
    MM_Unit_Path = AddItem(this, unit, "Path...", "MM_Unit_Path");
    unit->addSeparator();
    MM_Unit_BBCalcCurrent = AddItem(this, unit, "BB calc current", "MM_Unit_BBCalcCurrent");
    MM_Unit_BBCalcAll = AddItem(this, unit, "BB calc all", "MM_Unit_BBCalcAll");
    unit->addSeparator();
    MM_Unit_ReloadCur = AddItem(this, unit, "Reload current", "MM_Unit_ReloadCur");
    MM_Unit_ReloadCurType = AddItem(this, unit, "Reload current type", "MM_Unit_ReloadCurType");
    MM_Unit_ReloadAll = AddItem(this, unit, "Reload all", "MM_Unit_ReloadAll");

    connect(MM_Unit_Load, &QAction::triggered, this,
            [this] { Commands_.UnitLoad([this] { return PanelCentrePick(); }); });
    connect(MM_Unit_Path, &QAction::triggered, this, [this] { RunDialog(*FormUnitPath_); });
    connect(MM_Unit_BBCalcCurrent, &QAction::triggered, this,
            [this] { Commands_.UnitBBCalcCurrent(); });
    connect(MM_Unit_BBCalcAll, &QAction::triggered, this, [this] { Commands_.UnitBBCalcAll(); });
    connect(MM_Unit_ReloadCur, &QAction::triggered, this,
            [this] { Commands_.UnitReloadCurrent(); });
    connect(MM_Unit_ReloadCurType, &QAction::triggered, this,
            [this] { Commands_.UnitReloadCurrentType(); });
    connect(MM_Unit_ReloadAll, &QAction::triggered, this, [this] { Commands_.UnitReloadAll(); });
}

void TFormMain::BuildViewMenu() {
    QMenu* view = menuBar()->addMenu("View");
    // The spaces line up the key hints; the keys themselves belong to the 3D panel.
    MM_View_WorldLine = AddCheckItem(this, view, "WorldLine         (Ctrl-W)", "MM_View_WorldLine",
                                     Flags.WorldLine);
    MM_View_Point =
        AddCheckItem(this, view, "Point                 (Ctrl-P)", "MM_View_Point", Flags.Point);
    MM_View_Zone =
        AddCheckItem(this, view, "Zone                 (Ctrl-Z)", "MM_View_Zone", Flags.Zone);
    MM_View_Background = AddCheckItem(this, view, "Background      (Ctrl-B)", "MM_View_Background",
                                      Flags.Background);
    view->addSeparator();
    MM_View_SLDefault = AddCheckItem(this, view, "Default StopLine", "MM_View_SLDefault",
                                     Flags.StopLine == StopLineMode::Default);
    MM_View_SLShow = AddCheckItem(this, view, "Show StopLine", "MM_View_SLShow",
                                  Flags.StopLine == StopLineMode::Show);
    MM_View_SLHide = AddCheckItem(this, view, "Hide StopLine", "MM_View_SLHide",
                                  Flags.StopLine == StopLineMode::Hide);
    // Exclusive: a click on the checked item keeps it checked.
    auto* stopLine = new QActionGroup(this);
    stopLine->setExclusive(true);
    for (QAction* item : {MM_View_SLDefault, MM_View_SLShow, MM_View_SLHide})
        stopLine->addAction(item);

    connect(MM_View_WorldLine, &QAction::triggered, this,
            [this](bool on) { Commands_.ViewWorldLine(on); });
    connect(MM_View_Point, &QAction::triggered, this, [this](bool on) { Commands_.ViewPoint(on); });
    connect(MM_View_Zone, &QAction::triggered, this, [this](bool on) {
        Commands_.ViewZone(on);
        ZonesHiddenByKey_ = false; // the panel's Ctrl+Z says otherwise right after this
        StatusRefresh();
    });
    connect(MM_View_Background, &QAction::triggered, this, [this] { MM_View_BackgroundClick(); });
    connect(MM_View_SLDefault, &QAction::triggered, this,
            [this] { Commands_.ViewStopLine(StopLineMode::Default); });
    connect(MM_View_SLShow, &QAction::triggered, this,
            [this] { Commands_.ViewStopLine(StopLineMode::Show); });
    connect(MM_View_SLHide, &QAction::triggered, this,
            [this] { Commands_.ViewStopLine(StopLineMode::Hide); });
}

} // namespace gm
