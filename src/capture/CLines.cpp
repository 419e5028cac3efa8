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

void CLineInfo::Reserve(std::size_t slots, SlotArena& arena)
{
    if (slots <= slotCapacity) return;
    CShape* grown = arena.Take(slots);
    if (slotCount > 0) std::memcpy(static_cast<void*>(grown), static_cast<const void*>(itemSlots), slotCount * sizeof(CShape));
    arena.Give(itemSlots, slotCapacity);
    itemSlots = grown;
    slotCapacity = static_cast<uint32_t>(slots);
}

void CLineInfo::Release(SlotArena& arena) noexcept
{
    arena.Give(itemSlots, slotCapacity);
    itemSlots = nullptr;
    slotCount = slotCapacity = 0;
    wide.clear();
    count = width = dataCount = 0;
}

void CLineInfo::Push(const CShape& item, SlotArena& arena)
{
    const auto n = static_cast<uint32_t>(item.Slots());
    if (slotCount + n > slotCapacity) Reserve(std::max<std::size_t>(2 * std::size_t{slotCapacity}, slotCount + n + 8), arena);
    std::memcpy(static_cast<void*>(itemSlots + slotCount), static_cast<const void*>(&item), n * sizeof(CShape));
    slotCount += n;
    if (n == 1) {
        ++count;
        return;
    }
    // Lines with stamps hold a few of them: room for several at once.
    if (wide.empty()) wide.reserve(8);
    wide.push_back({count, (wide.empty() ? 0 : wide.back().extraThrough) + static_cast<int>(n - 1)});
    ++count;
}

void CLineInfo::Pop()
{
    if (count == 0) return;
    --count;
    if (!wide.empty() && wide.back().item == count) wide.pop_back();
    slotCount = static_cast<uint32_t>(SlotOf(count));
}

CLines::~CLines()
{
    for (CLineInfo& line : lines) line.Release(arena);
}

CShape* CLines::LastItem() const
{
    if (lines.empty()) return nullptr;
    return lines.back().GetItem(lines.back().GetItemCount() - 1);
}

CLineInfo& CLines::LineWithRoom(int w, const CDisplayMode& mode)
{
    if (lines.empty() || static_cast<int64_t>(lines.back().width) + w > mode.cxLine) {
        CLineInfo& line = lines.emplace_back();
        // Room for a line of one-cell items at once, so that filling a line
        // costs no regrowth: every item takes at least one cell per slot but
        // the line start.
        const int cells = mode.cxChar > 0 && mode.cxLine > 0 ? mode.cxLine / mode.cxChar + 2 : 16;
        line.Reserve(static_cast<std::size_t>(std::clamp(cells, 2, 1024)), arena);
        CStatus start(currentStatus, currentStatus);
        start.MakeLineStart();
        line.Push(start, arena);
    }
    return lines.back();
}

void CLines::AppendItem(const CShape& item, const CDisplayMode& mode, bool isData)
{
    const int w = item.GetExtent(mode, 1).cx;
    CLineInfo& line = LineWithRoom(w, mode);
    line.Push(item, arena);
    line.width += w;
    if (isData) ++line.dataCount;
    modified = 1;
}

void CLines::AddDataChar(uint8_t character, uint8_t b0, const CDisplayMode& mode)
{
    if (!mode.Data) {
        provisional = 0;
        return;
    }
    // Nearly every record is a character: placed here without asking the
    // item its width (a character is one cell wide while Data is on).
    CLineInfo& line = LineWithRoom(mode.cxChar, mode);
    line.Push(CDataChar(character, b0), arena);
    line.width += mode.cxChar;
    ++line.dataCount;
    modified = 1;
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
    CLineInfo& line = lines.back();
    line.width = std::max(0, line.width - last->GetExtent(mode, 1).cx);
    line.Pop();
    provisional = 0;
}

int CLines::TrimOldest()
{
    const int excess = static_cast<int>(lines.size()) - kMaxLines;
    if (excess < kTrimStep) return 0;
    for (int i = 0; i < excess; ++i) {
        lines.front().Release(arena);
        lines.pop_front();
    }
    modified = 1;
    return excess;
}

void CLines::Clear()
{
    for (CLineInfo& line : lines) line.Release(arena);
    lines.clear();
    lines.shrink_to_fit();
    arena.Reset();
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
