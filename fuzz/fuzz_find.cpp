// Find over a store decoded from arbitrary stored-stream bytes. Four leading
// bytes choose the display options, the line width, the page with its query
// and the pattern's length; the pattern follows, then the stream. Besides
// not crashing or hanging: Find Next finds something exactly when HighLight
// All counts a match, in both directions; a data match marks one character
// per pattern byte (one for an empty pattern); a match leaves no other mark
// behind; and stepping from match to match meets each once.
#include "CDisplayMode.h"
#include "CFindEngine.h"
#include "CLines.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

void Require(bool condition)
{
    if (!condition) std::abort();
}

CDisplayMode ModeFrom(uint8_t options, uint8_t layout)
{
    CDisplayMode mode;
    mode.Data = options & 0x01;
    mode.Status = (options >> 1) & 0x01;
    mode.Stamp = (options >> 2) & 0x01;
    mode.DateTime = (options >> 3) & 0x01;
    mode.StampMode = (options >> 4) & 0x07;
    mode.cxLine = (layout >> 2) * 16 - 16;
    mode.cxChar = 8;
    mode.cyChar = 16;
    return mode;
}

int MarkedItems(const CLines& lines)
{
    int marked = 0;
    for (int l = 0; l < lines.GetLineCount(); ++l) {
        const CLineInfo* line = lines.GetLine(l);
        for (int i = 0; i < line->GetItemCount(); ++i) marked += line->GetItem(i)->mark != 0;
    }
    return marked;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    if (size < 4) return 0;
    const CDisplayMode mode = ModeFrom(data[0], data[1]);
    const uint8_t choice = data[2];
    const std::size_t n = data[3] & 0x0F;
    if (size < 4 + n) return 0;

    FindQuery query;
    query.page = choice % 4; // 3 is no page at all
    query.directionFilter = (choice >> 2) % 4;
    query.pattern.assign(data + 4, data + 4 + n);
    for (std::size_t s = 0; s < query.conditions.size(); ++s)
        query.conditions[s] = s < n ? data[4 + s] % 7 : 0; // 6 is out of range on purpose
    query.compare = (choice >> 4) % 4;
    query.unit = (choice >> 6) % 4;
    query.value = n >= 4 ? (uint32_t{data[4]} << 24 | uint32_t{data[5]} << 16 | uint32_t{data[6]} << 8 | data[7]) : n;

    CLines lines;
    lines.DecodeStoredStream(data + 4 + n, size - 4 - n, mode);
    if (lines.GetLineCount() == 0) return 0;
    CFindEngine engine(lines, mode);

    int counted = 0;
    engine.ForEachMatch(query, [&](const FoundMatch&) { ++counted; });
    Require(engine.HighLightAll(query) == counted);
    Require((counted == 0) == (MarkedItems(lines) == 0));

    for (bool down : {true, false}) {
        engine.ClearMarks();
        const auto found = engine.FindNext(query, engine.FreshStart(lines.GetLineCount() / 2, down), down, true);
        Require(found.has_value() == (counted > 0));
        if (!found) {
            Require(MarkedItems(lines) == 0);
            continue;
        }
        const int expected = query.page == FIND_DATA ? static_cast<int>(query.pattern.empty() ? 1 : query.pattern.size()) : 1;
        Require(MarkedItems(lines) == expected);
        // From the match on, every other match comes once before the first
        // one again; a single match is not found again from itself.
        FindPosition at = found->at;
        for (int k = 1; k < counted; ++k) {
            const auto next = engine.FindNext(query, at, down, false);
            Require(next.has_value() && !(next->at == found->at));
            at = next->at;
        }
        const auto last = engine.FindNext(query, at, down, false);
        if (counted == 1) {
            Require(!last.has_value());
        } else {
            Require(last.has_value() && last->at == found->at);
        }
    }
    return 0;
}
