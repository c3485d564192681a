#include "ui/main/frmMain.h"
#include "ui_test_util.h"

#include "cipher/VBEncrypt.h"
#include "common/codepage.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <memory>

namespace hushnote::test {
namespace {

class DropTest : public SeamTest {
protected:
    void SetUp() override {
        SeamTest::SetUp();
        const QString noLibrary = Path(QStringLiteral("nolib"));
        QDir().mkpath(noLibrary);
        w_ = std::make_unique<frmMain>(std::filesystem::path(noLibrary.toStdString()));
        w_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w_.get()));
        MessageBox::ClearHistory();
        msg_ = w_->findChild<QPlainTextEdit*>(QStringLiteral("txtMsg"));
        status_ = w_->findChild<QLabel*>(QStringLiteral("lblStatus"));
        ASSERT_NE(msg_, nullptr);
        ASSERT_NE(status_, nullptr);
        status_->installEventFilter(&recorder_);
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

    // Drags data over the message box and releases it there, as a drag from a
    // file manager does; false when the box refuses it.
    bool Drop(const QMimeData* data) {
        QWidget* target = msg_->viewport();
        const QPointF pos = target->rect().center();
        const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
        QDragEnterEvent enter(pos.toPoint(), offered, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        if (!enter.isAccepted()) {
            return false;
        }
        EXPECT_EQ(enter.dropAction(), Qt::CopyAction);
        QDragMoveEvent move(pos.toPoint(), offered, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &move);
        if (!move.isAccepted()) {
            return false;
        }
        EXPECT_EQ(move.dropAction(), Qt::CopyAction);
        QDropEvent drop(pos, offered, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        return drop.isAccepted();
    }

    QString Text() const { return w_->MessageText(); }

    // Every text the status line was painted with.
    struct Recorder : QObject {
        QStringList painted;
        bool eventFilter(QObject* o, QEvent* e) override {
            if (e->type() == QEvent::Paint) {
                const QString t = static_cast<QLabel*>(o)->text();
                if (painted.isEmpty() || painted.back() != t) {
                    painted << t;
                }
            }
            return false;
        }
    } recorder_;

    std::unique_ptr<frmMain> w_;
    QPlainTextEdit* msg_ = nullptr;
    QLabel* status_ = nullptr;
};

TEST_F(DropTest, TwoFilesInTheirOrder) {
    WriteFile(Path(QStringLiteral("one.txt")), "first\r\nsecond\r\n");
    WriteFile(Path(QStringLiteral("two.txt")), "third");
    auto data = Files({Path(QStringLiteral("one.txt")), Path(QStringLiteral("two.txt"))});
    ASSERT_TRUE(Drop(data.get()));
    EXPECT_EQ(Text(), QStringLiteral("first\r\nsecond\r\nthird\r\n"));
    EXPECT_EQ(w_->StatusText(),
              QStringLiteral("  Loaded ") + Path(QStringLiteral("two.txt")) + QLatin1Char('.'));
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(DropTest, EachFileShowsBothStatusTexts) {
    WriteFile(Path(QStringLiteral("empty.txt")), "");
    auto data = Files({Path(QStringLiteral("empty.txt"))});
    ASSERT_TRUE(Drop(data.get()));
    EXPECT_EQ(Text(), QString());
    const QString loading =
        QStringLiteral("  Loading ") + Path(QStringLiteral("empty.txt")) + QStringLiteral("...");
    const QString loaded =
        QStringLiteral("  Loaded ") + Path(QStringLiteral("empty.txt")) + QStringLiteral(".");
    EXPECT_TRUE(recorder_.painted.contains(loading)) << recorder_.painted.join('|').toStdString();
    EXPECT_EQ(status_->text(), loaded);
}

TEST_F(DropTest, FolderIsSkippedSilently) {
    QDir().mkpath(Path(QStringLiteral("folder")));
    status_->setText(QStringLiteral("as it was"));
    auto data = Files({Path(QStringLiteral("folder"))});
    EXPECT_TRUE(Drop(data.get()));
    EXPECT_EQ(Text(), QString());
    EXPECT_EQ(w_->StatusText(), QStringLiteral("as it was"));
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(DropTest, FilePlusFolderLoadsTheFileOnly) {
    QDir().mkpath(Path(QStringLiteral("folder")));
    WriteFile(Path(QStringLiteral("a.txt")), "alpha");
    auto data = Files({Path(QStringLiteral("a.txt")), Path(QStringLiteral("folder"))});
    ASSERT_TRUE(Drop(data.get()));
    EXPECT_EQ(Text(), QStringLiteral("alpha\r\n"));
    EXPECT_EQ(w_->StatusText(),
              QStringLiteral("  Loaded ") + Path(QStringLiteral("a.txt")) + QLatin1Char('.'));
}

TEST_F(DropTest, LineEnds) {
    struct Case {
        QByteArray bytes;
        QString shown; // as the program sees the box, CR LF line breaks
    } cases[] = {
        {"a\rb\r", QStringLiteral("a\r\nb\r\n")},
        {"a\r\nb\r\n", QStringLiteral("a\r\nb\r\n")},
        {"a\r\r\nb", QStringLiteral("a\r\n\r\nb\r\n")},
        // A LF on its own stays in the line and shows as a break.
        {"a\nb\n", QStringLiteral("a\r\nb\r\n\r\n")},
        {"no break at the end", QStringLiteral("no break at the end\r\n")},
        {"\r\n", QStringLiteral("\r\n")},
    };
    int i = 0;
    for (const Case& c : cases) {
        msg_->clear();
        const QString path = Path(QStringLiteral("f%1").arg(i++));
        WriteFile(path, c.bytes);
        auto data = Files({path});
        ASSERT_TRUE(Drop(data.get()));
        EXPECT_EQ(Text(), c.shown) << c.bytes.toStdString();
    }
}

TEST_F(DropTest, EmptyFileAddsNothing) {
    msg_->setPlainText(QStringLiteral("kept"));
    WriteFile(Path(QStringLiteral("e")), "");
    auto data = Files({Path(QStringLiteral("e"))});
    ASSERT_TRUE(Drop(data.get()));
    EXPECT_EQ(Text(), QStringLiteral("kept"));
}

TEST_F(DropTest, TextAlreadyInTheBoxStaysInFront) {
    msg_->setPlainText(QStringLiteral("before\nmore"));
    WriteFile(Path(QStringLiteral("x")), "loaded\r\n");
    auto data = Files({Path(QStringLiteral("x"))});
    ASSERT_TRUE(Drop(data.get()));
    EXPECT_EQ(Text(), QStringLiteral("before\r\nmoreloaded\r\n"));
}

TEST_F(DropTest, BytesAreReadInTheCodePage) {
    QByteArray bytes;
    for (int c = 0x80; c < 0x100; ++c) {
        if (c != '\r' && c != '\n') {
            bytes += static_cast<char>(c);
        }
    }
    WriteFile(Path(QStringLiteral("hi")), bytes);
    auto data = Files({Path(QStringLiteral("hi"))});
    ASSERT_TRUE(Drop(data.get()));
    EXPECT_EQ(codepage::Utf16ToCodes(Text().toStdU16String()), bytes.toStdString() + "\r\n");
}

TEST_F(DropTest, ControlBytesAreKeptAndSecureExactly) {
    const QByteArray bytes("nul\0here\x1a tab\t bell\x07 end", 25);
    WriteFile(Path(QStringLiteral("ctl")), bytes);
    auto data = Files({Path(QStringLiteral("ctl"))});
    ASSERT_TRUE(Drop(data.get()));
    const std::string expected = bytes.toStdString() + "\r\n";
    EXPECT_EQ(codepage::Utf16ToCodes(Text().toStdU16String()), expected);

    auto* password = w_->findChild<QLineEdit*>(QStringLiteral("txtPassword"));
    auto* secure = w_->findChild<QPushButton*>(QStringLiteral("cmdSecure"));
    auto* deSecure = w_->findChild<QPushButton*>(QStringLiteral("cmdDeSecure"));
    password->setText(QStringLiteral("pw"));
    QTest::mouseClick(secure, Qt::LeftButton);
    EXPECT_EQ(VBEncrypt::DeSecureMessage(codepage::Utf16ToCodes(Text().toStdU16String()), "pw"),
              expected);
    password->setText(QStringLiteral("pw"));
    QTest::mouseClick(deSecure, Qt::LeftButton);
    EXPECT_EQ(codepage::Utf16ToCodes(Text().toStdU16String()), expected);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(DropTest, TextDragIsRefused) {
    QMimeData data;
    data.setText(QStringLiteral("dragged text"));
    EXPECT_FALSE(Drop(&data));
    // Released anyway: nothing happens.
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(msg_->viewport(), &drop);
    EXPECT_FALSE(drop.isAccepted());
    EXPECT_EQ(Text(), QString());
}

TEST_F(DropTest, RemoteUrlIsRefused) {
    QMimeData data;
    data.setUrls({QUrl(QStringLiteral("http://example.com/file.txt"))});
    EXPECT_FALSE(Drop(&data));
}

TEST_F(DropTest, UnreadableFileInTheMiddle) {
    WriteFile(Path(QStringLiteral("1")), "one");
    WriteFile(Path(QStringLiteral("3")), "three");
    auto data = Files(
        {Path(QStringLiteral("1")), Path(QStringLiteral("vanished")), Path(QStringLiteral("3"))});
    ASSERT_TRUE(Drop(data.get()));
    EXPECT_EQ(Text(), QStringLiteral("one\r\nthree\r\n"));
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_TRUE(Boxes()[0].text.startsWith(QStringLiteral("Error #53\r\n\r\n")))
        << Boxes()[0].text.toStdString();
    EXPECT_EQ(Boxes()[0].icon, MessageBox::Icon::Critical);
    EXPECT_EQ(w_->StatusText(),
              QStringLiteral("  Loaded ") + Path(QStringLiteral("3")) + QLatin1Char('.'));
    EXPECT_TRUE(w_->isVisible());
}

TEST_F(DropTest, BrokenLinkIsAnError) {
    ASSERT_TRUE(QFile::link(Path(QStringLiteral("nowhere")), Path(QStringLiteral("link"))));
    auto data = Files({Path(QStringLiteral("link"))});
    ASSERT_TRUE(Drop(data.get()));
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_TRUE(Boxes()[0].text.startsWith(QStringLiteral("Error #")));
}

TEST_F(DropTest, DropsAreRefusedWhileAFileRuns) {
    WriteFile(Path(QStringLiteral("big")), QByteArray(200000, 'x'));
    WriteFile(Path(QStringLiteral("t")), "text");
    w_->findChild<QLineEdit*>(QStringLiteral("txtPassword"))->setText(QStringLiteral("pw"));
    cDialog::AnswerNextWith(Path(QStringLiteral("big")));
    cDialog::AnswerNextWith(Path(QStringLiteral("big.sec")));
    bool refused = false;
    QTimer::singleShot(0, w_.get(), [&] {
        auto data = Files({Path(QStringLiteral("t"))});
        refused = !Drop(data.get());
    });
    w_->findChild<QAction*>(QStringLiteral("mnuFileItem_0"))->trigger();
    EXPECT_TRUE(refused);
    EXPECT_EQ(Text(), QString());
    // Afterwards drops work again.
    auto data = Files({Path(QStringLiteral("t"))});
    EXPECT_TRUE(Drop(data.get()));
    EXPECT_EQ(Text(), QStringLiteral("text\r\n"));
}

TEST_F(DropTest, LinesOfFileKnownAnswers) {
    EXPECT_EQ(frmMain::LinesOfFile(QByteArray()), QString());
    EXPECT_EQ(frmMain::LinesOfFile("x"), QStringLiteral("x\n"));
    EXPECT_EQ(frmMain::LinesOfFile("\r"), QStringLiteral("\n"));
    EXPECT_EQ(frmMain::LinesOfFile("\r\r"), QStringLiteral("\n\n"));
    EXPECT_EQ(frmMain::LinesOfFile("\n"), QStringLiteral("\n\n"));
    EXPECT_EQ(frmMain::LinesOfFile("\x80"), QStringLiteral("\u20AC\n"));
}

} // namespace
} // namespace hushnote::test
