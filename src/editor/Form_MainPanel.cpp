// The main window's side of the 3D panel's mouse and keyboard work.

#include "editor/Form_Main.h"

#include <QAction>
#include <QLabel>

#include "editor/PanelController.h"
#include "platform/Panel3DWidget.h"

namespace gm {

void TFormMain::ConnectPanel() {
    PanelHooks hooks;
    hooks.PanelRefresh = [this] { PanelRefresh(); };
    // Every edit in the panel is an undo step: a key or click that changed something is one, a
    // drag is one at its release. The modified flag follows the history; during a drag the
    // caption shows the change at once.
    hooks.BeforeEvent = [this](bool dragging, bool dragInput) {
        PanelSteps_.Before(dragging, dragInput);
    };
    hooks.AfterEvent = [this](bool modified, bool dragging, const PanelEditName& edit) {
        PanelSteps_.After(modified, dragging, edit.Label, edit.Sections);
        if (modified) StatusClear(); // an edit in the panel is the next command
        if (modified && dragging) DocState.MarkModified();
    };
    // The keys work the View menu's items exactly as clicks on them do.
    hooks.Toggle = [this](ViewItem item) {
        switch (item) {
        case ViewItem::Point:
            MM_View_Point->trigger();
            break;
        case ViewItem::WorldLine:
            MM_View_WorldLine->trigger();
            break;
        case ViewItem::Background:
            MM_View_Background->trigger();
            break;
        case ViewItem::Zone:
            // Everyone presses Ctrl+Z for undo once: the status bar says what happened.
            MM_View_Zone->trigger();
            ZonesHiddenByKey_ = !Flags.Zone;
            StatusRefresh();
            break;
        case ViewItem::None:
            break;
        }
    };
    hooks.ViewChecks = [this] {
        MM_View_WorldLine->setChecked(Flags.WorldLine);
        MM_View_Point->setChecked(Flags.Point);
        MM_View_Zone->setChecked(Flags.Zone);
        MM_View_Background->setChecked(Flags.Background);
        StatusRefresh(); // Z shows hidden zones again
    };
    hooks.Coord = [this](const QString& text) { LabelCoord->setText(text); };
    hooks.Message = [this](const std::string& text) { ShowMessage(text); };
    Panel_ = std::make_unique<PanelController>(this, Panel3D, Doc, Cam, Flags, std::move(hooks));
}

} // namespace gm
