#pragma once

namespace hushnote {

// Help, "About Hushnote...": shows the one About window, ownerless and not
// modal; when it is already open it is brought to the front unchanged.
void ShowAboutWindow();

} // namespace hushnote
