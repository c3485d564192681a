// What the window tells beyond the commands' own messages: a guess at a wrong
// password after De-Secure, and the mark that keeps a message in clear out of
// clipboard history.
#include "ui/ui_test_util.h"

#include "cipher/VBEncrypt.h"

namespace hushnote::test {
namespace {

using TextHintsTest = WindowTest;

TEST_F(TextHintsTest, DeSecureWithAWrongPasswordAsksAboutIt) {
    const QString secured =
        qt_codes::FromCodes(VBEncrypt::SecureMessage("Meet me at the station at noon.", kPassword));
    const QString wrong = QStringLiteral(" Wrong password? Ctrl+Z undoes.");
    const struct {
        QString text;
        QString password;
        QString status;
    } cases[] = {
        {secured, QStringLiteral("pass wort"), wrong},
        // Emptied again by the next De-Secure that reads as text.
        {secured, kPassword, QString()},
        {secured, QStringLiteral("pass wort"), wrong},
        {QStringLiteral("hello"), kPassword, QString()}, // ERR2
    };
    Open();
    for (const auto& c : cases) {
        w_->SetMessageText(c.text);
        Password()->setText(c.password);
        Run("cmdDeSecure");
        EXPECT_EQ(w_->StatusText(), c.status) << c.password.toStdString();
    }
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(TextHintsTest, CopyTextMarksAllButSecuredTextSecret) {
    const QString secured = qt_codes::FromCodes(VBEncrypt::SecureMessage("secret", kPassword));
    const struct {
        QString text;
        bool secret;
    } cases[] = {
        {QStringLiteral("Meet me at noon"), true},
        {QStringLiteral("Gr\u00FC\u00DFe"), true},
        {QString(), true},
        {secured.left(secured.size() - 4), true},
        {secured, false},
        {secured.left(5) + '\n' + secured.mid(5), false},
    };
    Open();
    for (const auto& c : cases) {
        ResetSeams();
        w_->SetMessageText(c.text);
        Run("Command1");
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        ASSERT_NE(data, nullptr);
        EXPECT_EQ(data->text(), QString(c.text).replace(QStringLiteral("\r\n"), "\n"));
        EXPECT_EQ(data->data(QStringLiteral("x-kde-passwordManagerHint")),
                  c.secret ? QByteArray("secret") : QByteArray())
            << c.text.toStdString();
    }
}

} // namespace
} // namespace hushnote::test
