#include "ui/widgets/ToolbarIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

QPixmap NewPerson()
{
    QPixmap pm(16, 15);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 40, 40), 1));
    p.setBrush(QColor(230, 180, 120));
    p.drawEllipse(QRectF(2.5, 1.5, 6, 6));
    p.setBrush(QColor(40, 90, 200));
    p.drawRoundedRect(QRectF(1.5, 8.5, 9, 6), 2, 2);
    p.setPen(QPen(QColor(0, 140, 0), 2));
    p.drawLine(QPointF(13, 3), QPointF(13, 9));
    p.drawLine(QPointF(10, 6), QPointF(16, 6));
    return pm;
}

QPixmap AddressBook()
{
    QPixmap pm(16, 15);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(QColor(60, 30, 10));
    p.setBrush(QColor(150, 70, 30));
    p.drawRect(2, 1, 11, 13);
    p.setBrush(QColor(250, 245, 220));
    p.drawRect(4, 3, 8, 9);
    p.setPen(QColor(80, 80, 80));
    for (int y = 5; y <= 10; y += 2)
        p.drawLine(5, y, 10, y);
    p.setPen(QColor(200, 200, 200));
    p.drawLine(14, 3, 14, 12);
    return pm;
}

QPixmap SpeechBubble()
{
    QPixmap pm(24, 22);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath bubble;
    bubble.addRoundedRect(QRectF(1.5, 1.5, 21, 14), 5, 5);
    QPainterPath tail;
    tail.moveTo(6, 14);
    tail.lineTo(5, 21);
    tail.lineTo(12, 14);
    tail.closeSubpath();
    p.setPen(QPen(QColor(30, 30, 120), 1));
    p.setBrush(QColor(255, 255, 210));
    p.drawPath(bubble.united(tail));
    p.setPen(QPen(QColor(30, 30, 120), 1.5));
    for (int y = 6; y <= 11; y += 5)
        p.drawLine(QPointF(6, y), QPointF(18, y));
    return pm;
}

QPixmap Question()
{
    QPixmap pm(16, 15);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0, 0, 140), 1));
    p.setBrush(QColor(60, 110, 230));
    p.drawEllipse(QRectF(0.5, 0.5, 14, 14));
    // Drawn as strokes rather than text: the toolbar then needs no font
    // before it is first shown.
    p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    QPainterPath hook;
    hook.moveTo(4.8, 5.2);
    hook.cubicTo(4.8, 2.2, 10.2, 2.2, 10.2, 5.2);
    hook.cubicTo(10.2, 7.2, 7.5, 7.2, 7.5, 9.2);
    p.drawPath(hook);
    p.drawPoint(QPointF(7.5, 12));
    return pm;
}

} // namespace

QIcon ToolbarIcon(int index)
{
    switch (index) {
    case 0:
        return QIcon(NewPerson());
    case 1:
        return QIcon(AddressBook());
    case 2:
        return QIcon(SpeechBubble());
    default:
        return QIcon(Question());
    }
}
