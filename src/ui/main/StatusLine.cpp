#include "ui/main/StatusLine.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLabel>

#include <functional>
#include <utility>

namespace hushnote {
namespace {

// Shortens the text again when the label's width or font changes.
class Refit : public QObject {
public:
    Refit(QLabel* label, std::function<void()> refit) : refit_(std::move(refit)) {
        label->installEventFilter(this);
    }
    bool eventFilter(QObject* /*watched*/, QEvent* e) override {
        if (e->type() == QEvent::Resize || e->type() == QEvent::FontChange) {
            refit_();
        }
        return false;
    }

private:
    std::function<void()> refit_;
};

} // namespace

StatusLine::StatusLine(QLabel* label)
    : label_(label), refit_(std::make_unique<Refit>(label, [this] { Show(shown_); })) {
    flush_.setSingleShot(true);
    flush_.setInterval(kRepaintMs);
    QObject::connect(&flush_, &QTimer::timeout, label_, [this] { Flush(); });
}

// Deleting the filter takes it off the label, which may outlive this line.
StatusLine::~StatusLine() = default;

void StatusLine::Show(const QString& text) {
    shown_ = text;
    QString fitted =
        label_->fontMetrics().elidedText(text, Qt::ElideRight, label_->contentsRect().width());
    if (fitted != text) {
        // At a word's end: half a word reads as another word.
        const qsizetype space = fitted.lastIndexOf(QLatin1Char(' '), fitted.size() - 2);
        if (space > 0) {
            fitted = fitted.left(space) + QChar(0x2026);
        }
    }
    label_->setText(fitted);
    const QString whole = fitted == text ? QString() : text;
    label_->setToolTip(whole);
    label_->setAccessibleDescription(whole);
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
        Show(*pending_);
        pending_.reset();
    }
}

void StatusLine::Set(const QString& text) {
    flush_.stop();
    pending_.reset();
    Show(text);
}

QString StatusLine::Text() const {
    return pending_ ? *pending_ : shown_;
}

} // namespace hushnote
