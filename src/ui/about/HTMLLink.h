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

// The four states a link label can be put in.
enum LinkMode : std::int32_t {
    kLinkNormal = 1,  // text blue
    kLinkOpened = 2,  // open the label's "Tag" target, then text purple
    kLinkLeft = 3,    // underline off, then text blue
    kLinkHovered = 4, // text red, then underline on
};

// Gives `label` the link state `mode`; any other mode changes nothing. The
// target for kLinkOpened is the label's dynamic property "Tag" (a URL such as
// "http://..." or "mailto:..."), opened through OpenWithSystem with `form` as
// the owner window (it may be null).
void SetLinkState(QLabel* label, std::int32_t mode, QWidget* form = nullptr);

// The label's current text colour as a 0x00BBGGRR value.
ColorValue LinkColor(const QLabel* label);

} // namespace hushnote
