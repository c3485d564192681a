#pragma once

#include "ui/about/UrlOpener.h"

#include <QString>
#include <QStringList>

// Puts a recorder in place of the system's opener for one test, so nothing is
// launched and the test sees every address handed over.
class RecordingOpener {
public:
    RecordingOpener() {
        hushnote::SetUrlOpener([this](const QString& target, QWidget* owner) {
            urls.append(target);
            owners.append(owner);
        });
    }
    ~RecordingOpener() { hushnote::SetUrlOpener({}); }
    RecordingOpener(const RecordingOpener&) = delete;
    RecordingOpener& operator=(const RecordingOpener&) = delete;

    QStringList urls;
    QList<QWidget*> owners;
};
