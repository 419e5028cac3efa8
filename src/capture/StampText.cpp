#include "StampText.h"

#include <QFontMetrics>
#include <QPainter>

void DrawTwoLineText(QPainter& dc, const QRect& rect, const QFont& font, const QString& text,
                     const QColor& foreground, const QColor& background)
{
    dc.save();
    dc.setClipRect(rect);
    dc.setFont(font);
    const QFontMetrics fm(font);
    int y = rect.top();
    const auto parts = text.split(QLatin1Char('\n'));
    for (const QString& line : parts) {
        const int w = fm.horizontalAdvance(line);
        const int x = rect.left() + (rect.width() - w) / 2;
        dc.fillRect(QRect(x, y, w, fm.height()), background);
        dc.setPen(foreground);
        dc.drawText(QPointF(x, y + fm.ascent()), line);
        y += fm.height();
    }
    dc.restore();
}
