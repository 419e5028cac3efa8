#include "CaptureStream.h"

#include "CDisplayMode.h"
#include "CLines.h"
#include "StoreCost.h"

#include "AvailableMemory.h"

#include <algorithm>

CaptureStream::CaptureStream(const Layout& layout) : layout(layout), lines(std::make_unique<CLines>()) {}

CaptureStream::~CaptureStream() = default;

std::uint64_t CaptureStream::MemoryNeeded(std::uint64_t bodyBytes, bool oldType) const
{
    // Items on a full line: one cell each at most (the narrowest item that
    // takes room is a character or a status change, one cell wide).
    const std::uint64_t cell = static_cast<std::uint64_t>(std::max(1, layout.cxChar));
    const std::uint64_t perLine = static_cast<std::uint64_t>(std::max(1, layout.lineWidth)) / cell + 2;
    // The lines kept after a drop, those of one chunk on top, and the chunk.
    const std::uint64_t keptLines = CLines::kMaxLines + CLines::kTrimStep;
    const std::uint64_t chunkRecords = CCaptureReader::kChunkBytes / 2 * (oldType ? 2u : 1u);
    const std::uint64_t windowRecords = keptLines * perLine + chunkRecords;
    const std::uint64_t fileRecords = bodyBytes / 2 * (oldType ? 2u : 1u);
    return std::min(windowRecords, fileRecords) * kStoreBytesPerRecord + CCaptureReader::kChunkBytes;
}

LoadResult CaptureStream::Open(const std::string& path, CDisplayMode& mode)
{
    tooLarge.clear();
    lines->Clear();
    mode = CDisplayMode{};
    // The header replaces everything but the layout, which comes from the view.
    mode.cxLine = layout.lineWidth;
    mode.cxChar = layout.cxChar;
    mode.cyChar = layout.cyChar;
    this->mode = &mode;
    switch (reader.Open(path)) {
    case CCaptureReader::Result::TypeError: return LoadResult::TypeError;
    case CCaptureReader::Result::OpenFailed: return LoadResult::OpenFailed;
    case CCaptureReader::Result::Ok: break;
    }
    if (!reader.ParseHeader(mode)) return LoadResult::OpenFailed;
    const std::uint64_t needed = MemoryNeeded(reader.BodySize(), reader.IsOldType());
    const ks::MemoryRoom room = ks::AvailableMemory();
    if (needed > room.bytes) {
        tooLarge = "Not enough memory: the capture (" + ks::SizeText(reader.BodySize()) + " of records) needs about " +
                   ks::SizeText(needed) + " to convert with lines " + std::to_string(layout.lineWidth) +
                   " pixels wide, and " + room.boundBy + " leaves " + ks::SizeText(room.bytes) + ".";
        return LoadResult::TooLarge;
    }
    return LoadResult::Ok;
}

bool CaptureStream::Walk(const LineVisitor& visit)
{
    if (!mode) return false;
    int lineBase = 0;
    int done = 0; // store lines already visited
    while (reader.DecodeNext(*lines, *mode)) {
        // The last line may still grow (and a stamp at its end count on).
        const int complete = reader.AtEnd() ? lines->GetLineCount() : lines->GetLineCount() - 1;
        if (complete > done) {
            visit(*lines, done, complete, lineBase);
            done = complete;
        }
        const int dropped = lines->TrimOldest();
        lineBase += dropped;
        done -= dropped;
    }
    return !reader.Failed();
}
