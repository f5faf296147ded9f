#include "editing/DocumentCommands.h"

#include "editing/Settings.h"
#include "foundation/Codec.h"
#include "foundation/QX_Error.h"
#include "foundation/QX_Str.h"
#include "render/Camera.h"
#include "world/WorldDoc.h"

namespace gm {

void DocumentState::Set(bool modified) {
    if (Modified_ == modified) return;
    Modified_ = modified;
    if (OnChange) OnChange();
}

std::u16string CaptionText(const WorldDoc& doc, bool modified) {
    std::u16string caption = u"Skyhaul Gridmoor v0." + IntToWideQX(WorldDoc::WorldVersion);
    if (!doc.WorldFileName.empty()) caption += u" [" + FileBaseNameQX(doc.WorldFileName) + u"]";
    if (modified) caption += u" *";
    return caption;
}

DocumentCommands::DocumentCommands(WorldDoc& doc, Camera& camera, ViewFlags& flags,
                                   Settings& settings, DocumentState& state, CommandHost& host)
    : Doc_(doc), Camera_(camera), Flags_(flags), Settings_(settings), State_(state), Host_(host),
      History_(doc) {
    UnitPathFromSettings();
}

void DocumentCommands::UnitPathFromSettings() {
    Doc_.Units.UnitPath = WideToAnsiQX(Settings_.UnitPath);
    Doc_.Units.LegacyCodePage = WideToAnsiQX(Settings_.LegacyCodePage);
}

// --- File menu ---

bool DocumentCommands::ConfirmDiscard() {
    if (!State_.Modified()) return true;
    switch (Host_.AskSaveChanges()) {
    case SaveChoice::Save:
        return FileSave();
    case SaveChoice::Discard:
        Host_.WorkSettled(Doc_.WorldFileName);
        return true;
    case SaveChoice::Cancel:
        break;
    }
    return false;
}

void DocumentCommands::FileOpen() {
    if (!ConfirmDiscard()) return;
    const std::optional<std::u16string> name = Host_.AskOpenFile(FileKind::World);
    if (!name) return;
    OpenFile(*name);
}

bool DocumentCommands::OpenFile(const std::u16string& fileName) {
    const std::string error = Doc_.WorldOpen(fileName);
    // Whatever was read, the document is now what the file holds (or empty).
    State_.MarkClean();
    History_.Reset(true);
    if (!error.empty()) Host_.ShowError(error);
    AfterReplace();
    if (error.empty()) Host_.WorldFileUsed(fileName);
    return error.empty();
}

bool DocumentCommands::OpenFileConfirmed(const std::u16string& fileName) {
    if (!ConfirmDiscard()) return false;
    return OpenFile(fileName);
}

bool DocumentCommands::RecoverBackup(const std::u16string& backupFile,
                                     const std::u16string& origin) {
    const std::string error = Doc_.WorldOpen(backupFile);
    if (error.empty()) Doc_.WorldFileName = origin;
    // The backup holds edits the original file does not (an empty world is nothing to lose).
    History_.Reset(!error.empty());
    if (error.empty())
        State_.MarkModified();
    else
        State_.MarkClean();
    if (!error.empty()) Host_.ShowError(error);
    AfterReplace();
    return error.empty();
}

void DocumentCommands::AfterReplace() {
    Camera_.Reset(Doc_.WorldRadius);
    WorldGridRebuild();
    Host_.CaptionRefresh();
    Host_.PanelRefresh();
    Host_.HistoryChanged();
}

bool DocumentCommands::FileSave() {
    if (Doc_.WorldFileName.empty()) return FileSaveAs();
    try {
        Doc_.WorldSave();
    } catch (const ErrorQX& e) {
        Host_.ShowError(e.Message());
        return false;
    }
    History_.MarkSaved();
    State_.MarkClean();
    Host_.WorkSettled(Doc_.WorldFileName);
    Host_.WorldFileUsed(Doc_.WorldFileName);
    return true;
}

bool DocumentCommands::FileSaveAs() {
    const std::optional<std::u16string> name = Host_.AskSaveFile(FileKind::World);
    if (!name) return false;
    const std::u16string previous = Doc_.WorldFileName;
    try {
        Doc_.WorldSaveAs(*name);
    } catch (const ErrorQX& e) {
        // Nothing was written there, so the document keeps the name of the file that holds it.
        Doc_.WorldFileName = previous;
        Host_.ShowError(e.Message());
        return false;
    }
    History_.MarkSaved();
    State_.MarkClean();
    // The work kept under the old name (or as untitled) is in the new file now.
    Host_.WorkSettled(previous);
    Host_.WorkSettled(Doc_.WorldFileName);
    Host_.CaptionRefresh();
    Host_.WorldFileUsed(Doc_.WorldFileName);
    return true;
}

void DocumentCommands::FileClear() {
    if (!ConfirmDiscard()) return;
    Doc_.WorldFileName.clear();
    Doc_.WorldClear();
    WorldGridRebuild();
    State_.MarkClean();
    History_.Reset(true);
    Host_.CaptionRefresh();
    // The page may show a unit that no longer exists.
    Host_.PanelRefresh();
    Host_.HistoryChanged();
}

// --- Unit menu ---

void DocumentCommands::UnitLoad(const std::function<TSpherePick()>& pickCentre) {
    const std::optional<std::u16string> name = Host_.AskOpenFile(FileKind::Unit);
    if (!name || !pickCentre) return;
    const TSpherePick place = pickCentre();
    if (!place.Found) return;
    UnitLoadFile(*name, place.Longitude, place.Polar);
}

bool DocumentCommands::UnitLoadFile(const std::u16string& fileName, float longitude, float polar) {
    BeforeChange();
    const UnitLoadResult loaded = UnitLoadAtPick(Doc_.Units, Settings_.UnitPath, fileName,
                                                 TSpherePick{true, longitude, polar});
    AfterChange("Load unit");
    if (loaded.Status != UnitLoadResult::Outcome::Placed) {
        Host_.ShowError("Error : " + loaded.Reason);
        return false;
    }
    Host_.PanelRefresh();
    return true;
}

void DocumentCommands::UnitBBCalcCurrent() {
    Doc_.Units.BBCalcCurrent(Camera_);
}

void DocumentCommands::UnitBBCalcAll() {
    Doc_.Units.BBCalcAll(Camera_);
}

void DocumentCommands::Reload(const std::vector<TgmWorldUnit*>& units) {
    UnitPathFromSettings();
    BeforeChange();
    std::string firstError;
    for (TgmWorldUnit* u : units) {
        std::string reason;
        if (!Doc_.Units.UnitReload(u, &reason) && firstError.empty()) firstError = reason;
    }
    Doc_.Units.SetCurrentUnit(nullptr);
    // A reload that changes nothing the file holds is no step and leaves the flag alone.
    AfterChange("Reload");
    // Many units of one missing description fail alike: one message says why.
    if (!firstError.empty()) Host_.ShowError("Error : " + firstError);
    Host_.PanelRefresh();
}

void DocumentCommands::UnitReloadCurrent() {
    std::vector<TgmWorldUnit*> units;
    if (TgmWorldUnit* current = Doc_.Units.UnitCurrent()) units.push_back(current);
    Reload(units);
}

void DocumentCommands::UnitReloadCurrentType() {
    std::vector<TgmWorldUnit*> units;
    if (const TgmWorldUnit* current = Doc_.Units.UnitCurrent()) {
        const std::u16string path = current->DescPath;
        for (TgmWorldUnit* u : Doc_.Units.List())
            if (u->DescPath == path) units.push_back(u);
    }
    Reload(units);
}

void DocumentCommands::UnitReloadAll() {
    std::vector<TgmWorldUnit*> units;
    for (TgmWorldUnit* u : Doc_.Units.List())
        units.push_back(u);
    Reload(units);
}

// --- View menu ---

void DocumentCommands::ViewWorldLine(bool on) {
    Flags_.WorldLine = on;
    WorldGridRebuild();
}

void DocumentCommands::ViewStopLine(StopLineMode mode) {
    Flags_.StopLine = mode;
    Doc_.Lines.LineDrawAll(
        Camera_, Flags_, [](const TgmWorldUnit* unit) { return unit == nullptr || unit->Visible; });
}

void DocumentCommands::WorldGridRebuild() {
    Doc_.WorldLines.WorldGridFree();
    if (Flags_.WorldLine)
        Doc_.WorldLines.WorldGridBuild(Doc_.WorldRadius, Settings_.WLCount, Settings_.WLFront,
                                       Settings_.WLBack);
}

// --- Main page ---

void DocumentCommands::WorldRadiusEnter(const std::u16string& text) {
    const float old = Doc_.WorldRadius;
    Doc_.WorldRadiusSet(text);
    Camera_.RadiusChanged(old, Doc_.WorldRadius);
    WorldGridRebuild();
    AfterChange("World radius");
    Host_.PanelRefresh();
}

void DocumentCommands::PointCorrect() {
    Doc_.Points.PointCorrect();
    AfterChange("Correct point");
}

// --- Edit menu ---

bool DocumentCommands::AfterChange(const std::string& label, const std::string& mergeKey,
                                   uint32_t sections) {
    if (!History_.Commit(label, mergeKey, sections)) return false;
    ModifiedFromHistory();
    Host_.HistoryChanged();
    return true;
}

void DocumentCommands::ModifiedFromHistory() {
    if (History_.AtSaved())
        State_.MarkClean();
    else
        State_.MarkModified();
}

bool DocumentCommands::EditUndo() {
    return Restore(true);
}

bool DocumentCommands::EditRedo() {
    return Restore(false);
}

bool DocumentCommands::Restore(bool undo) {
    if (undo ? !History_.CanUndo() : !History_.CanRedo()) return false;
    const float radius = Doc_.WorldRadius;
    std::string error;
    const bool done = undo ? History_.Undo(&error) : History_.Redo(&error);
    if (Doc_.WorldRadius != radius) {
        // The camera keeps its height above the surface, as when the radius is entered.
        Camera_.RadiusChanged(radius, Doc_.WorldRadius);
    }
    // The grid is released with the world lines when the document is read back.
    WorldGridRebuild();
    ModifiedFromHistory();
    if (!error.empty()) Host_.ShowError(error);
    Host_.PanelRefresh();
    Host_.HistoryChanged();
    return done;
}

} // namespace gm
