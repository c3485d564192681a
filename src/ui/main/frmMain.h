#pragma once

#include "cipher/CCipher.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QTimer>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QMimeData;
class QPushButton;

namespace hushnote {

// The message box. Its text is seen by the program with CR LF line breaks
// (see frmMain::MessageText).
//
// It takes drops of local files only (a list of paths, copied), never text or
// anything else, and only while acceptDrops() allows it.
class MsgTextBox : public QPlainTextEdit {
    Q_OBJECT
public:
    using QPlainTextEdit::QPlainTextEdit;

    // The local file paths a drag carries, in its order; empty when it carries
    // anything else.
    static QStringList DroppedPaths(const QMimeData* data);

    // Consulted on every drag; false refuses it.
    std::function<bool()> dropAllowed;

signals:
    void filesDropped(const QStringList& paths);

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dragLeaveEvent(QDragLeaveEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    bool Acceptable(const QMimeData* data) const;
};

// The main window: message box, password box, the three commands, status line,
// cipher-mode indicator and the File and Help menus.
class frmMain : public QMainWindow, public CipherEvents {
    Q_OBJECT
public:
    // libraryFolder: where the native cipher library is looked for (the
    // program's own folder; tests point it elsewhere).
    explicit frmMain(std::filesystem::path libraryFolder = ProgramFolder(),
                     QWidget* parent = nullptr);
    ~frmMain() override;

    // " " + message in the status line, then pending events run. Called for
    // every piece of a file, so the window is repainted at most about every
    // 20 ms; the label always holds the latest text.
    void SetMsg(const QString& message);
    void SetSecureMsg();
    void SetDeSecureMsg();
    void DoSecureFile();
    void DoDeSecureFile();

    // The message box's text with CR LF line breaks, and setting it from such
    // text (a CR or LF on its own also shows as a line break). Setting it is
    // one step of the box's undo history.
    QString MessageText() const;
    void SetMessageText(const QString& text);

    bool FileOperationRunning() const { return busy_ == Busy::FileOperation; }

    // The status line's latest text, also when it is still waiting to be
    // painted.
    QString StatusText() const;

    // Menu dispatch by index, as the menus call it.
    void mnuFileItem_Click(int index);
    void mnuHelpItem_Click(int index);

    // Files dropped on the message box: each one that is not a folder is read
    // as single-byte text and its lines appended to the box.
    void txtMsg_OLEDragDrop(const QStringList& paths);

    // The lines of a file's bytes as the box shows them: a line ends at CR or
    // CR LF, and every line, the last one too, is followed by a line break; a
    // LF on its own is kept as a line break.
    static QString LinesOfFile(const QByteArray& bytes);

    // CipherEvents
    void ShowLibraryError(const ErrorValue& error) override;
    bool ReportProgress(std::int64_t remaining, std::int64_t total) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void CreateControls();
    void CreateMenus();
    void ArrangeBottomRow();
    void Form_Load();
    void SetMode(CipherMode mode);

    void cmdSecure_Click();
    void cmdDeSecure_Click();
    void Command1_Click();

    // Runs a command; a failure reaching it is shown, never ends the program.
    void Guarded(const std::function<void()>& command);
    void RunFileCommand(bool securing);
    void SetCipherCommandsEnabled(bool enabled);
    void FlushStatus();
    void SetStatus(const QString& text);

    static constexpr int kRepaintMs = 20;

    std::filesystem::path libraryFolder_;

    MsgTextBox* txtMsg = nullptr;
    QLineEdit* txtPassword = nullptr;
    QPushButton* cmdSecure = nullptr;
    QPushButton* cmdDeSecure = nullptr;
    QPushButton* Command1 = nullptr;
    QLabel* lblStatus = nullptr;
    QLabel* lblMode = nullptr;
    QLabel* Label1 = nullptr;
    QMenu* mnuFile = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* mnuSecureFile = nullptr;
    QAction* mnuDeSecureFile = nullptr;

    // One text command, drop or file operation at a time: SetMsg and the drop
    // let pending events run, so a click queued meanwhile must not start a
    // second one inside the first.
    enum class Busy { Idle, TextCommand, Drop, FileOperation };
    class BusyScope;
    Busy busy_ = Busy::Idle;
    bool closeRequested_ = false;
    bool centred_ = false;
    QElapsedTimer lastPump_;
    QTimer statusFlush_;
    std::optional<QString> pendingStatus_;
};

} // namespace hushnote
