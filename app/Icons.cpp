#include "Icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace kve {

namespace {

QPixmap canvas()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

void page(QPainter &p)
{
    QPainterPath path;
    path.moveTo(3.5, 1.5);
    path.lineTo(10.5, 1.5);
    path.lineTo(13.5, 4.5);
    path.lineTo(13.5, 14.5);
    path.lineTo(3.5, 14.5);
    path.closeSubpath();
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.setBrush(Qt::white);
    p.drawPath(path);
    p.drawLine(QPointF(10.5, 1.5), QPointF(10.5, 4.5));
    p.drawLine(QPointF(10.5, 4.5), QPointF(13.5, 4.5));
}

QIcon newIcon()
{
    QPixmap pm = canvas();
    QPainter p(&pm);
    page(p);
    p.setPen(QPen(QColor(230, 170, 0), 1.5));
    p.drawLine(QPointF(6, 9), QPointF(11, 9));
    p.drawLine(QPointF(8.5, 6.5), QPointF(8.5, 11.5));
    return QIcon(pm);
}

QIcon openIcon()
{
    QPixmap pm = canvas();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(120, 90, 20), 1));
    p.setBrush(QColor(240, 200, 90));
    p.drawRect(QRectF(1.5, 4.5, 12, 9));
    p.setBrush(QColor(250, 220, 120));
    QPolygonF lid{{3.5, 7.5}, {15.5, 7.5}, {13.5, 13.5}, {1.5, 13.5}};
    p.drawPolygon(lid);
    return QIcon(pm);
}

QIcon saveIcon()
{
    QPixmap pm = canvas();
    QPainter p(&pm);
    p.setPen(QPen(QColor(20, 40, 90), 1));
    p.setBrush(QColor(60, 90, 170));
    p.drawRect(QRectF(1.5, 1.5, 13, 13));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4.5, 1.5, 7, 5));
    p.setBrush(QColor(200, 200, 200));
    p.drawRect(QRectF(4.5, 9.5, 7, 5));
    return QIcon(pm);
}

QIcon previewIcon()
{
    QPixmap pm = canvas();
    QPainter p(&pm);
    page(p);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(30, 30, 30), 1.5));
    p.setBrush(QColor(180, 220, 250));
    p.drawEllipse(QPointF(7.5, 8), 3.2, 3.2);
    p.drawLine(QPointF(10, 10.5), QPointF(13.5, 14));
    return QIcon(pm);
}

QIcon printIcon()
{
    QPixmap pm = canvas();
    QPainter p(&pm);
    p.setPen(QPen(QColor(50, 50, 50), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4.5, 1.5, 7, 5));
    p.setBrush(QColor(170, 170, 170));
    p.drawRect(QRectF(1.5, 6.5, 13, 6));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4.5, 10.5, 7, 4));
    p.setPen(QColor(0, 160, 0));
    p.drawPoint(12, 8);
    return QIcon(pm);
}

QIcon helpIcon()
{
    QPixmap pm = canvas();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(20, 60, 140), 1));
    p.setBrush(QColor(60, 120, 210));
    p.drawEllipse(QRectF(1, 1, 14, 14));
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(12);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(1, 1, 14, 14), Qt::AlignCenter, QStringLiteral("?"));
    return QIcon(pm);
}

QIcon deleteRowsIcon()
{
    QPixmap pm = canvas();
    QPainter p(&pm);
    p.setPen(QPen(QColor(90, 90, 90), 1));
    p.setBrush(Qt::white);
    for (int row = 0; row < 3; ++row)
        p.drawRect(QRectF(1.5, 2.5 + row * 4, 9, 3));
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(200, 20, 20), 2));
    p.drawLine(QPointF(9, 8), QPointF(15, 14));
    p.drawLine(QPointF(15, 8), QPointF(9, 14));
    return QIcon(pm);
}

} // namespace

QList<QIcon> makeImageList()
{
    return {newIcon(), openIcon(), saveIcon(), previewIcon(), printIcon(), helpIcon(), deleteRowsIcon()};
}

} // namespace kve
