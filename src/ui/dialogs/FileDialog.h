#pragma once

#include <QFileDialog>

#include <filesystem>

namespace hushnote {

// The desktop's own file dialog where its platform theme offers one (GTK, the
// XDG portal, KDE), else Qt's widget dialog. Either way the checks the file
// commands rely on run once the dialog has returned, through MessageBox (so
// tests answer them through its seam), and a refused choice shows the dialog
// again:
//
// - Save: a name in a folder that does not exist is refused; an existing file
//   is replaced only after the user agrees.
// - Open: a typed name of a missing file is returned once the user agrees to
//   create it (nothing is created here); a link is returned as itself. A
//   desktop dialog returns existing files only, so it never asks.
// The file a dialog's path names. Qt shows a name that is not UTF-8 with
// U+FFFD in place of its odd bytes; such a name is matched against the
// folder's entries, so the file chosen is the file used.
std::filesystem::path LocalPath(const QString& path);

class FileDialog : public QFileDialog {
    Q_OBJECT
public:
    enum class Kind { Open, Save };

    FileDialog(QWidget* parent, Kind kind, const QString& title);

    // "desc\0pattern\0desc\0pattern\0": each description is shown as given,
    // and a pattern "*.*" matches every file, with or without an extension.
    void SetFilterList(const QString& filters);

    // Save: the extension ("html") a typed name gets when it has none and
    // names no existing file. Qt's own default suffix would be added to an
    // existing name too, and the file written beside the one chosen.
    void SetDefaultExtension(const QString& extension) { extension_ = extension; }

    // The path the user confirmed, as the dialog typed it (with the default
    // extension once ConfirmChoice() has added it).
    QString ChosenPath() const { return chosen_; }

    // After the dialog returned: false, once the user has been told or has
    // declined, when the chosen path is not to be used.
    bool ConfirmChoice();

    void accept() override;

private:
    bool ConfirmOpen(const QString& path);
    bool ConfirmSave(const QString& path);
    void ShowMissingFolder(const QString& path, const QString& folder);

    Kind kind_;
    QString extension_;
    QString chosen_;
};

} // namespace hushnote
