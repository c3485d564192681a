#include "ui/main/MsgTextBox.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QTextCursor>

#include <memory>

namespace hushnote {
namespace {

// The local file paths a drag carries, in its order, as bytes: a name that
// is not UTF-8 stays the name it is (QUrl would make U+FFFD of it). Empty
// when it carries anything else.
QByteArrayList DroppedPaths(const QMimeData* data) {
    QByteArrayList paths;
    if (data == nullptr || !data->hasUrls()) {
        return paths;
    }
    for (QByteArray line : data->data(QStringLiteral("text/uri-list")).split('\n')) {
        line = line.trimmed(); // lines end in CR LF; a URI holds no blank
        if (line.isEmpty() || line.startsWith('#')) {
            continue;
        }
        if (line.startsWith("file://localhost/")) {
            line.remove(7, 9);
        }
        if (!line.startsWith("file:///")) {
            return {};
        }
        paths << QByteArray::fromPercentEncoding(line.mid(7));
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

void MsgTextBox::contextMenuEvent(QContextMenuEvent* e) {
    const std::unique_ptr<QMenu> menu(createStandardContextMenu(e->pos()));
    menu->setObjectName(QStringLiteral("txtMsgMenu"));
    menu->addSeparator();
    menu->addActions(actions());
    menu->exec(e->globalPos());
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
    const QByteArrayList paths = DroppedPaths(e->mimeData());
    e->setDropAction(Qt::CopyAction);
    e->accept();
    emit filesDropped(paths);
}

} // namespace hushnote
