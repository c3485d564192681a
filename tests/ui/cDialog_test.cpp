#include "ui/dialogs/FileDialog.h"
#include "ui_test_util.h"

#include "common/error.h"

#include <QColorDialog>
#include <QFileInfo>
#include <QSettings>

namespace hushnote::test {
namespace {

using cDialogTest = SeamTest;

TEST_F(cDialogTest, TrimBlanksRemovesOnlySpacesAtTheEnds) {
    const char* cases[][2] = {{"  a b  ", "a b"}, {"\ta\t", "\ta\t"}, {"   ", ""}, {"", ""}};
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(cDialog::TrimBlanks(QString::fromLatin1(in)), QString::fromLatin1(out)) << in;
    }
}

// What the open and save dialogs return for each answer: the full path (or
// ""), the name part left in Filename, and the question asked on the way.
TEST_F(cDialogTest, FileDialogAnswers) {
    WriteFile(Path("old.txt"), "old");
    WriteFile(Path("in.bin"), "x");
    ASSERT_TRUE(QFile::link(Path("in.bin"), Path("link.bin")));
    const struct {
        bool save;
        const char* answer; // nullptr: cancelled
        int yesNo;          // answer to the question, 0: none asked
        QString result;     // relative to the folder unless absolute
        QString name;
        const char* question = ""; // part of the question asked
        const char* option = "";   // the default name (open) or extension (save)
    } cases[] = {
        {true, "out.txt", 0, "out.txt", "out.txt"},
        {true, "my file  ", 0, "my file", "my file"},
        {true, nullptr, 0, "", "keep me"},
        {true, "old.txt", MessageBox::kNo, "", "keep me", "old.txt already exists"},
        {true, "old.txt", MessageBox::kYes, "old.txt", "old.txt", "old.txt already exists"},
        {true, "missing/out.txt", 0, "", "keep me", "does not exist"},
        {true, "report", 0, "report.txt", "report.txt", "", "txt"},
        {false, "in.bin", 0, "in.bin", "in.bin"},
        {false, "link.bin", 0, "link.bin", "link.bin"}, // the link, not its target
        {false, "new.txt", MessageBox::kYes, "new.txt", "new.txt", "Create the file?"},
        {false, "new.txt", MessageBox::kNo, "", "", "Create the file?"},
        {false, nullptr, 0, "", ""},
        {false, nullptr, 0, "/default.txt", "", "", "  /default.txt  "},
    };
    for (const auto& c : cases) {
        ResetSeams();
        if (c.answer) {
            cDialog::AnswerNextWith(Path(c.answer));
        } else {
            cDialog::CancelNext();
        }
        if (c.yesNo) {
            MessageBox::SetNextAnswer(c.yesNo);
        }
        QString name = QStringLiteral("keep me");
        const QString option = QString::fromLatin1(c.option);
        const QString got =
            c.save ? cDialog().GetSaveName(nullptr, name, QString(), "t", cDialog::DefaultFilter(),
                                           option.isEmpty() ? std::nullopt
                                                            : std::optional<QString>(option))
                   : cDialog().GetOpenName(nullptr, name, QString(), "t", cDialog::DefaultFilter(),
                                           option);
        const std::string row = std::string(c.answer ? c.answer : "cancel") + " " + c.option;
        EXPECT_EQ(got, c.result.isEmpty() || c.result.startsWith('/') ? c.result : Path(c.result))
            << row;
        EXPECT_EQ(name, c.name) << row;
        ASSERT_EQ(Boxes().size(), *c.question ? 1u : 0u) << row;
        if (*c.question) {
            EXPECT_TRUE(Boxes()[0].text.contains(QString::fromLatin1(c.question))) << row;
            EXPECT_EQ(Boxes()[0].buttons,
                      c.yesNo ? MessageBox::Buttons::YesNo : MessageBox::Buttons::Ok)
                << row;
        }
    }
    // Nothing is created, replaced or made on the way.
    EXPECT_EQ(ReadFile(Path("old.txt")), QByteArray("old"));
    EXPECT_FALSE(QFileInfo::exists(Path("new.txt")));
    EXPECT_FALSE(QFileInfo::exists(Path("out.txt")));
    EXPECT_FALSE(QFileInfo::exists(Path("missing")));
}

TEST_F(cDialogTest, SaveOffersOnlyTheFirst512Characters) {
    QString name(600, QLatin1Char('n'));
    qsizetype offered = -1;
    cDialog::SetNextFileAnswer([&](FileDialog& dlg) {
        if (auto* edit = dlg.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
            offered = edit->text().size();
        }
        dlg.reject();
    });
    cDialog().GetSaveName(nullptr, name, Path(QString()));
    EXPECT_EQ(offered, 512);
}

TEST_F(cDialogTest, StarDotStarMatchesEveryFile) {
    FileDialog dlg(nullptr, FileDialog::Kind::Open, QStringLiteral("t"));
    dlg.SetFilterList(QStringLiteral("All Files (*.*)") + QChar(0) + QStringLiteral("*.*") +
                      QChar(0));
    EXPECT_EQ(dlg.FilterDescriptions(), QStringList{QStringLiteral("All Files (*.*)")});
    // The pattern in the last parentheses is what Qt filters with.
    EXPECT_EQ(dlg.nameFilters(), QStringList{QStringLiteral("All Files (*.*) (*)")});
}

class PickColorTest : public SeamTest {
protected:
    void SetUp() override {
        SeamTest::SetUp();
        settings_.remove(QStringLiteral("CustomColors"));
        settings_.sync();
    }
    QString Stored(int i) {
        settings_.sync();
        return settings_.value(QStringLiteral("CustomColors/%1").arg(i)).toString();
    }
    void Store(int i, const QString& v) {
        settings_.setValue(QStringLiteral("CustomColors/%1").arg(i), v);
        settings_.sync();
    }
    QSettings settings_{QStringLiteral("Temp"), QStringLiteral("Temp")};
};

// Values are 0x00BBGGRR; missing keys read as 0 (black), and all 16 keys are
// written back after every call, confirmed or cancelled.
TEST_F(PickColorTest, CustomColoursAreReadAndWrittenBack) {
    Store(0, "16777215");  // white
    Store(5, "255");       // red
    Store(4, "-16777216"); // high byte set: kept as it was
    for (bool confirm : {true, false}) {
        QList<QColor> shown; // the current colour, then the 16 custom ones
        cDialog::SetNextColorAnswer([&](QColorDialog& dlg) {
            shown << dlg.currentColor();
            for (int i = 0; i < 16; ++i) {
                shown << QColorDialog::customColor(i);
            }
            QColorDialog::setCustomColor(3, QColor(0, 0, 255));
            dlg.setCurrentColor(QColor(0, 0, 255));
            return confirm;
        });
        EXPECT_EQ(cDialog().PickColor(), confirm ? 0x00FF0000 : -1);
        // Black to start with, whatever was picked before.
        EXPECT_EQ(shown, QList<QColor>({Qt::black, Qt::white}) + QList<QColor>(4, Qt::black) +
                             QList<QColor>({Qt::red}) + QList<QColor>(10, Qt::black));
        const QStringList stored = {"16777215", "0", "0", "16711680", "-16777216", "255"};
        for (int i = 0; i < 16; ++i) {
            EXPECT_EQ(Stored(i), i < stored.size() ? stored[i] : QStringLiteral("0")) << i;
        }
        settings_.remove(QStringLiteral("CustomColors/3"));
    }
}

TEST_F(PickColorTest, StoredValueThatIsNotANumberFailsBeforeShowing) {
    for (const char* bad : {"purple", "4294967296"}) {
        Store(7, QString::fromLatin1(bad));
        bool shown = false;
        cDialog::SetNextColorAnswer([&](QColorDialog&) {
            shown = true;
            return false;
        });
        EXPECT_THROW(cDialog().PickColor(), Failure) << bad;
        EXPECT_FALSE(shown);
        EXPECT_EQ(Stored(0), QString()) << bad; // nothing written
        ResetSeams();
    }
}

} // namespace
} // namespace hushnote::test
