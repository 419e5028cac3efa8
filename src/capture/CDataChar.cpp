#include "CDataChar.h"

#include "CDisplayFonts.h"
#include "CDisplayMode.h"
#include "ColorRef.h"

#include <QPainter>

Extent CDataChar::GetExtent(const CDisplayMode& mode, int) const
{
    if (!mode.Data) return {};
    return {mode.cxChar, mode.DataRowHeight()};
}

CDataChar::Glyph CDataChar::GlyphFor(uint8_t c, int dataMode)
{
    // Unknown modes (a hand-edited settings file) draw as ASCII.
    const bool hex = dataMode == 1;
    if ((c >= 0x80 && c <= 0x9F) || c == 0xB6 || c == 0xB7) return {CDisplayFonts::PATTERN, static_cast<char16_t>(c - 0x60)};
    if (c >= 0x10 && c <= 0x1F) return {CDisplayFonts::PATTERN, static_cast<char16_t>(hex ? c + 0x30 : c + 0x50)};
    return {hex ? CDisplayFonts::HEX : CDisplayFonts::SPC, static_cast<char16_t>(c)};
}

void CDataChar::Draw(QPainter& dc, const QRect& rect, const CDisplayFonts& fonts, const CDisplayMode& mode) const
{
    if (!mode.Data) return;
    const uint8_t character = Character();
    const uint8_t flags = Flags();
    const bool rxd = IsRxd();
    QRect cell = rect;
    if (rxd) cell.translate(0, rect.height());

    QColor text = ColorFromRef(rxd ? mode.crDataRXD : mode.crDataTXD);
    if (mode.DataMode != 1 && mode.DataMode != 2 && (character <= 0x20 || character >= 0x7F)) {
        text = ColorFromRef(mode.crSpecChar);
    }
    QColor background = ColorFromRef(mode.crBkColor);
    if ((flags & 0x10) && mode.Error) background = ColorFromRef((flags & 0x02) ? mode.crErrFrame : mode.crErrParity);
    if (mark) background = ColorFromRef(mode.crHighlight);

    dc.save();
    dc.fillRect(cell, background);
    dc.setPen(text);
    if (mode.DataMode == 2) {
        dc.setClipRect(cell);
        // The rotated font writes upwards from the cell's bottom edge.
        static const char hexDigits[] = "0123456789ABCDEF";
        const QString t = QString(QChar(hexDigits[character >> 4])) + QChar(hexDigits[character & 0xF]);
        dc.setFont(fonts[CDisplayFonts::HEX_VERTICAL]);
        dc.translate(cell.left(), cell.bottom() + 1);
        dc.rotate(-90);
        dc.drawText(QPointF(0, dc.fontMetrics().ascent()), t);
    } else {
        const Glyph g = GlyphFor(character, mode.DataMode);
        dc.setFont(fonts[g.font]);
        // Drawn by glyph, not as text: text layout would swallow CR, LF, tab.
        const QPointF origin(cell.left(), cell.top() + dc.fontMetrics().ascent());
        // A glyph must not paint into its neighbours. The display fonts keep
        // every picture inside the cell, so the clip is needed only for a
        // font that does not (a substitute): on paper each clip is written
        // out, and it would cost more than everything else a character does.
        const QRectF ink = fonts.GlyphBounds(g.font, g.code).translated(origin);
        if (!ink.isEmpty() && !QRectF(cell).contains(ink)) dc.setClipRect(cell);
        fonts.DrawCode(dc, g.font, origin, g.code);
    }
    dc.restore();
}

void CDataChar::GetRecord(ByteBuffer& out) const
{
    out.push_back(Flags());
    out.push_back(Character());
}
