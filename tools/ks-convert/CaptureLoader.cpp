#include "CaptureLoader.h"

#include "CCaptureReader.h"
#include "CLines.h"
#include "CDisplayMode.h"
#include "StoreCost.h"

#include "AvailableMemory.h"

#include <new>

LoadResult LoadCapture(const std::string& path, const Layout& layout, CDisplayMode& mode, CLines& lines)
{
    if (CaptureFileTypeOf(path) == CaptureFileType::None) return LoadResult::TypeError;

    lines.Clear();
    mode = CDisplayMode{};
    // The header replaces everything but the layout, which comes from the view.
    mode.cxLine = layout.lineWidth;
    mode.cxChar = layout.cxChar;
    mode.cyChar = layout.cyChar;
    // Header and records from one read of one regular file: a FIFO or a
    // device is refused at once, never waited on.
    CCaptureReader reader;
    if (reader.Open(path) != CCaptureReader::Result::Ok || !reader.ParseHeader(mode)) return LoadResult::OpenFailed;
    // The whole file in the store: refused when the memory is not there.
    if (StoreBytesForBody(reader.BodySize(), reader.IsOldType()) > ks::AvailableMemory().bytes) return LoadResult::TooLarge;
    try {
        while (reader.DecodeNext(lines, mode)) {
        }
    } catch (const std::bad_alloc&) {
        lines.Clear();
        return LoadResult::TooLarge;
    }
    return reader.Failed() ? LoadResult::OpenFailed : LoadResult::Ok;
}

const char* LoadErrorText(LoadResult result)
{
    switch (result) {
    case LoadResult::Ok: return "";
    case LoadResult::TypeError: return "File type error!";
    case LoadResult::OpenFailed: return "Open file failed!";
    case LoadResult::TooLarge: return "Not enough memory to open the file.";
    }
    return "Open file failed!";
}
