#include "ui/main/frmMain.h"

#include "common/error.h"
#include "common/message.h"
#include "common/secret.h"
#include "engine/Words.h"
#include "ui/dialogs/MessageBox.h"
#include "ui/dialogs/cDialog.h"
#include "ui/main/QtCodes.h"
#include "ui/main/StatusLine.h"

#include <QAction>
#include <QCloseEvent>
#include <QLocale>
#include <QPushButton>

namespace hushnote {
namespace {

using qt_codes::PasswordCodes;
using qt_codes::ToPath;

QString Latin1(std::string_view words) {
    return QString::fromLatin1(words.data(), static_cast<qsizetype>(words.size()));
}

QString FileFilter() {
    return QStringLiteral("All Files (*.*)") + QChar(0) + QStringLiteral("*.*") + QChar(0);
}

} // namespace

void frmMain::DoSecureFile() {
    RunFileCommand(true);
}

void frmMain::DoDeSecureFile() {
    RunFileCommand(false);
}

std::optional<frmMain::FileNames> frmMain::AskFileNames(bool securing) {
    cDialog dialog;
    QString name;
    FileNames names;
    names.in = dialog.GetOpenName(this, name, QString(),
                                  securing ? QStringLiteral("Secure File")
                                           : QStringLiteral("Secured File"),
                                  FileFilter(), QString());
    if (names.in.isEmpty()) {
        return std::nullopt;
    }
    name.clear();
    names.out = dialog.GetSaveName(this, name, QString(),
                                   securing ? QStringLiteral("Save Secured File As...")
                                            : QStringLiteral("Save De-Secured File As..."),
                                   FileFilter(), QString());
    if (names.out.isEmpty()) {
        return std::nullopt;
    }
    return names;
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
    const auto names = AskFileNames(securing);
    if (!names) {
        return;
    }
    const QString& infile = names->in;
    const QString& outfile = names->out;
    status_->Set(QStringLiteral(" ") +
                 Latin1(securing ? words::kSecuringFile : words::kDeSecuringFile));

    status_->ShowNextAtOnce();
    DeSecureResult problem;
    const bool ran = RunOnFile([&] {
        CCipher cipher(this, libraryFolder_);
        if (securing) {
            cipher.SecureFile(ToPath(infile), ToPath(outfile), password.value());
        } else {
            problem = cipher.DeSecureFile(ToPath(infile), ToPath(outfile), password.value());
        }
    });
    if (!ran) {
        return;
    }
    ShowFileProblem(problem, infile, outfile);
    status_->Set(QString());
    txtPassword->clear();
}

bool frmMain::RunOnFile(const std::function<void()>& work) {
    try {
        // The progress reports let the user reach the window while the file
        // runs; its cipher commands are off until it ends, however it ends.
        const BusyScope busy(*this, Busy::FileOperation);
        work();
        return true;
    } catch (const Failure& f) {
        if (!closeRequested_ || f.number() != kErrCancelled) {
            throw;
        }
    }
    // The window was closed while the file ran: the operation stopped and
    // left nothing behind; now close for real.
    closeRequested_ = false;
    status_->Set(QString());
    close();
    return false;
}

void frmMain::ShowFileProblem(const DeSecureResult& problem, const QString& infile,
                              const QString& outfile) {
    if (problem.outcome == DeSecureOutcome::Done) {
        return;
    }
    const words::Style box{.sentenceBreak = "\r\n\r\n", .count = [](long long n) {
                               return QLocale().toString(static_cast<qlonglong>(n)).toStdString();
                           }};
    MessageBox::Show(this,
                     QString::fromStdString(words::FileOutcome(problem, QuotedPath(ToPath(infile)),
                                                               QuotedPath(ToPath(outfile)), box)),
                     MessageBox::Icon::Warning);
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
    SetMsg(Latin1(words::kBytesLeft) + QLocale().toString(static_cast<qlonglong>(remaining)));
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

} // namespace hushnote
