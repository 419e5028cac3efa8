#include "FindListing.h"

#include "FindMatch.h"
#include "ItemListing.h"
#include "OutputSink.h"

#include "CDataChar.h"
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

std::string FindMatchLine(const CLines& lines, const FoundMatch& match)
{
    char head[48];
    const int kind = match.item ? match.item->GetKind() : KIND_NONE;
    const char* name = kind == KIND_DATA ? "DATA" : kind == KIND_STATUS ? "STATUS" : kind == KIND_STAMP ? "STAMP" : "";
    std::snprintf(head, sizeof head, "%7d  %5d  %-8s  ", match.at.line + 1, match.at.item, name);
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
