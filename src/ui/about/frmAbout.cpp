#include "ui/about/frmAbout.h"

namespace hushnote {

void ShowAboutWindow() {}

} // namespace hushnote
