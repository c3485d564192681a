#include "ui/ui_test_util.h"

#include "engine/VBEncrypt.h"
#include "ui/about/frmAbout.h"

namespace hushnote::test {
namespace {

// Every caption fits its control and every control stays inside its window.
void ExpectNothingClipped(QWidget& window, int points) {
    const QRect inside = window.rect();
    for (QWidget* w : window.findChildren<QWidget*>()) {
        if (!w->isVisible() || w->isWindow() || qobject_cast<QMenu*>(w)) {
            continue;
        }
        const std::string where =
            w->objectName().toStdString() + " at " + std::to_string(points) + " pt";
        EXPECT_TRUE(inside.contains(QRect(w->mapTo(&window, QPoint()), w->size()))) << where;
        QString text;
        QRect room;
        if (auto* b = qobject_cast<QPushButton*>(w)) {
            QStyleOptionButton option;
            option.initFrom(b);
            text = b->text();
            room = b->style()->subElementRect(QStyle::SE_PushButtonContents, &option, b);
        } else if (auto* l = qobject_cast<QLabel*>(w)) {
            text = l->text();
            room = l->contentsRect();
        } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
            EXPECT_GE(e->height(), e->sizeHint().height()) << where;
        }
        if (!text.isEmpty()) {
            const QFontMetrics metrics = w->fontMetrics();
            EXPECT_LE(metrics.horizontalAdvance(text.remove('&')), room.width()) << where;
            EXPECT_LE(metrics.height(), room.height()) << where;
        }
    }
}

// Both windows follow the application font while they are open, and are
// built for it when opened afterwards.
TEST_F(WindowTest, NothingClippedAtLargerFonts) {
    const QFont original = QApplication::font();
    frmMain& main = Open();
    ShowAboutWindow();
    for (int points : {12, 16}) {
        QFont font = original;
        font.setPointSize(points);
        QApplication::setFont(font);
        QApplication::processEvents(); // the font reaches the windows
        ExpectNothingClipped(main, points);
        ExpectNothingClipped(*CurrentAboutWindow(), points);
    }
    CurrentAboutWindow()->close();
    QApplication::processEvents();
    ShowAboutWindow();
    ExpectNothingClipped(Open(), 16);
    ExpectNothingClipped(*CurrentAboutWindow(), 16);
    CurrentAboutWindow()->close();
    QApplication::setFont(original);
}

// Copy Text copies the box exactly as Secure reads it, marked secret for
// clipboard managers unless it is secured text.
TEST_F(WindowTest, CopyTextMarksAllButSecuredTextSecret) {
    const QString secured = qt_codes::FromCodes(VBEncrypt::SecureMessage("secret", kPassword));
    // Exactly as Secure reads it: a no-break space stays one.
    const std::pair<QString, bool> cases[] = {
        // clang-format off
        {QStringLiteral("Meet me at noon"), true}, {QStringLiteral("Gr\u00FC\u00DFe\u00A0"), true}, {QString(), true},
        {secured.left(secured.size() - 4), true}, {secured, false}, {secured.left(5) + '\n' + secured.mid(5), false},
        // clang-format on
    };
    Open();
    for (const auto& [text, secret] : cases) {
        w_->SetMessageText(text);
        Run("Command1");
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        ASSERT_NE(data, nullptr);
        EXPECT_EQ(data->text(), QString(text).replace(QStringLiteral("\r\n"), "\n"));
        EXPECT_EQ(data->data(QStringLiteral("x-kde-passwordManagerHint")),
                  secret ? QByteArray("secret") : QByteArray())
            << text.toStdString();
    }
}

// The desktop's own dialog is allowed; as it has closed before the replace
// question, No shows it again with the same name, and the next answer counts.
TEST_F(WindowTest, DeclinedReplaceShowsTheDialogAgain) {
    WriteFile(Path("old.txt"), "old");
    QStringList offered;
    cDialog::SetNextFileAnswer([&](FileDialog& dlg) {
        EXPECT_FALSE(dlg.testOption(QFileDialog::DontUseNativeDialog));
        dlg.selectFile(Path("old.txt"));
        dlg.accept();
    });
    cDialog::SetNextFileAnswer([&](FileDialog& dlg) {
        offered = dlg.selectedFiles();
        dlg.selectFile(Path("new.txt"));
        dlg.accept();
    });
    MessageBox::SetNextAnswer(Answer::kNo);
    QString name;
    EXPECT_EQ(cDialog().GetSaveName(nullptr, name, QString()), Path("new.txt"));
    EXPECT_EQ(offered, QStringList{Path("old.txt")});
    EXPECT_EQ(Boxes().size(), 1u);
}

} // namespace
} // namespace hushnote::test
