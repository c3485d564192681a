#include "ui/main/frmMain.h"

#include "cipher/DroppedText.h"
#include "cipher/VBEncrypt.h"
#include "common/codepage.h"
#include "common/error.h"
#include "common/message.h"
#include "common/secret.h"
#include "hushnote/identity.h"
#include "ui/about/frmAbout.h"
#include "ui/dialogs/Layout.h"
#include "ui/dialogs/MessageBox.h"
#include "ui/dialogs/cDialog.h"
#include "ui/main/AppIcon.h"
#include "ui/main/MsgTextBox.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QProxyStyle>
#include <QPushButton>
#include <QTextCursor>

#include <algorithm>
#include <new>

namespace hushnote {
namespace {

constexpr int Px(int twips) {
    return TwipsToPixels(twips);
}

// Only probes whether the native library can be used; nothing is ever secured
// with it.
constexpr std::string_view kProbeKey = "~";

// Every password character shows as "*", whatever the style's own choice.
class StarPasswordStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == QStyle::SH_LineEdit_PasswordCharacter) {
            return '*';
        }
        if (hint == QStyle::SH_LineEdit_PasswordMaskDelay) {
            return 0;
        }
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

QString FileFilter() {
    return QStringLiteral("All Files (*.*)") + QChar(0) + QStringLiteral("*.*") + QChar(0);
}

std::filesystem::path ToPath(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

// Straight from the QString's own characters: no intermediate copy of a
// password is left behind unwiped.
std::u16string_view View(const QString& text) {
    return {reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())};
}

std::string ToCodes(const QString& text, codepage::Purpose purpose) {
    return codepage::Utf16ToCodes(View(text), purpose);
}

// The password box's text as codes; a failure does not show its characters.
Secret PasswordCodes(const QLineEdit* box) {
    return Secret(codepage::PasswordToCodes(View(box->text())));
}

QString Quoted(const QString& path) {
    return QLatin1Char('"') + MessageBox::ShownPath(path) + QLatin1Char('"');
}

QString FromCodes(const std::string& codes) {
    return QString::fromStdU16String(codepage::CodesToUtf16(codes));
}

} // namespace

class frmMain::BusyScope {
public:
    BusyScope(frmMain& window, Busy what) : window_(window) {
        window_.busy_ = what;
        if (what == Busy::FileOperation) {
            window_.SetCipherCommandsEnabled(false);
        }
    }
    ~BusyScope() {
        if (window_.busy_ == Busy::FileOperation) {
            window_.SetCipherCommandsEnabled(true);
        }
        window_.busy_ = Busy::Idle;
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    frmMain& window_;
};

frmMain::frmMain(std::filesystem::path libraryFolder, QWidget* parent)
    : QMainWindow(parent), libraryFolder_(std::move(libraryFolder)) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QString::fromUtf8(identity::kTitle));
    // Fixed border: minimise and close, no maximise.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    const QIcon icon = AppIcon();
    setWindowIcon(icon);
    if (QApplication::windowIcon().isNull() ||
        QApplication::windowIcon().availableSizes().isEmpty()) {
        // Other windows of the program (the About window) show it too.
        QApplication::setWindowIcon(icon);
    }
    CreateControls();
    CreateMenus();
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    Form_Load();
}

frmMain::~frmMain() = default;

void frmMain::CreateControls() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(Px(5220), Px(3510));
    setCentralWidget(client);

    // Creation order of the drawing; the tab order is set below.
    cmdDeSecure = new QPushButton(QStringLiteral("&De-Secure"), client);
    cmdDeSecure->setObjectName(QStringLiteral("cmdDeSecure"));
    cmdDeSecure->setGeometry(Px(3210), Px(2730), Px(960), Px(405));

    Command1 = new QPushButton(QStringLiteral("&Copy Text"), client);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(Px(4230), Px(2730), Px(960), Px(405));

    txtPassword = new QLineEdit(client);
    txtPassword->setObjectName(QStringLiteral("txtPassword"));
    txtPassword->setGeometry(Px(60), Px(2850), Px(2100), Px(285));
    auto* starStyle = new StarPasswordStyle;
    starStyle->setParent(txtPassword);
    txtPassword->setStyle(starStyle);
    txtPassword->setEchoMode(QLineEdit::Password);
    // No input method: it would see the password in clear.
    txtPassword->setAttribute(Qt::WA_InputMethodEnabled, false);
    txtPassword->setInputMethodHints(Qt::ImhHiddenText | Qt::ImhSensitiveData |
                                     Qt::ImhNoPredictiveText | Qt::ImhNoAutoUppercase);

    cmdSecure = new QPushButton(QStringLiteral("&Secure"), client);
    cmdSecure->setObjectName(QStringLiteral("cmdSecure"));
    cmdSecure->setGeometry(Px(2220), Px(2730), Px(930), Px(405));

    txtMsg = new MsgTextBox(client);
    txtMsg->setObjectName(QStringLiteral("txtMsg"));
    txtMsg->setGeometry(Px(30), Px(15), Px(5190), Px(2580));
    txtMsg->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    txtMsg->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtMsg->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    txtMsg->setTabChangesFocus(true);
    txtMsg->setAcceptDrops(true);
    txtMsg->viewport()->setAcceptDrops(true);
    // One thing at a time: no drop while a file runs or another drop or text
    // command is still working.
    txtMsg->dropAllowed = [this] { return busy_ == Busy::Idle; };
    connect(txtMsg, &MsgTextBox::filesDropped, this, [this](const QStringList& paths) {
        Guarded([this, &paths] { txtMsg_OLEDragDrop(paths); });
    });

    lblMode = new QLabel(client);
    lblMode->setObjectName(QStringLiteral("lblMode"));
    lblMode->setGeometry(Px(4650), Px(3210), Px(570), Px(270));
    lblMode->setAlignment(Qt::AlignCenter);
    lblMode->setAutoFillBackground(true);
    QFont modeFont = lblMode->font();
    modeFont.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                          modeFont.family()});
    modeFont.setPointSizeF(8.25);
    modeFont.setBold(true);
    lblMode->setFont(modeFont);

    lblStatus = new QLabel(client);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setGeometry(Px(15), Px(3210), Px(4590), Px(270));
    lblStatus->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    lblStatus->setTextFormat(Qt::PlainText);
    statusFlush_.setSingleShot(true);
    statusFlush_.setInterval(kRepaintMs);
    connect(&statusFlush_, &QTimer::timeout, this, &frmMain::FlushStatus);

    Label1 = new QLabel(QStringLiteral("&Password:"), client);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(Px(105), Px(2625), Px(780), Px(195));
    Label1->setBuddy(txtPassword);

    for (QPushButton* b : {cmdSecure, cmdDeSecure, Command1}) {
        // No default or cancel button: Enter and Esc start nothing.
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    ArrangeBottomRow();

    setTabOrder(txtMsg, txtPassword);
    setTabOrder(txtPassword, cmdSecure);
    setTabOrder(cmdSecure, cmdDeSecure);
    setTabOrder(cmdDeSecure, Command1);

    txtMsg->setAccessibleName(QStringLiteral("Message"));
    txtPassword->setAccessibleName(QStringLiteral("Password"));
    cmdSecure->setAccessibleName(QStringLiteral("Secure"));
    cmdDeSecure->setAccessibleName(QStringLiteral("De-Secure"));
    Command1->setAccessibleName(QStringLiteral("Copy Text"));
    lblStatus->setAccessibleName(QStringLiteral("Status"));
    lblMode->setAccessibleName(QStringLiteral("Cipher mode"));
    Label1->setAccessibleName(QStringLiteral("Password"));

    connect(cmdSecure, &QPushButton::clicked, this,
            [this] { Guarded([this] { cmdSecure_Click(); }); });
    connect(cmdDeSecure, &QPushButton::clicked, this,
            [this] { Guarded([this] { cmdDeSecure_Click(); }); });
    connect(Command1, &QPushButton::clicked, this,
            [this] { Guarded([this] { Command1_Click(); }); });

    txtMsg->setFocus();
}

void frmMain::ArrangeBottomRow() {
    // The drawn sizes suit an 8-point font. With a larger desktop font the
    // buttons and the caption grow to fit their text, the three buttons stay
    // right-aligned under the message box, and the password box gives up the
    // width they need.
    constexpr int kGap = Px(60);
    const int right = Px(30) + Px(5190);
    int x = right;
    QPushButton* buttons[] = {Command1, cmdDeSecure, cmdSecure};
    const int designWidths[] = {Px(960), Px(960), Px(930)};
    for (int i = 0; i < 3; ++i) {
        QPushButton* b = buttons[i];
        const int textWidth =
            b->fontMetrics().horizontalAdvance(b->text().remove(QLatin1Char('&')));
        const int w = std::max(designWidths[i], textWidth + 12);
        x -= w;
        b->setGeometry(x, Px(2730), w, Px(405));
        x -= kGap;
    }
    const int boxLeft = Px(60);
    const int boxHeight = std::max(Px(285), txtPassword->fontMetrics().height() + 4);
    const int boxBottom = Px(2850) + Px(285);
    txtPassword->setGeometry(boxLeft, boxBottom - boxHeight, x - boxLeft, boxHeight);

    const QSize caption = Label1->sizeHint();
    const int captionHeight = std::max(Px(195), caption.height());
    Label1->setGeometry(Px(105), std::min(Px(2625), boxBottom - boxHeight - captionHeight),
                        std::max(Px(780), caption.width() + 2), captionHeight);
}

void frmMain::CreateMenus() {
    mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    auto addFileItem = [this](int index, const QString& caption) {
        QAction* a = mnuFile->addAction(caption);
        a->setObjectName(QStringLiteral("mnuFileItem_%1").arg(index));
        connect(a, &QAction::triggered, this, [this, index] { mnuFileItem_Click(index); });
        return a;
    };
    mnuSecureFile = addFileItem(0, QStringLiteral("&Secure File..."));
    mnuDeSecureFile = addFileItem(1, QStringLiteral("&De-Secure File..."));
    QAction* separator = mnuFile->addSeparator();
    separator->setObjectName(QStringLiteral("mnuFileItem_2"));
    addFileItem(10, QStringLiteral("E&xit"));

    mnuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    QAction* about = mnuHelp->addAction(QStringLiteral("&About Hushnote..."));
    about->setObjectName(QStringLiteral("mnuHelpItem_0"));
    connect(about, &QAction::triggered, this, [this] { mnuHelpItem_Click(0); });
}

void frmMain::Form_Load() {
    setWindowTitle(QString::fromUtf8(identity::kTitle) + QStringLiteral(" v") +
                   QString::fromStdString(identity::ShortVersion()));
    CCipher probe(this, libraryFolder_);
    SetMode(probe.Initilize(kProbeKey, 0));
}

void frmMain::SetMode(CipherMode mode) {
    QPalette pal = lblMode->palette();
    pal.setColor(QPalette::WindowText, pal.color(QPalette::HighlightedText));
    if (mode == CipherMode::Library) {
        pal.setColor(QPalette::Window, QColor(0, 0, 128));
        lblMode->setPalette(pal);
        lblMode->setText(QStringLiteral("DLL"));
        lblMode->setToolTip(QStringLiteral("DLL Fast Mode"));
    } else {
        pal.setColor(QPalette::Window, QColor(128, 0, 0));
        lblMode->setPalette(pal);
        lblMode->setText(QStringLiteral("VB"));
        lblMode->setToolTip(QStringLiteral("Missing FNCryptLib.DLL - Using VB Slow Mode"));
    }
}

void frmMain::SetMsg(const QString& message) {
    // A file reports every 4 KiB; setting and painting the label for each
    // report would cost more than the ciphering. So the label is set and the
    // window repainted at most every 20 ms; a report that comes sooner waits
    // for the flush timer, which shows the latest one.
    pendingStatus_ = QLatin1Char(' ') + message;
    if (!lastPump_.isValid() || lastPump_.elapsed() >= kRepaintMs) {
        FlushStatus();
        QCoreApplication::processEvents();
        lastPump_.start();
    } else if (!statusFlush_.isActive()) {
        statusFlush_.start();
    }
}

void frmMain::FlushStatus() {
    statusFlush_.stop();
    if (pendingStatus_) {
        lblStatus->setText(*pendingStatus_);
        pendingStatus_.reset();
    }
}

void frmMain::SetStatus(const QString& text) {
    // A direct write wins over a report still waiting to be shown.
    statusFlush_.stop();
    pendingStatus_.reset();
    lblStatus->setText(text);
}

QString frmMain::StatusText() const {
    return pendingStatus_ ? *pendingStatus_ : lblStatus->text();
}

void frmMain::SetSecureMsg() {
    SetMsg(QStringLiteral(" Securing Text..."));
}

void frmMain::SetDeSecureMsg() {
    SetMsg(QStringLiteral(" De-Securing Text..."));
}

QString frmMain::MessageText() const {
    // Raw text: toPlainText() would turn a no-break space into a space.
    QString text = txtMsg->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text;
}

void frmMain::SetMessageText(const QString& text) {
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    // Through a cursor, not setPlainText: the box's undo history keeps the
    // previous text, so Ctrl+Z brings it back.
    QTextCursor c(txtMsg->document());
    c.beginEditBlock();
    c.select(QTextCursor::Document);
    c.removeSelectedText();
    c.insertText(shown);
    c.endEditBlock();
    QTextCursor start(txtMsg->document());
    txtMsg->setTextCursor(start);
}

void frmMain::Guarded(const std::function<void()>& command) {
    int number = 0;
    QString description;
    try {
        command();
        return;
    } catch (const Failure& f) {
        number = f.number();
        description = QString::fromStdString(f.description());
    } catch (const std::bad_alloc&) {
        number = kErrOutOfMemory;
        description = QStringLiteral("Out of memory");
    } catch (const std::exception& e) {
        number = kErrInternal;
        description = QStringLiteral("Internal error: ") + QString::fromUtf8(e.what());
    }
    // The boxes keep their text: nothing the user typed is lost.
    SetStatus(QString());
    MessageBox::ShowError(this, number, description);
}

bool frmMain::PasswordGiven() {
    if (!txtPassword->text().isEmpty()) {
        return true;
    }
    MessageBox::Show(this, QStringLiteral("Password is blank."));
    txtPassword->setFocus();
    return false;
}

void frmMain::cmdSecure_Click() {
    if (busy_ != Busy::Idle) {
        return;
    }
    const QString message = MessageText();
    if (message.isEmpty()) {
        if (MessageBox::Show(this, QStringLiteral("No message to secure.\r\n\r\nSecure a File?"),
                             MessageBox::Icon::Information,
                             MessageBox::Buttons::YesNo) == MessageBox::Answer::kNo) {
            txtMsg->setFocus();
        } else {
            DoSecureFile();
        }
        return;
    }
    if (!PasswordGiven()) {
        return;
    }
    if (static_cast<std::size_t>(message.size()) > VBEncrypt::kMessageLimit) {
        MessageBox::Show(this, QStringLiteral("Message limit is 20,000 characters."));
        return;
    }
    const BusyScope busy(*this, Busy::TextCommand);
    SetSecureMsg();
    std::string secured;
    {
        const Secret codes(ToCodes(message, codepage::Purpose::Securing));
        const Secret password(PasswordCodes(txtPassword));
        secured = VBEncrypt::SecureMessage(codes.value(), password.value());
        // No key-dependent state outlives the command.
        VBEncrypt::WipeState();
    }
    txtPassword->clear();
    SetStatus(QString());
    SetMessageText(FromCodes(secured));
    txtMsg->setFocus();
}

void frmMain::cmdDeSecure_Click() {
    if (busy_ != Busy::Idle) {
        return;
    }
    QString text = MessageText();
    if (text.isEmpty()) {
        if (MessageBox::Show(this,
                             QStringLiteral("No message to de-secure.\r\n\r\nDe-Secure a File?"),
                             MessageBox::Icon::Information,
                             MessageBox::Buttons::YesNo) == MessageBox::Answer::kNo) {
            txtMsg->setFocus();
        } else {
            DoDeSecureFile();
        }
        return;
    }
    if (!PasswordGiven()) {
        return;
    }
    // Joins secured text that a mail program or the user broke into lines.
    text.remove(QStringLiteral("\r\n"));
    const BusyScope busy(*this, Busy::TextCommand);
    SetDeSecureMsg();
    Secret result;
    {
        const Secret password(PasswordCodes(txtPassword));
        result = Secret(VBEncrypt::DeSecureMessage(ToCodes(text, codepage::Purpose::DeSecuring),
                                                   password.value()));
        VBEncrypt::WipeState();
    }
    txtPassword->clear();
    SetMessageText(FromCodes(result.value()));
    SetStatus(QString());
    txtMsg->setFocus();
}

void frmMain::Command1_Click() {
    // The clipboard gets the platform's own line breaks.
    QGuiApplication::clipboard()->setText(txtMsg->toPlainText());
    MessageBox::Show(this, QStringLiteral("Text copied to clipboard."));
}

void frmMain::mnuFileItem_Click(int index) {
    switch (index) {
    case 0:
        Guarded([this] { DoSecureFile(); });
        break;
    case 1:
        Guarded([this] { DoDeSecureFile(); });
        break;
    case 10:
        close();
        break;
    default:
        break;
    }
}

void frmMain::mnuHelpItem_Click(int index) {
    if (index == 0) {
        ShowAboutWindow();
    }
}

void frmMain::txtMsg_OLEDragDrop(const QStringList& paths) {
    if (busy_ != Busy::Idle) {
        return;
    }
    const BusyScope busy(*this, Busy::Drop);
    activateWindow();
    raise();
    for (const QString& path : paths) {
        if (QFileInfo(path).isDir()) {
            continue;
        }
        // Few reports per file: each one is painted.
        SetMsg(QStringLiteral(" Loading ") + MessageBox::ShownPath(path) + QStringLiteral("..."));
        FlushStatus();
        QCoreApplication::processEvents();
        QString lines;
        try {
            // Through one handle that never blocks, and no more than a
            // message can hold: a pipe or a film dropped by mistake is
            // refused instead of freezing the window.
            lines = FromCodes(dropped::ReadLines(ToPath(path)));
        } catch (const Failure& f) {
            // The files before it stay in the box, and the rest are still
            // loaded.
            SetStatus(QString());
            MessageBox::ShowError(this, f.number(), QString::fromStdString(f.description()));
            continue;
        }
        // Once per file: appending line by line would be quadratic.
        lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        QTextCursor c(txtMsg->document());
        c.movePosition(QTextCursor::End);
        c.insertText(lines);
        SetMsg(QStringLiteral(" Loaded ") + MessageBox::ShownPath(path) + QStringLiteral("."));
        FlushStatus();
        QCoreApplication::processEvents();
    }
}

void frmMain::DoSecureFile() {
    RunFileCommand(true);
}

void frmMain::DoDeSecureFile() {
    RunFileCommand(false);
}

void frmMain::RunFileCommand(bool securing) {
    if (busy_ != Busy::Idle) {
        return;
    }
    if (!PasswordGiven()) {
        return;
    }
    // Before the dialogs: a password the code page lacks is told at once.
    const Secret password(PasswordCodes(txtPassword));
    cDialog dialog;
    QString name;
    const QString infile = dialog.GetOpenName(this, name, QString(),
                                              securing ? QStringLiteral("Secure File")
                                                       : QStringLiteral("Secured File"),
                                              FileFilter(), QString());
    if (infile.isEmpty()) {
        return;
    }
    name.clear();
    const QString outfile =
        dialog.GetSaveName(this, name, QString(),
                           securing ? QStringLiteral("Save Secured File As...")
                                    : QStringLiteral("Save De-Secured File As..."),
                           FileFilter(), QString());
    if (outfile.isEmpty()) {
        return;
    }
    SetStatus(securing ? QStringLiteral(" Securing File...")
                       : QStringLiteral(" De-Securing File..."));

    lastPump_.invalidate();
    DeSecureResult problem;
    bool cancelled = false;
    try {
        // The progress reports let the user reach the window while the file
        // runs; its cipher commands are off until it ends, however it ends.
        const BusyScope busy(*this, Busy::FileOperation);
        CCipher cipher(this, libraryFolder_);
        if (securing) {
            cipher.SecureFile(ToPath(infile), ToPath(outfile), password.value());
        } else {
            problem = cipher.DeSecureFile(ToPath(infile), ToPath(outfile), password.value());
        }
    } catch (const Failure& f) {
        cancelled = closeRequested_ && f.number() == kErrCancelled;
        if (!cancelled) {
            throw;
        }
    }
    if (cancelled) {
        // The window was closed while the file ran: the operation stopped
        // and left nothing behind; now close for real.
        closeRequested_ = false;
        SetStatus(QString());
        close();
        return;
    }
    ShowFileProblem(problem, infile, outfile);
    SetStatus(QString());
    txtPassword->clear();
}

void frmMain::ShowFileProblem(const DeSecureResult& problem, const QString& infile,
                              const QString& outfile) {
    if (problem.outcome == DeSecureOutcome::NotSecured) {
        const QString why = problem.reason.empty()
                                ? QString()
                                : QStringLiteral(": ") + QString::fromStdString(problem.reason);
        MessageBox::Show(this,
                         Quoted(infile) + QStringLiteral(" is not a secured file") + why +
                             QStringLiteral(".\r\n\r\nNothing was written."),
                         MessageBox::Icon::Warning);
    } else if (problem.outcome == DeSecureOutcome::Damaged) {
        const QLocale locale;
        MessageBox::Show(
            this,
            Quoted(infile) + QStringLiteral(" is damaged: it holds ") +
                locale.toString(static_cast<qlonglong>(problem.recovered)) +
                QStringLiteral(" of the ") +
                locale.toString(static_cast<qlonglong>(problem.expected)) +
                QStringLiteral(" bytes its header gives.\r\n\r\nThose were written to ") +
                Quoted(outfile) + QStringLiteral("."),
            MessageBox::Icon::Warning);
    }
}

void frmMain::SetCipherCommandsEnabled(bool enabled) {
    cmdSecure->setEnabled(enabled);
    cmdDeSecure->setEnabled(enabled);
    mnuSecureFile->setEnabled(enabled);
    mnuDeSecureFile->setEnabled(enabled);
}

void frmMain::ShowLibraryError(const ErrorValue& error) {
    MessageBox::Show(isVisible() ? this : nullptr,
                     QString::fromStdString(FormatErrorMessage(error)), MessageBox::Icon::None,
                     MessageBox::Buttons::Ok);
}

bool frmMain::ReportProgress(std::int64_t remaining, std::int64_t /*total*/) {
    SetMsg(QStringLiteral("Bytes Left: ") + QLocale().toString(static_cast<qlonglong>(remaining)));
    return !closeRequested_;
}

void frmMain::closeEvent(QCloseEvent* event) {
    if (busy_ == Busy::FileOperation) {
        // Stop the running file first; it closes the window when it has
        // cleaned up.
        closeRequested_ = true;
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void frmMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!centred_) {
        centred_ = true;
        CentreOnScreen(*this, screen());
    }
}

} // namespace hushnote
