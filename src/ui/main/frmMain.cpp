#include "ui/main/frmMain.h"

#include "common/codepage.h"
#include "common/error.h"
#include "common/secret.h"
#include "engine/PastedText.h"
#include "engine/Plausibility.h"
#include "engine/VBEncrypt.h"
#include "engine/Words.h"
#include "fileio/DroppedText.h"
#include "fileio/SecuredFileIO.h"
#include "hushnote/identity.h"
#include "ui/about/frmAbout.h"
#include "ui/dialogs/MessageBox.h"
#include "ui/main/AppIcon.h"
#include "ui/main/MsgTextBox.h"
#include "ui/main/PipeWait.h"
#include "ui/main/QtCodes.h"
#include "ui/main/StatusLine.h"

#include <QApplication>
#include <QClipboard>
#include <QLayout>
#include <QLineEdit>
#include <QMimeData>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <new>

namespace hushnote {
namespace {

using qt_codes::FromCodes;
using qt_codes::PasswordCodes;
using qt_codes::ToCodes;

QString Said(std::string_view words) {
    return QString::fromLatin1(words.data(), static_cast<qsizetype>(words.size()));
}

} // namespace

frmMain::BusyScope::BusyScope(frmMain& window, Busy what) : window_(window) {
    window_.busy_ = what;
    if (what == Busy::FileOperation) {
        window_.SetCipherCommandsEnabled(false);
    }
}

frmMain::BusyScope::~BusyScope() {
    if (window_.busy_ == Busy::FileOperation) {
        window_.SetCipherCommandsEnabled(true);
    }
    window_.busy_ = Busy::Idle;
}

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
    // A full pipe waits in the event loop, where closing the window still
    // stops the file.
    outputOptions.pipeWait = [this](int fd) {
        return WaitUntilWritable(fd, [this] { return closeRequested_; });
    };
    CreateControls();
    CreateMenus();
    // Any change to the box, the user's or a command's, ends De-Secure's
    // second try.
    connect(txtMsg->document(), &QTextDocument::contentsChanged, this,
            [this] { lastRead_.reset(); });
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    Form_Load();
}

frmMain::~frmMain() = default;

void frmMain::Form_Load() {
    setWindowTitle(QString::fromUtf8(identity::kTitle) + QStringLiteral(" v") +
                   QString::fromStdString(identity::ShortVersion()));
    // Only the indicator: each file command makes a cipher object of its
    // own, which probes the library again.
    CCipher probe(this, libraryFolder_);
    SetMode(probe.ChooseMode(ModeChoice::Auto));
}

void frmMain::SetMsg(const QString& message) {
    status_->Report(QLatin1Char(' ') + message);
}

QString frmMain::StatusText() const {
    return status_->Text();
}

void frmMain::SetSecureMsg() {
    SetMsg(QStringLiteral(" ") + Said(words::kSecuringText));
}

void frmMain::SetDeSecureMsg() {
    SetMsg(QStringLiteral(" ") + Said(words::kDeSecuringText));
}

QString frmMain::BoxText() const {
    // Raw text: toPlainText() would turn a no-break space into a space.
    QString text = txtMsg->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return text;
}

pasted::Reading frmMain::Read(const QString& text) {
    // The text may be a message in clear: its bytes are wiped after.
    QByteArray utf8 = text.toUtf8();
    pasted::Reading reading =
        pasted::FindSecuredText({utf8.constData(), static_cast<std::size_t>(utf8.size())});
    Wipe(utf8.data(), static_cast<std::size_t>(utf8.size()));
    return reading;
}

pasted::Reading frmMain::ReadBox() const {
    return Read(BoxText());
}

bool frmMain::HoldsSecuredText() const {
    return ReadBox().fit == pasted::Fit::Whole;
}

frmMain::DeSecureSource frmMain::TextToDeSecure() const {
    // A result that is itself secured text came from the right password: a
    // message secured twice, which De-Secure goes on with.
    if (lastRead_ && !HoldsSecuredText()) {
        return {*lastRead_, true};
    }
    return {MessageText(), false};
}

void frmMain::ShowDeSecured(const QString& result, const DeSecureSource& source) {
    if (source.again) {
        // Back to what was read first, so that one Ctrl+Z still reaches it.
        txtMsg->document()->undo();
    }
    SetMessageText(result);
    lastRead_ = source.text;
}

QString frmMain::MessageText() const {
    return BoxText().replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
}

void frmMain::SetMessageText(const QString& text, Undo undo) {
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (undo == Undo::Forget) {
        // A fresh document: no undo step, and the old text no longer sits in
        // the document's buffer of removed pieces.
        txtMsg->setPlainText(shown);
    } else {
        // Through a cursor: the box's undo history keeps the previous text, so
        // Ctrl+Z brings it back.
        QTextCursor c(txtMsg->document());
        c.beginEditBlock();
        c.select(QTextCursor::Document);
        c.removeSelectedText();
        c.insertText(shown);
        c.endEditBlock();
    }
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
        description = QString::fromUtf8(kOutOfMemory.data(), kOutOfMemory.size());
    } catch (const std::exception& e) {
        number = kErrInternal;
        description = QStringLiteral("Internal error: ") + QString::fromUtf8(e.what());
    }
    // The boxes keep their text: nothing the user typed is lost.
    status_->Set(QString());
    MessageBox::ShowError(this, number, description);
}

bool frmMain::PasswordGiven() {
    if (!txtPassword->text().isEmpty()) {
        return true;
    }
    MessageBox::Show(this, Said(words::kBlankPassword));
    txtPassword->setFocus();
    return false;
}

void frmMain::cmdSecure_Click() {
    if (busy_ != Busy::Idle) {
        return;
    }
    const QString message = MessageText();
    if (message.isEmpty()) {
        if (MessageBox::Show(
                this, Said(words::kNoMessageToSecure) + QStringLiteral("\r\n\r\nSecure a File?"),
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
        MessageBox::Show(this, Said(words::kMessageLimit));
        return;
    }
    // Securing secured text again is seldom meant, and the box then forgets
    // what it held: asked first, No the default.
    if (HoldsSecuredText() &&
        MessageBox::Show(this, Said(words::kSecureAgain), MessageBox::Icon::Information,
                         MessageBox::Buttons::YesNoDefaultNo) != MessageBox::Answer::kYes) {
        txtMsg->setFocus();
        return;
    }
    const BusyScope busy(*this, Busy::TextCommand);
    SetSecureMsg();
    std::string secured;
    {
        const Secret codes(ToCodes(message, codepage::Purpose::Securing));
        const Secret password(PasswordCodes(txtPassword));
        secured = VBEncrypt::SecureMessage(codes.value(), password.value());
    }
    txtPassword->clear();
    status_->Set(QString());
    // The plaintext must not come back with Ctrl+Z; the user de-secures instead.
    SetMessageText(FromCodes(secured), Undo::Forget);
    txtMsg->setFocus();
}

void frmMain::cmdDeSecure_Click() {
    if (busy_ != Busy::Idle) {
        return;
    }
    const DeSecureSource source = TextToDeSecure();
    const QString& text = source.text;
    if (text.isEmpty()) {
        if (MessageBox::Show(this,
                             Said(words::kNoMessageToDeSecure) +
                                 QStringLiteral("\r\n\r\nDe-Secure a File?"),
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
    const BusyScope busy(*this, Busy::TextCommand);
    SetDeSecureMsg();
    const pasted::Reading reading = Read(text);
    Secret result;
    {
        const Secret password(PasswordCodes(txtPassword));
        // Anything but secured text goes as it always went: lines joined, and
        // a character outside the code page refused.
        const Secret codes(reading.fit != pasted::Fit::NotSecured
                               ? std::string(reading.text)
                               : ToCodes(QString(text).remove(QStringLiteral("\r\n")),
                                         codepage::Purpose::DeSecuring));
        result = Secret(VBEncrypt::DeSecureMessage(codes.value(), password.value()));
    }
    txtPassword->clear();
    ShowDeSecured(FromCodes(result.value()), source);
    // A changed or foreign paste is always told, so that no result is taken
    // for the message unawares.
    QString said;
    switch (reading.fit) {
    case pasted::Fit::Whole:
        // The format has no password check, so a wrong password is only
        // guessed at; the markers ERR, ERR2 and VBError read as text.
        if (!plausibility::LooksLikeText(result.value())) {
            said = Said(words::kWrongPassword);
        }
        break;
    case pasted::Fit::Short:
    case pasted::Fit::Long:
        said = Said(words::ChangedText(reading.Difference())) + QLatin1Char(' ') +
               Said(words::kCtrlZGetsPasteBack);
        break;
    case pasted::Fit::NotSecured:
        said = Said(words::kNotSecuredText);
        if (MessageText() != text) {
            said += QLatin1Char(' ') + Said(words::kCtrlZGetsPasteBack);
        }
        break;
    }
    status_->Set(said.isEmpty() ? QString() : QLatin1Char(' ') + said);
    txtMsg->setFocus();
}

void frmMain::Command1_Click() {
    // The clipboard gets the platform's own line breaks.
    const QString text = BoxText();
    auto* data = new QMimeData;
    data->setText(text);
    // Secured text is meant to travel, and is all ASCII. Anything else is a
    // message in clear, which clipboard managers honouring this mark keep out
    // of their history.
    if (Read(text).fit != pasted::Fit::Whole) {
        data->setData(QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret"));
    }
    QGuiApplication::clipboard()->setMimeData(data);
    MessageBox::Show(this, Said(words::kTextCopied));
}

void frmMain::CopyForChat_Click() {
    const pasted::Reading reading = ReadBox();
    if (reading.fit != pasted::Fit::Whole) {
        return; // the text changed since the command was enabled
    }
    // Secured text, so without the secret mark Copy Text gives a message.
    // Plain-text pastes get the fence; rich editors (mail composers, some
    // chats) take the HTML and make a code block of it, where the fence would
    // show as text.
    auto* data = new QMimeData;
    data->setText(QString::fromLatin1(pasted::ChatForm(reading.text)));
    data->setHtml(QStringLiteral("<pre>") + QString::fromLatin1(reading.text).toHtmlEscaped() +
                  QStringLiteral("</pre>"));
    QGuiApplication::clipboard()->setMimeData(data);
    MessageBox::Show(this, Said(words::kTextCopied));
}

void frmMain::mnuFileItem_Click(int index) {
    switch (index) {
    case 0:
        Guarded([this] { DoSecureFile(); });
        break;
    case 1:
        Guarded([this] { DoDeSecureFile(); });
        break;
    case 3:
        Guarded([this] { SaveReceiverPage(); });
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

void frmMain::txtMsg_OLEDragDrop(const QByteArrayList& paths) {
    if (busy_ != Busy::Idle) {
        return;
    }
    const BusyScope busy(*this, Busy::Drop);
    activateWindow();
    raise();
    for (const QByteArray& path : paths) {
        const std::filesystem::path file(path.toStdString());
        std::error_code ec;
        if (std::filesystem::is_directory(file, ec)) {
            // Skipped, but not without a word.
            status_->ReportNow(QStringLiteral("  ") +
                               QString::fromStdString(fileio::FolderNotFile(file)));
            continue;
        }
        // Few reports per file: each one is painted. As SetMsg shows them,
        // with a blank before the text.
        status_->ReportNow(QStringLiteral("  Loading ") + MessageBox::ShownPath(path) +
                           QStringLiteral("..."));
        QString lines;
        try {
            // Through one handle that never blocks, and no more than a
            // message can hold: a pipe or a film dropped by mistake is
            // refused instead of freezing the window.
            lines = FromCodes(dropped::ReadLines(file));
        } catch (const Failure& f) {
            // The files before it stay in the box, and the rest are still
            // loaded.
            status_->Set(QString());
            MessageBox::ShowError(this, f.number(), QString::fromStdString(f.description()));
            continue;
        }
        // Once per file: appending line by line would be quadratic.
        lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        QTextCursor c(txtMsg->document());
        c.movePosition(QTextCursor::End);
        c.insertText(lines);
        status_->ReportNow(QStringLiteral("  Loaded ") + MessageBox::ShownPath(path) +
                           QStringLiteral("."));
    }
}
} // namespace hushnote
