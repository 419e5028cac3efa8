#include "CStampTime.h"

#include "CDisplayFonts.h"
#include "CDisplayMode.h"
#include "ColorRef.h"
#include "LocalTime.h"
#include "StampText.h"

#include <QString>

Extent CStampTime::GetExtent(const CDisplayMode& mode, int d) const
{
    if (!mode.DateTime) return {};
    return {d + 4 * mode.cxChar, 2 * mode.DataRowHeight()};
}

QString CStampTime::Text() const
{
    const LocalDateTime lt = ToLocal(time);
    return QString::asprintf("%02u/%02u/%02u\n%02u:%02u:%02u", unsigned(lt.year % 100), unsigned(lt.month),
                             unsigned(lt.day), unsigned(lt.hour), unsigned(lt.minute), unsigned(lt.second));
}

void CStampTime::Draw(QPainter& dc, const QRect& rect, const CDisplayFonts& fonts, const CDisplayMode& mode) const
{
    if (!mode.DateTime) return;
    DrawTwoLineText(dc, rect, fonts[CDisplayFonts::STAMP], Text(), ColorFromRef(mode.crStampFore),
                    ColorFromRef(mode.crBkColor));
}

void CStampTime::GetRecord(ByteBuffer& out) const
{
    const auto t = static_cast<uint32_t>(time);
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(0xA0);
        out.push_back(static_cast<uint8_t>(t >> shift));
    }
}
