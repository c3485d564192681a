#include "ui/dialogs/cDialog.h"

#include "common/error.h"
#include "ui/dialogs/FileDialog.h"

#include <QColorDialog>
#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include <deque>
#include <limits>

namespace hushnote {
namespace {

constexpr int kCustomColors = 16;
constexpr qsizetype kSavePathChars = 512;
constexpr qsizetype kSaveNameChars = 256;
constexpr qsizetype kOpenPathExtra = 1025;
constexpr qsizetype kOpenNameChars = 512;

struct Seam {
    bool redirected = false;
    std::deque<cDialog::FileAnswer> files;
    std::deque<cDialog::ColorAnswer> colors;
};

Seam& seam() {
    static Seam s;
    return s;
}

// Shows the dialog, or runs the queued answer in its place; true when the
// user confirmed a choice.
bool ShowFileDialog(FileDialog& dlg) {
    Seam& s = seam();
    if (!s.redirected) {
        return dlg.exec() == QDialog::Accepted;
    }
    if (s.files.empty()) {
        return false;
    }
    auto answer = std::move(s.files.front());
    s.files.pop_front();
    dlg.setResult(QDialog::Rejected);
    answer(dlg);
    return dlg.result() == QDialog::Accepted && !dlg.ChosenPath().isEmpty();
}

// A desktop dialog has closed before its choice can be checked, so a refused
// choice shows the dialog again, offering the same name.
bool RunFileDialog(FileDialog& dlg) {
    while (ShowFileDialog(dlg)) {
        if (dlg.ConfirmChoice()) {
            return true;
        }
        const QFileInfo refused(dlg.ChosenPath());
        if (refused.absoluteDir().exists()) {
            dlg.selectFile(refused.absoluteFilePath());
        }
    }
    return false;
}

QString NamePart(const QString& path) {
    return QFileInfo(path).fileName();
}

void OfferDirectory(FileDialog& dlg, const std::optional<QString>& dir) {
    if (!dir) {
        dlg.setDirectory(QDir::currentPath());
    } else if (!dir->isEmpty()) {
        dlg.setDirectory(*dir);
    }
}

ColorValue ParseColor(const QString& text, int index) {
    bool ok = false;
    const qlonglong v = text.trimmed().toLongLong(&ok);
    if (!ok) {
        throw Failure(kErrTypeMismatch, "Type mismatch: custom colour " + std::to_string(index) +
                                            " is \"" + text.toStdString() + "\", not a number.");
    }
    if (v < std::numeric_limits<ColorValue>::min() || v > std::numeric_limits<ColorValue>::max()) {
        throw Failure(kErrOverflow, "Overflow: custom colour " + std::to_string(index) + " is " +
                                        text.toStdString() + ".");
    }
    return static_cast<ColorValue>(v);
}

QColor ToQColor(ColorValue c) {
    return QColor(ColorRed(c), ColorGreen(c), ColorBlue(c));
}

ColorValue FromQColor(const QColor& c) {
    return MakeColor(c.red(), c.green(), c.blue());
}

// Removes leading and trailing blanks (code 32 only).
QString TrimBlanks(const QString& s) {
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && s[begin] == QLatin1Char(' ')) {
        ++begin;
    }
    while (end > begin && s[end - 1] == QLatin1Char(' ')) {
        --end;
    }
    return s.mid(begin, end - begin);
}

} // namespace

QString cDialog::DefaultFilter() {
    return QStringLiteral("All Files") + QChar(0) + QStringLiteral("*.*") + QChar(0);
}

QString cDialog::GetSaveName(QWidget* parent, QString& fileName,
                             const std::optional<QString>& initialDir, const QString& windowTitle,
                             const QString& filters,
                             const std::optional<QString>& defaultExtension) {
    FileDialog dlg(parent, FileDialog::Kind::Save, windowTitle);
    dlg.SetFilterList(filters);
    OfferDirectory(dlg, initialDir);
    if (defaultExtension && !defaultExtension->isEmpty()) {
        dlg.SetDefaultExtension(*defaultExtension);
    }
    // The name field holds at most 512 characters.
    const QString offered = TrimBlanks(fileName.left(kSavePathChars));
    if (!offered.isEmpty()) {
        dlg.selectFile(offered);
    }
    if (!RunFileDialog(dlg)) {
        return {};
    }
    const QString path = dlg.ChosenPath();
    const QString name = NamePart(path);
    // A choice too long for the dialog's buffers is a failed dialog.
    if (path.size() > kSavePathChars || name.size() > kSaveNameChars) {
        return {};
    }
    // As chosen: on Linux a name may begin or end with a blank, and trimming
    // would name another file.
    fileName = name;
    return path;
}

QString cDialog::GetOpenName(QWidget* parent, QString& fileName,
                             const std::optional<QString>& defaultDir, const QString& windowTitle,
                             const QString& filters, const QString& defaultFileName) {
    FileDialog dlg(parent, FileDialog::Kind::Open, windowTitle);
    dlg.SetFilterList(filters);
    OfferDirectory(dlg, defaultDir);
    const QString offered = TrimBlanks(defaultFileName);
    if (!offered.isEmpty()) {
        dlg.selectFile(offered);
    }
    const bool confirmed = RunFileDialog(dlg);
    const QString path = dlg.ChosenPath();
    const QString name = NamePart(path);
    if (confirmed && path.size() <= kOpenPathExtra + defaultFileName.size() &&
        name.size() <= kOpenNameChars) {
        fileName = name;
        return path;
    }
    fileName.clear();
    return TrimBlanks(defaultFileName);
}

ColorValue cDialog::PickColor() {
    QSettings settings(QStringLiteral("Temp"), QStringLiteral("Temp"));
    settings.beginGroup(QStringLiteral("CustomColors"));
    ColorValue table[kCustomColors];
    for (int i = 0; i < kCustomColors; ++i) {
        table[i] =
            ParseColor(settings.value(QString::number(i), QStringLiteral("0")).toString(), i);
    }
    for (int i = 0; i < kCustomColors; ++i) {
        QColorDialog::setCustomColor(i, ToQColor(table[i]));
    }

    QColorDialog dlg;
    dlg.setOption(QColorDialog::DontUseNativeDialog, true);
    dlg.setCurrentColor(Qt::black);
    bool confirmed = false;
    Seam& s = seam();
    if (!s.redirected) {
        confirmed = dlg.exec() == QDialog::Accepted;
    } else if (!s.colors.empty()) {
        auto answer = std::move(s.colors.front());
        s.colors.pop_front();
        confirmed = answer(dlg);
    }
    const ColorValue result = confirmed ? FromQColor(dlg.currentColor()) : -1;

    for (int i = 0; i < kCustomColors; ++i) {
        const QColor now = QColorDialog::customColor(i);
        // A slot the user left alone keeps its stored value, high byte and all.
        const ColorValue value = now == ToQColor(table[i]) ? table[i] : FromQColor(now);
        settings.setValue(QString::number(i), QString::number(value));
    }
    settings.endGroup();
    settings.sync();
    return result;
}

void cDialog::RedirectForTests(bool on) {
    Seam& s = seam();
    s.redirected = on;
    s.files.clear();
    s.colors.clear();
}

void cDialog::SetNextFileAnswer(FileAnswer answer) {
    seam().files.push_back(std::move(answer));
}

void cDialog::AnswerNextWith(const QString& path) {
    SetNextFileAnswer([path](FileDialog& dlg) {
        dlg.selectFile(path);
        dlg.accept();
    });
}

void cDialog::CancelNext() {
    SetNextFileAnswer([](FileDialog& dlg) { dlg.reject(); });
}

void cDialog::SetNextColorAnswer(ColorAnswer answer) {
    seam().colors.push_back(std::move(answer));
}

} // namespace hushnote
