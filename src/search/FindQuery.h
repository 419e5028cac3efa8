#pragma once
// What a search looks for: one of three kinds of target, with the fields of
// the page that describes it. Plain values; the Find dialog fills them from
// its controls and the command-line converter from its arguments.
#include <array>
#include <cstdint>
#include <vector>

enum FindPage : int { FIND_DATA = 0, FIND_STATUS = 1, FIND_STAMP = 2 };

// The direction filter of the data page.
enum FindDirectionFilter : int { FIND_TXD = 0, FIND_RXD = 1, FIND_BOTH = 2 };

// A condition on one control line (the entries of the status page's lists).
enum LineCondition : int {
    COND_ANY = 0,    // "-": no condition
    COND_LOW = 1,    // the line is low (inactive) after the change
    COND_HIGH = 2,   // the line is high (active) after the change
    COND_RISE = 3,   // low before, high after
    COND_FALL = 4,   // high before, low after
    COND_CHANGE = 5, // either edge
};
inline constexpr int kLineConditionCount = 6;

// The five conditions in the order the dialog and the settings keep them.
enum ConditionSlot : int { SLOT_RTS = 0, SLOT_CTS, SLOT_DTR, SLOT_DSR, SLOT_CD, kConditionSlots };

// Stamp comparisons and the units of the value.
enum StampCompare : int { STAMP_GREATER = 0, STAMP_EQUAL = 1, STAMP_LESS = 2 };
enum StampUnit : int { UNIT_MS = 0, UNIT_S = 1, UNIT_MIN = 2, UNIT_H = 3 };

struct FindQuery {
    int page = FIND_DATA;
    // Data page: the bytes to find and the direction filter.
    std::vector<uint8_t> pattern;
    int directionFilter = FIND_BOTH;
    // Status page: RTS, CTS, DTR, DSR, CD.
    std::array<int, kConditionSlots> conditions{};
    // Stamp page.
    int compare = STAMP_GREATER;
    uint32_t value = 0;
    int unit = UNIT_MS;
};
