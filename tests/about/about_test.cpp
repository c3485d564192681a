#include "hushnote/about_links.h"
#include "ui/about/HTMLLink.h"
#include "ui/about/UrlOpener.h"
#include "ui/about/frmAbout.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

using namespace hushnote;

namespace {

// Puts a recorder in place of the system's opener for one test, so nothing is
// launched and the test sees every address handed over.
struct RecordingOpener {
    RecordingOpener() {
        SetUrlOpener([this](const QString& target, QWidget* owner) {
            urls.append(target);
            owners.append(owner);
        });
    }
    ~RecordingOpener() { SetUrlOpener({}); }
    QStringList urls;
    QList<QWidget*> owners;
};

// Green is used by no mode, so a label still green was left alone.
const QColor kBlue(0, 0, 255), kRed(255, 0, 0), kPurple(128, 0, 128), kGreen(0, 255, 0);
const QString kTag = QStringLiteral("http://www.example.org/");

struct LinkCase {
    std::int32_t mode;
    bool underlinedBefore;
    QColor color;
    bool underlinedAfter;
};

// Mode 2 also opens the label's Tag; modes outside 1-4 change nothing.
const LinkCase kLinkCases[] = {
    {1, false, kBlue, false},          {1, true, kBlue, true},    {2, false, kPurple, false},
    {2, true, kPurple, true},          {3, true, kBlue, false},   {4, false, kRed, true},
    {0, true, kGreen, true},           {5, false, kGreen, false}, {-1, true, kGreen, true},
    {INT32_MAX, false, kGreen, false},
};

TEST(SetLinkState, EachModeSetsItsColourAndUnderline) {
    for (const LinkCase& c : kLinkCases) {
        RecordingOpener opener;
        QWidget form;
        QLabel label(QStringLiteral("link"), &form);
        label.setProperty("Tag", kTag);
        QPalette palette = label.palette();
        palette.setColor(QPalette::WindowText, kGreen);
        label.setPalette(palette);
        QFont font = label.font();
        font.setUnderline(c.underlinedBefore);
        label.setFont(font);

        SetLinkState(&label, c.mode, &form);
        const std::string note = "mode " + std::to_string(c.mode);
        EXPECT_EQ(label.palette().color(QPalette::WindowText), c.color) << note;
        EXPECT_EQ(label.font().underline(), c.underlinedAfter) << note;
        const bool opens = c.mode == 2;
        EXPECT_EQ(opener.urls, opens ? QStringList{kTag} : QStringList{}) << note;
        EXPECT_EQ(opener.owners, opens ? QList<QWidget*>{&form} : QList<QWidget*>{}) << note;
    }
}

TEST(SetLinkState, OpensNothingWithoutLabelOrTag) {
    RecordingOpener opener;
    QLabel label;
    SetLinkState(&label, 2);
    EXPECT_EQ(LinkColor(&label), kLinkOpenedColor);
    SetLinkState(nullptr, 2);
    EXPECT_TRUE(opener.urls.isEmpty());
}

void FlushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

long OpenAboutWindows() {
    return std::ranges::count_if(QApplication::topLevelWidgets(),
                                 [](QWidget* w) { return qobject_cast<frmAbout*>(w) != nullptr; });
}

// The exact colours are proven by the SetLinkState tests; here only the state.
void ExpectLink(const QLabel* link, ColorValue color, bool underlined) {
    EXPECT_EQ(LinkColor(link), color) << link->objectName().toStdString();
    EXPECT_EQ(link->font().underline(), underlined) << link->objectName().toStdString();
}

class AboutWindowTest : public ::testing::Test {
protected:
    void SetUp() override { Open(); }
    void TearDown() override {
        if (frmAbout* w = CurrentAboutWindow())
            w->close();
        FlushDeletes();
        EXPECT_EQ(OpenAboutWindows(), 0);
    }
    void Open() {
        ShowAboutWindow();
        about = CurrentAboutWindow();
        ASSERT_NE(about, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(about));
    }
    // Real pointer moves and clicks, so the window's own tracking and handlers
    // are used; the window itself is entered on its background. Two moves, as
    // the pointer may already rest on that spot from the last window.
    void MoveOver(QWidget* w) {
        const QPoint p = w == about ? QPoint(w->width() - 3, w->height() - 3) : QPoint(2, 2);
        ASSERT_EQ(about->childAt(w->mapTo(about, p)), w == about ? nullptr : w);
        QTest::mouseMove(w, p + QPoint(1, 0));
        QTest::mouseMove(w, p);
    }
    static void Click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(2, 2)); }

    RecordingOpener opener;
    frmAbout* about = nullptr;
};

TEST_F(AboutWindowTest, ShowsTitleBoldVersionAndBlueLinksWithoutOverlaps) {
    EXPECT_EQ(about->windowTitle(), QStringLiteral("About Hushnote"));
    EXPECT_EQ(about->lblTitle->text(), QStringLiteral("Hushnote v0.6.0"));
    EXPECT_TRUE(about->lblTitle->font().bold());
    for (QLabel* link : {about->lblFennick, about->lblMailTo}) {
        ExpectLink(link, kLinkNormalColor, false);
        EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
    }
    const QList<QWidget*> children = about->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* w : children) {
        EXPECT_TRUE(about->rect().contains(w->geometry())) << w->objectName().toStdString();
        EXPECT_GE(w->width(), w->sizeHint().width()) << w->objectName().toStdString();
        for (QWidget* other : children)
            EXPECT_TRUE(w == other || !w->geometry().intersects(other->geometry()));
    }
}

TEST_F(AboutWindowTest, HoverClickAndLeaveCycleOfBothLinks) {
    QLabel* web = about->lblFennick;
    QLabel* mail = about->lblMailTo;
    const QString site = QString::fromUtf8(about_links::kWebsiteUrl);
    const QString mailto = QStringLiteral("mailto:") + QString::fromUtf8(about_links::kEmail);
    // Straight from one clicked link onto the other, both ways.
    const struct {
        QLabel *link, *other;
        QString url;
    } steps[] = {{web, mail, site}, {mail, web, mailto}, {web, mail, site}};
    for (const auto& s : steps) {
        MoveOver(s.link);
        ExpectLink(s.link, kLinkHoverColor, true);
        ExpectLink(s.other, kLinkNormalColor, false);
        // A press on the link released elsewhere is no click.
        QTest::mousePress(s.link, Qt::LeftButton, {}, QPoint(2, 2));
        QTest::mouseRelease(s.link, Qt::LeftButton, {}, QPoint(s.link->width() + 50, 2));
        Click(s.link);
        ASSERT_FALSE(opener.urls.isEmpty());
        EXPECT_EQ(opener.urls.last(), s.url);
        EXPECT_EQ(opener.owners.last(), about);
        ExpectLink(s.link, kLinkOpenedColor, true);
    }
    EXPECT_EQ(opener.urls.size(), 3);
    // Plain controls leave a link as it is; only the background resets it.
    MoveOver(about->Label1);
    MoveOver(about->cmdOK);
    ExpectLink(web, kLinkOpenedColor, true);
    for (QLabel* link : {web, mail}) {
        MoveOver(link);
        MoveOver(about);
        ExpectLink(web, kLinkNormalColor, false);
        ExpectLink(mail, kLinkNormalColor, false);
    }
}

TEST_F(AboutWindowTest, UpdateOpensTheUpdatePageEachTimeAndStaysOpen) {
    about->cmdUpdate->click();
    about->cmdUpdate->click();
    const QString page = QStringLiteral("http://") + QString::fromUtf8(about_links::kUpdateHost) +
                         QStringLiteral("/update.asp?sid=hushnt1&ver=0.6.0");
    EXPECT_EQ(opener.urls, QStringList({page, page}));
    FlushDeletes();
    EXPECT_EQ(CurrentAboutWindow(), about);
    EXPECT_TRUE(about->isVisible());
}

TEST_F(AboutWindowTest, OneWindowUntilOkOrTheCloseBoxUnloadsIt) {
    for (bool viaOk : {true, false}) {
        const auto link = [&] { return viaOk ? about->lblFennick : about->lblMailTo; };
        MoveOver(link());
        Click(link());
        frmAbout* const first = about;
        Open(); // showing again keeps the one window as it is
        FlushDeletes();
        EXPECT_EQ(about, first);
        EXPECT_EQ(OpenAboutWindows(), 1);
        ExpectLink(link(), kLinkOpenedColor, true);
        viaOk ? about->cmdOK->click() : (void)about->close();
        FlushDeletes();
        EXPECT_EQ(CurrentAboutWindow(), nullptr);
        EXPECT_EQ(OpenAboutWindows(), 0);
        Open(); // and the next opening starts afresh
        ExpectLink(link(), kLinkNormalColor, false);
    }
}

// Closing the main window leaves the About window open and the program
// running; closing the About window then ends the program.
TEST(AboutWindowLifetime, KeepsTheProgramRunningUntilItIsClosed) {
    RecordingOpener opener;
    QWidget mainWindow;
    mainWindow.show();
    ShowAboutWindow();
    QObject scope; // cancels the timers below if the loop ends early
    bool aboutOpenAfterMainClosed = false;
    QTimer::singleShot(0, &mainWindow, &QWidget::close);
    QTimer::singleShot(100, &scope, [&] {
        aboutOpenAfterMainClosed = CurrentAboutWindow() && CurrentAboutWindow()->isVisible();
        if (CurrentAboutWindow() != nullptr)
            CurrentAboutWindow()->close();
    });
    QTimer::singleShot(5000, &scope, [] { QCoreApplication::exit(1); });
    EXPECT_EQ(QCoreApplication::exec(), 0);
    FlushDeletes();
    EXPECT_TRUE(aboutOpenAfterMainClosed);
    EXPECT_EQ(CurrentAboutWindow(), nullptr);
}

} // namespace
