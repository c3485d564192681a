// File, Save Receiver Page... and the one place that puts a message into the
// page, which hushnote-cli receiver-page shares.

#include "ui_test_util.h"

#include "common/error.h"
#include "engine/VBEncrypt.h"
#include "web/ReceiverPage.h"

#include <sys/stat.h>

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
// page?" (none: not asked), the hints typed in turn (each one refused shows a
// box and asks again), and what the saved page holds.
TEST_F(WindowTest, SaveReceiverPage) {
    const std::string secured = VBEncrypt::SecureMessage("see you at 10", kPassword);
    const QString wrapped =
        QString::fromStdString(secured.substr(0, 9) + "\r\n" + secured.substr(9));
    // clang-format off
    const struct { QString box; std::optional<Answer> answer; QStringList hints; std::string page; } cases[] = {
        {"", std::nullopt, {}, kPage},
        {"just a note", std::nullopt, {}, kPage},
        {"Grüße ☺", std::nullopt, {}, kPage},
        {wrapped, Answer::kNo, {}, kPage},
        {wrapped, Answer::kYes, {""}, Carried(secured, "")},
        {wrapped, Answer::kYes, {"our <dog> & \"cat\""}, Carried(secured, "our &lt;dog&gt; &amp; &quot;cat&quot;")},
        {wrapped, Answer::kYes, {"dog\u202etac", "dog\x1b", "dog"}, Carried(secured, "dog")},
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
            frmMain::SetNextHintsForTests(c.hints);
        }
        QFile::remove(Path("saved.html"));
        AnswerFiles({"saved.html"});
        Run("mnuFileItem_3");
        EXPECT_EQ(Boxes().size(), c.answer ? std::max<std::size_t>(c.hints.size(), 1) : 0U)
            << c.box.toStdString();
        EXPECT_EQ(ReadFile(Path("saved.html")).toStdString(), c.page) << c.box.toStdString();
    }
    // No page beside the program: no menu item.
    Open();
    EXPECT_EQ(w_->findChild<QAction*>(QStringLiteral("mnuFileItem_3")), nullptr);
}

// The name chosen is the file written, as in the file commands: the page's
// extension is added only to a typed name that has none and names nothing.
TEST_F(WindowTest, SaveReceiverPageWritesTheNameChosen) {
    QDir().mkpath(Path("bin"));
    WriteFile(Path("bin/hushnote.html"), QByteArray::fromStdString(kPage));
    ASSERT_EQ(::mkfifo(QFile::encodeName(Path("fifo")).constData(), 0600), 0);
    // written: the file that then holds the page, "" none; box: part of the box shown.
    // clang-format off
    const struct { const char* chosen; const char* written; const char* box = ""; } cases[] = {
        {"new", "new.html"},
        {"old", "old", "old already exists."},
        {"page.htm", "page.htm"},
        {"fifo", "", "fifo\" is a pipe that no program reads"},
    };
    // clang-format on
    for (const auto& c : cases) {
        w_ = std::make_unique<frmMain>(Path("bin").toStdU16String());
        ResetSeams();
        WriteFile(Path("old"), "old");
        QFile::remove(Path("new.html"));
        MessageBox::SetNextAnswer(Answer::kYes);
        AnswerFiles({c.chosen});
        Run("mnuFileItem_3");
        const QString box = Boxes().empty() ? QString() : Boxes().back().text;
        EXPECT_TRUE(box.contains(c.box)) << c.chosen << ": " << box.toStdString();
        const QString suffixed = Path(c.chosen + QStringLiteral(".html"));
        EXPECT_EQ(QFile::exists(suffixed), Path(c.written) == suffixed) << c.chosen;
        if (*c.written != '\0') {
            EXPECT_EQ(ReadFile(Path(c.written)).toStdString(), kPage) << c.chosen;
            EXPECT_EQ(w_->StatusText().toStdString(),
                      "  Receiver page saved as \"" + Path(c.written).toStdString() + "\".");
        }
    }
}

// A hint shows in the page exactly as typed, or is refused: bytes that are not
// UTF-8, and what would act on the page instead of showing in it.
TEST(ReceiverPage, HintShowsAsTypedOrIsRefused) {
    const std::string secured = VBEncrypt::SecureMessage("x", "pw");
    const std::string acts = ", which would act on the page instead of showing in it.";
    // clang-format off
    const struct { std::string hint, says; } cases[] = {
        {"our \"dog\" \\ Grüße", ""},
        {"dog\xff", "The hint is not valid UTF-8 (byte 4)."},
        {"\x1b[2Jdog", "The hint holds \\x1b (byte 1)" + acts},
        {"dog\xe2\x80\xae" "tac", "The hint holds \\u202e (byte 4)" + acts},
        {"d\xe2\x81\xa6og", "The hint holds \\u2066 (byte 2)" + acts},
        {"dog\ncat", "The hint holds \\n (byte 4)" + acts},
        {"dog\xc2\x9b", "The hint holds \\u009b (byte 4)" + acts},
        {"dog\xe2\x80\xa8", "The hint holds \\u2028 (byte 4)" + acts},
    };
    // clang-format on
    for (const auto& c : cases) {
        try {
            web::CarryMessage(kPage, secured, c.hint);
            EXPECT_EQ(c.says, "") << c.hint;
        } catch (const Failure& f) {
            EXPECT_EQ(f.description(), c.says) << c.hint;
        }
    }
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
