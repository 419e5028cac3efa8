#pragma once
// Find over a line store: stepping through the items with wrap-around, Find
// Next from a current position, HighLight All, clearing the marks, and every
// match in log order (for the command line). The view, the tests and the
// converter all search through this one class.
//
// The engine takes no lock. Where another thread may append to the store the
// caller holds the store lock around each call.
#include "FindPosition.h"
#include "FindQuery.h"

#include <cstdint>
#include <functional>
#include <optional>

class CDisplayMode;
class CLines;
class CShape;

// One match: its first and last item, the direction of a data match and the
// mark it leaves (the row mask of a status match, 1 otherwise).
struct FoundMatch {
    FindPosition at;
    FindPosition end;
    int direction = FIND_TXD;
    uint8_t mark = 1;
    const CShape* item = nullptr;
};

class CFindEngine {
public:
    CFindEngine(CLines& lines, const CDisplayMode& mode) : lines(lines), mode(mode) {}

    // One item in the search direction. Item 0 of a line is never reached:
    // down goes on at item 1 of the next line, up stops at item 1; past the
    // last line down comes line 0, before line 0 up comes the last line.
    void Step(FindPosition& pos, bool down) const;

    // Where a search without a current item starts: down at item 1 of the
    // first visible line, up at the last item of the line above it (the last
    // line when the first visible line is the first). This item is examined
    // first.
    FindPosition FreshStart(int firstVisibleLine, bool down) const;

    // Whether the item at `at` starts a match of `query`.
    std::optional<FoundMatch> MatchAt(const FindQuery& query, FindPosition at) const;

    // Steps from `start` until an item matches, once around the whole log at
    // most; with `examineStart` the start item itself is tried first. On a
    // match every mark is cleared and the match is marked. A start beyond its
    // line's items counts as the line's last item. Nothing when the start
    // line does not exist.
    std::optional<FoundMatch> FindNext(const FindQuery& query, FindPosition start, bool down, bool examineStart);

    // Clears every mark, then marks every match in log order. Returns the
    // number of matches; `firstLine` (when given) gets the line of the first.
    int HighLightAll(const FindQuery& query, int* firstLine = nullptr);

    // Sets every item's mark to 0, the line-start items' too.
    void ClearMarks();

    // Calls `visit` for every match in log order, changing nothing. The
    // matches are those HighLight All marks, overlapping ones included.
    void ForEachMatch(const FindQuery& query, const std::function<void(const FoundMatch&)>& visit) const;

    // Leaves the marks of a match on its items.
    void Mark(const FoundMatch& match);

private:
    CLines& lines;
    const CDisplayMode& mode;
};
