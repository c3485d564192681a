#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QTimer>

#include <memory>
#include <optional>

class QLabel;
class QObject;

namespace hushnote {

// The main window's status line. A file reports every 4 KiB; setting and
// painting the label for each report would cost more than the ciphering. So
// a report is shown, and the window repainted, at most every 20 ms; one that
// comes sooner waits for a timer, which shows the latest.
//
// The line has one row and a fixed width, and some sentences are longer: such
// a text is cut after its last word that fits, and the whole text is the
// label's tooltip.
class StatusLine {
public:
    explicit StatusLine(QLabel* label);
    ~StatusLine();

    // Shows text now, letting pending events run, or within 20 ms.
    void Report(const QString& text);
    // A report of which there are few: shown and painted now.
    void ReportNow(const QString& text);
    // A direct write wins over a report still waiting to be shown.
    void Set(const QString& text);
    // The latest text, also when it is still waiting to be shown.
    QString Text() const;
    // The next report is shown at once, however soon it comes.
    void ShowNextAtOnce() { lastPump_.invalidate(); }

private:
    void Flush();
    // Puts text on the label, shortened to fit its width.
    void Show(const QString& text);

    static constexpr int kRepaintMs = 20;

    QLabel* label_;
    QElapsedTimer lastPump_;
    QTimer flush_;
    std::optional<QString> pending_;
    QString shown_; // whole, as set
    std::unique_ptr<QObject> refit_;
};

} // namespace hushnote
