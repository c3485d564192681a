#pragma once

#include <QString>

#include <vector>

class QWidget;

namespace hushnote {

// The program's message boxes: caption, text, icon and buttons, answered with
// the button pressed.
class MessageBox {
public:
    enum class Icon { None, Information, Question, Warning, Critical };
    // YesNo has Yes as the default button, the one Enter presses;
    // YesNoDefaultNo asks about a step seldom meant, with No there.
    enum class Buttons { Ok, YesNo, YesNoDefaultNo };

    // The numbers are the ones the answers have always had.
    enum class Answer { kOk = 1, kYes = 6, kNo = 7 };

    // What was shown, for tests.
    struct Shown {
        QString caption;
        QString text; // as passed in, line breaks as CR LF
        Icon icon = Icon::None;
        Buttons buttons = Buttons::Ok;
        Answer answer = Answer::kOk;
    };

    // Shows the box modal to parent (or to the application when null) and
    // returns the button pressed. Closing a Yes/No box with Esc or its close
    // button answers No. The caption defaults to the program's title.
    static Answer Show(QWidget* parent, const QString& text, Icon icon = Icon::Information,
                       Buttons buttons = Buttons::Ok, const QString& caption = {});

    // A path as a message shows it: control characters escaped, so that a
    // crafted file name cannot fake a line of the message.
    static QString ShownPath(const QString& path);
    static QString ShownPath(const QByteArray& path);

    // "Error #n" + CR LF CR LF + description, with the critical icon.
    static void ShowError(QWidget* parent, int number, const QString& description);

    // Test seam. While answering is redirected, no box is shown: each one is
    // recorded and answered with the next queued answer, or, when none is
    // queued, with OK (Ok boxes) or No (Yes/No boxes).
    static void RedirectForTests(bool on);
    static void SetNextAnswer(Answer answer);
    static const std::vector<Shown>& History();
    static void ClearHistory();
};

} // namespace hushnote
