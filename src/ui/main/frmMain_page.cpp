// File, Save Receiver Page...: the page a receiver without Hushnote opens in
// any browser, with the secured message inside when the sender wants it.

#include "engine/PastedText.h"
#include "ui/dialogs/MessageBox.h"
#include "ui/dialogs/cDialog.h"
#include "ui/main/QtCodes.h"
#include "ui/main/frmMain.h"
#include "web/ReceiverPage.h"

#include <QInputDialog>

#include <optional>

namespace hushnote {
namespace {

std::optional<QString>& NextHint() {
    static std::optional<QString> hint;
    return hint;
}

// The optional hint, or nothing when the user cancels.
std::optional<QString> AskHint(QWidget* parent) {
    if (auto& next = NextHint()) {
        std::optional<QString> hint = next;
        next.reset();
        return hint;
    }
    bool ok = false;
    QString hint = QInputDialog::getText(
        parent, QStringLiteral("Save Receiver Page"),
        QStringLiteral("A password hint the receiver sees above the password box\r\n"
                       "(optional; never the password itself):"),
        QLineEdit::Normal, QString(), &ok);
    return ok ? std::optional<QString>(hint) : std::nullopt;
}

} // namespace

void frmMain::SetNextHintForTests(const QString& hint) {
    NextHint() = hint;
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
    // A pipe no program reads must not freeze the window.
    RunOnFile([&] {
        web::SaveReceiverPage(*page, qt_codes::ToPath(outfile),
                              carry ? std::optional<std::string>(text.toStdString()) : std::nullopt,
                              hint.toStdString());
    });
}

} // namespace hushnote
