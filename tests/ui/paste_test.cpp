// What the window makes of secured text that came back through a mail or a
// chat, and the form it gives for chats.
#include "ui/ui_test_util.h"

#include "engine/PastedText.h"
#include "engine/VBEncrypt.h"
#include "engine/Words.h"

namespace hushnote::test {
namespace {

const QString kMessage =
    QStringLiteral("Meet me at the station at noon, by the clock. ").repeated(4);

QString Secured() {
    return qt_codes::FromCodes(VBEncrypt::SecureMessage(Codes(kMessage), kPassword));
}

QString Said(std::string_view words) {
    return QString::fromLatin1(words.data(), static_cast<qsizetype>(words.size()));
}

// text broken into lines of width characters, each line given prefix.
QString Wrapped(const QString& text, int width, const QString& prefix) {
    QString out;
    for (int i = 0; i < text.size(); i += width) {
        out += prefix + text.mid(i, width) + '\n';
    }
    return out;
}

class PasteTest : public WindowTest {
protected:
    QPlainTextEdit* Box() { return Find<QPlainTextEdit>("txtMsg"); }
    // Pasted into the empty box with Ctrl+V, as the user does.
    void Paste(const QString& text) {
        Box()->clear();
        QGuiApplication::clipboard()->setText(text);
        QTest::keyClick(Box(), Qt::Key_V, Qt::ControlModifier);
    }
    QString Clipboard() { return QGuiApplication::clipboard()->text(); }
};

// Every paste gives the message back, or is de-secured and told; Ctrl+Z
// brings the pasted text back. The status line never moves a control, and a
// sentence too long for it is shortened there and whole in its tooltip.
TEST_F(PasteTest, DeSecureReadsWhatWasPasted) {
    const QString s = Secured();
    const QString short_ = QString(s).remove(s.size() / 2, 1);
    const QString changed = " " + Said(words::kCtrlZGetsPasteBack);
    const QString notSecured = " " + Said(words::kNotSecuredText) + changed;
    // after: the message afterwards, not checked when empty; box: how the box shown starts.
    // clang-format off
    const struct { const char* name; QString pasted, after = {}, status = {}, box = {}; } rows[] = {
        {"wrapped and quoted", Wrapped(s, 72, "> "), kMessage},
        {"zero-width and no-break spaces", s.left(30) + u'\u200B' + s.mid(30, 30) + u'\u00A0' + s.mid(60) + u'\uFEFF', kMessage},
        {"a character dropped", Wrapped(short_, 64, ""), {}, " " + Said(words::ChangedText(-1)) + changed},
        {"a character added", "```\n" + s.left(40) + '\\' + s.mid(40) + "\n```", {}, " " + Said(words::ChangedText(1)) + changed},
        {"prose", "Hi, see you at eight.", {}, notSecured},
        {"too short for a header", "Hi", "ERR", notSecured},
        {"a header alone", s.left(8), "ERR2", notSecured},
        {"outside the code page", QStringLiteral("snow \u2603"), {}, {}, "Error #5\r\n\r\n"},
    };
    // clang-format on
    frmMain& w = Open();
    const auto geometries = [&] {
        QList<QRect> all{w.geometry()};
        for (const QWidget* c : w.findChildren<QWidget*>()) {
            all << c->geometry();
        }
        return all;
    };
    const QList<QRect> before = geometries();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ResetSeams();
        Paste(row.pasted);
        const QString pasted = w.MessageText();
        Password()->setText(kPassword);
        Run("cmdDeSecure");
        ASSERT_EQ(Boxes().size(), row.box.isEmpty() ? 0u : 1u);
        if (!row.box.isEmpty()) {
            EXPECT_TRUE(Boxes()[0].text.startsWith(row.box));
            EXPECT_EQ(w.MessageText(), pasted);
            continue;
        }
        EXPECT_TRUE(row.after.isEmpty() || w.MessageText() == row.after)
            << w.MessageText().toStdString();
        EXPECT_NE(w.MessageText(), pasted);
        EXPECT_EQ(w.StatusText(), row.status);
        const auto* status = Find<QLabel>("lblStatus");
        // Shown whole, or cut after a word and whole in the tooltip.
        const QString shown = status->text();
        EXPECT_TRUE(shown == row.status ||
                    (shown.endsWith(u'\u2026') && row.status.startsWith(shown.chopped(1) + ' ')))
            << shown.toStdString();
        EXPECT_EQ(status->toolTip(), shown == row.status ? QString() : row.status);
        EXPECT_LE(status->fontMetrics().horizontalAdvance(status->text()),
                  status->contentsRect().width());
        QTest::keyClick(Box(), Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(w.MessageText(), pasted);
    }
    EXPECT_EQ(geometries(), before);
}

// Copy for Chat is offered only for secured text, in the box's context menu
// and on its shortcut, and copies the secured text alone: fenced as code for
// plain text, a <pre> block for rich editors.
TEST_F(PasteTest, CopyForChat) {
    const QString s = Secured();
    const QString fenced = QString::fromLatin1(pasted::ChatForm(Codes(s)));
    ASSERT_TRUE(fenced.startsWith("```\n?") && fenced.endsWith("\n```"));
    // copied: what the clipboard then holds; empty when the command is off.
    const struct {
        QString box, copied;
    } rows[] = {
        {"Hello, see you at eight?", {}}, {s.left(s.size() - 1), {}}, {s, fenced},
        {Wrapped(s, 72, "> "), fenced},   {fenced, fenced},
    };
    frmMain& w = Open();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    auto* copy = Find<QAction>("mnuCopyForChat");
    for (const auto& row : rows) {
        SCOPED_TRACE(row.box.left(30).toStdString());
        ResetSeams();
        w.SetMessageText(row.box);
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        EXPECT_EQ(copy->isEnabled(), !row.copied.isEmpty());
        Box()->setFocus();
        QTest::keyClick(Box(), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_EQ(Clipboard(), row.copied.isEmpty() ? QStringLiteral("before") : row.copied);
        EXPECT_EQ(Boxes().size(), row.copied.isEmpty() ? 0u : 1u);
        EXPECT_TRUE(Boxes().empty() || Boxes()[0].text == Said(words::kTextCopied));
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        EXPECT_FALSE(data->hasFormat(QStringLiteral("x-kde-passwordManagerHint")));
        EXPECT_EQ(data->html(), row.copied.isEmpty() ? QString() : "<pre>" + s + "</pre>");
    }
    // The menu is the box's own, with the command after it. The menu and its
    // own actions are gone once closed: what they said is kept.
    QStringList offered;
    bool copyLast = false;
    QTimer::singleShot(0, &w, [&] {
        if (QWidget* menu = QApplication::activePopupWidget()) {
            for (const QAction* a : menu->actions()) {
                offered << a->text();
            }
            copyLast = menu->actions().last() == copy;
            menu->close();
        }
    });
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, QPoint(5, 5),
                                Box()->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(Box()->viewport(), &menuEvent);
    ASSERT_GT(offered.size(), 5);
    EXPECT_TRUE(offered[5].startsWith("&Paste"));
    EXPECT_TRUE(copyLast);
}

} // namespace
} // namespace hushnote::test
