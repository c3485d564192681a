#include "ui_test_util.h"

#include "cipher/FNCryptLib.h"
#include "cipher/VBEncrypt.h"
#include "ui/dialogs/FileDialog.h"

#include <QClipboard>
#include <QFileInfo>
#include <QStyle>
#include <QTimer>

namespace hushnote::test {
namespace {

using MainWindowTest = WindowTest;

TEST_F(MainWindowTest, WindowBasics) {
    frmMain& w = Open();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Hushnote v0.6"));
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
    EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(Focused(), QStringLiteral("txtMsg"));
    for (const char* next : {"txtPassword", "cmdSecure", "cmdDeSecure", "Command1", "txtMsg"}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(Focused(), QString::fromLatin1(next));
    }
    QTest::keyClick(&w, Qt::Key_P, Qt::AltModifier);
    EXPECT_EQ(Focused(), QStringLiteral("txtPassword"));
    QLineEdit* p = Password();
    EXPECT_EQ(p->echoMode(), QLineEdit::Password);
    EXPECT_EQ(p->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, p), '*');
    // An input method would see the password in clear.
    EXPECT_FALSE(p->testAttribute(Qt::WA_InputMethodEnabled));
    const char* names[][2] = {{"txtMsg", "Message"},
                              {"txtPassword", "Password"},
                              {"cmdSecure", "Secure"},
                              {"cmdDeSecure", "De-Secure"},
                              {"Command1", "Copy Text"}};
    for (const auto& [object, name] : names) {
        EXPECT_EQ(Find<QWidget>(object)->accessibleName(), QString::fromLatin1(name)) << object;
    }
}

// Mode 0: the library works; 1: it is missing; 2: it loads but is unusable,
// which is reported before the window shows.
TEST_F(MainWindowTest, ModeIndicator) {
    QDir().mkpath(Path("nolib"));
    const std::tuple<std::filesystem::path, bool, bool> modes[] = {
        {ProgramFolder(), false, false},
        {Path("nolib").toStdString(), true, false},
        {HUSHNOTE_BROKEN_LIBRARY_DIR, true, true}};
    for (const auto& [folder, vb, libraryError] : modes) {
        ResetSeams();
        frmMain w(folder);
        ASSERT_EQ(Boxes().size(), libraryError ? 1u : 0u) << vb;
        if (libraryError) {
            EXPECT_TRUE(Boxes()[0].text.startsWith(QStringLiteral("Error #453\r\n\r\n")));
        }
        auto* mode = w.findChild<QLabel*>(QStringLiteral("lblMode"));
        EXPECT_EQ(mode->text(), vb ? QStringLiteral("VB") : QStringLiteral("DLL"));
        EXPECT_EQ(mode->toolTip(),
                  vb ? QStringLiteral("Missing FNCryptLib.DLL - Using VB Slow Mode")
                     : QStringLiteral("DLL Fast Mode"));
        EXPECT_EQ(mode->palette().color(QPalette::Window),
                  vb ? QColor(128, 0, 0) : QColor(0, 0, 128));
    }
}

TEST_F(MainWindowTest, StatusLineShowsTheLatestReportWithGrouping) {
    frmMain& w = Open();
    for (int i = 0; i < 1000; ++i) {
        w.SetMsg(QString::number(i));
    }
    EXPECT_EQ(w.StatusText(), QStringLiteral(" 999"));
    // Reports faster than the repaints are shown a moment later: the last one.
    QTest::qWait(100);
    EXPECT_EQ(Status()->text(), QStringLiteral(" 999"));
    EXPECT_TRUE(w.ReportProgress(10000, 10000));
    QTest::qWait(100);
    EXPECT_EQ(Status()->text(), QStringLiteral(" Bytes Left: 10,000"));
}

// The message boxes of the commands, their buttons and where the focus goes.
TEST_F(MainWindowTest, CommandMessages) {
    const QString limit = QString(9999, QLatin1Char('a')) + QLatin1Char('\n') +
                          QString(9999, QLatin1Char('b')); // line break counts two: 20,000
    const QString secured = FromCodes(VBEncrypt::SecureMessage("secret", kPassword));
    const QString noMsg = QStringLiteral("No message to secure.\r\n\r\nSecure a File?");
    const QString noDeMsg = QStringLiteral("No message to de-secure.\r\n\r\nDe-Secure a File?");
    const QString blank = QStringLiteral("Password is blank.");
    const QString copied = QStringLiteral("Text copied to clipboard.");
    const QString tooLong = QStringLiteral("Message limit is 20,000 characters.");
    const struct {
        const char* command;
        QString message;
        bool password;
        int answer;
        QStringList boxes;
        const char* focus;           // nullptr: not checked
        QStringList dialogs;         // file dialogs shown (each cancelled)
        QString clipboard = "(old)"; // as left by the command
    } cases[] = {
        {"cmdSecure", "", true, MessageBox::kNo, {noMsg}, "txtMsg", {}},
        {"cmdSecure", "", true, MessageBox::kYes, {noMsg}, nullptr, {"Secure File"}},
        {"cmdSecure", "", false, MessageBox::kYes, {noMsg, blank}, "txtPassword", {}},
        {"cmdDeSecure", "", true, MessageBox::kNo, {noDeMsg}, "txtMsg", {}},
        {"cmdDeSecure", "", true, MessageBox::kYes, {noDeMsg}, nullptr, {"Secured File"}},
        {"cmdSecure", "hello", false, 0, {blank}, "txtPassword", {}},
        {"cmdDeSecure", secured, false, 0, {blank}, "txtPassword", {}},
        {"mnuFileItem_0", "", false, 0, {blank}, "txtPassword", {}},
        {"mnuFileItem_1", "", false, 0, {blank}, "txtPassword", {}},
        {"cmdSecure", limit + QLatin1Char('c'), true, 0, {tooLong}, nullptr, {}},
        {"cmdSecure", limit, true, 0, {}, "txtMsg", {}},
        // A character outside the code page is named; nothing is lost.
        {"cmdSecure", "Snow \u2603 man", true, 0, {"Error #5\r\n\r\n"}, nullptr, {}},
        {"Command1", "copy me", false, 0, {copied}, nullptr, {}, "copy me"},
        {"Command1", "", false, 0, {copied}, nullptr, {}, ""},
    };
    Open();
    for (const auto& c : cases) {
        const std::string row = std::string(c.command) + " " + c.message.left(10).toStdString();
        ResetSeams();
        QStringList dialogs;
        for (int i = 0; i < 2; ++i) {
            cDialog::SetNextFileAnswer([&](FileDialog& dlg) {
                dialogs << dlg.windowTitle();
                dlg.reject();
            });
        }
        if (c.answer != 0) {
            MessageBox::SetNextAnswer(c.answer);
        }
        QGuiApplication::clipboard()->setText(QStringLiteral("(old)"));
        w_->SetMessageText(c.message);
        const QString before = w_->MessageText();
        TypePassword(c.password ? QString::fromLatin1(kPassword) : QString());
        Run(c.command);
        ASSERT_EQ(Boxes().size(), c.boxes.size()) << row;
        for (qsizetype i = 0; i < c.boxes.size(); ++i) {
            const auto& box = Boxes()[i];
            const bool error = box.text.startsWith(QStringLiteral("Error #"));
            EXPECT_EQ(box.text.left(error ? c.boxes[i].size() : -1), c.boxes[i]) << row;
            EXPECT_TRUE(!error || box.text.contains(QChar(0x2603))) << row;
            EXPECT_EQ(box.icon, error ? MessageBox::Icon::Critical : MessageBox::Icon::Information);
            EXPECT_EQ(box.caption, QStringLiteral("Hushnote")) << row;
            EXPECT_EQ(box.buttons,
                      box.text.endsWith('?') ? MessageBox::Buttons::YesNo : MessageBox::Buttons::Ok)
                << row;
        }
        EXPECT_TRUE(Status()->text().isEmpty()) << row;
        EXPECT_EQ(dialogs, c.dialogs) << row;
        if (c.focus != nullptr) {
            EXPECT_EQ(Focused(), QString::fromLatin1(c.focus)) << row;
        }
        EXPECT_EQ(QGuiApplication::clipboard()->text(), c.clipboard) << row;
        const bool ran = c.boxes.isEmpty();
        EXPECT_EQ(w_->MessageText() == before, !ran) << row;
        EXPECT_EQ(Password()->text().isEmpty(), ran || !c.password) << row;
    }
}

// Each run can be undone, and Ctrl+A selects all of the result.
// An error box must never show a character of the password.
TEST_F(MainWindowTest, PasswordOutsideTheCodePageIsRefusedUnshown) {
    const QString password = QStringLiteral("pass\u2603word");
    Open();
    for (const char* command : {"cmdSecure", "cmdDeSecure", "mnuFileItem_0"}) {
        ResetSeams();
        bool dialogShown = false;
        cDialog::SetNextFileAnswer([&](FileDialog& dlg) {
            dialogShown = true;
            dlg.reject();
        });
        w_->SetMessageText(QStringLiteral("hello"));
        Password()->setText(password); // QTest cannot type a snowman
        Run(command);
        ASSERT_EQ(Boxes().size(), 1u) << command;
        EXPECT_TRUE(Boxes()[0].text.startsWith(QStringLiteral("Error #5\r\n\r\n"))) << command;
        EXPECT_FALSE(Boxes()[0].text.contains(QChar(0x2603))) << command;
        EXPECT_FALSE(dialogShown) << command;
        EXPECT_EQ(w_->MessageText(), QStringLiteral("hello"));
        EXPECT_EQ(Password()->text(), password);
    }
}

TEST_F(MainWindowTest, SecureThenDeSecureRoundTrips) {
    std::string high;
    for (int c = 32; c < 256; ++c) {
        if (c != 127) {
            high += static_cast<char>(c);
        }
    }
    const std::string messages[] = {"Dear Ann,\r\n\r\nsee you at 8.\r\n", high, " ",
                                    std::string("nul\0here\x1a tab\t bell\x07 end", 25)};
    // No key-dependent cipher state outlives a command.
    const auto expectWiped = [] {
        const VBEncrypt::CipherState& state = VBEncrypt::State();
        EXPECT_TRUE(
            std::all_of(state.SBox.begin(), state.SBox.end(), [](auto v) { return v == 0; }));
        EXPECT_TRUE(std::all_of(state.KeyTable.begin(), state.KeyTable.end(),
                                [](auto v) { return v == 0; }));
    };
    frmMain& w = Open();
    for (const std::string& m : messages) {
        ResetSeams();
        const QString message = FromCodes(m);
        w.SetMessageText(message);
        TypePassword();
        Run("cmdSecure");
        expectWiped();
        EXPECT_EQ(VBEncrypt::DeSecureMessage(Codes(w.MessageText()), kPassword), m);
        EXPECT_TRUE(Password()->text().isEmpty());
        EXPECT_TRUE(Status()->text().isEmpty());
        EXPECT_EQ(Focused(), QStringLiteral("txtMsg"));
        const QString secured = w.MessageText();
        TypePassword();
        Run("cmdDeSecure");
        expectWiped();
        EXPECT_EQ(Codes(w.MessageText()), m);
        EXPECT_TRUE(Password()->text().isEmpty());
        EXPECT_TRUE(Status()->text().isEmpty());
        EXPECT_TRUE(Boxes().empty());
        QTest::keyClick(Msg(), Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(w.MessageText(), secured);
        QTest::keyClick(Msg(), Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(w.MessageText(), message);
        QTextCursor cursor = Msg()->textCursor();
        cursor.setPosition(1);
        Msg()->setTextCursor(cursor);
        QTest::keyClick(Msg(), Qt::Key_A, Qt::ControlModifier);
        EXPECT_EQ(Msg()->textCursor().selectedText().size(), Msg()->toPlainText().size());
    }
}

TEST_F(MainWindowTest, DeSecureResults) {
    const std::string secured = VBEncrypt::SecureMessage("meet at noon", kPassword);
    QString broken; // as a mail program breaks it
    for (std::size_t i = 0; i < secured.size(); i += 5) {
        broken += QString::fromLatin1(secured.substr(i, 5).c_str()) + QStringLiteral("\r\n");
    }
    const struct {
        QString text;
        QString result;
    } cases[] = {
        {broken, "meet at noon"},
        {"ab", "ERR"},   // unreadable length header
        {"abc", "ERR2"}, // header without a body
        {FromCodes(VBEncrypt::SecureMessage("a\rb\nc", kPassword)), "a\r\nb\r\nc"},
    };
    frmMain& w = Open();
    for (const auto& c : cases) {
        w.SetMessageText(c.text);
        TypePassword();
        Run("cmdDeSecure");
        EXPECT_EQ(w.MessageText(), c.result);
        EXPECT_TRUE(Password()->text().isEmpty());
    }
    EXPECT_TRUE(Boxes().empty());
}

// Both modes: the library (0) and the built-in cipher (1).
TEST_F(MainWindowTest, FileRunsRoundTripInBothModes) {
    QByteArray plain;
    for (int i = 0; i < 50000; ++i) {
        plain += static_cast<char>(i * 7);
    }
    WriteFile(Path("in.bin"), plain);
    for (const std::filesystem::path& folder : {ProgramFolder(), std::filesystem::path()}) {
        frmMain& w = Open(folder);
        w.SetMessageText(QStringLiteral("untouched"));
        QStringList titles;
        for (const char* name : {"in.bin", "in.sec", "in.sec", "out.bin"}) {
            cDialog::SetNextFileAnswer([&titles, path = Path(name)](FileDialog& dlg) {
                titles << dlg.windowTitle();
                dlg.selectFile(path);
                dlg.accept();
            });
        }
        TypePassword();
        Run("mnuFileItem_0");
        EXPECT_EQ(ReadFile(Path("in.sec")).toStdString(),
                  VBEncrypt::SecureMessage(plain.toStdString(), kPassword));
        EXPECT_TRUE(Password()->text().isEmpty());
        EXPECT_TRUE(Status()->text().isEmpty());
        TypePassword();
        Run("mnuFileItem_1");
        EXPECT_TRUE(Boxes().empty());
        EXPECT_EQ(ReadFile(Path("out.bin")), plain);
        EXPECT_TRUE(Password()->text().isEmpty());
        EXPECT_TRUE(Status()->text().isEmpty());
        EXPECT_EQ(w.MessageText(), QStringLiteral("untouched"));
        EXPECT_EQ(titles, (QStringList{"Secure File", "Save Secured File As...", "Secured File",
                                       "Save De-Secured File As..."}));
        QFile::remove(Path("in.sec"));
        QFile::remove(Path("out.bin"));
    }
}

// A cancelled or failed file run writes nothing, leaves the input as it was
// and gives the commands back; a cancelled one also keeps password and status.
TEST_F(MainWindowTest, FileRunsThatWriteNothing) {
    const QByteArray plain("\x80\x80\x80\x80 not secured at all");
    WriteFile(Path("plain.txt"), plain);
    const struct {
        const char* command;
        std::vector<const char*> files; // "" cancels
        QStringList boxes;              // the start of each message
        bool passwordKept;
    } cases[] = {{"mnuFileItem_0", {""}, {}, true},
                 {"mnuFileItem_0", {"plain.txt", ""}, {}, true},
                 {"mnuFileItem_1",
                  {"plain.txt", "out.txt"},
                  {"\"" + Path("plain.txt") + "\" is not a secured file: byte 1 is 0x80"},
                  false},
                 // The output names the input: replace it? yes, and the run refuses.
                 {"mnuFileItem_0",
                  {"plain.txt", "plain.txt"},
                  {"plain.txt already exists", "Error #"},
                  true}};
    frmMain& w = Open();
    for (const auto& c : cases) {
        ResetSeams();
        TypePassword();
        Status()->setText(QStringLiteral("before"));
        MessageBox::SetNextAnswer(MessageBox::kYes);
        AnswerFiles(c.files);
        Run(c.command);
        ASSERT_EQ(Boxes().size(), c.boxes.size()) << c.files.size();
        for (qsizetype i = 0; i < c.boxes.size(); ++i) {
            EXPECT_TRUE(Boxes()[i].text.startsWith(c.boxes[i])) << Boxes()[i].text.toStdString();
        }
        EXPECT_EQ(cDialog::PendingAnswers(), 0);
        EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList{"plain.txt"});
        EXPECT_EQ(ReadFile(Path("plain.txt")), plain);
        EXPECT_EQ(Status()->text(), c.boxes.isEmpty() ? QStringLiteral("before") : QString());
        EXPECT_EQ(Password()->text().isEmpty(), !c.passwordKept);
        EXPECT_TRUE(w.isVisible());
        EXPECT_EQ(CipherCommandsEnabled(), 4);
    }
}

// A secured file cut short on the way gives back what it holds, and says
// how much that is.
TEST_F(MainWindowTest, CutSecuredFileIsRecoveredAndTold) {
    WriteFile(Path("cut.sec"), QByteArray::fromStdString(
                                   VBEncrypt::SecureMessage("hello", kPassword).substr(0, 12)));
    Open();
    TypePassword();
    AnswerFiles({"cut.sec", "out.txt"});
    Run("mnuFileItem_1");
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_TRUE(Boxes()[0].text.contains(QStringLiteral("is damaged: it holds 3 of the 5 bytes")))
        << Boxes()[0].text.toStdString();
    EXPECT_EQ(Boxes()[0].icon, MessageBox::Icon::Warning);
    EXPECT_EQ(ReadFile(Path("out.txt")), QByteArray("hel"));
}

// While a file runs the window stays live, but starts nothing else; closing
// it stops the file, leaves no output and then closes.
TEST_F(MainWindowTest, WhileAFileRuns) {
    frmMain& w = Open();
    WriteFile(Path("big"), QByteArray(200000, 'x'));
    WriteFile(Path("t"), "text");
    w.SetMessageText(QStringLiteral("hello"));
    TypePassword();
    AnswerFiles({"big", "big.sec"});
    bool checked = false;
    QTimer::singleShot(0, &w, [&] {
        checked = true;
        EXPECT_TRUE(Status()->text().startsWith(QStringLiteral(" Bytes Left: ")));
        EXPECT_EQ(CipherCommandsEnabled(), 0);
        EXPECT_TRUE(Button("Command1")->isEnabled());
        Run("cmdSecure");
        EXPECT_FALSE(Drop(Files({Path("t")}).get()));
        EXPECT_EQ(w.MessageText(), QStringLiteral("hello"));
    });
    Run("mnuFileItem_0");
    EXPECT_TRUE(checked);
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(CipherCommandsEnabled(), 4);
    EXPECT_EQ(ReadFile(Path("big.sec")).size(), 8 + 4 * ((200000 + 2) / 3));
    // No progress report waiting to be shown comes back after the run.
    QTest::qWait(60);
    EXPECT_TRUE(Status()->text().isEmpty());
    EXPECT_TRUE(Drop(Files({Path("t")}).get()));
    EXPECT_EQ(w.MessageText(), QStringLiteral("hellotext\r\n"));

    QFile::remove(Path("big.sec"));
    TypePassword();
    AnswerFiles({"big", "big.sec"});
    QTimer::singleShot(0, &w, [&] {
        w.close();
        EXPECT_TRUE(w.isVisible()); // not yet: the file stops first
    });
    Run("mnuFileItem_0");
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), (QStringList{"big", "t"}));
}

} // namespace
} // namespace hushnote::test
