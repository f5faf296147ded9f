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
    : Doc_(doc), Camera_(camera), Flags_(flags), Settings_(settings), State_(state), Host_(host) {
    UnitPathFromSettings();
}

void DocumentCommands::UnitPathFromSettings() {
    Doc_.Units.UnitPath = WideToAnsiQX(Settings_.UnitPath);
}

// --- File menu ---

bool DocumentCommands::ConfirmDiscard() {
    if (!State_.Modified()) return true;
    switch (Host_.AskSaveChanges()) {
    case SaveChoice::Save:
        return FileSave();
    case SaveChoice::Discard:
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

void DocumentCommands::OpenFile(const std::u16string& fileName) {
    const std::string error = Doc_.WorldOpen(fileName);
    // Whatever was read, the document is now what the file holds (or empty).
    State_.MarkClean();
    if (!error.empty()) Host_.ShowError(error);
    AfterReplace();
}

void DocumentCommands::AfterReplace() {
    Camera_.Reset(Doc_.WorldRadius);
    WorldGridRebuild();
    Host_.CaptionRefresh();
    Host_.PanelRefresh();
}

bool DocumentCommands::FileSave() {
    if (Doc_.WorldFileName.empty()) return FileSaveAs();
    try {
        Doc_.WorldSave();
    } catch (const ErrorQX& e) {
        Host_.ShowError(e.Message());
        return false;
    }
    State_.MarkClean();
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
    State_.MarkClean();
    Host_.CaptionRefresh();
    return true;
}

void DocumentCommands::FileClear() {
    if (!ConfirmDiscard()) return;
    Doc_.WorldFileName.clear();
    Doc_.WorldClear();
    WorldGridRebuild();
    State_.MarkClean();
    Host_.CaptionRefresh();
    // The page may show a unit that no longer exists.
    Host_.PanelRefresh();
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
    const UnitLoadResult loaded = UnitLoadAtPick(Doc_.Units, Settings_.UnitPath, fileName,
                                                 TSpherePick{true, longitude, polar});
    if (loaded.Status != UnitLoadResult::Outcome::Placed) {
        Host_.ShowError("Error : " + loaded.Reason);
        return false;
    }
    State_.MarkModified();
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
    std::string firstError;
    bool reloaded = false;
    for (TgmWorldUnit* u : units) {
        std::string reason;
        if (Doc_.Units.UnitReload(u, &reason))
            reloaded = true;
        else if (firstError.empty())
            firstError = reason;
    }
    Doc_.Units.SetCurrentUnit(nullptr);
    if (reloaded) State_.MarkModified();
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
    if (Doc_.WorldRadius != old) State_.MarkModified();
    Host_.PanelRefresh();
}

void DocumentCommands::PointCorrect() {
    bool any = false;
    for (const TPointGM* p : Doc_.Points.List())
        any = any || p->Master == p;
    Doc_.Points.PointCorrect();
    if (any) State_.MarkModified();
}

} // namespace gm
