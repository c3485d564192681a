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
using qt_codes::FromCodes;

inline std::string Codes(const QString& s) {
    return codepage::Utf16ToCodes(s.toStdU16String());
}

// Message boxes and dialogs are answered through their seams, so nothing
// modal is ever shown; the real main window is built on demand and its
// controls are found by their object names.
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override { ResetSeams(); }
    void TearDown() override {
        MessageBox::RedirectForTests(false);
        cDialog::RedirectForTests(false);
    }
    // Empties the queued answers and the box history, for the next table row.
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

    // Built-in cipher (no library in the folder) unless a folder is given.
    frmMain& Open(std::filesystem::path folder = {}) {
        if (folder.empty()) {
            QDir().mkpath(Path("nolib"));
            folder = Path("nolib").toStdString();
        }
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        w_ = std::make_unique<frmMain>(folder);
        w_->show();
        w_->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(w_.get()));
        MessageBox::ClearHistory();
        return *w_;
    }
    template <class T> T* Find(const char* name) {
        T* c = w_->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
    QPlainTextEdit* Msg() { return Find<QPlainTextEdit>("txtMsg"); }
    QLineEdit* Password() { return Find<QLineEdit>("txtPassword"); }
    QLabel* Status() { return Find<QLabel>("lblStatus"); }
    // How many of the Secure and De-Secure buttons and menu items are on.
    int CipherCommandsEnabled() {
        return static_cast<int>(std::ranges::count_if(
            std::array{"cmdSecure", "cmdDeSecure", "mnuFileItem_0", "mnuFileItem_1"},
            [this](const char* name) {
                return Find<QObject>(name)->property("enabled").toBool();
            }));
    }
    void TypePassword() {
        Password()->clear();
        QTest::keyClicks(Password(), QString::fromLatin1(kPassword));
    }
    // Clicks the button of that name, or triggers the menu item.
    void Run(const char* command) {
        if (auto* b = w_->findChild<QPushButton*>(QString::fromLatin1(command))) {
            QTest::mouseClick(b, Qt::LeftButton);
        } else {
            Find<QAction>(command)->trigger();
        }
    }
    // Queues file dialog answers: each name is chosen in turn, "" cancels.
    void AnswerFiles(const std::vector<const char*>& names) {
        for (const char* n : names) {
            *n == '\0' ? cDialog::CancelNext() : cDialog::AnswerNextWith(Path(n));
        }
    }
    // Drags these files over the message box and releases them there, as a
    // file manager does (text when paths is empty); false when refused.
    bool Drop(const QStringList& paths) {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& p : paths) {
            urls << QUrl::fromLocalFile(p);
        }
        paths.isEmpty() ? data.setText(QStringLiteral("dragged text")) : data.setUrls(urls);
        QWidget* target = Msg()->viewport();
        const QPoint pos = target->rect().center();
        const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
        QDragEnterEvent enter(pos, offered, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        // Released even where refused: the drop must then do nothing.
        QDropEvent drop(QPointF(pos), offered, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        EXPECT_EQ(drop.isAccepted(), enter.isAccepted());
        return drop.isAccepted();
    }

    QTemporaryDir dir_;
    std::unique_ptr<frmMain> w_;
};

} // namespace hushnote::test
