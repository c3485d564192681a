#pragma once

#include <QByteArrayList>
#include <QPlainTextEdit>

#include <functional>

class QMimeData;

namespace hushnote {

// The message box of the main window.
//
// It takes drops of local files only (a list of paths, copied), never text or
// anything else, and only while dropAllowed allows it. Its context menu is the
// standard one, followed by the actions added to the box.
class MsgTextBox : public QPlainTextEdit {
    Q_OBJECT
public:
    using QPlainTextEdit::QPlainTextEdit;

    // Consulted on every drag; false refuses it.
    std::function<bool()> dropAllowed;

signals:
    void filesDropped(const QByteArrayList& paths);

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dragLeaveEvent(QDragLeaveEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    bool Acceptable(const QMimeData* data) const;
};

} // namespace hushnote
