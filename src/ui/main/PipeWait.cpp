#include "ui/main/PipeWait.h"

#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

namespace hushnote {

bool WaitUntilWritable(int fd, const std::function<bool()>& stop) {
    if (stop()) {
        return false;
    }
    QEventLoop loop;
    QSocketNotifier writable(fd, QSocketNotifier::Write);
    QObject::connect(&writable, &QSocketNotifier::activated, &loop, &QEventLoop::quit);
    // A close asked for meanwhile sets a flag only; look at it now and then.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (stop()) {
            loop.quit();
        }
    });
    poll.start(50);
    loop.exec();
    return !stop();
}

} // namespace hushnote
