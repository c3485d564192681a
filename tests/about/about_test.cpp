#include "hushnote/about_links.h"
#include "hushnote/identity.h"
#include "ui/about/HTMLLink.h"
#include "ui/about/UrlOpener.h"
#include "ui/about/frmAbout.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace hushnote {
namespace {

// A link turns red while the pointer is over it; links and the Update
// command open their pages through the opener, recorded here instead.
TEST(AboutWindow, LinksAndUpdateOpenTheirPages) {
    QStringList opened;
    SetUrlOpener([&](const QString& target, QWidget*) { opened << target; });
    ShowAboutWindow();
    frmAbout* about = CurrentAboutWindow();
    ASSERT_TRUE(about && QTest::qWaitForWindowExposed(about));
    EXPECT_EQ(LinkColor(about->lblFennick), kLinkNormalColor);
    // Two moves, as the pointer may already rest on that spot.
    QTest::mouseMove(about->lblFennick, QPoint(3, 2));
    QTest::mouseMove(about->lblFennick, QPoint(2, 2));
    EXPECT_EQ(LinkColor(about->lblFennick), kLinkHoverColor);
    QTest::mouseClick(about->lblMailTo, Qt::LeftButton, {}, QPoint(2, 2));
    about->cmdUpdate->click();
    EXPECT_EQ(opened, (QStringList{"mailto:" + QString::fromUtf8(about_links::kEmail),
                                   "http://" + QString::fromUtf8(about_links::kUpdateHost) +
                                       "/update.asp?sid=hushnt1&ver=" +
                                       QString::fromStdString(identity::FullVersion())}));
    SetUrlOpener({});
    about->close();
}

// Closing the main window leaves the About window open and the program
// running; closing the About window then ends the program.
TEST(AboutWindow, KeepsTheProgramRunningUntilItIsClosed) {
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
