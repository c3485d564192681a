#include "ui/main/StatusLine.h"

#include <QCoreApplication>
#include <QLabel>

namespace hushnote {

StatusLine::StatusLine(QLabel* label) : label_(label) {
    flush_.setSingleShot(true);
    flush_.setInterval(kRepaintMs);
    QObject::connect(&flush_, &QTimer::timeout, label_, [this] { Flush(); });
}

void StatusLine::Report(const QString& text) {
    pending_ = text;
    if (!lastPump_.isValid() || lastPump_.elapsed() >= kRepaintMs) {
        Flush();
        QCoreApplication::processEvents();
        lastPump_.start();
    } else if (!flush_.isActive()) {
        flush_.start();
    }
}

void StatusLine::ReportNow(const QString& text) {
    Report(text);
    Flush();
    QCoreApplication::processEvents();
}

void StatusLine::Flush() {
    flush_.stop();
    if (pending_) {
        label_->setText(*pending_);
        pending_.reset();
    }
}

void StatusLine::Set(const QString& text) {
    flush_.stop();
    pending_.reset();
    label_->setText(text);
}

QString StatusLine::Text() const {
    return pending_ ? *pending_ : label_->text();
}

} // namespace hushnote
