#pragma once

#include "ui/dialogs/MessageBox.h"
#include "ui/dialogs/cDialog.h"

#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace hushnote::test {

// Every test answers message boxes and dialogs through their seams, so
// nothing modal is ever shown.
class SeamTest : public ::testing::Test {
protected:
    void SetUp() override {
        MessageBox::RedirectForTests(true);
        cDialog::RedirectForTests(true);
        ASSERT_TRUE(dir_.isValid());
    }
    void TearDown() override {
        MessageBox::RedirectForTests(false);
        cDialog::RedirectForTests(false);
    }

    QString Path(const QString& name) const { return dir_.filePath(name); }

    static void WriteFile(const QString& path, const QByteArray& bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(bytes), bytes.size());
    }
    static QByteArray ReadFile(const QString& path) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) {
            return {};
        }
        return f.readAll();
    }

    static const std::vector<MessageBox::Shown>& Boxes() { return MessageBox::History(); }

    QTemporaryDir dir_;
};

} // namespace hushnote::test
