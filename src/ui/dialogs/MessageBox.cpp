#include "ui/dialogs/MessageBox.h"

#include "common/error.h"
#include "common/message.h"
#include "hushnote/identity.h"

#include <QFile>
#include <QMessageBox>
#include <QPushButton>

#include <deque>

namespace hushnote {

QString MessageBox::ShownPath(const QString& path) {
    return ShownPath(QFile::encodeName(path));
}

QString MessageBox::ShownPath(const QByteArray& path) {
    // Escaped, it is UTF-8 throughout.
    return QString::fromStdString(EscapedPath(std::string_view(path.constData(), path.size())));
}
namespace {

struct Seam {
    bool redirected = false;
    std::deque<MessageBox::Answer> answers;
    std::vector<MessageBox::Shown> history;
};

Seam& seam() {
    static Seam s;
    return s;
}

QMessageBox::Icon ToQt(MessageBox::Icon icon) {
    switch (icon) {
    case MessageBox::Icon::Information:
        return QMessageBox::Information;
    case MessageBox::Icon::Question:
        return QMessageBox::Question;
    case MessageBox::Icon::Warning:
        return QMessageBox::Warning;
    case MessageBox::Icon::Critical:
        return QMessageBox::Critical;
    case MessageBox::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

MessageBox::Answer MessageBox::Show(QWidget* parent, const QString& text, Icon icon,
                                    Buttons buttons, const QString& caption) {
    Shown shown{caption.isEmpty() ? QString::fromUtf8(identity::kTitle) : caption, text, icon,
                buttons, Answer::kOk};
    Seam& s = seam();
    if (s.redirected) {
        if (!s.answers.empty()) {
            shown.answer = s.answers.front();
            s.answers.pop_front();
        } else {
            shown.answer = buttons == Buttons::Ok ? Answer::kOk : Answer::kNo;
        }
        s.history.push_back(shown);
        return shown.answer;
    }

    // The label wants plain line feeds; a CR would show as a stray glyph.
    QString shownText = text;
    shownText.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(ToQt(icon), shown.caption, shownText, QMessageBox::NoButton, parent);
    box.setTextFormat(Qt::PlainText);
    if (buttons != Buttons::Ok) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(buttons == Buttons::YesNo ? QMessageBox::Yes : QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes ? Answer::kYes : Answer::kNo;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return Answer::kOk;
}

void MessageBox::ShowError(QWidget* parent, int number, const QString& description) {
    Show(parent, QString::fromStdString(FormatErrorMessage({number, description.toStdString()})),
         Icon::Critical, Buttons::Ok);
}

void MessageBox::RedirectForTests(bool on) {
    Seam& s = seam();
    s.redirected = on;
    s.answers.clear();
    s.history.clear();
}

void MessageBox::SetNextAnswer(Answer answer) {
    seam().answers.push_back(answer);
}

const std::vector<MessageBox::Shown>& MessageBox::History() {
    return seam().history;
}

void MessageBox::ClearHistory() {
    seam().history.clear();
}

} // namespace hushnote
