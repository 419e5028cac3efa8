#include "CStatus.h"

#include "CDisplayMode.h"
#include "ColorRef.h"
#include "DeviceRecord.h"

#include <QPainter>
#include <QPen>

CStatus::CStatus(uint8_t newByte, uint8_t previousArg)
    : CShape(KIND_STATUS, newByte,
             (previousArg & 0xE0) == 0x40 ? previousArg : static_cast<uint8_t>(newByte & 0x1F))
{
}

Extent CStatus::GetExtent(const CDisplayMode& mode, int) const
{
    if (!mode.Status || IsLineStart() || Previous() == New()) return {};
    return {mode.cxChar, 2 * mode.DataRowHeight()};
}

void CStatus::Draw(QPainter& dc, const QRect& rect, const CDisplayFonts&, const CDisplayMode& mode) const
{
    if (!mode.Status) return;
    dc.fillRect(rect, ColorFromRef(mode.crBkColor));
}

void CStatus::PaintLineRows(QPainter& dc, const QPen* pens, int x, int y, int w, const CDisplayMode& mode, int d) const
{
    if (!mode.Status || w <= 0) return;
    struct Row {
        uint8_t bit;
        int pen;
    };
    static constexpr Row rows[5] = {{rec::kRts, 0}, {rec::kCts, 1}, {rec::kCd, 1}, {rec::kDtr, 0}, {rec::kDsr, 1}};
    const int cy = mode.cyChar;
    const int m = 2 * d;
    const QColor background = ColorFromRef(mode.crBkColor);
    const QColor highlight = ColorFromRef(mode.crHighlight);
    const QPen oldPen = dc.pen();
    for (int i = 0; i < 5; ++i) {
        const int ry = y + i * cy;
        const uint8_t bit = rows[i].bit;
        dc.fillRect(QRect(x, ry, w, cy), (mark & bit) ? highlight : background);
        const int high = ry + m;
        const int low = ry + cy - m;
        const int start = (Previous() & bit) ? low : high;
        const int end = (New() & bit) ? low : high;
        const QPoint points[4] = {{x, start}, {x + m, start}, {x + m, end}, {x + w, end}};
        dc.setPen(pens[rows[i].pen]);
        dc.drawPolyline(points, 4);
    }
    dc.setPen(oldPen);
}

void CStatus::CopyLevelsTo(CStatus& other) const
{
    other.a = New();
    other.b = New();
}

void CStatus::GetRecord(ByteBuffer& out) const
{
    out.push_back(New());
    out.push_back(New());
}
