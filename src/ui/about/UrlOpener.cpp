#include "ui/about/UrlOpener.h"

#include <QDesktopServices>
#include <QUrl>

#include <utility>

namespace hushnote {

namespace {

void SystemOpener(const QString& target, QWidget* /*owner*/) {
    // QDesktopServices starts the registered program detached (xdg-open on
    // Linux), so the window keeps running; the result is deliberately dropped.
    const QUrl url(target, QUrl::TolerantMode);
    if (url.isValid() && !url.isEmpty()) {
        (void)QDesktopServices::openUrl(url);
    }
}

UrlOpener& CurrentOpener() {
    static UrlOpener opener = SystemOpener;
    return opener;
}

} // namespace

void SetUrlOpener(UrlOpener opener) {
    CurrentOpener() = opener ? std::move(opener) : UrlOpener(SystemOpener);
}

void OpenWithSystem(const QString& target, QWidget* owner) {
    // Copy first: an opener may replace itself while it runs.
    const UrlOpener opener = CurrentOpener();
    opener(target, owner);
}

} // namespace hushnote
