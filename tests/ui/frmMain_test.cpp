#include "ui/ui_test_util.h"

#include "cipher/VBEncrypt.h"

namespace hushnote::test {
namespace {

using MainWindowTest = WindowTest;

// The library works ("DLL"), is missing, or loads but is unusable, which is
// told before the window shows.
TEST_F(MainWindowTest, ModeIndicator) {
    QDir().mkpath(Path("nolib"));
    const std::tuple<std::filesystem::path, const char*, std::size_t> modes[] = {
        {ProgramFolder(), "DLL", 0},
        {Path("nolib").toStdString(), "VB", 0},
        {HUSHNOTE_BROKEN_LIBRARY_DIR, "VB", 1}};
    for (const auto& [folder, mode, boxes] : modes) {
        ResetSeams();
        frmMain w(folder);
        EXPECT_EQ(w.findChild<QLabel*>("lblMode")->text(), mode);
        ASSERT_EQ(Boxes().size(), boxes) << mode;
        EXPECT_TRUE(!boxes || Boxes()[0].text.startsWith("Error #453\r\n\r\n"));
    }
}

// The first report is painted at once; reports faster than the repaints are
// shown a moment later: the last one.
TEST_F(MainWindowTest, StatusLineShowsTheLatestReport) {
    frmMain& w = Open();
    bool pumped = false;
    QTimer::singleShot(0, &w, [&] { pumped = true; });
    w.SetMsg(QStringLiteral("first"));
    EXPECT_TRUE(pumped && Status()->text() == " first");
    for (int i = 0; i < 1000; ++i) {
        w.SetMsg(QString::number(i));
    }
    QTest::qWait(100);
    EXPECT_EQ(Status()->text(), QStringLiteral(" 999"));
}

// The message boxes of the commands, where the focus goes, and what is kept.
TEST_F(MainWindowTest, CommandMessages) {
    const QString limit = QString(9999, 'a') + '\n' + QString(9999, 'b'); // CR LF: 20,000
    const QString secured = FromCodes(VBEncrypt::SecureMessage("secret", kPassword));
    const QString noMsg = QStringLiteral("No message to secure.\r\n\r\nSecure a File?");
    const QString blank = QStringLiteral("Password is blank.");
    const struct {
        const char* cmd;
        QString msg = {};
        QString pw = kPassword;
        Answer answer = Answer::kNo;
        QStringList boxes = {};   // each box shown starts so
        const char* focus = {};   // not checked when null
        QStringList dialogs = {}; // file dialogs shown, each cancelled
    } cases[] = {
        // clang-format off
        {.cmd = "cmdSecure", .boxes = {noMsg}, .focus = "txtMsg"},
        {.cmd = "cmdSecure", .answer = Answer::kYes, .boxes = {noMsg}, .dialogs = {"Secure File"}},
        {.cmd = "cmdSecure", .pw = "", .answer = Answer::kYes, .boxes = {noMsg, blank}, .focus = "txtPassword"},
        {.cmd = "cmdDeSecure", .answer = Answer::kYes, .boxes = {"No message to de-secure.\r\n\r\nDe-Secure a File?"}, .dialogs = {"Secured File"}},
        {.cmd = "cmdSecure", .msg = "hello", .pw = "", .boxes = {blank}, .focus = "txtPassword"},
        {.cmd = "cmdDeSecure", .msg = secured, .pw = "", .boxes = {blank}, .focus = "txtPassword"},
        {.cmd = "mnuFileItem_1", .pw = "", .boxes = {blank}, .focus = "txtPassword"},
        {.cmd = "cmdSecure", .msg = limit + 'c', .boxes = {"Message limit is 20,000 characters."}},
        {.cmd = "cmdSecure", .msg = limit, .focus = "txtMsg"},
        {.cmd = "cmdDeSecure", .msg = secured, .focus = "txtMsg"},
        // A character outside the code page is refused, and shown only from the message.
        {.cmd = "cmdSecure", .msg = "Snow \u2603 man", .boxes = {"Error #5\r\n\r\n"}},
        {.cmd = "cmdSecure", .msg = "hello", .pw = "pass\u2603word", .boxes = {"Error #5\r\n\r\n"}},
        {.cmd = "Command1", .msg = "copy me", .boxes = {"Text copied to clipboard."}},
        // clang-format on
    };
    Open();
    // An input method would see the password in clear.
    EXPECT_FALSE(Password()->testAttribute(Qt::WA_InputMethodEnabled));
    for (const auto& c : cases) {
        const std::string row = std::string(c.cmd) + " " + c.msg.left(10).toStdString();
        ResetSeams();
        QStringList dialogs;
        cDialog::SetNextFileAnswer([&](FileDialog& dlg) { dialogs << dlg.windowTitle(); });
        MessageBox::SetNextAnswer(c.answer);
        w_->SetMessageText(c.msg);
        const QString before = w_->MessageText();
        Password()->setText(c.pw);
        Run(c.cmd);
        ASSERT_EQ(Boxes().size(), c.boxes.size()) << row;
        for (qsizetype i = 0; i < c.boxes.size(); ++i) {
            EXPECT_TRUE(Boxes()[i].text.startsWith(c.boxes[i])) << row;
            EXPECT_FALSE(c.pw.contains(QChar(0x2603)) && Boxes()[i].text.contains(QChar(0x2603)));
        }
        EXPECT_TRUE(Status()->text().isEmpty()) << row;
        EXPECT_EQ(dialogs, c.dialogs) << row;
        EXPECT_TRUE(!c.focus || QApplication::focusWidget()->objectName() == c.focus) << row;
        const bool ran = c.boxes.isEmpty();
        EXPECT_EQ(w_->MessageText() == before, !ran) << row;
        EXPECT_EQ(Password()->text().isEmpty(), ran || c.pw.isEmpty()) << row;
    }
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("copy me"));
}

TEST_F(MainWindowTest, SecureThenDeSecureRoundTripsAndWipes) {
    std::string m(256, '\0');
    std::iota(m.begin(), m.end(), '\0');
    m = "Dear Ann,\r\n\r\nsee you at 8.\r\n" + m.replace(10, 4, "\r\n");
    const auto expectWiped = [] {
        EXPECT_TRUE(std::ranges::all_of(VBEncrypt::State().SBox, [](auto v) { return v == 0; }));
        EXPECT_TRUE(
            std::ranges::all_of(VBEncrypt::State().KeyTable, [](auto v) { return v == 0; }));
    };
    frmMain& w = Open();
    w.SetMessageText(FromCodes(m));
    TypePassword();
    Run("cmdSecure");
    expectWiped();
    const QString secured = w.MessageText();
    EXPECT_EQ(VBEncrypt::DeSecureMessage(Codes(secured), kPassword), m);
    // Secured text that a mail program broke into lines is joined again.
    w.SetMessageText(secured.left(5) + "\r\n" + secured.mid(5));
    TypePassword();
    Run("cmdDeSecure");
    expectWiped();
    EXPECT_EQ(Codes(w.MessageText()), m);
    QTest::keyClick(Msg(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(w.MessageText(), secured.left(5) + "\r\n" + secured.mid(5));
    EXPECT_TRUE(Boxes().empty());
}

// With the library and with the built-in cipher, and when the input is not
// secured, cut short, or refused: what is told and what is written.
TEST_F(MainWindowTest, FileRuns) {
    QByteArray plain(50000, '\0');
    std::iota(plain.begin(), plain.end(), '\0');
    const QByteArray secured =
        QByteArray::fromStdString(VBEncrypt::SecureMessage(plain.toStdString(), kPassword));
    const QByteArray notSecured("\x80\x80\x80\x80 not secured at all");
    WriteFile(Path("in.bin"), plain);
    WriteFile(Path("plain.txt"), notSecured);
    WriteFile(Path("cut.sec"), QByteArray::fromStdString(
                                   VBEncrypt::SecureMessage("hello", kPassword).substr(0, 12)));
    const struct {
        bool library;
        const char* command;
        std::vector<const char*> files; // "" cancels
        QString box;                    // part of the last box shown, "" none
        QByteArray out = {};            // what the last file then holds
    } cases[] = {
        // clang-format off
        {true, "mnuFileItem_0", {"in.bin", "lib.sec"}, "", secured},
        {true, "mnuFileItem_1", {"lib.sec", "lib.bin"}, "", plain},
        {false, "mnuFileItem_0", {"in.bin", "vb.sec"}, "", secured},
        {false, "mnuFileItem_1", {"vb.sec", "vb.bin"}, "", plain},
        {false, "mnuFileItem_0", {"plain.txt", ""}, ""},
        {false, "mnuFileItem_1", {"plain.txt", "out.txt"}, "\"" + Path("plain.txt") + "\" is not a secured file: byte 1 is 0x80"},
        {false, "mnuFileItem_1", {"cut.sec", "cut.txt"}, "is damaged: it holds 3 of the 5 bytes", "hel"},
        // The output names the input: replace it? yes, and the run refuses.
        {false, "mnuFileItem_0", {"plain.txt", "plain.txt"}, "Error #", notSecured},
        // clang-format on
    };
    for (const auto& c : cases) {
        frmMain& w = Open(c.library ? ProgramFolder() : std::filesystem::path());
        TypePassword();
        MessageBox::SetNextAnswer(Answer::kYes);
        AnswerFiles(c.files);
        Run(c.command);
        const QString last = Boxes().empty() ? QString() : Boxes().back().text;
        EXPECT_TRUE(c.box.isEmpty() ? last.isEmpty() : last.contains(c.box)) << last.toStdString();
        EXPECT_EQ(ReadFile(Path(c.files.back())), c.out) << c.files.back();
        EXPECT_TRUE(w.isVisible() && Status()->text().isEmpty());
        EXPECT_EQ(CipherCommandsEnabled(), 4);
        const bool stopped = c.box.startsWith("Error") || !*c.files.back();
        EXPECT_EQ(Password()->text().isEmpty(), !stopped) << c.files.back();
    }
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
        EXPECT_TRUE(Status()->text().startsWith(" Bytes Left: 200,0"));
        EXPECT_EQ(CipherCommandsEnabled(), 0);
        EXPECT_FALSE(Drop({Path("t")}));
        EXPECT_EQ(w.MessageText(), QStringLiteral("hello"));
    });
    Run("mnuFileItem_0");
    EXPECT_TRUE(checked);
    EXPECT_EQ(ReadFile(Path("big.sec")).size(), 8 + 4 * ((200000 + 2) / 3));
    QTest::qWait(60); // no progress report waiting to be shown comes back
    EXPECT_TRUE(Status()->text().isEmpty());

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
