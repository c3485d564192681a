#include "ui/main/frmMain.h"

#include "engine/PastedText.h"
#include "ui/main/MsgTextBox.h"
#include "ui/main/StatusLine.h"
#include "ui/shared/Layout.h"
#include "web/ReceiverPage.h"

#include <QAction>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QProxyStyle>
#include <QPushButton>

#include <algorithm>

namespace hushnote {
namespace {

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

} // namespace

void frmMain::CreateControls() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);

    // Creation order of the drawing; the tab order is set below, the places
    // in ArrangeControls.
    cmdDeSecure = new QPushButton(QStringLiteral("&De-Secure"), client);
    cmdDeSecure->setObjectName(QStringLiteral("cmdDeSecure"));

    Command1 = new QPushButton(QStringLiteral("&Copy Text"), client);
    Command1->setObjectName(QStringLiteral("Command1"));

    CreatePasswordBox(client);

    cmdSecure = new QPushButton(QStringLiteral("&Secure"), client);
    cmdSecure->setObjectName(QStringLiteral("cmdSecure"));

    CreateMessageBox(client);
    CreateModeLabel(client);
    lblStatus = new QLabel(client);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    lblStatus->setTextFormat(Qt::PlainText);
    status_ = std::make_unique<StatusLine>(lblStatus);

    Label1 = new QLabel(QStringLiteral("&Password:"), client);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setBuddy(txtPassword);

    for (QPushButton* b : {cmdSecure, cmdDeSecure, Command1}) {
        // No default or cancel button: Enter and Esc start nothing.
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    ArrangeControls();

    WireControls();
    txtMsg->setFocus();
}

void frmMain::CreatePasswordBox(QWidget* client) {
    txtPassword = new QLineEdit(client);
    txtPassword->setObjectName(QStringLiteral("txtPassword"));
    auto* starStyle = new StarPasswordStyle;
    starStyle->setParent(txtPassword);
    txtPassword->setStyle(starStyle);
    txtPassword->setEchoMode(QLineEdit::Password);
    // No input method: it would see the password in clear.
    txtPassword->setAttribute(Qt::WA_InputMethodEnabled, false);
    txtPassword->setInputMethodHints(Qt::ImhHiddenText | Qt::ImhSensitiveData |
                                     Qt::ImhNoPredictiveText | Qt::ImhNoAutoUppercase);
}

void frmMain::CreateMessageBox(QWidget* client) {
    txtMsg = new MsgTextBox(client);
    txtMsg->setObjectName(QStringLiteral("txtMsg"));
    txtMsg->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    txtMsg->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtMsg->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    txtMsg->setTabChangesFocus(true);
    txtMsg->setAcceptDrops(true);
    txtMsg->viewport()->setAcceptDrops(true);
    // One thing at a time: no drop while a file runs or another drop or text
    // command is still working.
    txtMsg->dropAllowed = [this] { return busy_ == Busy::Idle; };
    connect(txtMsg, &MsgTextBox::filesDropped, this, [this](const QByteArrayList& paths) {
        Guarded([this, &paths] { txtMsg_OLEDragDrop(paths); });
    });

    // In the box's context menu, and its shortcut only while the box has the
    // focus: elsewhere Ctrl+Shift+C is no business of the box.
    mnuCopyForChat = new QAction(QStringLiteral("Copy for C&hat"), txtMsg);
    mnuCopyForChat->setObjectName(QStringLiteral("mnuCopyForChat"));
    mnuCopyForChat->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    mnuCopyForChat->setShortcutContext(Qt::WidgetShortcut);
    mnuCopyForChat->setEnabled(false);
    txtMsg->addAction(mnuCopyForChat);
    connect(mnuCopyForChat, &QAction::triggered, this,
            [this] { Guarded([this] { CopyForChat_Click(); }); });
    connect(txtMsg, &QPlainTextEdit::textChanged, this,
            [this] { mnuCopyForChat->setEnabled(ReadBox().fit == pasted::Fit::Whole); });
}

void frmMain::CreateModeLabel(QWidget* client) {
    lblMode = new QLabel(client);
    lblMode->setObjectName(QStringLiteral("lblMode"));
    lblMode->setAlignment(Qt::AlignCenter);
    lblMode->setAutoFillBackground(true);
    QFont modeFont = lblMode->font();
    modeFont.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                          modeFont.family()});
    modeFont.setPointSizeF(8.25);
    modeFont.setBold(true);
    lblMode->setFont(modeFont);
}

// The tab order, the names a screen reader says and the commands' clicks.
void frmMain::WireControls() {
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
}

void frmMain::ArrangeControls() {
    auto* client = centralWidget();
    if (client == nullptr || Label1 == nullptr) {
        return; // still being built
    }
    // The drawing scaled to the font, so that a larger desktop font or a
    // screen of another density keeps its proportions and its captions fit.
    const double scale = FontScale(*this);
    auto px = [scale](int twips) { return TwipsToPixels(twips, scale); };

    // Widths reach from an edge, so rounding never pushes one past another.
    const int width = px(5220);
    client->setFixedSize(width, px(3510));
    txtMsg->setGeometry(px(30), px(15), width - px(30), px(2580));

    // Right-aligned under the message box, 60 twips apart.
    int x = width - px(30);
    const std::pair<QPushButton*, int> buttons[] = {
        {Command1, px(960)}, {cmdDeSecure, px(960)}, {cmdSecure, px(930)}};
    for (const auto& [button, buttonWidth] : buttons) {
        x -= buttonWidth;
        button->setGeometry(x, px(2730), buttonWidth, px(405));
        x -= px(60);
    }
    const int boxLeft = px(60);
    const int boxBottom = px(2850) + px(285);
    const int boxHeight = std::max(px(285), txtPassword->sizeHint().height());
    txtPassword->setGeometry(boxLeft, boxBottom - boxHeight, x - boxLeft, boxHeight);

    const QSize caption = Label1->sizeHint();
    const int captionHeight = std::max(px(195), caption.height());
    Label1->setGeometry(px(105), std::min(px(2625), boxBottom - boxHeight - captionHeight),
                        std::max(px(780), caption.width()), captionHeight);

    const int modeLeft = width - px(570);
    lblMode->setGeometry(modeLeft, px(3210), px(570), px(270));
    lblStatus->setGeometry(px(15), px(3210), modeLeft - px(45) - px(15), px(270));
    if (layout() != nullptr) {
        layout()->activate(); // the window takes the new size now, not later
    }
}

bool frmMain::event(QEvent* event) {
    const bool handled = QMainWindow::event(event);
    if (ChangesLayout(*event)) {
        ArrangeControls();
    }
    return handled;
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
    if (web::FindReceiverPage(libraryFolder_)) {
        mnuSaveReceiverPage = addFileItem(3, QStringLiteral("Save &Receiver Page..."));
    }
    QAction* separator = mnuFile->addSeparator();
    separator->setObjectName(QStringLiteral("mnuFileItem_2"));
    addFileItem(10, QStringLiteral("E&xit"));

    mnuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    QAction* about = mnuHelp->addAction(QStringLiteral("&About Hushnote..."));
    about->setObjectName(QStringLiteral("mnuHelpItem_0"));
    connect(about, &QAction::triggered, this, [this] { mnuHelpItem_Click(0); });
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

void frmMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!centred_) {
        centred_ = true;
        CentreOnScreen(*this, screen());
    }
}

} // namespace hushnote
