// Getting around the world: View > Reset view and View > Frame selection, and framing an object
// asked for by other parts of the window.

#include "editor/Form_Main.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>

#include "editing/CameraFrame.h"
#include "platform/Panel3DWidget.h"

namespace gm {

void TFormMain::BuildNavigateItems(QMenu* view) {
    view->addSeparator();
    MM_View_ResetView = view->addAction("Reset view");
    MM_View_ResetView->setObjectName("MM_View_ResetView");
    MM_View_FrameSelection = view->addAction("Frame selection");
    MM_View_FrameSelection->setObjectName("MM_View_FrameSelection");
    MM_View_FrameSelection->setShortcut(QKeySequence(Qt::Key_F));
    connect(MM_View_ResetView, &QAction::triggered, this, [this] { ResetView(); });
    connect(MM_View_FrameSelection, &QAction::triggered, this, [this] { FrameSelection(); });
}

void TFormMain::ResetView() {
    CameraResetView(Cam, Doc.WorldRadius);
    RedrawNow();
}

bool TFormMain::FrameSelection() {
    if (!CameraFrameCurrent(Cam, Doc)) return false;
    RedrawNow();
    return true;
}

bool TFormMain::FrameObject(const TgmWorldUnit& unit) {
    if (!CameraFrameUnit(Cam, Doc, unit)) return false;
    RedrawNow();
    return true;
}

bool TFormMain::FrameObject(const TgmZone& zone) {
    if (!CameraFrameZone(Cam, Doc, zone)) return false;
    RedrawNow();
    return true;
}

} // namespace gm
