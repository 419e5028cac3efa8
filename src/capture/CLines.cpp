#include "CLines.h"

#include "CDataChar.h"
#include "CDisplayMode.h"
#include "CStamp.h"
#include "CStampTime.h"
#include "CStatus.h"
#include "DeviceRecord.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <memory>

const std::array<const char*, CNT_COUNT> kCounterFormats = {
    "TXD:%u", "RXD:%u", "RTS:%u", "RTS:%u", "CTS:%u", "CTS:%u", "CD:%u",
    "CD:%u",  "DTR:%u", "DTR:%u", "DSR:%u", "DSR:%u", "ERR:%u"};

int CLineInfo::SlotOf(int index) const
{
    if (wide.empty() || index <= wide.front().item) return index;
    // The wide items before `index` decide how far its slot is moved.
    const auto after = std::lower_bound(wide.begin(), wide.end(), index,
                                        [](const Wide& w, int i) { return w.item < i; });
    return index + std::prev(after)->extraThrough;
}

void CLineInfo::Push(const CShape& item)
{
    const auto n = static_cast<std::size_t>(item.Slots());
    const std::size_t at = itemSlots.size();
    itemSlots.resize(at + n);
    std::memcpy(static_cast<void*>(&itemSlots[at]), static_cast<const void*>(&item), n * sizeof(CShape));
    if (n > 1) wide.push_back({count, (wide.empty() ? 0 : wide.back().extraThrough) + static_cast<int>(n - 1)});
    ++count;
}

void CLineInfo::Pop()
{
    if (count == 0) return;
    --count;
    if (!wide.empty() && wide.back().item == count) wide.pop_back();
    itemSlots.resize(static_cast<std::size_t>(SlotOf(count)));
}

CLines::~CLines() = default;

CShape* CLines::LastItem() const
{
    if (lines.empty()) return nullptr;
    return lines.back()->GetItem(lines.back()->GetItemCount() - 1);
}

void CLines::AppendItem(const CShape& item, const CDisplayMode& mode, bool isData)
{
    const int w = item.GetExtent(mode, 1).cx;
    if (lines.empty() || static_cast<int64_t>(lines.back()->width) + w > mode.cxLine) {
        if (!lines.empty()) {
            // A closed line never grows again: give back the array's slack.
            lines.back()->itemSlots.shrink_to_fit();
            lines.back()->wide.shrink_to_fit();
        }
        auto line = std::make_unique<CLineInfo>();
        // Room for a line of one-cell items at once, so that filling a line
        // costs no regrowth (and leaves no freed arrays behind in the heap);
        // every item takes at least one cell per slot but the line start.
        const int cells = mode.cxChar > 0 && mode.cxLine > 0 ? mode.cxLine / mode.cxChar + 2 : 16;
        line->itemSlots.reserve(static_cast<std::size_t>(std::clamp(cells, 2, 1024)));
        CStatus start(currentStatus, currentStatus);
        start.MakeLineStart();
        line->Push(start);
        lines.push_back(std::move(line));
    }
    CLineInfo* line = lines.back().get();
    line->Push(item);
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
    AppendItem(CDataChar(character, b0), mode, true);
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
    const CStatus item(status, currentStatus);
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
            AppendItem(CStamp(carry, time), mode, false);
            tickAccumulator = carry;
        }
    } else {
        const CStamp stamp(ms, time);
        if (stamp.GetExtent(mode, 1).cx > 0) AppendItem(stamp, mode, false);
        tickAccumulator = ms;
    }
    provisional = 0;
}

void CLines::AddIdleTime(uint32_t ms, uint32_t time, const CDisplayMode& mode)
{
    if (!mode.Stamp) return;
    if (CShape* last = LastItem(); last != nullptr && last->GetKind() == KIND_STAMP) {
        const uint32_t carry = static_cast<CStamp*>(last)->Accumulate(ms, time);
        if (carry > 0) AppendItem(CStamp(carry, time), mode, false);
        return;
    }
    const CStamp stamp(ms, time);
    if (stamp.GetExtent(mode, 1).cx > 0) AppendItem(stamp, mode, false);
    tickAccumulator = 0;
    provisional = 1;
}

void CLines::AddStartStopTime(int64_t time, const CDisplayMode& mode)
{
    AppendItem(CStampTime(time), mode, false);
    provisional = 0;
}

void CLines::RemoveProvisionalStamp(const CDisplayMode& mode)
{
    if (!provisional) return;
    CShape* last = LastItem();
    if (last == nullptr || last->GetKind() != KIND_STAMP) return;
    CLineInfo* line = lines.back().get();
    line->width = std::max(0, line->width - last->GetExtent(mode, 1).cx);
    line->Pop();
    provisional = 0;
}

int CLines::TrimOldest()
{
    const int excess = static_cast<int>(lines.size()) - kMaxLines;
    if (excess < kTrimStep) return 0;
    lines.erase(lines.begin(), lines.begin() + excess);
    modified = 1;
    return excess;
}

void CLines::Clear()
{
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
