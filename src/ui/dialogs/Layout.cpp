#include "ui/dialogs/Layout.h"

#include <QScreen>
#include <QWidget>

namespace hushnote {

void CentreOnScreen(QWidget& window, const QScreen* screen) {
    if (screen == nullptr) {
        return;
    }
    QRect frame = window.frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window.move(frame.topLeft());
}

} // namespace hushnote
