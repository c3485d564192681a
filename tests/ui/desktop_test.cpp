#include "ui/ui_test_util.h"

namespace hushnote::test {
namespace {

using DesktopTest = WindowTest;

// Copy Text copies the box as Secure reads it: a no-break space stays one.
TEST_F(DesktopTest, CopyTextKeepsEveryCharacter) {
    frmMain& w = Open();
    w.SetMessageText(QStringLiteral("a\u00A0b\r\nc"));
    Run("Command1");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("a\u00A0b\nc"));
}

// After Secure nothing brings the plaintext back into the box.
TEST_F(DesktopTest, SecureLeavesNoUndo) {
    frmMain& w = Open();
    w.SetMessageText(QStringLiteral("my secret"));
    TypePassword();
    Run("cmdSecure");
    const QString secured = w.MessageText();
    EXPECT_FALSE(Msg()->document()->isUndoAvailable());
    QTest::keyClick(Msg(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(w.MessageText(), secured);
}

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
