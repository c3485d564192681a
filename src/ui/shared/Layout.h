#pragma once

class QScreen;
class QWidget;

class QEvent;

namespace hushnote {

// The windows were drawn in twips: 15 make one pixel at 96 dots per inch.
// Qt scales the pixels on high-density screens; scale > 1 grows a window for
// a desktop font larger than the one it was drawn for.
inline constexpr int kTwipsPerPixel = 15;

constexpr int TwipsToPixels(int twips, double scale = 1.0) {
    return static_cast<int>(twips * scale / kTwipsPerPixel + 0.5);
}

// How much larger than the 8-point font the windows were drawn for (13-pixel
// lines, letters about 6 pixels wide) the widget's font is on its screen;
// never below 1. Multiplying the twips by it keeps the drawn proportions.
double FontScale(const QWidget& widget);

// Moves the window, frame included, to the middle of the screen's free area;
// a null screen leaves it where it is.
void CentreOnScreen(QWidget& window, const QScreen* screen);

// Whether event changes what a window's twips layout is sized from: its font,
// the application's, or the screen (also sent when only the device pixel
// ratio changes on the same screen).
bool ChangesLayout(const QEvent& event);

} // namespace hushnote
