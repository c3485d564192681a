#include "ui/main/AppIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace hushnote {

QPixmap DrawAppIcon(int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);

    // The note: a sheet with a folded corner and a few lines of text.
    QPainterPath sheet;
    sheet.moveTo(4, 2);
    sheet.lineTo(20, 2);
    sheet.lineTo(26, 8);
    sheet.lineTo(26, 28);
    sheet.lineTo(4, 28);
    sheet.closeSubpath();
    p.setPen(QPen(QColor(40, 40, 60), 1.2));
    p.setBrush(QColor(250, 248, 235));
    p.drawPath(sheet);
    p.setBrush(QColor(215, 210, 190));
    p.drawPolygon(QPolygonF({QPointF(20, 2), QPointF(20, 8), QPointF(26, 8)}));
    p.setPen(QPen(QColor(120, 120, 140), 1.4));
    for (int y = 8; y <= 14; y += 3) {
        p.drawLine(QPointF(7, y), QPointF(18, y));
    }

    // The padlock in navy, in front of the lower right of the sheet.
    p.setPen(QPen(QColor(0, 0, 128), 2.4));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(15, 13, 10, 10), 0, 180 * 16);
    p.drawLine(QPointF(15, 18), QPointF(15, 21));
    p.drawLine(QPointF(25, 18), QPointF(25, 21));
    p.setPen(QPen(QColor(0, 0, 80), 1));
    p.setBrush(QColor(0, 0, 128));
    p.drawRoundedRect(QRectF(12, 20, 16, 11), 2, 2);
    p.setBrush(QColor(255, 215, 0));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRectF(18.5, 23, 3, 3));
    p.drawRect(QRectF(19.4, 25, 1.2, 3.5));
    return pm;
}

QIcon AppIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64}) {
        icon.addPixmap(DrawAppIcon(size));
    }
    return icon;
}

} // namespace hushnote
