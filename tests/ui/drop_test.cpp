#include "ui_test_util.h"

#include "cipher/VBEncrypt.h"

#include <atomic>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace hushnote::test {
namespace {

using DropTest = WindowTest;

// Records every text the status line was painted with.
struct PaintRecorder : QObject {
    QStringList painted;
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Paint) {
            painted << static_cast<QLabel*>(o)->text();
        }
        return false;
    }
};

// Files dropped on the message box are appended to it, one line per line of
// the file; a folder is skipped, and a file that cannot be read is reported
// while the others still load.
TEST_F(DropTest, DroppedFilesAreAppendedLineByLine) {
    QByteArray high; // the code page's upper half
    for (int c = 0x80; c < 0x100; ++c) {
        high += static_cast<char>(c);
    }
    const QByteArray control("nul\0here\x1a tab\t bell\x07 end", 25);
    const QByteArray noFile("(no file)"); // a name that is never written
    const QByteArray pipe("(pipe)");      // a named pipe nobody writes to
    const QByteArray huge("(huge)");      // one byte more than a message can come from
    const struct {
        std::vector<std::pair<const char*, QByteArray>> drop; // name, contents
        QString before;                                       // text already in the box
        QByteArray after;                                     // the box afterwards, as codes
        const char* error = nullptr;                          // start of the error shown
        const char* says = "";                                // and what it says further on
    } cases[] = {
        {{{"one.txt", "first\r\nsecond\r\n"}, {"two.txt", "third"}},
         "",
         "first\r\nsecond\r\nthird\r\n"},
        {{{"folder/", {}}}, "", ""},
        {{{"a.txt", "alpha"}, {"folder/", {}}}, "", "alpha\r\n"},
        {{{"cr", "a\rb\r"}}, "", "a\r\nb\r\n"},
        {{{"crlf", "a\r\nb\r\n"}}, "", "a\r\nb\r\n"},
        {{{"cr-crlf", "a\r\r\nb"}}, "", "a\r\n\r\nb\r\n"},
        // A LF on its own stays in the line and shows as a break.
        {{{"lf", "a\nb\n"}}, "", "a\r\nb\r\n\r\n"},
        {{{"last", "no break at the end"}}, "", "no break at the end\r\n"},
        {{{"only-break", "\r\n"}}, "", "\r\n"},
        {{{"empty", ""}}, "kept", "kept"},
        {{{"x", "loaded\r\n"}}, "before\nmore", "before\r\nmoreloaded\r\n"},
        {{{"high", high}}, "", high + "\r\n"},
        {{{"control", control}}, "", control + "\r\n"},
        {{{"1", "one"}, {"vanished", noFile}, {"3", "three"}},
         "",
         "one\r\nthree\r\n",
         "Error #53\r\n\r\n"},
        {{{"broken-link", noFile}}, "", "", "Error #"},
        // Refused at once instead of freezing the window or filling memory.
        {{{"1", "one"}, {"pipe", pipe}, {"3", "three"}},
         "",
         "one\r\nthree\r\n",
         "Error #75\r\n\r\n",
         "not a regular file"},
        {{{"1", "one"}, {"huge", huge}, {"3", "three"}},
         "",
         "one\r\nthree\r\n",
         "Error #5\r\n\r\n",
         "huge\" is 16,777,216 bytes long"},
    };
    Open();
    ASSERT_TRUE(QFile::link(Path("nowhere"), Path("broken-link")));
    PaintRecorder recorder;
    Status()->installEventFilter(&recorder);
    for (const auto& c : cases) {
        ResetSeams();
        recorder.painted.clear();
        QStringList paths;
        QString lastFile;
        for (const auto& [name, bytes] : c.drop) {
            paths << Path(name);
            if (QByteArray(name).endsWith('/')) {
                QDir().mkpath(paths.back());
            } else if (bytes == pipe) {
                ASSERT_EQ(::mkfifo(QFile::encodeName(paths.back()).constData(), 0600), 0);
            } else if (bytes == huge) {
                WriteFile(paths.back(), "");
                ASSERT_TRUE(QFile::resize(paths.back(), VBEncrypt::kMaxLength + 1));
            } else if (bytes != noFile) {
                WriteFile(paths.back(), bytes);
                lastFile = paths.back();
            }
        }
        const std::string row = paths.first().toStdString();
        w_->SetMessageText(c.before);
        Status()->setText(QStringLiteral("as it was"));
        // Opening a pipe the blocking way would wait for a writer for ever:
        // be that writer, late, and say so.
        std::atomic<bool> done = false, blocked = false;
        std::thread watchdog([&] {
            for (int i = 0; i < 500 && !done; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            for (const QString& p : paths) {
                if (!done && p.endsWith(QStringLiteral("pipe"))) {
                    const int fd = ::open(QFile::encodeName(p).constData(), O_WRONLY | O_NONBLOCK);
                    blocked = fd >= 0;
                    ::close(fd);
                }
            }
        });
        const bool dropped = Drop(Files(paths).get());
        done = true;
        watchdog.join();
        EXPECT_FALSE(blocked) << row;
        ASSERT_TRUE(dropped) << row;
        EXPECT_EQ(Codes(w_->MessageText()), c.after.toStdString()) << row;
        ASSERT_EQ(Boxes().size(), c.error ? 1u : 0u) << row;
        if (c.error) {
            EXPECT_TRUE(Boxes()[0].text.startsWith(QString::fromLatin1(c.error))) << row;
            EXPECT_TRUE(Boxes()[0].text.contains(QString::fromLatin1(c.says))) << row;
            EXPECT_EQ(Boxes()[0].icon, MessageBox::Icon::Critical) << row;
        }
        // Both texts are painted for every file, even an empty one.
        for (const QString& p : paths) {
            if (!p.endsWith('/')) {
                const QString loading = QStringLiteral("  Loading ") + p + QStringLiteral("...");
                EXPECT_TRUE(recorder.painted.contains(loading)) << row;
            }
        }
        const QString status = lastFile.isEmpty()
                                   ? QStringLiteral("as it was")
                                   : QStringLiteral("  Loaded ") + lastFile + QLatin1Char('.');
        EXPECT_EQ(w_->StatusText(), c.error && lastFile.isEmpty() ? QString() : status) << row;
    }
}

TEST_F(DropTest, TextAndRemoteDragsAreRefused) {
    Open();
    QMimeData text;
    text.setText(QStringLiteral("dragged text"));
    QMimeData remote;
    remote.setUrls({QUrl(QStringLiteral("http://example.com/file.txt"))});
    EXPECT_FALSE(Drop(&text));
    EXPECT_FALSE(Drop(&remote));
    EXPECT_EQ(w_->MessageText(), QString());
}

TEST_F(DropTest, CommandsQueuedDuringADropWaitForIt) {
    // The drop lets pending events run between files; a Secure click queued
    // meanwhile must not secure a half-loaded box.
    Open();
    WriteFile(Path("one.txt"), "first");
    WriteFile(Path("two.txt"), "second");
    TypePassword();
    // Queued once the first file is in the box: it runs between the files.
    bool queued = false;
    QObject::connect(Msg(), &QPlainTextEdit::textChanged, Msg(), [&] {
        if (!std::exchange(queued, true)) {
            QMetaObject::invokeMethod(Button("cmdSecure"), &QPushButton::click,
                                      Qt::QueuedConnection);
        }
    });
    ASSERT_TRUE(Drop(Files({Path("one.txt"), Path("two.txt")}).get()));
    ASSERT_TRUE(queued);
    EXPECT_EQ(Codes(w_->MessageText()), "first\r\nsecond\r\n");
    EXPECT_EQ(Password()->text(), QString::fromLatin1(kPassword));
}

} // namespace
} // namespace hushnote::test
