#pragma once
// The panel's keys, taken from every key press the application receives: a press reaches the
// panel only while the main window is active and no edit or combo box (nor a popup) has the
// keyboard focus, so typing into the property pages is never taken as a command. Esc in such a
// field, or a click on the empty area around the panel, gives the keyboard back to the panel.
// Z and C ignore auto-repeat. The filter never consumes a key; the focused control still gets it.

#include <functional>

#include <QObject>

#include "editing/PanelInput.h"

class QWidget;

namespace gm {

class PanelKeyFilter : public QObject {
    Q_OBJECT

public:
    using Handler = std::function<void(const PanelKey&)>;

    // window: the main window; panel: the widget whose pixels the cursor position is given in
    // (its parent is the area around it).
    PanelKeyFilter(QWidget* window, QWidget* panel, Handler handler, QObject* parent = nullptr);

    // The panel's code of a Qt key; 0 for keys the panel does not know.
    static int KeyCode(int qtKey);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* Window_;
    QWidget* Panel_;
    Handler Handler_;
};

} // namespace gm
