#include "ui/main/frmMain.h"
#include "ui_test_util.h"

#include "cipher/VBEncrypt.h"
#include "common/codepage.h"
#include "ui/about/frmAbout.h"
#include "ui/dialogs/FileDialog.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>
#include <QTimer>

#include <memory>

namespace hushnote::test {
namespace {

constexpr auto kPassword = "pass word";

std::string Codes(const QString& s) {
    return codepage::Utf16ToCodes(s.toStdU16String());
}

class MainWindowTest : public SeamTest {
protected:
    void SetUp() override {
        SeamTest::SetUp();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        noLibrary_ = Path(QStringLiteral("nolib"));
        QDir().mkpath(noLibrary_);
    }

    // The window in built-in mode unless a library folder is given.
    frmMain& Open(std::filesystem::path folder = {}) {
        if (folder.empty()) {
            folder = std::filesystem::path(noLibrary_.toStdString());
        }
        w_ = std::make_unique<frmMain>(folder);
        w_->show();
        w_->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(w_.get()));
        MessageBox::ClearHistory();
        return *w_;
    }

    template <class T> T* Find(const char* name) {
        T* c = w_->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
    QPlainTextEdit* Msg() { return Find<QPlainTextEdit>("txtMsg"); }
    QLineEdit* Password() { return Find<QLineEdit>("txtPassword"); }
    QLabel* Status() { return Find<QLabel>("lblStatus"); }
    QPushButton* Button(const char* name) { return Find<QPushButton>(name); }
    QAction* Action(const char* name) { return Find<QAction>(name); }

    void TypeMessage(const QString& text) {
        Msg()->setFocus();
        QTest::keyClicks(Msg(), text);
    }
    void TypePassword(const QString& text = QString::fromLatin1(kPassword)) {
        QTest::keyClicks(Password(), text);
    }
    void Click(const char* button) { QTest::mouseClick(Button(button), Qt::LeftButton); }

    const MessageBox::Shown& OnlyBox() {
        EXPECT_EQ(Boxes().size(), 1u);
        static MessageBox::Shown none;
        return Boxes().empty() ? none : Boxes().back();
    }

    QString noLibrary_;
    std::unique_ptr<frmMain> w_;
};

// ---- The window -----------------------------------------------------------

TEST_F(MainWindowTest, TitleSizeAndControls) {
    frmMain& w = Open();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Hushnote v0.6"));
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
    EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(w.centralWidget()->size(), QSize(348, 234));
    EXPECT_FALSE(w.windowIcon().isNull());
    EXPECT_EQ(Button("cmdSecure")->text(), QStringLiteral("&Secure"));
    EXPECT_EQ(Button("cmdDeSecure")->text(), QStringLiteral("&De-Secure"));
    EXPECT_EQ(Button("Command1")->text(), QStringLiteral("&Copy Text"));
    EXPECT_EQ(Find<QLabel>("Label1")->text(), QStringLiteral("&Password:"));
    EXPECT_EQ(Find<QLabel>("Label1")->buddy(), Password());
    EXPECT_TRUE(Msg()->toPlainText().isEmpty());
    EXPECT_TRUE(Password()->text().isEmpty());
    EXPECT_TRUE(Status()->text().isEmpty());
    EXPECT_EQ(w.focusWidget(), Msg());
    for (const char* b : {"cmdSecure", "cmdDeSecure", "Command1"}) {
        EXPECT_FALSE(Button(b)->isDefault()) << b;
        EXPECT_FALSE(Button(b)->autoDefault()) << b;
    }
    EXPECT_EQ(Msg()->accessibleName(), QStringLiteral("Message"));
    EXPECT_EQ(Password()->accessibleName(), QStringLiteral("Password"));
    EXPECT_EQ(Button("cmdDeSecure")->accessibleName(), QStringLiteral("De-Secure"));
    EXPECT_EQ(Button("Command1")->accessibleName(), QStringLiteral("Copy Text"));
}

TEST_F(MainWindowTest, ControlsFitTheirTextAndDoNotOverlap) {
    Open();
    for (const char* b : {"cmdSecure", "cmdDeSecure", "Command1"}) {
        QPushButton* button = Button(b);
        const QString text = button->text().remove(QLatin1Char('&'));
        EXPECT_LE(button->fontMetrics().horizontalAdvance(text) + 8, button->width()) << b;
        EXPECT_LE(button->geometry().right(), 347) << b;
    }
    EXPECT_LT(Password()->geometry().right(), Button("cmdSecure")->geometry().left());
    EXPECT_LT(Button("cmdSecure")->geometry().right(), Button("cmdDeSecure")->geometry().left());
    EXPECT_LT(Button("cmdDeSecure")->geometry().right(), Button("Command1")->geometry().left());
    QLabel* caption = Find<QLabel>("Label1");
    EXPECT_GE(caption->width(), caption->sizeHint().width());
    EXPECT_LE(caption->geometry().bottom(), Password()->geometry().top());
    EXPECT_GE(caption->geometry().top(), Msg()->geometry().bottom());
}

TEST_F(MainWindowTest, MenusWithTheirItems) {
    Open();
    EXPECT_EQ(Action("mnuFileItem_0")->text(), QStringLiteral("&Secure File..."));
    EXPECT_EQ(Action("mnuFileItem_1")->text(), QStringLiteral("&De-Secure File..."));
    EXPECT_TRUE(Action("mnuFileItem_2")->isSeparator());
    EXPECT_EQ(Action("mnuFileItem_10")->text(), QStringLiteral("E&xit"));
    EXPECT_EQ(Action("mnuHelpItem_0")->text(), QStringLiteral("&About Hushnote..."));
}

TEST_F(MainWindowTest, PasswordShowsStarsWithoutInputMethod) {
    Open();
    QLineEdit* p = Password();
    EXPECT_EQ(p->echoMode(), QLineEdit::Password);
    EXPECT_EQ(p->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, p), '*');
    EXPECT_FALSE(p->testAttribute(Qt::WA_InputMethodEnabled));
    EXPECT_TRUE(p->inputMethodHints() & Qt::ImhHiddenText);
}

TEST_F(MainWindowTest, TabOrder) {
    frmMain& w = Open();
    Msg()->setFocus();
    const char* order[] = {"txtPassword", "cmdSecure", "cmdDeSecure", "Command1", "txtMsg"};
    for (const char* next : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(w.focusWidget()->objectName(), QString::fromLatin1(next));
    }
}

TEST_F(MainWindowTest, AltPMovesFocusToPasswordAndAltSSecures) {
    frmMain& w = Open();
    QTest::keyClick(&w, Qt::Key_P, Qt::AltModifier);
    EXPECT_EQ(w.focusWidget(), Password());
    QTest::keyClick(&w, Qt::Key_S, Qt::AltModifier);
    // The button clicks itself a moment later, as a mnemonic does.
    for (int i = 0; i < 50 && Boxes().empty(); ++i) {
        QTest::qWait(20);
    }
    // Secure ran: the message box is empty, so it offers to secure a file.
    EXPECT_EQ(OnlyBox().text, QStringLiteral("No message to secure.\r\n\r\nSecure a File?"));
}

// ---- Mode indicator -------------------------------------------------------

TEST_F(MainWindowTest, ModeDllWhenTheLibraryLoads) {
    Open(ProgramFolder());
    QLabel* mode = Find<QLabel>("lblMode");
    EXPECT_EQ(mode->text(), QStringLiteral("DLL"));
    EXPECT_EQ(mode->toolTip(), QStringLiteral("DLL Fast Mode"));
    EXPECT_EQ(mode->palette().color(QPalette::Window), QColor(0, 0, 128));
    EXPECT_EQ(mode->palette().color(QPalette::WindowText),
              mode->palette().color(QPalette::HighlightedText));
    EXPECT_TRUE(mode->autoFillBackground());
    EXPECT_TRUE(mode->font().bold());
}

TEST_F(MainWindowTest, ModeVbWhenTheLibraryIsMissing) {
    Open();
    QLabel* mode = Find<QLabel>("lblMode");
    EXPECT_EQ(mode->text(), QStringLiteral("VB"));
    EXPECT_EQ(mode->toolTip(), QStringLiteral("Missing FNCryptLib.DLL - Using VB Slow Mode"));
    EXPECT_EQ(mode->palette().color(QPalette::Window), QColor(128, 0, 0));
}

TEST_F(MainWindowTest, ModeTwoShowsTheLibraryErrorBeforeTheWindow) {
    bool windowVisible = true;
    MessageBox::SetObserver([&](const MessageBox::Shown&) {
        windowVisible = false;
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (qobject_cast<frmMain*>(top) && top->isVisible()) {
                windowVisible = true;
            }
        }
    });
    frmMain w(HUSHNOTE_BROKEN_LIBRARY_DIR);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_FALSE(windowVisible);
    EXPECT_TRUE(Boxes()[0].text.startsWith(QStringLiteral("Error #453\r\n\r\n")));
    EXPECT_EQ(Boxes()[0].icon, MessageBox::Icon::None);
    EXPECT_EQ(Boxes()[0].caption, QStringLiteral("Hushnote"));
    QLabel* mode = w.findChild<QLabel*>(QStringLiteral("lblMode"));
    EXPECT_EQ(mode->text(), QStringLiteral("VB"));
    EXPECT_EQ(mode->toolTip(), QStringLiteral("Missing FNCryptLib.DLL - Using VB Slow Mode"));
    EXPECT_EQ(mode->palette().color(QPalette::Window), QColor(128, 0, 0));
}

// ---- Status line ----------------------------------------------------------

TEST_F(MainWindowTest, SetMsgPutsASpaceInFront) {
    frmMain& w = Open();
    QTest::qWait(30);
    w.SetMsg(QString());
    EXPECT_EQ(Status()->text(), QStringLiteral(" "));
    w.SetSecureMsg();
    EXPECT_EQ(w.StatusText(), QStringLiteral("  Securing Text..."));
    w.SetDeSecureMsg();
    EXPECT_EQ(w.StatusText(), QStringLiteral("  De-Securing Text..."));
}

TEST_F(MainWindowTest, SetMsgAlwaysHoldsTheLatestText) {
    frmMain& w = Open();
    for (int i = 0; i < 1000; ++i) {
        w.SetMsg(QString::number(i));
    }
    EXPECT_EQ(w.StatusText(), QStringLiteral(" 999"));
    // Reports that come faster than the window repaints are shown a moment
    // later: the last one, never an older one.
    QTest::qWait(100);
    EXPECT_EQ(Status()->text(), QStringLiteral(" 999"));
}

TEST_F(MainWindowTest, ProgressShowsBytesLeftWithGrouping) {
    frmMain& w = Open();
    EXPECT_TRUE(w.ReportProgress(10000, 10000));
    EXPECT_EQ(Status()->text(), QStringLiteral(" Bytes Left: 10,000"));
    EXPECT_TRUE(w.ReportProgress(1810, 10000));
    EXPECT_EQ(w.StatusText(), QStringLiteral(" Bytes Left: 1,810"));
    QTest::qWait(100);
    EXPECT_EQ(Status()->text(), QStringLiteral(" Bytes Left: 1,810"));
}

// ---- Secure ---------------------------------------------------------------

TEST_F(MainWindowTest, SecureEmptyMessageAnsweredNoFocusesMessage) {
    frmMain& w = Open();
    TypePassword();
    MessageBox::SetNextAnswer(MessageBox::kNo);
    Click("cmdSecure");
    const auto& box = OnlyBox();
    EXPECT_EQ(box.text, QStringLiteral("No message to secure.\r\n\r\nSecure a File?"));
    EXPECT_EQ(box.buttons, MessageBox::Buttons::YesNo);
    EXPECT_EQ(box.icon, MessageBox::Icon::Information);
    EXPECT_EQ(box.caption, QStringLiteral("Hushnote"));
    EXPECT_EQ(w.focusWidget(), Msg());
    EXPECT_EQ(Password()->text(), QString::fromLatin1(kPassword));
}

TEST_F(MainWindowTest, SecureEmptyMessageAnsweredYesRunsTheFileCommand) {
    frmMain& w = Open();
    MessageBox::SetNextAnswer(MessageBox::kYes);
    cDialog::CancelNext(); // must stay unused: the password test comes first
    Click("cmdSecure");
    ASSERT_EQ(Boxes().size(), 2u);
    EXPECT_EQ(Boxes()[1].text, QStringLiteral("Password is blank."));
    EXPECT_EQ(w.focusWidget(), Password());
    EXPECT_EQ(cDialog::PendingAnswers(), 1);
}

TEST_F(MainWindowTest, SecureEmptyMessageAnsweredYesWithPasswordAsksForTheFile) {
    Open();
    TypePassword();
    MessageBox::SetNextAnswer(MessageBox::kYes);
    QString title;
    cDialog::SetNextFileAnswer([&](FileDialog& dlg) {
        title = dlg.windowTitle();
        dlg.reject();
    });
    Click("cmdSecure");
    EXPECT_EQ(title, QStringLiteral("Secure File"));
    EXPECT_EQ(Password()->text(), QString::fromLatin1(kPassword));
}

TEST_F(MainWindowTest, SecureBlankPassword) {
    frmMain& w = Open();
    TypeMessage(QStringLiteral("hello"));
    Click("cmdSecure");
    EXPECT_EQ(OnlyBox().text, QStringLiteral("Password is blank."));
    EXPECT_EQ(OnlyBox().buttons, MessageBox::Buttons::Ok);
    EXPECT_EQ(OnlyBox().icon, MessageBox::Icon::Information);
    EXPECT_EQ(w.focusWidget(), Password());
    EXPECT_EQ(Msg()->toPlainText(), QStringLiteral("hello"));
}

TEST_F(MainWindowTest, SecureOneSpaceIsAMessage) {
    Open();
    TypeMessage(QStringLiteral(" "));
    TypePassword();
    Click("cmdSecure");
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(Codes(Msg()->toPlainText()), VBEncrypt::SecureMessage(" ", kPassword));
}

TEST_F(MainWindowTest, SecureProducesSecuredTextWithCrLfLineBreaks) {
    frmMain& w = Open();
    TypeMessage(QStringLiteral("Line one"));
    QTest::keyClick(Msg(), Qt::Key_Return);
    QTest::keyClicks(Msg(), QStringLiteral("Line two"));
    TypePassword();
    EXPECT_EQ(w.MessageText(), QStringLiteral("Line one\r\nLine two"));
    Click("cmdSecure");
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(Codes(Msg()->toPlainText()),
              VBEncrypt::SecureMessage("Line one\r\nLine two", kPassword));
    EXPECT_TRUE(Password()->text().isEmpty());
    EXPECT_TRUE(Status()->text().isEmpty());
    EXPECT_EQ(w.focusWidget(), Msg());
}

TEST_F(MainWindowTest, LimitIsTwentyThousandWithLineBreaksCountingTwo) {
    frmMain& w = Open();
    // 19,998 characters and one line break: exactly 20,000.
    const QString exact =
        QString(9999, QLatin1Char('a')) + QLatin1Char('\n') + QString(9999, QLatin1Char('b'));
    w.SetMessageText(exact);
    TypePassword();
    Click("cmdSecure");
    EXPECT_TRUE(Boxes().empty());
    const std::string expected = Codes(QString(9999, QLatin1Char('a')) + QStringLiteral("\r\n") +
                                       QString(9999, QLatin1Char('b')));
    EXPECT_EQ(VBEncrypt::DeSecureMessage(Codes(Msg()->toPlainText()), kPassword), expected);

    const QString over = exact + QLatin1Char('c');
    w.SetMessageText(over);
    Msg()->setFocus();
    TypePassword();
    Click("cmdSecure");
    EXPECT_EQ(OnlyBox().text, QStringLiteral("Message limit is 20,000 characters."));
    EXPECT_EQ(w.MessageText().size(), 20001);
    EXPECT_EQ(Password()->text(), QString::fromLatin1(kPassword));
    EXPECT_TRUE(Status()->text().isEmpty());
}

TEST_F(MainWindowTest, CharacterOutsideTheCodePageIsAnErrorNotAnEnd) {
    frmMain& w = Open();
    const QString message = QStringLiteral("Snow \u2603 man");
    Msg()->insertPlainText(message);
    TypePassword();
    Click("cmdSecure");
    const auto& box = OnlyBox();
    EXPECT_TRUE(box.text.startsWith(QStringLiteral("Error #5\r\n\r\n"))) << box.text.toStdString();
    EXPECT_TRUE(box.text.contains(QStringLiteral("\u2603")));
    EXPECT_EQ(box.icon, MessageBox::Icon::Critical);
    EXPECT_EQ(box.caption, QStringLiteral("Hushnote"));
    EXPECT_EQ(Msg()->toPlainText(), message);
    EXPECT_EQ(Password()->text(), QString::fromLatin1(kPassword));
    EXPECT_TRUE(Status()->text().isEmpty());
    EXPECT_TRUE(w.isVisible());
}

// ---- De-Secure ------------------------------------------------------------

TEST_F(MainWindowTest, DeSecureEmptyMessage) {
    frmMain& w = Open();
    MessageBox::SetNextAnswer(MessageBox::kNo);
    Click("cmdDeSecure");
    EXPECT_EQ(OnlyBox().text, QStringLiteral("No message to de-secure.\r\n\r\nDe-Secure a File?"));
    EXPECT_EQ(OnlyBox().buttons, MessageBox::Buttons::YesNo);
    EXPECT_EQ(w.focusWidget(), Msg());

    TypePassword();
    MessageBox::SetNextAnswer(MessageBox::kYes);
    QString title;
    cDialog::SetNextFileAnswer([&](FileDialog& dlg) {
        title = dlg.windowTitle();
        dlg.reject();
    });
    Click("cmdDeSecure");
    EXPECT_EQ(title, QStringLiteral("Secured File"));
}

TEST_F(MainWindowTest, DeSecureBlankPasswordLeavesTheText) {
    frmMain& w = Open();
    const QString secured =
        QString::fromLatin1(VBEncrypt::SecureMessage("secret", kPassword).c_str());
    TypeMessage(secured);
    Click("cmdDeSecure");
    EXPECT_EQ(OnlyBox().text, QStringLiteral("Password is blank."));
    EXPECT_EQ(w.focusWidget(), Password());
    EXPECT_EQ(Msg()->toPlainText(), secured);
}

TEST_F(MainWindowTest, RoundTripWithLineBreaks) {
    frmMain& w = Open();
    const QString message = QStringLiteral("Dear Ann,\r\n\r\nsee you at 8.\r\n");
    w.SetMessageText(message);
    TypePassword();
    Click("cmdSecure");
    TypePassword();
    Click("cmdDeSecure");
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(w.MessageText(), message);
    EXPECT_TRUE(Password()->text().isEmpty());
    EXPECT_TRUE(Status()->text().isEmpty());
    EXPECT_EQ(w.focusWidget(), Msg());
}

TEST_F(MainWindowTest, RoundTripWithEveryCodeFrom128To255) {
    frmMain& w = Open();
    std::string codes;
    for (int c = 32; c < 256; ++c) {
        if (c != 127) {
            codes += static_cast<char>(c);
        }
    }
    const QString message = QString::fromStdU16String(codepage::CodesToUtf16(codes));
    w.SetMessageText(message);
    EXPECT_EQ(Codes(w.MessageText()), codes);
    TypePassword();
    Click("cmdSecure");
    EXPECT_EQ(VBEncrypt::DeSecureMessage(Codes(Msg()->toPlainText()), kPassword), codes);
    TypePassword();
    Click("cmdDeSecure");
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(Codes(w.MessageText()), codes);
}

TEST_F(MainWindowTest, DeSecureJoinsTextBrokenIntoLines) {
    frmMain& w = Open();
    const std::string secured = VBEncrypt::SecureMessage("meet at noon", kPassword);
    QString broken;
    for (std::size_t i = 0; i < secured.size(); i += 5) {
        broken += QString::fromLatin1(secured.substr(i, 5).c_str()) + QStringLiteral("\r\n");
    }
    w.SetMessageText(broken);
    TypePassword();
    Click("cmdDeSecure");
    EXPECT_EQ(w.MessageText(), QStringLiteral("meet at noon"));
}

TEST_F(MainWindowTest, DeSecureOfPlainTextShowsTheMarker) {
    frmMain& w = Open();
    TypeMessage(QStringLiteral("abc"));
    TypePassword();
    Click("cmdDeSecure");
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(w.MessageText(), QStringLiteral("ERR2"));
    EXPECT_TRUE(Password()->text().isEmpty());
}

TEST_F(MainWindowTest, LoneCarriageReturnInAResultShowsAsALineBreak) {
    frmMain& w = Open();
    w.SetMessageText(QString::fromLatin1(VBEncrypt::SecureMessage("a\rb\nc", kPassword).c_str()));
    TypePassword();
    Click("cmdDeSecure");
    EXPECT_EQ(Msg()->blockCount(), 3);
    EXPECT_EQ(w.MessageText(), QStringLiteral("a\r\nb\r\nc"));
}

TEST_F(MainWindowTest, UndoAfterDeSecureBringsBackTheSecuredText) {
    frmMain& w = Open();
    const QString secured =
        QString::fromLatin1(VBEncrypt::SecureMessage("the plan", kPassword).c_str());
    TypeMessage(secured);
    QTest::keyClicks(Password(), QStringLiteral("wrong"));
    Click("cmdDeSecure");
    EXPECT_NE(w.MessageText(), secured);
    QTest::keyClick(Msg(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(w.MessageText(), secured);
    TypePassword();
    Click("cmdDeSecure");
    EXPECT_EQ(w.MessageText(), QStringLiteral("the plan"));
}

TEST_F(MainWindowTest, UndoAfterSecureBringsBackTheMessage) {
    frmMain& w = Open();
    TypeMessage(QStringLiteral("draft"));
    TypePassword();
    Click("cmdSecure");
    QTest::keyClick(Msg(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(w.MessageText(), QStringLiteral("draft"));
}

// ---- Copy Text and Ctrl+A -------------------------------------------------

TEST_F(MainWindowTest, CopyTextPutsTheMessageOnTheClipboard) {
    frmMain& w = Open();
    TypeMessage(QStringLiteral("copy me"));
    Msg()->setFocus();
    Click("Command1");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("copy me"));
    EXPECT_EQ(OnlyBox().text, QStringLiteral("Text copied to clipboard."));
    EXPECT_EQ(OnlyBox().buttons, MessageBox::Buttons::Ok);
    EXPECT_EQ(Msg()->toPlainText(), QStringLiteral("copy me"));
    (void)w;
}

TEST_F(MainWindowTest, CopyTextOfAnEmptyBox) {
    Open();
    QGuiApplication::clipboard()->setText(QStringLiteral("old"));
    Click("Command1");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QString());
    EXPECT_EQ(OnlyBox().text, QStringLiteral("Text copied to clipboard."));
}

TEST_F(MainWindowTest, CtrlASelectsTheWholeMessage) {
    Open();
    TypeMessage(QStringLiteral("first line"));
    QTest::keyClick(Msg(), Qt::Key_Return);
    QTest::keyClicks(Msg(), QStringLiteral("second"));
    QTextCursor c = Msg()->textCursor();
    c.setPosition(3);
    Msg()->setTextCursor(c);
    QTest::keyClick(Msg(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(Msg()->textCursor().selectionStart(), 0);
    EXPECT_EQ(Msg()->textCursor().selectionEnd(), Msg()->toPlainText().size());
}

// ---- File commands --------------------------------------------------------

TEST_F(MainWindowTest, FileCommandWithBlankPasswordShowsNoDialog) {
    frmMain& w = Open();
    cDialog::CancelNext();
    Action("mnuFileItem_0")->trigger();
    EXPECT_EQ(OnlyBox().text, QStringLiteral("Password is blank."));
    EXPECT_EQ(w.focusWidget(), Password());
    EXPECT_EQ(cDialog::PendingAnswers(), 1);
}

TEST_F(MainWindowTest, CancelledOpenDialogSkipsTheSaveDialog) {
    Open();
    TypePassword();
    Status()->setText(QStringLiteral("before"));
    cDialog::CancelNext();
    cDialog::CancelNext();
    Action("mnuFileItem_0")->trigger();
    EXPECT_EQ(cDialog::PendingAnswers(), 1);
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(Password()->text(), QString::fromLatin1(kPassword));
    EXPECT_EQ(Status()->text(), QStringLiteral("before"));
}

TEST_F(MainWindowTest, CancelledSaveDialogWritesNothing) {
    Open();
    WriteFile(Path(QStringLiteral("in.txt")), "data");
    TypePassword();
    QStringList titles;
    QStringList filters;
    cDialog::SetNextFileAnswer([&](FileDialog& dlg) {
        titles << dlg.windowTitle();
        filters << dlg.FilterDescriptions();
        dlg.selectFile(Path(QStringLiteral("in.txt")));
        dlg.accept();
    });
    cDialog::SetNextFileAnswer([&](FileDialog& dlg) {
        titles << dlg.windowTitle();
        filters << dlg.FilterDescriptions();
        dlg.reject();
    });
    Action("mnuFileItem_0")->trigger();
    EXPECT_EQ(titles, (QStringList{QStringLiteral("Secure File"),
                                   QStringLiteral("Save Secured File As...")}));
    EXPECT_EQ(filters,
              (QStringList{QStringLiteral("All Files (*.*)"), QStringLiteral("All Files (*.*)")}));
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList{QStringLiteral("in.txt")});
    EXPECT_EQ(Password()->text(), QString::fromLatin1(kPassword));
}

TEST_F(MainWindowTest, CompletedRunsSecureAndDeSecureAFile) {
    frmMain& w = Open();
    QByteArray plain;
    for (int i = 0; i < 10000; ++i) {
        plain += static_cast<char>(i * 7);
    }
    WriteFile(Path(QStringLiteral("in.bin")), plain);
    TypeMessage(QStringLiteral("untouched"));
    TypePassword();
    QStringList titles;
    cDialog::SetNextFileAnswer([&](FileDialog& dlg) {
        titles << dlg.windowTitle();
        dlg.selectFile(Path(QStringLiteral("in.bin")));
        dlg.accept();
    });
    cDialog::SetNextFileAnswer([&](FileDialog& dlg) {
        titles << dlg.windowTitle();
        dlg.selectFile(Path(QStringLiteral("in.sec")));
        dlg.accept();
    });
    Action("mnuFileItem_0")->trigger();
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(ReadFile(Path(QStringLiteral("in.sec"))).toStdString(),
              VBEncrypt::SecureMessage(plain.toStdString(), kPassword));
    EXPECT_TRUE(Password()->text().isEmpty());
    EXPECT_TRUE(Status()->text().isEmpty());
    EXPECT_EQ(w.MessageText(), QStringLiteral("untouched"));

    TypePassword();
    cDialog::SetNextFileAnswer([&](FileDialog& dlg) {
        titles << dlg.windowTitle();
        dlg.selectFile(Path(QStringLiteral("in.sec")));
        dlg.accept();
    });
    cDialog::SetNextFileAnswer([&](FileDialog& dlg) {
        titles << dlg.windowTitle();
        dlg.selectFile(Path(QStringLiteral("out.bin")));
        dlg.accept();
    });
    Action("mnuFileItem_1")->trigger();
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(ReadFile(Path(QStringLiteral("out.bin"))), plain);
    EXPECT_TRUE(Password()->text().isEmpty());
    EXPECT_TRUE(Status()->text().isEmpty());
    EXPECT_EQ(titles,
              (QStringList{QStringLiteral("Secure File"), QStringLiteral("Save Secured File As..."),
                           QStringLiteral("Secured File"),
                           QStringLiteral("Save De-Secured File As...")}));
}

TEST_F(MainWindowTest, LibraryModeFileRunRoundTrips) {
    Open(ProgramFolder());
    const QByteArray plain(50000, 'q');
    WriteFile(Path(QStringLiteral("a")), plain);
    TypePassword();
    cDialog::AnswerNextWith(Path(QStringLiteral("a")));
    cDialog::AnswerNextWith(Path(QStringLiteral("a.sec")));
    Action("mnuFileItem_0")->trigger();
    TypePassword();
    cDialog::AnswerNextWith(Path(QStringLiteral("a.sec")));
    cDialog::AnswerNextWith(Path(QStringLiteral("b")));
    Action("mnuFileItem_1")->trigger();
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(ReadFile(Path(QStringLiteral("b"))), plain);
}

TEST_F(MainWindowTest, NotASecuredFileIsReportedAndNothingWritten) {
    Open();
    WriteFile(Path(QStringLiteral("plain.txt")), "\x80\x80\x80\x80 not secured at all");
    TypePassword();
    cDialog::AnswerNextWith(Path(QStringLiteral("plain.txt")));
    cDialog::AnswerNextWith(Path(QStringLiteral("out.txt")));
    Action("mnuFileItem_1")->trigger();
    const auto& box = OnlyBox();
    EXPECT_TRUE(box.text.contains(QStringLiteral("is not a secured file")))
        << box.text.toStdString();
    EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("out.txt"))));
    EXPECT_TRUE(Password()->text().isEmpty());
    EXPECT_TRUE(Status()->text().isEmpty());
}

TEST_F(MainWindowTest, OutputThatNamesTheInputIsRefused) {
    frmMain& w = Open();
    WriteFile(Path(QStringLiteral("same.txt")), "keep this");
    TypePassword();
    cDialog::AnswerNextWith(Path(QStringLiteral("same.txt")));
    MessageBox::SetNextAnswer(MessageBox::kYes); // replace it? yes
    cDialog::AnswerNextWith(Path(QStringLiteral("same.txt")));
    Action("mnuFileItem_0")->trigger();
    ASSERT_EQ(Boxes().size(), 2u);
    EXPECT_TRUE(Boxes()[1].text.startsWith(QStringLiteral("Error #")));
    EXPECT_EQ(Boxes()[1].icon, MessageBox::Icon::Critical);
    EXPECT_EQ(ReadFile(Path(QStringLiteral("same.txt"))), QByteArray("keep this"));
    EXPECT_TRUE(w.isVisible());
    // The commands are back for the next try.
    EXPECT_TRUE(Button("cmdSecure")->isEnabled());
    EXPECT_TRUE(Action("mnuFileItem_0")->isEnabled());
    EXPECT_TRUE(Status()->text().isEmpty());
}

TEST_F(MainWindowTest, CipherCommandsAreDisabledWhileAFileRuns) {
    frmMain& w = Open();
    WriteFile(Path(QStringLiteral("big")), QByteArray(200000, 'x'));
    TypeMessage(QStringLiteral("hello"));
    TypePassword();
    cDialog::AnswerNextWith(Path(QStringLiteral("big")));
    cDialog::AnswerNextWith(Path(QStringLiteral("big.sec")));
    bool checked = false;
    QTimer::singleShot(0, &w, [&] {
        checked = true;
        EXPECT_TRUE(w.FileOperationRunning());
        EXPECT_FALSE(Button("cmdSecure")->isEnabled());
        EXPECT_FALSE(Button("cmdDeSecure")->isEnabled());
        EXPECT_FALSE(Action("mnuFileItem_0")->isEnabled());
        EXPECT_FALSE(Action("mnuFileItem_1")->isEnabled());
        EXPECT_TRUE(Button("Command1")->isEnabled());
        EXPECT_TRUE(Status()->text().startsWith(QStringLiteral(" Bytes Left: ")));
        // A click that reaches the window meanwhile starts nothing.
        QTest::mouseClick(Button("cmdSecure"), Qt::LeftButton);
        Action("mnuFileItem_0")->trigger();
        EXPECT_EQ(w.MessageText(), QStringLiteral("hello"));
    });
    Action("mnuFileItem_0")->trigger();
    EXPECT_TRUE(checked);
    EXPECT_TRUE(Boxes().empty());
    EXPECT_TRUE(Button("cmdSecure")->isEnabled());
    EXPECT_TRUE(Button("cmdDeSecure")->isEnabled());
    EXPECT_TRUE(Action("mnuFileItem_0")->isEnabled());
    EXPECT_TRUE(Action("mnuFileItem_1")->isEnabled());
    EXPECT_EQ(ReadFile(Path(QStringLiteral("big.sec"))).size(), 8 + 4 * ((200000 + 2) / 3));
    // No progress report waiting to be shown comes back after the run.
    QTest::qWait(60);
    EXPECT_TRUE(Status()->text().isEmpty());
}

TEST_F(MainWindowTest, ClosingDuringAFileStopsItAndLeavesNoOutput) {
    frmMain& w = Open();
    WriteFile(Path(QStringLiteral("big")), QByteArray(400000, 'x'));
    TypePassword();
    cDialog::AnswerNextWith(Path(QStringLiteral("big")));
    cDialog::AnswerNextWith(Path(QStringLiteral("big.sec")));
    QTimer::singleShot(0, &w, [&] {
        w.close();
        EXPECT_TRUE(w.isVisible()); // not yet: the file stops first
    });
    Action("mnuFileItem_0")->trigger();
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(Boxes().empty());
    EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("big.sec"))));
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList{QStringLiteral("big")});
}

TEST_F(MainWindowTest, ExitClosesTheWindowAndTheSeparatorDoesNothing) {
    frmMain& w = Open();
    w.mnuFileItem_Click(2);
    EXPECT_TRUE(w.isVisible());
    Action("mnuFileItem_10")->trigger();
    EXPECT_FALSE(w.isVisible());
}

TEST_F(MainWindowTest, ExitWhileAboutIsOpenClosesTheMainWindowOnly) {
    frmMain& w = Open();
    Action("mnuHelpItem_0")->trigger();
    frmAbout* about = CurrentAboutWindow();
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(about->isVisible());
    EXPECT_FALSE(about->isModal());
    Action("mnuFileItem_10")->trigger();
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(about->isVisible());
    about->close();
    QTest::qWait(10);
}

} // namespace
} // namespace hushnote::test
