#include "ui/ui_test_util.h"

#include "cipher/VBEncrypt.h"


namespace hushnote::test {
namespace {

using MainWindowTest = WindowTest;

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
        EXPECT_TRUE(!libraryError || Boxes()[0].text.startsWith("Error #453\r\n\r\n"));
        EXPECT_EQ(w.findChild<QLabel*>("lblMode")->text(), vb ? "VB" : "DLL");
    }
}

struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        paints += e->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

// The first report is painted at once; reports faster than the repaints are
// shown a moment later: the last one.
TEST_F(MainWindowTest, StatusLineShowsTheLatestReport) {
    frmMain& w = Open();
    PaintCounter counter;
    Status()->installEventFilter(&counter);
    w.SetMsg(QStringLiteral("first"));
    EXPECT_GT(counter.paints, 0);
    for (int i = 0; i < 1000; ++i) {
        w.SetMsg(QString::number(i));
    }
    QTest::qWait(100);
    EXPECT_EQ(Status()->text(), QStringLiteral(" 999"));
}

// The message boxes of the commands and where the focus goes.
TEST_F(MainWindowTest, CommandMessages) {
    const QString limit = QString(9999, 'a') + '\n' + QString(9999, 'b'); // CR LF: 20,000
    const QString secured = FromCodes(VBEncrypt::SecureMessage("secret", kPassword));
    const QString noMsg = QStringLiteral("No message to secure.\r\n\r\nSecure a File?");
    const QString blank = QStringLiteral("Password is blank.");
    const struct {
        const char* command;
        QString message;
        bool password;
        Answer answer = Answer::kNo;
        QStringList boxes = {};
        const char* focus = nullptr; // nullptr: not checked
        QStringList dialogs = {};    // file dialogs shown (each cancelled)
    } cases[] = {
        {"cmdSecure", "", true, Answer::kNo, {noMsg}, "txtMsg"},
        {"cmdSecure", "", true, Answer::kYes, {noMsg}, nullptr, {"Secure File"}},
        {"cmdSecure", "", false, Answer::kYes, {noMsg, blank}, "txtPassword"},
        {"cmdDeSecure",
         "",
         true,
         Answer::kYes,
         {"No message to de-secure.\r\n\r\nDe-Secure a File?"},
         nullptr,
         {"Secured File"}},
        {"cmdSecure", "hello", false, Answer::kNo, {blank}, "txtPassword"},
        {"cmdDeSecure", secured, false, Answer::kNo, {blank}, "txtPassword"},
        {"mnuFileItem_1", "", false, Answer::kNo, {blank}, "txtPassword"},
        {"cmdSecure", limit + 'c', true, Answer::kNo, {"Message limit is 20,000 characters."}},
        {"cmdSecure", limit, true, Answer::kNo, {}, "txtMsg"},
        // A character outside the code page is named; nothing is lost.
        {"cmdSecure", "Snow \u2603 man", true, Answer::kNo, {"Error #5\r\n\r\n"}},
        {"Command1", "copy me", false, Answer::kNo, {"Text copied to clipboard."}},
    };
    Open();
    for (const auto& c : cases) {
        const std::string row = std::string(c.command) + " " + c.message.left(10).toStdString();
        ResetSeams();
        QStringList dialogs;
        cDialog::SetNextFileAnswer([&](FileDialog& dlg) {
            dialogs << dlg.windowTitle();
            dlg.reject();
        });
        MessageBox::SetNextAnswer(c.answer);
        w_->SetMessageText(c.message);
        const QString before = w_->MessageText();
        TypePassword(c.password ? QString::fromLatin1(kPassword) : QString());
        Run(c.command);
        ASSERT_EQ(Boxes().size(), c.boxes.size()) << row;
        for (qsizetype i = 0; i < c.boxes.size(); ++i) {
            EXPECT_TRUE(Boxes()[i].text.startsWith(c.boxes[i])) << row;
        }
        EXPECT_TRUE(Status()->text().isEmpty()) << row;
        EXPECT_EQ(dialogs, c.dialogs) << row;
        EXPECT_TRUE(c.focus == nullptr || QApplication::focusWidget()->objectName() == c.focus)
            << row;
        const bool ran = c.boxes.isEmpty();
        EXPECT_EQ(w_->MessageText() == before, !ran) << row;
        EXPECT_EQ(Password()->text().isEmpty(), ran || !c.password) << row;
    }
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("copy me"));
}

// An error box must never show a character of the password.
TEST_F(MainWindowTest, PasswordOutsideTheCodePageIsRefusedUnshown) {
    frmMain& w = Open();
    w.SetMessageText(QStringLiteral("hello"));
    Password()->setText(QStringLiteral("pass\u2603word")); // QTest cannot type a snowman
    Run("cmdSecure");
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_TRUE(Boxes()[0].text.startsWith("Error #5\r\n\r\n"));
    EXPECT_FALSE(Boxes()[0].text.contains(QChar(0x2603)));
}

TEST_F(MainWindowTest, SecureThenDeSecureRoundTripsAndWipes) {
    std::string high;
    for (int c = 32; c < 256; ++c) {
        high += static_cast<char>(c);
    }
    const std::string messages[] = {"Dear Ann,\r\n\r\nsee you at 8.\r\n", high,
                                    std::string("nul\0here\x1a tab\t end", 19)};
    const auto expectWiped = [] {
        const VBEncrypt::CipherState& state = VBEncrypt::State();
        EXPECT_TRUE(std::ranges::all_of(state.SBox, [](auto v) { return v == 0; }));
        EXPECT_TRUE(std::ranges::all_of(state.KeyTable, [](auto v) { return v == 0; }));
    };
    frmMain& w = Open();
    for (const std::string& m : messages) {
        w.SetMessageText(FromCodes(m));
        TypePassword();
        Run("cmdSecure");
        expectWiped();
        EXPECT_EQ(VBEncrypt::DeSecureMessage(Codes(w.MessageText()), kPassword), m);
        EXPECT_TRUE(Password()->text().isEmpty());
        const QString secured = w.MessageText();
        // Secured text that a mail program broke into lines is joined again.
        w.SetMessageText(secured.left(5) + "\r\n" + secured.mid(5));
        TypePassword();
        Run("cmdDeSecure");
        expectWiped();
        EXPECT_EQ(Codes(w.MessageText()), m);
        EXPECT_TRUE(Password()->text().isEmpty());
        QTest::keyClick(Msg(), Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(w.MessageText(), secured.left(5) + "\r\n" + secured.mid(5));
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
        Open(folder);
        AnswerFiles({"in.bin", "in.sec", "in.sec", "out.bin"});
        TypePassword();
        Run("mnuFileItem_0");
        EXPECT_EQ(ReadFile(Path("in.sec")).toStdString(),
                  VBEncrypt::SecureMessage(plain.toStdString(), kPassword));
        EXPECT_TRUE(Password()->text().isEmpty());
        TypePassword();
        Run("mnuFileItem_1");
        EXPECT_TRUE(Boxes().empty());
        EXPECT_EQ(ReadFile(Path("out.bin")), plain);
        EXPECT_TRUE(Password()->text().isEmpty());
        EXPECT_TRUE(Status()->text().isEmpty());
        QFile::remove(Path("in.sec"));
        QFile::remove(Path("out.bin"));
    }
}

// Not secured, cut short, or refused: what is told and what is written.
TEST_F(MainWindowTest, FileRunProblems) {
    WriteFile(Path("plain.txt"), "\x80\x80\x80\x80 not secured at all");
    WriteFile(Path("cut.sec"), QByteArray::fromStdString(
                                   VBEncrypt::SecureMessage("hello", kPassword).substr(0, 12)));
    const struct {
        const char* command;
        std::vector<const char*> files; // "" cancels
        QString box;                    // part of the one box shown, "" none
        QByteArray out = {};            // what out.txt then holds
    } cases[] = {
        {"mnuFileItem_0", {"plain.txt", ""}, ""},
        {"mnuFileItem_1",
         {"plain.txt", "out.txt"},
         "\"" + Path("plain.txt") + "\" is not a secured file: byte 1 is 0x80"},
        {"mnuFileItem_1", {"cut.sec", "out.txt"}, "is damaged: it holds 3 of the 5 bytes", "hel"},
        // The output names the input: replace it? yes, and the run refuses.
        {"mnuFileItem_0", {"plain.txt", "plain.txt"}, "Error #"},
    };
    frmMain& w = Open();
    for (const auto& c : cases) {
        ResetSeams();
        QFile::remove(Path("out.txt"));
        TypePassword();
        MessageBox::SetNextAnswer(Answer::kYes);
        AnswerFiles(c.files);
        Run(c.command);
        const QString last = Boxes().empty() ? QString() : Boxes().back().text;
        EXPECT_TRUE(c.box.isEmpty() ? last.isEmpty() : last.contains(c.box)) << last.toStdString();
        EXPECT_EQ(ReadFile(Path("out.txt")), c.out);
        EXPECT_TRUE(w.isVisible());
        EXPECT_EQ(CipherCommandsEnabled(), 4);
    }
    EXPECT_EQ(ReadFile(Path("plain.txt")), QByteArray("\x80\x80\x80\x80 not secured at all"));
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
        const QString status = Status()->text();
        EXPECT_TRUE(status.startsWith(" Bytes Left: ") && status.contains(','))
            << status.toStdString();
        EXPECT_EQ(CipherCommandsEnabled(), 0);
        EXPECT_FALSE(Drop(Files({Path("t")}).get()));
        EXPECT_EQ(w.MessageText(), QStringLiteral("hello"));
    });
    Run("mnuFileItem_0");
    EXPECT_TRUE(checked);
    EXPECT_TRUE(Boxes().empty());
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
