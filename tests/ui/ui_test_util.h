#pragma once

#include "ui/dialogs/FileDialog.h"
#include "ui/dialogs/MessageBox.h"
#include "ui/dialogs/cDialog.h"
#include "ui/main/QtCodes.h"
#include "ui/main/frmMain.h"

#include <QtTest>
#include <QtWidgets>

#include <gtest/gtest.h>

#include <memory>

namespace hushnote::test {

inline constexpr auto kPassword = "pass word";
using Answer = MessageBox::Answer;

inline std::string Codes(const QString& s) {
    return codepage::Utf16ToCodes(s.toStdU16String());
}

// Message boxes and dialogs are answered through their seams, so nothing
// modal is ever shown; the window's controls are found by their object names.
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override { ResetSeams(); }
    // Also empties the queued answers and the box history, for a table's next row.
    static void ResetSeams() {
        MessageBox::RedirectForTests(true);
        cDialog::RedirectForTests(true);
    }
    static const std::vector<MessageBox::Shown>& Boxes() { return MessageBox::History(); }
    QString Path(const QString& name) const { return dir_.filePath(name); }
    static void WriteFile(const QString& path, const QByteArray& bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
    }
    static QByteArray ReadFile(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // The built-in cipher (a folder without the library) unless told otherwise.
    frmMain& Open(bool library = false) {
        QDir().mkpath(Path("nolib"));
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        w_ = std::make_unique<frmMain>(library ? ProgramFolder() : Path("nolib").toStdU16String());
        w_->show();
        MessageBox::ClearHistory();
        return *w_;
    }
    template <class T> T* Find(const char* name) {
        T* c = w_->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
    QLineEdit* Password() { return Find<QLineEdit>("txtPassword"); }
    bool CommandsEnabled() { return Find<QAction>("mnuFileItem_0")->isEnabled(); }
    // Clicks the button of that name, or triggers the menu item.
    void Run(const char* command) {
        if (auto* b = w_->findChild<QPushButton*>(QString::fromLatin1(command))) {
            QTest::mouseClick(b, Qt::LeftButton);
        } else {
            Find<QAction>(command)->trigger();
        }
    }
    // Queues file dialog answers: each name is chosen in turn.
    void AnswerFiles(const std::vector<const char*>& names) {
        for (const char* n : names) {
            cDialog::AnswerNextWith(Path(n));
        }
    }
    // Drops these files on the message box, as a file manager does; false
    // when refused.
    bool Drop(const QStringList& paths) {
        QByteArrayList bytes;
        for (const QString& p : paths) {
            bytes << QFile::encodeName(p);
        }
        return Drop(bytes);
    }
    // The same for paths as bytes, percent-encoded in a URI list.
    bool Drop(const QByteArrayList& paths) {
        QMimeData data;
        QByteArray list;
        for (const QByteArray& p : paths) {
            list += "file://" + p.toPercentEncoding("/") + "\r\n";
        }
        data.setData(QStringLiteral("text/uri-list"), list);
        QWidget* target = Find<QPlainTextEdit>("txtMsg")->viewport();
        QDragEnterEvent enter(QPoint(2, 2), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(target, &enter);
        // Released even where refused: the drop must then do nothing.
        QDropEvent drop(QPointF(2, 2), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(target, &drop);
        return drop.isAccepted();
    }

    QTemporaryDir dir_;
    std::unique_ptr<frmMain> w_;
};

} // namespace hushnote::test
