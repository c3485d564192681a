// File, Save Receiver Page... and the one place that puts a message into the
// page, which hushnote-cli receiver-page shares.

#include "ui_test_util.h"

#include "common/error.h"
#include "engine/VBEncrypt.h"
#include "web/ReceiverPage.h"

namespace hushnote::test {
namespace {

const std::string kPage =
    R"(<textarea id="txtMsg" readonly></textarea>)"
    "\n<p id=\"hint\" hidden>Password hint: <span id=\"hint-text\"></span></p>\n";

// The text in the box and the hint shown, in the plain HTML: a page whose
// script cannot run still shows them.
std::string Carried(const std::string& text, const std::string& hint) {
    return R"(<textarea id="txtMsg" readonly>)" + text + "</textarea>\n<p id=\"hint\"" +
           (hint.empty() ? " hidden" : "") + R"(>Password hint: <span id="hint-text">)" + hint +
           "</span></p>\n";
}

// Each row: what the box holds, the answer to "Put the secured message in the
// page?" (none: not asked), the hint typed, and what the saved page holds.
TEST_F(WindowTest, SaveReceiverPage) {
    const std::string secured = VBEncrypt::SecureMessage("see you at 10", kPassword);
    const QString wrapped =
        QString::fromStdString(secured.substr(0, 9) + "\r\n" + secured.substr(9));
    // clang-format off
    const struct { QString box; std::optional<Answer> answer; QString hint; std::string page; } cases[] = {
        {"", std::nullopt, "", kPage},
        {"just a note", std::nullopt, "", kPage},
        {"Grüße ☺", std::nullopt, "", kPage},
        {wrapped, Answer::kNo, "", kPage},
        {wrapped, Answer::kYes, "", Carried(secured, "")},
        {wrapped, Answer::kYes, "our <dog> & \"cat\"", Carried(secured, "our &lt;dog&gt; &amp; &quot;cat&quot;")},
    };
    // clang-format on
    QDir().mkpath(Path("bin"));
    WriteFile(Path("bin/hushnote.html"), QByteArray::fromStdString(kPage));
    for (const auto& c : cases) {
        w_ = std::make_unique<frmMain>(Path("bin").toStdU16String());
        ResetSeams();
        w_->SetMessageText(c.box);
        if (c.answer) {
            MessageBox::SetNextAnswer(*c.answer);
            frmMain::SetNextHintForTests(c.hint);
        }
        QFile::remove(Path("saved.html"));
        AnswerFiles({"saved.html"});
        Run("mnuFileItem_3");
        EXPECT_EQ(Boxes().size(), c.answer ? 1U : 0U) << c.box.toStdString();
        EXPECT_EQ(ReadFile(Path("saved.html")).toStdString(), c.page) << c.box.toStdString();
    }
    // No page beside the program: no menu item.
    Open();
    EXPECT_EQ(w_->findChild<QAction*>(QStringLiteral("mnuFileItem_3")), nullptr);
}

TEST(ReceiverPage, RefusesWhatCannotTravelOrHasNoPlace) {
    const std::string secured = VBEncrypt::SecureMessage("x", "pw");
    EXPECT_THROW(web::CarryMessage(kPage, "hello", ""), Failure);
    EXPECT_THROW(web::CarryMessage(kPage, secured + "<", ""), Failure);
    EXPECT_THROW(web::CarryMessage("<html></html>", secured, ""), Failure);
    EXPECT_THROW(web::CarryMessage(kPage + kPage, secured, ""), Failure);
    // A chat dropped a character: it would travel as a wrong message.
    EXPECT_THROW(web::CarryMessage(kPage, secured.substr(1), ""), Failure);
    // "0" reads as "|": the data block holds "?" to "~" only.
    std::string withZero = secured;
    withZero.back() = '|';
    std::string asZero = withZero;
    asZero.back() = '0';
    EXPECT_EQ(web::CarryMessage(kPage, asZero, ""), Carried(withZero, ""));
    // What a mail quoted and a chat fenced, the page carries clean.
    EXPECT_EQ(web::CarryMessage(kPage, "> ```\n> " + asZero + "\n> ```\n", ""),
              Carried(withZero, ""));
}

} // namespace
} // namespace hushnote::test
