#pragma once
// The three tests a search applies to the items of a line store, and the
// marks a match leaves on them. Nothing here locks: the caller holds the
// store lock where another thread may append.
#include "FindPosition.h"
#include "FindQuery.h"

#include <cstdint>
#include <functional>
#include <vector>

class CDataChar;
class CDisplayMode;
class CLines;
class CStamp;
class CStatus;

// Whether the data characters of `direction` (0 TXD, 1 RXD) from `at` on
// spell `pattern`. Items of other kinds and characters of the other direction
// in between are passed over, across display lines, but never past the end
// of the log. On a match `end` (when given) is the item of the last byte, or
// `at` itself for an empty pattern. Nothing matches while Data is off.
bool MatchDataAt(const CLines& lines, const CDisplayMode& mode, const std::vector<uint8_t>& pattern, int direction,
                 FindPosition at, FindPosition* end);

// Calls `visit` for every data character of `direction` from `from` to `to`
// inclusive, in log order: the characters a data match consists of.
void ForEachMatchCharacter(const CLines& lines, int direction, FindPosition from, FindPosition to,
                           const std::function<void(CDataChar&)>& visit);

// Marks every data character of `direction` from `from` to `to` inclusive;
// other items keep their marks.
void MarkDataMatch(const CLines& lines, int direction, FindPosition from, FindPosition to);

// The line levels a status item changed from: its previous byte, or, for the
// first change of a log (whose item does not carry one), every line
// inactive, the levels each log starts from.
uint8_t StatusLevelsBefore(const CStatus& item);

// The rows to highlight when `item` meets every condition (RTS, CTS, DTR,
// DSR, CD), else 0. Lines without a condition add nothing, so with no
// condition at all nothing matches. Nothing matches while Status is off.
uint8_t MatchStatus(const CStatus& item, const std::array<int, kConditionSlots>& conditions, const CDisplayMode& mode);

// The limit in milliseconds for `value` in `unit`, saturating at 4294967295.
uint32_t StampLimit(uint32_t value, int unit);

// Whether the stamp's elapsed time compares with the limit as asked. Nothing
// matches while Stamp is off.
bool MatchStamp(const CStamp& item, int compare, uint32_t value, int unit, const CDisplayMode& mode);
