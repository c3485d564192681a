#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace hushnote {

// Hands a document or URL to the program the user registered for it (browser,
// mail program). Tests put a recorder in its place so nothing is launched.
// `owner` is the window the request comes from; it may be null.
using UrlOpener = std::function<void(const QString& target, QWidget* owner)>;

// Replaces the opener; an empty function brings back the system's.
void SetUrlOpener(UrlOpener opener);

// Opens `target` without waiting for the started program; a target that the
// system cannot open is ignored, as the user sees nothing happen anyway.
void OpenWithSystem(const QString& target, QWidget* owner);

} // namespace hushnote
