#include "RecordingOpener.h"
#include "ui/about/HTMLLink.h"

#include <QLabel>
#include <QWidget>

#include <gtest/gtest.h>

using namespace hushnote;

namespace {

constexpr ColorValue kBlue = 0xFF0000;
constexpr ColorValue kRed = 0x0000FF;
constexpr ColorValue kPurple = 0x800080;
constexpr ColorValue kGreen = 0x00FF00;

class LinkLabelTest : public ::testing::Test {
protected:
    void SetUp() override {
        label.setText(QStringLiteral("link"));
        label.setProperty("Tag", QStringLiteral("http://www.example.org/"));
        // A colour none of the modes uses, to see whether a mode touched it.
        QPalette palette = label.palette();
        palette.setColor(QPalette::WindowText, QColor(0, 255, 0));
        label.setPalette(palette);
    }
    bool Underlined() const { return label.font().underline(); }

    RecordingOpener opener;
    QWidget form;
    QLabel label{&form};
};

TEST_F(LinkLabelTest, ColourValuesMatchTheirRgb) {
    EXPECT_EQ(kLinkNormalColor, kBlue);
    EXPECT_EQ(kLinkHoverColor, kRed);
    EXPECT_EQ(kLinkOpenedColor, kPurple);
}

TEST_F(LinkLabelTest, NormalMakesBlueAndLeavesUnderline) {
    QFont font = label.font();
    font.setUnderline(true);
    label.setFont(font);
    SetLinkState(&label, 1);
    EXPECT_EQ(LinkColor(&label), kBlue);
    EXPECT_EQ(label.palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_TRUE(Underlined());
    EXPECT_TRUE(opener.urls.isEmpty());
}

TEST_F(LinkLabelTest, HoveredMakesRedAndUnderlined) {
    SetLinkState(&label, 4);
    EXPECT_EQ(LinkColor(&label), kRed);
    EXPECT_TRUE(Underlined());
    EXPECT_TRUE(opener.urls.isEmpty());
}

TEST_F(LinkLabelTest, LeftMakesBlueWithoutUnderline) {
    SetLinkState(&label, 4);
    SetLinkState(&label, 3);
    EXPECT_EQ(LinkColor(&label), kBlue);
    EXPECT_FALSE(Underlined());
}

TEST_F(LinkLabelTest, OpenedOpensTagWithFormThenPurpleKeepingUnderline) {
    SetLinkState(&label, 4);
    SetLinkState(&label, 2, &form);
    ASSERT_EQ(opener.urls.size(), 1);
    EXPECT_EQ(opener.urls[0], QStringLiteral("http://www.example.org/"));
    EXPECT_EQ(opener.owners[0], &form);
    EXPECT_EQ(LinkColor(&label), kPurple);
    EXPECT_TRUE(Underlined());
}

TEST_F(LinkLabelTest, OpenedTwiceOpensTwice) {
    SetLinkState(&label, 2, &form);
    SetLinkState(&label, 2, &form);
    EXPECT_EQ(opener.urls.size(), 2);
}

TEST_F(LinkLabelTest, OpenedWithoutFormStillOpensAndTurnsPurple) {
    SetLinkState(&label, 2);
    ASSERT_EQ(opener.urls.size(), 1);
    EXPECT_EQ(opener.owners[0], nullptr);
    EXPECT_EQ(LinkColor(&label), kPurple);
}

TEST_F(LinkLabelTest, OpenedWithoutTagOpensNothingButTurnsPurple) {
    label.setProperty("Tag", QVariant());
    SetLinkState(&label, 2, &form);
    EXPECT_TRUE(opener.urls.isEmpty());
    EXPECT_EQ(LinkColor(&label), kPurple);
}

TEST_F(LinkLabelTest, OtherModesChangeNothing) {
    for (int underline = 0; underline < 2; ++underline) {
        QFont font = label.font();
        font.setUnderline(underline == 1);
        label.setFont(font);
        for (std::int32_t mode : {0, 5, -1, 6, 100, INT32_MIN, INT32_MAX}) {
            SetLinkState(&label, mode, &form);
            EXPECT_EQ(LinkColor(&label), kGreen) << "mode " << mode;
            EXPECT_EQ(Underlined(), underline == 1) << "mode " << mode;
        }
    }
    EXPECT_TRUE(opener.urls.isEmpty());
}

TEST_F(LinkLabelTest, NullLabelIsIgnored) {
    SetLinkState(nullptr, 2, &form);
    SetLinkState(nullptr, 4);
    EXPECT_TRUE(opener.urls.isEmpty());
}

} // namespace
