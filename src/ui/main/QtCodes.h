#pragma once

#include "common/codepage.h"
#include "common/secret.h"
#include "ui/dialogs/FileDialog.h"

#include <QFile>
#include <QLineEdit>
#include <QString>

#include <filesystem>
#include <string>
#include <string_view>

// Between the window's Qt strings and the engine's single-byte codes and paths.
namespace hushnote::qt_codes {

// The file a dialog's path names, bytes that are not UTF-8 and all.
inline std::filesystem::path ToPath(const QString& path) {
    return LocalPath(path);
}

// Straight from the QString's own characters: no intermediate copy of a
// password is left behind unwiped.
inline std::u16string_view View(const QString& text) {
    return {reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())};
}

inline std::string ToCodes(const QString& text, codepage::Purpose purpose) {
    return codepage::Utf16ToCodes(View(text), purpose);
}

inline QString FromCodes(const std::string& codes) {
    return QString::fromStdU16String(codepage::CodesToUtf16(codes));
}

// The password box's text as codes; a failure does not show its characters.
inline Secret PasswordCodes(const QLineEdit* box) {
    return Secret(codepage::PasswordToCodes(View(box->text())));
}

} // namespace hushnote::qt_codes
