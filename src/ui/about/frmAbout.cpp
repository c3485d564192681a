#include "ui/about/frmAbout.h"

#include "hushnote/about_links.h"
#include "hushnote/identity.h"
#include "ui/about/HTMLLink.h"
#include "ui/about/UrlOpener.h"
#include "ui/shared/Layout.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include <algorithm>

namespace hushnote {

namespace {

QPointer<frmAbout>& OpenWindow() {
    static QPointer<frmAbout> window;
    return window;
}

// One line, plain about what the cipher is good for.
constexpr const char* kDisclaimer = "Keeps text from casual eyes only; not for real secrets.";

QIcon ProgramIcon(const QWidget* window) {
    QIcon icon = QApplication::windowIcon();
    if (icon.isNull()) {
        icon = window->style()->standardIcon(QStyle::SP_MessageBoxInformation);
    }
    return icon;
}

// http://<host>/update.asp?sid=hushnt1&ver=<version>
QString UpdateUrl() {
    return QStringLiteral("http://%1/update.asp?sid=%2&ver=%3")
        .arg(QString::fromUtf8(about_links::kUpdateHost), QString::fromUtf8(about_links::kUpdateId),
             QString::fromStdString(identity::FullVersion()));
}

} // namespace

void ShowAboutWindow() {
    QPointer<frmAbout>& window = OpenWindow();
    if (window.isNull()) {
        // Created without an owner, so it neither stays above the main window
        // nor closes with it, and it keeps the program running on its own.
        window = new frmAbout();
        window->show();
    } else {
        window->show();
        window->raise();
        window->activateWindow();
    }
}

frmAbout* CurrentAboutWindow() {
    return OpenWindow().data();
}

frmAbout::frmAbout(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    // A fixed tool frame: title and close box only, kept out of the taskbar.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose);
    // Tool windows do not keep the program alive by default; this one must,
    // since closing the main window leaves it open.
    setAttribute(Qt::WA_QuitOnClose, true);
    setSizeGripEnabled(false);
    setMouseTracking(true);

    CreateControls();
    Form_Load();
    ArrangeControls();
    // Centred on the screen the user is working on.
    const QWidget* active = QApplication::activeWindow();
    CentreOnScreen(*this, active != nullptr ? active->screen() : QGuiApplication::primaryScreen());
}

frmAbout::~frmAbout() = default;

void frmAbout::CreateControls() {
    auto makeLabel = [this](const char* name, const QString& text) {
        auto* label = new QLabel(text, this);
        label->setObjectName(QString::fromLatin1(name));
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(false);
        // Only the window's own background resets the links; pointer moves
        // over the other controls must not reach it.
        label->setAttribute(Qt::WA_NoMousePropagation);
        return label;
    };

    picIcon = makeLabel("picIcon", QString());
    lblDisclaimer = makeLabel("lblDisclaimer", QString());
    lblTitle = makeLabel("lblTitle", QString());
    lblCopyright = makeLabel("lblCopyright", QString::fromUtf8(about_links::kCopyright));
    lblMailTo = makeLabel("lblMailTo", QString::fromUtf8(about_links::kEmail));
    lblFennick = makeLabel("lblFennick", QString::fromUtf8(about_links::kWebsiteName));
    Label1 = makeLabel("Label1", QStringLiteral("e-mail:"));
    Label2 = makeLabel("Label2", QStringLiteral("web:"));

    cmdUpdate = new QPushButton(QStringLiteral("Update"), this);
    cmdUpdate->setObjectName(QStringLiteral("cmdUpdate"));
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    for (QPushButton* button : {cmdUpdate, cmdOK}) {
        button->setAttribute(Qt::WA_NoMousePropagation);
    }
    cmdOK->setDefault(true);

    // Black text on the notice and the title, whatever the desktop's palette.
    for (QLabel* label : {lblDisclaimer, lblTitle}) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, Qt::black);
        label->setPalette(palette);
    }

    // The links and their targets.
    lblFennick->setProperty("Tag", QString::fromUtf8(about_links::kWebsiteUrl));
    lblMailTo->setProperty("Tag",
                           QStringLiteral("mailto:") + QString::fromUtf8(about_links::kEmail));
    lblFennick->setCursor(Qt::PointingHandCursor);
    for (QLabel* link : {lblFennick, lblMailTo}) {
        link->setMouseTracking(true);
        link->installEventFilter(this);
    }

    QWidget* const tabOrder[] = {picIcon,    lblDisclaimer, lblTitle, lblCopyright, lblMailTo,
                                 lblFennick, Label1,        Label2,   cmdUpdate,    cmdOK};
    for (std::size_t i = 1; i < std::size(tabOrder); ++i) {
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    }

    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    connect(cmdUpdate, &QPushButton::clicked, this, &frmAbout::cmdUpdate_Click);
}

void frmAbout::Form_Load() {
    const QIcon icon = ProgramIcon(this);
    setWindowIcon(icon);
    setWindowTitle(QStringLiteral("About ") + QString::fromUtf8(identity::kTitle));
    lblTitle->setText(QStringLiteral("%1 v%2").arg(
        QString::fromUtf8(identity::kTitle), QString::fromStdString(identity::FullVersion())));
    lblDisclaimer->setText(QString::fromUtf8(kDisclaimer));
    lblMailTo->setCursor(lblFennick->cursor());
    SetLinkState(lblFennick, LinkMode::kNormal);
    SetLinkState(lblMailTo, LinkMode::kNormal);
}

namespace {

// At least the twips size, and a margin right of and below every control.
void FitToChildren(QWidget& window, double scale) {
    auto px = [scale](int twips) { return TwipsToPixels(twips, scale); };
    int right = px(5460);
    int bottom = px(2070);
    for (const QWidget* child : window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        right = std::max(right, child->geometry().right() + 1 + px(120));
        bottom = std::max(bottom, child->geometry().bottom() + 1 + px(120));
    }
    window.setFixedSize(right, bottom);
}

} // namespace

void frmAbout::ArrangeControls() {
    if (cmdOK == nullptr) {
        return; // still being built
    }
    // Scale the twips layout to the font in use, so larger desktop fonts get a
    // proportionally larger window instead of clipped text.
    const double scale = FontScale(*this);
    auto px = [scale](int twips) { return TwipsToPixels(twips, scale); };

    QFont titleFont = font();
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);
    // Drawn for the screen's pixel density, so the icon stays sharp.
    const int iconSide = px(480);
    picIcon->setPixmap(
        windowIcon().pixmap(QSize(iconSide, iconSide), picIcon->devicePixelRatioF()));

    // A label gets at least its twips size and never less than its text.
    auto place = [&](QLabel* label, int left, int top, int width, int height) {
        const QSize hint = label->sizeHint();
        label->setGeometry(left, top, std::max(width, hint.width()),
                           std::max(height, hint.height()));
    };

    picIcon->setGeometry(px(240), px(240), iconSide, iconSide);
    place(lblTitle, px(1050), px(240), px(2805), px(240));
    place(lblCopyright, px(1050), px(525), 0, px(195));

    // "web:" and "e-mail:" end on one line, and both links start after it.
    const int colonRight = std::max(px(1500), px(1050) + Label1->sizeHint().width());
    place(Label1, 0, px(1125), 0, px(195));
    place(Label2, 0, px(855), 0, px(195));
    Label1->move(colonRight - Label1->width(), Label1->y());
    Label2->move(colonRight - Label2->width(), Label2->y());
    const int linkLeft = std::max(px(1590), colonRight + px(90));
    place(lblMailTo, linkLeft, px(1125), 0, px(195));
    place(lblFennick, linkLeft + px(15), px(870), 0, px(195));

    // Below the mail row, with room for the rows above.
    const int disclaimerTop = std::max(px(1575), lblMailTo->geometry().bottom() + 1 + px(120));
    place(lblDisclaimer, px(1050), disclaimerTop, px(3465), px(210));

    // The buttons stand right of the title lines, "OK" above "Update".
    const int buttonLeft = std::max({px(4080), lblTitle->geometry().right() + 1 + px(120),
                                     lblCopyright->geometry().right() + 1 + px(120)});
    const int buttonWidth =
        std::max({px(1260), cmdOK->sizeHint().width(), cmdUpdate->sizeHint().width()});
    const int buttonHeight =
        std::max({px(345), cmdOK->sizeHint().height(), cmdUpdate->sizeHint().height()});
    cmdOK->setGeometry(buttonLeft, px(120), buttonWidth, buttonHeight);
    cmdUpdate->setGeometry(buttonLeft, std::max(px(540), cmdOK->geometry().bottom() + 1 + px(75)),
                           buttonWidth, buttonHeight);

    FitToChildren(*this, scale);
}

bool frmAbout::event(QEvent* event) {
    const bool handled = QDialog::event(event);
    if (ChangesLayout(*event)) {
        ArrangeControls();
    }
    return handled;
}

void frmAbout::Form_MouseMove() {
    SetLinkState(lblFennick, LinkMode::kLeft);
    SetLinkState(lblMailTo, LinkMode::kLeft);
}

void frmAbout::lblFennick_MouseMove() {
    SetLinkState(lblMailTo, LinkMode::kLeft);
    SetLinkState(lblFennick, LinkMode::kHovered);
}

void frmAbout::lblMailTo_MouseMove() {
    SetLinkState(lblFennick, LinkMode::kLeft);
    SetLinkState(lblMailTo, LinkMode::kHovered);
}

void frmAbout::lblFennick_Click() {
    SetLinkState(lblFennick, LinkMode::kOpened, this);
}

void frmAbout::lblMailTo_Click() {
    SetLinkState(lblMailTo, LinkMode::kOpened, this);
}

void frmAbout::cmdOK_Click() {
    close();
}

void frmAbout::cmdUpdate_Click() {
    // Fire and forget: the page tells the user whether a newer version exists.
    OpenWithSystem(UpdateUrl(), this);
}

void frmAbout::mouseMoveEvent(QMouseEvent* event) {
    Form_MouseMove();
    event->accept();
}

bool frmAbout::eventFilter(QObject* watched, QEvent* event) {
    auto* link = qobject_cast<QLabel*>(watched);
    if (link == nullptr || (link != lblFennick && link != lblMailTo)) {
        return QDialog::eventFilter(watched, event);
    }

    switch (event->type()) {
    case QEvent::MouseMove:
        if (link == lblFennick) {
            lblFennick_MouseMove();
        } else {
            lblMailTo_MouseMove();
        }
        return true;
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton) {
            pressedLink_ = link;
        }
        return true;
    }
    case QEvent::MouseButtonRelease: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton) {
            return true;
        }
        // A click is a press and a release on the same link.
        const bool click =
            pressedLink_ == link && link->rect().contains(mouse->position().toPoint());
        pressedLink_ = nullptr;
        if (click) {
            if (link == lblFennick) {
                lblFennick_Click();
            } else {
                lblMailTo_Click();
            }
        }
        return true;
    }
    default:
        return QDialog::eventFilter(watched, event);
    }
}

} // namespace hushnote
