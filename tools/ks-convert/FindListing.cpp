#include "FindListing.h"

#include "FindMatch.h"
#include "ItemListing.h"
#include "OutputSink.h"

#include "CDataChar.h"
#include "CDisplayMode.h"
#include "CLines.h"
#include "CStamp.h"
#include "CStatus.h"

#include <cstdio>

namespace {

// The control lines in the order of the display rows and the listing.
struct LineBit {
    const char* name;
    uint8_t bit;
};
constexpr LineBit kLineBits[5] = {{"RTS", 0x08}, {"CTS", 0x10}, {"CD", 0x01}, {"DTR", 0x02}, {"DSR", 0x04}};

std::string StatusText(const CStatus& status)
{
    const uint8_t before = StatusLevelsBefore(status);
    const uint8_t after = status.New();
    std::string text;
    for (const LineBit& line : kLineBits) {
        text += line.name;
        text += (after & line.bit) ? "=L " : "=H ";
    }
    std::string changes;
    for (const LineBit& line : kLineBits) {
        const bool wasLow = before & line.bit, isLow = after & line.bit;
        if (wasLow == isLow) continue;
        if (!changes.empty()) changes += ' ';
        changes += line.name;
        changes += wasLow ? '+' : '-';
    }
    return text + ' ' + (changes.empty() ? "-" : changes);
}

} // namespace

std::string FindMatchLine(const CLines& lines, const FoundMatch& match, int lineBase)
{
    char head[48];
    const int kind = match.item ? match.item->GetKind() : KIND_NONE;
    const char* name = kind == KIND_DATA ? "DATA" : kind == KIND_STATUS ? "STATUS" : kind == KIND_STAMP ? "STAMP" : "";
    std::snprintf(head, sizeof head, "%7d  %5d  %-8s  ", lineBase + match.at.line + 1, match.at.item, name);
    std::string text = head;
    switch (kind) {
    case KIND_DATA: {
        text += match.direction == FIND_RXD ? "RXD " : "TXD ";
        ForEachMatchCharacter(lines, match.direction, match.at, match.end, [&text](CDataChar& c) {
            char hex[4];
            std::snprintf(hex, sizeof hex, " %02X", c.Character());
            text += hex;
        });
        break;
    }
    case KIND_STATUS:
        text += StatusText(*static_cast<const CStatus*>(match.item));
        break;
    case KIND_STAMP: {
        const auto* stamp = static_cast<const CStamp*>(match.item);
        text += std::to_string(stamp->Elapsed()) + " ms  " + LocalTimeText(stamp->Time());
        break;
    }
    default:
        break;
    }
    return text;
}

long long WriteFindMatches(CLines& lines, const CDisplayMode& mode, const FindQuery& query, bool countOnly,
                           OutputSink& out)
{
    const CFindEngine engine(lines, mode);
    long long count = 0;
    engine.ForEachMatch(query, [&](const FoundMatch& match) {
        ++count;
        if (!countOnly) out.Line(FindMatchLine(lines, match));
    });
    if (countOnly) out.Line(std::to_string(count));
    return count;
}

StreamingFind::StreamingFind(const CDisplayMode& mode, const FindQuery& query, bool countOnly, OutputSink& out)
    : mode(mode), query(query), countOnly(countOnly), out(out)
{
    for (Direction& d : directions) {
        d.places.resize(query.pattern.size());
        d.characters.resize(query.pattern.size());
    }
}

void StreamingFind::Search(CLines& lines, int first, int end, int lineBase)
{
    if (query.page != FIND_DATA) {
        const CFindEngine engine(lines, mode);
        for (int l = first; l < end; ++l) {
            const int items = lines.GetLine(l)->GetItemCount();
            for (int i = 1; i < items; ++i) {
                const std::optional<FoundMatch> match = engine.MatchAt(query, {l, i});
                if (!match) continue;
                ++count;
                if (!countOnly) out.Line(FindMatchLine(lines, *match, lineBase));
            }
        }
        return;
    }
    if (!mode.Data) return;
    for (int l = first; l < end; ++l) {
        const CLineInfo* line = lines.GetLine(l);
        const int items = line->GetItemCount();
        for (int i = 1; i < items; ++i) {
            const CShape* item = line->GetItem(i);
            if (item == nullptr || item->GetKind() != KIND_DATA) continue;
            const auto* data = static_cast<const CDataChar*>(item);
            const int own = data->IsRxd() ? FIND_RXD : FIND_TXD;
            if (query.directionFilter != FIND_BOTH && own != query.directionFilter) continue;
            AddCharacter(own, {lineBase + l, i}, data->Character());
        }
    }
    if (!countOnly) WriteReady(false);
}

void StreamingFind::AddCharacter(int direction, Place place, uint8_t character)
{
    const std::vector<uint8_t>& pattern = query.pattern;
    Direction& d = directions[static_cast<std::size_t>(direction)];
    const std::size_t length = pattern.size();
    if (length == 0) {
        // An empty pattern is found at every character.
        ++count;
        if (!countOnly) d.found.push_back(place);
        return;
    }
    const std::size_t slot = (d.head + d.size) % length;
    d.places[slot] = place;
    d.characters[slot] = character;
    if (++d.size < length) return;
    // The ring holds the pattern's length: does its oldest character start a match?
    bool match = true;
    for (std::size_t k = 0; k < length && match; ++k) match = d.characters[(d.head + k) % length] == pattern[k];
    if (match) {
        ++count;
        if (!countOnly) d.found.push_back(d.places[d.head]);
    }
    d.head = (d.head + 1) % length;
    --d.size;
}

bool StreamingFind::EarliestOpenStart(const Direction& d, Place& place) const
{
    const std::size_t length = query.pattern.size();
    for (std::size_t start = 0; start < d.size; ++start) {
        bool open = true;
        for (std::size_t k = start; k < d.size && open; ++k)
            open = d.characters[(d.head + k) % length] == query.pattern[k - start];
        if (open) {
            place = d.places[(d.head + start) % length];
            return true;
        }
    }
    return false;
}

void StreamingFind::WriteReady(bool all)
{
    // A match waits while the other direction may still find an earlier one.
    std::array<Place, 2> open{};
    std::array<bool, 2> waiting{};
    for (std::size_t i = 0; i < 2; ++i) waiting[i] = !all && EarliestOpenStart(directions[i], open[i]);
    for (;;) {
        int next = -1;
        for (int i = 0; i < 2; ++i) {
            const Direction& d = directions[static_cast<std::size_t>(i)];
            if (d.found.empty()) continue;
            const std::size_t other = static_cast<std::size_t>(1 - i);
            if (waiting[other] && open[other] < d.found.front()) continue;
            if (next < 0 || d.found.front() < directions[static_cast<std::size_t>(next)].found.front()) next = i;
        }
        if (next < 0) return;
        Direction& d = directions[static_cast<std::size_t>(next)];
        WriteDataMatch(next, d.found.front());
        d.found.pop_front();
    }
}

void StreamingFind::WriteDataMatch(int direction, const Place& place)
{
    char head[48];
    std::snprintf(head, sizeof head, "%7d  %5d  %-8s  ", place.line + 1, place.item, "DATA");
    std::string text = head;
    text += direction == FIND_RXD ? "RXD " : "TXD ";
    for (uint8_t byte : query.pattern) {
        char hex[4];
        std::snprintf(hex, sizeof hex, " %02X", byte);
        text += hex;
    }
    out.Line(text);
}

long long StreamingFind::Finish()
{
    if (countOnly) out.Line(std::to_string(count));
    else if (query.page == FIND_DATA) WriteReady(true);
    return count;
}
