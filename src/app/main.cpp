#include "common/process.h"
#include "hushnote/identity.h"
#include "ui/main/frmMain.h"

#include <QApplication>
#include <QSocketNotifier>

#include <sys/socket.h>
#include <unistd.h>

namespace {

int gSignalPipe[2] = {-1, -1};

void OnSignal(int) {
    const char byte = 1;
    // Only async-signal-safe work here; the event loop does the rest.
    (void)!::write(gSignalPipe[0], &byte, 1);
}

// A logout, Ctrl+C or Ctrl+\ in the starting terminal or a kill closes the
// window the normal way: a running file operation stops and removes its
// temporary file.
void CloseOnTerminationSignals(QWidget& window) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, gSignalPipe) != 0) {
        return;
    }
    auto* notifier = new QSocketNotifier(gSignalPipe[1], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [] {
        char byte;
        (void)!::read(gSignalPipe[1], &byte, 1);
        // Every window, the About window too: the main window waits for a
        // running file to stop, and the program ends with its last window.
        QApplication::closeAllWindows();
    });
    hushnote::TerminationSignals::Answer(OnSignal, hushnote::Restart::Yes);
}

} // namespace

int main(int argc, char* argv[]) {
    hushnote::DisableCoreDumps();
    hushnote::HoldClosedStandardStreams();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(hushnote::identity::kTitle));
    QApplication::setApplicationVersion(QString::fromStdString(hushnote::identity::FullVersion()));
    // Lets the desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.hushnote.Hushnote"));

    hushnote::frmMain window;
    CloseOnTerminationSignals(window);
    window.show();
    // The program ends when its last window closes: an About window still
    // open keeps it running after the main window is gone.
    return app.exec();
}
