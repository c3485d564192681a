#pragma once

#include "common/codepage.h"
#include "ui/dialogs/FileDialog.h"
#include "ui/dialogs/MessageBox.h"
#include "ui/dialogs/cDialog.h"
#include "ui/main/frmMain.h"

#include <QtTest>
#include <QtWidgets>

#include <gtest/gtest.h>

#include <memory>

namespace hushnote::test {

inline constexpr auto kPassword = "pass word";
using Answer = MessageBox::Answer;

// Message boxes and dialogs are answered through their seams, so nothing
// modal is ever shown; the real main window is built on demand and its
// controls are found by their object names.
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSeams();
        ASSERT_TRUE(dir_.isValid());
    }
    void TearDown() override {
        MessageBox::RedirectForTests(false);
        cDialog::RedirectForTests(false);
    }
    // Empties the queued answers and the box history, for the next table row.
    static void ResetSeams() {
        MessageBox::RedirectForTests(true);
        cDialog::RedirectForTests(true);
    }
    QString Path(const QString& name) const { return dir_.filePath(name); }
    static void WriteFile(const QString& path, const QByteArray& bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
    }
    static QByteArray ReadFile(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static const std::vector<MessageBox::Shown>& Boxes() { return MessageBox::History(); }

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
    // The Secure and De-Secure buttons and menu items that are on.
    int CipherCommandsEnabled() {
        return static_cast<int>(std::ranges::count_if(
            std::array{"cmdSecure", "cmdDeSecure", "mnuFileItem_0", "mnuFileItem_1"},
            [this](const char* name) {
                return Find<QObject>(name)->property("enabled").toBool();
            }));
    }
    void TypePassword(const QString& text = QString::fromLatin1(kPassword)) {
        Password()->clear();
        QTest::keyClicks(Password(), text);
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
    static std::string Codes(const QString& s) {
        return codepage::Utf16ToCodes(s.toStdU16String());
    }
    static QString FromCodes(const std::string& codes) {
        return QString::fromStdU16String(codepage::CodesToUtf16(codes));
    }
    static std::unique_ptr<QMimeData> Files(const QStringList& paths) {
        auto data = std::make_unique<QMimeData>();
        QList<QUrl> urls;
        for (const QString& p : paths) {
            urls << QUrl::fromLocalFile(p);
        }
        data->setUrls(urls);
        return data;
    }
    // Drags data over the message box and releases it there, as a file
    // manager does; false when the box refuses it.
    bool Drop(const QMimeData* data) {
        QWidget* target = Msg()->viewport();
        const QPoint pos = target->rect().center();
        const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
        QDragEnterEvent enter(pos, offered, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        // Released even where refused: the drop must then do nothing.
        QDropEvent drop(QPointF(pos), offered, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        EXPECT_EQ(drop.isAccepted(), enter.isAccepted());
        return drop.isAccepted();
    }

    QTemporaryDir dir_;
    std::unique_ptr<frmMain> w_;
};

} // namespace hushnote::test
