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

QRect CDataChar::CellOf(const QRect& rect) const { return IsRxd() ? rect.translated(0, rect.height()) : rect; }

QColor CDataChar::Background(const CDisplayMode& mode) const
{
    if (mark) return ColorFromRef(mode.crHighlight);
    if ((Flags() & 0x10) && mode.Error) return ColorFromRef((Flags() & 0x02) ? mode.crErrFrame : mode.crErrParity);
    return ColorFromRef(mode.crBkColor);
}

void CDataChar::Draw(QPainter& dc, const QRect& rect, const CDisplayFonts& fonts, const CDisplayMode& mode) const
{
    if (!mode.Data) return;
    dc.save();
    dc.fillRect(CellOf(rect), Background(mode));
    RunState run;
    DrawInk(dc, CellOf(rect), fonts, mode, run);
    dc.restore();
}

void CDataChar::DrawOnBand(QPainter& dc, const QRect& rect, const CDisplayFonts& fonts, const CDisplayMode& mode,
                           RunState& run) const
{
    if (!mode.Data) return;
    const QColor background = Background(mode);
    if (background != ColorFromRef(mode.crBkColor)) dc.fillRect(CellOf(rect), background);
    DrawInk(dc, CellOf(rect), fonts, mode, run);
}

void CDataChar::DrawInk(QPainter& dc, const QRect& cell, const CDisplayFonts& fonts, const CDisplayMode& mode,
                        RunState& run) const
{
    const uint8_t character = Character();
    QColor text = ColorFromRef(IsRxd() ? mode.crDataRXD : mode.crDataTXD);
    if (mode.DataMode != 1 && mode.DataMode != 2 && (character <= 0x20 || character >= 0x7F)) {
        text = ColorFromRef(mode.crSpecChar);
    }
    dc.setPen(text);
    if (mode.DataMode == 2) {
        dc.save();
        dc.setClipRect(cell);
        // The rotated font writes upwards from the cell's bottom edge.
        static const char hexDigits[] = "0123456789ABCDEF";
        const QString t = QString(QChar(hexDigits[character >> 4])) + QChar(hexDigits[character & 0xF]);
        dc.setFont(fonts[CDisplayFonts::HEX_VERTICAL]);
        dc.translate(cell.left(), cell.bottom() + 1);
        dc.rotate(-90);
        dc.drawText(QPointF(0, dc.fontMetrics().ascent()), t);
        dc.restore();
        return;
    }
    const Glyph g = GlyphFor(character, mode.DataMode);
    if (run.font != g.font) {
        dc.setFont(fonts[g.font]);
        run.font = g.font;
        run.ascent = dc.fontMetrics().ascent();
    }
    // Drawn by glyph, not as text: text layout would swallow CR, LF, tab.
    const QPointF origin(cell.left(), cell.top() + run.ascent);
    // A glyph must not paint into its neighbours. The display fonts keep
    // every picture inside the cell, so the clip is needed only for a font
    // that does not (a substitute): on paper each clip is written out, and
    // it would cost more than everything else a character does.
    const QRectF ink = fonts.GlyphBounds(g.font, g.code).translated(origin);
    if (!ink.isEmpty() && !QRectF(cell).contains(ink)) {
        dc.save();
        dc.setClipRect(cell);
        fonts.DrawCode(dc, g.font, origin, g.code);
        dc.restore();
        return;
    }
    fonts.DrawCode(dc, g.font, origin, g.code);
}

void CDataChar::GetRecord(ByteBuffer& out) const
{
    out.push_back(Flags());
    out.push_back(Character());
}
