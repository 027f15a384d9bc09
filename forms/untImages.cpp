#include "forms/untImages.h"
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QTransform>

namespace {

QPixmap Canvas(int size)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    return pm;
}

void Tick(QPainter& p, const QColor& color, qreal width)
{
    QPainterPath path;
    path.moveTo(3, 8.5);
    path.lineTo(6.5, 12);
    path.lineTo(13, 4);
    p.setPen(QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);
}

void Sheet(QPainter& p)
{
    p.setPen(QPen(QColor(90, 90, 110), 1));
    p.setBrush(QColor(250, 250, 245));
    p.drawRect(QRectF(2.5, 1.5, 10, 13));
    p.setPen(QPen(QColor(170, 170, 190), 1));
    for (int y = 4; y <= 12; y += 2)
        p.drawLine(QPointF(4.5, y + 0.5), QPointF(10.5, y + 0.5));
}

void Cross(QPainter& p, const QColor& color, const QRectF& r, qreal width)
{
    p.setPen(QPen(color, width, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(r.topLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomLeft());
}

// Bent arrow turning back to the left: taking something back.
void UndoArrow(QPainter& p, const QColor& color)
{
    QPainterPath path;
    path.moveTo(13, 13);
    path.cubicTo(13, 6, 10, 5, 5, 5);
    p.setPen(QPen(color, 2, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    QPolygonF head;
    head << QPointF(1.5, 5) << QPointF(6, 1.5) << QPointF(6, 8.5);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawPolygon(head);
}

QPixmap Draw(int index)
{
    QPixmap pm = Canvas(16);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    switch (index) {
    case 0:   // confirm in the menu (and the unused modify button): a tick
        Tick(p, QColor(30, 140, 60), 2.2);
        break;
    case 1:   // cancel in the menu, delete on the tool bar
        Cross(p, QColor(200, 40, 40), QRectF(4, 4, 8, 8), 2.2);
        break;
    case 2: { // close: door with an arrow leaving it
        p.setPen(QPen(QColor(100, 70, 40), 1));
        p.setBrush(QColor(190, 140, 80));
        p.drawRect(QRectF(2.5, 1.5, 7, 13));
        p.setBrush(QColor(80, 60, 30));
        p.drawEllipse(QPointF(8, 8.5), 0.8, 0.8);
        p.setPen(QPen(QColor(200, 40, 40), 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(9, 8), QPointF(14, 8));
        QPolygonF head;
        head << QPointF(15.5, 8) << QPointF(12, 5) << QPointF(12, 11);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(200, 40, 40));
        p.drawPolygon(head);
        break;
    }
    case 3:   // find a unit: a magnifying glass
        p.setPen(QPen(QColor(40, 80, 160), 2));
        p.setBrush(QColor(210, 230, 250));
        p.drawEllipse(QPointF(6.5, 6.5), 4.2, 4.2);
        p.setPen(QPen(QColor(40, 80, 160), 2.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(9.8, 9.8), QPointF(14, 14));
        break;
    case 4: { // refresh: a circle of arrow
        const QColor green(30, 130, 70);
        p.setPen(QPen(green, 2, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(2.5, 2.5, 11, 11), 100 * 16, 290 * 16);
        QPolygonF head;
        head << QPointF(9, 0.5) << QPointF(13.5, 3.5) << QPointF(8.5, 6.5);
        p.setPen(Qt::NoPen);
        p.setBrush(green);
        p.drawPolygon(head);
        break;
    }
    case 7:   // take the confirmation back: a record with an arrow turning back
        Sheet(p);
        UndoArrow(p, QColor(220, 120, 20));
        break;
    case 9:   // confirm: a record with a green tick
        Sheet(p);
        Tick(p, QColor(20, 150, 50), 2.6);
        break;
    default:
        p.end();
        return QPixmap();
    }
    p.end();
    return pm;
}

}  // namespace

QIcon ToolImage(int Index)
{
    const QPixmap pm = Draw(Index);
    return pm.isNull() ? QIcon() : QIcon(pm);
}

QIcon HidePaneGlyph()
{
    QPixmap pm = Canvas(12);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 40, 40), 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    for (qreal x : {5.5, 9.5}) {
        QPainterPath chevron;
        chevron.moveTo(x, 2);
        chevron.lineTo(x - 4, 6);
        chevron.lineTo(x, 10);
        p.drawPath(chevron);
    }
    p.end();
    return QIcon(pm);
}

QIcon ShowPaneGlyph()
{
    const QPixmap left = HidePaneGlyph().pixmap(12, 12);
    return QIcon(left.transformed(QTransform().scale(-1, 1)));
}

QIcon WindowImage()
{
    QIcon icon;
    for (int size : {16, 32, 48}) {
        QPixmap pm = Canvas(size);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 32.0, size / 32.0);
        p.setPen(QPen(QColor(60, 70, 100), 1.5));
        p.setBrush(QColor(245, 247, 252));
        p.drawRoundedRect(QRectF(5, 2.5, 20, 26), 2, 2);
        p.setPen(QPen(QColor(150, 160, 185), 1.5));
        for (qreal y : {9.0, 13.5, 18.0})
            p.drawLine(QPointF(9, y), QPointF(21, y));
        p.setPen(QPen(QColor(30, 150, 60), 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        QPainterPath tick;
        tick.moveTo(14, 22);
        tick.lineTo(19, 27);
        tick.lineTo(28.5, 15);
        p.setBrush(Qt::NoBrush);
        p.drawPath(tick);
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

QIcon UnitTreeImage(bool Leaf)
{
    QPixmap pm = Canvas(16);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    if (Leaf) {
        p.setPen(QPen(QColor(70, 80, 110), 1));
        p.setBrush(QColor(180, 195, 225));
        p.drawRect(QRectF(3.5, 2.5, 9, 12));
        p.setBrush(QColor(250, 250, 255));
        p.setPen(Qt::NoPen);
        for (int row = 0; row < 3; ++row)
            for (int col = 0; col < 2; ++col)
                p.drawRect(QRectF(5 + col * 4, 4 + row * 3, 2, 2));
        p.setBrush(QColor(110, 80, 50));
        p.drawRect(QRectF(7, 12, 2, 3));
    } else {
        p.setPen(QPen(QColor(160, 120, 30), 1));
        p.setBrush(QColor(240, 200, 90));
        QPainterPath folder;
        folder.moveTo(1.5, 4.5);
        folder.lineTo(6, 4.5);
        folder.lineTo(7.5, 6);
        folder.lineTo(14.5, 6);
        folder.lineTo(14.5, 13.5);
        folder.lineTo(1.5, 13.5);
        folder.closeSubpath();
        p.drawPath(folder);
    }
    p.end();
    return QIcon(pm);
}
