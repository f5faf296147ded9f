#pragma once
// The editor's dialogs open centred on the desktop the window is on, not over the main window.

class QWidget;

namespace gm {

void CentreOnDesktop(QWidget& w);

} // namespace gm
