// The main window's side of the 3D panel's mouse and keyboard work.

#include "editor/Form_Main.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>

#include "editor/PanelController.h"
#include "platform/Panel3DWidget.h"

namespace gm {

void TFormMain::ConnectPanel() {
    PanelHooks hooks;
    hooks.PanelRefresh = [this] {
        EditMainWorldRadius->setText(QString::number(qRound(Doc.WorldRadius)));
    };
    hooks.Toggle = [this](ViewItem item) {
        switch (item) {
        case ViewItem::WorldLine:
            MM_View_WorldLine->trigger();
            break;
        case ViewItem::Background:
            MM_View_Background->trigger();
            break;
        case ViewItem::Point:
            Flags.Point = !Flags.Point;
            break;
        case ViewItem::Zone:
            Flags.Zone = !Flags.Zone;
            break;
        case ViewItem::None:
            break;
        }
    };
    hooks.Coord = [this](const QString& text) { LabelCoord->setText(text); };
    hooks.Message = [this](const std::string& text) { ShowMessage(text); };
    Panel_ = std::make_unique<PanelController>(this, Panel3D, Doc, Cam, Flags, std::move(hooks));
}

} // namespace gm
