#include "hushnote/about_links.h"
#include "ui/about/HTMLLink.h"
#include "ui/about/UrlOpener.h"
#include "ui/about/frmAbout.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace hushnote {
namespace {

// Puts a recorder in place of the system's opener, so nothing is launched.
struct RecordingOpener {
    RecordingOpener() {
        SetUrlOpener(
            [this](const QString& target, QWidget* owner) { opened << std::pair(target, owner); });
    }
    ~RecordingOpener() { SetUrlOpener({}); }
    QList<std::pair<QString, QWidget*>> opened;
};

void ExpectLink(const QLabel* link, ColorValue color, bool underlined) {
    EXPECT_EQ(LinkColor(link), color) << link->objectName().toStdString();
    EXPECT_EQ(link->font().underline(), underlined) << link->objectName().toStdString();
}

// Real pointer moves, so the window's own tracking is used; the window is
// entered on its background. Two moves, as the pointer may already rest on
// that spot.
void MoveOver(QWidget* w, QWidget* about) {
    const QPoint p = w == about ? QPoint(w->width() - 3, w->height() - 3) : QPoint(2, 2);
    QTest::mouseMove(w, p + QPoint(1, 0));
    QTest::mouseMove(w, p);
}

TEST(AboutWindow, LinksHoverOpenAndResetAndUpdateOpensThisVersionsPage) {
    RecordingOpener opener;
    ShowAboutWindow();
    frmAbout* about = CurrentAboutWindow();
    ASSERT_TRUE(about && QTest::qWaitForWindowExposed(about));
    QLabel* web = about->lblFennick;
    QLabel* mail = about->lblMailTo;
    ExpectLink(web, kLinkNormalColor, false);
    const QString mailto = QStringLiteral("mailto:") + QString::fromUtf8(about_links::kEmail);
    const std::tuple<QLabel*, QLabel*, QString> steps[] = {
        {web, mail, QString::fromUtf8(about_links::kWebsiteUrl)}, {mail, web, mailto}};
    for (const auto& [link, other, url] : steps) {
        MoveOver(link, about);
        ExpectLink(link, kLinkHoverColor, true);
        ExpectLink(other, kLinkNormalColor, false);
        // A press on the link released elsewhere is no click.
        QTest::mousePress(link, Qt::LeftButton, {}, QPoint(2, 2));
        QTest::mouseRelease(link, Qt::LeftButton, {}, QPoint(link->width() + 50, 2));
        EXPECT_TRUE(opener.opened.isEmpty() || opener.opened.last().first != url);
        QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(2, 2));
        EXPECT_EQ(opener.opened.last(), std::pair(url, static_cast<QWidget*>(about)));
        ExpectLink(link, kLinkOpenedColor, true);
    }
    MoveOver(about->cmdOK, about); // plain controls leave a link as it is
    ExpectLink(mail, kLinkOpenedColor, true);
    MoveOver(about, about);
    ExpectLink(web, kLinkNormalColor, false);
    ExpectLink(mail, kLinkNormalColor, false);

    about->cmdUpdate->click();
    EXPECT_EQ(opener.opened.last().first, "http://" + QString::fromUtf8(about_links::kUpdateHost) +
                                              "/update.asp?sid=hushnt1&ver=0.6.0");
    ShowAboutWindow(); // showing again keeps the one window
    EXPECT_EQ(CurrentAboutWindow(), about);
    about->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(CurrentAboutWindow(), nullptr);
}

// Closing the main window leaves the About window open and the program
// running; closing the About window then ends the program.
TEST(AboutWindow, KeepsTheProgramRunningUntilItIsClosed) {
    RecordingOpener opener;
    QWidget mainWindow;
    mainWindow.show();
    ShowAboutWindow();
    QObject scope; // cancels the timers below if the loop ends early
    bool aboutOpenAfterMainClosed = false;
    QTimer::singleShot(0, &mainWindow, &QWidget::close);
    QTimer::singleShot(100, &scope, [&] {
        aboutOpenAfterMainClosed = CurrentAboutWindow() && CurrentAboutWindow()->isVisible();
        CurrentAboutWindow()->close();
    });
    QTimer::singleShot(5000, &scope, [] { QCoreApplication::exit(1); });
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_TRUE(aboutOpenAfterMainClosed);
}

} // namespace
} // namespace hushnote
