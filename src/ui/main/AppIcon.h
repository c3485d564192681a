#pragma once

#include <QIcon>

namespace hushnote {

// The program's icon: a folded note under a padlock, drawn at each size so
// that it stays sharp from 16 to 64 pixels.
QIcon AppIcon();

} // namespace hushnote
