#include "ui/dialogs/FileDialog.h"

#include "ui/dialogs/MessageBox.h"

#include <QDir>
#include <QFileInfo>

namespace hushnote {

std::filesystem::path LocalPath(const QString& path) {
    namespace fs = std::filesystem;
    const fs::path shown(QFile::encodeName(path).toStdString());
    if (!path.contains(QChar::ReplacementCharacter)) {
        return shown;
    }
    fs::path found;
    for (const fs::path& part : shown) {
        const QString name = QFile::decodeName(QByteArray::fromStdString(part.native()));
        fs::path match = found / part;
        std::error_code ec;
        if (name.contains(QChar::ReplacementCharacter) && !fs::exists(match, ec)) {
            int matches = 0;
            for (const auto& e : fs::directory_iterator(found.empty() ? "." : found, ec)) {
                const std::string entry = e.path().filename().native();
                if (QFile::decodeName(QByteArray::fromStdString(entry)) == name && ++matches == 1) {
                    match = found / entry;
                }
            }
            if (matches != 1) {
                return shown; // none, or more than one that reads the same: as typed
            }
        }
        found = std::move(match);
    }
    return found;
}

FileDialog::FileDialog(QWidget* parent, Kind kind, const QString& title)
    : QFileDialog(parent, title), kind_(kind) {
    // No DontUseNativeDialog: Qt shows the platform theme's dialog when there
    // is one and falls back to its own otherwise. The checks cannot live in
    // accept(), which a desktop dialog calls only after it has closed.
    setOption(QFileDialog::HideNameFilterDetails, true);
    setFileMode(QFileDialog::AnyFile);
    if (kind == Kind::Save) {
        setAcceptMode(QFileDialog::AcceptSave);
        // Asked in ConfirmSave instead, once, whichever dialog was shown.
        setOption(QFileDialog::DontConfirmOverwrite, true);
    } else {
        setAcceptMode(QFileDialog::AcceptOpen);
        setOption(QFileDialog::DontResolveSymlinks, true);
    }
}

void FileDialog::SetFilterList(const QString& filters) {
    QStringList parts = filters.split(QChar(0));
    QStringList qtFilters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        if (description.isEmpty()) {
            break;
        }
        QStringList patterns;
        for (const QString& p : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString pattern = p.trimmed();
            // "*.*" means every file where it comes from; here it would
            // hide every file without a dot in its name.
            patterns << (pattern == QLatin1String("*.*") ? QStringLiteral("*") : pattern);
        }
        if (patterns.isEmpty()) {
            patterns << QStringLiteral("*");
        }
        // With HideNameFilterDetails the box shows the text before the last
        // parenthesis, so the description appears exactly as given.
        qtFilters << description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                         QLatin1Char(')');
    }
    if (qtFilters.isEmpty()) {
        qtFilters << QStringLiteral("All Files (*)");
    }
    setNameFilters(qtFilters);
    selectNameFilter(qtFilters.first());
}

void FileDialog::accept() {
    // Taken before Qt's accept(), which in its widget dialog may enter a typed
    // folder instead and stay open.
    const QStringList files = selectedFiles();
    chosen_ = files.isEmpty() ? QString() : files.first();
    QFileDialog::accept();
}

namespace {

// Links are not followed: a dangling one exists too.
bool Exists(const QString& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(LocalPath(path), ec));
}

} // namespace

bool FileDialog::ConfirmChoice() {
    if (kind_ == Kind::Open) {
        return ConfirmOpen(chosen_);
    }
    if (!extension_.isEmpty() && !QFileInfo(chosen_).fileName().contains(QLatin1Char('.')) &&
        !Exists(chosen_)) {
        chosen_ += QLatin1Char('.') + extension_;
    }
    return ConfirmSave(chosen_);
}

bool FileDialog::ConfirmSave(const QString& path) {
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    if (!QFileInfo(folder).isDir()) {
        ShowMissingFolder(path, folder);
        return false;
    }
    if (Exists(path)) {
        return MessageBox::Show(
                   parentWidget(),
                   MessageBox::ShownPath(info.fileName()) +
                       QStringLiteral(" already exists.\r\nDo you want to replace it?"),
                   MessageBox::Icon::Warning, MessageBox::Buttons::YesNo,
                   windowTitle()) == MessageBox::Answer::kYes;
    }
    return true;
}

void FileDialog::ShowMissingFolder(const QString& path, const QString& folder) {
    MessageBox::Show(parentWidget(),
                     MessageBox::ShownPath(path) + QStringLiteral("\r\nThe folder \"") +
                         MessageBox::ShownPath(QDir::toNativeSeparators(folder)) +
                         QStringLiteral("\" does not exist.\r\nCheck the name and try again."),
                     MessageBox::Icon::Warning, MessageBox::Buttons::Ok, windowTitle());
}

bool FileDialog::ConfirmOpen(const QString& path) {
    const QFileInfo info(path);
    if (Exists(path)) {
        return true;
    }
    if (!QFileInfo(info.absolutePath()).isDir()) {
        ShowMissingFolder(path, info.absolutePath());
        return false;
    }
    return MessageBox::Show(parentWidget(),
                            MessageBox::ShownPath(info.fileName()) +
                                QStringLiteral("\r\nThis file does not exist.\r\nCreate the file?"),
                            MessageBox::Icon::Question, MessageBox::Buttons::YesNo,
                            windowTitle()) == MessageBox::Answer::kYes;
}

} // namespace hushnote
