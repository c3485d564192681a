#pragma once

#include <QFileDialog>

namespace hushnote {

// Qt's own file dialog with the checks the program's file commands rely on:
//
// - Save: a name in a folder that does not exist is refused (the dialog stays
//   open); an existing file is replaced only after the user agrees.
// - Open: a typed name of a missing file is returned once the user agrees to
//   create it (nothing is created here); a link is returned as itself.
//
// The questions go through MessageBox, so tests answer them through its seam.
class FileDialog : public QFileDialog {
    Q_OBJECT
public:
    enum class Kind { Open, Save };

    FileDialog(QWidget* parent, Kind kind, const QString& title);

    // "desc\0pattern\0desc\0pattern\0": each description is shown as given,
    // and a pattern "*.*" matches every file, with or without an extension.
    void SetFilterList(const QString& filters);

    // The path the user confirmed, as the dialog typed it.
    QString ChosenPath() const { return chosen_; }

    void accept() override;

private:
    bool AcceptOpen(const QString& path);
    bool AcceptSave(const QString& path);
    void ShowMissingFolder(const QString& path, const QString& folder);

    Kind kind_;
    QString chosen_;
};

} // namespace hushnote
