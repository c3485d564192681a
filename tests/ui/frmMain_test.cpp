#include "ui/ui_test_util.h"

#include "engine/VBEncrypt.h"

#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace hushnote::test {
namespace {

// The first report is painted at once; reports faster than the repaints are
// shown a moment later: the last one.
TEST_F(WindowTest, StatusLineShowsTheLatestReport) {
    frmMain& w = Open();
    bool pumped = false;
    QTimer::singleShot(0, &w, [&] { pumped = true; });
    w.SetMsg(QStringLiteral("first"));
    EXPECT_TRUE(pumped && Find<QLabel>("lblStatus")->text() == " first");
    for (int i = 0; i < 1000; ++i) {
        w.SetMsg(QString::number(i));
    }
    QTest::qWait(100);
    EXPECT_EQ(Find<QLabel>("lblStatus")->text(), QStringLiteral(" 999"));
}

// What the text commands refuse, and what they make when they run: then the
// password box is cleared, and after Secure nothing brings the plaintext back.
TEST_F(WindowTest, TextCommands) {
    const QString limit = QString(9999, 'a') + '\n' + QString(9999, 'b'); // CR LF: 20,000
    const auto secured = [](const char* m) {
        return qt_codes::FromCodes(VBEncrypt::SecureMessage(m, kPassword));
    };
    // box: how the box shown starts, none shown when empty; after: the message afterwards, not
    // checked when empty; status: the status line afterwards, when it ran.
    // clang-format off
    const struct { const char* cmd; QString msg, pw = kPassword, box = {}, after = {}, status = {}; } cases[] = {
        {.cmd = "cmdSecure", .msg = "hello", .pw = "", .box = "Password is blank."},
        {.cmd = "cmdDeSecure", .msg = secured("x"), .pw = "", .box = "Password is blank."},
        {.cmd = "cmdSecure", .msg = limit + 'c', .box = "Message limit is 20,000 characters."},
        {.cmd = "cmdSecure", .msg = limit},
        {.cmd = "cmdSecure", .msg = "Dear Ann,\nbye", .after = secured("Dear Ann,\r\nbye")},
        // Noise from a wrong password is questioned; the next text empties the status again.
        {.cmd = "cmdDeSecure", .msg = secured("Meet me at the station at noon."), .pw = "pass wort", .status = " Wrong password? Ctrl+Z undoes."},
        // A character outside the code page is refused, and never shown from the password.
        {.cmd = "cmdSecure", .msg = "hello", .pw = "pass\u2603word", .box = "Error #5\r\n\r\n"},
        // clang-format on
    };
    Open();
    // An input method would see the password in clear.
    EXPECT_FALSE(Password()->testAttribute(Qt::WA_InputMethodEnabled));
    for (const auto& c : cases) {
        ResetSeams();
        w_->SetMessageText(c.msg);
        const QString before = w_->MessageText();
        Password()->setText(c.pw);
        Run(c.cmd);
        const bool ran = c.box.isEmpty();
        ASSERT_EQ(Boxes().size(), ran ? 0u : 1u) << c.cmd;
        EXPECT_TRUE(ran ||
                    (Boxes()[0].text.startsWith(c.box) && !Boxes()[0].text.contains(u'\u2603')));
        EXPECT_EQ(w_->MessageText() == before, !ran) << c.cmd;
        EXPECT_TRUE(c.after.isEmpty() || w_->MessageText() == c.after) << c.cmd;
        EXPECT_TRUE(!ran || w_->StatusText() == c.status) << c.cmd;
        EXPECT_EQ(Password()->text().isEmpty(), ran || c.pw.isEmpty()) << c.cmd;
        const QString made = w_->MessageText();
        QTest::keyClick(Find<QPlainTextEdit>("txtMsg"), Qt::Key_Z, Qt::ControlModifier);
        EXPECT_TRUE(!ran || c.cmd != std::string("cmdSecure") || w_->MessageText() == made);
    }
}

// A mistyped password and then the right one give the message, and one
// Ctrl+Z what was read; so for a paste that is not secured text. A box changed
// in between is read as it now is, and a result that is secured text itself
// is de-secured further.
TEST_F(WindowTest, SecondDeSecureStartsAgainFromWhatWasRead) {
    const std::string message = "Meet me at the station at noon.";
    const QString secured = qt_codes::FromCodes(VBEncrypt::SecureMessage(message, kPassword));
    const QString twice = qt_codes::FromCodes(VBEncrypt::SecureMessage(Codes(secured), kPassword));
    // passwords: one De-Secure each; edit: typed into the box before the last,
    // when the message must not come; undone: the box after one Ctrl+Z.
    // clang-format off
    const struct { QString pasted; std::vector<QString> passwords; QString after; QString undone; bool edit = false; } rows[] = {
        {secured, {"wrong", kPassword}, QString::fromStdString(message), secured},
        {"> " + secured, {"wrong", kPassword}, QString::fromStdString(message), "> " + secured},
        {"hi", {"wrong", kPassword}, "ERR", "hi"},
        {secured, {"wrong", kPassword}, {}, {}, true},
        {twice, {kPassword, kPassword}, QString::fromStdString(message), secured},
    };
    // clang-format on
    frmMain& w = Open();
    auto* box = Find<QPlainTextEdit>("txtMsg");
    for (const auto& r : rows) {
        w.SetMessageText(r.pasted);
        for (const QString& password : r.passwords) {
            if (r.edit && &password == &r.passwords.back()) {
                QTest::keyClicks(box, QStringLiteral("x"));
            }
            Password()->setText(password);
            Run("cmdDeSecure");
        }
        if (r.edit) {
            EXPECT_NE(w.MessageText(), QString::fromStdString(message));
        } else {
            EXPECT_EQ(w.MessageText(), r.after) << r.pasted.toStdString();
            QTest::keyClick(box, Qt::Key_Z, Qt::ControlModifier);
            EXPECT_EQ(w.MessageText(), r.undone) << r.pasted.toStdString();
        }
    }
}

// Secure on secured text, broken into lines or not, asks first with No as the
// default; only Yes secures it again, and No leaves both boxes as they were.
TEST_F(WindowTest, SecureAsksBeforeSecuringSecuredText) {
    const QString secured = qt_codes::FromCodes(VBEncrypt::SecureMessage("see you", kPassword));
    const QString twice = qt_codes::FromCodes(VBEncrypt::SecureMessage(Codes(secured), kPassword));
    const QString wrapped = secured.left(10) + "\r\n" + secured.mid(10);
    // clang-format off
    const struct { QString box; std::optional<Answer> answer; QString after; } rows[] = {
        {secured, Answer::kNo, secured},
        {wrapped, Answer::kNo, wrapped},
        {secured, Answer::kYes, twice},
        // A few characters short is no secured text to ask about.
        {secured.left(secured.size() - 1), std::nullopt, {}},
        {"see you", std::nullopt, {}},
    };
    // clang-format on
    Open();
    for (const auto& r : rows) {
        ResetSeams();
        w_->SetMessageText(r.box);
        Password()->setText(kPassword);
        if (r.answer) {
            MessageBox::SetNextAnswer(*r.answer);
        }
        Run("cmdSecure");
        ASSERT_EQ(Boxes().size(), r.answer ? 1U : 0U) << r.box.toStdString();
        if (r.answer) {
            EXPECT_EQ(Boxes()[0].text, "This already is secured text. Secure it again?");
            EXPECT_EQ(Boxes()[0].buttons, MessageBox::Buttons::YesNoDefaultNo);
            EXPECT_EQ(w_->MessageText(), r.after);
            EXPECT_EQ(Password()->text().isEmpty(), *r.answer == Answer::kYes);
        }
    }
    // The real box: Enter answers No.
    MessageBox::RedirectForTests(false);
    QTimer::singleShot(0,
                       [] { QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Return); });
    EXPECT_EQ(MessageBox::Show(w_.get(), QStringLiteral("?"), MessageBox::Icon::Information,
                               MessageBox::Buttons::YesNoDefaultNo),
              Answer::kNo);
}

// With the library and with the built-in cipher, and when the input is not
// secured, cut short, or the output names it: what is told and what is written.
TEST_F(WindowTest, FileRuns) {
    QByteArray plain(50000, '\0');
    std::iota(plain.begin(), plain.end(), '\0');
    const QByteArray secured =
        QByteArray::fromStdString(VBEncrypt::SecureMessage(plain.toStdString(), kPassword));
    const QByteArray notSecured("\x80\x80\x80\x80 not secured at all");
    WriteFile(Path("in.bin"), plain);
    std::ofstream(QFile::encodeName(dir_.path()).toStdString() + "/in \xff.bin")
        << plain.toStdString();
    WriteFile(Path("plain.txt"), notSecured);
    WriteFile(Path("cut.sec"), QByteArray::fromStdString(
                                   VBEncrypt::SecureMessage("hello", kPassword).substr(0, 12)));
    // box: part of the last box shown, "" none; out: what the last file then holds.
    // clang-format off
    const struct { bool library; const char* command; std::vector<const char*> files; QString box; QByteArray out = {}; } cases[] = {
        {true, "mnuFileItem_0", {"in.bin", "lib.sec"}, "", secured},
        // A name that is not UTF-8, as the dialog shows it (U+FFFD), is the file chosen.
        {true, "mnuFileItem_0", {"in \xff.bin", "lib2.sec"}, "", secured},
        {false, "mnuFileItem_1", {"lib.sec", "vb.bin"}, "", plain},
        {false, "mnuFileItem_1", {"cut.sec", "cut.txt"}, "is damaged: it holds 3 of the 5 bytes", "hel"},
        // The output names the input: replace it? yes, and the run refuses.
        {false, "mnuFileItem_0", {"plain.txt", "plain.txt"}, "Error #", notSecured},
        // clang-format on
    };
    for (const auto& c : cases) {
        frmMain& w = Open(c.library);
        EXPECT_EQ(Find<QLabel>("lblMode")->text(), c.library ? "DLL" : "VB");
        Password()->setText(kPassword);
        MessageBox::SetNextAnswer(Answer::kYes);
        AnswerFiles(c.files);
        Run(c.command);
        const QString last = Boxes().empty() ? QString() : Boxes().back().text;
        EXPECT_TRUE(c.box.isEmpty() ? last.isEmpty() : last.contains(c.box)) << last.toStdString();
        EXPECT_EQ(ReadFile(Path(c.files.back())), c.out) << c.files.back();
        EXPECT_TRUE(w.isVisible() && w.StatusText().isEmpty() && CommandsEnabled());
        EXPECT_EQ(Password()->text().isEmpty(), !c.box.startsWith("Error")) << c.files.back();
    }
}

// Every box and status line that names a file shows it escaped: a crafted
// name can neither fake a line, end its quotes early nor hide another name.
TEST_F(WindowTest, FileNamesAreShownEscaped) {
    // Qt's own dialog reads a typed '"' as quoting: the quote comes dropped.
    const QString n = "x\n\x1b\\", shown = Path("x\\n\\x1b\\\\");
    WriteFile(Path(n + "plain"), "plain text");
    WriteFile(Path(n + "cut"), QByteArray::fromStdString(
                                   VBEncrypt::SecureMessage("hello", kPassword).substr(0, 12)));
    // clang-format off
    const struct { const char* command; std::vector<QString> files; QString says; } cases[] = {
        {"mnuFileItem_1", {n + "plain", "o"}, shown + "plain\" is not a secured file: byte 6"},
        {"mnuFileItem_1", {n + "cut", n + "o"}, shown + "cut\" is damaged: it holds 3 of the 5 bytes its header gives.\r\n\r\nThose were written to \"" + shown + "o\"."},
        {"mnuFileItem_0", {n + "plain", n + "plain"}, "The output file \"" + shown + "plain\" is the input file itself"},
        {"drop", {n + "\" is gone"}, "File not found: \"" + shown + "\\\" is gone\"."},
        {"drop", {n + "plain"}, ""},
    };
    // clang-format on
    Open();
    for (const auto& c : cases) {
        ResetSeams();
        Password()->setText(kPassword);
        MessageBox::SetNextAnswer(Answer::kYes);
        QStringList paths;
        for (const QString& f : c.files) {
            cDialog::AnswerNextWith(paths.emplace_back(Path(f)));
        }
        if (QByteArray(c.command) == "drop") {
            Drop(paths);
        } else {
            Run(c.command);
        }
        const QString said = Boxes().empty() ? w_->StatusText() : Boxes().back().text;
        EXPECT_TRUE(said.contains(c.says.isEmpty() ? "  Loaded " + shown + "plain." : c.says))
            << said.toStdString();
        EXPECT_FALSE(said.contains(QChar(0x1b)) || said.contains(QRegularExpression("[^\r]\n")));
    }
}

// A library that loads but is unusable is told before the window shows, and
// the built-in cipher takes over.
TEST_F(WindowTest, BrokenLibraryFallsBack) {
    frmMain w(HUSHNOTE_BROKEN_LIBRARY_DIR);
    EXPECT_EQ(w.findChild<QLabel*>("lblMode")->text(), "VB");
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_TRUE(Boxes()[0].text.startsWith("Error #453\r\n\r\n"));
}

// While a file runs the window stays live, but starts nothing else; closing
// it stops the file, leaves no output and then closes.
TEST_F(WindowTest, WhileAFileRuns) {
    frmMain& w = Open();
    WriteFile(Path("big"), QByteArray(200000, 'x'));
    Password()->setText(kPassword);
    AnswerFiles({"big", "big.sec"});
    bool checked = false;
    QTimer::singleShot(0, &w, [&] {
        checked = true;
        EXPECT_TRUE(w.StatusText().startsWith(" Bytes Left: 200,0"));
        EXPECT_FALSE(CommandsEnabled() || Drop({Path("big")}));
    });
    Run("mnuFileItem_0");
    EXPECT_TRUE(checked);
    EXPECT_EQ(ReadFile(Path("big.sec")).size(), 8 + 4 * ((200000 + 2) / 3));
    QTest::qWait(60); // no progress report waiting to be shown comes back
    EXPECT_TRUE(w.StatusText().isEmpty());

    QFile::remove(Path("big.sec"));
    Password()->setText(kPassword);
    AnswerFiles({"big", "big.sec"});
    QTimer::singleShot(0, &w, [&] {
        w.close();
        EXPECT_TRUE(w.isVisible()); // not yet: the file stops first
    });
    Run("mnuFileItem_0");
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList{"big"});
}

// A pipe as the output never freezes the window: with no reader it is
// refused at once; a full one waits in the event loop, and closing the window
// still stops any file or the receiver page; a reader that goes away is told,
// not died of.
TEST_F(WindowTest, PipeOutputNeverFreezes) {
    frmMain& w = Open();
    WriteFile(Path("big"), QByteArray(200000, 'x'));
    ASSERT_EQ(::mkfifo(QFile::encodeName(Path("fifo")).constData(), 0600), 0);
    for (const int kind : {0, 2, 1}) { // no reader, one that leaves, one that never reads
        SCOPED_TRACE(kind);
        const bool reader = kind == 1;
        ResetSeams();
        // Opened, never read: the pipe fills after 64 KiB.
        int fd = kind > 0
                     ? ::open(QFile::encodeName(Path("fifo")).constData(), O_RDONLY | O_NONBLOCK)
                     : -1;
        if (kind == 2) {
            QTimer::singleShot(0, &w, [&] { ::close(std::exchange(fd, -1)); });
        }
        Password()->setText(kPassword);
        AnswerFiles({"big", "fifo"});
        MessageBox::SetNextAnswer(Answer::kYes); // replace it? it is written in place
        if (reader) {
            QTimer::singleShot(300, &w, [&] { w.close(); });
        }
        Run("mnuFileItem_0");
        EXPECT_EQ(w.isVisible(), !reader);
        EXPECT_EQ(Boxes().size(), reader ? 1u : 2u);
        EXPECT_TRUE(reader ||
                    Boxes().back().text.endsWith(
                        kind == 0
                            ? "\"" + Path("fifo") + "\" is a pipe that no program reads."
                            : QString("has gone away. What was written to it before stays there.")))
            << Boxes().back().text.toStdString();
        if (fd >= 0) {
            ::close(fd);
        }
    }
    // De-securing and the receiver page wait as securing does.
    QDir().mkpath(Path("bin"));
    WriteFile(Path("bin/hushnote.html"), QByteArray(200000, 'p'));
    Open();
    Password()->setText(kPassword);
    AnswerFiles({"big", "big.sec"});
    Run("mnuFileItem_0");
    ASSERT_TRUE(QFile::exists(Path("big.sec")));
    for (const auto& [item, files] :
         {std::pair{"mnuFileItem_1", std::vector<const char*>{"big.sec", "fifo"}},
          {"mnuFileItem_3", std::vector<const char*>{"fifo"}}}) {
        SCOPED_TRACE(item);
        w_ = std::make_unique<frmMain>(Path("bin").toStdU16String());
        w_->show();
        ResetSeams();
        const int fd = ::open(QFile::encodeName(Path("fifo")).constData(), O_RDONLY | O_NONBLOCK);
        Password()->setText(kPassword);
        AnswerFiles(files);
        MessageBox::SetNextAnswer(Answer::kYes);
        QTimer::singleShot(300, w_.get(), [&] { w_->close(); });
        Run(item);
        EXPECT_FALSE(w_->isVisible());
        ::close(fd);
    }
}

} // namespace
} // namespace hushnote::test
