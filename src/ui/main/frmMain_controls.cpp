#include "ui/main/frmMain.h"

#include "ui/dialogs/Layout.h"
#include "ui/main/MsgTextBox.h"
#include "ui/main/StatusLine.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProxyStyle>
#include <QPushButton>

#include <algorithm>

namespace hushnote {
namespace {

constexpr int Px(int twips) {
    return TwipsToPixels(twips);
}

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
    status_ = std::make_unique<StatusLine>(lblStatus);

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
    const int twipsWidths[] = {Px(960), Px(960), Px(930)};
    for (int i = 0; i < 3; ++i) {
        QPushButton* b = buttons[i];
        const int textWidth =
            b->fontMetrics().horizontalAdvance(b->text().remove(QLatin1Char('&')));
        const int w = std::max(twipsWidths[i], textWidth + 12);
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
