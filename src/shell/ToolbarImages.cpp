#include "ToolbarImages.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

void DrawClockFace(QPainter& p, const QRectF& r)
{
    p.setBrush(Qt::white);
    p.setPen(QPen(Qt::black, 1));
    p.drawEllipse(r);
    const QPointF c = r.center();
    p.drawLine(c, QPointF(c.x(), r.top() + 2));
    p.drawLine(c, QPointF(r.right() - 2.5, c.y()));
}

QPixmap Draw(int image)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, false);
    switch (image) {
    case IMG_NEW: {
        QPolygon page({QPoint(3, 1), QPoint(10, 1), QPoint(13, 4), QPoint(13, 14), QPoint(3, 14)});
        p.setBrush(Qt::white);
        p.setPen(Qt::black);
        p.drawPolygon(page);
        p.drawLine(10, 1, 10, 4);
        p.drawLine(10, 4, 13, 4);
        break;
    }
    case IMG_OPEN:
        p.setPen(Qt::black);
        p.setBrush(QColor(255, 220, 100));
        p.drawRect(1, 4, 12, 9);
        p.setBrush(QColor(230, 180, 60));
        p.drawPolygon(QPolygon({QPoint(3, 7), QPoint(15, 7), QPoint(13, 13), QPoint(1, 13)}));
        break;
    case IMG_SAVE:
        p.setPen(Qt::black);
        p.setBrush(QColor(40, 60, 160));
        p.drawRect(1, 1, 13, 13);
        p.setBrush(Qt::white);
        p.drawRect(4, 2, 7, 5);
        p.setBrush(QColor(200, 200, 200));
        p.drawRect(4, 10, 7, 4);
        break;
    case IMG_PRINT:
        p.setPen(Qt::black);
        p.setBrush(Qt::white);
        p.drawRect(4, 1, 8, 6);
        p.setBrush(QColor(190, 190, 190));
        p.drawRect(1, 7, 14, 6);
        p.setBrush(Qt::white);
        p.drawRect(4, 11, 8, 4);
        break;
    case IMG_FIND:
        p.setPen(Qt::black);
        p.setBrush(QColor(60, 60, 60));
        p.drawRect(2, 6, 5, 8);
        p.drawRect(9, 6, 5, 8);
        p.drawRect(6, 8, 4, 3);
        p.setBrush(QColor(120, 160, 220));
        p.drawRect(3, 11, 3, 2);
        p.drawRect(10, 11, 3, 2);
        break;
    case IMG_START:
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 150, 0));
        p.drawPolygon(QPolygon({QPoint(4, 2), QPoint(13, 8), QPoint(4, 14)}));
        break;
    case IMG_STOP:
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(190, 0, 0));
        p.drawRect(3, 3, 10, 10);
        break;
    case IMG_ASCII: {
        QFont f(QStringLiteral("DejaVu Sans"));
        f.setPixelSize(14);
        f.setBold(true);
        p.setFont(f);
        p.setPen(QColor(0, 150, 0));
        p.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, QStringLiteral("A"));
        break;
    }
    case IMG_HEX_H:
    case IMG_HEX_V: {
        QFont f(QStringLiteral("DejaVu Sans"));
        f.setPixelSize(10);
        f.setBold(true);
        p.setFont(f);
        p.setPen(QColor(0, 0, 160));
        if (image == IMG_HEX_V) {
            p.translate(0, 16);
            p.rotate(-90);
        }
        p.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, QStringLiteral("16"));
        break;
    }
    case IMG_STATUS:
        p.setPen(QPen(QColor(160, 0, 0), 1));
        p.drawPolyline(QPolygon({QPoint(0, 12), QPoint(4, 12), QPoint(4, 4), QPoint(9, 4), QPoint(9, 12), QPoint(12, 12),
                                 QPoint(12, 4), QPoint(15, 4)}));
        break;
    case IMG_STAMP:
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(QColor(200, 40, 40));
        p.drawEllipse(QRectF(1, 1, 4, 4));
        p.drawEllipse(QRectF(11, 1, 4, 4));
        DrawClockFace(p, QRectF(2.5, 3.5, 11, 11));
        break;
    case IMG_DATETIME:
        p.setRenderHint(QPainter::Antialiasing, true);
        DrawClockFace(p, QRectF(1.5, 1.5, 13, 13));
        break;
    default:
        break;
    }
    return pm;
}

} // namespace

QIcon ToolbarIcon(int image)
{
    return QIcon(Draw(image));
}
