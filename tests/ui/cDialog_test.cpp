#include "ui/ui_test_util.h"

namespace hushnote::test {
namespace {

// What the open and save dialogs return for each answer: the full path (or
// ""), the name part left in Filename, and the question asked on the way.
TEST_F(WindowTest, FileDialogAnswers) {
    WriteFile(Path("old.txt"), "old");
    WriteFile(Path("report "), "report");
    const QString missing = "\"" + Path("missing") + "\" does not";
    // yesNo answers the question asked, of which question is a part; result is relative to the
    // folder.
    // clang-format off
    const struct { bool save; const char* answer; Answer yesNo; QString result, name, question; } cases[] = {
        {true, "old.txt", Answer::kNo, "", "keep me", "old.txt already exists"},
        {true, "old.txt", Answer::kYes, "old.txt", "old.txt", "old.txt already exists"},
        {true, "missing/out.txt", Answer::kYes, "", "keep me", missing},
        {false, "missing/in.txt", Answer::kYes, "", "", missing},
        // Blanks are part of a name: "report " is not "report", and " lead" is its own file.
        {false, "report ", Answer::kNo, "report ", "report ", ""},
        {true, "old.txt ", Answer::kNo, "old.txt ", "old.txt ", ""},
        {true, " lead", Answer::kNo, " lead", " lead", ""},
        // clang-format on
    };
    for (const auto& c : cases) {
        ResetSeams();
        cDialog::AnswerNextWith(Path(c.answer));
        MessageBox::SetNextAnswer(c.yesNo);
        QString name = QStringLiteral("keep me");
        const QString got = c.save ? cDialog().GetSaveName(nullptr, name, QString())
                                   : cDialog().GetOpenName(nullptr, name, QString());
        EXPECT_EQ(got, c.result.isEmpty() ? c.result : Path(c.result)) << c.answer;
        EXPECT_EQ(name, c.name) << c.answer;
        ASSERT_EQ(Boxes().size(), c.question.isEmpty() ? 0u : 1u) << c.answer;
        EXPECT_TRUE(Boxes().empty() || Boxes()[0].text.contains(c.question)) << c.answer;
    }
    // The name field takes 512 characters; "*.*" hides no file, with or
    // without a dot in its name.
    QString longName(600, 'n');
    cDialog::SetNextFileAnswer([](FileDialog& dlg) {
        EXPECT_EQ(dlg.findChild<QLineEdit*>("fileNameEdit")->text().size(), 512);
        EXPECT_EQ(dlg.nameFilters(), QStringList{"All Files (*)"});
    });
    cDialog().GetSaveName(nullptr, longName, QString());
}

// Values are 0x00BBGGRR under Temp/CustomColors/0..15, read before the
// dialog shows and written back after it.
TEST_F(WindowTest, CustomColoursAreReadAndWrittenBack) {
    QSettings settings(QStringLiteral("Temp"), QStringLiteral("Temp"));
    settings.setValue(QStringLiteral("CustomColors/0"), "16777215");
    settings.sync();
    QColor shown;
    cDialog::SetNextColorAnswer([&](QColorDialog& dlg) {
        shown = QColorDialog::customColor(0);
        QColorDialog::setCustomColor(3, QColor(0, 0, 255));
        dlg.setCurrentColor(QColor(0, 0, 255));
        return true;
    });
    EXPECT_EQ(cDialog().PickColor(), 0x00FF0000);
    EXPECT_EQ(shown, QColor(Qt::white));
    settings.sync();
    EXPECT_EQ(settings.value(QStringLiteral("CustomColors/3")).toString(), "16711680");
}

} // namespace
} // namespace hushnote::test
