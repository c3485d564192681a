// File, Save Receiver Page...: the page a receiver without Hushnote opens in
// any browser, with the secured message inside when the sender wants it.

#include "common/message.h"
#include "engine/PastedText.h"
#include "ui/dialogs/MessageBox.h"
#include "ui/dialogs/cDialog.h"
#include "ui/main/QtCodes.h"
#include "ui/main/StatusLine.h"
#include "ui/main/frmMain.h"
#include "web/ReceiverPage.h"

#include <QInputDialog>

#include <optional>

namespace hushnote {
namespace {

QStringList& NextHints() {
    static QStringList hints;
    return hints;
}

// The optional hint, or nothing when the user cancels. A hint the page could
// not show as typed is refused, and asked for again as it was typed.
std::optional<QString> AskHint(QWidget* parent) {
    QString hint;
    for (;;) {
        bool ok = true;
        if (!NextHints().isEmpty()) {
            hint = NextHints().takeFirst();
        } else {
            hint = QInputDialog::getText(
                parent, QStringLiteral("Save Receiver Page"),
                QStringLiteral("A password hint the receiver sees above the password box\r\n"
                               "(optional; never the password itself):"),
                QLineEdit::Normal, hint, &ok);
        }
        if (!ok) {
            return std::nullopt;
        }
        try {
            web::CheckHint(hint.toStdString());
            return hint;
        } catch (const Failure& f) {
            MessageBox::ShowError(parent, f.number(), QString::fromStdString(f.description()));
        }
    }
}

} // namespace

void frmMain::SetNextHintsForTests(const QStringList& hints) {
    NextHints() = hints;
}

void frmMain::SaveReceiverPage() {
    if (busy_ != Busy::Idle) {
        return;
    }
    const auto page = web::FindReceiverPage(libraryFolder_);
    if (!page) {
        return;
    }
    // Only secured text that fits its header travels; anything else sends
    // the page out empty.
    const QByteArray text = MessageText().toUtf8();
    const bool secured =
        pasted::FindSecuredText(
            std::string_view(text.constData(), static_cast<std::size_t>(text.size())))
            .fit == pasted::Fit::Whole;
    bool carry = false;
    QString hint;
    if (secured && MessageBox::Show(this, QStringLiteral("Put the secured message in the page?"),
                                    MessageBox::Icon::Question,
                                    MessageBox::Buttons::YesNo) == MessageBox::Answer::kYes) {
        const auto asked = AskHint(this);
        if (!asked) {
            return;
        }
        carry = true;
        hint = *asked;
    }
    cDialog dialog;
    QString name = QString::fromUtf8(web::kReceiverPageName.data(),
                                     static_cast<qsizetype>(web::kReceiverPageName.size()));
    const QString outfile =
        dialog.GetSaveName(this, name, QString(), QStringLiteral("Save Receiver Page As..."),
                           cDialog::DefaultFilter(), QStringLiteral("html"));
    if (outfile.isEmpty()) {
        return;
    }
    const std::filesystem::path out = qt_codes::ToPath(outfile);
    // A pipe no program reads must not freeze the window.
    const bool ran = RunOnFile([&] {
        web::SaveReceiverPage(*page, out,
                              carry ? std::optional<std::string>(text.toStdString()) : std::nullopt,
                              hint.toStdString(), outputOptions);
    });
    if (ran) {
        // The dialog may have added ".html": say where the page went.
        status_->Set(QStringLiteral("  Receiver page saved as ") +
                     QString::fromStdString(QuotedPath(out)) + QLatin1Char('.'));
    }
}

} // namespace hushnote
