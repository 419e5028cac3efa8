// The stored-stream decoder (the body of ".ksf" files) on arbitrary bytes.
// Two leading bytes choose the display options and the line width, so that
// switched-off kinds, zero-width stamps and every line-breaking case are met.
// Besides not crashing, the store must be self-consistent, and what it would
// save must read back to the same store.
#include "CDataChar.h"
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
    mode.DateTime = (options >> 3) & 0x01;
    mode.StampMode = (options >> 4) & 0x07; // 5 to 7 are out of range on purpose
    mode.Error = options >> 7;
    mode.DataMode = layout & 0x03;          // 3 is out of range on purpose
    mode.cxLine = (layout >> 2) * 16 - 16;  // -16 .. 992
    mode.cxChar = 8;
    mode.cyChar = 16;
    return mode;
}

// Every line opens with its marker, its width is the sum of its items'
// widths, it only overflows when it holds a single item, and the data
// counters agree with the data items.
void CheckStore(const CLines& lines, const CDisplayMode& mode)
{
    uint64_t dataItems = 0;
    for (int l = 0; l < lines.GetLineCount(); ++l) {
        const CLineInfo* line = lines.GetLine(l);
        Require(line != nullptr && line->GetItemCount() >= 2);
        const CShape* first = line->GetItem(0);
        Require(first->GetKind() == KIND_STATUS && static_cast<const CStatus*>(first)->IsLineStart());
        int width = 0, data = 0;
        for (int i = 0; i < line->GetItemCount(); ++i) {
            const CShape* item = line->GetItem(i);
            width += item->GetExtent(mode, 1).cx;
            if (item->GetKind() == KIND_DATA) ++data;
        }
        Require(width == line->GetWidth());
        Require(data == line->GetDataCount());
        Require(width <= mode.cxLine || line->GetItemCount() == 2);
        dataItems += static_cast<uint64_t>(data);
    }
    Require(lines.GetLine(lines.GetLineCount()) == nullptr && lines.GetLine(-1) == nullptr);
    const Counters& c = lines.GetCounters();
    Require(uint64_t{c[CNT_TXD]} + c[CNT_RXD] + c[CNT_ERR] == dataItems);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    if (size < 2) return 0;
    const CDisplayMode mode = ModeFrom(data[0], data[1]);

    CLines lines;
    lines.DecodeStoredStream(data + 2, size - 2, mode);
    CheckStore(lines, mode);

    ByteBuffer saved;
    lines.EncodeStoredStream(saved);
    CLines reread;
    reread.DecodeStoredStream(saved.data(), saved.size(), mode);
    CheckStore(reread, mode);
    ByteBuffer savedAgain;
    reread.EncodeStoredStream(savedAgain);
    Require(saved == savedAgain);
    Require(lines.GetCounters() == reread.GetCounters());
    Require(lines.GetLineCount() == reread.GetLineCount());
    return 0;
}
