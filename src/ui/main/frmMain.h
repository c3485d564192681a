#pragma once

#include "cipher/CCipher.h"

#include <QMainWindow>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;

namespace hushnote {
namespace pasted {
struct Reading;
}

class MsgTextBox;
class StatusLine;

// The main window: message box, password box, the three commands, status line,
// cipher-mode indicator and the File and Help menus.
class frmMain : public QMainWindow, private CipherEvents {
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

    // The message box's text with CR LF line breaks, and setting it from such
    // text (a CR or LF on its own also shows as a line break). Setting it is
    // one step of the box's undo history, or empties that history (Forget),
    // so that Ctrl+Z cannot bring back what the box held before.
    enum class Undo { Keep, Forget };
    QString MessageText() const;
    void SetMessageText(const QString& text, Undo undo = Undo::Keep);

    // The status line's latest text, also when it is still waiting to be
    // painted.
    QString StatusText() const;

    // Test seam: the password hints Save Receiver Page... asks for are
    // answered with hints in turn, and no dialog is shown until they run out.
    static void SetNextHintsForTests(const QStringList& hints);

protected:
    // Closing while a file runs stops it first.
    void closeEvent(QCloseEvent* event) override;
    // Centred on its screen when first shown.
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;

private:
    // The controls, drawn in twips, and the menus (frmMain_controls.cpp).
    void CreateControls();
    void CreatePasswordBox(QWidget* client);
    void CreateMessageBox(QWidget* client);
    void CreateModeLabel(QWidget* client);
    void WireControls();
    void CreateMenus();
    // Places the controls for the current font and screen; runs again when
    // either changes.
    void ArrangeControls();
    void SetMode(CipherMode mode);

    // The start, the text commands, the menus and the drop (frmMain.cpp).
    void Form_Load();
    void SetSecureMsg();
    void SetDeSecureMsg();
    void cmdSecure_Click();
    void cmdDeSecure_Click();
    void Command1_Click();
    // The message box's context menu and Ctrl+Shift+C there: the secured
    // text in the box, fenced as code, to the clipboard; enabled only while
    // the box holds secured text.
    void CopyForChat_Click();
    // The message box's text exactly as it holds it, line breaks as LF.
    QString BoxText() const;
    // The secured text found in text, or in the box, as pasted.
    static pasted::Reading Read(const QString& text);
    pasted::Reading ReadBox() const;
    // True when the box holds secured text whose length fits its header.
    bool HoldsSecuredText() const;
    // De-Secure's second try: while the box still holds, unchanged, what the
    // last De-Secure put there, a new one starts again from what that one
    // read, so a mistyped password costs nothing. again: this is such a try.
    struct DeSecureSource {
        QString text; // with CR LF line breaks, as MessageText() gives it
        bool again = false;
    };
    DeSecureSource TextToDeSecure() const;
    // Puts the result of De-Secure into the box, one undo step away from the
    // text read, and remembers that text for a second try.
    void ShowDeSecured(const QString& result, const DeSecureSource& source);
    // Menu dispatch by index, as the menus call it.
    void mnuFileItem_Click(int index);
    void mnuHelpItem_Click(int index);
    // Files dropped on the message box: each one is read as single-byte text
    // and its lines appended to the box; a folder is skipped, and the status
    // line names it.
    void txtMsg_OLEDragDrop(const QByteArrayList& paths);

    // Runs a command; a failure reaching it is shown, never ends the program.
    void Guarded(const std::function<void()>& command);
    // False, after telling the user and moving to the password box, when no
    // password was typed.
    bool PasswordGiven();

    // The file commands (frmMain_files.cpp).
    void DoSecureFile();
    void DoDeSecureFile();
    void RunFileCommand(bool securing);
    // Runs work on a file with the cipher commands off; false when the window
    // was closed meanwhile (a full pipe waits in the event loop, through
    // outputOptions), which stopped work and now closes the window for real.
    bool RunOnFile(const std::function<void()>& work);
    // The input and the output, from the open and save dialogs; nothing when
    // the user cancelled either.
    struct FileNames {
        QString in, out;
    };
    std::optional<FileNames> AskFileNames(bool securing);
    void ShowFileProblem(const DeSecureResult& problem, const QString& infile,
                         const QString& outfile);
    void SetCipherCommandsEnabled(bool enabled);
    // File, Save Receiver Page... (frmMain_page.cpp); the item is there only
    // where a page is installed.
    void SaveReceiverPage();
    // CipherEvents, for the cipher objects this window makes.
    void ShowLibraryError(const ErrorValue& error) override;
    bool ReportProgress(std::int64_t remaining, std::int64_t total) override;

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
    QAction* mnuSaveReceiverPage = nullptr;
    QAction* mnuCopyForChat = nullptr;

    // One text command, drop or file operation at a time: SetMsg and the drop
    // let pending events run, so a click queued meanwhile must not start a
    // second one inside the first.
    enum class Busy { Idle, TextCommand, Drop, FileOperation };
    // Marks the window busy for its lifetime; a file operation turns the
    // cipher commands off meanwhile.
    class BusyScope {
    public:
        BusyScope(frmMain& window, Busy what);
        ~BusyScope();
        BusyScope(const BusyScope&) = delete;
        BusyScope& operator=(const BusyScope&) = delete;

    private:
        frmMain& window_;
    };
    Busy busy_ = Busy::Idle;
    bool closeRequested_ = false;
    // What the last De-Secure read, while the box holds its result unchanged.
    std::optional<QString> lastRead_;
    bool centred_ = false;
    std::unique_ptr<StatusLine> status_;
};

} // namespace hushnote
