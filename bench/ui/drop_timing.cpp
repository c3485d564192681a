// Loads one text file by dropping it on the message box and compares the
// time with setPlainText of the same text on a fresh box:
//
//   drop_timing [bytes] [rounds]
#include "ui/dialogs/MessageBox.h"
#include "ui/main/frmMain.h"

#include "timing.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QUrl>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>

using hushnote::bench::Seconds;

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const auto [bytes, rounds] = hushnote::bench::ParseArguments(argc, argv, 10 * 1024 * 1024);

    // Lines of 20 to 99 characters with CR LF breaks, as a text file has.
    QByteArray text;
    text.reserve(bytes + 128);
    for (int line = 0; text.size() < bytes; ++line) {
        const int length = 20 + (line * 37) % 80;
        for (int i = 0; i < length; ++i) {
            text += static_cast<char>('a' + (line + i) % 26);
        }
        text += "\r\n";
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.txt"));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size()) {
            return 1;
        }
    }
    const QString plain = QString::fromLatin1(text).replace(QStringLiteral("\r\n"), "\n");

    hushnote::MessageBox::RedirectForTests(true);
    double bestSet = 1e9;
    double bestDrop = 1e9;
    for (int r = 0; r < rounds; ++r) {
        {
            QPlainTextEdit box;
            box.resize(346, 172);
            box.show();
            QCoreApplication::processEvents();
            bestSet = std::min(bestSet, Seconds([&] {
                                   box.setPlainText(plain);
                                   QCoreApplication::processEvents();
                               }));
        }
        {
            hushnote::frmMain window;
            window.show();
            QCoreApplication::processEvents();
            auto* box = window.findChild<QPlainTextEdit*>(QStringLiteral("txtMsg"));
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(path)});
            bestDrop = std::min(bestDrop, Seconds([&] {
                                    // Over the box, then released, as a real drag.
                                    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data,
                                                          Qt::LeftButton, Qt::NoModifier);
                                    QApplication::sendEvent(box->viewport(), &enter);
                                    QDragMoveEvent move(QPoint(10, 10), Qt::CopyAction, &data,
                                                        Qt::LeftButton, Qt::NoModifier);
                                    QApplication::sendEvent(box->viewport(), &move);
                                    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data,
                                                    Qt::LeftButton, Qt::NoModifier);
                                    QApplication::sendEvent(box->viewport(), &drop);
                                    QCoreApplication::processEvents();
                                }));
            if (box->document()->characterCount() < plain.size()) {
                std::fprintf(stderr, "the drop did not load the file (%d, %d) %s\n",
                             box->document()->characterCount(), static_cast<int>(plain.size()),
                             hushnote::MessageBox::History().empty()
                                 ? ""
                                 : qPrintable(hushnote::MessageBox::History().back().text));
                return 1;
            }
        }
    }
    std::printf("bytes %lld, best of %d\nsetPlainText: %.3f s\ndrop: %.3f s\nratio: %.2f\n",
                static_cast<long long>(text.size()), rounds, bestSet, bestDrop, bestDrop / bestSet);
    return 0;
}
