#include "ui/ui_test_util.h"

#include "common/error.h"

namespace hushnote::test {
namespace {

using cDialogTest = WindowTest;

// What the open and save dialogs return for each answer: the full path (or
// ""), the name part left in Filename, and the question asked on the way.
TEST_F(cDialogTest, FileDialogAnswers) {
    WriteFile(Path("old.txt"), "old");
    ASSERT_TRUE(QFile::link(Path("old.txt"), Path("link.txt")));
    const QString missing = "\"" + Path("missing") + "\" does not";
    const struct {
        bool save;
        const char* answer; // nullptr: cancelled
        Answer yesNo;       // answer to the question, if one is asked
        QString result;     // relative to the folder
        QString name;
        QString question = {}; // part of the question asked
    } cases[] = {
        // clang-format off
        {true, "my file  ", Answer::kNo, "my file", "my file"},
        {true, nullptr, Answer::kNo, "", "keep me"},
        {true, "old.txt", Answer::kNo, "", "keep me", "old.txt already exists"},
        {true, "old.txt", Answer::kYes, "old.txt", "old.txt", "old.txt already exists"},
        {true, "missing/out.txt", Answer::kYes, "", "keep me", missing},
        {false, "missing/in.txt", Answer::kYes, "", "", missing},
        {false, "link.txt", Answer::kNo, "link.txt", "link.txt"}, // the link, not its target
        {false, "new.txt", Answer::kYes, "new.txt", "new.txt", "Create the file?"},
        {false, "new.txt", Answer::kNo, "", "", "Create the file?"},
        // clang-format on
    };
    for (const auto& c : cases) {
        ResetSeams();
        c.answer ? cDialog::AnswerNextWith(Path(c.answer)) : cDialog::CancelNext();
        MessageBox::SetNextAnswer(c.yesNo);
        QString name = QStringLiteral("keep me");
        const QString got = c.save ? cDialog().GetSaveName(nullptr, name, QString())
                                   : cDialog().GetOpenName(nullptr, name, QString());
        const std::string row = c.answer ? c.answer : "cancel";
        EXPECT_EQ(got, c.result.isEmpty() ? c.result : Path(c.result)) << row;
        EXPECT_EQ(name, c.name) << row;
        ASSERT_EQ(Boxes().size(), c.question.isEmpty() ? 0u : 1u) << row;
        EXPECT_TRUE(c.question.isEmpty() || Boxes()[0].text.contains(c.question)) << row;
    }
    EXPECT_EQ(ReadFile(Path("old.txt")), QByteArray("old")); // nothing made or replaced
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files).size(), 2);
    // The name field takes 512 characters; "*.*" hides no file, with or
    // without a dot in its name.
    QString longName(600, 'n');
    cDialog::SetNextFileAnswer([](FileDialog& dlg) {
        EXPECT_EQ(dlg.findChild<QLineEdit*>("fileNameEdit")->text().size(), 512);
        EXPECT_EQ(dlg.nameFilters(), QStringList{"All Files (*)"});
    });
    cDialog().GetSaveName(nullptr, longName, QString());
}

// Values are 0x00BBGGRR under Temp/CustomColors/0..15; missing keys read as
// 0, a slot left alone keeps its value, all 16 are written back after every
// call, and a stored value that is no 32-bit number fails before showing.
TEST_F(cDialogTest, CustomColoursAreReadAndWrittenBack) {
    QSettings settings(QStringLiteral("Temp"), QStringLiteral("Temp"));
    settings.remove(QStringLiteral("CustomColors"));
    settings.setValue(QStringLiteral("CustomColors/0"), "16777215");
    settings.setValue(QStringLiteral("CustomColors/4"), "-16777216");
    settings.sync();
    QList<QColor> shown;
    cDialog::SetNextColorAnswer([&](QColorDialog& dlg) {
        shown << dlg.currentColor() << QColorDialog::customColor(0);
        QColorDialog::setCustomColor(3, QColor(0, 0, 255));
        dlg.setCurrentColor(QColor(0, 0, 255));
        return true;
    });
    EXPECT_EQ(cDialog().PickColor(), 0x00FF0000);
    EXPECT_EQ(shown, QList<QColor>({Qt::black, Qt::white}));
    settings.sync();
    const QStringList stored = {"16777215", "0", "0", "16711680", "-16777216"};
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(settings.value(QStringLiteral("CustomColors/%1").arg(i)).toString(),
                  stored.value(i, "0"))
            << i;
    }
    settings.setValue(QStringLiteral("CustomColors/7"), "purple");
    settings.sync();
    EXPECT_THROW(cDialog().PickColor(), Failure);
}

} // namespace
} // namespace hushnote::test
