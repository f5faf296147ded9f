#include "editor/CentreOnDesktop.h"

#include <QRect>
#include <QScreen>
#include <QWidget>

namespace gm {

void CentreOnDesktop(QWidget& w) {
    if (const QScreen* s = w.screen()) {
        QRect frame = w.frameGeometry();
        frame.moveCenter(s->availableGeometry().center());
        w.move(frame.topLeft());
    }
}

} // namespace gm
