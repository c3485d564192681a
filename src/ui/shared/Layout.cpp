#include "ui/shared/Layout.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace hushnote {
namespace {

constexpr double kDesignLineHeight = 13.0;
constexpr double kDesignLetterWidth = 6.0;

} // namespace

double FontScale(const QWidget& widget) {
    const QFontMetricsF metrics(widget.font(), &widget);
    const double letters = metrics.horizontalAdvance(QStringLiteral(
                               "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ")) /
                           52.0;
    return std::max({1.0, metrics.height() / kDesignLineHeight, letters / kDesignLetterWidth});
}

void CentreOnScreen(QWidget& window, const QScreen* screen) {
    if (screen == nullptr) {
        return;
    }
    QRect frame = window.frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window.move(frame.topLeft());
}

bool ChangesLayout(const QEvent& event) {
    switch (event.type()) {
    case QEvent::FontChange:
    case QEvent::ApplicationFontChange:
    case QEvent::ScreenChangeInternal:
        return true;
    default:
        return false;
    }
}

} // namespace hushnote
