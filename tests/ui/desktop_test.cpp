#include "ui/ui_test_util.h"

namespace hushnote::test {
namespace {

using DesktopTest = WindowTest;

// The desktop's own dialog is allowed; as it has closed before the replace
// question, No shows it again with the same name, and the next answer counts.
TEST_F(DesktopTest, DeclinedReplaceShowsTheDialogAgain) {
    WriteFile(Path("old.txt"), "old");
    QStringList offered;
    cDialog::SetNextFileAnswer([&](FileDialog& dlg) {
        EXPECT_FALSE(dlg.testOption(QFileDialog::DontUseNativeDialog));
        dlg.selectFile(Path("old.txt"));
        dlg.accept();
    });
    cDialog::SetNextFileAnswer([&](FileDialog& dlg) {
        offered = dlg.selectedFiles();
        dlg.selectFile(Path("new.txt"));
        dlg.accept();
    });
    MessageBox::SetNextAnswer(Answer::kNo);
    QString name;
    EXPECT_EQ(cDialog().GetSaveName(nullptr, name, QString()), Path("new.txt"));
    EXPECT_EQ(offered, QStringList{Path("old.txt")});
    EXPECT_EQ(Boxes().size(), 1u);
}

} // namespace
} // namespace hushnote::test
