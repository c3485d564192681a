#include "ui/about/HTMLLink.h"

#include "ui/about/UrlOpener.h"

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QPalette>
#include <QVariant>

namespace hushnote {

namespace {

void SetTextColor(QLabel* label, ColorValue color) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText,
                     QColor(ColorRed(color), ColorGreen(color), ColorBlue(color)));
    label->setPalette(palette);
}

void SetUnderline(QLabel* label, bool on) {
    QFont font = label->font();
    font.setUnderline(on);
    label->setFont(font);
}

} // namespace

void SetLinkState(QLabel* label, LinkMode mode, QWidget* form) {
    if (label == nullptr) {
        return;
    }
    switch (mode) {
    case LinkMode::kNormal:
        SetTextColor(label, kLinkNormalColor);
        break;
    case LinkMode::kOpened: {
        // A label without a target has nothing to open; it still shows that
        // it was clicked.
        const QString target = label->property("Tag").toString();
        if (!target.isEmpty()) {
            OpenWithSystem(target, form);
        }
        SetTextColor(label, kLinkOpenedColor);
        break;
    }
    case LinkMode::kLeft:
        SetUnderline(label, false);
        SetTextColor(label, kLinkNormalColor);
        break;
    case LinkMode::kHovered:
        SetTextColor(label, kLinkHoverColor);
        SetUnderline(label, true);
        break;
    }
}

ColorValue LinkColor(const QLabel* label) {
    const QColor c = label->palette().color(QPalette::WindowText);
    return MakeColor(c.red(), c.green(), c.blue());
}

} // namespace hushnote
