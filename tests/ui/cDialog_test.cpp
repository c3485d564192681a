#include "ui/dialogs/FileDialog.h"
#include "ui/dialogs/cDialog.h"
#include "ui_test_util.h"

#include "common/error.h"

#include <QColorDialog>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QSettings>

namespace hushnote::test {
namespace {

using cDialogTest = SeamTest;

TEST_F(cDialogTest, TrimBlanksRemovesOnlySpacesAtTheEnds) {
    EXPECT_EQ(cDialog::TrimBlanks(QStringLiteral("  a b  ")), QStringLiteral("a b"));
    EXPECT_EQ(cDialog::TrimBlanks(QStringLiteral("\ta\t")), QStringLiteral("\ta\t"));
    EXPECT_EQ(cDialog::TrimBlanks(QStringLiteral("   ")), QString());
    EXPECT_EQ(cDialog::TrimBlanks(QString()), QString());
}

TEST_F(cDialogTest, SaveConfirmedGivesFullPathAndNamePart) {
    cDialog d;
    QString name = QStringLiteral("ignored");
    cDialog::AnswerNextWith(Path(QStringLiteral("out.txt")));
    EXPECT_EQ(d.GetSaveName(nullptr, name), Path(QStringLiteral("out.txt")));
    EXPECT_EQ(name, QStringLiteral("out.txt"));
    EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("out.txt"))));
}

TEST_F(cDialogTest, SaveCancelledGivesEmptyAndKeepsFilename) {
    cDialog d;
    QString name = QStringLiteral("keep me");
    cDialog::CancelNext();
    EXPECT_EQ(d.GetSaveName(nullptr, name), QString());
    EXPECT_EQ(name, QStringLiteral("keep me"));
}

TEST_F(cDialogTest, SaveDefaultTitleAndFilter) {
    cDialog d;
    QString name;
    QString title;
    QStringList filters;
    cDialog::SetNextFileAnswer([&](FileDialog& dlg) {
        title = dlg.windowTitle();
        filters = dlg.FilterDescriptions();
        dlg.reject();
    });
    d.GetSaveName(nullptr, name);
    EXPECT_EQ(title, QStringLiteral("Save File"));
    EXPECT_EQ(filters, QStringList{QStringLiteral("All Files")});

    cDialog::SetNextFileAnswer([&](FileDialog& dlg) {
        title = dlg.windowTitle();
        dlg.reject();
    });
    d.GetOpenName(nullptr, name);
    EXPECT_EQ(title, QStringLiteral("Load File"));
}

TEST_F(cDialogTest, FilterShowsDescriptionAndStarDotStarMatchesEveryFile) {
    FileDialog dlg(nullptr, FileDialog::Kind::Open, QStringLiteral("t"));
    dlg.SetFilterList(QStringLiteral("All Files (*.*)") + QChar(0) + QStringLiteral("*.*") +
                      QChar(0));
    EXPECT_EQ(dlg.FilterDescriptions(), QStringList{QStringLiteral("All Files (*.*)")});
    // The pattern in the last parentheses is what Qt filters with.
    EXPECT_EQ(dlg.nameFilters(), QStringList{QStringLiteral("All Files (*.*) (*)")});
}

TEST_F(cDialogTest, SaveOffersOnlyTheFirst512Characters) {
    cDialog d;
    QString name(600, QLatin1Char('n'));
    qsizetype offered = -1;
    cDialog::SetNextFileAnswer([&](FileDialog& dlg) {
        if (auto* edit = dlg.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
            offered = edit->text().size();
        }
        dlg.reject();
    });
    d.GetSaveName(nullptr, name, Path(QString()));
    EXPECT_EQ(offered, 512);
}

TEST_F(cDialogTest, SaveRefusesAFolderThatDoesNotExist) {
    cDialog d;
    QString name;
    bool stayedOpen = false;
    cDialog::SetNextFileAnswer([&](FileDialog& dlg) {
        dlg.selectFile(Path(QStringLiteral("missing/out.txt")));
        dlg.accept();
        stayedOpen = dlg.result() != QDialog::Accepted;
    });
    EXPECT_EQ(d.GetSaveName(nullptr, name), QString());
    EXPECT_TRUE(stayedOpen);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_TRUE(Boxes()[0].text.contains(QStringLiteral("does not exist")));
    EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("missing"))));
}

TEST_F(cDialogTest, SaveAsksBeforeReplacingAFile) {
    WriteFile(Path(QStringLiteral("old.txt")), "old");
    cDialog d;
    QString name;
    MessageBox::SetNextAnswer(MessageBox::kNo);
    cDialog::AnswerNextWith(Path(QStringLiteral("old.txt")));
    EXPECT_EQ(d.GetSaveName(nullptr, name), QString());
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].buttons, MessageBox::Buttons::YesNo);
    EXPECT_TRUE(Boxes()[0].text.contains(QStringLiteral("old.txt already exists")));

    MessageBox::SetNextAnswer(MessageBox::kYes);
    cDialog::AnswerNextWith(Path(QStringLiteral("old.txt")));
    EXPECT_EQ(d.GetSaveName(nullptr, name), Path(QStringLiteral("old.txt")));
    EXPECT_EQ(ReadFile(Path(QStringLiteral("old.txt"))), QByteArray("old"));
}

TEST_F(cDialogTest, SaveAppendsDefaultExtension) {
    cDialog d;
    QString name;
    cDialog::AnswerNextWith(Path(QStringLiteral("report")));
    EXPECT_EQ(d.GetSaveName(nullptr, name, QString(), QStringLiteral("t"), cDialog::DefaultFilter(),
                            QStringLiteral("txt")),
              Path(QStringLiteral("report.txt")));
    EXPECT_EQ(name, QStringLiteral("report.txt"));
}

TEST_F(cDialogTest, ChosenPathLosesSurroundingBlanksOnly) {
    cDialog d;
    QString name;
    cDialog::AnswerNextWith(Path(QStringLiteral("my file  ")));
    EXPECT_EQ(d.GetSaveName(nullptr, name), Path(QStringLiteral("my file")));
    EXPECT_EQ(name, QStringLiteral("my file"));
}

TEST_F(cDialogTest, OpenCancelledWithoutDefaultGivesEmpty) {
    cDialog d;
    QString name = QStringLiteral("x");
    cDialog::CancelNext();
    EXPECT_EQ(d.GetOpenName(nullptr, name), QString());
    EXPECT_EQ(name, QString());
}

TEST_F(cDialogTest, OpenCancelledGivesTrimmedDefaultName) {
    cDialog d;
    QString name = QStringLiteral("x");
    cDialog::CancelNext();
    EXPECT_EQ(d.GetOpenName(nullptr, name, QString(), QStringLiteral("t"), cDialog::DefaultFilter(),
                            QStringLiteral("  default.txt  ")),
              QStringLiteral("default.txt"));
    EXPECT_EQ(name, QString());
}

TEST_F(cDialogTest, OpenExistingFile) {
    WriteFile(Path(QStringLiteral("in.bin")), "x");
    cDialog d;
    QString name;
    cDialog::AnswerNextWith(Path(QStringLiteral("in.bin")));
    EXPECT_EQ(d.GetOpenName(nullptr, name), Path(QStringLiteral("in.bin")));
    EXPECT_EQ(name, QStringLiteral("in.bin"));
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(cDialogTest, OpenMissingFileAsksToCreateAndCreatesNothing) {
    cDialog d;
    QString name;
    MessageBox::SetNextAnswer(MessageBox::kYes);
    cDialog::AnswerNextWith(Path(QStringLiteral("new.txt")));
    EXPECT_EQ(d.GetOpenName(nullptr, name), Path(QStringLiteral("new.txt")));
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].buttons, MessageBox::Buttons::YesNo);
    EXPECT_TRUE(Boxes()[0].text.contains(QStringLiteral("Create the file?")));
    EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("new.txt"))));

    MessageBox::SetNextAnswer(MessageBox::kNo);
    cDialog::AnswerNextWith(Path(QStringLiteral("new.txt")));
    EXPECT_EQ(d.GetOpenName(nullptr, name), QString());
}

TEST_F(cDialogTest, OpenReturnsALinkAsItself) {
    WriteFile(Path(QStringLiteral("target.txt")), "t");
    ASSERT_TRUE(QFile::link(Path(QStringLiteral("target.txt")), Path(QStringLiteral("link.txt"))));
    cDialog d;
    QString name;
    cDialog::AnswerNextWith(Path(QStringLiteral("link.txt")));
    EXPECT_EQ(d.GetOpenName(nullptr, name), Path(QStringLiteral("link.txt")));
}

class PickColorTest : public SeamTest {
protected:
    void SetUp() override {
        SeamTest::SetUp();
        QSettings s(QStringLiteral("Temp"), QStringLiteral("Temp"));
        s.remove(QStringLiteral("CustomColors"));
        s.sync();
    }
    static QString Stored(int i) {
        QSettings s(QStringLiteral("Temp"), QStringLiteral("Temp"));
        return s.value(QStringLiteral("CustomColors/%1").arg(i)).toString();
    }
    static void Store(int i, const QString& v) {
        QSettings s(QStringLiteral("Temp"), QStringLiteral("Temp"));
        s.setValue(QStringLiteral("CustomColors/%1").arg(i), v);
        s.sync();
    }
};

TEST_F(PickColorTest, EmptyStoreShowsBlackAndWritesAllKeysOnCancel) {
    QColor start;
    QList<QColor> custom;
    cDialog::SetNextColorAnswer([&](QColorDialog& dlg) {
        start = dlg.currentColor();
        for (int i = 0; i < 16; ++i) {
            custom << QColorDialog::customColor(i);
        }
        return false;
    });
    EXPECT_EQ(cDialog().PickColor(), -1);
    EXPECT_EQ(start, QColor(Qt::black));
    ASSERT_EQ(custom.size(), 16);
    for (const QColor& c : custom) {
        EXPECT_EQ(c, QColor(Qt::black));
    }
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(Stored(i), QStringLiteral("0")) << i;
    }
}

TEST_F(PickColorTest, ConfirmedGivesBgrValueAndSavesChanges) {
    Store(0, QStringLiteral("16777215")); // white
    Store(5, QStringLiteral("255"));      // red
    QColor slot0;
    QColor slot5;
    QColor start;
    cDialog::SetNextColorAnswer([&](QColorDialog& dlg) {
        slot0 = QColorDialog::customColor(0);
        slot5 = QColorDialog::customColor(5);
        start = dlg.currentColor();
        QColorDialog::setCustomColor(3, QColor(0, 0, 255));
        dlg.setCurrentColor(QColor(0, 0, 255));
        return true;
    });
    EXPECT_EQ(cDialog().PickColor(), 0x00FF0000); // blue in the high byte of three
    EXPECT_EQ(slot0, QColor(255, 255, 255));
    EXPECT_EQ(slot5, QColor(255, 0, 0));
    EXPECT_EQ(start, QColor(Qt::black));
    EXPECT_EQ(Stored(0), QStringLiteral("16777215"));
    EXPECT_EQ(Stored(3), QStringLiteral("16711680"));
    EXPECT_EQ(Stored(5), QStringLiteral("255"));
    EXPECT_EQ(Stored(15), QStringLiteral("0"));
}

TEST_F(PickColorTest, StartsAtBlackWhateverWasPickedBefore) {
    cDialog::SetNextColorAnswer([](QColorDialog& dlg) {
        dlg.setCurrentColor(Qt::green);
        return true;
    });
    cDialog().PickColor();
    QColor start;
    cDialog::SetNextColorAnswer([&](QColorDialog& dlg) {
        start = dlg.currentColor();
        return false;
    });
    EXPECT_EQ(cDialog().PickColor(), -1);
    EXPECT_EQ(start, QColor(Qt::black));
}

TEST_F(PickColorTest, StoredValueThatIsNotANumberFailsBeforeShowing) {
    Store(7, QStringLiteral("purple"));
    Store(2, QStringLiteral("12"));
    bool shown = false;
    cDialog::SetNextColorAnswer([&](QColorDialog&) {
        shown = true;
        return false;
    });
    EXPECT_THROW(cDialog().PickColor(), Failure);
    EXPECT_FALSE(shown);
    EXPECT_EQ(Stored(7), QStringLiteral("purple"));
    EXPECT_EQ(Stored(0), QString()); // nothing written
}

TEST_F(PickColorTest, OutOfRangeValueFails) {
    Store(1, QStringLiteral("4294967296"));
    EXPECT_THROW(cDialog().PickColor(), Failure);
}

TEST_F(PickColorTest, UntouchedSlotKeepsItsStoredValue) {
    Store(4, QStringLiteral("-16777216")); // high byte set: not a plain colour
    cDialog::SetNextColorAnswer([](QColorDialog&) { return false; });
    cDialog().PickColor();
    EXPECT_EQ(Stored(4), QStringLiteral("-16777216"));
}

} // namespace
} // namespace hushnote::test
