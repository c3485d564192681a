#pragma once

#include "common/color.h"

#include <cstdint>

class QLabel;
class QWidget;

namespace hushnote {

// Link colours, as 0x00BBGGRR values.
inline constexpr ColorValue kLinkNormalColor = MakeColor(0, 0, 255);   // blue
inline constexpr ColorValue kLinkHoverColor = MakeColor(255, 0, 0);    // red
inline constexpr ColorValue kLinkOpenedColor = MakeColor(128, 0, 128); // purple

// The four states a link label can be put in, with the numbers they have
// always had.
enum class LinkMode : std::int32_t {
    kNormal = 1,  // text blue
    kOpened = 2,  // open the label's "Tag" target, then text purple
    kLeft = 3,    // underline off, then text blue
    kHovered = 4, // text red, then underline on
};

// Gives `label` the link state `mode`; any other mode changes nothing. The
// target for kOpened is the label's dynamic property "Tag" (a URL such as
// "http://..." or "mailto:..."), opened through OpenWithSystem with `form` as
// the owner window (it may be null).
void SetLinkState(QLabel* label, LinkMode mode, QWidget* form = nullptr);

// The label's current text colour as a 0x00BBGGRR value.
ColorValue LinkColor(const QLabel* label);

} // namespace hushnote
