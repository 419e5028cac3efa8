#include "CFindEngine.h"

#include "FindMatch.h"

#include "CDataChar.h"
#include "CDisplayMode.h"
#include "CLines.h"
#include "CStamp.h"
#include "CStatus.h"

void CFindEngine::Step(FindPosition& pos, bool down) const
{
    const int last = lines.GetLastLineIndex();
    if (down) {
        const CLineInfo* line = lines.GetLine(pos.line);
        if (line && pos.item < line->GetItemCount() - 1) {
            ++pos.item;
            return;
        }
        pos.line = pos.line >= last ? 0 : pos.line + 1;
        pos.item = 1;
        return;
    }
    if (pos.item > 1) {
        --pos.item;
        return;
    }
    pos.line = pos.line <= 0 ? last : pos.line - 1;
    const CLineInfo* line = lines.GetLine(pos.line);
    pos.item = line ? line->GetItemCount() - 1 : 0;
}

FindPosition CFindEngine::FreshStart(int firstVisibleLine, bool down) const
{
    if (down) return {firstVisibleLine, 1};
    const int line = firstVisibleLine <= 0 ? lines.GetLastLineIndex() : firstVisibleLine - 1;
    const CLineInfo* info = lines.GetLine(line);
    return {line, info ? info->GetItemCount() - 1 : 0};
}

std::optional<FoundMatch> CFindEngine::MatchAt(const FindQuery& query, FindPosition at) const
{
    if (at.item < 1) return std::nullopt; // the line-start marker
    const CLineInfo* line = lines.GetLine(at.line);
    const CShape* item = line ? line->GetItem(at.item) : nullptr;
    if (!item) return std::nullopt;
    FoundMatch match;
    match.at = at;
    match.end = at;
    match.item = item;
    switch (query.page) {
    case FIND_DATA: {
        if (item->GetKind() != KIND_DATA) return std::nullopt;
        const int own = static_cast<const CDataChar*>(item)->IsRxd() ? FIND_RXD : FIND_TXD;
        // With both directions each candidate fixes the direction by its own
        // first character, so a match never mixes them.
        const int wanted = query.directionFilter == FIND_TXD || query.directionFilter == FIND_RXD ? query.directionFilter : own;
        if (own != wanted) return std::nullopt;
        if (!MatchDataAt(lines, mode, query.pattern, wanted, at, &match.end)) return std::nullopt;
        match.direction = wanted;
        return match;
    }
    case FIND_STATUS: {
        if (item->GetKind() != KIND_STATUS) return std::nullopt;
        match.mark = MatchStatus(*static_cast<const CStatus*>(item), query.conditions, mode);
        if (match.mark == 0) return std::nullopt;
        return match;
    }
    case FIND_STAMP:
        if (item->GetKind() != KIND_STAMP) return std::nullopt;
        if (!MatchStamp(*static_cast<const CStamp*>(item), query.compare, query.value, query.unit, mode)) return std::nullopt;
        return match;
    default:
        return std::nullopt;
    }
}

void CFindEngine::Mark(const FoundMatch& match)
{
    if (match.item && match.item->GetKind() == KIND_DATA) {
        MarkDataMatch(lines, match.direction, match.at, match.end);
        return;
    }
    CLineInfo* line = lines.GetLine(match.at.line);
    if (CShape* item = line ? line->GetItem(match.at.item) : nullptr) item->mark = match.mark;
}

std::optional<FoundMatch> CFindEngine::FindNext(const FindQuery& query, FindPosition start, bool down, bool examineStart)
{
    const CLineInfo* startLine = lines.GetLine(start.line);
    if (!startLine) return std::nullopt;
    if (start.item > startLine->GetItemCount() - 1) start.item = startLine->GetItemCount() - 1;

    std::optional<FoundMatch> found;
    if (examineStart) found = MatchAt(query, start);
    if (!found) {
        // Once around the log visits each position once; the bound only
        // guards against a store that breaks its own rules (a line holding
        // nothing but its marker), which would otherwise never lead back.
        long long bound = 2;
        for (int l = 0; l < lines.GetLineCount(); ++l) bound += lines.GetLine(l)->GetItemCount() + 1;
        FindPosition pos = start;
        for (long long steps = 0; steps < bound; ++steps) {
            Step(pos, down);
            if (pos == start) break;
            found = MatchAt(query, pos);
            if (found) break;
        }
    }
    if (!found) return std::nullopt;
    ClearMarks();
    Mark(*found);
    return found;
}

void CFindEngine::ClearMarks()
{
    for (int l = 0; l < lines.GetLineCount(); ++l) {
        const CLineInfo* line = lines.GetLine(l);
        const int count = line->GetItemCount();
        for (int i = 0; i < count; ++i) {
            if (CShape* item = line->GetItem(i)) item->mark = 0;
        }
    }
}

void CFindEngine::ForEachMatch(const FindQuery& query, const std::function<void(const FoundMatch&)>& visit) const
{
    const int lineCount = lines.GetLineCount();
    for (int l = 0; l < lineCount; ++l) {
        const int count = lines.GetLine(l)->GetItemCount();
        for (int i = 1; i < count; ++i) {
            if (const std::optional<FoundMatch> match = MatchAt(query, {l, i})) visit(*match);
        }
    }
}

int CFindEngine::HighLightAll(const FindQuery& query, int* firstLine)
{
    ClearMarks();
    int count = 0;
    ForEachMatch(query, [&](const FoundMatch& match) {
        if (count == 0 && firstLine) *firstLine = match.at.line;
        ++count;
        Mark(match);
    });
    return count;
}
