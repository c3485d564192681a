#include "ui/ui_test_util.h"

#include "engine/VBEncrypt.h"

#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace hushnote::test {
namespace {

// Files are appended one after another; a folder is skipped, and a file that
// cannot be read is reported while the others still load. A pipe or a file
// larger than a message is refused at once, instead of freezing the window.
TEST_F(WindowTest, DroppedFilesAreAppended) {
    // Each row: the files dropped (name, contents), the box afterwards as codes, and part of the
    // error shown.
    // clang-format off
    const struct { std::vector<std::pair<const char*, QByteArray>> drop; QByteArray after; const char* error = ""; QString status = {}; } cases[] = {
        // Names exactly as they are: blanks, bidi controls and bytes that are not UTF-8, shown escaped.
        {{{" bad\xff\xe2\x80\xae" "txt.exe ", "odd"}}, "x\r\nyodd\r\n", "", "/ bad\\xff\\u202etxt.exe ."},
        {{{"only folder/", {}}}, "x\r\ny", "", "/only folder/\" is a folder, not a file."},
        {{{"one.txt", "first\nsecond\r\n"}, {"folder/", {}}, {"two.txt", "third"}}, "x\r\nyfirst\r\nsecond\r\nthird\r\n"},
        {{{"1", "one"}, {"vanished", "(none)"}, {"3", "three"}}, "x\r\nyone\r\nthree\r\n", "Error #53\r\n\r\n"},
        {{{"pipe", "(pipe)"}}, "x\r\ny", "Error #75\r\n\r\n"},
        {{{"huge", "(huge)"}, {"3", "three"}}, "x\r\nythree\r\n", "is 16,777,216 bytes long"},
        // clang-format on
    };
    Open();
    for (const auto& c : cases) {
        ResetSeams();
        QByteArrayList paths;
        for (const auto& [name, bytes] : c.drop) {
            // As bytes: a name need not be UTF-8.
            const QByteArray path = paths.emplace_back(QFile::encodeName(dir_.path()) + '/' + name);
            if (path.endsWith('/')) {
                std::filesystem::create_directories(path.toStdString());
            } else if (bytes == "(pipe)") {
                ASSERT_EQ(::mkfifo(path.constData(), 0600), 0);
            } else if (bytes != "(none)") {
                std::ofstream(path.toStdString()) << bytes.toStdString();
                ASSERT_TRUE(bytes != "(huge)" ||
                            ::truncate(path.constData(), VBEncrypt::kMaxLength + 1) == 0);
            }
        }
        w_->SetMessageText(QStringLiteral("x\ny"));
        ASSERT_TRUE(Drop(paths));
        EXPECT_TRUE(c.status.isEmpty() || w_->StatusText().endsWith(c.status))
            << w_->StatusText().toStdString();
        EXPECT_EQ(Codes(w_->MessageText()), c.after.toStdString()) << paths[0].toStdString();
        ASSERT_EQ(Boxes().size(), *c.error ? 1u : 0u) << paths[0].toStdString();
        EXPECT_TRUE(!*c.error || Boxes()[0].text.contains(c.error));
        EXPECT_FALSE(w_->StatusText().contains("Loading")); // cleared on an error too
    }
    EXPECT_EQ(w_->StatusText(), "  Loaded " + Path("3") + '.');
}

// The drop lets pending events run between files; a Secure click queued
// meanwhile must not secure a half-loaded box.
TEST_F(WindowTest, CommandsQueuedDuringADropWaitForIt) {
    Open();
    WriteFile(Path("one.txt"), "first");
    WriteFile(Path("two.txt"), "second");
    Password()->setText(kPassword);
    QObject::connect(Find<QPlainTextEdit>("txtMsg"), &QPlainTextEdit::textChanged,
                     Find<QPushButton>("cmdSecure"), &QPushButton::click, Qt::QueuedConnection);
    ASSERT_TRUE(Drop({Path("one.txt"), Path("two.txt")}));
    EXPECT_EQ(Codes(w_->MessageText()), "first\r\nsecond\r\n");
    EXPECT_EQ(Password()->text(), QString::fromLatin1(kPassword));
}

} // namespace
} // namespace hushnote::test
