#pragma once
// The commands behind the File, Unit and View menus and the Main page, without widgets. The
// window supplies what needs a person (file names, the unsaved-changes answer, message boxes)
// and the refreshes of its caption and property pages through CommandHost.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "editing/UndoStack.h"
#include "world/UnitLoad.h"
#include "world/ViewFlags.h"

namespace gm {

class Camera;
class Settings;
class TgmWorldUnit;
class WorldDoc;

enum class SaveChoice { Save, Discard, Cancel };

// The file dialogs of the window: world files (*.raw) and unit descriptions (*.txt).
enum class FileKind { World, Unit };

class CommandHost {
public:
    virtual ~CommandHost() = default;
    // The file the user picked, or nullopt when the dialog was cancelled.
    virtual std::optional<std::u16string> AskOpenFile(FileKind kind) = 0;
    virtual std::optional<std::u16string> AskSaveFile(FileKind kind) = 0;
    // "Save changes?" with Save, Discard and Cancel.
    virtual SaveChoice AskSaveChanges() = 0;
    virtual void ShowError(const std::string& text) = 0;
    // Show the page of the selected object, and the window caption.
    virtual void PanelRefresh() = 0;
    virtual void CaptionRefresh() = 0;
    // The document now lives in this file (opened or saved there): the recent files follow.
    virtual void WorldFileUsed(const std::u16string& /*fileName*/) {}
    // The undo history changed (the Edit menu's items follow).
    virtual void HistoryChanged() {}
};

// Whether the document holds edits its file does not. Edits mark it; a successful save, an open
// and a clear make it clean; undo and redo set it to whether the saved state was reached.
class DocumentState {
public:
    bool Modified() const noexcept { return Modified_; }
    void MarkModified() { Set(true); }
    void MarkClean() { Set(false); }
    // Runs after the flag has flipped (the caption shows it).
    std::function<void()> OnChange;

private:
    void Set(bool modified);
    bool Modified_ = false;
};

// "Skyhaul Gridmoor v0.3", then " [" + the file's base name + "]" for a named world, then " *"
// while there are unsaved changes.
std::u16string CaptionText(const WorldDoc& doc, bool modified);

class DocumentCommands {
public:
    DocumentCommands(WorldDoc& doc, Camera& camera, ViewFlags& flags, Settings& settings,
                     DocumentState& state, CommandHost& host);

    // --- File menu ---
    // Offers to save unsaved changes; false when the user cancelled or the save failed, in which
    // case the document must stay as it is.
    bool ConfirmDiscard();
    void FileOpen();
    // Opens the named world without asking (the command line, recent files, a dropped file);
    // failures are shown as Open's. False when the file could not be read.
    bool OpenFile(const std::u16string& fileName);
    // Asks about unsaved changes, then opens the file (recent files, a dropped file). False when
    // cancelled or when the file could not be read.
    bool OpenFileConfirmed(const std::u16string& fileName);
    // Replaces the document with an automatic backup of the world `origin` (empty: an untitled
    // world). The result is unsaved and named like the original, so Save writes the original
    // file. False (shown) when the backup cannot be read; the document is then empty.
    bool RecoverBackup(const std::u16string& backupFile, const std::u16string& origin);
    // False when nothing was written (cancelled or failed; a failure has been shown).
    bool FileSave();
    bool FileSaveAs();
    void FileClear();
    // Exit: whether the window may close.
    bool ConfirmClose() { return ConfirmDiscard(); }

    // --- Unit menu ---
    // pickCentre gives the sphere point at the centre of the 3D panel; when the view misses the
    // sphere nothing is loaded.
    void UnitLoad(const std::function<TSpherePick()>& pickCentre);
    // Loads the picked description file as a new current unit at (longitude, polar).
    bool UnitLoadFile(const std::u16string& fileName, float longitude, float polar);
    void UnitBBCalcCurrent();
    void UnitBBCalcAll();
    void UnitReloadCurrent();
    void UnitReloadCurrentType();
    void UnitReloadAll();

    // --- View menu ---
    void ViewWorldLine(bool on);
    void ViewPoint(bool on) { Flags_.Point = on; }
    void ViewZone(bool on) { Flags_.Zone = on; }
    void ViewStopLine(StopLineMode mode);
    // Frees the grid and builds it again from the settings when View > WorldLine is checked.
    void WorldGridRebuild();

    // --- Main page ---
    // Enter in the world radius box.
    void WorldRadiusEnter(const std::u16string& text);
    // "Correct point".
    void PointCorrect();

    // The unit folder the world's units are loaded from, after the settings changed.
    void UnitPathFromSettings();

    // --- Edit menu: undo and redo ---
    // Changes made outside these commands (property pages, the 3D panel, dialogs) are recorded
    // through this pair: BeforeChange() before the document is touched (for a drag: at the button
    // press), AfterChange(label) once the change is complete (for a drag: at the release).
    // AfterChange makes one undo step when the document bytes changed, with mergeKey joining a
    // burst of edits of one field, sets the modified flag and answers whether a step was made;
    // sections names the file parts the change may touch (see UndoStack::Commit).
    // Call AfterChange also when the change came to nothing, so the checkpoint is used up.
    void BeforeChange() { History_.Checkpoint(); }
    bool AfterChange(const std::string& label, const std::string& mergeKey = {},
                     uint32_t sections = EditSections::All);
    // Both refresh the page and the caption; a failure to restore is shown.
    bool EditUndo();
    bool EditRedo();
    // Sets the modified flag from the history: clean only at the saved state.
    void ModifiedFromHistory();
    UndoStack& History() noexcept { return History_; }
    const UndoStack& History() const noexcept { return History_; }

private:
    bool Restore(bool undo);
    void AfterReplace(); // camera, grid, flag, caption and page after Open
    // Reloads the units one by one, reporting the first failure.
    void Reload(const std::vector<TgmWorldUnit*>& units);

    WorldDoc& Doc_;
    Camera& Camera_;
    ViewFlags& Flags_;
    Settings& Settings_;
    DocumentState& State_;
    CommandHost& Host_;
    UndoStack History_;
};

} // namespace gm
