#include "RecordingOpener.h"
#include "hushnote/about_links.h"
#include "ui/about/HTMLLink.h"
#include "ui/about/frmAbout.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>

#include <gtest/gtest.h>

using namespace hushnote;

namespace {

constexpr ColorValue kBlue = 0xFF0000;
constexpr ColorValue kRed = 0x0000FF;
constexpr ColorValue kPurple = 0x800080;

void FlushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

int OpenAboutWindows() {
    int count = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<frmAbout*>(w) != nullptr)
            ++count;
    return count;
}

void MoveOver(QWidget* widget, QPoint pos = QPoint(2, 2)) {
    QMouseEvent move(QEvent::MouseMove, pos, widget->mapToGlobal(pos), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

void ClickOn(QWidget* widget, QPoint pressAt = QPoint(2, 2), QPoint releaseAt = QPoint(2, 2)) {
    QMouseEvent press(QEvent::MouseButtonPress, pressAt, widget->mapToGlobal(pressAt),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, releaseAt, widget->mapToGlobal(releaseAt),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &release);
}

class AboutWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ShowAboutWindow();
        about = CurrentAboutWindow();
        ASSERT_NE(about, nullptr);
    }
    void TearDown() override {
        if (frmAbout* w = CurrentAboutWindow())
            w->close();
        FlushDeletes();
        ASSERT_EQ(CurrentAboutWindow(), nullptr);
        ASSERT_EQ(OpenAboutWindows(), 0);
    }

    // A point on the window's own background, away from every control.
    QPoint Background() const {
        const QPoint p(about->width() - 3, about->height() - 3);
        EXPECT_EQ(about->childAt(p), nullptr);
        return p;
    }

    static bool Underlined(const QLabel* label) { return label->font().underline(); }

    RecordingOpener opener;
    frmAbout* about = nullptr;
};

TEST_F(AboutWindowTest, ShowsTitleVersionAndControlTexts) {
    EXPECT_EQ(about->windowTitle(), QStringLiteral("About Hushnote"));
    EXPECT_EQ(about->lblTitle->text(), QStringLiteral("Hushnote v0.6.0"));
    EXPECT_TRUE(about->lblTitle->font().bold());
    EXPECT_EQ(about->Label1->text(), QStringLiteral("e-mail:"));
    EXPECT_EQ(about->Label2->text(), QStringLiteral("web:"));
    EXPECT_EQ(about->cmdUpdate->text(), QStringLiteral("Update"));
    EXPECT_EQ(about->cmdOK->text(), QStringLiteral("OK"));
    EXPECT_EQ(about->lblMailTo->text(), QString::fromUtf8(about_links::kEmail));
    EXPECT_EQ(about->lblFennick->text(), QString::fromUtf8(about_links::kWebsiteName));
    EXPECT_FALSE(about->lblCopyright->text().isEmpty());
    EXPECT_FALSE(about->lblDisclaimer->text().isEmpty());
    EXPECT_FALSE(about->lblDisclaimer->text().contains(QLatin1Char('\n')));
    EXPECT_FALSE(about->windowIcon().isNull());
    EXPECT_FALSE(about->picIcon->pixmap().isNull());
    EXPECT_EQ(about->lblMailTo->property("Tag").toString(),
              QStringLiteral("mailto:") + QString::fromUtf8(about_links::kEmail));
    EXPECT_TRUE(
        about->lblFennick->property("Tag").toString().startsWith(QStringLiteral("http://")));
}

TEST_F(AboutWindowTest, ControlsCarryTheirNames) {
    const char* names[] = {"picIcon",    "lblDisclaimer", "lblTitle", "lblCopyright", "lblMailTo",
                           "lblFennick", "Label1",        "Label2",   "cmdUpdate",    "cmdOK"};
    for (const char* name : names) {
        QWidget* w = about->findChild<QWidget*>(QString::fromLatin1(name));
        ASSERT_NE(w, nullptr) << name;
        EXPECT_EQ(w->parentWidget(), about) << name;
        EXPECT_TRUE(w->isVisible()) << name;
        EXPECT_TRUE(w->isEnabled()) << name;
    }
    EXPECT_EQ(about->objectName(), QStringLiteral("frmAbout"));
}

TEST_F(AboutWindowTest, FollowsTheTabOrder) {
    QWidget* order[] = {about->picIcon,      about->lblDisclaimer, about->lblTitle,
                        about->lblCopyright, about->lblMailTo,     about->lblFennick,
                        about->Label1,       about->Label2,        about->cmdUpdate,
                        about->cmdOK};
    for (std::size_t i = 1; i < std::size(order); ++i)
        EXPECT_EQ(order[i - 1]->nextInFocusChain(), order[i])
            << order[i]->objectName().toStdString();
}

TEST_F(AboutWindowTest, IsAnOwnerlessFixedToolWindow) {
    EXPECT_EQ(about->parentWidget(), nullptr);
    EXPECT_TRUE(about->isWindow());
    EXPECT_FALSE(about->isModal());
    EXPECT_EQ(about->windowModality(), Qt::NonModal);
    EXPECT_TRUE(about->isVisible());
    const Qt::WindowFlags flags = about->windowFlags();
    EXPECT_EQ(about->windowType(), Qt::Tool);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_EQ(about->minimumSize(), about->maximumSize());
    EXPECT_GE(about->width(), 364);
    EXPECT_GE(about->height(), 138);
    EXPECT_TRUE(about->testAttribute(Qt::WA_DeleteOnClose));
    EXPECT_TRUE(about->testAttribute(Qt::WA_QuitOnClose));
}

TEST_F(AboutWindowTest, NothingIsClippedOrOverlaps) {
    const QList<QWidget*> children = about->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    ASSERT_EQ(children.size(), 10);
    for (QWidget* w : children) {
        const std::string name = w->objectName().toStdString();
        EXPECT_TRUE(about->rect().contains(w->geometry())) << name;
        EXPECT_GE(w->width(), w->sizeHint().width()) << name;
        EXPECT_GE(w->height(), w->sizeHint().height()) << name;
        for (QWidget* other : children) {
            if (other != w) {
                EXPECT_FALSE(w->geometry().intersects(other->geometry()))
                    << name << " overlaps " << other->objectName().toStdString();
            }
        }
    }
}

TEST_F(AboutWindowTest, LinksStartBlueWithPointingHand) {
    for (QLabel* link : {about->lblFennick, about->lblMailTo}) {
        EXPECT_EQ(LinkColor(link), kBlue);
        EXPECT_FALSE(Underlined(link));
        EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
    }
    EXPECT_EQ(about->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(about->Label1->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(about->cmdOK->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(AboutWindowTest, HoverLeaveAndClickCycleOfBothLinks) {
    QLabel* web = about->lblFennick;
    QLabel* mail = about->lblMailTo;

    MoveOver(web);
    EXPECT_EQ(LinkColor(web), kRed);
    EXPECT_TRUE(Underlined(web));
    EXPECT_EQ(LinkColor(mail), kBlue);
    EXPECT_FALSE(Underlined(mail));

    ClickOn(web);
    ASSERT_EQ(opener.urls.size(), 1);
    EXPECT_EQ(opener.urls[0], QString::fromUtf8(about_links::kWebsiteUrl));
    EXPECT_EQ(opener.owners[0], about);
    EXPECT_EQ(LinkColor(web), kPurple);
    EXPECT_TRUE(Underlined(web));

    MoveOver(web);
    EXPECT_EQ(LinkColor(web), kRed);

    // Straight from one link onto the other.
    MoveOver(mail);
    EXPECT_EQ(LinkColor(web), kBlue);
    EXPECT_FALSE(Underlined(web));
    EXPECT_EQ(LinkColor(mail), kRed);
    EXPECT_TRUE(Underlined(mail));

    ClickOn(mail);
    ASSERT_EQ(opener.urls.size(), 2);
    EXPECT_EQ(opener.urls[1], QStringLiteral("mailto:") + QString::fromUtf8(about_links::kEmail));
    EXPECT_EQ(LinkColor(mail), kPurple);
    EXPECT_TRUE(Underlined(mail));

    MoveOver(mail);
    EXPECT_EQ(LinkColor(mail), kRed);

    // Other controls do not reset the link; only the window's background does.
    MoveOver(about->Label1);
    MoveOver(about->cmdOK);
    MoveOver(about->lblDisclaimer);
    MoveOver(about->picIcon);
    EXPECT_EQ(LinkColor(mail), kRed);
    EXPECT_TRUE(Underlined(mail));

    MoveOver(about, Background());
    for (QLabel* link : {web, mail}) {
        EXPECT_EQ(LinkColor(link), kBlue);
        EXPECT_FALSE(Underlined(link));
    }
    EXPECT_EQ(opener.urls.size(), 2);
}

TEST_F(AboutWindowTest, ClickingALinkTwiceOpensItTwice) {
    ClickOn(about->lblFennick);
    ClickOn(about->lblFennick);
    EXPECT_EQ(opener.urls.size(), 2);
}

TEST_F(AboutWindowTest, PressOnLinkAndReleaseOutsideIsNoClick) {
    QLabel* web = about->lblFennick;
    ClickOn(web, QPoint(2, 2), QPoint(web->width() + 50, 2));
    EXPECT_TRUE(opener.urls.isEmpty());
    // A release on a link that was not pressed is no click either.
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(2, 2), web->mapToGlobal(QPointF(2, 2)),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(about->lblMailTo, &release);
    EXPECT_TRUE(opener.urls.isEmpty());
}

TEST_F(AboutWindowTest, HandlersCalledDirectlyGiveTheSameStates) {
    about->lblMailTo_MouseMove(Qt::NoButton, Qt::NoModifier, 0, 0);
    EXPECT_EQ(LinkColor(about->lblMailTo), kRed);
    about->lblFennick_MouseMove(Qt::NoButton, Qt::NoModifier, 0, 0);
    EXPECT_EQ(LinkColor(about->lblMailTo), kBlue);
    EXPECT_EQ(LinkColor(about->lblFennick), kRed);
    about->lblFennick_Click();
    EXPECT_EQ(LinkColor(about->lblFennick), kPurple);
    about->Form_MouseMove(Qt::NoButton, Qt::NoModifier, 0, 0);
    EXPECT_EQ(LinkColor(about->lblFennick), kBlue);
    EXPECT_FALSE(Underlined(about->lblFennick));
    about->lblMailTo_Click();
    EXPECT_EQ(opener.urls,
              QStringList({QString::fromUtf8(about_links::kWebsiteUrl),
                           QStringLiteral("mailto:") + QString::fromUtf8(about_links::kEmail)}));
}

TEST_F(AboutWindowTest, UpdateOpensTheUpdatePageEachTimeAndStaysOpen) {
    about->cmdUpdate->click();
    about->cmdUpdate->click();
    ASSERT_EQ(opener.urls.size(), 2);
    const QString expected = QStringLiteral("http://") +
                             QString::fromUtf8(about_links::kUpdateHost) +
                             QStringLiteral("/update.asp?sid=hushnt1&ver=0.6.0");
    EXPECT_EQ(opener.urls[0], expected);
    EXPECT_EQ(opener.urls[1], expected);
    EXPECT_EQ(opener.owners[0], about);

    const QUrl url(opener.urls[0]);
    EXPECT_EQ(url.scheme(), QStringLiteral("http"));
    EXPECT_EQ(url.path(), QStringLiteral("/update.asp"));
    const QList<QPair<QString, QString>> items = QUrlQuery(url).queryItems();
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0], qMakePair(QStringLiteral("sid"), QStringLiteral("hushnt1")));
    EXPECT_EQ(items[1], qMakePair(QStringLiteral("ver"), QStringLiteral("0.6.0")));

    FlushDeletes();
    EXPECT_EQ(CurrentAboutWindow(), about);
    EXPECT_TRUE(about->isVisible());
}

TEST_F(AboutWindowTest, ShowingAgainKeepsTheOneWindowAsItIs) {
    MoveOver(about->lblFennick);
    ShowAboutWindow();
    ShowAboutWindow();
    FlushDeletes();
    EXPECT_EQ(CurrentAboutWindow(), about);
    EXPECT_EQ(OpenAboutWindows(), 1);
    EXPECT_EQ(LinkColor(about->lblFennick), kRed);
    EXPECT_TRUE(Underlined(about->lblFennick));
}

TEST_F(AboutWindowTest, OkUnloadsAndTheNextOpeningStartsAfresh) {
    MoveOver(about->lblMailTo);
    ClickOn(about->lblMailTo);
    about->cmdOK->click();
    FlushDeletes();
    EXPECT_EQ(CurrentAboutWindow(), nullptr);
    EXPECT_EQ(OpenAboutWindows(), 0);

    ShowAboutWindow();
    about = CurrentAboutWindow();
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(OpenAboutWindows(), 1);
    for (QLabel* link : {about->lblFennick, about->lblMailTo}) {
        EXPECT_EQ(LinkColor(link), kBlue);
        EXPECT_FALSE(Underlined(link));
    }
}

TEST_F(AboutWindowTest, CloseBoxAndEscapeUnloadToo) {
    about->close();
    FlushDeletes();
    EXPECT_EQ(CurrentAboutWindow(), nullptr);

    ShowAboutWindow();
    about = CurrentAboutWindow();
    ASSERT_NE(about, nullptr);
    QTest::keyClick(about, Qt::Key_Escape);
    FlushDeletes();
    EXPECT_EQ(CurrentAboutWindow(), nullptr);
}

TEST_F(AboutWindowTest, RealPointerMovesReachTheHandlers) {
    ASSERT_TRUE(QTest::qWaitForWindowExposed(about));
    QTest::mouseMove(about->lblMailTo, about->lblMailTo->rect().center());
    QTRY_COMPARE(LinkColor(about->lblMailTo), kRed);
    QTest::mouseMove(about->Label1, about->Label1->rect().center());
    QTest::qWait(20);
    EXPECT_EQ(LinkColor(about->lblMailTo), kRed);
    QTest::mouseMove(about, Background());
    QTRY_COMPARE(LinkColor(about->lblMailTo), kBlue);
    QTest::mouseClick(about->lblFennick, Qt::LeftButton, Qt::NoModifier,
                      about->lblFennick->rect().center());
    QTRY_COMPARE(opener.urls.size(), 1);
    EXPECT_EQ(LinkColor(about->lblFennick), kPurple);
}

// Exit of the main window leaves the About window open and the program
// running; closing the About window then ends the program.
TEST(AboutWindowLifetime, KeepsTheProgramRunningUntilItIsClosed) {
    RecordingOpener opener;
    ASSERT_TRUE(QApplication::quitOnLastWindowClosed());
    QWidget mainWindow;
    mainWindow.show();
    ShowAboutWindow();

    QObject scope; // cancels the timers below if the loop ends early
    bool aboutOpenAfterMainClosed = false;
    bool timedOut = false;
    QTimer::singleShot(0, &scope, [&] {
        mainWindow.close();
        QTimer::singleShot(100, &scope, [&] {
            frmAbout* about = CurrentAboutWindow();
            aboutOpenAfterMainClosed = about != nullptr && about->isVisible();
            if (about != nullptr)
                about->close();
        });
    });
    QTimer::singleShot(5000, &scope, [&] {
        timedOut = true;
        QCoreApplication::exit(1);
    });
    const int rc = QCoreApplication::exec();
    FlushDeletes();
    EXPECT_TRUE(aboutOpenAfterMainClosed);
    EXPECT_FALSE(timedOut);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(CurrentAboutWindow(), nullptr);
}

} // namespace
