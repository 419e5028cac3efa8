#include "CStamp.h"

#include "CDisplayFonts.h"
#include "CDisplayMode.h"
#include "ColorRef.h"
#include "DeviceRecord.h"
#include "LocalTime.h"
#include "StampText.h"

#include <QPainter>
#include <QString>

bool CStamp::Visible(uint32_t elapsed, int stampMode)
{
    // A resolution outside the known ones (a hand-edited settings file) shows
    // stamps as the finest resolution does.
    static constexpr uint32_t thresholds[4] = {1, 10, 100, 1000};
    if (stampMode == 4) return true;
    const int index = stampMode >= 0 && stampMode < 4 ? stampMode : 0;
    return elapsed >= thresholds[index];
}

Extent CStamp::GetExtent(const CDisplayMode& mode, int d) const
{
    if (!mode.Stamp || !Visible(elapsed, mode.StampMode)) return {};
    return {d + 3 * mode.cxChar, 2 * mode.DataRowHeight()};
}

uint32_t CStamp::Accumulate(uint32_t ms, int64_t t)
{
    time = static_cast<uint32_t>(t);
    const uint32_t room = elapsed >= rec::kDayMilliseconds ? 0 : rec::kDayMilliseconds - elapsed;
    if (ms > room) {
        elapsed = rec::kDayMilliseconds;
        return ms - room;
    }
    elapsed += ms;
    return 0;
}

QString CStamp::Text(int stampMode) const
{
    if (stampMode == 4) {
        const LocalDateTime lt = ToLocal(time);
        return QString::asprintf("D%02u/%02u\n%02u%02u%02u", unsigned(lt.month), unsigned(lt.day), unsigned(lt.hour),
                                 unsigned(lt.minute), unsigned(lt.second));
    }
    return QString::asprintf("%02u:%02u \n%02u:%03u", elapsed / 3600000u, (elapsed / 60000u) % 60u,
                             (elapsed / 1000u) % 60u, elapsed % 1000u);
}

void CStamp::Draw(QPainter& dc, const QRect& rect, const CDisplayFonts& fonts, const CDisplayMode& mode) const
{
    if (!mode.Stamp) return;
    if (mode.StampMode != 4 && !Visible(elapsed, mode.StampMode)) return;
    const QColor background = ColorFromRef(mark ? mode.crHighlight : mode.crStampBack);
    DrawTwoLineText(dc, rect, fonts[CDisplayFonts::STAMP], Text(mode.StampMode), ColorFromRef(mode.crStampFore), background);
}

void CStamp::GetRecord(ByteBuffer& out) const
{
    const auto t = static_cast<uint32_t>(time);
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(0x80);
        out.push_back(static_cast<uint8_t>(elapsed >> shift));
    }
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(0xC0);
        out.push_back(static_cast<uint8_t>(t >> shift));
    }
}
