#pragma once

#include "common/color.h"

#include <QString>

#include <functional>
#include <optional>

class QColorDialog;
class QWidget;

namespace hushnote {

class FileDialog;

// The open, save and colour dialogs behind one small object. It keeps nothing
// between calls; the only lasting state is the colour dialog's 16 custom
// colours in the user's settings.
//
// Filter lists are "description\0pattern\0..." (each item followed by a NUL).
class cDialog {
public:
    static QString DefaultFilter(); // "All Files" / "*.*"

    // The chosen file's full path exactly as chosen, blanks and all (a name
    // may begin or end with one), or "" when the user cancels. On
    // confirmation fileName becomes the chosen name without its folder; on
    // cancel it keeps what was passed in. The dialog refuses a folder that does
    // not exist and asks before an existing file is replaced. initialDir:
    // omitted = the current folder, "" = the dialog's own choice.
    // defaultExtension is added only to a typed name that has no extension
    // and names no existing file.
    QString GetSaveName(QWidget* parent, QString& fileName,
                        const std::optional<QString>& initialDir = std::nullopt,
                        const QString& windowTitle = QStringLiteral("Save File"),
                        const QString& filters = DefaultFilter(),
                        const std::optional<QString>& defaultExtension = std::nullopt);

    // The chosen file's full path. A typed name of a missing file is returned
    // once the user agrees to create it (nothing is created). On cancel the
    // result is defaultFileName without surrounding blanks and fileName is "".
    QString GetOpenName(QWidget* parent, QString& fileName,
                        const std::optional<QString>& defaultDir = std::nullopt,
                        const QString& windowTitle = QStringLiteral("Load File"),
                        const QString& filters = DefaultFilter(),
                        const QString& defaultFileName = QString());

    // A colour as 0x00BBGGRR, or -1 when the user cancels. Starts at black
    // with the 16 custom colours read from settings ("Temp", "CustomColors",
    // "0".."15"; a missing key reads as 0) and writes all 16 back afterwards,
    // cancelled or not. A stored value that is not a 32-bit number throws
    // Failure before anything is shown.
    ColorValue PickColor();

    // ---- Test seam -------------------------------------------------------
    // While redirected no dialog is shown: each request builds the real
    // dialog, hands it to the next queued answer (which may select a file and
    // accept, inspect the title, or reject) and takes the dialog's outcome.
    // With no answer queued the dialog counts as cancelled.
    using FileAnswer = std::function<void(FileDialog&)>;
    using ColorAnswer = std::function<bool(QColorDialog&)>; // true = confirmed
    static void RedirectForTests(bool on);
    static void SetNextFileAnswer(FileAnswer answer);
    // Types path into the next file dialog and presses its accept button. A
    // refused or declined name shows the dialog again, which takes the next
    // queued answer (none: cancelled).
    static void AnswerNextWith(const QString& path);
    static void CancelNext();
    static void SetNextColorAnswer(ColorAnswer answer);
};

} // namespace hushnote
