// Secures one file through the main window (dialogs answered through their
// seam, progress shown in the status line) and through the cipher object
// alone, and prints both times:
//
//   window_timing [bytes] [rounds]
//
// The library is used when it sits next to this program, as for the real one.
#include "cipher/CCipher.h"
#include "ui/dialogs/MessageBox.h"
#include "ui/dialogs/cDialog.h"
#include "ui/main/frmMain.h"

#include "timing.h"
#include <QAction>

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>

using hushnote::bench::Seconds;

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const auto [bytes, rounds] = hushnote::bench::ParseArguments(argc, argv, 16'777'215);

    QTemporaryDir dir;
    const QString in = dir.filePath(QStringLiteral("input.bin"));
    {
        QByteArray data(bytes, '\0');
        std::mt19937 rng(1);
        for (char& c : data) {
            c = static_cast<char>(rng());
        }
        QFile f(in);
        if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(in));
            return 1;
        }
    }
    const std::string password = "timing password";

    hushnote::MessageBox::RedirectForTests(true);
    hushnote::cDialog::RedirectForTests(true);
    hushnote::frmMain window;
    window.show();
    QCoreApplication::processEvents();
    auto* passwordBox = window.findChild<QLineEdit*>(QStringLiteral("txtPassword"));
    auto* secureFile = window.findChild<QAction*>(QStringLiteral("mnuFileItem_0"));

    double bestEngine = 1e9;
    double bestWindow = 1e9;
    for (int r = 0; r < rounds; ++r) {
        const QString outEngine = dir.filePath(QStringLiteral("engine.sec"));
        bestEngine =
            std::min(bestEngine, Seconds([&] {
                         hushnote::CCipher cipher;
                         cipher.SecureFile(QFile::encodeName(in).toStdString(),
                                           QFile::encodeName(outEngine).toStdString(), password);
                     }));
        const QString outWindow = dir.filePath(QStringLiteral("window.sec"));
        QFile::remove(outWindow);
        passwordBox->setText(QString::fromStdString(password));
        hushnote::cDialog::AnswerNextWith(in);
        hushnote::cDialog::AnswerNextWith(outWindow);
        bestWindow = std::min(bestWindow, Seconds([&] { secureFile->trigger(); }));
        if (!hushnote::MessageBox::History().empty()) {
            std::fprintf(stderr, "unexpected message: %s\n",
                         qPrintable(hushnote::MessageBox::History().back().text));
            return 1;
        }
        QFile a(outEngine);
        QFile b(outWindow);
        if (!a.open(QIODevice::ReadOnly) || !b.open(QIODevice::ReadOnly) ||
            a.readAll() != b.readAll()) {
            std::fprintf(stderr, "the two secured files differ\n");
            return 1;
        }
    }
    // What the two dialogs alone cost (built, answered, the save one cancelled).
    double dialogs = 1e9;
    for (int r = 0; r < rounds; ++r) {
        passwordBox->setText(QString::fromStdString(password));
        hushnote::cDialog::AnswerNextWith(in);
        hushnote::cDialog::CancelNext();
        dialogs = std::min(dialogs, Seconds([&] { secureFile->trigger(); }));
    }
    std::printf("the two dialogs alone: %.3f s\n", dialogs);
    std::printf("bytes %lld, best of %d\nengine alone: %.3f s\nthrough the window: %.3f s\n"
                "ratio: %.2f\n",
                static_cast<long long>(bytes), rounds, bestEngine, bestWindow,
                bestWindow / bestEngine);
    return 0;
}
