// Shows the About window alone, for looking at its layout:
//   about_preview            shows it until it is closed
//   about_preview out.png    saves a picture of its client area and quits
#include "ui/about/frmAbout.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    hushnote::ShowAboutWindow();
    if (argc > 1) {
        const QString out = QString::fromLocal8Bit(argv[1]);
        QTimer::singleShot(500, [out] {
            hushnote::frmAbout* about = hushnote::CurrentAboutWindow();
            const bool saved = about != nullptr && about->grab().save(out);
            QCoreApplication::exit(saved ? 0 : 1);
        });
    }
    return QApplication::exec();
}
