#include "ui/main/MsgTextBox.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextCursor>
#include <QUrl>

namespace hushnote {
namespace {

// The local file paths a drag carries, in its order; empty when it carries
// anything else.
QStringList DroppedPaths(const QMimeData* data) {
    QStringList paths;
    if (data == nullptr || !data->hasUrls()) {
        return paths;
    }
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) {
            return {};
        }
        paths << url.toLocalFile();
    }
    return paths;
}

} // namespace

void MsgTextBox::keyPressEvent(QKeyEvent* e) {
    // Ctrl+A selects the whole message.
    if (e->matches(QKeySequence::SelectAll) ||
        (e->key() == Qt::Key_A && (e->modifiers() & Qt::ControlModifier))) {
        QTextCursor c(document());
        c.select(QTextCursor::Document);
        setTextCursor(c);
        e->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(e);
}

bool MsgTextBox::Acceptable(const QMimeData* data) const {
    return (!dropAllowed || dropAllowed()) && !DroppedPaths(data).isEmpty();
}

void MsgTextBox::dragEnterEvent(QDragEnterEvent* e) {
    dragMoveEvent(e); // an enter is a move with more to say
}

void MsgTextBox::dragMoveEvent(QDragMoveEvent* e) {
    // The text box's own handling would move its cursor and accept text.
    if (Acceptable(e->mimeData())) {
        e->setDropAction(Qt::CopyAction);
        e->accept();
    } else {
        e->ignore();
    }
}

void MsgTextBox::dragLeaveEvent(QDragLeaveEvent* e) {
    e->accept();
}

void MsgTextBox::dropEvent(QDropEvent* e) {
    if (!Acceptable(e->mimeData())) {
        e->ignore();
        return;
    }
    const QStringList paths = DroppedPaths(e->mimeData());
    e->setDropAction(Qt::CopyAction);
    e->accept();
    emit filesDropped(paths);
}

} // namespace hushnote
