// The old-stream decoder (the body of ".df" files) on arbitrary bytes. Two
// leading bytes choose the display options and the line width. The store must
// be self-consistent, and an old capture saved in the current form must read
// back to the same store and counters.
#include "CDisplayMode.h"
#include "CLines.h"
#include "CStatus.h"

#include <cstdint>
#include <cstdlib>

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
    mode.DateTime = 0; // old files never carry it
    mode.StampMode = (options >> 4) & 0x07;
    mode.Error = options >> 7;
    mode.DataMode = layout & 0x03;
    mode.cxLine = (layout >> 2) * 16 - 16;
    mode.cxChar = 8;
    mode.cyChar = 16;
    return mode;
}

uint64_t DataItems(const CLines& lines, const CDisplayMode& mode)
{
    uint64_t count = 0;
    for (int l = 0; l < lines.GetLineCount(); ++l) {
        const CLineInfo* line = lines.GetLine(l);
        Require(line != nullptr && line->GetItemCount() >= 2);
        const CShape* first = line->GetItem(0);
        Require(first->GetKind() == KIND_STATUS && static_cast<const CStatus*>(first)->IsLineStart());
        int width = 0;
        for (int i = 0; i < line->GetItemCount(); ++i) width += line->GetItem(i)->GetExtent(mode, 1).cx;
        Require(width == line->GetWidth());
        Require(width <= mode.cxLine || line->GetItemCount() == 2);
        count += static_cast<uint64_t>(line->GetDataCount());
    }
    return count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    if (size < 2) return 0;
    const CDisplayMode mode = ModeFrom(data[0], data[1]);

    CLines lines;
    lines.DecodeOldStream(data + 2, size - 2, mode);
    const Counters& c = lines.GetCounters();
    Require(uint64_t{c[CNT_TXD]} + c[CNT_RXD] + c[CNT_ERR] == DataItems(lines, mode));
    if (!mode.Data) Require(c[CNT_TXD] == 0 && c[CNT_RXD] == 0 && c[CNT_ERR] == 0);

    ByteBuffer saved;
    lines.EncodeStoredStream(saved);
    CLines reread;
    reread.DecodeStoredStream(saved.data(), saved.size(), mode);
    ByteBuffer savedAgain;
    reread.EncodeStoredStream(savedAgain);
    Require(saved == savedAgain);
    Require(lines.GetCounters() == reread.GetCounters());
    return 0;
}
