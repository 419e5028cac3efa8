#include "FrameMarks.h"

#include "CDataChar.h"
#include "CLines.h"

int MarkFrame(CLines& lines, const CFrame& frame)
{
    uint64_t kept = 0;
    for (int l = 0; l < lines.GetLineCount(); ++l) {
        CLineInfo* line = lines.GetLine(l);
        kept += static_cast<uint64_t>(line->GetDataCount());
        for (int i = 0; i < line->GetItemCount(); ++i) line->GetItem(i)->mark = 0;
    }
    const Counters& c = lines.GetCounters();
    const uint64_t all = uint64_t{c[CNT_TXD]} + c[CNT_RXD] + c[CNT_ERR];
    if (all < kept) return -1;
    uint64_t index = all - kept; // the place of the store's first data item
    if (frame.firstChar < index || frame.lastChar >= all) return -1;
    int firstLine = -1;
    for (int l = 0; l < lines.GetLineCount() && index <= frame.lastChar; ++l) {
        CLineInfo* line = lines.GetLine(l);
        const auto count = static_cast<uint64_t>(line->GetDataCount());
        if (index + count <= frame.firstChar) {
            index += count;
            continue;
        }
        for (int i = 0; i < line->GetItemCount() && index <= frame.lastChar; ++i) {
            CShape* item = line->GetItem(i);
            if (item->GetKind() != KIND_DATA) continue;
            const bool rxd = static_cast<CDataChar*>(item)->IsRxd();
            if (index >= frame.firstChar && rxd == (frame.direction == 1)) {
                item->mark = 1;
                if (firstLine < 0) firstLine = l;
            }
            ++index;
        }
    }
    return firstLine;
}
