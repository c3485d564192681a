#pragma once

#include <QIcon>
#include <QPixmap>

namespace hushnote {

// The program's icon: a folded note under a padlock, drawn at each size so
// that it stays sharp from 16 to 64 pixels.
QIcon AppIcon();

// The same drawing at one size, for the icon files of the desktop theme.
QPixmap DrawAppIcon(int size);

} // namespace hushnote
