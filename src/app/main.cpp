#include "hushnote/identity.h"
#include "ui/main/frmMain.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(hushnote::identity::kTitle));
    QApplication::setApplicationVersion(QString::fromStdString(hushnote::identity::FullVersion()));
    // Lets the desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.hushnote.Hushnote"));

    hushnote::frmMain window;
    window.show();
    // The program ends when its last window closes: an About window still
    // open keeps it running after the main window is gone.
    return app.exec();
}
