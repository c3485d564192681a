// Renders the program's own icon drawing (the one the windows show) to the
// PNG files of the hicolor theme, so the desktop shows the same picture as the
// running program. Run through packaging/icons/render-icons.sh whenever the
// drawing changes; the PNG files are kept in the repository.
#include "ui/main/AppIcon.h"

#include <QGuiApplication>
#include <cstdio>

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT-FOLDER\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    for (int size : {16, 32, 48, 128, 256}) {
        const QString name = QStringLiteral("%1/%2.png").arg(folder).arg(size);
        if (!hushnote::DrawAppIcon(size).save(name, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(name));
            return 1;
        }
    }
    return 0;
}
