#include "CLines.h"

#include "CDataChar.h"
#include "CDisplayMode.h"
#include "CStamp.h"
#include "CStampTime.h"
#include "CStatus.h"
#include "DeviceRecord.h"

#include <algorithm>

const std::array<const char*, CNT_COUNT> kCounterFormats = {
    "TXD:%u", "RXD:%u", "RTS:%u", "RTS:%u", "CTS:%u", "CTS:%u", "CD:%u",
    "CD:%u",  "DTR:%u", "DTR:%u", "DSR:%u", "DSR:%u", "ERR:%u"};

CLineInfo::~CLineInfo()
{
    for (CShape* item : items) delete item;
}

CLines::~CLines()
{
    for (CLineInfo* line : lines) delete line;
}

CShape* CLines::LastItem() const
{
    if (lines.empty() || lines.back()->items.empty()) return nullptr;
    return lines.back()->items.back();
}

void CLines::AppendItem(CShape* item, const CDisplayMode& mode, bool isData)
{
    const int w = item->GetExtent(mode, 1).cx;
    if (lines.empty() || static_cast<int64_t>(lines.back()->width) + w > mode.cxLine) {
        if (!lines.empty()) {
            // A closed line never grows again: give back the array's slack so
            // that a long capture costs a pointer per item, not up to two.
            lines.back()->items.shrink_to_fit();
        }
        auto* line = new CLineInfo;
        // Room for a line of one-cell items at once, so that filling a line
        // costs no regrowth (and leaves no freed arrays behind in the heap).
        const int cells = mode.cxChar > 0 && mode.cxLine > 0 ? mode.cxLine / mode.cxChar + 2 : 16;
        line->items.reserve(static_cast<std::size_t>(std::clamp(cells, 2, 1024)));
        auto* start = new CStatus(currentStatus, currentStatus);
        start->MakeLineStart();
        line->items.push_back(start);
        lines.push_back(line);
    }
    CLineInfo* line = lines.back();
    line->items.push_back(item);
    line->width += w;
    if (isData) ++line->dataCount;
    modified = 1;
}

void CLines::AddDataChar(uint8_t character, uint8_t b0, const CDisplayMode& mode)
{
    if (!mode.Data) {
        provisional = 0;
        return;
    }
    AppendItem(new CDataChar(character, b0), mode, true);
    if (b0 & rec::kError) {
        ++counters[CNT_ERR];
    } else {
        ++counters[(b0 & rec::kRxd) ? CNT_RXD : CNT_TXD];
    }
    provisional = 0;
}

int CLines::AddStatus(uint8_t status, const CDisplayMode& mode)
{
    if (!mode.Status || status == currentStatus) {
        provisional = 0;
        return 0;
    }
    auto* item = new CStatus(status, currentStatus);
    struct Line {
        uint8_t bit;
        int rise;
    };
    static constexpr Line kLines[5] = {{rec::kRts, CNT_RTS_RISE}, {rec::kCts, CNT_CTS_RISE}, {rec::kCd, CNT_CD_RISE},
                                       {rec::kDtr, CNT_DTR_RISE}, {rec::kDsr, CNT_DSR_RISE}};
    for (const Line& l : kLines) {
        const bool wasInactive = (currentStatus & l.bit) != 0;
        const bool isInactive = (status & l.bit) != 0;
        if (wasInactive && !isInactive) ++counters[static_cast<std::size_t>(l.rise)];
        if (!wasInactive && isInactive) ++counters[static_cast<std::size_t>(l.rise + 1)];
    }
    AppendItem(item, mode, false);
    currentStatus = status;
    return 1;
}

void CLines::AddTick(uint32_t ms, uint32_t time, const CDisplayMode& mode)
{
    if (!mode.Stamp) return;
    if (CShape* last = LastItem(); last != nullptr && last->GetKind() == KIND_STAMP) {
        auto* stamp = static_cast<CStamp*>(last);
        // Idle time only stood in for the device's own ticks: drop it.
        stamp->SetTime(tickAccumulator, stamp->Time());
        const uint32_t carry = stamp->Accumulate(ms, time);
        tickAccumulator += ms;
        if (carry > 0) {
            AppendItem(new CStamp(carry, time), mode, false);
            tickAccumulator = carry;
        }
    } else {
        auto* stamp = new CStamp(ms, time);
        if (stamp->GetExtent(mode, 1).cx > 0) {
            AppendItem(stamp, mode, false);
        } else {
            delete stamp;
        }
        tickAccumulator = ms;
    }
    provisional = 0;
}

void CLines::AddIdleTime(uint32_t ms, uint32_t time, const CDisplayMode& mode)
{
    if (!mode.Stamp) return;
    if (CShape* last = LastItem(); last != nullptr && last->GetKind() == KIND_STAMP) {
        const uint32_t carry = static_cast<CStamp*>(last)->Accumulate(ms, time);
        if (carry > 0) AppendItem(new CStamp(carry, time), mode, false);
        return;
    }
    auto* stamp = new CStamp(ms, time);
    if (stamp->GetExtent(mode, 1).cx > 0) {
        AppendItem(stamp, mode, false);
    } else {
        delete stamp;
    }
    tickAccumulator = 0;
    provisional = 1;
}

void CLines::AddStartStopTime(int64_t time, const CDisplayMode& mode)
{
    AppendItem(new CStampTime(time), mode, false);
    provisional = 0;
}

void CLines::RemoveProvisionalStamp(const CDisplayMode& mode)
{
    if (!provisional) return;
    CShape* last = LastItem();
    if (last == nullptr || last->GetKind() != KIND_STAMP) return;
    CLineInfo* line = lines.back();
    line->width = std::max(0, line->width - last->GetExtent(mode, 1).cx);
    delete last;
    line->items.pop_back();
    provisional = 0;
}

int CLines::TrimOldest()
{
    const int excess = static_cast<int>(lines.size()) - kMaxLines;
    if (excess < kTrimStep) return 0;
    for (int i = 0; i < excess; ++i) delete lines[static_cast<std::size_t>(i)];
    lines.erase(lines.begin(), lines.begin() + excess);
    modified = 1;
    return excess;
}

void CLines::Clear()
{
    for (CLineInfo* line : lines) delete line;
    lines.clear();
    lines.shrink_to_fit();
    currentStatus = rec::kAllInactive;
    modified = 0;
    tickAccumulator = 0;
    provisional = 0;
    counters.fill(0);
}

int CLines::AddLiveBlock(const uint8_t* data, std::size_t size, uint32_t now, const CDisplayMode& mode)
{
    int lastStatus = -1;
    if (data == nullptr) return lastStatus;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const uint8_t b0 = data[i];
        const uint8_t b1 = data[i + 1];
        switch (rec::Type(b0)) {
        case rec::kTypeData:
            AddDataChar(b1, b0, mode);
            break;
        case rec::kTypeStatus:
            lastStatus = b0;
            if (mode.Status) AddStatus(b0, mode);
            break;
        case rec::kTypeTick:
            AddTick(rec::TickMilliseconds(b0, b1), now, mode);
            break;
        default:
            break;
        }
    }
    return lastStatus;
}
