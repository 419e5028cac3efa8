#include "FindMatch.h"

#include "CDataChar.h"
#include "CDisplayMode.h"
#include "CLines.h"
#include "CStamp.h"
#include "CStatus.h"
#include "DeviceRecord.h"

#include <limits>

namespace {

// One item forward in log order (item 1 of the next line after a line's
// last); false at the end of the log.
bool Advance(const CLines& lines, FindPosition& pos, int itemCount)
{
    if (pos.item < itemCount - 1) {
        ++pos.item;
        return true;
    }
    if (pos.line >= lines.GetLastLineIndex()) return false;
    ++pos.line;
    pos.item = 1;
    return true;
}

} // namespace

bool MatchDataAt(const CLines& lines, const CDisplayMode& mode, const std::vector<uint8_t>& pattern, int direction,
                 FindPosition at, FindPosition* end)
{
    if (!mode.Data) return false;
    if (pattern.empty()) {
        if (end) *end = at;
        return true;
    }
    const bool rxd = direction == FIND_RXD;
    std::size_t k = 0;
    FindPosition pos = at;
    const CLineInfo* line = lines.GetLine(pos.line);
    while (line) {
        const CShape* item = line->GetItem(pos.item);
        if (item && item->GetKind() == KIND_DATA) {
            const auto* data = static_cast<const CDataChar*>(item);
            if (data->IsRxd() == rxd) {
                if (data->Character() != pattern[k]) return false;
                if (++k == pattern.size()) {
                    if (end) *end = pos;
                    return true;
                }
            }
        }
        const int before = pos.line;
        if (!Advance(lines, pos, line->GetItemCount())) return false;
        if (pos.line != before) line = lines.GetLine(pos.line);
    }
    return false;
}

void ForEachMatchCharacter(const CLines& lines, int direction, FindPosition from, FindPosition to,
                           const std::function<void(CDataChar&)>& visit)
{
    const bool rxd = direction == FIND_RXD;
    FindPosition pos = from;
    const CLineInfo* line = lines.GetLine(pos.line);
    while (line) {
        CShape* item = line->GetItem(pos.item);
        if (item && item->GetKind() == KIND_DATA && static_cast<const CDataChar*>(item)->IsRxd() == rxd)
            visit(*static_cast<CDataChar*>(item));
        if (pos == to) return;
        const int before = pos.line;
        if (!Advance(lines, pos, line->GetItemCount())) return;
        if (pos.line != before) line = lines.GetLine(pos.line);
    }
}

void MarkDataMatch(const CLines& lines, int direction, FindPosition from, FindPosition to)
{
    ForEachMatchCharacter(lines, direction, from, to, [](CDataChar& c) { c.mark = 1; });
}

uint8_t StatusLevelsBefore(const CStatus& item)
{
    const uint8_t previous = item.Previous();
    return (previous & 0xE0) == 0x40 ? previous : rec::kAllInactive;
}

uint8_t MatchStatus(const CStatus& item, const std::array<int, kConditionSlots>& conditions, const CDisplayMode& mode)
{
    if (!mode.Status) return 0;
    static constexpr uint8_t kBits[kConditionSlots] = {rec::kRts, rec::kCts, rec::kDtr, rec::kDsr, rec::kCd};
    const uint8_t before = StatusLevelsBefore(item);
    const uint8_t after = item.New();
    uint8_t mask = 0;
    for (int slot = 0; slot < kConditionSlots; ++slot) {
        const uint8_t bit = kBits[slot];
        // A set bit is the line's low (inactive) level.
        const bool wasLow = (before & bit) != 0;
        const bool isLow = (after & bit) != 0;
        bool holds = false;
        switch (conditions[static_cast<std::size_t>(slot)]) {
        case COND_ANY: continue;
        case COND_LOW: holds = isLow; break;
        case COND_HIGH: holds = !isLow; break;
        case COND_RISE: holds = wasLow && !isLow; break;
        case COND_FALL: holds = !wasLow && isLow; break;
        case COND_CHANGE: holds = wasLow != isLow; break;
        default: return 0;
        }
        if (!holds) return 0;
        mask = static_cast<uint8_t>(mask | bit);
    }
    return mask;
}

uint32_t StampLimit(uint32_t value, int unit)
{
    constexpr uint32_t kMax = std::numeric_limits<uint32_t>::max();
    switch (unit) {
    case UNIT_S: return value <= kMax / 1000u ? value * 1000u : kMax;
    case UNIT_MIN: return value <= kMax / 60000u ? value * 60000u : kMax;
    case UNIT_H: return value <= kMax / 3600000u ? value * 3600000u : kMax;
    default: return value;
    }
}

bool MatchStamp(const CStamp& item, int compare, uint32_t value, int unit, const CDisplayMode& mode)
{
    if (!mode.Stamp) return false;
    const uint32_t limit = StampLimit(value, unit);
    const uint32_t e = item.Elapsed();
    switch (compare) {
    case STAMP_GREATER: return e > limit;
    case STAMP_EQUAL: return e == limit;
    case STAMP_LESS: return e < limit;
    default: return false;
    }
}
